// Both firmware transfers against an emulated device in the test network: the bootloader
// upload (the device restarted into its bootloader) and the HTTP post to its upload page. The
// transfers run on a manual clock, so their 5 s and 6 s rules take no real time; the test moves
// the clock when the emulator's log shows the step it waits for.
#include "device/ZorTavlinObj.h"
#include "emulator/EmuBoot.h"
#include "firmware/ZorPostFile.h"
#include "firmware/ZorUploadFirmware.h"
#include "infra/ZorLogFile.h"
#include "tests/common/ZorEmu.h"
#include "tests/common/ZorTestSupport.h"
#include "tests/firmware/ZorDossierMAJ.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char* const kDevice = "192.168.77.10";

struct Vue : ZorUploadFirmwareVue, ZorPostFileVue
{
    std::vector<int> fins;
    wxString capture;
    void OnCapture(const wxString& zId) override { capture = zId; }
    void OnFin(ZorStatutBoot s) override { fins.push_back(ZorCode(s)); }
    void OnFin(ZorCodePost c) override { fins.push_back(ZorCode(c)); }
};

size_t LignesJournal(const std::string& texte)
{
    const std::string journal = zortest::ReadFile(ZorLogFile::GetPath().ToStdString());
    size_t n = 0;
    for (size_t i = journal.find(texte); i != std::string::npos; i = journal.find(texte, i + 1))
        ++n;
    return n;
}

class FirmwareTransfer : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(zortest::InTestNetwork());
        ASSERT_TRUE(
            emu.Start(zortest::EnvOr("TAVLIN_NS_LAN1", ""),
                      {"--first-ip", kDevice, "--reboot-secs", "60", "--version", "Tavlin v3"}));
        mac = emu.Get(0, "mac");
        pc1.m_zIP = "192.168.77.1";
        pc2.m_zIP = "192.168.78.1";
        cartes.Add(&pc1);
        cartes.Add(&pc2);
        base = zortest::MakeTempDir("fw");
    }

    // Restarts the device into its bootloader and waits until it listens to the group.
    void EnBootloader()
    {
        ASSERT_EQ(emu.Command("REBOOT 0"), "OK");
        ASSERT_TRUE(zortest::PumpUntil(
            [&] {
                const std::string log = emu.Log();
                return emu.Get(0, "boot") == "1" && log.rfind("BOOT-JOIN") != std::string::npos &&
                       (log.rfind("BOOT-LEAVE") == std::string::npos ||
                        log.rfind("BOOT-JOIN") > log.rfind("BOOT-LEAVE"));
            },
            5000));
    }

    // Uploads the image of the given size; the 5 s resend and the 6 s end run on the clock.
    // On the adapters given, or (without) on the device manager's.
    int Envoyer(size_t taille, const wxString& macAttendue, std::string* image = nullptr,
                bool bCartesDuGestionnaire = false)
    {
        const std::string dossier = zortest::DossierMAJ(base, int(++version), taille, 1);
        if (image)
            *image = zortest::ReadFile(dossier + "/tavlin.cry");
        vue = std::make_unique<Vue>();
        transfert = std::make_unique<ZorUploadFirmwareTransfert>(*vue, macAttendue, clock);
        EXPECT_TRUE(transfert->Init(dossier + "/tavlin.cry"));
        // Counted before the start: the device may answer the first capture before Demarrer returns.
        const size_t fins = emu.LogLines("BOOT-END").size(),
                     drops = emu.LogLines("BOOT-DROP").size();
        size_t pasPrets = emu.LogLines("BOOT-NOTREADY").size();
        if (bCartesDuGestionnaire) {
            transfert->Demarrer(gpTheTavlin->GetArrayCarteEth());
            EXPECT_GE(transfert->GetNombreSockets(), 2u); // both test adapters, maybe the loopback
        } else {
            transfert->Demarrer(cartes);
            EXPECT_EQ(transfert->GetNombreSockets(), 2u);
        }
        bool resent = false;
        for (int i = 0; i < 600 && vue->fins.empty(); ++i) {
            zortest::PumpUntil([&] { return !vue->fins.empty(); }, 50);
            if (emu.LogLines("BOOT-NOTREADY").size() > pasPrets) { // asked again once spaced out
                pasPrets = emu.LogLines("BOOT-NOTREADY").size();
                clock.Advance(ZorUploadFirmwareLogique::kEspacementNonPretMs);
                transfert->Verifier();
            }
            if (!resent && emu.LogLines("BOOT-DROP").size() > drops) {
                resent = true;
                clock.Advance(ZorUploadFirmwareLogique::kAcquittementMs);
                transfert->Verifier();
            }
            if (emu.LogLines("BOOT-END").size() > fins && vue->fins.empty()) {
                clock.Advance(ZorUploadFirmwareLogique::kFinMs - 1);
                transfert->Verifier();
                EXPECT_TRUE(vue->fins.empty()); // not before 6 s
                clock.Advance(1);
                transfert->Verifier();
            }
        }
        return vue->fins.size() == 1 ? vue->fins[0] : -1000;
    }

    zortest::Emu emu;
    std::string mac, base;
    ZorCarteEth pc1, pc2;
    ZorCarteEthPtrArray cartes;
    ZorManualClock clock;
    std::unique_ptr<Vue> vue;
    std::unique_ptr<ZorUploadFirmwareTransfert> transfert;
    unsigned version = 3;
};

TEST_F(FirmwareTransfer, BootloaderUploadsStoreExactlyTheRecordsSent)
{
    const struct
    {
        size_t taille;
        const char* notReady;
        const char* drop;
    } cas[] = {{48, "0", "0"}, {50, "3", "0"}, {256 * 1024, "0", "0"}, {100, "0", "2"}};
    int numero = 3;
    for (const auto& c : cas) {
        SCOPED_TRACE(c.taille);
        ASSERT_TRUE(emu.Set(0, "bootnotready", c.notReady));
        ASSERT_TRUE(emu.Set(0, "bootdrop", c.drop));
        EnBootloader();
        std::string image;
        EXPECT_EQ(Envoyer(c.taille, mac, &image), 0);
        EXPECT_EQ(vue->capture, wxString(mac.substr(mac.size() - 5)));
        EXPECT_EQ(transfert->Logique().GetIdentifiant(), vue->capture);
        const std::string stocke = zortest::Enregistrements(image);
        EXPECT_EQ(emu.Get(0, "bootsize"), std::to_string(stocke.size()));
        EXPECT_EQ(emu.Get(0, "bootfnv"), emu::Fnv64(stocke));
        EXPECT_EQ(emu.Get(0, "version"), "Tavlin v" + std::to_string(++numero)); // the number + 1
        EXPECT_EQ(emu.Get(0, "boot"), "0"); // back as a normal device
    }
    EXPECT_EQ(emu.LogLines("BOOT-NOTREADY").size(), 3u);
    EXPECT_EQ(emu.LogLines("BOOT-DROP").size(), 1u);
}

TEST_F(FirmwareTransfer, BootloaderFailuresThenTheDeviceManagersAdapters)
{
    const size_t avant = emu.LogLines("BOOT-RECORD").size();
    EnBootloader();
    EXPECT_EQ(Envoyer(48, "02-54-56-4D-0A-99"), 11); // not the device expected
    EXPECT_EQ(emu.LogLines("BOOT-RECORD").size(), avant);
    EXPECT_TRUE(transfert->Logique().GetIdentifiant().empty());

    ASSERT_TRUE(emu.Set(0, "bootstatus", "2:0800"));
    EnBootloader();
    const size_t lignes = LignesJournal("Tavlin [5]");
    EXPECT_EQ(Envoyer(48, ""), 5);
    EXPECT_EQ(LignesJournal("Tavlin [5]"), lignes + 1);
    EXPECT_EQ(emu.Get(0, "bootuploads"), "0");

    // The device manager's adapters: the two of the test network and its loopback.
    ASSERT_TRUE(emu.Set(0, "bootstatus", "0:0000"));
    ASSERT_TRUE(ZorTavlinObj::CreateTavlinObj());
    ASSERT_TRUE(gpTheTavlin->OuvrirReseau());
    EnBootloader();
    EXPECT_EQ(Envoyer(48, mac, nullptr, true), 0);
    transfert.reset();
    gpTheTavlin->FermerReseau();
    ZorTavlinObj::DeleteTavlinObj();
}

TEST_F(FirmwareTransfer, PostKeepsTheFileAndFailuresGiveMinusFour)
{
    // The upload thread wakes the event loop up: that loop must exist before the thread starts,
    // as it does in a program, not be made afresh by each wait of the test.
    zortest::BoucleActive boucle;
    const std::string dossier = zortest::DossierMAJ(base, 9, 1, 1024 * 1024);
    const std::string fichier = dossier + "/tavlin.bin";
    const struct
    {
        const char* ip;
        const char* chemin;
        int code;
    } cas[] = {{kDevice, "/mpfsupload", 0},
               {kDevice, "/absent", -4},
               {"192.168.77.253", "/mpfsupload", -4}};
    for (const auto& c : cas) {
        SCOPED_TRACE(std::string(c.ip) + c.chemin);
        const size_t lignes = LignesJournal("ZorPostFile::");
        Vue v;
        ZorPostFileTransfert t(v, clock);
        ASSERT_TRUE(t.Init(c.ip, "192.168.77.1", fichier, c.chemin,
                           "name=\"fichier\"; filename=\"Tavlin.bin\"", 120, false));
        t.Demarrer();
        ASSERT_TRUE(zortest::PumpUntil([&] { return t.DelaiProchaineEcheance() <= 1000; }, 20000));
        clock.Advance(t.DelaiProchaineEcheance());
        t.Verifier();
        EXPECT_EQ(v.fins, std::vector<int>{c.code});
        EXPECT_EQ(LignesJournal("ZorPostFile::"), lignes + (c.code ? 1 : 0));
        if (c.code == 0) {
            EXPECT_EQ(t.GetReponse(), "OK\n");
        }
    }
    EXPECT_EQ(emu.Get(0, "webuploads"), "1");
    EXPECT_EQ(emu.Get(0, "webname"), "Tavlin.bin");
    EXPECT_EQ(emu.Get(0, "websize"), std::to_string(1024 * 1024));
    EXPECT_EQ(emu.Get(0, "webfnv"), emu::Fnv64(zortest::ReadFile(fichier)));
    EXPECT_EQ(emu.LogLines("UPLOAD").size(), 2u); // the refused connection never reached it
}

// The upload page reads the multipart body strictly: anything but one whole part gets 400.
TEST_F(FirmwareTransfer, UploadPageRefusesMalformedBodies)
{
    const std::string type = "multipart/form-data; boundary=B0";
    const std::string tete =
        "--B0\r\nContent-Disposition: form-data; name=\"f\"; filename=\"a.bin\"\r\n\r\n";
    const struct
    {
        std::string type, corps;
        int statut;
    } cas[] = {
        {type, tete + "abc\r\n--B0--\r\n", 200},
        {"multipart/form-data; boundary=\"B0\"", tete + "\r\n--B0--\r\n", 200},
        {"text/plain", tete + "abc\r\n--B0--\r\n", 400},                          // no boundary
        {type, tete + "abc\r\n--B0\r\n", 400},                                    // no closing line
        {type, tete + "abc\r\n--B0--\r\nmore", 400},                              // bytes after it
        {type, "--B1\r\n" + tete.substr(6) + "abc\r\n--B0--\r\n", 400},           // other boundary
        {type, "--B0\r\nContent-Type: x\r\n\r\nabc\r\n--B0--\r\n", 400},          // no disposition
        {type, tete + "a\r\n--B0\r\n" + tete.substr(6) + "b\r\n--B0--\r\n", 400}, // two parts
    };
    int iAcceptes = 0;
    for (const auto& c : cas) {
        SCOPED_TRACE(c.corps);
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(80);
        inet_pton(AF_INET, kDevice, &a.sin_addr);
        ASSERT_EQ(connect(fd, (sockaddr*)&a, sizeof a), 0);
        const std::string requete = "POST /mpfsupload HTTP/1.0\r\nContent-Type: " + c.type +
                                    "\r\nContent-Length: " + std::to_string(c.corps.size()) +
                                    "\r\n\r\n" + c.corps;
        ASSERT_EQ(send(fd, requete.data(), requete.size(), MSG_NOSIGNAL), ssize_t(requete.size()));
        const std::string reponse = zortest::ReadSocket(fd, 3000, "\r\n");
        close(fd);
        EXPECT_EQ(reponse.substr(0, 12), "HTTP/1.0 " + std::to_string(c.statut));
        iAcceptes += c.statut == 200;
    }
    EXPECT_EQ(emu.Get(0, "webuploads"), std::to_string(iAcceptes));
    EXPECT_EQ(emu.Get(0, "websize"), "0"); // the last file kept is the empty one
    EXPECT_EQ(emu.LogLines("UPLOAD").size(), sizeof cas / sizeof cas[0]);
}

} // namespace
