#include "device/ZorPollerFlotte.h"

#include "network/ZorCurlRunner.h"
#include "infra/ZorClock.h"

#include <algorithm>
#include <chrono>

ZorDecisionFlotte ZorDeciderFlotte(ZorSuiviFlotte& s, bool bReponse, const std::string& zSignature,
                                   int iEchecsMax)
{
    using Dispo = ZorSuiviFlotte::Dispo;
    ZorDecisionFlotte d;
    if (bReponse) {
        s.iEchecs = 0;
        d.bDispoChange = s.dispo != Dispo::Oui;
        s.dispo = Dispo::Oui;
        d.bEtatChange = s.zSignature.empty() || s.zSignature != zSignature;
        s.zSignature = zSignature;
    } else {
        ++s.iEchecs;
        if (s.iEchecs >= std::max(1, iEchecsMax) && s.dispo != Dispo::Non) {
            d.bDispoChange = true;
            s.dispo = Dispo::Non;
            // Back online, its first state is news again, whatever it was before.
            s.zSignature.clear();
        }
    }
    d.bDisponible = s.dispo == Dispo::Oui;
    return d;
}

std::string ZorSignatureEtat(const ZorTavlinData& e)
{
    std::string z = std::to_string(e.m_iSNUM) + ',' + std::to_string(e.m_iENUM) + ',' +
                    std::to_string(e.m_iSRELAIS) + ',' + std::to_string(e.m_iSANA1) + ',' +
                    std::to_string(e.m_iSANA2) + ',' + std::to_string(e.m_iEANA1) + ',' +
                    std::to_string(e.m_iEANA2) + ',' + std::to_string(e.m_iEANA3) + ',' +
                    std::to_string(e.m_iEANA4) + ',' + std::to_string(e.m_iAUTO) + ',' +
                    (e.m_bBOUTON ? '1' : '0') + ',';
    z += e.m_zVERSION.utf8_str();
    return z;
}

ZorPollerFlotte::ZorPollerFlotte(ZorFlotteSink& sink, const ZorClock& horloge, const Reglages& r)
    : m_sink(sink), m_horloge(horloge), m_reglages(r)
{
    ZorCurlRunner::InitGlobal();
}

ZorPollerFlotte::~ZorPollerFlotte()
{
    Arreter();
}

void ZorPollerFlotte::SetCibles(const std::vector<ZorCibleFlotte>& cibles)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::map<wxString, Device> nouveaux;
    const int64_t iMaintenant = m_horloge.NowMs();
    size_t iNouveau = 0;
    const size_t nNouveaux = std::count_if(cibles.begin(), cibles.end(),
                                           [&](const auto& c) { return !m_devices.count(c.zMAC); });
    for (const ZorCibleFlotte& c : cibles) {
        auto it = m_devices.find(c.zMAC);
        if (it != m_devices.end() && it->second.cible.zIP == c.zIP &&
            it->second.cible.zIPLocal == c.zIPLocal) {
            nouveaux[c.zMAC] = std::move(it->second);
            continue;
        }
        Device d;
        if (it != m_devices.end()) {
            // Same device at a new address: its history stays, its requests go to the new one.
            d.suivi = it->second.suivi;
            d.iProchainMs = iMaintenant;
        } else {
            d.iProchainMs = iMaintenant + int64_t(m_reglages.iPeriodeMs) * int64_t(iNouveau++) /
                                              int64_t(std::max<size_t>(1, nNouveaux));
        }
        d.cible = {wxString(c.zMAC.wc_str()), wxString(c.zIP.wc_str()),
                   wxString(c.zIPLocal.wc_str())};
        d.iGeneration = ++m_iGeneration;
        nouveaux[d.cible.zMAC] = std::move(d);
    }
    m_devices.swap(nouveaux);
    m_cvGuetteur.notify_all();
}

void ZorPollerFlotte::Demarrer()
{
    if (!m_threads.empty())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = false;
    }
    const size_t n = size_t(std::max(1, m_reglages.iEnVolMax));
    m_http.clear();
    for (size_t i = 0; i < n; ++i) {
        m_http.push_back(std::make_unique<ZorHttpGet>());
        m_http.back()->SetDelais(m_reglages.iDelaiConnexionMs, m_reglages.iDelaiTotalMs);
    }
    for (size_t i = 0; i < n; ++i)
        m_threads.emplace_back([this, i] { Boucle(i); });
}

void ZorPollerFlotte::Arreter()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    m_cv.notify_all();
    m_cvGuetteur.notify_all();
    for (auto& p : m_http)
        p->Abort();
    for (auto& t : m_threads)
        t.join();
    m_threads.clear();
    m_http.clear();
}

uint64_t ZorPollerFlotte::NombrePolls() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_iPolls;
}

void ZorPollerFlotte::Boucle(size_t iThread)
{
    ZorHttpGet& http = *m_http[iThread];
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_bStop) {
        // The device most overdue that no other thread is asking.
        Device* pDu = nullptr;
        for (auto& kv : m_devices)
            if (!kv.second.bEnVol && (!pDu || kv.second.iProchainMs < pDu->iProchainMs))
                pDu = &kv.second;
        const int64_t iMaintenant = m_horloge.NowMs();
        if (!pDu || pDu->iProchainMs > iMaintenant) {
            // One thread waits for the next poll's time; the others sleep until it hands the
            // watch on, so a poll wakes one thread, not the whole pool. Bounded in real time so
            // a clock moved by hand is seen again soon.
            if (m_bGuetteur) {
                m_cv.wait_for(lock, std::chrono::milliseconds(100));
                continue;
            }
            m_bGuetteur = true;
            const int64_t iAttente =
                pDu ? std::min<int64_t>(pDu->iProchainMs - iMaintenant, 100) : 100;
            m_cvGuetteur.wait_for(lock, std::chrono::milliseconds(iAttente));
            m_bGuetteur = false;
            continue;
        }
        pDu->bEnVol = true;
        // Another thread takes the watch for the next poll.
        m_cv.notify_one();
        // The next poll is one period after this one was due, not after it ends: a slow
        // answer does not make the period drift. A device far behind starts afresh.
        pDu->iProchainMs = std::max(pDu->iProchainMs + m_reglages.iPeriodeMs, iMaintenant);
        const ZorCibleFlotte cible{wxString(pDu->cible.zMAC.wc_str()),
                                   wxString(pDu->cible.zIP.wc_str()),
                                   wxString(pDu->cible.zIPLocal.wc_str())};
        const uint64_t iGeneration = pDu->iGeneration;
        ZorEtatUART uart = pDu->uart;
        lock.unlock();

        std::string body;
        const ZorHttpGet::Resultat r =
            http.Get(wxT("http://") + cible.zIP + wxT("/etat.htm"), cible.zIPLocal, body);
        ZorTavlinData etat;
        bool bReponse = false;
        if (r == ZorHttpGet::ZOR_HTTP_OK && !body.empty()) {
            ZorParseEtat(ZorHttpGet::Texte(body), false, etat, uart);
            bReponse = etat.m_bValide;
        }

        lock.lock();
        ++m_iPolls;
        auto it = m_devices.find(cible.zMAC);
        if (m_bStop || r == ZorHttpGet::ZOR_HTTP_ARRET || it == m_devices.end() ||
            it->second.iGeneration != iGeneration) {
            if (it != m_devices.end() && it->second.iGeneration == iGeneration)
                it->second.bEnVol = false;
            continue;
        }
        Device& d = it->second;
        d.bEnVol = false;
        d.uart = uart;
        const ZorDecisionFlotte dec =
            ZorDeciderFlotte(d.suivi, bReponse, bReponse ? ZorSignatureEtat(etat) : std::string(),
                             m_reglages.iEchecsMax);
        if (!dec.bEtatChange && !dec.bDispoChange)
            continue;
        // The sink is told in order for each device: its lock is taken before ours is let go,
        // so a later poll of the same device cannot overtake this report.
        std::unique_lock<std::mutex> lockSink(m_mutexSink);
        lock.unlock();
        if (dec.bDispoChange && dec.bDisponible)
            m_sink.OnDisponibiliteFlotte(cible.zMAC, true);
        if (dec.bEtatChange)
            m_sink.OnEtatFlotte(cible.zMAC, etat);
        if (dec.bDispoChange && !dec.bDisponible)
            m_sink.OnDisponibiliteFlotte(cible.zMAC, false);
        lockSink.unlock();
        lock.lock();
    }
}
