// The free-address search of address configurations: candidates on the adapter's network are
// drawn at random and tested one after the other (an echo test and a look at the neighbour
// table cost about 4.5 s each) on a thread of its own, so the main thread keeps serving events
// meanwhile and never re-enters. An address is handed out only when a test found it free: when
// the test cannot run at all, the search stops and says so.
//
// Thread rules: Lancer, Prendre, Arreter and the setters are called on one thread (the
// toolkit's main thread), which takes the results when it likes (the search never calls into
// it); the free-address test and the candidate source run on the search thread. Lifetime:
// Arreter (also run by the destructor) ends the search in flight, drops what is queued or
// finished and joins the thread, so nothing is delivered afterwards.
#pragma once

#include "infra/ZorExport.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// How a search ended.
enum class ZorIssueAdresse {
    Trouvee,       // a free address was found
    AucuneLibre,   // every candidate tested was held
    TestImpossible // the test could not run here: no candidate was ever known to be free
};

class ZOR_EXPORT ZorRechercheAdresse
{
public:
    // What a free-address test found out about one candidate. A plain bool says free (true)
    // or held (false).
    struct Verdict
    {
        enum Valeur { Libre, Occupee, Intestable };
        Verdict(bool bLibre) : e(bLibre ? Libre : Occupee) {}
        Verdict(Valeur v) : e(v) {}
        bool operator==(Valeur v) const { return e == v; }
        Valeur e;
    };
    // Judges the dotted address. Should return soon after bArret turns true (the result is
    // then dropped).
    using TestLibre =
        std::function<Verdict(const std::string& zIP, const std::atomic<bool>& bArret)>;
    // Four random octets for the next candidate's host bits.
    using SourceCandidats = std::function<void(uint8_t aleatoire[4])>;

    struct Demande
    {
        std::string zCle;   // names the search for its caller (the device's hardware address)
        uint8_t adresse[4]; // the adapter's address: never a candidate
        uint8_t masque[4];
    };
    struct Resultat
    {
        std::string zCle;
        std::string zAdresse; // dotted; empty when no free address was found
        ZorIssueAdresse eIssue = ZorIssueAdresse::AucuneLibre;
    };

    // Candidates tried before giving up.
    static constexpr int iCandidatsMax = 20;

    ZorRechercheAdresse();
    ~ZorRechercheAdresse();
    ZorRechercheAdresse(const ZorRechercheAdresse&) = delete;
    ZorRechercheAdresse& operator=(const ZorRechercheAdresse&) = delete;

    // Defaults: TestAdresse, and octets from 150 to 253 of a generator seeded with the time.
    void SetTestLibre(TestLibre f);
    void SetSourceCandidats(SourceCandidats f);
    void Lancer(const Demande& d);
    std::vector<Resultat> Prendre();
    void Arreter();

    // The default free-address test: the echo test, then, for an address that did not answer
    // it, the neighbour test (a host may ignore echo requests, never address resolution). Free
    // only when neither found a host; untestable when either could not run. The two parts are
    // given for tests.
    static Verdict TestAdresse(const std::string& zIP, const std::atomic<bool>& bArret,
                               const TestLibre& echo = TestLibre(&TestEcho),
                               const TestLibre& voisin = TestLibre(&TestVoisin));
    // Three echo requests of 500 ms with pauses of one second: held when one was answered,
    // untestable when no echo socket can be opened (no raw socket, and ping_group_range
    // excludes the user from the unprivileged one).
    static Verdict TestEcho(const std::string& zIP, const std::atomic<bool>& bArret);
    // The system's neighbour table after it was made to resolve the address (one second at
    // most): held when a host answered, untestable when the table cannot be read.
    static Verdict TestVoisin(const std::string& zIP, const std::atomic<bool>& bArret);

private:
    void Boucle();
    Resultat Chercher(const Demande& d, TestLibre& test, SourceCandidats& source);

    std::mutex m_mutex;
    std::deque<Demande> m_attente;
    std::vector<Resultat> m_prets;
    TestLibre m_test;
    SourceCandidats m_source;
    std::thread m_thread;
    bool m_bThreadActif = false;
    std::atomic<bool> m_bArret{false};
};
