// Every device of a fleet polled at once: each one's state page fetched at a fixed period by a
// small pool of threads (so at most that many requests are in flight), through the same HTTP
// transport and the same state parser as the watched device. Tells a sink, per device, when its
// state changed and when it became unavailable (several misses in a row) or available again.
//
// The manager's single watched device keeps its own worker; this class neither reads nor
// changes the manager: its owner hands it the targets (from the registry) with SetCibles.
//
// Thread rules: SetCibles, Demarrer and Arreter on one thread (the owner's). The sink is called
// on the pool's threads, one call at a time (never two at once), never with the library lock held;
// a lock the sink takes must never be held around SetCibles (the pool holds its own lock while it
// waits to call the sink).
#pragma once

#include "device/ZorHttpGet.h"
#include "device/ZorTavlinEtat.h"
#include "device/ZorTavlinRecords.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ZorClock;

// One device to poll.
struct ZorCibleFlotte
{
    wxString zMAC;
    wxString zIP;
    wxString zIPLocal; // the adapter the requests leave from ("" lets the system choose)
};

class ZorFlotteSink
{
public:
    virtual ~ZorFlotteSink() = default;
    // A valid state page whose inputs, outputs, relays, analog values, button or automaton mode
    // differ from the last one reported for this device (the first one is always reported).
    virtual void OnEtatFlotte(const wxString& zMAC, const ZorTavlinData& etat) = 0;
    // The device answers again (true), or missed enough polls in a row (false). The first
    // outcome after a device is added is always reported.
    virtual void OnDisponibiliteFlotte(const wxString& zMAC, bool bDisponible) = 0;
};

// What one device's poll history says; the decisions are pure so tables can test them.
struct ZorSuiviFlotte
{
    enum class Dispo { Inconnue, Oui, Non };
    Dispo dispo = Dispo::Inconnue;
    int iEchecs = 0;        // misses in a row
    std::string zSignature; // of the last state reported ("" before the first)
};

struct ZorDecisionFlotte
{
    bool bEtatChange = false;
    bool bDispoChange = false;
    bool bDisponible = false;
};

// One poll's outcome applied to a device's history: bReponse is a valid state page read, and
// zSignature that state's ZorSignatureEtat. Unavailable after iEchecsMax misses in a row.
ZorDecisionFlotte ZorDeciderFlotte(ZorSuiviFlotte& s, bool bReponse, const std::string& zSignature,
                                   int iEchecsMax);
// The values of a state that make a change worth telling: the clock is left out, since it moves
// every second and would make every poll a change.
std::string ZorSignatureEtat(const ZorTavlinData& e);

class ZorPollerFlotte
{
public:
    struct Reglages
    {
        int iPeriodeMs = 1000; // between two polls of one device
        int iEnVolMax = 8;     // requests in flight at most (threads of the pool)
        int iEchecsMax = 3;    // misses in a row before a device is unavailable
        int iDelaiConnexionMs = 1000;
        int iDelaiTotalMs = 2000;
    };

    ZorPollerFlotte(ZorFlotteSink& sink, const ZorClock& horloge, const Reglages& r);
    ~ZorPollerFlotte();
    ZorPollerFlotte(const ZorPollerFlotte&) = delete;
    ZorPollerFlotte& operator=(const ZorPollerFlotte&) = delete;

    // The devices to poll from now on. A device kept keeps its history; a new one is polled
    // soon (new devices are spread over one period so they are not all asked at once); a
    // dropped one is forgotten (a poll of it in flight is not reported).
    void SetCibles(const std::vector<ZorCibleFlotte>& cibles);
    void Demarrer();
    // Aborts the transfers in flight and joins the pool; returns within milliseconds.
    void Arreter();

    // Polls done since the start (answered or not), for measurements.
    uint64_t NombrePolls() const;

private:
    struct Device
    {
        ZorCibleFlotte cible;
        ZorSuiviFlotte suivi;
        ZorEtatUART uart;
        int64_t iProchainMs = 0;
        bool bEnVol = false;
        uint64_t iGeneration = 0; // changes when the device is replaced, so a late poll is dropped
    };
    void Boucle(size_t iThread);

    ZorFlotteSink& m_sink;
    const ZorClock& m_horloge;
    const Reglages m_reglages;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;         // threads with nothing to do
    std::condition_variable m_cvGuetteur; // the one thread waiting for the next poll's time
    bool m_bGuetteur = false;
    std::mutex m_mutexSink;
    std::map<wxString, Device> m_devices; // by MAC
    uint64_t m_iGeneration = 0;
    uint64_t m_iPolls = 0;
    bool m_bStop = false;
    std::vector<std::unique_ptr<ZorHttpGet>> m_http;
    std::vector<std::thread> m_threads;
};
