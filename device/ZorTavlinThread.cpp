#include "device/ZorTavlinThread.h"

#include "device/ZorChoixRequete.h"
#include "device/ZorTavlinDelais.h"
#include "device/ZorTavlinObj.h"
#include "infra/ZorClock.h"

#include <wx/datetime.h>
#include <wx/log.h>
#include <wx/time.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

std::atomic<ZorTavlinThread*> gpZorTavlinThread{nullptr};

namespace {

// The worker's wake-up. Not a member: callers on any thread may signal while the main thread
// joins and deletes the worker; a static object outlives both (never destroyed, so it is still
// there for a stop run at process exit).
struct ZorReveil
{
    std::mutex mutex;
    std::condition_variable cv;
    bool bSignal = false;
};

ZorReveil& Reveil()
{
    static ZorReveil* p = new ZorReveil;
    return *p;
}

// The worker's hold of the library-wide lock, timed when the benchmarks ask for it.
class ZorVerrouWorker
{
public:
    ZorVerrouWorker() : m_lock(ZorGlobalLock())
    {
        if (ZorTavlinThread::Mesure().bActive)
            m_debut = std::chrono::steady_clock::now();
    }
    ~ZorVerrouWorker()
    {
        if (m_debut == std::chrono::steady_clock::time_point())
            return;
        ZorTavlinThread::MesureVerrou& m = ZorTavlinThread::Mesure();
        const int64_t ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                               std::chrono::steady_clock::now() - m_debut)
                               .count();
        m.iTotalNs += ns;
        ++m.iPrises;
        int64_t iMax = m.iMaxNs.load();
        while (ns > iMax && !m.iMaxNs.compare_exchange_weak(iMax, ns)) {
        }
    }
    ZorVerrouWorker(const ZorVerrouWorker&) = delete;
    ZorVerrouWorker& operator=(const ZorVerrouWorker&) = delete;

private:
    wxCriticalSectionLocker m_lock;
    std::chrono::steady_clock::time_point m_debut;
};

} // namespace

ZorTavlinThread::MesureVerrou& ZorTavlinThread::Mesure()
{
    static MesureVerrou* p = new MesureVerrou;
    return *p;
}

void ZorTavlinThread::MesureVerrou::Raz()
{
    iTotalNs = 0;
    iMaxNs = 0;
    iPrises = 0;
    iPolls = 0;
}

// ---------------------------------------------------------------------------------------------
// Queue and thread control, on the device manager.

bool ZorTavlinObj::PushCommande(const wxString& zQuery, const wxString& zIP,
                                const wxString& zIPLocal, bool bWait, const wxString& zPage)
{
    wxString zCible, zLocal;
    {
        wxCriticalSectionLocker lock(ZorGlobalLock());
        if (zIP.empty()) {
            zCible = wxString(m_zTheIP.wc_str());
            zLocal = wxString(m_zTheIPLocal.wc_str());
        } else {
            zCible = wxString(zIP.wc_str());
            zLocal = wxString(zIPLocal.wc_str());
        }
        if (zCible.empty())
            return false;
        // Commands go only to known devices. The registry changes on the main thread under this
        // same lock, so callers on other threads read it safely.
        bool bConnu = false;
        for (size_t i = 0; i < m_arrayTavlin.GetCount() && !bConnu; ++i)
            bConnu = m_arrayTavlin[i].m_zIP == zCible;
        if (!bConnu)
            return false;
    }
    const ZorClock& horloge = Clock();
    for (int iEssai = 0;;) {
        bool bMis = false;
        {
            wxCriticalSectionLocker lock(ZorGlobalLock());
            const size_t n = m_arrayCommande.GetCount();
            if (n <= 1 && (bWait || n == 0)) {
                m_arrayCommande.Insert(ZorTavlinCommande(zQuery, zCible, zLocal, zPage), 0);
                m_iDerniereCommande = horloge.NowMs();
                bMis = true;
            }
        }
        if (bMis) {
            // Sent at the worker's next pass, not after the rest of its pause.
            ZorTavlinThread::Reveiller();
            return true;
        }
        // A waiting caller looks again every 10 ms and gives up after 500 waits (about 5 s).
        if (bWait) {
            wxLogDebug(wxT("Blocage ----------------------- %d"), iEssai);
            horloge.SleepMs(ZorDelais::kAttenteFileMs);
        }
        if (!bWait || ++iEssai >= ZorDelais::kAttentesFileMax) {
            wxLogDebug(wxT("ZorTavlinObj::PushCommande Erreur-----------------------"));
            return false;
        }
    }
}

void ZorTavlinObj::LanceThread()
{
    if (gpZorTavlinThread.load())
        return; // one worker at a time
    // Built here, on the calling thread: its transfer object sets up the transfer library once.
    ZorTavlinThread* pThread = new ZorTavlinThread(*this);
    if (pThread->Create() != wxTHREAD_NO_ERROR) {
        delete pThread;
        return;
    }
    wxLogDebug(wxT("Creation ZorTavlinThread"));
    if (pThread->Run() != wxTHREAD_NO_ERROR) {
        delete pThread;
        return;
    }
    gpZorTavlinThread = pThread;
}

// A command queued just before the stop is still queued or on the wire, and ending the worker
// would drop or abort it although the call that gave it reported success. The worker first
// delivers such commands: the queue empties, then the answer to the last one is published.
// Bounded, and only when a command was queued within that bound.
void ZorTavlinObj::LivrerCommandes()
{
    const ZorClock& horloge = Clock();
    int64_t iDebut = 0;
    {
        wxCriticalSectionLocker lock(ZorGlobalLock());
        const int64_t iDerniere = m_iDerniereCommande;
        m_iDerniereCommande = 0;
        iDebut = horloge.NowMs();
        if (iDerniere == 0 || iDebut - iDerniere > ZorDelais::kLivraisonArretMs)
            return;
    }
    const auto bTempsRestant = [&] {
        return horloge.NowMs() - iDebut < ZorDelais::kLivraisonArretMs;
    };
    for (;;) {
        {
            wxCriticalSectionLocker lock(ZorGlobalLock());
            if (m_zTheIP.empty())
                return; // nowhere to deliver
            if (m_arrayCommande.IsEmpty())
                break;
        }
        if (!bTempsRestant())
            return;
        horloge.SleepMs(2);
    }
    // The worker took the last command: a state numbered beyond this one answers it (or a
    // later poll, which comes after it).
    uint64_t iSequence = 0;
    CommandesLivrees(&iSequence);
    while (GetSequenceEtat() <= iSequence && bTempsRestant())
        horloge.SleepMs(2);
}

// ---------------------------------------------------------------------------------------------
// Published states, on the device manager.

void ZorTavlinListener::OnTavlinEtat(uint64_t, const ZorTavlinData&)
{
    OnTavlinEvent(ZOR_EVT_TAVLIN_ETAT);
}

void ZorTavlinObj::GetEtat(ZorTavlinData& etat, uint64_t* piSequence)
{
    wxCriticalSectionLocker lock(ZorGlobalLock());
    etat.CopyFrom(m_etat);
    if (piSequence)
        *piSequence = m_iSequenceEtat;
}

uint64_t ZorTavlinObj::GetSequenceEtat()
{
    wxCriticalSectionLocker lock(ZorGlobalLock());
    return m_iSequenceEtat;
}

uint64_t ZorTavlinObj::DemanderEtatFrais(const wxString& zMAC, bool bWait)
{
    if (!zMAC.empty())
        SurveillerAddrMAC(zMAC);
    uint64_t iSequence = 0;
    {
        wxCriticalSectionLocker lock(ZorGlobalLock());
        // A fetch of the watched device already under way was asked before this call.
        const bool bEnVol = !m_zIPEtatEnVol.empty() && m_zIPEtatEnVol == m_zTheIP;
        iSequence = m_iSequenceEtat + (bEnVol ? 1 : 0);
    }
    AppelerPageEtat(bWait);
    return iSequence;
}

bool ZorTavlinObj::CommandesLivrees(uint64_t* piSequence)
{
    wxCriticalSectionLocker lock(ZorGlobalLock());
    if (!m_arrayCommande.IsEmpty())
        return false;
    // The last command was taken: its fetch is in flight or its state already published.
    if (piSequence)
        *piSequence = m_iSequenceEtat;
    return true;
}

size_t ZorTavlinObj::GetNombreCommandes() const
{
    wxCriticalSectionLocker lock(ZorGlobalLock());
    return m_arrayCommande.GetCount();
}

bool ZorTavlinObj::PrendreCommande(ZorTavlinCommande* pCommande)
{
    wxCriticalSectionLocker lock(ZorGlobalLock());
    if (m_arrayCommande.IsEmpty())
        return false;
    // Oldest last: commands are queued at the front.
    *pCommande = m_arrayCommande.Last();
    m_arrayCommande.RemoveAt(m_arrayCommande.GetCount() - 1);
    return true;
}

ZorChoixRequete ZorTavlinObj::ChoisirPasse(ZorChoixEntree e, int64_t iProchainPollMs,
                                           std::unique_ptr<ZorTavlinCommande>* pPrise,
                                           wxString* pzTheIP)
{
    ZorVerrouWorker lock;
    e.bUART = m_bModeUART;
    e.bAuto = m_bVerifierEtatAuto;
    e.pFile = m_arrayCommande.IsEmpty() ? nullptr : &m_arrayCommande.Last();
    e.zTheIP = m_zTheIP;
    e.zTheIPLocal = m_zTheIPLocal;
    e.iAttentePollMs =
        int(std::max<int64_t>(std::min<int64_t>(iProchainPollMs - Clock().NowMs(), 1 << 30), -1));
    ZorChoixRequete r = ZorChoisirRequete(e);
    if (r.bPrendFile)
        pPrise->reset(m_arrayCommande.Detach(m_arrayCommande.GetCount() - 1));
    *pzTheIP = e.zTheIP;
    // What DemanderEtatFrais must not count as fetched after its call.
    if (r.zCible.empty() || r.zCible != m_zTheIP)
        m_zIPEtatEnVol.clear();
    else
        m_zIPEtatEnVol = r.zCible;
    return r;
}

bool ZorTavlinObj::PublierEtat(const ZorTavlinData& etat, const wxString& zIP)
{
    uint64_t iSequence = 0;
    {
        ZorVerrouWorker lock;
        m_zIPEtatEnVol.clear();
        if (zIP != m_zTheIP)
            return false; // another device is watched since the fetch began
        m_etat.CopyFrom(etat);
        iSequence = ++m_iSequenceEtat;
        m_bNewEtat = true;
    }
    auto pCopie = std::make_shared<const ZorTavlinData>(etat);
    bool bPremier = false;
    {
        std::lock_guard<std::mutex> lock(m_mutexEtats);
        bPremier = m_etatsEnAttente.empty();
        if (m_etatsEnAttente.size() >= kEtatsEnAttenteMax)
            m_etatsEnAttente.pop_front();
        m_etatsEnAttente.emplace_back(iSequence, std::move(pCopie));
    }
    // One call queued for a run of states: the main thread takes them all in order.
    if (bPremier)
        CallAfter(&ZorTavlinObj::LivrerEtats);
    return true;
}

void ZorTavlinObj::LivrerEtats()
{
    for (;;) {
        std::pair<uint64_t, std::shared_ptr<const ZorTavlinData>> e;
        {
            std::lock_guard<std::mutex> lock(m_mutexEtats);
            if (m_etatsEnAttente.empty())
                return;
            e = std::move(m_etatsEnAttente.front());
            m_etatsEnAttente.pop_front();
        }
        Prevenir([&e](ZorTavlinListener& l) { l.OnTavlinEtat(e.first, *e.second); });
    }
}

void ZorTavlinObj::ArretThread()
{
    ZorTavlinThread* pThread = gpZorTavlinThread.load();
    if (!pThread)
        return;
    LivrerCommandes();
    pThread->StopThread();
    // The transfer in progress is aborted at once and every wait of the loop is short, so the
    // worker ends within milliseconds; 2 s is the bound, not the expected time. Real time: a
    // test's manual clock must not make it kill a worker that is ending.
    bool bFini = false;
    for (int i = 0; i < ZorDelais::kFinWorkerMs / 10 && !(bFini = pThread->IsFini()); ++i)
        wxMilliSleep(10);
    if (bFini) {
        // Joined, not detached: nothing of the thread runs any more once Stop returns, so the
        // host may unload the library or end the toolkit right after.
        pThread->Wait();
        wxLogDebug(wxT("ZorTavlinObj::ArretThread normal -------------------------"));
    } else {
        wxLogDebug(wxT("ZorTavlinObj::ArretThread killed -------------------------"));
        pThread->Kill();
    }
    {
        wxCriticalSectionLocker lock(ZorGlobalLock());
        gpZorTavlinThread = nullptr;
    }
    delete pThread;
}

// ---------------------------------------------------------------------------------------------
// The worker.

ZorTavlinThread::ZorTavlinThread(ZorTavlinObj& obj)
    : wxThread(wxTHREAD_JOINABLE), m_obj(obj), m_bStop(false), m_bFini(false)
{}

ZorTavlinThread::~ZorTavlinThread()
{
    wxLogDebug(wxT("Destruction ZorTavlinThread"));
}

void ZorTavlinThread::StopThread()
{
    wxLogDebug(wxT("ZorTavlinThread::StopThread"));
    m_bStop = true;
    m_http.Abort();
    Reveiller();
}

void ZorTavlinThread::Reveiller()
{
    ZorReveil& r = Reveil();
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        r.bSignal = true;
    }
    r.cv.notify_all();
}

bool ZorTavlinThread::PauseJusqua(std::chrono::steady_clock::time_point fin)
{
    ZorReveil& r = Reveil();
    std::unique_lock<std::mutex> lock(r.mutex);
    const bool bReveille = r.cv.wait_until(lock, fin, [&] { return r.bSignal; });
    r.bSignal = false;
    return bReveille;
}

bool ZorTavlinThread::Pause(int iMs)
{
    return PauseJusqua(std::chrono::steady_clock::now() + std::chrono::milliseconds(iMs));
}

wxString ZorTavlinThread::DateTimeQuery(const wxDateTime& moment)
{
    if (!moment.IsValid() || wxDateTime::GetCentury(moment.GetYear()) >= 21)
        return wxString();
    return wxString::Format(wxT("&DATETIME=%d;%d;%d;%d;%d;%d;"), moment.GetDay(),
                            int(moment.GetMonth()) + 1, moment.GetYear() - 2000, moment.GetHour(),
                            moment.GetMinute(), moment.GetSecond());
}

wxString ZorTavlinThread::DateSuffix(wxLongLong iMs)
{
    return wxString::Format(wxT("?date=%X%X"), unsigned(iMs.GetHi()), unsigned(iMs.GetLo()));
}

int ZorTavlinThread::GetPage(const wxString& zIPLocal, const wxString& zIP, const wxString& zPage,
                             wxString* pzReply)
{
    if (!pzReply || zPage.empty())
        return ZOR_PAGE_ARGUMENT;
    if (!FetchUrl(zIPLocal, wxT("http://") + zIP + wxT("/") + zPage, pzReply))
        return ZOR_PAGE_ECHEC;
    if (pzReply->empty()) {
        wxLogDebug(wxT("Buffer vide\n"));
        return ZOR_PAGE_VIDE;
    }
    return ZOR_PAGE_OK;
}

bool ZorTavlinThread::FetchUrl(const wxString& zIPLocal, const wxString& zURL, wxString* pzReply)
{
    pzReply->clear();
    if (m_bStop)
        return false;
    std::string body;
    ZorHttpGet::Resultat r = m_http.Get(zURL, zIPLocal, body);
    if (r != ZorHttpGet::ZOR_HTTP_OK) {
        wxLogDebug(wxT("ZorTavlinThread::FetchUrl %s : %d"), zURL, int(r));
        return false;
    }
    *pzReply = ZorHttpGet::Texte(body);
    return true;
}

void ZorTavlinThread::Parse(ZorTavlinObj& obj, const wxString& zReply, const wxString& zIP)
{
    ++Mesure().iPolls;
    // Parsed into the worker's own copy without the lock, then published under it.
    if (ZorParseEtat(zReply, obj.IsModeUART(), m_data, m_uart))
        m_zIPDateTime = zIP;
    obj.PublierEtat(m_data, zIP);
}

wxThread::ExitCode ZorTavlinThread::Entry()
{
    wxLogNull pasDeLog;               // nothing of the transfers reaches the host's log
    ZorTavlinObj* pObj = &m_obj;
    if (!pObj) {
        m_bFini = true;
        return 0;
    }
    const ZorClock& horloge = pObj->Clock();
    const int64_t iEspacement = pObj->GetDefaultTimeSurveillanceMs();
    // Start of the last fetch: the next poll starts once the spacing has passed since then.
    int64_t iDernierDebut = horloge.NowMs() - iEspacement;
    m_uart.Reset();
    m_zIPDateTime.clear();

    while (!m_bStop) {
        // A pass lasts at least its pause: the fetch's own time counts towards it, so back to
        // back polls come once a millisecond, not a millisecond after each transfer.
        const auto debutPasse = std::chrono::steady_clock::now();
        ZorChoixRequete r;
        wxString zTheIP;
        ZorChoixEntree e;
        // The clock read and its text are made before the lock is taken.
        e.zDate = DateSuffix(wxGetLocalTimeMillis());
        std::unique_ptr<ZorTavlinCommande> pPrise; // freed, or kept, after the lock
        e.pTenue = m_uart.m_bCommandeUART ? &m_commandeTenue : nullptr;
        r = pObj->ChoisirPasse(e, iDernierDebut + iEspacement, &pPrise, &zTheIP);
        if (pPrise && r.genre == ZorChoixRequete::ZOR_TENIR) {
            m_commandeTenue = *pPrise;
            m_uart.m_bCommandeUART = true;
        }
        if (r.bEtapeUART) {
            r.zChemin += ZorEtatRequeteUART(m_uart, m_commandeTenue.m_zQuery);
            if (!m_zIPDateTime.empty() && m_zIPDateTime == r.zCible) {
                r.zChemin += DateTimeQuery(wxDateTime::Now());
                m_zIPDateTime.clear();
            }
        }
        if (!r.zCible.empty() && !m_bStop) {
            iDernierDebut = horloge.NowMs();
            wxString zReply;
            // Only the monitored device's replies are parsed and published.
            if (GetPage(r.zLocal, r.zCible, r.zChemin, &zReply) == ZOR_PAGE_OK && !m_bStop &&
                r.zCible == zTheIP)
                Parse(*pObj, zReply, r.zCible);
        }
        // Ends early when a command is queued; the next pass takes it before any poll.
        PauseJusqua(debutPasse + std::chrono::milliseconds(r.iPauseMs));
    }
    wxLogDebug(wxT("ZorTavlinThread Entry Fin-------------------------------"));
    m_bFini = true;
    return 0;
}
