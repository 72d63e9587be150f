// The free-address search on its own thread, with the free-address test and the candidates
// given by the test: which candidates are tested, what comes back, and stopping mid-search;
// a test that cannot run hands out nothing, injected and for real as an unprivileged user.
#include "network/ZorRechercheAdresse.h"

#include "network/ZorDiscoverySink.h"
#include "network/ZorTavlinNetwork.h"
#include "platform/ZorPlatform.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using Demande = ZorRechercheAdresse::Demande;

Demande Sur(const std::string& zCle, std::initializer_list<int> adresse,
            std::initializer_list<int> masque)
{
    Demande d;
    d.zCle = zCle;
    std::copy(adresse.begin(), adresse.end(), d.adresse);
    std::copy(masque.begin(), masque.end(), d.masque);
    return d;
}

// Results taken as they come, for at most about five seconds.
std::vector<ZorRechercheAdresse::Resultat> Attendre(ZorRechercheAdresse& r, size_t n)
{
    std::vector<ZorRechercheAdresse::Resultat> tous;
    for (int i = 0; i < 5000 && tous.size() < n; ++i) {
        for (const auto& x : r.Prendre())
            tous.push_back(x);
        if (tous.size() < n)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return tous;
}

} // namespace

TEST(AddressSearch, TestsOnlyUsableCandidatesAndReturnsTheFirstFree)
{
    struct Cas
    {
        Demande d;
        std::vector<std::vector<int>> tirages; // host bits drawn, in turn (repeating the last)
        std::string zOccupee;                  // the test says this one is held
        std::vector<std::string> testees;
        std::string zAttendu;
    };
    const std::vector<Cas> cas = {
        // The adapter's own address, the network and broadcast addresses are never tested.
        {Sur("a", {192, 168, 1, 20}, {255, 255, 255, 0}),
         {{9, 9, 9, 20}, {9, 9, 9, 0}, {9, 9, 9, 255}, {9, 9, 9, 150}, {9, 9, 9, 151}},
         "192.168.1.150",
         {"192.168.1.150", "192.168.1.151"},
         "192.168.1.151"},
        // The factory address is no candidate either.
        {Sur("b", {169, 254, 1, 1}, {255, 255, 0, 0}),
         {{1, 1, 233, 233}, {1, 1, 233, 234}},
         "",
         {"169.254.233.234"},
         "169.254.233.234"},
        // Twenty candidates held: none found, and no more than twenty tested.
        {Sur("c", {10, 0, 0, 1}, {255, 0, 0, 0}),
         {{0, 1, 2, 3}},
         "10.1.2.3",
         std::vector<std::string>(20, "10.1.2.3"),
         ""},
    };
    for (const Cas& c : cas) {
        ZorRechercheAdresse r;
        std::vector<std::string> testees;
        size_t iTirage = 0;
        r.SetSourceCandidats([&](uint8_t a[4]) {
            const std::vector<int>& t = c.tirages[std::min(iTirage++, c.tirages.size() - 1)];
            for (int i = 0; i < 4; ++i)
                a[i] = uint8_t(t[size_t(i)]);
        });
        r.SetTestLibre([&](const std::string& z, const std::atomic<bool>&) {
            testees.push_back(z);
            return z != c.zOccupee;
        });
        r.Lancer(c.d);
        const auto res = Attendre(r, 1);
        ASSERT_EQ(res.size(), 1u) << c.d.zCle;
        EXPECT_EQ(res[0].zCle, c.d.zCle);
        EXPECT_EQ(res[0].zAdresse, c.zAttendu) << c.d.zCle;
        r.Arreter();
        EXPECT_EQ(testees, c.testees) << c.d.zCle;
    }
}

TEST(AddressSearch, StopEndsTheTestInFlightAndDeliversNothing)
{
    ZorRechercheAdresse r;
    std::atomic<int> iEntrees{0};
    std::atomic<bool> bArretVu{false};
    r.SetSourceCandidats([](uint8_t a[4]) { a[0] = a[1] = a[2] = a[3] = 160; });
    r.SetTestLibre([&](const std::string&, const std::atomic<bool>& bArret) {
        ++iEntrees;
        // Held until told to stop (at most about ten seconds).
        for (int i = 0; i < 10000 && !bArret; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        bArretVu = bArret.load();
        return true;
    });
    r.Lancer(Sur("un", {192, 168, 1, 20}, {255, 255, 255, 0}));
    r.Lancer(Sur("deux", {192, 168, 1, 20}, {255, 255, 255, 0}));
    for (int i = 0; i < 5000 && iEntrees == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(iEntrees, 1);
    r.Arreter();
    EXPECT_TRUE(bArretVu);
    EXPECT_EQ(iEntrees, 1); // the queued search never started
    EXPECT_TRUE(r.Prendre().empty());

    // A later search runs again on a fresh thread.
    r.SetTestLibre([](const std::string&, const std::atomic<bool>&) { return true; });
    r.Lancer(Sur("trois", {192, 168, 1, 20}, {255, 255, 255, 0}));
    const auto res = Attendre(r, 1);
    ASSERT_EQ(res.size(), 1u);
    EXPECT_EQ(res[0].zCle, "trois");
    EXPECT_EQ(res[0].zAdresse, "192.168.1.160");
}

TEST(AddressSearch, AnAddressThatCouldNotBeTestedIsNeverHandedOut)
{
    using V = ZorRechercheAdresse::Verdict;
    // The two parts of the default test: the neighbour table is asked only about an address
    // that did not answer the echo, and the address is free only when neither found a host.
    struct Cas
    {
        V::Valeur echo, voisin, attendu;
        bool bVoisinDemande;
    };
    const Cas cas[] = {
        {V::Intestable, V::Libre, V::Intestable, false}, {V::Occupee, V::Libre, V::Occupee, false},
        {V::Libre, V::Occupee, V::Occupee, true}, // a host that ignores echo requests
        {V::Libre, V::Intestable, V::Intestable, true},  {V::Libre, V::Libre, V::Libre, true},
    };
    const std::atomic<bool> bArret{false};
    for (const Cas& c : cas) {
        bool bVoisinDemande = false;
        const V v = ZorRechercheAdresse::TestAdresse(
            "10.0.0.7", bArret,
            [&](const std::string&, const std::atomic<bool>&) { return V(c.echo); },
            [&](const std::string&, const std::atomic<bool>&) {
                bVoisinDemande = true;
                return V(c.voisin);
            });
        EXPECT_EQ(v.e, c.attendu) << int(c.echo) << " " << int(c.voisin);
        EXPECT_EQ(bVoisinDemande, c.bVoisinDemande) << int(c.echo) << " " << int(c.voisin);
    }

    // The search stops at the first candidate it cannot test, and says why.
    ZorRechercheAdresse r;
    int iTests = 0;
    r.SetSourceCandidats([](uint8_t a[4]) { a[0] = a[1] = a[2] = a[3] = 160; });
    r.SetTestLibre([&](const std::string&, const std::atomic<bool>&) {
        ++iTests;
        return V(V::Intestable);
    });
    r.Lancer(Sur("x", {192, 168, 1, 20}, {255, 255, 255, 0}));
    auto res = Attendre(r, 1);
    ASSERT_EQ(res.size(), 1u);
    EXPECT_EQ(res[0].zAdresse, "");
    EXPECT_EQ(res[0].eIssue, ZorIssueAdresse::TestImpossible);
    r.Arreter();
    EXPECT_EQ(iTests, 1);

    // For real: an ordinary user whom ping_group_range leaves out has no echo socket of either
    // kind; the default search then hands out nothing, while the neighbour table still reads.
    char zAvant[64] = {0};
    FILE* f = fopen("/proc/sys/net/ipv4/ping_group_range", "r+");
    ASSERT_NE(f, nullptr);
    ASSERT_NE(fgets(zAvant, sizeof(zAvant), f), nullptr);
    ASSERT_EQ(fclose(f), 0);
    f = fopen("/proc/sys/net/ipv4/ping_group_range", "w");
    ASSERT_NE(f, nullptr);
    fputs("1 0", f);
    ASSERT_EQ(fclose(f), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(100);
        if (ZorPlatform::SocketEcho().Ouvrir())
            _exit(101);
        if (!(ZorRechercheAdresse::TestVoisin("127.0.0.9", bArret) == V::Libre))
            _exit(102);
        ZorRechercheAdresse defaut;
        defaut.Lancer(Sur("y", {127, 0, 0, 1}, {255, 0, 0, 0}));
        auto fin = Attendre(defaut, 1);
        _exit(fin.size() != 1                                    ? 103
              : !fin[0].zAdresse.empty()                         ? 104
              : fin[0].eIssue != ZorIssueAdresse::TestImpossible ? 105
                                                                 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    f = fopen("/proc/sys/net/ipv4/ping_group_range", "w");
    ASSERT_NE(f, nullptr);
    fputs(zAvant, f);
    ASSERT_EQ(fclose(f), 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

namespace {

// What the network object reports of address configurations.
class SinkEchecs : public ZorDiscoverySink
{
public:
    void AddTavlin(const wxString&, const wxString&, const wxString&, const wxString&,
                   const wxString&, const wxString&, const wxString&, const wxString&, bool,
                   const wxString&, const wxString&, const wxString&, const wxString&) override
    {}
    void NewTavlinMaster(const wxString&, const wxString&, const wxString&, const wxString&,
                         const wxString&, const wxString&, const wxString&, const wxString&, bool,
                         const wxString&, const wxString&, const wxString&,
                         const wxString&) override
    {}
    void ConfigurationAdresseDemarree() override { ++iDemarrees; }
    void ConfigurationAdresseEchouee(const wxString& zMAC) override { echecs.push_back(zMAC); }
    int iDemarrees = 0;
    std::vector<wxString> echecs;
};

} // namespace

TEST(AddressSearch, TheNetworkObjectReportsAConfigurationThatGaveNoAddress)
{
    ZorTavlinNetwork reseau;
    SinkEchecs sink;
    reseau.SetSink(&sink);
    using V = ZorRechercheAdresse::Verdict;
    const struct
    {
        V::Valeur verdict;
        ZorIssueAdresse eIssue;
    } cas[] = {{V::Intestable, ZorIssueAdresse::TestImpossible},
               {V::Occupee, ZorIssueAdresse::AucuneLibre}};
    const wxString zMAC = wxT("00-1A-2B-3C-4D-5E");
    for (const auto& c : cas) {
        sink.echecs.clear();
        reseau.GetRechercheAdresse().SetTestLibre(
            [&](const std::string&, const std::atomic<bool>&) { return V(c.verdict); });
        reseau.ConfigureAdresseTavlin(zMAC, wxT("admin"), wxT("pw"), wxT("127.0.0.1"),
                                      wxT("255.0.0.0"), wxT("0.0.0.0"));
        EXPECT_FALSE(reseau.EchecConfiguration(zMAC, nullptr)) << "none while the search runs";
        for (int i = 0; i < 5000 && sink.echecs.empty(); ++i) {
            reseau.ForceReadOnDatagram();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_EQ(sink.echecs.size(), 1u);
        EXPECT_EQ(sink.echecs[0], zMAC);
        ZorIssueAdresse eIssue = ZorIssueAdresse::Trouvee;
        EXPECT_TRUE(reseau.EchecConfiguration(zMAC, &eIssue));
        EXPECT_EQ(eIssue, c.eIssue);
        EXPECT_FALSE(reseau.EchecConfiguration(wxT("00-00-00-00-00-01"), nullptr));
    }
    EXPECT_EQ(sink.iDemarrees, 2);
    reseau.ExitNetwork();
    EXPECT_FALSE(reseau.EchecConfiguration(zMAC, nullptr));
}
