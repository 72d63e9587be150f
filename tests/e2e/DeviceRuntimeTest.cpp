// The device manager against emulated devices on the two-subnet test network: discovery at
// start, polling of the monitored device, commands that change the device, the published state
// mirroring the watched device, the serial board mode, stopping while a device is silent or
// holds a fetch, the restored device polled at start, and presence checks (removal of a device
// that stops answering, with one event; none when the checks are off).
#include "device/ZorTavlinCommandes.h"
#include "device/ZorTavlinThread.h"
#include "infra/ZorClock.h"
#include "tests/common/ZorEmu.h"
#include "tests/device/ManagerFixture.h"

#include <gtest/gtest.h>

#include <regex>

using zortest::Emu;

namespace {

#define REQUIRE_TEST_NETWORK()                                                                     \
  if (!zortest::InTestNetwork())                                                                   \
  GTEST_SKIP() << "needs the --lan test network"

std::string Lan1()
{
    return zortest::EnvOr("TAVLIN_NS_LAN1", "");
}
std::string Lan2()
{
    return zortest::EnvOr("TAVLIN_NS_LAN2", "");
}

// "OK value" -> "value"; anything else stays as it is, so a failure shows the reply.
std::string Valeur(const std::string& reply)
{
    return reply.rfind("OK ", 0) == 0 ? reply.substr(3) : reply;
}

class DeviceRuntimeTest : public zortest::ManagerTest
{
protected:
    size_t Count()
    {
        ZorTavlinInfoArray a;
        obj->GetLesTavlin(a);
        return a.GetCount();
    }
    bool Find(const wxString& ip, ZorTavlinInfo* out = nullptr)
    {
        ZorTavlinInfoArray a;
        obj->GetLesTavlin(a);
        for (size_t i = 0; i < a.GetCount(); ++i)
            if (a[i].m_zIP == ip) {
                if (out)
                    *out = a[i];
                return true;
            }
        return false;
    }
    // Starts, waits for the device at ip and makes it the monitored one.
    bool StartAndWatch(const wxString& ip, const wxString& instance = wxT("e2e"))
    {
        if (!obj->Start(instance, false))
            return false;
        ZorTavlinInfo info;
        if (!zortest::PumpUntil([&] { return Find(ip, &info); }, 5000))
            return false;
        obj->SurveillerAddrMAC(info.m_zMAC);
        return zortest::PumpUntil([&] { return obj->IsEtatValide(); }, 5000);
    }
    ZorTavlinData Etat()
    {
        ZorTavlinData e;
        obj->GetEtat(e);
        return e;
    }

    Emu emu;
    // Outlives the manager (deleted in TearDown), whose worker reads it once it is set.
    ZorManualClock horloge;
};

TEST_F(DeviceRuntimeTest, StartFindsTheDevicesOfBothSubnets)
{
    REQUIRE_TEST_NETWORK();
    ASSERT_TRUE(
        emu.Start(Lan1(), {"--count", "2", "--first-ip", "192.168.77.10", "--version", "3.4"}));
    Emu emu2;
    ASSERT_TRUE(emu2.Start(Lan2(), {"--first-ip", "192.168.78.20", "--answer", "unicast",
                                    "--mac-prefix", "00-04-A4"}));
    ASSERT_TRUE(obj->Start(wxT("e2e"), false));
    ASSERT_TRUE(zortest::PumpUntil([&] { return Count() >= 3; }, 5000)) << Count();
    ZorTavlinInfo info;
    ASSERT_TRUE(Find(wxT("192.168.77.11"), &info));
    EXPECT_EQ(info.m_zIPLocal, wxT("192.168.77.1"));
    EXPECT_EQ(info.m_zVersion, wxT("3.4"));
    ASSERT_TRUE(Find(wxT("192.168.78.20"), &info));
    EXPECT_EQ(info.m_zIPLocal, wxT("192.168.78.1"));
    EXPECT_TRUE(info.m_zMAC.StartsWith(wxT("00-04-A4")));
    ASSERT_TRUE(Find(wxT("192.168.77.10"), &info));
    EXPECT_NE(Valeur(emu.Command("LIST")).find(std::string(info.m_zMAC.utf8_str())),
              std::string::npos);

    // Stop and start again on the same object: the discovery sockets open again, so the
    // answers to the new start's hello come in.
    obj->Stop();
    emu.Command("SET 0 comment=Nouveau");
    ASSERT_TRUE(obj->Start(wxT("e2e"), false));
    ASSERT_TRUE(zortest::PumpUntil(
        [&] { return Find(wxT("192.168.77.10"), &info) && info.m_zCommentaire == wxT("Nouveau"); },
        5000));
}

TEST_F(DeviceRuntimeTest, WorkerPollsTheMonitoredDeviceOnly)
{
    REQUIRE_TEST_NETWORK();
    ASSERT_TRUE(emu.Start(Lan1(), {"--count", "2", "--first-ip", "192.168.77.10"}));
    obj->SetClock(&horloge);
    ASSERT_TRUE(StartAndWatch(wxT("192.168.77.11")));
    std::regex ligne(
        " HTTP 192\\.168\\.77\\.11 192\\.168\\.77\\.1:\\d+ /etat\\.htm\\?date=[0-9A-F]+$");
    auto polls11 = [&] {
        size_t n = 0;
        for (const std::string& l : emu.LogLines(" HTTP "))
            n += std::regex_search(l, ligne) ? 1 : 0;
        return n;
    };
    // One poll per spacing of the manager's clock, from the adapter's address.
    EXPECT_TRUE(
        zortest::OneEventPerSpacing(horloge, obj->GetDefaultTimeSurveillanceMs(), 5, polls11));
    for (const std::string& l : emu.LogLines(" HTTP "))
        EXPECT_EQ(l.find(" HTTP 192.168.77.10 "), std::string::npos) << l;
}

TEST_F(DeviceRuntimeTest, CommandsChangeTheDevice)
{
    REQUIRE_TEST_NETWORK();
    ASSERT_TRUE(emu.Start(Lan1(), {"--first-ip", "192.168.77.10"}));
    ASSERT_TRUE(StartAndWatch(wxT("192.168.77.10")));

    ASSERT_TRUE(obj->SetSRELAIS(uint8_t(0x05), true));
    ASSERT_TRUE(obj->SetSNUM(uint8_t(0xA1), true));
    ASSERT_TRUE(obj->SetSANA(1, 200, true));
    ASSERT_TRUE(obj->WriteUART(wxT("bonjour"), true));
    ASSERT_TRUE(
        zortest::PumpUntil([&] { return Valeur(emu.Command("GET 0 sana2")) == "200"; }, 3000));
    EXPECT_EQ(Valeur(emu.Command("GET 0 relais")), "0101");
    EXPECT_EQ(Valeur(emu.Command("GET 0 snum")), "10100001");
    ASSERT_TRUE(zortest::PumpUntil(
        [&] { return Valeur(emu.Command("GET 0 uarttx")).find("bonjour") != std::string::npos; },
        3000));
    // The published state follows.
    ASSERT_TRUE(zortest::PumpUntil([&] { return Etat().m_iSANA2 == 200; }, 3000));
    ZorTavlinData e = Etat();
    EXPECT_EQ(e.m_iSRELAIS, 0x05);
    EXPECT_EQ(e.m_iSNUM, 0xA1);

    // The internal program's mode.
    ASSERT_TRUE(obj->SetAuto(1, true));
    ASSERT_TRUE(zortest::PumpUntil([&] { return Valeur(emu.Command("GET 0 auto")) == "1"; }, 3000));
    ASSERT_TRUE(zortest::PumpUntil([&] { return Etat().m_iAUTO == 1; }, 3000));
    ASSERT_TRUE(obj->SetAuto(0, true));
    ASSERT_TRUE(zortest::PumpUntil([&] { return Valeur(emu.Command("GET 0 auto")) == "0"; }, 3000));

    // Both at once, and the e-mail settings with the encoded password.
    ASSERT_TRUE(obj->SetSNUM_SRELAIS(0x0F, 0x0A, true));
    ASSERT_TRUE(obj->WriteEmailConf(ZOR_CODE_ACCES, wxT("smtp.exemple.fr"), wxT("587"), wxT("moi"),
                                    wxT("secret"), true, true));
    wxString code;
    ASSERT_TRUE(ZorEncodeEmailPwd(wxT("secret"), &code));
    ASSERT_TRUE(zortest::PumpUntil(
        [&] { return Valeur(emu.Command("GET 0 smtppwd")) == std::string(code.utf8_str()); }, 3000))
        << emu.Command("GET 0 lasterror");
    EXPECT_EQ(Valeur(emu.Command("GET 0 smtpserver")), "smtp.exemple.fr");
    EXPECT_EQ(Valeur(emu.Command("GET 0 smtpssl")), "1");
    EXPECT_EQ(Valeur(emu.Command("GET 0 relais")), "1010");
    EXPECT_EQ(Valeur(emu.Command("GET 0 snum")), "00001111");
    // The device reports the stored password back in the same form, and it decodes.
    ASSERT_TRUE(obj->ShowEmailConf(true, true));
    ASSERT_TRUE(zortest::PumpUntil([&] { return !Etat().m_zSMTPPWD.empty(); }, 3000));
    wxString pwd;
    ASSERT_TRUE(ZorDecodeEmailPwd(Etat().m_zSMTPPWD, &pwd));
    EXPECT_EQ(pwd, wxT("secret"));
}

TEST_F(DeviceRuntimeTest, WatchedDeviceIsMirroredInTheState)
{
    REQUIRE_TEST_NETWORK();
    ASSERT_TRUE(emu.Start(Lan1(), {"--count", "2", "--first-ip", "192.168.77.10", "--version",
                                   "3.7", "--comment", "Atelier Caf\xC3\xA9"}));
    // The second device: the other one must not leak into the state.
    ASSERT_TRUE(StartAndWatch(wxT("192.168.77.11")));
    emu.Command("SET 0 version=9.9");
    ASSERT_EQ(emu.Command("SET 1 ena=10100101").rfind("OK", 0), 0u);
    emu.Command("SET 1 ana3=1234");
    emu.Command("SET 1 bouton=1");
    ASSERT_TRUE(zortest::PumpUntil(
        [&] {
            ZorTavlinData e = Etat();
            return e.m_iENUM == 0xA5 && e.m_iEANA3 == 1234 && e.m_bBOUTON;
        },
        3000));
    ZorTavlinData e = Etat();
    EXPECT_TRUE(e.m_bValide);
    EXPECT_EQ(e.m_zVERSION, wxT("3.7"));
    EXPECT_EQ(e.m_zCOMMENT, wxString::FromUTF8("Atelier Café"));
    // The device's clock, as the device shows it (it may tick between the two reads).
    ASSERT_TRUE(zortest::PumpUntil(
        [&] {
            return std::string(Etat().m_zDATETIME.utf8_str()) ==
                   Valeur(emu.Command("GET 1 datetime"));
        },
        3000))
        << Etat().m_zDATETIME << " / " << emu.Command("GET 1 datetime");
    int j, m, a, h, mi, s;
    Etat().FormatDateTime(&j, &m, &a, &h, &mi, &s);
    EXPECT_GE(a, 2020);
    EXPECT_TRUE(j >= 1 && j <= 31 && m >= 1 && m <= 12) << j << "/" << m;

    // Changes on the device follow: button released, a new accented comment.
    emu.Command("SET 1 bouton=0");
    ASSERT_EQ(emu.Command("SET 1 comment=Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
                          "e")
                  .rfind("OK", 0),
              0u);
    ASSERT_TRUE(zortest::PumpUntil(
        [&] {
            ZorTavlinData e2 = Etat();
            return !e2.m_bBOUTON && e2.m_zCOMMENT == wxString::FromUTF8("Crème brûlée");
        },
        3000))
        << Etat().m_zCOMMENT;
}

TEST_F(DeviceRuntimeTest, SerialBoardModeReadsTheBoardAndSetsAnUnsetClock)
{
    REQUIRE_TEST_NETWORK();
    WriteSettings("carte", "SELECT_UART=1\r\n");
    ASSERT_TRUE(
        emu.Start(Lan1(), {"--first-ip", "192.168.77.10", "--uart-board", "--clock-unset"}));
    emu.Command("SET 0 ena=00111100");
    emu.Command("SET 0 snum=10000001");
    emu.Command("SET 0 ana2=2748"); // 0xABC
    ASSERT_TRUE(StartAndWatch(wxT("192.168.77.10"), wxT("carte")));
    ASSERT_TRUE(obj->IsModeUART());
    ASSERT_TRUE(zortest::PumpUntil(
        [&] {
            ZorTavlinData e = Etat();
            return e.m_iENUM == 0x3C && e.m_iSNUM == 0x81 && e.m_iEANA2 == 0xABC;
        },
        5000));
    // The device's clock was unset: the next request set it from the PC's clock.
    ASSERT_TRUE(zortest::PumpUntil(
        [&] { return Valeur(emu.Command("GET 0 datetime")) != "00/00/2000_00:00:00"; }, 3000));
    EXPECT_FALSE(emu.LogLines("&DATETIME=").empty());
}

TEST_F(DeviceRuntimeTest, StopEndsTheWorkerWhileTheDeviceIsSilent)
{
    REQUIRE_TEST_NETWORK();
    ASSERT_TRUE(emu.Start(Lan1(), {"--first-ip", "192.168.77.10"}));
    ASSERT_TRUE(StartAndWatch(wxT("192.168.77.10")));
    emu.Command("SET 0 http=0");
    obj->RazNewEtat();
    zortest::Pump(500);
    obj->Stop();
    EXPECT_FALSE(obj->IsStarted());
    EXPECT_EQ(gpZorTavlinThread.load(), nullptr);
}

TEST_F(DeviceRuntimeTest, StopDuringAHeldFetchLeavesNothingBehind)
{
    REQUIRE_TEST_NETWORK();
    ASSERT_TRUE(emu.Start(Lan1(), {"--first-ip", "192.168.77.10"}));
    ASSERT_TRUE(StartAndWatch(wxT("192.168.77.10")));
    ASSERT_EQ(emu.Command("SET 0 httpdelay=8000").rfind("OK", 0), 0u);
    // The first request logged after the delay was set is held (the log line comes first).
    const size_t avant = emu.LogLines(" HTTP ").size();
    ASSERT_TRUE(zortest::PumpUntil([&] { return emu.LogLines(" HTTP ").size() > avant; }, 3000));
    zortest::Pump(200);
    obj->Stop();
    // Started again, the manager polls again (the held fetch left nothing behind).
    emu.Command("SET 0 httpdelay=0");
    const size_t apres = emu.LogLines(" HTTP ").size();
    ASSERT_TRUE(obj->Start(wxT("e2e"), false));
    EXPECT_TRUE(
        zortest::PumpUntil([&] { return emu.LogLines(" HTTP ").size() > apres + 2; }, 3000));
}

TEST_F(DeviceRuntimeTest, RestoredDeviceIsPolledBeforeAnyDiscoveryAnswer)
{
    REQUIRE_TEST_NETWORK();
    // The device answers no hello at all, so only the remembered addresses can reach it.
    ASSERT_TRUE(emu.Start(Lan1(), {"--first-ip", "192.168.77.10", "--silent-after", "0"}));
    const std::string mac = Valeur(emu.Command("GET 0 mac"));
    ASSERT_FALSE(mac.empty());
    WriteSettings("souvenir",
                  "ADDR_MAC=" + mac + "\r\nADDR_IP=192.168.77.10\r\nADDR_IPLOCAL=192.168.77.1\r\n");
    ASSERT_TRUE(obj->Start(wxT("souvenir"), true));
    ASSERT_TRUE(zortest::PumpUntil([&] { return obj->IsEtatValide(); }, 3000));
    EXPECT_EQ(Count(), 0u); // nothing was discovered
    std::vector<std::string> http = emu.LogLines(" HTTP 192.168.77.10 192.168.77.1:");
    EXPECT_FALSE(http.empty());
    EXPECT_TRUE(emu.LogLines(" ANSWER ").empty());

    // Without the restore flag the same settings are not used.
    obj->Stop();
    ZorTavlinObj::DeleteTavlinObj();
    ASSERT_TRUE(ZorTavlinObj::CreateTavlinObj());
    obj = gpTheTavlin;
    const size_t avant = emu.LogLines(" HTTP ").size();
    ASSERT_TRUE(obj->Start(wxT("souvenir"), false));
    zortest::Pump(500);
    EXPECT_EQ(emu.LogLines(" HTTP ").size(), avant);
    EXPECT_FALSE(obj->IsEtatValide());
}

// Counts the removal events the device manager sends.
class RemoveCounter : public ZorTavlinListener
{
public:
    void OnTavlinEvent(int iEventType) override { m_n += iEventType == ZOR_EVT_TAVLIN_REMOVE; }
    int m_n = 0;
};

// Runs up to n ticks one clock second apart (and lets the answers to their probes in) until
// done().
template <class F> bool TickUntil(ZorTavlinObj* obj, ZorManualClock& clock, int n, F done)
{
    for (int i = 0; i < n && !done(); ++i) {
        clock.Advance(1000);
        obj->TickSurveillance();
        zortest::Pump(100);
    }
    return done();
}

TEST_F(DeviceRuntimeTest, SilentDeviceIsRemovedOnceWithOneEvent)
{
    REQUIRE_TEST_NETWORK();
    ASSERT_TRUE(emu.Start(Lan1(), {"--count", "2", "--first-ip", "192.168.77.10"}));
    ZorManualClock clock;
    obj->SetClock(&clock);
    RemoveCounter obs;
    obj->AddListener(&obs);
    ASSERT_TRUE(obj->Start(wxT("e2e"), false));
    obj->SetTimeAlive(1);
    ASSERT_TRUE(zortest::PumpUntil([&] { return Count() == 2; }, 5000));
    emu.Command("SET 1 silent=1");
    // Probed after more than 1 s, again after 3 s, dropped after 5 s of silence (clock time).
    const int64_t t0 = clock.NowMs();
    ASSERT_TRUE(TickUntil(obj, clock, 30, [&] { return !Find(wxT("192.168.77.11")); }));
    EXPECT_GE(clock.NowMs() - t0, 5000);
    // The probes reached the silent device, and the other one, which answers them, stays.
    EXPECT_FALSE(emu.LogLines("HELLO 192.168.77.11").empty());
    TickUntil(obj, clock, 8, [] { return false; });
    EXPECT_TRUE(Find(wxT("192.168.77.10")));
    EXPECT_EQ(obs.m_n, 1);
    obj->Stop();
    obj->RemoveListener(&obs);
    obj->SetClock(nullptr);
}

TEST_F(DeviceRuntimeTest, PresenceChecksOffKeepASilentDevice)
{
    REQUIRE_TEST_NETWORK();
    ASSERT_TRUE(emu.Start(Lan1(), {"--first-ip", "192.168.77.10"}));
    ZorManualClock clock;
    obj->SetClock(&clock);
    ASSERT_TRUE(obj->Start(wxT("e2e"), false));
    obj->SetTimeAlive(-1);
    ASSERT_TRUE(zortest::PumpUntil([&] { return Count() == 1; }, 5000));
    emu.Command("SET 0 silent=1");
    const size_t hellos = emu.LogLines(" HELLO ").size();
    // Far past any delay, the periodic hello's included: still there, never probed.
    clock.Advance(3600 * 1000);
    TickUntil(obj, clock, 3, [] { return false; });
    EXPECT_TRUE(Find(wxT("192.168.77.10")));
    EXPECT_EQ(emu.LogLines(" HELLO ").size(), hellos);
    obj->Stop();
    obj->SetClock(nullptr);
}

} // namespace
