#include "device/ZorTavlinObj.h"

#include "device/ZorTavlinDelais.h"
#include "infra/ZorClock.h"
#include "infra/ZorLogFile.h"

#include <wx/log.h>

#include <algorithm>
#include <new>
#include <vector>

ZorTavlinObj* gpTheTavlin = nullptr;

const int ZOR_EVT_TAVLIN_ADD = wxNewEventType();
const int ZOR_EVT_TAVLIN_REMOVE = wxNewEventType();
const int ZOR_EVT_TAVLIN_MASTER_NEW = wxNewEventType();
const int ZOR_EVT_TAVLIN_CONFIGURE = wxNewEventType();
const int ZOR_EVT_TAVLIN_CONFIGURE_ECHEC = wxNewEventType();
const int ZOR_EVT_SOCKET_ERROR = wxNewEventType();
const int ZOR_EVT_FIN_OK = wxNewEventType();
const int ZOR_EVT_FIN_KO = wxNewEventType();
const int ZOR_EVT_TAVLIN_ETAT = wxNewEventType();

wxCriticalSection& ZorGlobalLock()
{
    // Recursive: a caller that holds it may call what takes it again (PushCommande reads the
    // registry, then queues).
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
    : m_bVerifierEtatAuto(true), m_bModeUART(false), m_bStarted(false), m_iDerniereCommande(0),
      m_iTimeAlive(ZorDelais::kTimeAliveDefautS),
      m_iTimeSurveillanceMs(ZorDelais::kEspacementPollDefautMs), m_pTimer(nullptr), m_iLastHello(0),
      m_bNewEtat(false), m_iCountTimer(0)
{
    m_network.SetSink(this);
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
        zEntete, int(nb), info.m_zNom, info.m_zIP, zMaskLabel, info.m_zMask, info.m_zGateway,
        int(info.m_bDHCPEnabled), info.m_zMAC, info.m_zCommentaire, info.m_zLogin, info.m_zPwd,
        info.m_zIPLocal, info.m_zMaskLocal, info.m_zGatewayLocal, info.m_zVersion);
}

} // namespace

void ZorTavlinObj::AddTavlin(const wxString& zIP, const wxString& zNom, const wxString& zMAC,
                             const wxString& zCommentaire, const wxString& zLogin,
                             const wxString& zPwd, const wxString& zMask, const wxString& zGateway,
                             bool bDHCPEnabled, const wxString& zIPLocal,
                             const wxString& zMaskLocal, const wxString& zGatewayLocal,
                             const wxString& zVersion)
{
    bool bChange = false;
    // Traced once the lock is released: the host's log target may take its time.
    bool bNouvelle = false;
    ZorTavlinInfo trace;
    size_t nb = 0;
    wxString zLogRegistre;
    bool bRefusee = false;
    {
        // The worker reads the registry (PushCommande) and the timer walks it: change it under the lock.
        wxCriticalSectionLocker lock(ZorGlobalLock());
        ZorTavlinInfo* pInfo = TrouverTavlin(zMAC);
        // A flood of made-up addresses must not grow the registry without end.
        if (!pInfo && m_arrayTavlin.GetCount() >= iTavlinMax &&
            !FaireDeLaPlace(zMAC, &zLogRegistre)) {
            bRefusee = true;
        } else if (!pInfo) {
            m_arrayTavlin.Add(ZorTavlinInfo(zIP, zNom, zMAC, zCommentaire, zLogin, zPwd, zMask,
                                            zGateway, bDHCPEnabled, Clock().EpochSeconds(), 0,
                                            zIPLocal, zMaskLocal, zGatewayLocal, zVersion, false));
            m_indexMAC[zMAC] = &m_arrayTavlin.Last();
            bChange = true;
            bNouvelle = true;
            trace = m_arrayTavlin.Last();
        } else {
            ZorTavlinInfo& info = *pInfo;
            // Two adapters of the PC on one link hear every answer twice. The device is on the
            // PC's network when any of them is on its network: the record keeps that adapter
            // (for sending and for every "on the network" check) while it is still there.
            const bool bGarderCarte =
                zIPLocal != info.m_zIPLocal &&
                ZorTavlinInfo::SurReseauDuPC(zIP, info.m_zIPLocal, info.m_zMaskLocal) &&
                m_network.EstCarteActive(info.m_zIPLocal, info.m_zMaskLocal);
            const wxString zCarteIP = bGarderCarte ? info.m_zIPLocal : zIPLocal;
            const wxString zCarteMask = bGarderCarte ? info.m_zMaskLocal : zMaskLocal;
            const wxString zCarteGateway = bGarderCarte ? info.m_zGatewayLocal : zGatewayLocal;
            bChange = info.m_zNom != zNom || info.m_zIP != zIP ||
                      info.m_zCommentaire != zCommentaire || info.m_zLogin != zLogin ||
                      info.m_zPwd != zPwd || info.m_zMask != zMask || info.m_zGateway != zGateway ||
                      info.m_bDHCPEnabled != bDHCPEnabled || info.m_zIPLocal != zCarteIP ||
                      info.m_zMaskLocal != zCarteMask || info.m_zGatewayLocal != zCarteGateway ||
                      info.m_zVersion != zVersion;
            // Seen through a second adapter of the PC: the flag is set once and never falls back.
            if (!info.m_bMultipleCarte && info.m_zIPLocal != zIPLocal) {
                info.m_bMultipleCarte = true;
                bChange = true;
            }
            if (bChange) {
                info.m_zNom = zNom;
                info.m_zIP = zIP;
                info.m_zCommentaire = zCommentaire;
                info.m_zLogin = zLogin;
                info.m_zPwd = zPwd;
                info.m_zMask = zMask;
                info.m_zGateway = zGateway;
                info.m_bDHCPEnabled = bDHCPEnabled;
                info.m_zIPLocal = zCarteIP;
                info.m_zMaskLocal = zCarteMask;
                info.m_zGatewayLocal = zCarteGateway;
                info.m_zVersion = zVersion;
            }
            info.m_iTimeLastSeen = Clock().EpochSeconds();
            info.m_iEtatPresence = 0;
            trace = info;
        }
        nb = m_arrayTavlin.GetCount();
    }
    if (!zLogRegistre.empty())
        gTheLogFile.Write(zLogRegistre);
    if (bRefusee)
        return;
    wxLogDebug(wxT("%s"),
               bNouvelle
                   ? TraceTavlin(wxT("Nouvelle console TAVLIN"), wxT("[ipMask]"), nb, trace)
                   : TraceTavlin(wxT("Mise à jour console TAVLIN"), wxT("ipMask]"), nb, trace));
    UpdateTheIP();
    if (bChange)
        NotifyListeners(ZOR_EVT_TAVLIN_ADD);
}

bool ZorTavlinObj::FaireDeLaPlace(const wxString& zMAC, wxString* pzLog)
{
    // The record seen longest ago gives its place, so that a flood of forged answers with ever
    // new addresses cannot keep a real device out: the flood's own records age first.
    const int64_t iMaintenant = Clock().EpochSeconds();
    size_t iPlusVieux = m_arrayTavlin.GetCount();
    for (size_t i = 0; i < m_arrayTavlin.GetCount(); ++i) {
        const ZorTavlinInfo& info = m_arrayTavlin[i];
        if (info.m_zMAC == m_zAddrMACSurveillee ||
            iMaintenant - int64_t(info.m_iTimeLastSeen) < iTavlinProtegeS)
            continue;
        if (iPlusVieux == m_arrayTavlin.GetCount() ||
            info.m_iTimeLastSeen < m_arrayTavlin[iPlusVieux].m_iTimeLastSeen)
            iPlusVieux = i;
    }
    const bool bPlace = iPlusVieux < m_arrayTavlin.GetCount();
    ++(bPlace ? m_iRegistreRemplacees : m_iRegistreRefusees);
    // Said once a minute: a flood must not fill the log as well.
    const int64_t iMs = Clock().NowMs();
    if (m_iLogRegistrePleinMs < 0 || iMs - m_iLogRegistrePleinMs >= kLogRegistrePleinMs) {
        m_iLogRegistrePleinMs = iMs;
        const wxString zQuoi =
            bPlace ? wxString::Format(
                         wxT("nouvelle console MAC=%s a la place de MAC=%s vue il y a %lld s"),
                         zMAC, m_arrayTavlin[iPlusVieux].m_zMAC,
                         static_cast<long long>(iMaintenant -
                                                int64_t(m_arrayTavlin[iPlusVieux].m_iTimeLastSeen)))
                   : wxString::Format(
                         wxT("nouvelle console refusee MAC=%s (toutes vues depuis moins de %d s)"),
                         zMAC, int(iTavlinProtegeS));
        *pzLog = wxString::Format(wxT("ZorTavlinObj::AddTavlin registre plein (%d consoles), %s ")
                                      wxT("(%llu remplacees, %llu refusees en tout)"),
                                  int(iTavlinMax), zQuoi,
                                  static_cast<unsigned long long>(m_iRegistreRemplacees),
                                  static_cast<unsigned long long>(m_iRegistreRefusees));
    }
    if (bPlace)
        RetirerTavlin(iPlusVieux);
    return bPlace;
}

ZorTavlinInfo* ZorTavlinObj::TrouverTavlin(const wxString& zMAC) const
{
    const auto it = m_indexMAC.find(zMAC);
    return it == m_indexMAC.end() ? nullptr : it->second;
}

void ZorTavlinObj::RetirerTavlin(size_t i)
{
    if (i >= m_arrayTavlin.GetCount())
        return;
    m_indexMAC.erase(m_arrayTavlin[i].m_zMAC);
    m_arrayTavlin.RemoveAt(i);
}

size_t ZorTavlinObj::GetNombreTavlin() const
{
    wxCriticalSectionLocker lock(ZorGlobalLock());
    return m_arrayTavlin.GetCount();
}

void ZorTavlinObj::GetLesTavlin(ZorTavlinInfoArray& array)
{
    wxCriticalSectionLocker lock(ZorGlobalLock());
    for (size_t i = 0; i < m_arrayTavlin.GetCount(); ++i)
        array.Add(m_arrayTavlin[i]);
}

void ZorTavlinObj::NewTavlinMaster(const wxString& zIP, const wxString& zNom, const wxString& zMAC,
                                   const wxString& zCommentaire, const wxString& zLogin,
                                   const wxString& zPwd, const wxString& zMask,
                                   const wxString& zGateway, bool bDHCPEnabled,
                                   const wxString& zIPLocal, const wxString& zMaskLocal,
                                   const wxString& zGatewayLocal, const wxString& zVersion)
{
    m_master =
        ZorTavlinInfo(zIP, zNom, zMAC, zCommentaire, zLogin, zPwd, zMask, zGateway, bDHCPEnabled, 0,
                      0, zIPLocal, zMaskLocal, zGatewayLocal, zVersion, false);
    NotifyListeners(ZOR_EVT_TAVLIN_MASTER_NEW);
}

void ZorTavlinObj::ConfigurationAdresseDemarree()
{
    NotifyListeners(ZOR_EVT_TAVLIN_CONFIGURE);
}

void ZorTavlinObj::ConfigurationAdresseEchouee(const wxString&)
{
    NotifyListeners(ZOR_EVT_TAVLIN_CONFIGURE_ECHEC);
}

bool ZorTavlinObj::EchecConfigurationAdresse(const wxString& zMAC, ZorIssueAdresse* pIssue) const
{
    return m_network.EchecConfiguration(zMAC, pIssue);
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
    if (const ZorTavlinInfo* pInfo = TrouverTavlin(m_zAddrMACSurveillee)) {
        m_zTheIP = wxString(pInfo->m_zIP.wc_str());
        m_zTheIPLocal = wxString(pInfo->m_zIPLocal.wc_str());
        return;
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

void ZorTavlinObj::GetCible(wxString* pzMAC, wxString* pzIP, wxString* pzIPLocal) const
{
    wxCriticalSectionLocker lock(ZorGlobalLock());
    if (pzMAC)
        *pzMAC = wxString(m_zAddrMACSurveillee.wc_str());
    if (pzIP)
        *pzIP = wxString(m_zTheIP.wc_str());
    if (pzIPLocal)
        *pzIPLocal = wxString(m_zTheIPLocal.wc_str());
}

void ZorTavlinObj::SetClock(ZorClock* pClock)
{
    m_pClock = pClock;
    // The periodic hello counts from now on the new clock, as from a start: a time read on
    // another clock means nothing on this one.
    {
        wxCriticalSectionLocker lock(ZorGlobalLock());
        m_iLastHello = Clock().EpochSeconds();
    }
    // The network object's hellos after an address configuration follow the same clock.
    m_network.SetClock(pClock ? *pClock : ZorDefaultClock());
}

const ZorClock& ZorTavlinObj::Clock() const
{
    return m_pClock ? *m_pClock : ZorDefaultClock();
}

void ZorTavlinObj::AddListener(ZorTavlinListener* pListener)
{
    if (!pListener || std::find(m_arrayObserver.begin(), m_arrayObserver.end(), pListener) !=
                          m_arrayObserver.end())
        return;
    m_arrayObserver.push_back(pListener);
    // A new listener fills its view at once.
    pListener->OnTavlinEvent(ZOR_EVT_TAVLIN_ADD);
}

void ZorTavlinObj::AddOwnedListener(std::unique_ptr<ZorTavlinListener> pListener)
{
    ZorTavlinListener* p = pListener.get();
    m_listenersPropres.push_back(std::move(pListener));
    AddListener(p);
}

void ZorTavlinObj::RemoveListener(ZorTavlinListener* pListener)
{
    auto it = std::find(m_arrayObserver.begin(), m_arrayObserver.end(), pListener);
    if (!pListener || it == m_arrayObserver.end())
        return;
    m_arrayObserver.erase(it);
    for (auto p = m_listenersPropres.begin(); p != m_listenersPropres.end(); ++p) {
        if (p->get() != pListener)
            continue;
        // It may be the one being called right now: freed once no delivery runs.
        m_listenersRetires.push_back(std::move(*p));
        m_listenersPropres.erase(p);
        break;
    }
    if (m_iLivraisons == 0)
        m_listenersRetires.clear();
}

void ZorTavlinObj::NotifyListeners(int iEventType)
{
    Prevenir([iEventType](ZorTavlinListener& l) { l.OnTavlinEvent(iEventType); });
}

void ZorTavlinObj::Prevenir(const std::function<void(ZorTavlinListener&)>& appel)
{
    // A listener may remove itself (or another) while it is called: walk a snapshot and skip
    // those that left the list meanwhile. Removed adaptors stay allocated until the outermost
    // delivery ends, so an address in the snapshot is never reused within it.
    const std::vector<ZorTavlinListener*> listeners = m_arrayObserver;
    ++m_iLivraisons;
    for (ZorTavlinListener* p : listeners) {
        if (std::find(m_arrayObserver.begin(), m_arrayObserver.end(), p) != m_arrayObserver.end())
            appel(*p);
    }
    if (--m_iLivraisons == 0)
        m_listenersRetires.clear();
}
