// platform/windows under Wine in the test network, without the toolkit: adapters, echo,
// neighbour lookup, UDP port owners, file locks and replacement.
//   platform_test.exe lan       (tools/testnet.sh --lan: two adapters, devices' side at .253)
//   platform_test.exe isolated  (tools/testnet.sh --isolated: no adapter at all)
#include "platform/ZorPlatform.h"
#include "platform/ZorPlatformVerrou.h"
#include "platform/windows/ZorWindows.h"

#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int gEchecs = 0;

void Verifier(bool b, const std::string& z)
{
    std::printf("%s %s\n", b ? "ok  " : "FAIL", z.c_str());
    gEchecs += b ? 0 : 1;
}

// One echo request to zIP with its wait; true when the destination answered.
bool Echo(const char* zIP, int iMs)
{
    ZorPlatform::SocketEcho s;
    uint32_t a = 0;
    if (!s.Ouvrir() || !ZorPlatform::ResoudreIPv4(zIP, &a, nullptr))
        return false;
    uint8_t req[16] = {8, 0, 0, 0, 0x34, 0x12, 1, 0, 'e', 'c', 'h', 'o', 1, 2, 3, 4};
    if (!s.Envoyer(a, req, sizeof req) || s.AttendreLecture(iMs) != 1)
        return false;
    uint8_t rep[128];
    uint32_t src = 0;
    const int n = s.Recevoir(rep, sizeof rep, &src);
    // As a raw socket gives it: IPv4 header, echo reply, our identifier and data.
    return n == 20 + 16 && rep[0] == 0x45 && rep[20] == 0 && rep[24] == 0x34 && src == a &&
           std::memcmp(rep + 28, req + 8, 8) == 0;
}

void Fichiers()
{
    char zTemp[MAX_PATH];
    GetTempPathA(MAX_PATH, zTemp);
    const std::string zDossier = std::string(zTemp) + "tavlin été";
    CreateDirectoryW(ZorPlatform::Large(zDossier).c_str(), nullptr);
    const std::string zVerrou = zDossier + "\\r.lock";
    ZorPlatform::VerrouFichier v1, v2;
    bool bOccupe = false;
    Verifier(v1.Prendre(zVerrou, 0, &bOccupe, nullptr) && !bOccupe, "lock taken (accented path)");
    Verifier(!v2.Prendre(zVerrou, 50, &bOccupe, nullptr) && bOccupe, "second lock busy");
    v1.Liberer();
    Verifier(GetFileAttributesW(ZorPlatform::Large(zVerrou).c_str()) == INVALID_FILE_ATTRIBUTES,
             "lock file removed on release");
    Verifier(v2.Prendre(zVerrou, 0, nullptr, nullptr), "lock taken again after release");
    v2.Liberer();

    const std::string zJournal = zDossier + "\\j.log";
    int iErreur = 0;
    const int fd = ZorPlatform::OuvrirFichierExclusif(zJournal, &bOccupe, &iErreur);
    Verifier(fd >= 0, "log opened exclusively");
    Verifier(ZorPlatform::OuvrirFichierExclusif(zJournal, &bOccupe, &iErreur) < 0 && bOccupe,
             "log held by another run is busy");
    if (fd >= 0)
        _close(fd);

    const std::string zNouveau = zDossier + "\\n.tmp", zCible = zDossier + "\\c.txt";
    for (const std::string& z : {zNouveau, zCible}) {
        HANDLE h = CreateFileW(ZorPlatform::Large(z).c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_ALWAYS, 0, nullptr);
        DWORD n = 0;
        WriteFile(h, z.data(), DWORD(z.size()), &n, nullptr);
        CloseHandle(h);
    }
    bool bExiste = false;
    Verifier(!ZorPlatform::FichierEnLectureSeule(zCible, &bExiste) && bExiste, "writable file");
    Verifier(ZorPlatform::RemplacerFichier(zNouveau, zCible), "existing file replaced");
    SetFileAttributesW(ZorPlatform::Large(zCible).c_str(), FILE_ATTRIBUTE_READONLY);
    Verifier(ZorPlatform::FichierEnLectureSeule(zCible, nullptr), "read-only file seen");
    SetFileAttributesW(ZorPlatform::Large(zCible).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(ZorPlatform::Large(zCible).c_str());
    DeleteFileW(ZorPlatform::Large(zJournal).c_str());
    RemoveDirectoryW(ZorPlatform::Large(zDossier).c_str());
}

} // namespace

int main(int argc, char** argv)
{
    const char* net = std::getenv("TAVLIN_TESTNET");
    if (argc < 2 || !net || std::strcmp(net, "1") != 0) {
        std::fprintf(stderr, "platform_test: refused: run inside tools/testnet.sh\n");
        return 4;
    }
    const bool bLan = std::strcmp(argv[1], "lan") == 0;
    std::vector<ZorAdaptateur> adaptateurs;
    int iErreur = 0;
    Verifier(ZorPlatform::EnumererAdaptateurs(adaptateurs, &iErreur), "adapters listed");
    for (const ZorAdaptateur& a : adaptateurs)
        std::printf("     adapter %s [%s] %s/%s gw %s dhcp %d (%s) type %d index %d mac %zu\n",
                    a.zNom.c_str(), a.zDescription.c_str(), a.zIP.c_str(), a.zMask.c_str(),
                    a.zGateway.c_str(), int(a.bDhcp), a.zServeurDhcp.c_str(), a.iType, a.iIndex,
                    a.mac.size());
    if (bLan) {
        int iTrouves = 0;
        for (const ZorAdaptateur& a : adaptateurs) {
            if (a.zIP == "192.168.77.1")
                iTrouves += a.zMask == "255.255.255.0" && a.zGateway == "192.168.77.254" &&
                            a.mac.size() == 6 && a.iType == 6 && a.iIndex > 0;
            if (a.zIP == "192.168.78.1")
                iTrouves += a.zMask == "255.255.255.0" && a.mac.size() == 6;
        }
        Verifier(iTrouves == 2, "both adapters with address, mask, gateway, MAC, type, index");
        // The run adds an adapter without IPv4: listed with 0.0.0.0, or left out, never empty.
        bool bTextes = true;
        for (const ZorAdaptateur& a : adaptateurs)
            bTextes = bTextes && !a.zIP.empty() && !a.zMask.empty() && !a.zGateway.empty();
        Verifier(bTextes, "every adapter has address, mask and gateway texts");
        Verifier(Echo("192.168.77.253", 2000), "echo answered by a host of the LAN");
        Verifier(!Echo("192.168.77.99", 1500), "no echo from an absent address");
        uint32_t a = 0;
        ZorPlatform::ResoudreIPv4("192.168.77.253", &a, nullptr);
        Verifier(ZorPlatform::ChercherVoisin(a, 1000, nullptr) == ZorPlatform::ZorVoisin::Present,
                 "neighbour present");
    } else {
        Verifier(adaptateurs.empty(), "no adapter at all: an empty list, no failure");
        Verifier(!Echo("192.0.2.1", 500), "echo without any adapter: no reply, no crash");
    }
    Verifier(ZorPlatform::SocketsUdpAutresProcessus(30303) == 0, "no other owner of port 30303");
    Verifier(ZorPlatform::TempsMs() != 0 && ZorPlatform::IdProcessus() == GetCurrentProcessId(),
             "clock and process id");
    Fichiers();
    std::printf("platform_test: %s\n", gEchecs ? "FAILED" : "passed");
    return gEchecs ? 1 : 0;
}
