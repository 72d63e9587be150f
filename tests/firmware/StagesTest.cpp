// The update stages that need no transfer: image checks, the search for the restarted device and
// the codes of the completion stage.
#include "device/ZorTavlinObj.h"
#include "firmware/ZorFirmwareFormat.h"
#include "firmware/ZorMAJTavlin.h"
#include "firmware/ZorPostFile.h"
#include "infra/ZorClock.h"
#include "infra/ZorLogFile.h"
#include "infra/ZorSha256.h"
#include "tests/common/ZorTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <sys/stat.h>

namespace {

TEST(UpdateStages, ImagesAreCheckedAndTheirSumsLogged)
{
    struct
    {
        const char* texte;
        const char* somme;
    } vecteurs[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    };
    for (const auto& v : vecteurs) {
        ZorSha256 sha;
        sha.Ajouter(v.texte, std::strlen(v.texte));
        EXPECT_EQ(sha.TerminerHex(), v.somme) << v.texte;
    }

    const std::string dir = zortest::MakeTempDir("images");
    const wxString zDir = wxString::FromUTF8(dir);
    const std::string log = ZorLogFile::GetPath().utf8_string();
    const size_t before = zortest::ReadFile(log).size();
    EXPECT_FALSE(ZorMAJTavlin::VerifierImages(zDir)) << "no images";
    zortest::WriteFile(dir + "/tavlin.cry", std::string(48, 'c'));
    zortest::WriteFile(dir + "/tavlin.bin", "");
    EXPECT_FALSE(ZorMAJTavlin::VerifierImages(zDir)) << "an empty web image";
    zortest::WriteFile(dir + "/tavlin.bin", "abc");
    EXPECT_TRUE(ZorMAJTavlin::VerifierImages(zDir));
    const std::string added = zortest::ReadFile(log).substr(before);
    EXPECT_NE(added.find("tavlin.bin : 3 octets, SHA-256 "
                         "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"),
              std::string::npos)
        << added;
    EXPECT_NE(added.find("tavlin.cry : 48 octets"), std::string::npos);
    EXPECT_NE(added.find("illisible ou vide"), std::string::npos);
}

TEST(UpdateStages, ImagesThatAreNotRegularFilesOfTheFolderOrTooLargeAreRefusedUnopened)
{
    // Each would hang or flood a reader: a FIFO blocks the open, /dev/zero never ends.
    namespace fs = std::filesystem;
    const std::string base = zortest::MakeTempDir("hostile");
    const std::string ailleurs = base + "/ailleurs.bin", fifo = base + "/fifo";
    zortest::WriteFile(ailleurs, "abc");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const struct
    {
        const char* nom;
        std::function<void(const std::string&)> faire; // makes the image at this path
        const char* raison;                            // empty: accepted
    } cas[] = {
        {"fifo link", [&](const std::string& p) { fs::create_symlink(fifo, p); },
         "pas un fichier ordinaire"},
        {"fifo", [&](const std::string& p) { mkfifo(p.c_str(), 0600); },
         "pas un fichier ordinaire"},
        {"/dev/zero", [&](const std::string& p) { fs::create_symlink("/dev/zero", p); },
         "pas un fichier ordinaire"},
        {"folder", [&](const std::string& p) { fs::create_directory(p); },
         "pas un fichier ordinaire"},
        {"dangling", [&](const std::string& p) { fs::create_symlink(base + "/rien", p); },
         "absente"},
        {"outside", [&](const std::string& p) { fs::create_symlink(ailleurs, p); },
         "hors du dossier"},
        {"one too many",
         [&](const std::string& p) {
             zortest::WriteFile(p, "");
             fs::resize_file(p, ZorFirmware::kTailleImageMax + 1);
         },
         "1 572 864"},
        {"inside link", [&](const std::string& p) { fs::create_symlink("autre.cry", p); }, ""},
        {"largest",
         [&](const std::string& p) {
             zortest::WriteFile(p, "");
             fs::resize_file(p, ZorFirmware::kTailleImageMax);
         },
         ""},
    };
    int n = 0;
    for (const auto& c : cas) {
        SCOPED_TRACE(c.nom);
        const std::string dir = base + "/maj_v" + std::to_string(++n);
        fs::create_directory(dir);
        zortest::WriteFile(dir + "/autre.cry", "xyz");
        zortest::WriteFile(dir + "/tavlin.bin", "abc");
        c.faire(dir + "/tavlin.cry");
        wxString raison;
        EXPECT_EQ(ZorMAJTavlin::VerifierImages(wxString::FromUTF8(dir), &raison), !*c.raison);
        EXPECT_NE(raison.utf8_string().find(c.raison), std::string::npos) << raison;
        // The two transfers refuse the same files without opening them.
        if (std::string(c.raison).find("ordinaire") != std::string::npos) {
            ZorFirmware::LecteurImage lecteur;
            EXPECT_FALSE(lecteur.Ouvrir(dir + "/tavlin.cry"));
            struct : ZorPostFileVue
            {
                void OnFin(ZorCodePost) override {}
            } vue;
            ZorPostFileTransfert post(vue);
            EXPECT_FALSE(post.Init("127.0.0.1", "", wxString::FromUTF8(dir + "/tavlin.cry"), "/x",
                                   "", 5, false));
        }
    }
    // And the digest never reads past the bound, whatever the file turns out to hold.
    EXPECT_EQ(ZorSha256::DeFichier("/dev/zero", nullptr, 1 << 20), "");
}

TEST(UpdateStages, SearchTakesOnlyADeviceSeenSinceTheBootloader)
{
    ZorMAJTavlin sansGestionnaire;
    wxString ip = "x", ipLocal, mac;
    EXPECT_FALSE(sansGestionnaire.RechercherTavlin("34-56", &ip, &ipLocal, &mac, nullptr));
    EXPECT_EQ(sansGestionnaire.GetErreur(), ZorErreurMAJ::SANS_GESTIONNAIRE) << "no device manager";
    EXPECT_FALSE(
        sansGestionnaire.ReinitialiserTavlin("192.168.77.10", "192.168.77.1", ZorTavlinInfo()));

    ASSERT_TRUE(ZorTavlinObj::CreateTavlinObj());
    ZorMAJTavlin maj(gpTheTavlin);
    ZorManualClock clock;
    gpTheTavlin->SetClock(&clock);
    // A twin whose MAC ends with the same two bytes, on the other subnet.
    gpTheTavlin->AddTavlin("192.168.78.10", "Jumelle", "00-04-A4-12-34-56", "", "admin", "pw",
                           "255.255.255.0", "192.168.78.254", false, "192.168.78.1",
                           "255.255.255.0", "192.168.78.254", "v3");
    gpTheTavlin->AddTavlin("192.168.77.10", "Tavlin", "00-04-A3-12-34-56", "", "admin", "pw",
                           "255.255.255.0", "192.168.77.254", false, "192.168.77.1",
                           "255.255.255.0", "192.168.77.254", "v3");
    maj.SetVuDepuis(long(clock.EpochSeconds()) + 1);
    EXPECT_FALSE(maj.RechercherTavlin("34-56", &ip, &ipLocal, &mac, nullptr))
        << "the record is from before the restart";
    EXPECT_EQ(maj.GetErreur(), ZorErreurMAJ::AUCUNE) << "not found yet is no error";
    EXPECT_TRUE(ip.empty());

    clock.Advance(2000);
    // The twin is seen again too, first in the registry.
    gpTheTavlin->AddTavlin("192.168.78.10", "Jumelle", "00-04-A4-12-34-56", "", "admin", "pw",
                           "255.255.255.0", "192.168.78.254", false, "192.168.78.1",
                           "255.255.255.0", "192.168.78.254", "v3");
    gpTheTavlin->AddTavlin("192.168.77.10", "Tavlin", "00-04-A3-12-34-56", "", "admin", "pw",
                           "255.255.255.0", "192.168.77.254", false, "192.168.77.1",
                           "255.255.255.0", "192.168.77.254", "v4");
    ZorTavlinInfo info;
    maj.SetMACAttendue("00-04-a3-12-34-56");
    EXPECT_FALSE(maj.RechercherTavlin("99-56", &ip, &ipLocal, &mac, &info));
    EXPECT_TRUE(maj.RechercherTavlin("34-56", &ip, &ipLocal, &mac, &info));
    EXPECT_EQ(ip, "192.168.77.10");
    EXPECT_EQ(ipLocal, "192.168.77.1");
    EXPECT_EQ(mac, "00-04-A3-12-34-56");
    EXPECT_EQ(info.m_zVersion, "v4");

    // Not started: the queue takes two commands that nobody sends, so the third one (program
    // memory reset) is refused and names its code.
    EXPECT_FALSE(maj.ReinitialiserTavlin(ip, ipLocal, info));
    EXPECT_EQ(maj.GetErreur(), ZorErreurMAJ::MEM_AUTOMATE);
    gpTheTavlin->SetClock(nullptr);
    ZorTavlinObj::DeleteTavlinObj();
}

} // namespace
