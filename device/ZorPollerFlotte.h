// Every device of a fleet polled at once: each one's state page fetched at a fixed period, each
// device at its own phase of the period, by one thread driving every request in flight on one
// multi handle (at most a set number at once), through the same HTTP transport and the same
// state parser as the watched device. Tells a sink, per device, when its
// state changed and when it became unavailable (several misses in a row) or available again.
//
// The manager's single watched device keeps its own worker; this class neither reads nor
// changes the manager: its owner hands it the targets (from the registry) with SetCibles.
//
// Thread rules: SetCibles, Demarrer and Arreter on one thread (the owner's). The sink is called
// on the poller's thread, one call at a time, as soon as a reply is read, never with the library
// lock nor the poller's own lock held.
#pragma once

#include "network/ZorCurlRunner.h"
#include "device/ZorTavlinEtat.h"
#include "device/ZorTavlinRecords.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
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

// When each device is asked: every device at its own phase of the period, at most iEnVolMax
// requests at once, never two at once to one device. Time is handed in, so tables test it.
class ZorPlanFlotte
{
public:
    ZorPlanFlotte(int iPeriodeMs, int iEnVolMax);
    // Device iId (never reused) enters the plan, first asked at iDuMs.
    void Ajouter(uint64_t iId, int64_t iDuMs);
    // Device iId leaves the plan; a request of it in flight still holds its place until Fini.
    void Retirer(uint64_t iId);
    // A device due by iMaintenant, when a request may start: it is then in flight.
    bool Suivant(int64_t iMaintenant, uint64_t* piId);
    // The request of iId ended: the device is asked again at its next phase after the request
    // started (one period after it was due, unless the slots held it back longer), or at once
    // when that time has passed already. False when iId left the plan meanwhile:
    // its outcome is not to be counted.
    bool Fini(uint64_t iId, int64_t iMaintenant);
    // Milliseconds until a device is due (0: one is due now; -1: none is waiting).
    int64_t Attente(int64_t iMaintenant);
    size_t EnVol() const { return m_nEnVol; }
    // Every request in flight was dropped (the poller stopped): each ends as if answered.
    void Interrompre(int64_t iMaintenant);

private:
    struct Etat
    {
        int64_t iDuMs = 0;
        int64_t iDepartMs = 0; // when the request in flight started
        bool bEnVol = false;
        bool bRetire = false;
    };
    struct Entree
    {
        int64_t iDuMs;
        uint64_t iId;
        bool operator>(const Entree& o) const
        {
            return iDuMs != o.iDuMs ? iDuMs > o.iDuMs : iId > o.iId;
        }
    };
    bool Valide(const Entree& e) const;
    void Nettoyer();

    const int64_t m_iPeriodeMs;
    const size_t m_nEnVolMax;
    std::unordered_map<uint64_t, Etat> m_etats;
    // Waiting devices by due time; entries of devices that left or were asked are skipped.
    std::vector<Entree> m_file;
    size_t m_nEnVol = 0;
};

class ZorPollerFlotte
{
public:
    struct Reglages
    {
        int iPeriodeMs = 1000; // between two polls of one device
        int iEnVolMax = 8;     // requests in flight at most
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
    // Drops the transfers in flight and joins the thread; returns within milliseconds.
    void Arreter();

    // Polls done since the start (answered or not), for measurements.
    uint64_t NombrePolls() const;

private:
    struct Device
    {
        ZorCibleFlotte cible;
        ZorCurlRunner::Requete requete; // made once: nothing is built per poll
        ZorSuiviFlotte suivi;
        ZorEtatUART uart;
        uint64_t iId =
            0; // in the plan; a new one when the address changes, so a late poll is dropped
    };
    void Boucle();
    void Traiter(uint64_t iId, bool bReponse, const std::string& body);

    ZorFlotteSink& m_sink;
    const ZorClock& m_horloge;
    const Reglages m_reglages;
    mutable std::mutex m_mutex;
    ZorPlanFlotte m_plan;
    std::map<wxString, uint64_t> m_ids;             // by MAC
    std::unordered_map<uint64_t, Device> m_devices; // by id in the plan
    uint64_t m_iProchainId = 0;
    uint64_t m_iPolls = 0;
    bool m_bStop = false;
    std::unique_ptr<ZorCurlMulti> m_multi;
    std::thread m_thread;
};
