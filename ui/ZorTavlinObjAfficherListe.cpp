// The device manager's AfficherListe lives with the dialog it shows.
#include "device/ZorTavlinObj.h"
#include "ui/ZorTavlinDlgAfficherListe.h"

namespace {

template <typename T>
void Donner(T* p, const T& valeur)
{
    if (p)
        *p = valeur;
}

} // namespace

bool ZorTavlinObj::AfficherListe(wxString* pzMAC, wxString* pzIP, wxString* pzNom,
                                 wxString* pzCommentaire, wxString* pzLogin, wxString* pzPwd,
                                 wxString* pzMask, wxString* pzGateway, bool* pbDHCPEnabled,
                                 wxString* pzIPLocal, wxString* pzMaskLocal,
                                 wxString* pzGatewayLocal, wxString* pzVersion,
                                 bool* pbMultipleCarte)
{
    wxString zMAC;
    m_config.Read(wxT("ADDR_MAC"), zMAC);
    ZorTavlinInfo choisie;
    bool bChoisie = false;
    {
        ZorTavlinDlgAfficherListe dlg(zMAC);
        bChoisie = dlg.ShowModal() == wxID_OK;
        if (bChoisie)
            choisie = dlg.GetTavlinChoisie();
    }
    if (bChoisie) {
        m_config.Write(wxT("ADDR_MAC"), choisie.m_zMAC);
        m_config.Write(wxT("ADDR_IP"), choisie.m_zIP);
        m_config.Write(wxT("ADDR_IPLOCAL"), choisie.m_zIPLocal);
    }
    Donner(pzMAC, choisie.m_zMAC);
    Donner(pzIP, choisie.m_zIP);
    Donner(pzNom, choisie.m_zNom);
    Donner(pzCommentaire, choisie.m_zCommentaire);
    Donner(pzLogin, choisie.m_zLogin);
    Donner(pzPwd, choisie.m_zPwd);
    Donner(pzMask, choisie.m_zMask);
    Donner(pzGateway, choisie.m_zGateway);
    Donner(pbDHCPEnabled, choisie.m_bDHCPEnabled);
    Donner(pzIPLocal, choisie.m_zIPLocal);
    Donner(pzMaskLocal, choisie.m_zMaskLocal);
    Donner(pzGatewayLocal, choisie.m_zGatewayLocal);
    Donner(pzVersion, choisie.m_zVersion);
    Donner(pbMultipleCarte, choisie.m_bMultipleCarte);
    return bChoisie;
}
