#include "device/ZorTavlinThread.h"

#include "device/ZorTavlinObj.h"

#include <wx/datetime.h>
#include <wx/log.h>
#include <wx/time.h>

#include <chrono>
#include <condition_variable>
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

} // namespace

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
    for (int iEssai = 0;;) {
        bool bMis = false;
        {
            wxCriticalSectionLocker lock(ZorGlobalLock());
            const size_t n = m_arrayCommande.GetCount();
            if (n <= 1 && (bWait || n == 0)) {
                m_arrayCommande.Insert(ZorTavlinCommande(zQuery, zCible, zLocal, zPage), 0);
                m_iDerniereCommande = wxGetLocalTimeMillis();
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
            wxMilliSleep(10);
        }
        if (!bWait || ++iEssai >= 500) {
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
    ZorTavlinThread* pThread = new ZorTavlinThread();
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
    const long kDelaiLivraisonMs = 1000;
    {
        wxCriticalSectionLocker lock(ZorGlobalLock());
        const wxLongLong iDerniere = m_iDerniereCommande;
        m_iDerniereCommande = 0;
        if (iDerniere == 0 ||
            wxGetLocalTimeMillis() - iDerniere > wxLongLong(kDelaiLivraisonMs))
            return;
    }
    wxStopWatch chrono;
    for (;;) {
        {
            wxCriticalSectionLocker lock(ZorGlobalLock());
            if (m_zTheIP.empty())
                return; // nowhere to deliver
            if (m_arrayCommande.IsEmpty())
                break;
        }
        if (chrono.Time() >= kDelaiLivraisonMs)
            return;
        wxMilliSleep(2);
    }
    // The worker took the last command: the next state it publishes answers it (or a later
    // poll, which comes after it).
    RazNewEtat();
    while (!IsNewEtat() && chrono.Time() < kDelaiLivraisonMs)
        wxMilliSleep(2);
}

void ZorTavlinObj::ArretThread()
{
    ZorTavlinThread* pThread = gpZorTavlinThread.load();
    if (!pThread)
        return;
    LivrerCommandes();
    pThread->StopThread();
    // The transfer in progress is aborted at once and every wait of the loop is short, so the
    // worker ends within milliseconds; 2 s is the bound, not the expected time.
    bool bFini = false;
    for (int i = 0; i < 200 && !(bFini = pThread->IsFini()); ++i)
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

ZorTavlinThread::ZorTavlinThread() : wxThread(wxTHREAD_JOINABLE), m_bStop(false), m_bFini(false)
{
}

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

void ZorTavlinThread::Pause(int iMs)
{
    ZorReveil& r = Reveil();
    std::unique_lock<std::mutex> lock(r.mutex);
    r.cv.wait_for(lock, std::chrono::milliseconds(iMs), [&] { return r.bSignal; });
    r.bSignal = false;
}

wxString ZorTavlinThread::DateTimeQuery(const wxDateTime& moment)
{
    if (!moment.IsValid() || wxDateTime::GetCentury(moment.GetYear()) >= 21)
        return wxString();
    return wxString::Format(wxT("&DATETIME=%d;%d;%d;%d;%d;%d;"), moment.GetDay(),
                            int(moment.GetMonth()) + 1, moment.GetYear() - 2000,
                            moment.GetHour(), moment.GetMinute(), moment.GetSecond());
}

wxString ZorTavlinThread::DateSuffix(wxLongLong iMs)
{
    return wxString::Format(wxT("?date=%X%X"), unsigned(iMs.GetHi()), unsigned(iMs.GetLo()));
}

void ZorTavlinThread::NextRequest(wxString& zPage, wxString& zQuery, wxString& zIP,
                                  wxString& zIPLocal, wxString& zTheIP, wxString& zTheIPLocal)
{
    wxCriticalSectionLocker lock(ZorGlobalLock());
    ZorTavlinObj* pObj = gpTheTavlin;
    if (pObj && !pObj->m_arrayCommande.IsEmpty()) {
        size_t last = pObj->m_arrayCommande.GetCount() - 1;
        ZorTavlinCommande* pCmd = pObj->m_arrayCommande.Detach(last);
        zPage = wxString(pCmd->m_zPage.wc_str());
        zQuery = wxString(pCmd->m_zQuery.wc_str());
        zIP = wxString(pCmd->m_zIP.wc_str());
        zIPLocal = wxString(pCmd->m_zIPLocal.wc_str());
        delete pCmd;
    } else {
        zPage = wxT("etat.htm");
        zQuery.clear();
        zIP.clear();
        zIPLocal.clear();
    }
    if (pObj) {
        zTheIP = wxString(pObj->m_zTheIP.wc_str());
        zTheIPLocal = wxString(pObj->m_zTheIPLocal.wc_str());
    } else {
        zTheIP.clear();
        zTheIPLocal.clear();
    }
}

int ZorTavlinThread::GetPage(const wxString& zIPLocal, const wxString& zIP,
                             const wxString& zPage, wxString* pzReply)
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

void ZorTavlinThread::Parse(const wxString& zReply, const wxString& zIP)
{
    wxCriticalSectionLocker lock(ZorGlobalLock());
    ZorTavlinObj* pObj = gpTheTavlin;
    bool bUART = pObj && pObj->m_bModeUART;
    if (ZorParseEtat(zReply, bUART, m_data, m_uart))
        m_zIPDateTime = wxString(zIP.wc_str());
    if (pObj) {
        pObj->m_etat.CopyFrom(m_data);
        pObj->m_bNewEtat = true;
    }
}

wxThread::ExitCode ZorTavlinThread::Entry()
{
    wxLogNull pasDeLog; // nothing of the transfers reaches the host's log
    int iEspacement = 0;
    {
        wxCriticalSectionLocker lock(ZorGlobalLock());
        if (gpTheTavlin)
            iEspacement = gpTheTavlin->GetDefaultTimeSurveillanceMs();
    }
    wxStopWatch chrono;
    m_uart.Reset();
    m_zIPDateTime.clear();
    wxString zTheIP, zTheIPLocal;

    while (!m_bStop) {
        int iPause = 10;
        bool bUART = false, bAuto = false;
        {
            wxCriticalSectionLocker lock(ZorGlobalLock());
            if (gpTheTavlin) {
                bUART = gpTheTavlin->m_bModeUART;
                bAuto = gpTheTavlin->m_bVerifierEtatAuto;
            }
        }
        wxString zChemin, zCible, zLocal;

        if (bUART && m_uart.m_bCommandeUART) {
            // A held command: each exchange step starts again from the command's page, so the
            // path carries only the current step's parameter.
            {
                wxCriticalSectionLocker lock(ZorGlobalLock());
                if (gpTheTavlin) {
                    zTheIP = wxString(gpTheTavlin->m_zTheIP.wc_str());
                    zTheIPLocal = wxString(gpTheTavlin->m_zTheIPLocal.wc_str());
                }
            }
            zChemin = m_commandeTenue.m_zPage + DateSuffix(wxGetLocalTimeMillis());
            zCible = m_commandeTenue.m_zIP;
            zLocal = m_commandeTenue.m_zIPLocal;
            iPause = 1;
        } else {
            wxString zPage, zQuery, zIP, zIPLocal;
            NextRequest(zPage, zQuery, zIP, zIPLocal, zTheIP, zTheIPLocal);
            wxString zBase = zPage;
            zPage += DateSuffix(wxGetLocalTimeMillis());
            if (!zQuery.empty() && (!bUART || zIP != zTheIP)) {
                // Outside UART mode, and for a device other than the monitored one (whose replies
                // are never parsed, so the exchange could not advance), the command goes at once.
                zChemin = zPage + zQuery;
                zCible = zIP;
                zLocal = zIPLocal;
                iPause = 1;
            } else if (!zQuery.empty()) {
                m_commandeTenue = ZorTavlinCommande(zQuery, zIP, zIPLocal, zBase);
                m_uart.m_bCommandeUART = true;
                zChemin = zPage;
                zCible = zIP;
                zLocal = zIPLocal;
                iPause = 1;
            } else if (bAuto && !zTheIP.empty() && chrono.Time() > iEspacement) {
                // Only with a device to watch: with none, this pass is idle and pauses 10 ms
                // instead of spinning at 1 ms (a command still wakes it at once).
                zChemin = zPage;
                zCible = zTheIP;
                zLocal = zTheIPLocal;
                iPause = 1;
            }
        }

        if (bUART && !zCible.empty() && (bAuto || m_uart.m_bCommandeUART) &&
            zCible == zTheIP) {
            zChemin += ZorEtatRequeteUART(m_uart, m_commandeTenue.m_zQuery);
            if (!m_zIPDateTime.empty() && m_zIPDateTime == zCible) {
                zChemin += DateTimeQuery(wxDateTime::Now());
                m_zIPDateTime.clear();
            }
        }

        if (!zCible.empty()) {
            chrono.Start();
            if (!m_bStop) {
                wxString zReply;
                if (GetPage(zLocal, zCible, zChemin, &zReply) == ZOR_PAGE_OK && !m_bStop &&
                    zCible == zTheIP)
                    Parse(zReply, zCible);
            }
        } else if (bAuto && !zTheIP.empty()) {
            // Waiting for the poll spacing: wake when it is over, not up to 10 ms later.
            const long iReste = long(iEspacement) + 1 - chrono.Time();
            if (iReste < iPause)
                iPause = iReste < 1 ? 1 : int(iReste);
        }
        // Ends early when a command is queued; the next pass takes it before any poll.
        Pause(iPause);
    }
    wxLogDebug(wxT("ZorTavlinThread Entry Fin-------------------------------"));
    m_bFini = true;
    return 0;
}
