// The free-address search on its own thread, with the free-address test and the candidates
// given by the test: which candidates are tested, what comes back, and stopping mid-search.
#include "network/ZorRechercheAdresse.h"

#include <gtest/gtest.h>

#include <chrono>
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
    for (int i = 0; i < 5000 && tous.size() < n; ++i)
    {
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
    for (const Cas& c : cas)
    {
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
