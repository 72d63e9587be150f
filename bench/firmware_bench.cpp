// Firmware transfer figures, each beside a bare baseline measured in the same run against the
// same emulated device of the test network:
//  - bootloader upload of a 256 KiB image, in records per second: our transfer (toolkit socket
//    events, the exchange's rules) against a plain stop-and-wait loop sending the same 31-byte
//    requests with bare sockets and no toolkit;
//  - HTTP post of a 1 MiB image: our upload thread against a bare libcurl POST of the same body.
//
//   tools/bench.sh firmware        (runs it inside tools/testnet.sh --lan)
#include "bench/ZorBenchConsole.h"
#include "firmware/ZorFirmwareFormat.h"
#include "firmware/ZorPostFile.h"
#include "firmware/ZorUploadFirmware.h"
#include "tests/common/ZorEmu.h"
#include "tests/common/ZorTestSupport.h"
#include "tests/firmware/ZorDossierMAJ.h"

#include <curl/curl.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/socket.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace zortest {
void SetTestHome(const std::string& home);
}

namespace {

using namespace ZorFirmware;
const char* const kIP = "192.168.77.10";
const char* const kLocal = "192.168.77.1";
const size_t kImage = 256 * 1024;
const size_t kPost = 1024 * 1024;
const int kTours = 3;
const int kToursPost = 15;

double Maintenant()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The device restarts into its bootloader and listens to the group.
bool EnBootloader(zortest::Emu& emu)
{
    if (emu.Command("REBOOT 0") != "OK")
        return false;
    return zortest::PumpUntil(
        [&] {
            const std::string log = emu.Log();
            const size_t join = log.rfind("BOOT-JOIN"), leave = log.rfind("BOOT-LEAVE");
            return emu.Get(0, "boot") == "1" && join != std::string::npos &&
                   (leave == std::string::npos || join > leave);
        },
        5000);
}

// Plain stop-and-wait with bare sockets: records per second, 0 on failure.
double BootBrut(const std::string& image)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int un = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &un, sizeof un);
    sockaddr_in local{}, groupe{};
    local.sin_family = groupe.sin_family = AF_INET;
    local.sin_port = groupe.sin_port = htons(kPort);
    inet_pton(AF_INET, kLocal, &local.sin_addr);
    inet_pton(AF_INET, kGroupe, &groupe.sin_addr);
    if (bind(fd, (sockaddr*)&local, sizeof local) != 0 ||
        setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &local.sin_addr, sizeof local.sin_addr) != 0) {
        close(fd);
        return 0;
    }
    uint16_t seq = 0;
    uint8_t id1 = 0, id2 = 0;
    // One request, then its reply (1 s at most); false when none came.
    auto echange = [&](uint8_t cmd, const uint8_t* rec, Reponse* r) {
        uint8_t q[kTailleRequeteEnregistrement];
        const uint16_t s = seq++;
        const size_t n = ConstruireRequete(q, id1, id2, s, cmd, rec);
        sendto(fd, q, n, 0, (sockaddr*)&groupe, sizeof groupe);
        for (int i = 0; i < 10; ++i) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0)
                continue;
            uint8_t b[kTailleReponseMax] = {};
            const ssize_t got = recv(fd, b, sizeof b, 0);
            *r = LireReponse(b, size_t(std::max<ssize_t>(got, 0)));
            if (r->iSequence == s)
                return true;
        }
        return false;
    };
    Reponse r;
    double debut = 0, fin = 0;
    size_t records = 0;
    if (echange(ZOR_BOOT_CAPTURE, nullptr, &r) && r.iStatut != 0) {
        id1 = r.iId1;
        id2 = r.iId2;
        debut = Maintenant();
        uint8_t rec[kTailleEnregistrement] = {};
        for (size_t i = 0; i < image.size(); i += kTailleEnregistrement, ++records) {
            memcpy(rec, image.data() + i, std::min(kTailleEnregistrement, image.size() - i));
            if (!echange(ZOR_BOOT_ENREGISTREMENT, rec, &r) || r.iStatut != 0)
                break;
        }
        fin = Maintenant();
        echange(ZOR_BOOT_FIN, nullptr, &r);
    }
    close(fd);
    return records * kTailleEnregistrement >= image.size() ? records / (fin - debut) : 0;
}

struct Vue : ZorUploadFirmwareVue
{
    double debut = 0, fin = 0;
    uint64_t envoyes = 0;
    std::vector<int> fins;
    void OnCapture(const wxString&) override { debut = Maintenant(); }
    void OnProgression(uint64_t n, uint64_t total) override
    {
        envoyes = n;
        if (n == total)
            fin = Maintenant();
    }
    void OnFin(ZorStatutBoot s) override { fins.push_back(ZorCode(s)); }
};

// Our transfer on the same adapter: records per second from capture to the last acknowledgement.
double BootNotre(const std::string& chemin, size_t taille)
{
    ZorManualClock clock; // the 6 s end runs on it: not part of the figure
    Vue vue;
    ZorCarteEth carte;
    carte.m_zIP = kLocal;
    ZorCarteEthPtrArray cartes;
    cartes.Add(&carte);
    ZorUploadFirmwareTransfert t(vue, "", clock);
    if (!t.Init(chemin))
        return 0;
    t.Demarrer(cartes);
    zortest::PumpUntil([&] { return vue.fin > 0 || !vue.fins.empty(); }, 120000);
    clock.Advance(ZorUploadFirmwareLogique::kFinMs);
    t.Verifier();
    const double records = double((taille + kTailleEnregistrement - 1) / kTailleEnregistrement);
    return vue.fins == std::vector<int>{0} ? records / (vue.fin - vue.debut) : 0;
}

size_t Ignorer(char*, size_t size, size_t nmemb, void*)
{
    return size * nmemb;
}

// Bare libcurl POST of the same body: seconds.
double PostBrut(const std::string& corps)
{
    CURL* e = curl_easy_init();
    curl_slist* h = curl_slist_append(nullptr, ("Content-type: " + ContentType()).c_str());
    h = curl_slist_append(h, "Expect:");
    const std::string url = std::string("http://") + kIP + "/mpfsupload";
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(e, CURLOPT_POSTFIELDS, corps.data());
    curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(corps.size()));
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, h);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Ignorer);
    const double debut = Maintenant();
    const CURLcode c = curl_easy_perform(e);
    const double duree = Maintenant() - debut;
    curl_slist_free_all(h);
    curl_easy_cleanup(e);
    return c == CURLE_OK ? duree : 0;
}

// Our upload thread, from Lancer to its end: seconds.
double PostNotre(const std::string& fichier)
{
    wxEvtHandler destinataire;
    ZorPostFile thread(&destinataire, ZOR_EVT_POST_FIN, ZorPostFile::ID_FIN, ZOR_EVT_POST_SECOND,
                       ZorPostFile::ID_SECOND);
    wxString reponse;
    const double debut = Maintenant();
    thread.Lancer(fichier, "/mpfsupload", kIP, kLocal, "name=\"fichier\"; filename=\"Tavlin.bin\"",
                  120, &reponse);
    thread.Wait();
    const double duree = Maintenant() - debut;
    return thread.GetErreur() == ZorCodePost::SUCCES ? duree : 0;
}

double Meilleur(std::vector<double> v, bool bPlusGrand)
{
    v.erase(std::remove(v.begin(), v.end(), 0.0), v.end());
    if (v.empty())
        return 0;
    return bPlusGrand ? *std::max_element(v.begin(), v.end())
                      : *std::min_element(v.begin(), v.end());
}

} // namespace

int main()
{
    char arg0[] = "firmware_bench";
    const std::string home = zorbench::DemarrerConsole(arg0);
    if (home.empty())
        return 3;

    int rc = 0;
    {
        zortest::Emu emu;
        if (!zortest::InTestNetwork() || !emu.Start(zortest::EnvOr("TAVLIN_NS_LAN1", ""),
                                                    {"--first-ip", kIP, "--reboot-secs", "600"})) {
            fprintf(stderr, "firmware_bench: needs the test network (tools/bench.sh firmware)\n");
            rc = 1;
        } else {
            const std::string dossier = zortest::DossierMAJ(home, 1, kImage, kPost);
            const std::string image = zortest::ReadFile(dossier + "/tavlin.cry");
            std::vector<double> brut, notre, postBrut, postNotre;
            const std::string corps =
                ZorPostFile::Corps("name=\"fichier\"; filename=\"Tavlin.bin\"",
                                   zortest::ReadFile(dossier + "/tavlin.bin"));
            for (int i = 0; i < kTours; ++i) { // interleaved, so both see the same machine load
                if (EnBootloader(emu))
                    brut.push_back(BootBrut(image));
                if (EnBootloader(emu))
                    notre.push_back(BootNotre(dossier + "/tavlin.cry", kImage));
            }
            for (int i = 0; i < kToursPost; ++i) {
                postBrut.push_back(PostBrut(corps));
                postNotre.push_back(PostNotre(dossier + "/tavlin.bin"));
            }
            const double b = Meilleur(brut, true), n = Meilleur(notre, true);
            const double pb = Meilleur(postBrut, false), pn = Meilleur(postNotre, false);
            printf("bootloader upload of 256 KiB (best of %d):\n", kTours);
            printf("  bare stop-and-wait    %8.0f records/s\n", b);
            printf("  ZorUploadFirmware     %8.0f records/s  (%.2f of bare, target >= 0.45)\n", n,
                   b > 0 ? n / b : 0);
            printf("HTTP post of 1 MiB (best of %d):\n", kToursPost);
            printf("  bare libcurl POST     %8.1f ms\n", pb * 1000);
            printf("  ZorPostFile           %8.1f ms  (%.2fx bare, target <= 1.2x)\n", pn * 1000,
                   pb > 0 ? pn / pb : 0);
            rc = b > 0 && n > 0 && pb > 0 && pn > 0 ? 0 : 1;
        }
    }
    zorbench::Terminer(home);
    return rc;
}
