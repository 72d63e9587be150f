#include "device/ZorHttpGet.h"

#include <curl/curl.h>

#include <mutex>

namespace {

// Upper bound of one state page or command reply; a device page is a few hundred bytes.
const size_t kTailleMaxDefaut = 1024 * 1024;

bool CaractereHote(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == ':';
}

} // namespace

void ZorHttpGet::InitGlobal()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_NOTHING); });
}

ZorHttpGet::ZorHttpGet()
    : m_pEasy(nullptr), m_pMulti(nullptr), m_bAbort(false), m_iConnexionMs(3000), m_iTotalMs(10000),
      m_iTailleMax(kTailleMaxDefaut), m_iStatut(0), m_pBody(nullptr), m_bTropLong(false)
{
    InitGlobal();
    m_pEasy = curl_easy_init();
    m_pMulti = curl_multi_init();
}

ZorHttpGet::~ZorHttpGet()
{
    if (m_pEasy)
        curl_easy_cleanup(static_cast<CURL*>(m_pEasy));
    if (m_pMulti)
        curl_multi_cleanup(static_cast<CURLM*>(m_pMulti));
}

void ZorHttpGet::Abort()
{
    m_bAbort = true;
    if (m_pMulti)
        curl_multi_wakeup(static_cast<CURLM*>(m_pMulti)); // thread-safe by design
}

void ZorHttpGet::Reset()
{
    m_bAbort = false;
}

void ZorHttpGet::SetDelais(long iConnexionMs, long iTotalMs)
{
    m_iConnexionMs = iConnexionMs;
    m_iTotalMs = iTotalMs;
}

bool ZorHttpGet::DecouperURL(const wxString& zURL, std::string* pHote, std::string* pCible)
{
    static const wxString prefixe(wxT("http://"));
    if (!zURL.StartsWith(prefixe))
        return false;
    wxString reste = zURL.Mid(prefixe.length());
    int slash = reste.Find('/');
    wxString hote = slash == wxNOT_FOUND ? reste : reste.Left(size_t(slash));
    if (hote.empty() || hote.length() > 253)
        return false;
    std::string h;
    for (wxString::const_iterator it = hote.begin(); it != hote.end(); ++it) {
        wxUniChar c = *it;
        if (!c.IsAscii() || !CaractereHote(char(c.GetValue())))
            return false;
        h += char(c.GetValue());
    }
    if (pHote)
        *pHote = h;
    if (pCible)
        *pCible =
            CibleRequete(slash == wxNOT_FOUND ? wxString(wxT("/")) : reste.Mid(size_t(slash)));
    return true;
}

std::string ZorHttpGet::CibleRequete(const wxString& zChemin)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(zChemin.length() + 8);
    for (wxString::const_iterator it = zChemin.begin(); it != zChemin.end(); ++it) {
        wxUint32 u = (*it).GetValue();
        // Not a Latin-1 character: an escaped "?", which cannot be taken for the query mark.
        unsigned char b = u > 0xFF ? '?' : (unsigned char)u;
        if (u > 0xFF || b <= 0x20 || b >= 0x7F) {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 0x0F];
        } else {
            out += char(b);
        }
    }
    return out;
}

wxString ZorHttpGet::Texte(const std::string& body)
{
    size_t n = body.find('\0');
    if (n == std::string::npos)
        n = body.size();
    return wxString::From8BitData(body.data(), n);
}

size_t ZorHttpGet::Ecrire(char* data, size_t size, size_t nmemb, void* user)
{
    ZorHttpGet* self = static_cast<ZorHttpGet*>(user);
    size_t n = size * nmemb;
    if (self->m_bAbort)
        return 0;
    if (self->m_pBody->size() + n > self->m_iTailleMax) {
        self->m_bTropLong = true;
        return 0;
    }
    self->m_pBody->append(data, n);
    return n;
}

ZorHttpGet::Resultat ZorHttpGet::Get(const wxString& zURL, const wxString& zIPLocal,
                                     std::string& body)
{
    body.clear();
    m_iStatut = 0;
    m_bTropLong = false;
    std::string hote, cible;
    if (!DecouperURL(zURL, &hote, &cible))
        return ZOR_HTTP_URL;
    if (m_bAbort)
        return ZOR_HTTP_ARRET;
    CURL* e = static_cast<CURL*>(m_pEasy);
    CURLM* m = static_cast<CURLM*>(m_pMulti);
    if (!e || !m)
        return ZOR_HTTP_ERREUR;

    std::string url = "http://" + hote + "/";
    std::string zInterface;
    if (!zIPLocal.empty())
        zInterface = "host!" + std::string(zIPLocal.utf8_str());

    curl_easy_reset(e);
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    // The path goes out as built by the caller: no normalising, no encoding of our own.
    curl_easy_setopt(e, CURLOPT_REQUEST_TARGET, cible.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(e, CURLOPT_HTTP_VERSION, (long)CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(e, CURLOPT_NOPROXY, "*"); // device traffic never goes through a proxy
    curl_easy_setopt(e, CURLOPT_PROXY, "");
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, m_iConnexionMs);
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, m_iTotalMs);
    if (!zInterface.empty())
        curl_easy_setopt(e, CURLOPT_INTERFACE, zInterface.c_str());
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &ZorHttpGet::Ecrire);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
    m_pBody = &body;

    CURLcode code = CURLE_OK;
    bool fini = false;
    Resultat resultat = ZOR_HTTP_OK;
    if (curl_multi_add_handle(m, e) != CURLM_OK) {
        m_pBody = nullptr;
        return ZOR_HTTP_ERREUR;
    }
    while (!fini) {
        if (m_bAbort) {
            resultat = ZOR_HTTP_ARRET;
            break;
        }
        int enCours = 0;
        if (curl_multi_perform(m, &enCours) != CURLM_OK) {
            resultat = ZOR_HTTP_ERREUR;
            break;
        }
        int nMsg = 0;
        while (CURLMsg* msg = curl_multi_info_read(m, &nMsg)) {
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == e) {
                code = msg->data.result;
                fini = true;
            }
        }
        if (fini || enCours == 0)
            break;
        // Bounded wait; Abort() wakes it at once.
        curl_multi_poll(m, nullptr, 0, 200, nullptr);
    }
    curl_multi_remove_handle(m, e);
    m_pBody = nullptr;
    if (resultat != ZOR_HTTP_OK) {
        body.clear();
        return resultat;
    }
    if (m_bAbort) {
        body.clear();
        return ZOR_HTTP_ARRET;
    }
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &m_iStatut);
    switch (code) {
    case CURLE_OK:
        break;
    case CURLE_WRITE_ERROR:
        resultat = m_bTropLong ? ZOR_HTTP_TROP_LONG : ZOR_HTTP_ARRET;
        break;
    case CURLE_OPERATION_TIMEDOUT:
        resultat = ZOR_HTTP_DELAI;
        break;
    case CURLE_COULDNT_CONNECT:
    case CURLE_INTERFACE_FAILED:
    case CURLE_COULDNT_RESOLVE_HOST:
        resultat = ZOR_HTTP_CONNEXION;
        break;
    case CURLE_URL_MALFORMAT:
        resultat = ZOR_HTTP_URL;
        break;
    default:
        resultat = ZOR_HTTP_ERREUR;
        break;
    }
    if (resultat == ZOR_HTTP_OK && m_iStatut >= 400)
        resultat = ZOR_HTTP_STATUT;
    if (resultat != ZOR_HTTP_OK)
        body.clear();
    return resultat;
}
