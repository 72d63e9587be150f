// The free-address search of address configurations: candidates on the adapter's network are
// drawn at random and tested one after the other (an echo test costs about 3.5 s each) on a
// thread of its own, so the main thread keeps serving events meanwhile and never re-enters.
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

class ZOR_EXPORT ZorRechercheAdresse
{
public:
    // True when nobody answers at the dotted address. Should return soon after bArret turns
    // true (the result is then dropped).
    using TestLibre = std::function<bool(const std::string& zIP, const std::atomic<bool>& bArret)>;
    // Four random octets for the next candidate's host bits.
    using SourceCandidats = std::function<void(uint8_t aleatoire[4])>;

    struct Demande
    {
        std::string zCle; // names the search for its caller (the device's hardware address)
        uint8_t adresse[4]; // the adapter's address: never a candidate
        uint8_t masque[4];
    };
    struct Resultat
    {
        std::string zCle;
        std::string zAdresse; // dotted; empty when no free address was found
    };

    // Candidates tried before giving up.
    static constexpr int iCandidatsMax = 20;

    ZorRechercheAdresse();
    ~ZorRechercheAdresse();
    ZorRechercheAdresse(const ZorRechercheAdresse&) = delete;
    ZorRechercheAdresse& operator=(const ZorRechercheAdresse&) = delete;

    // Defaults: three echo requests of 500 ms with pauses of one second (a test that cannot run
    // counts as free), and octets from 150 to 253 of a generator seeded with the time.
    void SetTestLibre(TestLibre f);
    void SetSourceCandidats(SourceCandidats f);
    void Lancer(const Demande& d);
    std::vector<Resultat> Prendre();
    void Arreter();

    // The default free-address test.
    static bool TestEcho(const std::string& zIP, const std::atomic<bool>& bArret);

private:
    void Boucle();
    std::string Chercher(const Demande& d, TestLibre& test, SourceCandidats& source);

    std::mutex m_mutex;
    std::deque<Demande> m_attente;
    std::vector<Resultat> m_prets;
    TestLibre m_test;
    SourceCandidats m_source;
    std::thread m_thread;
    bool m_bThreadActif = false;
    std::atomic<bool> m_bArret{false};
};
