// The one-second surveillance timer, the published state and the UART mode setting.
#include "device/ZorTavlinObj.h"

#include "device/ZorTavlinDelais.h"
#include "infra/ZorClock.h"
#include "infra/ZorLibraryFlags.h"

#include <wx/log.h>

#include <vector>

wxBEGIN_EVENT_TABLE(ZorTavlinObj, wxEvtHandler) EVT_TIMER(wxID_ANY, ZorTavlinObj::OnTimer)
    wxEND_EVENT_TABLE()

        namespace
{

    const wxChar* const kBroadcast = wxT("255.255.255.255");

    // A hello decided during the registry walk and sent once the lock is released.
    struct ZorHello
    {
        wxString zIP;
        wxString zIPLocal;
    };

} // namespace

void ZorTavlinObj::OnTimer(wxTimerEvent& event)
{
    if (!m_pTimer || &event.GetTimer() != m_pTimer)
        return;
    TickSurveillance();
}

void ZorTavlinObj::TickSurveillance()
{
    Surveiller();
    if (gbPasWx)
        m_network.ForceReadOnDatagram();
    if (m_iCountTimer >= ZorDelais::kTicksEntreScans - 1) {
        m_network.SearchCarteEth();
        m_iCountTimer = 0;
    } else {
        ++m_iCountTimer;
    }
    // Single shots: the next tick comes one second after this one ended.
    if (m_bStarted)
        m_pTimer->StartOnce(ZorDelais::kTickMs);
}

void ZorTavlinObj::Surveiller()
{
    if (m_iTimeAlive == -1)
        return;
    std::vector<ZorHello> hellos;
    std::vector<wxString> traces; // written once the lock is released
    bool bSupprime = false;
    {
        // Only the walk holds the lock: the datagrams and the listeners come after it, so a
        // listener that queues a command with wait never stalls the worker, which needs the lock
        // to take one.
        wxCriticalSectionLocker lock(ZorGlobalLock());
        const int64_t now = Clock().EpochSeconds();
        bool bBroadcast = false;
        if (now > m_iLastHello + ZorDelais::kHelloPeriodiqueS) {
            m_iLastHello = now;
            hellos.push_back({kBroadcast, wxEmptyString});
            bBroadcast = true;
        }
        // Stage 0 -> 1 after TimeAlive s of silence, 1 -> 2 after 2 s more (both probe),
        // 2 -> dropped after 2 s more. At most one step per record and tick.
        static const wxChar* const kTrace[3] = {
            wxT("ZorTavlinObj::GetEtat1 Verification presence de MAC=%s IP=%s IP_LOCAL=%s"),
            wxT("ZorTavlinObj::GetEtat2 Verification presence de MAC=%s IP=%s IP_LOCAL=%s"),
            wxT("ZorTavlinObj::GetEtat3 Pas de reponse de MAC=%s IP=%s IP_LOCAL=%s")};
        for (size_t i = m_arrayTavlin.GetCount(); i-- > 0;) {
            ZorTavlinInfo& info = m_arrayTavlin[i];
            const int e = info.m_iEtatPresence;
            if (e < 0 || e > 2 ||
                now <= info.m_iTimeLastSeen + m_iTimeAlive + ZorDelais::kDelaiEtapeS[e])
                continue;
            traces.push_back(wxString::Format(kTrace[e], info.m_zMAC, info.m_zIP, info.m_zIPLocal));
            if (e == 2) {
                RetirerTavlin(i);
                bSupprime = true;
                continue;
            }
            info.m_iEtatPresence = e + 1;
            if (bBroadcast)
                continue; // the broadcast of this tick reaches it already
            if (info.EstSurReseauDuPC())
                hellos.push_back({info.m_zIP, info.m_zIPLocal});
            else
                hellos.push_back({kBroadcast, wxEmptyString});
        }
    }
    for (const wxString& z : traces)
        wxLogDebug(wxT("%s"), z);
    for (const ZorHello& h : hellos) {
        if (h.zIP == kBroadcast && h.zIPLocal.empty())
            EnvoyerHelloDiffuse();
        else if (!m_network.SendHello(h.zIP, h.zIPLocal, 'D'))
            wxLogDebug(wxT("ZorTavlinObj hello non envoye a %s par %s"), h.zIP, h.zIPLocal);
    }
    if (bSupprime)
        NotifyListeners(ZOR_EVT_TAVLIN_REMOVE);
}

int ZorTavlinObj::GetDelaiTickMs() const
{
    return m_pTimer && m_pTimer->IsRunning() && m_pTimer->IsOneShot() ? m_pTimer->GetInterval()
                                                                      : -1;
}

int64_t ZorTavlinObj::GetDernierHello() const
{
    wxCriticalSectionLocker lock(ZorGlobalLock());
    return m_iLastHello;
}

void ZorTavlinObj::GetEtat(ZorTavlinData& etat)
{
    wxCriticalSectionLocker lock(ZorGlobalLock());
    etat.CopyFrom(m_etat);
}

bool ZorTavlinObj::IsEtatValide()
{
    ZorTavlinData etat;
    GetEtat(etat);
    return etat.m_bValide;
}

bool ZorTavlinObj::SelectionnerUART(bool bUART)
{
    // The settings file is known from Start on; before it there is no instance to write to.
    if (!m_config.IsLoaded())
        return false;
    return m_config.Write(wxT("SELECT_UART"), bUART ? wxT("1") : wxT("0"));
}
