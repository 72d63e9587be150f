// The surveillance tick on a manual clock: presence stages, removal of silent devices with one
// event per tick, the periodic hello, adapter rescans, and the single-shot re-arming.
#include "device/ZorTavlinObj.h"
#include "infra/ZorClock.h"
#include "tests/common/ZorTestSupport.h"

#include <gtest/gtest.h>

namespace {

// Counts removals and reads the registry again as a list would.
class Compteur : public ZorTavlinListener
{
public:
    void OnTavlinEvent(int iEventType) override
    {
        if (iEventType != ZOR_EVT_TAVLIN_REMOVE)
            return;
        ++retraits;
        ZorTavlinInfoArray a;
        gpTheTavlin->GetLesTavlin(a);
        restants = int(a.GetCount());
    }
    int retraits = 0;
    int restants = -1;
};

class SurveillanceTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ZorTavlinObj::CreateTavlinObj());
        obj = gpTheTavlin;
        obj->SetClock(&clock);
        obj->AddListener(&obs); // the periodic hello counts from the clock's now
    }
    void TearDown() override { ZorTavlinObj::DeleteTavlinObj(); }
    void Answer(const wxString& mac, const wxString& ip)
    {
        obj->AddTavlin(ip, wxT("T"), mac, wxT(""), wxT(""), wxT(""), wxT("255.255.255.0"), wxT(""),
                       false, wxT("192.168.77.1"), wxT("255.255.255.0"), wxT(""), wxT("3"));
    }
    // Advances the clock by s seconds, then runs one tick.
    void TickAfter(int s)
    {
        clock.Advance(int64_t(s) * 1000);
        obj->TickSurveillance();
    }
    int Stage(size_t i) { return zortest::TavlinNo(*obj, i).m_iEtatPresence; }

    ZorManualClock clock;
    ZorTavlinObj* obj = nullptr;
    Compteur obs;
};

TEST_F(SurveillanceTest, SilentDeviceIsProbedTwiceThenDropped)
{
    Answer(wxT("M1"), wxT("192.168.77.10"));
    // Seconds since the last answer at each tick -> expected stage (3 = dropped).
    const struct
    {
        int apres;
        int etape;
    } cas[] = {
        {10, 0}, // exactly the time-out: not yet
        {1, 1},  // 11 s
        {1, 1},  // 12 s: stage 1 needs more than 12
        {1, 2},  // 13 s
        {1, 2},  // 14 s: stage 2 needs more than 14
        {1, 3},  // 15 s: dropped
    };
    for (const auto& c : cas) {
        TickAfter(c.apres);
        if (c.etape == 3) {
            EXPECT_EQ(zortest::NombreTavlin(*obj), 0u);
        } else {
            ASSERT_EQ(zortest::NombreTavlin(*obj), 1u);
            EXPECT_EQ(Stage(0), c.etape);
            EXPECT_EQ(obs.retraits, 0);
        }
    }
    EXPECT_EQ(obs.retraits, 1);
    EXPECT_EQ(obs.restants, 0); // the listener reads the registry already changed

    // A long silence still takes one stage per tick: two probes before the removal.
    Answer(wxT("M1"), wxT("192.168.77.10"));
    TickAfter(100);
    EXPECT_EQ(Stage(0), 1);
    TickAfter(0);
    EXPECT_EQ(Stage(0), 2);
    TickAfter(0);
    EXPECT_EQ(zortest::NombreTavlin(*obj), 0u);
}

TEST_F(SurveillanceTest, TwoDevicesDroppedInOneTickGiveOneEvent)
{
    Answer(wxT("M1"), wxT("192.168.77.10"));
    Answer(wxT("M2"), wxT("192.168.77.11"));
    Answer(wxT("M3"), wxT("10.0.0.5")); // outside its adapter's subnet: probed by broadcast
    for (int i = 0; i < 3; ++i)
        TickAfter(6);
    // M1 and M3 have been silent 18 s and sit at stage 2; M2 answers again now.
    Answer(wxT("M2"), wxT("192.168.77.11"));
    ASSERT_EQ(Stage(0), 2);
    TickAfter(1);
    ASSERT_EQ(zortest::NombreTavlin(*obj), 1u);
    EXPECT_EQ(zortest::TavlinNo(*obj, 0).m_zMAC, wxT("M2"));
    EXPECT_EQ(Stage(0), 0);
    EXPECT_EQ(obs.retraits, 1);
    EXPECT_EQ(obs.restants, 1);
}

TEST_F(SurveillanceTest, TimeAliveSetsTheDelaysAndMinusOneSwitchesPresenceAndHelloOff)
{
    obj->SetTimeAlive(5);
    Answer(wxT("M1"), wxT("192.168.77.10"));
    TickAfter(6);
    EXPECT_EQ(Stage(0), 1);

    obj->SetTimeAlive(-1);
    const int scans = obj->GetTicksDepuisScan();
    const int64_t hello = obj->GetDernierHello();
    for (int i = 0; i < 3; ++i) {
        clock.Advance(1000000);
        obj->TickSurveillance();
    }
    EXPECT_EQ(zortest::NombreTavlin(*obj), 1u);
    EXPECT_EQ(Stage(0), 1);
    EXPECT_EQ(obj->GetDernierHello(), hello);
    EXPECT_EQ(obj->GetTicksDepuisScan(), scans); // the rescans go on: three ticks, one round
}

TEST_F(SurveillanceTest, HelloAfterMoreThanThirtySeconds)
{
    const int64_t t0 = clock.EpochSeconds();
    EXPECT_EQ(obj->GetDernierHello(), t0); // counted from when the clock was set
    clock.Advance(30000);
    obj->TickSurveillance();
    EXPECT_EQ(obj->GetDernierHello(), t0);
    clock.Advance(1000);
    obj->TickSurveillance();
    EXPECT_EQ(obj->GetDernierHello(), t0 + 31);
}

TEST_F(SurveillanceTest, EventsOfOtherTimersAreIgnoredAndAStoppedManagerIsNotRearmed)
{
    Answer(wxT("M1"), wxT("192.168.77.10"));
    clock.Advance(11000);
    wxTimer autre;
    wxTimerEvent ev(autre);
    obj->OnTimer(ev);
    EXPECT_EQ(Stage(0), 0);
    TickAfter(0);
    EXPECT_EQ(Stage(0), 1);
    EXPECT_EQ(obj->GetDelaiTickMs(), -1);
}

} // namespace
