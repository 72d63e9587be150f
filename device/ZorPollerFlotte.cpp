#include "device/ZorPollerFlotte.h"

#include "device/ZorHttpGet.h"
#include "infra/ZorClock.h"

#include <algorithm>
#include <functional>

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

ZorPlanFlotte::ZorPlanFlotte(int iPeriodeMs, int iEnVolMax)
    : m_iPeriodeMs(std::max(1, iPeriodeMs)), m_nEnVolMax(size_t(std::max(1, iEnVolMax)))
{}

void ZorPlanFlotte::Ajouter(uint64_t iId, int64_t iDuMs)
{
    Etat& e = m_etats[iId];
    e = Etat();
    e.iDuMs = iDuMs;
    m_file.push_back({iDuMs, iId});
    std::push_heap(m_file.begin(), m_file.end(), std::greater<Entree>());
}

void ZorPlanFlotte::Retirer(uint64_t iId)
{
    auto it = m_etats.find(iId);
    if (it == m_etats.end())
        return;
    if (it->second.bEnVol)
        it->second.bRetire = true;
    else
        m_etats.erase(it);
    Nettoyer();
}

bool ZorPlanFlotte::Valide(const Entree& e) const
{
    auto it = m_etats.find(e.iId);
    return it != m_etats.end() && !it->second.bEnVol && !it->second.bRetire &&
           it->second.iDuMs == e.iDuMs;
}

void ZorPlanFlotte::Nettoyer()
{
    // Entries of devices that left are skipped when they come up; rebuilt only when they
    // outnumber the living, so a registry that churns does not grow the file.
    if (m_file.size() <= 2 * m_etats.size() + 16)
        return;
    m_file.clear();
    for (const auto& kv : m_etats)
        if (!kv.second.bEnVol && !kv.second.bRetire)
            m_file.push_back({kv.second.iDuMs, kv.first});
    std::make_heap(m_file.begin(), m_file.end(), std::greater<Entree>());
}

int64_t ZorPlanFlotte::Attente(int64_t iMaintenant)
{
    while (!m_file.empty() && !Valide(m_file.front())) {
        std::pop_heap(m_file.begin(), m_file.end(), std::greater<Entree>());
        m_file.pop_back();
    }
    return m_file.empty() ? -1 : std::max<int64_t>(0, m_file.front().iDuMs - iMaintenant);
}

bool ZorPlanFlotte::Suivant(int64_t iMaintenant, uint64_t* piId)
{
    if (m_nEnVol >= m_nEnVolMax || Attente(iMaintenant) != 0)
        return false;
    const uint64_t iId = m_file.front().iId;
    std::pop_heap(m_file.begin(), m_file.end(), std::greater<Entree>());
    m_file.pop_back();
    Etat& e = m_etats[iId];
    e.bEnVol = true;
    e.iDepartMs = iMaintenant;
    ++m_nEnVol;
    *piId = iId;
    return true;
}

bool ZorPlanFlotte::Fini(uint64_t iId, int64_t iMaintenant)
{
    auto it = m_etats.find(iId);
    if (it == m_etats.end() || !it->second.bEnVol)
        return false;
    Etat& e = it->second;
    e.bEnVol = false;
    --m_nEnVol;
    if (e.bRetire) {
        m_etats.erase(it);
        return false;
    }
    // One period after it was due, not after the reply: a slow answer does not make the phase
    // drift; the times missed while the slots were busy are skipped, not made up in a burst.
    int64_t iDu = e.iDuMs + m_iPeriodeMs;
    if (iDu <= e.iDepartMs)
        iDu += ((e.iDepartMs - iDu) / m_iPeriodeMs + 1) * m_iPeriodeMs;
    e.iDuMs = std::max(iDu, iMaintenant);
    m_file.push_back({e.iDuMs, iId});
    std::push_heap(m_file.begin(), m_file.end(), std::greater<Entree>());
    return true;
}

void ZorPlanFlotte::Interrompre(int64_t iMaintenant)
{
    std::vector<uint64_t> ids;
    for (const auto& kv : m_etats)
        if (kv.second.bEnVol)
            ids.push_back(kv.first);
    for (uint64_t iId : ids)
        Fini(iId, iMaintenant);
}

namespace {
// The longest wait without looking at the clock again: a clock moved by hand is seen soon.
constexpr int kAttenteMaxMs = 100;
// Devices due within this much of the one that woke the thread are asked with it: one wake-up
// for several polls, and none of them later than its time.
constexpr int kGroupeMs = 10;
// New devices' phases are spread over the period on a grid of this step, so that the devices of
// one step are due at the same time and cost one wake-up of the thread: a wake-up (a context
// switch, dearer on a virtual machine than the poll itself) for every 2 or 3 polls of 250
// devices was about a fifth of the bridge's CPU. On a grid, each device is still asked once a period
// exactly, never early (asking each device up to a step early would do as much for the CPU, but
// the time between two polls of one device would then vary by that step, and so would the
// latency of its changes). A quarter of the period at most.
constexpr int kPasPhaseMs = 50;
int PasPhaseMs(int iPeriodeMs)
{
    return std::max(1, std::min(kPasPhaseMs, iPeriodeMs / 4));
}
} // namespace

ZorPollerFlotte::ZorPollerFlotte(ZorFlotteSink& sink, const ZorClock& horloge, const Reglages& r)
    : m_sink(sink), m_horloge(horloge), m_reglages(r), m_plan(r.iPeriodeMs, r.iEnVolMax)
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
    std::map<wxString, uint64_t> ids;
    const int64_t iMaintenant = m_horloge.NowMs();
    size_t iNouveau = 0;
    const int64_t iPas = PasPhaseMs(m_reglages.iPeriodeMs);
    const size_t nNouveaux = std::count_if(cibles.begin(), cibles.end(),
                                           [&](const auto& c) { return !m_ids.count(c.zMAC); });
    for (const ZorCibleFlotte& c : cibles) {
        auto it = m_ids.find(c.zMAC);
        const Device* pAvant = nullptr;
        if (it != m_ids.end()) {
            pAvant = &m_devices[it->second];
            if (pAvant->cible.zIP == c.zIP && pAvant->cible.zIPLocal == c.zIPLocal) {
                ids[c.zMAC] = it->second;
                continue;
            }
        }
        Device d;
        int64_t iDu = iMaintenant;
        if (pAvant) // same device at a new address: its history stays, it is asked there at once
            d.suivi = pAvant->suivi;
        else // new devices spread over one period, so they are not all asked at once
            iDu += int64_t(m_reglages.iPeriodeMs) * int64_t(iNouveau++) /
                   int64_t(std::max<size_t>(1, nNouveaux)) / iPas * iPas;
        // Deep copies: the caller's strings may share buffers with its own thread's.
        d.cible = {wxString(c.zMAC.wc_str()), wxString(c.zIP.wc_str()),
                   wxString(c.zIPLocal.wc_str())};
        // A refused address leaves the URL empty: every poll of it then misses.
        ZorHttpGet::Requete(wxT("http://") + d.cible.zIP + wxT("/etat.htm"), d.cible.zIPLocal,
                            m_reglages.iDelaiConnexionMs, m_reglages.iDelaiTotalMs, &d.requete);
        d.iId = ++m_iProchainId;
        m_plan.Ajouter(d.iId, iDu);
        ids[d.cible.zMAC] = d.iId;
        m_devices[d.iId] = std::move(d);
    }
    for (const auto& kv : m_ids) {
        auto it = ids.find(kv.first);
        if (it == ids.end() || it->second != kv.second) {
            m_plan.Retirer(kv.second);
            m_devices.erase(kv.second);
        }
    }
    m_ids.swap(ids);
    if (m_multi)
        m_multi->Reveiller();
}

void ZorPollerFlotte::Demarrer()
{
    if (m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = false;
    }
    m_multi.reset(new ZorCurlMulti(size_t(std::max(1, m_reglages.iEnVolMax))));
    m_thread = std::thread([this] { Boucle(); });
}

void ZorPollerFlotte::Arreter()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    if (m_multi)
        m_multi->Reveiller();
    if (m_thread.joinable())
        m_thread.join();
    m_multi.reset();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_plan.Interrompre(m_horloge.NowMs());
}

uint64_t ZorPollerFlotte::NombrePolls() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_iPolls;
}

void ZorPollerFlotte::Boucle()
{
    std::vector<uint64_t> rates; // requests libcurl would not start: misses
    const std::string vide;
    const auto fini = [this](const ZorCurlMulti::Fini& f) {
        Traiter(f.iJeton, ZorHttpGet::Juger(f.fin, f.iStatut) == ZorHttpGet::ZOR_HTTP_OK,
                f.reponse);
    };
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_bStop) {
        const int64_t iMaintenant = m_horloge.NowMs();
        uint64_t iId = 0;
        while (m_plan.Suivant(iMaintenant + kGroupeMs, &iId)) {
            auto it = m_devices.find(iId);
            if (it == m_devices.end() || !m_multi->Lancer(it->second.requete, iId))
                rates.push_back(iId);
        }
        const int64_t iAttente = m_plan.Attente(iMaintenant);
        const int iMs = iAttente < 0 || m_multi->EnVol() >= m_multi->Slots()
                            ? kAttenteMaxMs
                            : int(std::min<int64_t>(iAttente, kAttenteMaxMs));
        lock.unlock();
        for (uint64_t i : rates)
            Traiter(i, false, vide);
        rates.clear();
        // Returns on a socket's activity, a time-out of libcurl's, the next due time, or a
        // wake-up (new targets, stop); each reply is told to the sink from inside.
        m_multi->Avancer(iMs, fini);
        lock.lock();
    }
}

void ZorPollerFlotte::Traiter(uint64_t iId, bool bReponse, const std::string& body)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_iPolls;
    if (!m_plan.Fini(iId, m_horloge.NowMs()) || m_bStop)
        return;
    auto it = m_devices.find(iId);
    if (it == m_devices.end())
        return;
    Device& d = it->second;
    ZorTavlinData etat;
    bool bValide = false;
    if (bReponse && !body.empty()) {
        ZorParseEtat(ZorHttpGet::Texte(body), false, etat, d.uart);
        bValide = etat.m_bValide;
    }
    const ZorDecisionFlotte dec = ZorDeciderFlotte(
        d.suivi, bValide, bValide ? ZorSignatureEtat(etat) : std::string(), m_reglages.iEchecsMax);
    if (!dec.bEtatChange && !dec.bDispoChange)
        return;
    const wxString zMAC(d.cible.zMAC.wc_str());
    // Told at once, from this one thread: reports of one device stay in order.
    lock.unlock();
    if (dec.bDispoChange && dec.bDisponible)
        m_sink.OnDisponibiliteFlotte(zMAC, true);
    if (dec.bEtatChange)
        m_sink.OnEtatFlotte(zMAC, etat);
    if (dec.bDispoChange && !dec.bDisponible)
        m_sink.OnDisponibiliteFlotte(zMAC, false);
}
