// The bootloader exchange on any replies a device (or anyone on the network) may send: the
// reply reader takes the documented bytes only, and the exchange, fed with those replies and
// with deadlines passing, only ever sends well formed requests numbered one after the other,
// ends at most once, with a known code. The multipart body keeps its frame for any file.
#include "firmware/ZorFirmwareFormat.h"
#include "firmware/ZorUploadFirmware.h"

#include <wx/init.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace ZorFirmware;

namespace {

void Check(bool b)
{
    if (!b)
        abort();
}

struct Sink : ZorUploadFirmwareSink
{
    std::vector<std::string> requetes;
    std::vector<int> fins;
    void EnvoyerRequete(const uint8_t* p, size_t n) override
    {
        requetes.emplace_back((const char*)p, n);
    }
    void OnFin(ZorStatutBoot s) override { fins.push_back(ZorCode(s)); }
};

// A 50-byte image, made once.
const std::string& Image()
{
    static std::string chemin;
    if (chemin.empty()) {
        char modele[] = "/tmp/firmware-fuzz-XXXXXX";
        const int fd = mkstemp(modele);
        Check(fd >= 0);
        std::string octets(50, '\0');
        for (size_t i = 0; i < octets.size(); ++i)
            octets[i] = char(i * 7 + 1);
        Check(write(fd, octets.data(), octets.size()) == ssize_t(octets.size()));
        close(fd);
        chemin = modele;
    }
    return chemin;
}

// The exchange writes its codes to the log, found through the toolkit: a toolkit, and a home
// of our own so that no user's log is touched; removed at exit.
bool Preparer()
{
    static std::string home = "/tmp/firmware-fuzz-" + std::to_string(getpid());
    std::filesystem::create_directories(home + "/Tavlin");
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_DOCUMENTS_DIR");
    static wxInitializer toolkit;
    atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(home, ignored);
        unlink(Image().c_str());
    });
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    static const bool bPrepare = Preparer();
    (void)bPrepare;
    const Reponse r = LireReponse(data, size);
    Check(r.iCommande == (size > 6 ? data[6] : 0));
    Check(r.iStatut == ((size > 16 ? data[16] : 0) << 8 | (size > 17 ? data[17] : 0)));

    const std::string contenu(reinterpret_cast<const char*>(data), size);
    const std::string corps = DebutCorps("name=\"f\"") + contenu + FinCorps();
    Check(corps.compare(0, 2 + strlen(kBoundary), std::string("--") + kBoundary) == 0);
    Check(corps.find(contenu, DebutCorps("name=\"f\"").size()) == DebutCorps("name=\"f\"").size());

    // Each chunk: one control byte (bit 7: a reply follows, else time passes) and, for a reply,
    // a length byte and that many bytes. Replies take the last request's number when bit 6 says so.
    ZorManualClock clock;
    Sink sink;
    ZorUploadFirmwareLogique logique(sink, clock);
    logique.SetMACAttendue(size & 1 ? "" : "02-54-56-4D-0A-00");
    Check(logique.Init(Image()));
    logique.Demarrer();
    size_t i = 0;
    for (int pas = 0; pas < 512 && i < size; ++pas) {
        const uint8_t c = data[i++];
        if (c & 0x80) {
            size_t n = 0;
            if (i < size) {
                n = data[i++];
                n = std::min(n, size - i);
            }
            std::vector<uint8_t> reponse(data + i, data + i + n);
            i += n;
            if ((c & 0x40) && !sink.requetes.empty() && reponse.size() >= 6) {
                reponse[4] = uint8_t(sink.requetes.back()[4]);
                reponse[5] = uint8_t(sink.requetes.back()[5]);
            }
            logique.Recevoir(reponse.data(), reponse.size());
        } else {
            clock.Advance(int64_t(c) * 100);
            logique.Verifier();
        }
    }
    clock.Advance(60000);
    logique.Verifier();
    Check(sink.fins.size() <= 1);
    if (!sink.fins.empty())
        Check(sink.fins[0] >= 0 && sink.fins[0] <= 11 &&
              sink.fins[0] == ZorCode(logique.GetStatus()));
    for (size_t k = 0; k < sink.requetes.size(); ++k) {
        const std::string& q = sink.requetes[k];
        Check(q.size() == (q[6] == ZOR_BOOT_ENREGISTREMENT ? 31u : 7u));
        Check(uint8_t(q[0]) == 0x5A && uint8_t(q[1]) == 0xA5);
        Check(((uint8_t(q[4]) << 8) | uint8_t(q[5])) == int(k & 0xFFFF));
    }
    return 0;
}
