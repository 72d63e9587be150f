// Every HTTP exchange of the library with a device's web server (the state page and command GETs
// of the worker, the firmware post) goes through this one libcurl runner, so that they share the
// rules a device's small server needs: HTTP only, never a proxy, no signals, one request per
// connection, bound to one local adapter, bounded in time and in reply size, and abortable from
// another thread at once (the wait is a multi-handle poll that Abort wakes).
//
// One exchange at a time per object, on the thread that calls Executer; Abort and Reset from
// any thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

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
    static size_t Ecrire(char* data, size_t size, size_t nmemb, void* user);

    void* m_pEasy = nullptr;
    void* m_pMulti = nullptr;
    std::atomic<bool> m_bAbort{false};
    size_t m_iTailleMax = kTailleMaxDefaut;
    long m_iStatut = 0;
    std::string* m_pReponse = nullptr;
    bool m_bTropLong = false;
};
