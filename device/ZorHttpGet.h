// HTTP GET to a device's web server from a worker thread: bound to one local adapter, bounded in
// time, one request per connection, and abortable from another thread at once.
#pragma once

#include "network/ZorCurlRunner.h"

#include <wx/string.h>

#include <string>

class ZorHttpGet
{
public:
    enum Resultat {
        ZOR_HTTP_OK = 0,
        ZOR_HTTP_URL,       // not an "http://host/path" URL, or a host we do not accept
        ZOR_HTTP_CONNEXION, // no connection (refused, unreachable, local address unusable)
        ZOR_HTTP_DELAI,     // connect or transfer took too long
        ZOR_HTTP_STATUT,    // the server answered with an error status (400 and above)
        ZOR_HTTP_ARRET,     // aborted by Abort()
        ZOR_HTTP_TROP_LONG, // reply larger than the accepted maximum
        ZOR_HTTP_ERREUR,    // any other transfer failure
    };

    ZorHttpGet() = default;
    ZorHttpGet(const ZorHttpGet&) = delete;
    ZorHttpGet& operator=(const ZorHttpGet&) = delete;

    // Fetches zURL ("http://" host "/" path). zIPLocal, when not empty, is the local address the
    // connection leaves from. The body is returned as raw bytes.
    Resultat Get(const wxString& zURL, const wxString& zIPLocal, std::string& body);

    // From any thread: ends the transfer in progress, and makes every later Get fail, until Reset.
    void Abort() { m_runner.Abort(); }
    void Reset() { m_runner.Reset(); }

    void SetDelais(long iConnexionMs, long iTotalMs)
    {
        m_iConnexionMs = iConnexionMs;
        m_iTotalMs = iTotalMs;
    }
    void SetTailleMax(size_t n) { m_runner.SetTailleMax(n); }
    long GetStatut() const { return m_runner.GetStatut(); }

    // The exchange Get makes for zURL, for a caller that runs it itself (many at once); false
    // when the URL is refused (ZOR_HTTP_URL).
    static bool Requete(const wxString& zURL, const wxString& zIPLocal, long iConnexionMs,
                        long iTotalMs, ZorCurlRunner::Requete* pRequete);
    // What an exchange's end and HTTP status mean for a GET.
    static Resultat Juger(ZorCurlRunner::Fin fin, long iStatut);

    // Splits an "http://host/path" URL; false when it is not one. The host must be an IPv4
    // address or a name of letters, digits, "-" and ".", with an optional ":port".
    static bool DecouperURL(const wxString& zURL, std::string* pHote, std::string* pCible);
    // The request target sent for a path: its text as Latin-1 bytes exactly as given, except the
    // bytes an HTTP request line cannot carry (controls, space, 0x7F and above) as %XX; a
    // character outside Latin-1 becomes %3F.
    static std::string CibleRequete(const wxString& zChemin);
    // Reply bytes as text, one byte per character, up to the first zero byte.
    static wxString Texte(const std::string& body);

private:
    ZorCurlRunner m_runner;
    long m_iConnexionMs = 3000;
    long m_iTotalMs = 10000;
};
