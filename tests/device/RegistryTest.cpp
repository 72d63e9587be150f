// Device registry, monitored device, master record and listeners of the device manager.
#include "device/ZorTavlinObj.h"
#include "infra/ZorClock.h"
#include "infra/ZorLogFile.h"
#include "tests/common/ZorTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

// A listener that records the events it receives, in order, in a journal shared by several.
class Journal : public ZorTavlinListener
{
public:
    Journal(std::vector<std::pair<int, int>>* journal, int id) : m_journal(journal), m_id(id) {}
    void OnTavlinEvent(int iEventType) override
    {
        m_journal->push_back({m_id, iEventType});
        if (m_onEvent)
            m_onEvent(iEventType);
    }
    int Count(int type) const
    {
        int n = 0;
        for (auto& e : *m_journal)
            if (e.first == m_id && e.second == type)
                ++n;
        return n;
    }
    std::function<void(int)> m_onEvent;

private:
    std::vector<std::pair<int, int>>* m_journal;
    int m_id;
};

class RegistryTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ZorTavlinObj::CreateTavlinObj());
        obj = gpTheTavlin;
    }
    void TearDown() override { ZorTavlinObj::DeleteTavlinObj(); }
    Journal* NewObserver()
    {
        listeners.push_back(std::make_unique<Journal>(&journal, int(listeners.size())));
        return listeners.back().get();
    }
    // A device answer as the network object passes it, through adapter "local".
    void Answer(const wxString& mac, const wxString& ip, const wxString& comment = wxT("c"),
                const wxString& local = wxT("192.168.77.1"))
    {
        obj->AddTavlin(ip, wxT("TAVLIN"), mac, comment, wxT("admin"), wxT("pw"),
                       wxT("255.255.255.0"), wxT("192.168.77.254"), false, local,
                       wxT("255.255.255.0"), wxT("192.168.77.254"), wxT("3.1"));
    }
    ZorTavlinInfo Record(size_t i)
    {
        ZorTavlinInfoArray all;
        obj->GetLesTavlin(all);
        return all.Item(i);
    }

    ZorTavlinObj* obj = nullptr;
    std::vector<std::pair<int, int>> journal;
    std::vector<std::unique_ptr<Journal>> listeners;
};

TEST_F(RegistryTest, CreateTwiceKeepsOneObjectAndDeleteClearsPointer)
{
    ZorTavlinObj* first = gpTheTavlin;
    EXPECT_TRUE(ZorTavlinObj::CreateTavlinObj());
    EXPECT_EQ(first, gpTheTavlin);
    ZorTavlinObj::DeleteTavlinObj();
    EXPECT_EQ(nullptr, gpTheTavlin);
    ZorTavlinObj::DeleteTavlinObj(); // nothing to delete: no effect
    ASSERT_TRUE(ZorTavlinObj::CreateTavlinObj());
    obj = gpTheTavlin;
    EXPECT_FALSE(obj->IsStarted());
    EXPECT_EQ(10, obj->GetTimeAlive());
    EXPECT_EQ(50, obj->GetDefaultTimeSurveillanceMs());
    EXPECT_EQ(obj->GetDelaiTickMs(), -1);
}

TEST_F(RegistryTest, ChangeRulesDecideTheAddEvent)
{
    Journal* o = NewObserver();
    obj->AddListener(o);
    ASSERT_EQ(1, o->Count(ZOR_EVT_TAVLIN_ADD)); // a new observer gets its own ADD at once

    Answer(wxT("00-04-A3-00-00-01"), wxT("192.168.77.10"));
    EXPECT_EQ(2, o->Count(ZOR_EVT_TAVLIN_ADD));
    ZorTavlinInfo r = Record(0);
    EXPECT_EQ(wxT("192.168.77.10"), r.m_zIP);
    EXPECT_EQ(wxT("TAVLIN"), r.m_zNom);
    EXPECT_EQ(wxT("3.1"), r.m_zVersion);
    EXPECT_EQ(0, r.m_iEtatPresence);
    EXPECT_FALSE(r.m_bMultipleCarte);

    // The same answer again: refreshed, no event; a stage set by the timer falls back to 0.
    ZorManualClock clock;
    obj->SetClock(&clock);
    Answer(wxT("00-04-A3-00-00-01"), wxT("192.168.77.10"));
    const long vu = Record(0).m_iTimeLastSeen;
    clock.Advance(60000); // silent for a minute: two ticks take it to stage 2
    obj->TickSurveillance();
    obj->TickSurveillance();
    ASSERT_EQ(2, Record(0).m_iEtatPresence);
    Answer(wxT("00-04-A3-00-00-01"), wxT("192.168.77.10"));
    obj->SetClock(nullptr);
    EXPECT_EQ(2, o->Count(ZOR_EVT_TAVLIN_ADD));
    EXPECT_EQ(0, Record(0).m_iEtatPresence);
    EXPECT_EQ(Record(0).m_iTimeLastSeen, vu + 60);

    // A changed comment is a change.
    Answer(wxT("00-04-A3-00-00-01"), wxT("192.168.77.10"), wxT("new comment"));
    EXPECT_EQ(3, o->Count(ZOR_EVT_TAVLIN_ADD));
    EXPECT_EQ(wxT("new comment"), Record(0).m_zCommentaire);

    // MAC keys compare exactly: lower case is another device.
    Answer(wxT("00-04-a3-00-00-01"), wxT("192.168.77.11"));
    ZorTavlinInfoArray all;
    obj->GetLesTavlin(all);
    EXPECT_EQ(2u, all.GetCount());
}

TEST_F(RegistryTest, SecondAdapterSetsMultipleCardFlagForGood)
{
    Answer(wxT("00-04-A3-00-00-01"), wxT("192.168.77.10"), wxT("c"), wxT("192.168.77.1"));
    Answer(wxT("00-04-A3-00-00-01"), wxT("192.168.77.10"), wxT("c"), wxT("192.168.78.1"));
    EXPECT_TRUE(Record(0).m_bMultipleCarte);
    EXPECT_EQ(wxT("192.168.78.1"), Record(0).m_zIPLocal);
    Answer(wxT("00-04-A3-00-00-01"), wxT("192.168.77.10"), wxT("c"), wxT("192.168.77.1"));
    EXPECT_TRUE(Record(0).m_bMultipleCarte);
    EXPECT_EQ(wxT("192.168.77.1"), Record(0).m_zIPLocal);
}

TEST_F(RegistryTest, TwoAdaptersOnOneLinkKeepTheAdapterOnTheDevicesNetwork)
{
    // The PC's two cards, 192.168.77.1/24 and 192.168.78.1/24, hear every answer.
    ZorCarteEth* cartes[2] = {new ZorCarteEth, new ZorCarteEth};
    for (int i = 0; i < 2; ++i) {
        cartes[i]->m_zIP = wxString::Format(wxT("192.168.%d.1"), 77 + i);
        cartes[i]->m_zMask = wxT("255.255.255.0");
        obj->GetArrayCarteEth().Add(cartes[i]);
    }
    Journal* o = NewObserver();
    obj->AddListener(o);
    const wxString mac = wxT("00-04-A3-00-00-01");
    struct Cas
    {
        const char* ip;
        const char* entendue; // the adapter the answer came through
        const char* gardee;   // the adapter on record after it
        int evenements;       // ADD events so far
    } cas[] = {
        {"192.168.77.10", "192.168.78.1", "192.168.78.1", 2}, // first heard off its network
        {"192.168.77.10", "192.168.77.1", "192.168.77.1", 3}, // then on it: taken, flag set
        {"192.168.77.10", "192.168.78.1", "192.168.77.1", 3}, // kept, nothing new to tell
        {"192.168.77.10", "192.168.77.1", "192.168.77.1", 3},
        {"192.168.78.10", "192.168.78.1", "192.168.78.1", 4}, // moved to the other subnet
        {"192.168.78.10", "192.168.77.1", "192.168.78.1", 4},
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(std::string(c.ip) + " via " + c.entendue);
        Answer(mac, c.ip, wxT("c"), c.entendue);
        EXPECT_EQ(Record(0).m_zIPLocal, c.gardee);
        EXPECT_EQ(o->Count(ZOR_EVT_TAVLIN_ADD), c.evenements);
        EXPECT_EQ(Record(0).m_bMultipleCarte, c.evenements > 2);
    }
    // Its card gone (cable pulled: no address), the device is heard through the other again.
    cartes[1]->m_zIP = wxT("0.0.0.0");
    Answer(mac, wxT("192.168.78.10"), wxT("c"), wxT("192.168.77.1"));
    EXPECT_EQ(Record(0).m_zIPLocal, wxT("192.168.77.1"));
    EXPECT_TRUE(Record(0).m_bMultipleCarte);
    // The device the worker polls is reached through the adapter on record.
    obj->SurveillerAddrMAC(mac);
    EXPECT_EQ(zortest::CibleDe(*obj).ipLocal, wxT("192.168.77.1"));
}

TEST_F(RegistryTest, MonitoredDeviceIsFollowedThroughTheRegistry)
{
    obj->SurveillerAddrMAC(wxT("00-04-A3-00-00-02"));
    EXPECT_TRUE(zortest::CibleDe(*obj).ip.empty()); // not known yet: no polling target

    Answer(wxT("00-04-A3-00-00-02"), wxT("192.168.77.20"));
    EXPECT_EQ(wxT("192.168.77.20"), zortest::CibleDe(*obj).ip);
    EXPECT_EQ(wxT("192.168.77.1"), zortest::CibleDe(*obj).ipLocal);

    Answer(wxT("00-04-A3-00-00-02"), wxT("192.168.77.99")); // moved: followed
    EXPECT_EQ(wxT("192.168.77.99"), zortest::CibleDe(*obj).ip);

    obj->SetTheIP(wxT("10.1.2.3"), wxT("10.1.2.1")); // direct target, registry not consulted
    EXPECT_EQ(wxT("10.1.2.3"), zortest::CibleDe(*obj).ip);
    // ... until the next answer of any device re-reads the registry.
    Answer(wxT("00-04-A3-00-00-07"), wxT("192.168.77.70"));
    EXPECT_EQ(wxT("192.168.77.99"), zortest::CibleDe(*obj).ip);

    obj->SurveillerAddrMAC(wxT("no-such-mac"));
    EXPECT_TRUE(zortest::CibleDe(*obj).ip.empty());
    EXPECT_TRUE(zortest::CibleDe(*obj).ipLocal.empty());
}

TEST_F(RegistryTest, FullRegistryGivesTheOldestPlaceToANewDevice)
{
    // A flood of forged answers with ever new addresses filled the registry; a real device that
    // answers later must still get in, in the place of the record seen longest ago.
    ZorManualClock clock;
    obj->SetClock(&clock);
    auto mac = [](size_t i) {
        return wxString::Format(wxT("02-00-00-00-%02X-%02X"), int(i >> 8), int(i & 0xFF));
    };
    auto present = [&](const wxString& m) {
        ZorTavlinInfoArray all;
        obj->GetLesTavlin(all);
        EXPECT_EQ(ZorTavlinObj::iTavlinMax, all.GetCount());
        for (size_t i = 0; i < all.GetCount(); ++i)
            if (all[i].m_zMAC == m)
                return true;
        return false;
    };
    auto lignesLog = [] {
        const std::string log = zortest::ReadFile(std::string(ZorLogFile::GetPath().utf8_str()));
        size_t n = 0;
        for (size_t p = log.find("registre plein (1024"); p != std::string::npos;
             p = log.find("registre plein (1024", p + 1))
            ++n;
        return n;
    };
    for (size_t i = 0; i < ZorTavlinObj::iTavlinMax; ++i)
        Answer(mac(i), wxT("192.168.77.2"));
    const size_t iLog = lignesLog();
    Journal* o = NewObserver();
    obj->AddListener(o);

    // Every record seen within the last seconds: the newcomer waits (one log line).
    Answer(wxT("00-04-A3-00-00-AA"), wxT("192.168.77.10"));
    EXPECT_FALSE(present(wxT("00-04-A3-00-00-AA")));
    EXPECT_EQ(iLog + 1, lignesLog());

    // Later: the oldest record goes, but never the monitored device nor one seen lately.
    clock.Advance(5000);
    obj->SurveillerAddrMAC(mac(0));
    Answer(mac(1), wxT("192.168.77.2"));
    Answer(wxT("00-04-A3-00-00-AA"), wxT("192.168.77.10"));
    EXPECT_TRUE(present(wxT("00-04-A3-00-00-AA")));
    EXPECT_TRUE(present(mac(0)));
    EXPECT_TRUE(present(mac(1)));
    EXPECT_FALSE(present(mac(2)));
    EXPECT_EQ(2, o->Count(ZOR_EVT_TAVLIN_ADD));
    EXPECT_EQ(wxT("192.168.77.2"), zortest::CibleDe(*obj).ip);
    EXPECT_EQ(iLog + 1, lignesLog()); // still within the minute

    // The next minute: said again.
    clock.Advance(60000);
    Answer(wxT("00-04-A3-00-00-BB"), wxT("192.168.77.11"));
    EXPECT_TRUE(present(wxT("00-04-A3-00-00-BB")));
    EXPECT_FALSE(present(mac(3)));
    EXPECT_TRUE(present(mac(0)));
    EXPECT_EQ(iLog + 2, lignesLog());

    // A device whose record gave its place answers again: a record of its own, not the old
    // one brought back, and followed when monitored.
    clock.Advance(5000);
    obj->SurveillerAddrMAC(mac(2));
    EXPECT_TRUE(zortest::CibleDe(*obj).ip.empty());
    Answer(mac(2), wxT("192.168.77.12"));
    EXPECT_TRUE(present(mac(2)));
    EXPECT_EQ(wxT("192.168.77.12"), zortest::CibleDe(*obj).ip);
    obj->SetClock(nullptr);
}

TEST_F(RegistryTest, MasterRecordLastAnswerWinsAndClears)
{
    Journal* o = NewObserver();
    obj->AddListener(o);
    obj->NewTavlinMaster(wxT("192.168.77.5"), wxT("M1"), wxT("00-04-A3-00-00-05"), wxT("c"),
                         wxT("l"), wxT("p"), wxT("255.255.255.0"), wxT("192.168.77.254"), true,
                         wxT("192.168.77.1"), wxT("255.255.255.0"), wxT("192.168.77.254"),
                         wxT("1"));
    obj->NewTavlinMaster(wxT("192.168.77.6"), wxT("M2"), wxT("00-04-A3-00-00-06"), wxT("c"),
                         wxT("l"), wxT("p"), wxT("255.255.255.0"), wxT("192.168.77.254"), true,
                         wxT("192.168.77.1"), wxT("255.255.255.0"), wxT("192.168.77.254"),
                         wxT("1"));
    EXPECT_EQ(2, o->Count(ZOR_EVT_TAVLIN_MASTER_NEW));
    ZorTavlinInfo m;
    obj->GetTavlinMaster(&m);
    EXPECT_EQ(wxT("M2"), m.m_zNom);
    EXPECT_TRUE(m.m_bDHCPEnabled);
    EXPECT_EQ(0, m.m_iTimeLastSeen);

    obj->RazTavlinMaster();
    obj->GetTavlinMaster(&m);
    EXPECT_TRUE(m.m_zNom.empty());
    EXPECT_TRUE(m.m_zIP.empty());
    EXPECT_FALSE(m.m_bDHCPEnabled);
    EXPECT_EQ(3, m.m_iEtatPresence);
    EXPECT_EQ(2, o->Count(ZOR_EVT_TAVLIN_MASTER_NEW)); // clearing sends nothing
    obj->GetTavlinMaster(nullptr);                     // no effect, no crash
}

TEST_F(RegistryTest, ListenersInOrderOnceEachAndSafeRemoval)
{
    Journal* a = NewObserver();
    Journal* b = NewObserver();
    obj->AddListener(nullptr);
    obj->AddListener(a);
    obj->AddListener(b);
    obj->AddListener(a); // already there: nothing sent
    EXPECT_EQ(1, a->Count(ZOR_EVT_TAVLIN_ADD));
    EXPECT_EQ(2u, obj->GetNombreListeners());

    journal.clear();
    obj->NotifyListeners(ZOR_EVT_TAVLIN_REMOVE);
    ASSERT_EQ(2u, journal.size());
    EXPECT_EQ(0, journal[0].first); // in the order they were added
    EXPECT_EQ(1, journal[1].first);

    obj->RemoveListener(a);
    obj->RemoveListener(a);       // not in the list: no effect
    obj->RemoveListener(nullptr); // no effect
    journal.clear();
    Answer(wxT("00-04-A3-00-00-09"), wxT("192.168.77.90"));
    ASSERT_EQ(1u, journal.size());
    EXPECT_EQ(1, journal[0].first);
}

TEST_F(RegistryTest, ListenersMayRemoveThemselvesOrOthersDuringDelivery)
{
    Journal* a = NewObserver();
    Journal* b = NewObserver();
    Journal* c = NewObserver();
    for (Journal* j : {a, b, c})
        obj->AddListener(j);
    // a removes itself and c: c, not yet called, is skipped; b still gets it.
    a->m_onEvent = [&](int) {
        obj->RemoveListener(a);
        obj->RemoveListener(c);
    };
    journal.clear();
    obj->NotifyListeners(ZOR_EVT_TAVLIN_REMOVE);
    ASSERT_EQ(2u, journal.size());
    EXPECT_EQ(0, journal[0].first);
    EXPECT_EQ(1, journal[1].first);
    EXPECT_EQ(1u, obj->GetNombreListeners());
    // A listener added during a delivery gets its own ADD, not the event being delivered.
    Journal* d = NewObserver();
    b->m_onEvent = [&](int) { obj->AddListener(d); };
    journal.clear();
    obj->NotifyListeners(ZOR_EVT_TAVLIN_REMOVE);
    EXPECT_EQ(1, d->Count(ZOR_EVT_TAVLIN_ADD));
    EXPECT_EQ(0, d->Count(ZOR_EVT_TAVLIN_REMOVE));
    obj->RemoveListener(b);
    obj->RemoveListener(d);
}

} // namespace
