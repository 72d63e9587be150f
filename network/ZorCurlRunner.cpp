#include "network/ZorCurlRunner.h"

#include <curl/curl.h>

#include <mutex>

void ZorCurlRunner::InitGlobal()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_NOTHING); });
}

ZorCurlRunner::ZorCurlRunner()
{
    InitGlobal();
    m_pEasy = curl_easy_init();
    m_pMulti = curl_multi_init();
}

ZorCurlRunner::~ZorCurlRunner()
{
    if (m_pEasy)
        curl_easy_cleanup(static_cast<CURL*>(m_pEasy));
    if (m_pMulti)
        curl_multi_cleanup(static_cast<CURLM*>(m_pMulti));
}

void ZorCurlRunner::Abort()
{
    m_bAbort = true;
    if (m_pMulti)
        curl_multi_wakeup(static_cast<CURLM*>(m_pMulti)); // thread-safe by design
}

size_t ZorCurlRunner::Ecrire(char* data, size_t size, size_t nmemb, void* user)
{
    ZorCurlRunner* self = static_cast<ZorCurlRunner*>(user);
    const size_t n = size * nmemb;
    if (self->m_bAbort)
        return 0;
    if (self->m_pReponse->size() + n > self->m_iTailleMax) {
        self->m_bTropLong = true;
        return 0;
    }
    self->m_pReponse->append(data, n);
    return n;
}

ZorCurlRunner::Fin ZorCurlRunner::Executer(const Requete& requete, std::string& reponse)
{
    reponse.clear();
    m_iStatut = 0;
    m_bTropLong = false;
    if (m_bAbort)
        return Fin::ARRET;
    CURL* e = static_cast<CURL*>(m_pEasy);
    CURLM* m = static_cast<CURLM*>(m_pMulti);
    if (!e || !m)
        return Fin::ERREUR;

    const std::string zInterface = "host!" + requete.zIPLocal;
    curl_slist* entetes = nullptr;
    for (const std::string& z : requete.entetes)
        entetes = curl_slist_append(entetes, z.c_str());

    curl_easy_reset(e);
    curl_easy_setopt(e, CURLOPT_URL, requete.zURL.c_str());
    // The path goes out as built by the caller: no normalising, no encoding of our own.
    if (!requete.zCible.empty())
        curl_easy_setopt(e, CURLOPT_REQUEST_TARGET, requete.zCible.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http");
    if (requete.bHttp10)
        curl_easy_setopt(e, CURLOPT_HTTP_VERSION, (long)CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(e, CURLOPT_NOPROXY, "*"); // device traffic never goes through a proxy
    curl_easy_setopt(e, CURLOPT_PROXY, "");
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    if (requete.iConnexionMs > 0)
        curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, requete.iConnexionMs);
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, requete.iTotalMs);
    if (!requete.zIPLocal.empty())
        curl_easy_setopt(e, CURLOPT_INTERFACE, zInterface.c_str());
    if (requete.pCorps) {
        curl_easy_setopt(e, CURLOPT_POST, 1L);
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, requete.pCorps->data());
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(requete.pCorps->size()));
    }
    if (entetes)
        curl_easy_setopt(e, CURLOPT_HTTPHEADER, entetes);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &ZorCurlRunner::Ecrire);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
    m_pReponse = &reponse;

    CURLcode code = CURLE_OK;
    bool fini = false;
    Fin fin = Fin::OK;
    if (curl_multi_add_handle(m, e) != CURLM_OK) {
        fin = Fin::ERREUR;
    } else {
        while (!fini) {
            if (m_bAbort) {
                fin = Fin::ARRET;
                break;
            }
            int enCours = 0;
            if (curl_multi_perform(m, &enCours) != CURLM_OK) {
                fin = Fin::ERREUR;
                break;
            }
            int nMsg = 0;
            while (CURLMsg* msg = curl_multi_info_read(m, &nMsg)) {
                if (msg->msg == CURLMSG_DONE && msg->easy_handle == e) {
                    code = msg->data.result;
                    fini = true;
                }
            }
            if (!fini && enCours == 0) {
                fin = Fin::ERREUR; // the handle left without saying how it ended
                break;
            }
            // Bounded wait; Abort() wakes it at once.
            if (!fini)
                curl_multi_poll(m, nullptr, 0, 200, nullptr);
        }
        curl_multi_remove_handle(m, e);
    }
    m_pReponse = nullptr;
    // The options point at the header list: dropped from the handle before it is freed.
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(entetes);
    if (fin == Fin::OK && m_bAbort)
        fin = Fin::ARRET;
    if (fin == Fin::OK) {
        curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &m_iStatut);
        switch (code) {
        case CURLE_OK:
            break;
        case CURLE_WRITE_ERROR:
            fin = m_bTropLong ? Fin::TROP_LONG : Fin::ARRET;
            break;
        case CURLE_OPERATION_TIMEDOUT:
            fin = Fin::DELAI;
            break;
        case CURLE_COULDNT_CONNECT:
        case CURLE_INTERFACE_FAILED:
        case CURLE_COULDNT_RESOLVE_HOST:
            fin = Fin::CONNEXION;
            break;
        case CURLE_URL_MALFORMAT:
            fin = Fin::URL;
            break;
        default:
            fin = Fin::ERREUR;
            break;
        }
    }
    if (fin != Fin::OK)
        reponse.clear();
    return fin;
}
