// Every HTTP exchange of the library with a device's web server (the state page and command GETs
// of the worker, the firmware post) goes through this one libcurl runner, so that they share the
// rules a device's small server needs: HTTP only, never a proxy, no signals, one request per
// connection, bound to one local adapter, bounded in time and in reply size, and abortable from
// another thread at once (the wait is a multi-handle poll that Abort wakes).
//
// ZorCurlRunner: one exchange at a time per object, on the thread that calls Executer; Abort and
// Reset from any thread. ZorCurlMulti: many exchanges at once on one thread (a fleet's polls).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// What a transfer's write callback fills: the reply, bounded in size, cut short by an abort.
struct ZorCurlReception
{
    std::string* pReponse = nullptr;
    size_t iTailleMax = 0;
    bool bTropLong = false;
    const std::atomic<bool>* pAbort = nullptr;
};

class ZorCurlRunner
{
public:
    // How an exchange ended, before the caller judges the HTTP status.
    enum class Fin {
        OK,        // a complete reply (whatever its status)
        URL,       // the URL was refused
        CONNEXION, // no connection (refused, unreachable, local address unusable)
        DELAI,     // connect or transfer took too long
        ARRET,     // aborted by Abort()
        TROP_LONG, // reply larger than the accepted maximum
        ERREUR,    // any other failure
    };

    struct Requete
    {
        std::string zURL;      // "http://host/..."
        std::string zCible;    // request target sent exactly as given; empty: the URL's own
        std::string zIPLocal;  // the local address to leave from; empty: any
        long iConnexionMs = 0; // 0: only the whole-exchange limit bounds it
        long iTotalMs = 10000; // the whole exchange
        bool bHttp10 = false;  // HTTP/1.0 instead of 1.1
        const std::string* pCorps = nullptr; // a POST of these bytes; a GET when null
        std::vector<std::string> entetes;    // extra request headers ("Name: value")
    };

    // Upper bound of a reply by default; a device page is a few hundred bytes.
    static constexpr size_t kTailleMaxDefaut = 1024 * 1024;

    ZorCurlRunner();
    ~ZorCurlRunner();
    ZorCurlRunner(const ZorCurlRunner&) = delete;
    ZorCurlRunner& operator=(const ZorCurlRunner&) = delete;

    // Runs one exchange; the reply body goes into reponse (left empty unless Fin::OK).
    Fin Executer(const Requete& requete, std::string& reponse);
    // The last reply's HTTP status (0 when there was none).
    long GetStatut() const { return m_iStatut; }

    // From any thread: ends the exchange in progress, and makes every later one end with
    // Fin::ARRET, until Reset.
    void Abort();
    void Reset() { m_bAbort = false; }
    bool IsAborted() const { return m_bAbort; }
    void SetTailleMax(size_t n) { m_iTailleMax = n; }

    // Prepares libcurl once for the process; the constructor calls it too.
    static void InitGlobal();

private:
    friend class ZorCurlMulti;
    // Every option of one exchange set on a reset easy handle, the reply going to r. Returns
    // the header list the handle points at: freed by the caller once the exchange is over.
    static void* Preparer(void* pEasy, const Requete& requete, ZorCurlReception& r);
    // How an exchange that libcurl finished with this code ended.
    static Fin FinDe(int iCode, const ZorCurlReception& r);

    void* m_pEasy = nullptr;
    void* m_pMulti = nullptr;
    std::atomic<bool> m_bAbort{false};
    size_t m_iTailleMax = kTailleMaxDefaut;
    long m_iStatut = 0;
};

// Many exchanges in flight at once, all driven by the one thread that calls Avancer: the
// fleet's polls share one multi handle, so many devices cost one thread and one poll() over
// the sockets in flight, and the handles and reply buffers of its slots are made once.
//
// Thread rules: everything on the driving thread, except Reveiller (any thread).
class ZorCurlMulti
{
public:
    struct Fini
    {
        uint64_t iJeton; // as given to Lancer
        ZorCurlRunner::Fin fin;
        long iStatut;               // the HTTP status (0 when there was none)
        const std::string& reponse; // the reply body (empty unless Fin::OK); valid in the call
    };

    // nSlots: exchanges in flight at most. iTailleMax: a reply's upper bound.
    explicit ZorCurlMulti(size_t nSlots, size_t iTailleMax = 64 * 1024);
    ~ZorCurlMulti();
    ZorCurlMulti(const ZorCurlMulti&) = delete;
    ZorCurlMulti& operator=(const ZorCurlMulti&) = delete;

    // Starts an exchange (the strings are copied; a POST body must outlive it). False when
    // every slot is busy or libcurl refused it.
    bool Lancer(const ZorCurlRunner::Requete& requete, uint64_t iJeton);
    size_t EnVol() const { return m_nEnVol; }
    size_t Slots() const { return m_slots.size(); }

    // Moves every exchange on, waiting at most iAttenteMs for its sockets or for Reveiller, and
    // tells fini about each one that ended; its slot is free again when fini returns.
    void Avancer(int iAttenteMs, const std::function<void(const Fini&)>& fini);
    // From any thread: the wait of Avancer returns at once.
    void Reveiller();
    // Drops every exchange in flight, telling nobody.
    void Annuler();

private:
    struct Slot;
    void Liberer(Slot& s);

    void* m_pMulti = nullptr;
    std::vector<std::unique_ptr<Slot>> m_slots;
    size_t m_nEnVol = 0;
    bool m_bLance = false; // an exchange started since Avancer last moved them on
    const std::atomic<bool> m_bJamaisArret{false};
};
