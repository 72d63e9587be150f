// The worker thread against stand-in web servers on loopback addresses: polling, command order
// and exact paths, which replies are published, binding to the local address, the serial board
// exchange, and stopping while a device is silent.
#include "device/ZorTavlinThread.h"
#include "infra/ZorClock.h"
#include "tests/device/FakeDevice.h"
#include "tests/device/ManagerFixture.h"

#include <gtest/gtest.h>
#include <wx/stopwatch.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <regex>
#include <thread>

namespace {

const char* const kA = "127.0.0.10";
const char* const kB = "127.0.0.11";
const char* const kMacA = "00-04-A3-00-00-0A";
const char* const kMacB = "00-04-A3-00-00-0B";

std::string Body(const char* relais)
{
    return std::string("VERSION=3.1\r\nSRELAIS=") + relais +
           "\r\nSNUM=00000011\r\nENUM=10000000\r\nEANA1=77\r\nDATETIME=05/03/2012_09:07:03\r\n";
}

class WorkerTest : public zortest::ManagerTest
{
protected:
    void SetUp() override
    {
        ManagerTest::SetUp();
        Known(kA, kMacA);
        Known(kB, kMacB);
    }
    void TearDown() override
    {
        ManagerTest::TearDown();
        devA.Stop();
        devB.Stop();
    }
    void Known(const char* ip, const char* mac, const char* local = "127.0.0.1")
    {
        obj->AddTavlin(wxString::FromUTF8(ip), wxT("T"), wxString::FromUTF8(mac), wxT(""),
                       wxT("admin"), wxT("pw"), wxT("255.0.0.0"), wxT(""), false,
                       wxString::FromUTF8(local), wxT("255.0.0.0"), wxT(""), wxT("3.1"));
    }
    bool StartWatching(const char* mac, const wxString& instance = wxT("worker"))
    {
        obj->SurveillerAddrMAC(wxString::FromUTF8(mac));
        return obj->Start(instance, false);
    }
    bool WaitCount(zortest::FakeDevice& d, size_t n, int ms = 3000)
    {
        return zortest::PumpUntil([&] { return d.Count() >= n; }, ms);
    }

    zortest::FakeDevice devA, devB;
    // Outlives the manager (deleted in TearDown), whose worker reads it.
    ZorManualClock horloge;
};

TEST_F(WorkerTest, PollsTheMonitoredDeviceAndPublishesItsPage)
{
    ASSERT_TRUE(devA.Start(
        kA, 80, [](const std::string&) { return zortest::FakeDevice::Page(Body("1010")); }));
    obj->SetClock(&horloge);
    ASSERT_TRUE(StartWatching(kMacA));
    ASSERT_TRUE(zortest::PumpUntil([&] { return obj->IsNewEtat(); }, 3000));
    ZorTavlinData etat;
    obj->GetEtat(etat);
    EXPECT_TRUE(etat.m_bValide);
    EXPECT_EQ(etat.m_iSRELAIS, 0x0A);
    EXPECT_EQ(etat.m_iSNUM, 0x03);
    EXPECT_EQ(etat.m_iENUM, 0x80);
    EXPECT_EQ(etat.m_iEANA1, 77);
    EXPECT_TRUE(obj->IsEtatValide());
    wxString version;
    obj->GetVersion(&version);
    EXPECT_EQ(version, wxT("3.1"));

    // Polls back to back, one per spacing of the manager's clock, never a burst.
    devA.Clear();
    EXPECT_TRUE(zortest::OneEventPerSpacing(horloge, obj->GetDefaultTimeSurveillanceMs(), 5,
                                            [&] { return devA.Count(); }));
    std::regex forme("^/etat\\.htm\\?date=[0-9A-F]+$");
    for (const std::string& t : devA.Targets())
        EXPECT_TRUE(std::regex_match(t, forme)) << t;
    // One request per connection.
    EXPECT_GE(devA.Connections(), int(devA.Count()));
}

TEST_F(WorkerTest, RequestLeavesFromTheDevicesLocalAddress)
{
    Known(kA, kMacA, "127.0.0.7");
    ASSERT_TRUE(devA.Start(
        kA, 80, [](const std::string&) { return zortest::FakeDevice::Page(Body("0001")); }));
    ASSERT_TRUE(StartWatching(kMacA));
    ASSERT_TRUE(WaitCount(devA, 2));
    for (const std::string& p : devA.Peers())
        EXPECT_EQ(p, "127.0.0.7");
}

TEST_F(WorkerTest, CommandsGoInOrderWithTheirTextsEncoded)
{
    ASSERT_TRUE(devA.Start(
        kA, 80, [](const std::string&) { return zortest::FakeDevice::Page(Body("0000")); }));
    obj->VerifierEtatAuto(false); // only commands reach the device
    ASSERT_TRUE(StartWatching(kMacA));
    ASSERT_TRUE(obj->WriteUART(wxT("a#b&c=d/é"), true));
    ASSERT_TRUE(obj->SetPauseAutomate(true, true));
    ASSERT_TRUE(obj->SetSRELAIS(uint8_t(0x05), true));
    ASSERT_TRUE(WaitCount(devA, 3));
    zortest::Pump(200);
    std::vector<std::string> t = devA.Targets();
    ASSERT_EQ(t.size(), 3u);
    std::smatch m;
    // A text arrives percent-encoded, as one parameter: none of its characters can add another.
    EXPECT_TRUE(std::regex_match(
        t[0], m, std::regex("^/etat\\.htm\\?date=[0-9A-F]+&WRITE_UART=a%23b%26c%3Dd%2F%E9;$")))
        << t[0];
    EXPECT_TRUE(
        std::regex_match(t[1], m, std::regex("^/etatautomate\\.htm\\?date=[0-9A-F]+&PAUSE=1$")))
        << t[1];
    EXPECT_TRUE(
        std::regex_match(t[2], m, std::regex("^/etat\\.htm\\?date=[0-9A-F]+&SRELAIS=0101$")))
        << t[2];
    // Command replies of the monitored device are published too.
    EXPECT_TRUE(obj->IsNewEtat());
}

// A queued command wakes the worker (its latency is measured by the benchmark); here, that a
// wake-up ends a pause and is not lost when it comes before the pause starts.
TEST(WorkerPause, WakeUpEndsThePauseAndIsKeptUntilTheNextOne)
{
    ZorTavlinThread::Pause(0); // forget a wake-up left by another test

    ZorTavlinThread::Reveiller();
    EXPECT_TRUE(ZorTavlinThread::Pause(600000));

    std::thread reveil([] {
        wxMilliSleep(50);
        ZorTavlinThread::Reveiller();
    });
    EXPECT_TRUE(ZorTavlinThread::Pause(600000));
    reveil.join();

    // Used up: the next pause runs its full length.
    EXPECT_FALSE(ZorTavlinThread::Pause(20));
}

TEST_F(WorkerTest, RepliesOfOtherDevicesAreNeverPublished)
{
    ASSERT_TRUE(devA.Start(
        kA, 80, [](const std::string&) { return zortest::FakeDevice::Page(Body("0001")); }));
    ASSERT_TRUE(devB.Start(
        kB, 80, [](const std::string&) { return zortest::FakeDevice::Page(Body("1111")); }));
    obj->VerifierEtatAuto(false);
    ASSERT_TRUE(StartWatching(kMacA));
    ASSERT_TRUE(obj->BlinkByIp(wxString::FromUTF8(kB), wxT("127.0.0.1"), true));
    ASSERT_TRUE(WaitCount(devB, 1));
    zortest::Pump(200);
    EXPECT_FALSE(obj->IsNewEtat());
    EXPECT_FALSE(obj->IsEtatValide());
    EXPECT_EQ(devA.Count(), 0u);

    obj->VerifierEtatAuto(true);
    ASSERT_TRUE(zortest::PumpUntil([&] { return obj->IsNewEtat(); }, 3000));
    ZorTavlinData etat;
    obj->GetEtat(etat);
    EXPECT_EQ(etat.m_iSRELAIS, 0x01);
}

TEST_F(WorkerTest, FailedFetchKeepsThePreviousState)
{
    auto erreur = std::make_shared<std::atomic<bool>>(false);
    ASSERT_TRUE(devA.Start(kA, 80, [erreur](const std::string&) {
        if (*erreur)
            return std::string("HTTP/1.0 404 Not Found\r\n\r\nSRELAIS=1111\r\n");
        return zortest::FakeDevice::Page(Body("0110"));
    }));
    ASSERT_TRUE(StartWatching(kMacA));
    ASSERT_TRUE(zortest::PumpUntil([&] { return obj->IsNewEtat(); }, 3000));
    *erreur = true;
    zortest::Pump(150);
    obj->RazNewEtat();
    size_t avant = devA.Count();
    ASSERT_TRUE(WaitCount(devA, avant + 3));
    EXPECT_FALSE(obj->IsNewEtat());
    ZorTavlinData etat;
    obj->GetEtat(etat);
    EXPECT_EQ(etat.m_iSRELAIS, 0x06);
}

TEST_F(WorkerTest, StopEndsTheWorkerWhileTheDeviceIsSilent)
{
    ASSERT_TRUE(devA.Start(kA, 80, [](const std::string&) { return std::string(); }));
    ASSERT_TRUE(StartWatching(kMacA));
    ASSERT_TRUE(WaitCount(devA, 1));
    zortest::Pump(100); // the worker now waits for a reply that never comes
    obj->Stop();
    EXPECT_FALSE(obj->IsStarted());
    EXPECT_EQ(gpZorTavlinThread.load(), nullptr);
    // A silent device stays silent: nothing was published.
    EXPECT_FALSE(obj->IsNewEtat());
}

TEST_F(WorkerTest, StopDeliversACommandQueuedJustBefore)
{
    ASSERT_TRUE(devA.Start(kA, 80, [](const std::string&) {
        // The answer is still on its way when Stop is called.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return zortest::FakeDevice::Page(Body("1100"));
    }));
    obj->VerifierEtatAuto(false); // only the command reaches the device
    ASSERT_TRUE(StartWatching(kMacA));
    ASSERT_TRUE(obj->Blink(false));
    obj->Stop();
    ASSERT_EQ(devA.Count(), 1u);
    EXPECT_NE(devA.Targets()[0].find("&BLINK=1"), std::string::npos);
    // Its answer was received and published before the worker ended.
    ASSERT_TRUE(obj->IsNewEtat());
    ZorTavlinData etat;
    obj->GetEtat(etat);
    EXPECT_EQ(etat.m_iSRELAIS, 0x0C);
}

// The tick calls its listeners once the lock is released: a listener that queues a command with
// wait while the queue is full gets it queued as soon as the worker takes one (the worker needs
// the lock for that; held by the tick, the call failed after 5 s).
TEST_F(WorkerTest, TickListenerMayWaitForRoomInTheQueue)
{
    ASSERT_TRUE(devA.Start(
        kA, 80, [](const std::string&) { return zortest::FakeDevice::Page(Body("0000")); }));
    // The system's time, its wall clock moved on at will: the worker runs as usual while the
    // presence rule sees a long silence.
    struct HorlogeAvancee : ZorClock
    {
        int64_t NowMs() const override { return ZorDefaultClock().NowMs(); }
        int64_t EpochSeconds() const override { return ZorDefaultClock().EpochSeconds() + iAvance; }
        void SleepMs(int64_t iMs) const override { ZorDefaultClock().SleepMs(iMs); }
        std::atomic<int64_t> iAvance{0};
    };
    static HorlogeAvancee horlogeAvancee; // outlives the manager even when an assertion fails
    horlogeAvancee.iAvance = 0;
    obj->SetClock(&horlogeAvancee);
    obj->VerifierEtatAuto(false);
    ASSERT_TRUE(StartWatching(kMacA));
    Known("127.0.0.12", "00-04-A3-00-00-0C"); // silent for long: probed twice, then dropped
    horlogeAvancee.iAvance = 100;
    for (int i = 0; i < 2; ++i) {
        Known(kA, kMacA);
        Known(kB, kMacB);
        obj->TickSurveillance();
    }
    Known(kA, kMacA);
    Known(kB, kMacB);

    struct FileComble : ZorTavlinListener
    {
        void OnTavlinEvent(int iEventType) override
        {
            if (iEventType != ZOR_EVT_TAVLIN_REMOVE)
                return;
            {
                wxCriticalSectionLocker lock(ZorGlobalLock());
                // Held, the lock keeps the worker from taking them: the queue stays full.
                while (gpTheTavlin->GetNombreCommandes() < 2 &&
                       gpTheTavlin->AppelerPageEtat(true)) {
                }
            }
            bMis = gpTheTavlin->Blink(true);
        }
        bool bMis = false;
    } listener;
    obj->AddListener(&listener);
    obj->TickSurveillance();
    obj->RemoveListener(&listener);
    EXPECT_TRUE(listener.bMis);
    EXPECT_EQ(zortest::NombreTavlin(*obj), 2u);
    ASSERT_TRUE(WaitCount(devA, 3));
    EXPECT_NE(devA.Targets()[2].find("&BLINK=1"), std::string::npos);
}

TEST_F(WorkerTest, RestartRunsANewWorkerAndQueuedCommandsSurviveStop)
{
    ASSERT_TRUE(devA.Start(
        kA, 80, [](const std::string&) { return zortest::FakeDevice::Page(Body("0011")); }));
    obj->VerifierEtatAuto(false);
    ASSERT_TRUE(StartWatching(kMacA));
    obj->Stop();
    ASSERT_TRUE(obj->Blink(false));
    EXPECT_EQ(obj->GetNombreCommandes(), 1u);
    zortest::Pump(200);
    EXPECT_EQ(devA.Count(), 0u);
    ASSERT_TRUE(obj->Start(wxT("worker"), false));
    ASSERT_TRUE(WaitCount(devA, 1));
    EXPECT_NE(devA.Targets()[0].find("&BLINK=1"), std::string::npos);
}

// A serial I/O board behind the device: "I" gives the digital values, "N" the analog ones.
class Board
{
public:
    std::string Reply(const std::string& target)
    {
        std::lock_guard<std::mutex> l(m);
        if (target.find("RAZ_UART=1") != std::string::npos)
            buffer.clear();
        if (target.find("WRITE_UART=I;") != std::string::npos)
            buffer = "SK1F2A";
        if (target.find("WRITE_UART=N;") != std::string::npos)
            buffer = "00A3FF7FF001";
        return zortest::FakeDevice::Page("SRELAIS=1000\r\nDATETIME=" + clock +
                                         "\r\nUART=" + buffer + "\r\n");
    }
    std::mutex m;
    std::string buffer;
    std::string clock = "05/03/2012_09:07:03";
};

TEST_F(WorkerTest, UARTModeReadsTheBoardAndSendsHeldCommandsAtTheLastStep)
{
    WriteSettings("uart", "SELECT_UART=1\r\n");
    // Shared with the server thread, which may still answer after this body ends.
    auto board = std::make_shared<Board>();
    board->clock = "00/00/2000_00:00:00";
    ASSERT_TRUE(devA.Start(kA, 80, [board](const std::string& t) { return board->Reply(t); }));
    ASSERT_TRUE(StartWatching(kMacA, wxT("uart")));
    EXPECT_TRUE(obj->IsModeUART());
    ZorTavlinData etat;
    ASSERT_TRUE(zortest::PumpUntil(
        [&] {
            obj->GetEtat(etat);
            return etat.m_iEANA2 == 0x3FF;
        },
        5000));
    EXPECT_EQ(etat.m_iSNUM, 0x1F);
    EXPECT_EQ(etat.m_iENUM, 0x2A);
    EXPECT_EQ(etat.m_iEANA1, 0x00A);

    ASSERT_TRUE(obj->SetAuto(5, true));
    ASSERT_TRUE(zortest::PumpUntil(
        [&] {
            for (const std::string& t : devA.Targets())
                if (t.find("&AUTO=5") != std::string::npos)
                    return true;
            return false;
        },
        5000));
    bool vuHorloge = false;
    for (const std::string& t : devA.Targets()) {
        // Each step starts from the page: a path never piles up several step parameters.
        size_t n = 0;
        for (const char* p : {"RAZ_UART", "WRITE_UART", "&AUTO="})
            if (t.find(p) != std::string::npos)
                ++n;
        EXPECT_LE(n, 1u) << t;
        if (t.find("&DATETIME=") != std::string::npos) {
            vuHorloge = true;
            EXPECT_TRUE(
                std::regex_search(t, std::regex("&DATETIME=\\d+;\\d+;\\d+;\\d+;\\d+;\\d+;$")))
                << t;
        }
    }
    EXPECT_TRUE(vuHorloge);
}

TEST_F(WorkerTest, UARTModeSendsCommandsForOtherDevicesAtOnce)
{
    WriteSettings("uart2", "SELECT_UART=1\r\n");
    ASSERT_TRUE(devB.Start(
        kB, 80, [](const std::string&) { return zortest::FakeDevice::Page("SRELAIS=0000\r\n"); }));
    obj->VerifierEtatAuto(false);
    ASSERT_TRUE(StartWatching(kMacA, wxT("uart2")));
    ASSERT_TRUE(obj->BlinkByIp(wxString::FromUTF8(kB), wxT("127.0.0.1"), true));
    ASSERT_TRUE(WaitCount(devB, 1));
    zortest::Pump(200);
    EXPECT_EQ(devB.Count(), 1u); // once, not held in an exchange that cannot advance
    EXPECT_NE(devB.Targets()[0].find("&BLINK=1"), std::string::npos);
}

// A listener of published states: what it was told, and whether it clears the hosts' flag as
// every consumer once did (which hid a change from the others).
class EcouteEtats : public ZorTavlinListener
{
public:
    EcouteEtats(ZorTavlinObj* pObj, bool bRaz) : m_pObj(pObj), m_bRaz(bRaz) {}
    void OnTavlinEvent(int) override {}
    void OnTavlinEtat(uint64_t iSequence, const ZorTavlinData& etat) override
    {
        sequences.push_back(iSequence);
        fetches.push_back(etat.m_iEANA1);
        if (m_bRaz)
            m_pObj->RazNewEtat();
    }
    std::vector<uint64_t> sequences;
    std::vector<int> fetches;

private:
    ZorTavlinObj* m_pObj;
    bool m_bRaz;
};

TEST_F(WorkerTest, EveryListenerSeesEveryStateInOrderAndFreshMeansFetchedAfter)
{
    // EANA1 numbers the fetches in the order the device received them.
    auto recues = std::make_shared<std::atomic<int>>(0);
    ASSERT_TRUE(devA.Start(kA, 80, [recues](const std::string&) {
        const int i = (*recues)++;
        std::this_thread::sleep_for(std::chrono::milliseconds(4)); // often a fetch in flight
        return zortest::FakeDevice::Page("VERSION=3.1\r\nEANA1=" + std::to_string(i) + "\r\n");
    }));
    EcouteEtats a(obj, true), b(obj, false);
    obj->AddListener(&a);
    obj->AddListener(&b);
    obj->SetDefaultTimeSurveillanceMs(5);
    ASSERT_TRUE(StartWatching(kMacA));
    for (int k = 0; k < 12; ++k) {
        // Asked at varied moments of the worker's cycle.
        std::this_thread::sleep_for(std::chrono::microseconds(500 * k));
        const int iAvant = recues->load();
        const uint64_t iSequence = obj->DemanderEtatFrais(wxEmptyString, true);
        ASSERT_TRUE(zortest::PumpUntil(
            [&] { return !b.sequences.empty() && b.sequences.back() > iSequence; }, 3000));
        const auto it = std::find(b.sequences.begin(), b.sequences.end(), iSequence + 1);
        ASSERT_NE(it, b.sequences.end());
        EXPECT_GE(b.fetches[size_t(it - b.sequences.begin())], iAvant) << k;
    }
    obj->Stop();
    ASSERT_TRUE(
        zortest::PumpUntil([&] { return b.sequences.back() == obj->GetSequenceEtat(); }, 3000));
    obj->RemoveListener(&a);
    obj->RemoveListener(&b);
    EXPECT_EQ(a.sequences, b.sequences);
    EXPECT_EQ(a.fetches, b.fetches);
    ASSERT_GE(b.sequences.size(), 12u);
    for (size_t i = 0; i < b.sequences.size(); ++i) {
        EXPECT_EQ(b.sequences[i], i + 1);
        if (i > 0) {
            EXPECT_GT(b.fetches[i], b.fetches[i - 1]);
        }
    }
}

} // namespace
