// The surveillance tick: presence stages, removal of silent devices with one event per tick,
// the periodic hello, adapter rescans, and the single-shot re-arming.
#include "device/ZorTavlinObj.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/time.h>

namespace {

class Compteur : public wxFrame
{
public:
    Compteur() : wxFrame(nullptr, wxID_ANY, wxT("obs"))
    {
        Bind(wxEventTypeTag<wxCommandEvent>(ZOR_EVT_TAVLIN_REMOVE), [this](wxCommandEvent&) {
            ++retraits;
            // Observers read the registry again while the tick still holds the lock.
            ZorTavlinInfoArray a;
            gpTheTavlin->GetLesTavlin(a);
            restants = int(a.GetCount());
        });
    }
    int retraits = 0;
    int restants = -1;
};

class SurveillanceTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(wxTheApp && wxTheApp->IsGUI()) << "needs a display (run under Xvfb)";
        ASSERT_TRUE(ZorTavlinObj::CreateTavlinObj());
        obj = gpTheTavlin;
        obs = new Compteur();
        obj->AddObserver(obs);
        obj->m_iLastHello = wxGetLocalTime(); // no periodic hello unless a test asks for it
    }
    void TearDown() override
    {
        ZorTavlinObj::DeleteTavlinObj();
        obs->Destroy();
    }
    void Answer(const wxString& mac, const wxString& ip)
    {
        obj->AddTavlin(ip, wxT("T"), mac, wxT(""), wxT(""), wxT(""), wxT("255.255.255.0"),
                       wxT(""), false, wxT("192.168.77.1"), wxT("255.255.255.0"), wxT(""),
                       wxT("3"));
    }
    // Pretends the device last answered s seconds ago.
    void Age(size_t i, long s) { obj->m_arrayTavlin[i].m_iTimeLastSeen = wxGetLocalTime() - s; }
    void Tick()
    {
        wxTimerEvent ev(*obj->m_pTimer);
        obj->OnTimer(ev);
    }
    int Stage(size_t i) { return obj->m_arrayTavlin[i].m_iEtatPresence; }

    ZorTavlinObj* obj = nullptr;
    Compteur* obs = nullptr;
};

TEST_F(SurveillanceTest, SilentDeviceIsProbedTwiceThenDropped)
{
    Answer(wxT("M1"), wxT("192.168.77.10"));
    Age(0, 10); // exactly the time-out: not yet
    Tick();
    EXPECT_EQ(Stage(0), 0);
    Age(0, 11);
    Tick();
    EXPECT_EQ(Stage(0), 1);
    Tick(); // 11 s: stage 1 needs more than 12
    EXPECT_EQ(Stage(0), 1);
    Age(0, 13);
    Tick();
    EXPECT_EQ(Stage(0), 2);
    EXPECT_EQ(obs->retraits, 0);
    Age(0, 15);
    Tick();
    EXPECT_EQ(obj->m_arrayTavlin.GetCount(), 0u);
    EXPECT_EQ(obs->retraits, 1);
    EXPECT_EQ(obs->restants, 0);

    // A long silence still takes one stage per tick: two probes before the removal.
    Answer(wxT("M1"), wxT("192.168.77.10"));
    Age(0, 100);
    Tick();
    EXPECT_EQ(Stage(0), 1);
    Tick();
    EXPECT_EQ(Stage(0), 2);
}

TEST_F(SurveillanceTest, TwoDevicesDroppedInOneTickGiveOneEvent)
{
    Answer(wxT("M1"), wxT("192.168.77.10"));
    Answer(wxT("M2"), wxT("192.168.77.11"));
    Answer(wxT("M3"), wxT("10.0.0.5")); // outside its adapter's subnet: probed by broadcast
    for (size_t i = 0; i < 3; ++i) {
        obj->m_arrayTavlin[i].m_iEtatPresence = 2;
        Age(i, 20);
    }
    Age(1, 1);
    obj->m_arrayTavlin[1].m_iEtatPresence = 0;
    Tick();
    ASSERT_EQ(obj->m_arrayTavlin.GetCount(), 1u);
    EXPECT_EQ(obj->m_arrayTavlin[0].m_zMAC, wxT("M2"));
    EXPECT_EQ(obs->retraits, 1);
    EXPECT_EQ(obs->restants, 1);
}

TEST_F(SurveillanceTest, AnAnswerPutsTheDeviceBackToAnswering)
{
    Answer(wxT("M1"), wxT("192.168.77.10"));
    obj->m_arrayTavlin[0].m_iEtatPresence = 2;
    Age(0, 13);
    Answer(wxT("M1"), wxT("192.168.77.10"));
    EXPECT_EQ(Stage(0), 0);
    Tick();
    EXPECT_EQ(obj->m_arrayTavlin.GetCount(), 1u);
    EXPECT_EQ(Stage(0), 0);
}

TEST_F(SurveillanceTest, TimeAliveMinusOneSwitchesPresenceAndHelloOff)
{
    obj->SetTimeAlive(-1);
    Answer(wxT("M1"), wxT("192.168.77.10"));
    Age(0, 1000);
    obj->m_iLastHello = 0;
    obj->m_iCountTimer = 0;
    Tick();
    Tick();
    Tick();
    EXPECT_EQ(obj->m_arrayTavlin.GetCount(), 1u);
    EXPECT_EQ(Stage(0), 0);
    EXPECT_EQ(obj->m_iLastHello, 0);
    EXPECT_EQ(obj->m_iCountTimer, 0); // the rescans go on: three ticks, back to 0
}

TEST_F(SurveillanceTest, HelloAfterMoreThanThirtySeconds)
{
    long now = wxGetLocalTime();
    obj->m_iLastHello = now - 30;
    Tick();
    EXPECT_EQ(obj->m_iLastHello, now - 30);
    obj->m_iLastHello = now - 31;
    Tick();
    EXPECT_GE(obj->m_iLastHello, now);
}

TEST_F(SurveillanceTest, EventsOfOtherTimersAreIgnoredAndAStoppedManagerIsNotRearmed)
{
    Answer(wxT("M1"), wxT("192.168.77.10"));
    Age(0, 11);
    wxTimer autre;
    wxTimerEvent ev(autre);
    obj->OnTimer(ev);
    EXPECT_EQ(Stage(0), 0);
    Tick();
    EXPECT_EQ(Stage(0), 1);
    EXPECT_FALSE(obj->m_pTimer->IsRunning());
}

} // namespace
