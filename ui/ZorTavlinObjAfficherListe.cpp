// The device manager's AfficherListe lives with the dialog it shows.
#include "device/ZorTavlinObj.h"
#include "infra/ZorLogFile.h"
#include "infra/ZorTraduction.h"
#include "ui/ZorTavlinDlgAfficherListe.h"

#include <wx/msgdlg.h>

namespace {

const wchar_t* const kChoixNonEnregistre =
    ZOR_N("Le choix de cette Tavlin n'a pas pu être enregistré dans les réglages : il ne sera pas "
          "repris au prochain démarrage.\n\nVérifiez que le dossier des réglages Tavlin est "
          "accessible en écriture.");

template <typename T> void Donner(T* p, const T& valeur)
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
        ZorTavlinDlgAfficherListe dlg(*this, zMAC);
        bChoisie = dlg.ShowModal() == wxID_OK;
        if (bChoisie)
            choisie = dlg.GetTavlinChoisie();
    }
    if (bChoisie) {
        // All three are tried: each that goes in is kept. The choice itself stands, but the
        // user must learn that the next start will not find it again.
        bool bGarde = m_config.Write(wxT("ADDR_MAC"), choisie.m_zMAC);
        bGarde = m_config.Write(wxT("ADDR_IP"), choisie.m_zIP) && bGarde;
        bGarde = m_config.Write(wxT("ADDR_IPLOCAL"), choisie.m_zIPLocal) && bGarde;
        if (!bGarde) {
            gTheLogFile.Write(wxT("ZorTavlinObj::AfficherListe choix non enregistre MAC=%s"),
                              choisie.m_zMAC.wc_str());
            wxMessageBox(ZorTr(kChoixNonEnregistre), wxT("Tavlin"), wxOK | wxICON_WARNING);
        }
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
