// Start and stop with settings files in the temporary home: the log line, restoring the device
// chosen last time, UART mode, the card black list, the first tick.
#include "device/ZorTavlinThread.h"
#include "infra/ZorLogFile.h"
#include "tests/device/ManagerFixture.h"

#include <gtest/gtest.h>

namespace {

using StartStopTest = zortest::ManagerTest;

std::string Dossier()
{
    return zortest::ManagerTest::SettingsDir();
}

TEST_F(StartStopTest, StartTwiceStopTwice)
{
    EXPECT_FALSE(obj->IsStarted());
    obj->Stop(); // nothing to do
    ASSERT_TRUE(obj->Start(wxT("deux"), false));
    EXPECT_TRUE(obj->IsStarted());
    EXPECT_TRUE(obj->Start(wxT("autre"), false));
    EXPECT_EQ(obj->GetNom(), wxT("deux"));
    obj->Stop();
    EXPECT_FALSE(obj->IsStarted());
    obj->Stop();
    EXPECT_FALSE(obj->IsStarted());
    std::string log = zortest::ReadFile(std::string(ZorLogFile::GetPath().utf8_str()));
    EXPECT_NE(log.find("ZorTavlinObj::Start version [2.0]"), std::string::npos);
    EXPECT_NE(log.find("ZorTavlinObj::GetDirectoryAndFileConf [deux]"), std::string::npos);
}

TEST_F(StartStopTest, ARestartOrHelloThatCannotBeSentIsReportedNotDone)
{
    // Stopped, nothing is sent. Started in the isolated network, no adapter may broadcast (the
    // loopback never does), and no adapter has the address 192.168.77.1.
    EXPECT_FALSE(obj->Reboot(wxT("192.168.77.10")));
    ASSERT_TRUE(obj->Start(wxT("envoi"), false));
    EXPECT_FALSE(obj->Reboot(wxT("255.255.255.255")));
    EXPECT_FALSE(obj->Reboot(wxEmptyString));
    EXPECT_FALSE(obj->Decouvrir());
    EXPECT_FALSE(obj->DiscoverMaster());
    EXPECT_FALSE(obj->EnvoyerHello(wxEmptyString, wxEmptyString, 'D'));
    EXPECT_FALSE(obj->EnvoyerReboot(wxT("192.168.77.10"), wxT("192.168.77.1")));
    const std::string log = zortest::ReadFile(std::string(ZorLogFile::GetPath().utf8_str()));
    EXPECT_NE(log.find("ZorTavlinObj::Reboot IP=255.255.255.255: redemarrage non envoye"),
              std::string::npos);
    EXPECT_NE(log.find("hello de decouverte non envoye"), std::string::npos);
}

TEST_F(StartStopTest, RestoreFlagPollsTheLastDeviceAtOnce)
{
    zortest::WriteFile(Dossier() + "/tavlindll_resto.ini",
                       "ADDR_MAC=00-04-A3-11-22-33\r\nADDR_IP=192.168.77.40\r\n"
                       "ADDR_IPLOCAL=192.168.77.1\r\n");
    ASSERT_TRUE(obj->Start(wxT("resto"), true));
    const zortest::Cible cible = zortest::CibleDe(*obj);
    EXPECT_EQ(cible.mac, wxT("00-04-A3-11-22-33"));
    EXPECT_EQ(cible.ip, wxT("192.168.77.40"));
    EXPECT_EQ(cible.ipLocal, wxT("192.168.77.1"));
    obj->Stop();
    // Without the flag nothing is restored.
    ZorTavlinObj::DeleteTavlinObj();
    ASSERT_TRUE(ZorTavlinObj::CreateTavlinObj());
    obj = gpTheTavlin;
    ASSERT_TRUE(obj->Start(wxT("resto"), false));
    EXPECT_TRUE(zortest::CibleDe(*obj).ip.empty());
}

TEST_F(StartStopTest, UARTModeIsReadAtStartOnly)
{
    zortest::WriteFile(Dossier() + "/tavlindll_modes.ini", "SELECT_UART=1\r\n");
    ASSERT_TRUE(obj->Start(wxT("modes"), false));
    EXPECT_TRUE(obj->IsModeUART());
    obj->SelectionnerUART(false);
    EXPECT_TRUE(obj->IsModeUART());
    EXPECT_NE(zortest::ReadFile(Dossier() + "/tavlindll_modes.ini").find("SELECT_UART=0"),
              std::string::npos);
    obj->Stop();
    ASSERT_TRUE(obj->Start(wxT("modes"), false));
    EXPECT_FALSE(obj->IsModeUART());
    obj->Stop();
    // Anything but exactly "1" is off.
    zortest::WriteFile(Dossier() + "/tavlindll_modes.ini", "SELECT_UART=1 x\r\n");
    ASSERT_TRUE(obj->Start(wxT("modes"), false));
    EXPECT_FALSE(obj->IsModeUART());
}

TEST_F(StartStopTest, CardBlackList)
{
    const std::string chemin = Dossier() + "/tavlincarteblacklist.ini";
    zortest::WriteFile(chemin, "ADDR_MAC_CARTE_BLACKLIST=AA-AA-AA-AA-AA-AA;\r\n");
    ASSERT_TRUE(obj->Start(wxT("bl"), false));
    EXPECT_EQ(obj->GetListeCarteBlackList(), wxT("AA-AA-AA-AA-AA-AA;"));
    obj->WriteListeCarteBlackList(true, wxT("02-00-00-00-00-01"));
    obj->WriteListeCarteBlackList(true, wxT("02-00-00-00-00-01"));
    EXPECT_EQ(obj->GetListeCarteBlackList(), wxT("AA-AA-AA-AA-AA-AA;02-00-00-00-00-01;"));
    EXPECT_NE(zortest::ReadFile(chemin).find(
                  "ADDR_MAC_CARTE_BLACKLIST=AA-AA-AA-AA-AA-AA;02-00-00-00-00-01;"),
              std::string::npos);
    // A removal deletes every occurrence, and only whole entries.
    zortest::WriteFile(chemin, "ADDR_MAC_CARTE_BLACKLIST=B;AA;B;AB;\r\n");
    obj->ReadListeCarteBlackList();
    obj->WriteListeCarteBlackList(false, wxT("B"));
    EXPECT_EQ(obj->GetListeCarteBlackList(), wxT("AA;AB;"));
    obj->WriteListeCarteBlackList(false, wxT("A"));
    EXPECT_EQ(obj->GetListeCarteBlackList(), wxT("AA;AB;"));
    // Empty or composite entries would break the list: refused.
    obj->WriteListeCarteBlackList(true, wxT(""));
    obj->WriteListeCarteBlackList(true, wxT("X;Y"));
    EXPECT_EQ(obj->GetListeCarteBlackList(), wxT("AA;AB;"));
    obj->Stop();
    ASSERT_TRUE(obj->Start(wxT("bl"), false));
    EXPECT_EQ(obj->GetListeCarteBlackList(), wxT("AA;AB;"));
}

TEST_F(StartStopTest, FirstTickHalfASecondAfterStartThenEverySecond)
{
    ASSERT_TRUE(obj->Start(wxT("tick"), false));
    EXPECT_EQ(obj->GetDelaiTickMs(), 500); // armed, as a single shot
    int avant = obj->GetTicksDepuisScan();
    ASSERT_TRUE(zortest::PumpUntil([&] { return obj->GetTicksDepuisScan() != avant; }, 2000));
    EXPECT_EQ(obj->GetDelaiTickMs(), 1000);
    obj->Stop();
    EXPECT_EQ(obj->GetDelaiTickMs(), -1);
}

TEST_F(StartStopTest, DestroyingAStartedManagerStopsIt)
{
    ASSERT_TRUE(obj->Start(wxT("fin"), false));
    ZorTavlinObj::DeleteTavlinObj();
    EXPECT_EQ(gpTheTavlin, nullptr);
    EXPECT_EQ(gpZorTavlinThread.load(), nullptr);
    ASSERT_TRUE(ZorTavlinObj::CreateTavlinObj());
    obj = gpTheTavlin;
}

} // namespace
