#include "device/ZorChoixRequete.h"

#include "device/ZorTavlinDelais.h"

#include <algorithm>

ZorChoixRequete ZorChoisirRequete(const ZorChoixEntree& e)
{
    ZorChoixRequete r;
    r.iPauseMs = ZorDelais::kPauseRequeteMs;
    const ZorTavlinCommande* pCmd = nullptr;
    if (e.bUART && e.pTenue) {
        // Each exchange step starts again from the command's page, so the path carries only
        // the current step's parameter.
        r.genre = ZorChoixRequete::ZOR_TENUE;
        pCmd = e.pTenue;
        r.zChemin = pCmd->m_zPage + e.zDate;
    } else if (e.pFile) {
        pCmd = e.pFile;
        r.bPrendFile = true;
        r.zChemin = pCmd->m_zPage + e.zDate;
        // The monitored device's replies advance the board exchange, so in UART mode its
        // commands wait for the exchange's last step. Another device's replies are never
        // parsed: its commands go at once, as outside UART mode.
        if (e.bUART && pCmd->m_zIP == e.zTheIP) {
            r.genre = ZorChoixRequete::ZOR_TENIR;
        } else {
            r.genre = ZorChoixRequete::ZOR_COMMANDE;
            r.zChemin += pCmd->m_zQuery;
        }
    } else if (e.bAuto && !e.zTheIP.empty() && e.iAttentePollMs <= 0) {
        r.genre = ZorChoixRequete::ZOR_POLL;
        r.zChemin = wxString(wxT("etat.htm")) + e.zDate;
        r.zCible = e.zTheIP;
        r.zLocal = e.zTheIPLocal;
    } else {
        // Idle. Waiting for the poll spacing: wake when it is over, not up to 10 ms later. With
        // no device to watch, pause the full 10 ms (a command still wakes the worker at once).
        r.iPauseMs = ZorDelais::kPauseInactiveMs;
        if (e.bAuto && !e.zTheIP.empty())
            r.iPauseMs = std::min(r.iPauseMs, std::max(1, e.iAttentePollMs));
        return r;
    }
    if (pCmd) {
        r.zCible = pCmd->m_zIP;
        r.zLocal = pCmd->m_zIPLocal;
    }
    r.bEtapeUART =
        e.bUART && !r.zCible.empty() && r.zCible == e.zTheIP &&
        (e.bAuto || r.genre == ZorChoixRequete::ZOR_TENUE || r.genre == ZorChoixRequete::ZOR_TENIR);
    return r;
}
