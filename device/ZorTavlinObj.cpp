#include "device/ZorTavlinObj.h"

#include "infra/ZorLogFile.h"

#include <wx/log.h>
#include <wx/time.h>
#include <wx/window.h>

#include <new>
#include <vector>

ZorTavlinObj* gpTheTavlin = nullptr;

const int ZOR_EVT_TAVLIN_ADD = wxNewEventType();
const int ZOR_EVT_TAVLIN_REMOVE = wxNewEventType();
const int ZOR_EVT_TAVLIN_MASTER_NEW = wxNewEventType();
const int ZOR_EVT_TAVLIN_CONFIGURE = wxNewEventType();
const int ZOR_EVT_SOCKET_ERROR = wxNewEventType();
const int ZOR_EVT_FIN_OK = wxNewEventType();
const int ZOR_EVT_FIN_KO = wxNewEventType();

wxCriticalSection& ZorGlobalLock()
{
    // Recursive: the timer holds it while observers run, and they may read the state again.
    static wxCriticalSection lock(wxCRITSEC_DEFAULT);
    return lock;
}

bool ZorTavlinObj::CreateTavlinObj()
{
    if (gpTheTavlin)
        return true;
    gpTheTavlin = new (std::nothrow) ZorTavlinObj();
    return gpTheTavlin != nullptr;
}

void ZorTavlinObj::DeleteTavlinObj()
{
    ZorTavlinObj* p = gpTheTavlin;
    if (!p)
        return;
    delete p;
    gpTheTavlin = nullptr;
}

ZorTavlinObj::ZorTavlinObj()
    : m_bVerifierEtatAuto(true),
      m_bModeUART(false),
      m_bStarted(false),
      m_iDerniereCommande(0),
      m_iTimeAlive(10),
      m_iTimeSurveillanceMs(50),
      m_pTimer(nullptr),
      m_iLastHello(0),
      m_bNewEtat(false),
      m_iCountTimer(0)
{
    m_etat.ReInit();
    m_pTimer = new wxTimer(this, wxID_ANY);
}

ZorTavlinObj::~ZorTavlinObj()
{
    if (m_bStarted)
        Stop();
    delete m_pTimer;
    m_pTimer = nullptr;
}

namespace {

// Debug trace of a registry change; the two traces differ in the label of the mask.
wxString TraceTavlin(const wxString& zEntete, const wxString& zMaskLabel, size_t nb,
                     const ZorTavlinInfo& info)
{
    return wxString::Format(
        wxT("%s nb=%d [Name]=%s [ip]=%s %s=%s [ipGateway]=%s [DHCPEnabled]=%d [MAC]=%s ")
            wxT("[Commentaire]=%s [login]=%s [pwd]=%s [iplocal]=%s [masklocal]=%s ")
            wxT("[gatewaylocal]=%s [version]=%s  **********"),
        zEntete, int(nb), info.m_zNom, info.m_zIP,
        zMaskLabel, info.m_zMask,
        info.m_zGateway, int(info.m_bDHCPEnabled), info.m_zMAC, info.m_zCommentaire,
        info.m_zLogin, info.m_zPwd, info.m_zIPLocal, info.m_zMaskLocal, info.m_zGatewayLocal,
        info.m_zVersion);
}

} // namespace

void ZorTavlinObj::AddTavlin(const wxString& zIP, const wxString& zNom, const wxString& zMAC,
                             const wxString& zCommentaire, const wxString& zLogin,
                             const wxString& zPwd, const wxString& zMask,
                             const wxString& zGateway, bool bDHCPEnabled,
                             const wxString& zIPLocal, const wxString& zMaskLocal,
                             const wxString& zGatewayLocal, const wxString& zVersion)
{
    bool bChange = false;
    {
        // The worker reads the registry (PushCommande) and the timer walks it: change it under the lock.
        wxCriticalSectionLocker lock(ZorGlobalLock());
        ZorTavlinInfo* pInfo = nullptr;
        for (size_t i = 0; i < m_arrayTavlin.GetCount(); ++i) {
            if (m_arrayTavlin[i].m_zMAC == zMAC) {
                pInfo = &m_arrayTavlin[i];
                break;
            }
        }
        if (!pInfo) {
            m_arrayTavlin.Add(ZorTavlinInfo(zIP, zNom, zMAC, zCommentaire, zLogin, zPwd, zMask,
                                            zGateway, bDHCPEnabled, wxGetLocalTime(), 0, zIPLocal,
                                            zMaskLocal, zGatewayLocal, zVersion, false));
            bChange = true;
            wxLogDebug(wxT("%s"), TraceTavlin(wxT("Nouvelle console TAVLIN"), wxT("[ipMask]"),
                                              m_arrayTavlin.GetCount(), m_arrayTavlin.Last()));
        } else {
            ZorTavlinInfo& info = *pInfo;
            bChange = info.m_zNom != zNom || info.m_zIP != zIP ||
                      info.m_zCommentaire != zCommentaire || info.m_zLogin != zLogin ||
                      info.m_zPwd != zPwd || info.m_zMask != zMask ||
                      info.m_zGateway != zGateway || info.m_bDHCPEnabled != bDHCPEnabled ||
                      info.m_zIPLocal != zIPLocal || info.m_zMaskLocal != zMaskLocal ||
                      info.m_zGatewayLocal != zGatewayLocal || info.m_zVersion != zVersion;
            if (bChange) {
                // Seen through a second adapter of the PC: the flag is set once and never falls back.
                if (!info.m_bMultipleCarte && info.m_zIPLocal != zIPLocal)
                    info.m_bMultipleCarte = true;
                info.m_zNom = zNom;
                info.m_zIP = zIP;
                info.m_zCommentaire = zCommentaire;
                info.m_zLogin = zLogin;
                info.m_zPwd = zPwd;
                info.m_zMask = zMask;
                info.m_zGateway = zGateway;
                info.m_bDHCPEnabled = bDHCPEnabled;
                info.m_zIPLocal = zIPLocal;
                info.m_zMaskLocal = zMaskLocal;
                info.m_zGatewayLocal = zGatewayLocal;
                info.m_zVersion = zVersion;
            }
            info.m_iTimeLastSeen = wxGetLocalTime();
            info.m_iEtatPresence = 0;
            wxLogDebug(wxT("%s"), TraceTavlin(wxT("Mise à jour console TAVLIN"), wxT("ipMask]"),
                                              m_arrayTavlin.GetCount(), info));
        }
    }
    UpdateTheIP();
    if (bChange)
        SendToObserver(ZOR_EVT_TAVLIN_ADD, nullptr);
}

void ZorTavlinObj::GetLesTavlin(ZorTavlinInfoArray& array)
{
    wxCriticalSectionLocker lock(ZorGlobalLock());
    for (size_t i = 0; i < m_arrayTavlin.GetCount(); ++i)
        array.Add(m_arrayTavlin[i]);
}

void ZorTavlinObj::NewTavlinMaster(const wxString& zIP, const wxString& zNom,
                                   const wxString& zMAC, const wxString& zCommentaire,
                                   const wxString& zLogin, const wxString& zPwd,
                                   const wxString& zMask, const wxString& zGateway,
                                   bool bDHCPEnabled, const wxString& zIPLocal,
                                   const wxString& zMaskLocal, const wxString& zGatewayLocal,
                                   const wxString& zVersion)
{
    m_master = ZorTavlinInfo(zIP, zNom, zMAC, zCommentaire, zLogin, zPwd, zMask, zGateway,
                             bDHCPEnabled, 0, 0, zIPLocal, zMaskLocal, zGatewayLocal, zVersion,
                             false);
    SendToObserver(ZOR_EVT_TAVLIN_MASTER_NEW, nullptr);
}

void ZorTavlinObj::RazTavlinMaster()
{
    m_master = ZorTavlinInfo();
    m_master.m_iEtatPresence = 3; // marks an empty master record
}

void ZorTavlinObj::GetTavlinMaster(ZorTavlinInfo* pInfo)
{
    if (pInfo)
        *pInfo = m_master;
}

void ZorTavlinObj::SurveillerAddrMAC(const wxString& zMAC)
{
    {
        wxCriticalSectionLocker lock(ZorGlobalLock());
        m_zAddrMACSurveillee = zMAC;
    }
    UpdateTheIP();
}

void ZorTavlinObj::UpdateTheIP()
{
    wxCriticalSectionLocker lock(ZorGlobalLock());
    for (size_t i = 0; i < m_arrayTavlin.GetCount(); ++i) {
        const ZorTavlinInfo& info = m_arrayTavlin[i];
        if (info.m_zMAC == m_zAddrMACSurveillee) {
            m_zTheIP = wxString(info.m_zIP.wc_str());
            m_zTheIPLocal = wxString(info.m_zIPLocal.wc_str());
            return;
        }
    }
    m_zTheIP.clear();
    m_zTheIPLocal.clear();
}

void ZorTavlinObj::SetTheIP(const wxString& zIP, const wxString& zIPLocal)
{
    wxCriticalSectionLocker lock(ZorGlobalLock());
    m_zTheIP = wxString(zIP.wc_str());
    m_zTheIPLocal = wxString(zIPLocal.wc_str());
}

void ZorTavlinObj::AddObserver(wxWindow* pWindow)
{
    if (!pWindow || m_arrayObserver.Index(pWindow) != wxNOT_FOUND)
        return;
    m_arrayObserver.Add(pWindow);
    SendToObserver(ZOR_EVT_TAVLIN_ADD, pWindow);
}

void ZorTavlinObj::RemoveObserver(wxWindow* pWindow)
{
    if (!pWindow)
        return;
    int i = m_arrayObserver.Index(pWindow);
    if (i != wxNOT_FOUND)
        m_arrayObserver.RemoveAt(size_t(i));
}

void ZorTavlinObj::SendToObserver(int iEventType, wxWindow* pWindow)
{
    if (pWindow) {
        wxCommandEvent event(iEventType, 0);
        event.SetEventObject(this);
        pWindow->ProcessWindowEvent(event);
        return;
    }
    // An observer may remove itself (or another) while handling the event: walk a snapshot and
    // skip windows that left the list meanwhile.
    std::vector<wxWindow*> observers;
    for (size_t i = 0; i < m_arrayObserver.GetCount(); ++i)
        observers.push_back(m_arrayObserver[i]);
    for (wxWindow* p : observers) {
        if (m_arrayObserver.Index(p) == wxNOT_FOUND)
            continue;
        wxCommandEvent event(iEventType, 0);
        event.SetEventObject(this);
        p->ProcessWindowEvent(event);
    }
}
