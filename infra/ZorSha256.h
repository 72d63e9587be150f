// SHA-256 of a byte stream, for the log lines that say exactly which firmware image was sent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class ZorSha256
{
public:
    ZorSha256();
    void Ajouter(const void* pDonnees, size_t iTaille);
    // The digest as 64 lower-case hexadecimal digits; the object is spent afterwards.
    std::string TerminerHex();

    // The digest of a whole file, or an empty text when it cannot be read or holds more than
    // iMax bytes (reading stops there: a file that grows, or a device file, never ends).
    static std::string DeFichier(const std::string& zChemin, uint64_t* piTaille = nullptr,
                                 uint64_t iMax = UINT64_MAX);

private:
    void Bloc(const uint8_t* p);

    uint32_t m_h[8];
    uint8_t m_tampon[64];
    size_t m_iRempli = 0;
    uint64_t m_iTotal = 0;
};
