// Update folders made by the tests, never real firmware: "maj/maj_v<N>" with a "tavlin.cry"
// and a "tavlin.bin" of chosen sizes, filled with a pattern that differs from byte to byte
// and from record to record, so a record sent twice, skipped or shifted shows.
#pragma once

#include "tests/common/ZorTestSupport.h"

#include <cstdint>
#include <string>
#include <sys/stat.h>

namespace zortest {

inline std::string Motif(size_t n, uint32_t graine)
{
    std::string s(n, '\0');
    uint32_t x = graine * 2654435761u + 1;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        s[i] = char(x >> 16);
    }
    return s;
}

// Makes base/maj/maj_v<version>/ with both images; returns that folder.
inline std::string DossierMAJ(const std::string& base, int version, size_t iCry, size_t iBin)
{
    const std::string maj = base + "/maj";
    const std::string dossier = maj + "/maj_v" + std::to_string(version);
    mkdir(maj.c_str(), 0755);
    mkdir(dossier.c_str(), 0755);
    WriteFile(dossier + "/tavlin.cry", Motif(iCry, uint32_t(version * 7 + 1)));
    WriteFile(dossier + "/tavlin.bin", Motif(iBin, uint32_t(version * 7 + 2)));
    return dossier;
}

// What a device stores from an image sent in records of 24 bytes: a short last record keeps
// the tail of the one before it.
inline std::string Enregistrements(const std::string& image)
{
    std::string out, rec(24, '\0');
    for (size_t i = 0; i < image.size(); i += 24) {
        const std::string part = image.substr(i, 24);
        rec.replace(0, part.size(), part);
        out += rec;
    }
    return out;
}

} // namespace zortest
