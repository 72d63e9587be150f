#include "network/ZorCurlRunner.h"

#include <curl/curl.h>

#include <algorithm>
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

namespace {

size_t Ecrire(char* data, size_t size, size_t nmemb, void* user)
{
    ZorCurlReception* r = static_cast<ZorCurlReception*>(user);
    const size_t n = size * nmemb;
    if (r->pAbort && *r->pAbort)
        return 0;
    if (r->pReponse->size() + n > r->iTailleMax) {
        r->bTropLong = true;
        return 0;
    }
    r->pReponse->append(data, n);
    return n;
}

} // namespace

void* ZorCurlRunner::Preparer(void* pEasy, const Requete& requete, ZorCurlReception& r)
{
    CURL* e = static_cast<CURL*>(pEasy);
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
    if (!requete.zIPLocal.empty()) // copied by libcurl, like every string option
        curl_easy_setopt(e, CURLOPT_INTERFACE, ("host!" + requete.zIPLocal).c_str());
    if (requete.pCorps) {
        curl_easy_setopt(e, CURLOPT_POST, 1L);
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, requete.pCorps->data());
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(requete.pCorps->size()));
    }
    if (entetes)
        curl_easy_setopt(e, CURLOPT_HTTPHEADER, entetes);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Ecrire);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &r);
    r.pReponse->clear();
    r.bTropLong = false;
    return entetes;
}

ZorCurlRunner::Fin ZorCurlRunner::FinDe(int iCode, const ZorCurlReception& r)
{
    switch (CURLcode(iCode)) {
    case CURLE_OK:
        return Fin::OK;
    case CURLE_WRITE_ERROR:
        return r.bTropLong ? Fin::TROP_LONG : Fin::ARRET;
    case CURLE_OPERATION_TIMEDOUT:
        return Fin::DELAI;
    case CURLE_COULDNT_CONNECT:
    case CURLE_INTERFACE_FAILED:
    case CURLE_COULDNT_RESOLVE_HOST:
        return Fin::CONNEXION;
    case CURLE_URL_MALFORMAT:
        return Fin::URL;
    default:
        return Fin::ERREUR;
    }
}

ZorCurlRunner::Fin ZorCurlRunner::Executer(const Requete& requete, std::string& reponse)
{
    reponse.clear();
    m_iStatut = 0;
    if (m_bAbort)
        return Fin::ARRET;
    CURL* e = static_cast<CURL*>(m_pEasy);
    CURLM* m = static_cast<CURLM*>(m_pMulti);
    if (!e || !m)
        return Fin::ERREUR;

    ZorCurlReception reception;
    reception.pReponse = &reponse;
    reception.iTailleMax = m_iTailleMax;
    reception.pAbort = &m_bAbort;
    curl_slist* entetes = static_cast<curl_slist*>(Preparer(e, requete, reception));

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
    // The options point at the header list: dropped from the handle before it is freed.
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(entetes);
    if (fin == Fin::OK && m_bAbort)
        fin = Fin::ARRET;
    if (fin == Fin::OK) {
        curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &m_iStatut);
        fin = FinDe(code, reception);
    }
    if (fin != Fin::OK)
        reponse.clear();
    return fin;
}

struct ZorCurlMulti::Slot
{
    CURL* pEasy = nullptr;
    curl_slist* pEntetes = nullptr;
    std::string reponse;
    ZorCurlReception reception;
    uint64_t iJeton = 0;
    bool bEnVol = false;
};

ZorCurlMulti::ZorCurlMulti(size_t nSlots, size_t iTailleMax)
{
    ZorCurlRunner::InitGlobal();
    m_pMulti = curl_multi_init();
    for (size_t i = 0; i < std::max<size_t>(1, nSlots); ++i) {
        std::unique_ptr<Slot> s(new Slot);
        s->pEasy = curl_easy_init();
        s->reponse.reserve(4096); // a state page fits: no allocation per exchange
        s->reception.pReponse = &s->reponse;
        s->reception.iTailleMax = iTailleMax;
        s->reception.pAbort = &m_bJamaisArret;
        m_slots.push_back(std::move(s));
    }
}

ZorCurlMulti::~ZorCurlMulti()
{
    Annuler();
    for (auto& s : m_slots)
        if (s->pEasy)
            curl_easy_cleanup(s->pEasy);
    if (m_pMulti)
        curl_multi_cleanup(static_cast<CURLM*>(m_pMulti));
}

void ZorCurlMulti::Liberer(Slot& s)
{
    curl_multi_remove_handle(static_cast<CURLM*>(m_pMulti), s.pEasy);
    curl_easy_setopt(s.pEasy, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(s.pEntetes);
    s.pEntetes = nullptr;
    s.bEnVol = false;
    --m_nEnVol;
}

bool ZorCurlMulti::Lancer(const ZorCurlRunner::Requete& requete, uint64_t iJeton)
{
    if (!m_pMulti)
        return false;
    for (auto& p : m_slots) {
        Slot& s = *p;
        if (s.bEnVol || !s.pEasy)
            continue;
        s.pEntetes =
            static_cast<curl_slist*>(ZorCurlRunner::Preparer(s.pEasy, requete, s.reception));
        curl_easy_setopt(s.pEasy, CURLOPT_PRIVATE, &s);
        if (curl_multi_add_handle(static_cast<CURLM*>(m_pMulti), s.pEasy) != CURLM_OK) {
            curl_easy_setopt(s.pEasy, CURLOPT_HTTPHEADER, nullptr);
            curl_slist_free_all(s.pEntetes);
            s.pEntetes = nullptr;
            return false;
        }
        s.iJeton = iJeton;
        s.bEnVol = true;
        m_bLance = true;
        ++m_nEnVol;
        return true;
    }
    return false;
}

void ZorCurlMulti::Avancer(int iAttenteMs, const std::function<void(const Fini&)>& fini)
{
    CURLM* m = static_cast<CURLM*>(m_pMulti);
    if (!m)
        return;
    int enCours = 0;
    // Exchanges started since the last call get their connect now; otherwise every handle is
    // where the last call left it, and a pass over them would only repeat libcurl's checks.
    if (m_bLance)
        curl_multi_perform(m, &enCours);
    m_bLance = false;
    // libcurl shortens the wait to its own next time-out.
    curl_multi_poll(m, nullptr, 0, std::max(0, iAttenteMs), nullptr);
    curl_multi_perform(m, &enCours);
    int nMsg = 0;
    while (CURLMsg* msg = curl_multi_info_read(m, &nMsg)) {
        if (msg->msg != CURLMSG_DONE)
            continue;
        Slot* s = nullptr;
        curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, reinterpret_cast<char**>(&s));
        if (!s || !s->bEnVol)
            continue;
        long iStatut = 0;
        const ZorCurlRunner::Fin fin = ZorCurlRunner::FinDe(msg->data.result, s->reception);
        if (fin == ZorCurlRunner::Fin::OK)
            curl_easy_getinfo(s->pEasy, CURLINFO_RESPONSE_CODE, &iStatut);
        else
            s->reponse.clear();
        // Freed before the call, so the callback may start the next exchange in this slot.
        const uint64_t iJeton = s->iJeton;
        Liberer(*s);
        fini(Fini{iJeton, fin, iStatut, s->reponse});
    }
}

void ZorCurlMulti::Reveiller()
{
    if (m_pMulti)
        curl_multi_wakeup(static_cast<CURLM*>(m_pMulti)); // thread-safe by design
}

void ZorCurlMulti::Annuler()
{
    for (auto& s : m_slots)
        if (s->bEnVol)
            Liberer(*s);
}
