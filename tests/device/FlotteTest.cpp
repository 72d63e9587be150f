// The fleet poller: its decisions (when a device is unavailable, what counts as a change) as a
// table, then a pool polling fake devices on loopback addresses.
#include "device/ZorPollerFlotte.h"
#include "infra/ZorClock.h"
#include "tests/device/FakeDevice.h"

#include <gtest/gtest.h>
#include <wx/utils.h>

#include <algorithm>
#include <atomic>
#include <mutex>

namespace {

TEST(FlotteDecision, UnavailableAfterMissesInARowAndChangesOnlyWhenValuesMove)
{
    // Each step: answered?, signature, then expected: state change, availability change, available.
    struct Pas
    {
        bool bReponse;
        const char* zSig;
        bool bEtat, bDispo, bDisponible;
    };
    const Pas pas[] = {
        {false, "", false, false, false}, // a first miss says nothing yet
        {true, "A", true, true, true},    // first answer: online and its state
        {true, "A", false, false, true},  // same values: silent
        {true, "B", true, false, true},   // a value moved
        {false, "", false, false, true},  // two misses are tolerated
        {false, "", false, false, true},
        {true, "B", false, false, true}, // and forgotten once it answers
        {false, "", false, false, true},
        {false, "", false, false, true},
        {false, "", false, true, false}, // the third in a row: offline, said once
        {false, "", false, false, false},
        {true, "B", true, true, true}, // back: online, and its state is news again
    };
    ZorSuiviFlotte s;
    int i = 0;
    for (const Pas& p : pas) {
        const ZorDecisionFlotte d = ZorDeciderFlotte(s, p.bReponse, p.zSig, 3);
        EXPECT_EQ(d.bEtatChange, p.bEtat) << "step " << i;
        EXPECT_EQ(d.bDispoChange, p.bDispo) << "step " << i;
        EXPECT_EQ(d.bDisponible, p.bDisponible) << "step " << i;
        ++i;
    }
    // A device never heard turns offline after the misses, once.
    ZorSuiviFlotte muet;
    EXPECT_FALSE(ZorDeciderFlotte(muet, false, "", 2).bDispoChange);
    EXPECT_TRUE(ZorDeciderFlotte(muet, false, "", 2).bDispoChange);
    EXPECT_FALSE(ZorDeciderFlotte(muet, false, "", 2).bDispoChange);
}

TEST(FlotteDecision, TheClockAloneIsNoChange)
{
    ZorTavlinData a, b;
    a.m_zDATETIME = wxT("01/01/2026_10:00:00");
    b.m_zDATETIME = wxT("01/01/2026_10:00:01");
    EXPECT_EQ(ZorSignatureEtat(a), ZorSignatureEtat(b));
    for (auto changer :
         {+[](ZorTavlinData& e) { e.m_iSRELAIS = 1; }, +[](ZorTavlinData& e) { e.m_iENUM = 4; },
          +[](ZorTavlinData& e) { e.m_iEANA4 = 7; },
          +[](ZorTavlinData& e) { e.m_bBOUTON = true; }}) {
        ZorTavlinData c = a;
        changer(c);
        EXPECT_NE(ZorSignatureEtat(a), ZorSignatureEtat(c));
    }
}

TEST(FlottePlan, PhasesSpreadInFlightBoundedLateRepliesCountedOnce)
{
    // Four devices, period 100 ms, at most two requests at once. Each step: the time, the
    // requests that end then (id; negative: one that left the plan), and the requests that start.
    ZorPlanFlotte plan(100, 2);
    for (uint64_t id = 1; id <= 4; ++id)
        plan.Ajouter(id, 25 * int64_t(id - 1)); // the phases the poller gives new devices
    struct Pas
    {
        int64_t t;
        std::vector<int> fins;
        std::vector<uint64_t> departs;
        int64_t iAttente; // afterwards
    };
    const Pas pas[] = {
        {0, {}, {1}, 25}, // each at its own phase, not all at once
        {24, {}, {}, 1},
        {25, {1}, {2}, 25}, // ends in time: next due at 100, its phase kept
        {50, {}, {3}, -2},  // two in flight now: 4 waits although due at 75
        {80, {}, {}, -2},
        {81, {2}, {4}, -2},        // a slot frees: the waiting device goes at once
        {100, {}, {}, -2},         // 1 is due but both slots are busy
        {130, {3, 4}, {1, 2}, -2}, // the oldest first
        {131, {1}, {}, 19},        // 1 started late but keeps its phase: due at 200
        {150, {}, {3}, -2},
        {400, {2, 3}, {4, 1}, -2}, // long replies: the others go first
        {401, {4, 1}, {2, 3}, -2}, // 2 and 3 ended late: asked again at once
    };
    for (const Pas& p : pas) {
        for (int f : p.fins)
            EXPECT_TRUE(plan.Fini(uint64_t(f), p.t)) << "t=" << p.t;
        std::vector<uint64_t> departs;
        uint64_t id = 0;
        while (plan.Suivant(p.t, &id))
            departs.push_back(id);
        EXPECT_EQ(departs, p.departs) << "t=" << p.t;
        EXPECT_LE(plan.EnVol(), 2u);
        if (p.iAttente != -2) {
            EXPECT_EQ(plan.Attente(p.t), p.iAttente) << "t=" << p.t;
        }
    }
    // A device that leaves while asked: its late reply is not counted, and it is never asked
    // again; its slot is held until the reply ends.
    plan.Retirer(2);
    uint64_t id = 0;
    EXPECT_FALSE(plan.Suivant(1000, &id)) << "both slots still busy";
    EXPECT_FALSE(plan.Fini(2, 1000));
    EXPECT_FALSE(plan.Fini(2, 1000)) << "a reply is counted once";
    EXPECT_TRUE(plan.Fini(3, 1000));
    // Four periods with every reply at once: 1 and 4, more than a period behind, are asked
    // once and then at their own phase again (4 at x75), not in a burst to catch up.
    std::map<uint64_t, int> vus;
    for (int64_t t = 1000; t < 1400; t += 10)
        while (plan.Suivant(t, &id))
            ++vus[id], plan.Fini(id, t);
    EXPECT_EQ(vus, (std::map<uint64_t, int>{{1, 4}, {3, 4}, {4, 5}}));
    // Stopped with a request in flight: its reply, if one comes, is not counted.
    ASSERT_TRUE(plan.Suivant(2000, &id));
    plan.Interrompre(2000);
    EXPECT_EQ(plan.EnVol(), 0u);
    EXPECT_FALSE(plan.Fini(id, 2000));
}

// Records what the sink hears, per MAC.
struct Ecoute : ZorFlotteSink
{
    std::mutex m;
    std::map<wxString, std::vector<std::string>> evts;
    void OnEtatFlotte(const wxString& zMAC, const ZorTavlinData& e) override
    {
        std::lock_guard<std::mutex> l(m);
        evts[zMAC].push_back("etat " + std::to_string(e.m_iSRELAIS));
    }
    void OnDisponibiliteFlotte(const wxString& zMAC, bool b) override
    {
        std::lock_guard<std::mutex> l(m);
        evts[zMAC].push_back(b ? "online" : "offline");
    }
    std::vector<std::string> De(const wxString& zMAC)
    {
        std::lock_guard<std::mutex> l(m);
        return evts[zMAC];
    }
};

bool Attendre(const std::function<bool()>& f)
{
    for (int i = 0; i < 300; ++i) { // at most 3 s
        if (f())
            return true;
        wxMilliSleep(10);
    }
    return f();
}

TEST(FlottePoller, PollsEveryDeviceReportsChangesAndSilence)
{
    std::atomic<int> relais{0};
    std::atomic<bool> muet{false};
    zortest::FakeDevice d1, d2;
    ASSERT_TRUE(d1.Start("127.0.0.31", 80, [&](const std::string&) {
        return zortest::FakeDevice::Page("SRELAIS=000" + std::to_string(relais.load()) + "\r\n");
    }));
    ASSERT_TRUE(d2.Start("127.0.0.32", 80, [&](const std::string&) {
        return muet ? std::string() : zortest::FakeDevice::Page("SRELAIS=1000\r\n");
    }));
    Ecoute ecoute;
    ZorManualClock horloge;
    ZorPollerFlotte::Reglages r;
    r.iEnVolMax = 2;
    r.iDelaiTotalMs = 300;
    ZorPollerFlotte poller(ecoute, horloge, r);
    poller.SetCibles({{wxT("M1"), wxT("127.0.0.31"), wxT("127.0.0.1")},
                      {wxT("M2"), wxT("127.0.0.32"), wxT("")},
                      {wxT("M3"), wxT("127.0.0.33"), wxT("")}}); // nobody there
    poller.Demarrer();
    // Nothing is asked before its time: the clock stands still.
    horloge.Advance(1000);
    ASSERT_TRUE(Attendre(
        [&] { return ecoute.De(wxT("M1")).size() == 2 && ecoute.De(wxT("M2")).size() == 2; }));
    EXPECT_EQ(ecoute.De(wxT("M1")), (std::vector<std::string>{"online", "etat 0"}));
    EXPECT_EQ(ecoute.De(wxT("M2")), (std::vector<std::string>{"online", "etat 8"}));
    EXPECT_TRUE(ecoute.De(wxT("M3")).empty()); // one miss only so far

    // A device whose phase is 0 was due at the start and again at 1000: count once the poller is
    // idle at this time, so that the next period is counted alone.
    size_t nAvant = d1.Count();
    for (int i = 0; i < 20; ++i) { // at most 4 s
        wxMilliSleep(200);
        if (d1.Count() == nAvant)
            break;
        nAvant = d1.Count();
    }
    horloge.Advance(1000);
    ASSERT_TRUE(Attendre([&] { return d1.Count() > nAvant; }));
    wxMilliSleep(50);
    EXPECT_EQ(d1.Count(), nAvant + 1) << "one request per device and period";
    EXPECT_EQ(ecoute.De(wxT("M1")).size(), 2u) << "same values: nothing told";

    relais = 1;
    muet = true;
    for (int i = 0; i < 3; ++i) {
        horloge.Advance(1000);
        wxMilliSleep(i == 2 ? 0 : 350);
    }
    ASSERT_TRUE(Attendre(
        [&] { return ecoute.De(wxT("M2")).size() == 3 && ecoute.De(wxT("M3")).size() == 1; }));
    EXPECT_EQ(ecoute.De(wxT("M1")).back(), "etat 1");
    EXPECT_EQ(ecoute.De(wxT("M2")).back(), "offline");
    EXPECT_EQ(ecoute.De(wxT("M3")), (std::vector<std::string>{"offline"}));
    EXPECT_EQ(d1.Peers().back(), "127.0.0.1") << "requests leave from the device's adapter";

    // A dropped device is asked no more.
    poller.SetCibles({{wxT("M2"), wxT("127.0.0.32"), wxT("")}});
    wxMilliSleep(50);
    const size_t n1 = d1.Count();
    horloge.Advance(2000);
    wxMilliSleep(100);
    EXPECT_EQ(d1.Count(), n1);
    poller.Arreter();
    EXPECT_GT(poller.NombrePolls(), 6u);
}

} // namespace
