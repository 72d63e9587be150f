// The update stages that need no transfer: image checks, the search for the restarted device and
// the codes of the completion stage.
#include "device/ZorTavlinObj.h"
#include "firmware/ZorMAJTavlin.h"
#include "infra/ZorClock.h"
#include "infra/ZorLogFile.h"
#include "infra/ZorSha256.h"
#include "tests/common/ZorTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

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

TEST(UpdateStages, SearchTakesOnlyADeviceSeenSinceTheBootloader)
{
    ZorMAJTavlin maj;
    wxString ip = "x", ipLocal, mac;
    EXPECT_FALSE(maj.RechercherTavlin("34-56", &ip, &ipLocal, &mac, nullptr));
    EXPECT_EQ(maj.GetErreur(), 1) << "no device manager";
    EXPECT_FALSE(maj.ReinitialiserTavlin("192.168.77.10", "192.168.77.1", ZorTavlinInfo()));

    ASSERT_TRUE(ZorTavlinObj::CreateTavlinObj());
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
    EXPECT_EQ(maj.GetErreur(), 0) << "not found yet is no error";
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
    EXPECT_EQ(maj.GetErreur(), 10);
    gpTheTavlin->SetClock(nullptr);
    ZorTavlinObj::DeleteTavlinObj();
}

} // namespace
