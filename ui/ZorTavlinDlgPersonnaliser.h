// The customisation dialog: six pages drawn on one background (password guard, name and
// comment, password change, network, e-mail loading, e-mail settings) sharing one ok and one
// annuler button. The rules live in ZorPersonnalisation; this window fills its Saisie from the
// controls, calls it, and shows the Reaction it returns.
// Main thread only.
#pragma once

#include "infra/ZorClock.h"
#include "infra/ZorExport.h"
#include "network/ZorAdresseIP.h"
#include "ui/ZorPersonnalisation.h"

#include <wx/bitmap.h>
#include <wx/dialog.h>
#include <wx/timer.h>

#include <vector>

class wxCheckBox;
class wxStaticText;
class wxTextCtrl;
class ZorBitmapButtonWnd;
class ZorIPctrl;
class ZorWaitForTavlinDlg;

class ZOR_EXPORT ZorTavlinDlgPersonnaliser : public wxDialog
{
public:
    // Identifiers of the controls (tests and the parent find them with FindWindow).
    enum {
        ID_MDP = wxID_HIGHEST + 200,
        ID_NOM,
        ID_COMMENTAIRE,
        ID_CHANGER_MDP,
        ID_CHANGER_RESEAU,
        ID_EMAIL,
        ID_NOUVEAU_MDP,
        ID_CONFIRMATION_MDP,
        ID_IP,
        ID_MASQUE,
        ID_PASSERELLE,
        ID_DHCP,
        ID_SMTP_SERVEUR,
        ID_SMTP_PORT,
        ID_SMTP_SSL,
        ID_SMTP_LOGIN,
        ID_SMTP_MDP,
        ID_SMTP_CONFIRMATION,
        ID_OK,
        ID_ANNULER,
        ID_TIMER_CHARGEMENT,
    };

    // pTavlin: the device manager the e-mail page works through (null: none, no e-mail
    // settings are loaded); it outlives the dialog.
    // pParent: the device list dialog, over which this one lies. The device's values as the
    // list shows them; zVersion decides whether the e-mail page exists (above version 1).
    // The clock times the loading of the e-mail settings.
    ZorTavlinDlgPersonnaliser(ZorTavlinObj* pTavlin, wxWindow* pParent, const wxString& zNom,
                              const wxString& zCommentaire, const wxString& zPwd,
                              const wxString& zMAC, const ZorAdresseIP& ip,
                              const ZorAdresseIP& ipLocal, const ZorAdresseIP& masque,
                              const ZorAdresseIP& passerelle, bool bDHCP, const wxString& zVersion,
                              const ZorClock& clock = ZorDefaultClock());
    ~ZorTavlinDlgPersonnaliser() override;

    // What the caller reads after wxID_OK; addresses as dotted text.
    const wxString& GetNom() const { return m_perso.GetNom(); }
    const wxString& GetCommentaire() const { return m_perso.GetCommentaire(); }
    const wxString& GetPwd() const { return m_perso.GetPwd(); }
    wxString GetIP() const { return m_perso.GetIP().ToString(); }
    wxString GetMasque() const { return m_perso.GetMasque().ToString(); }
    wxString GetPasserelle() const { return m_perso.GetPasserelle().ToString(); }
    bool IsDHCP() const { return m_perso.IsDHCP(); }

    int GetPage() const { return m_perso.GetPage(); }
    bool IsChargementEnCours() const { return m_timerChargement.IsRunning(); }
    ZorWaitForTavlinDlg* GetAttente() const { return m_pAttente; }

    // Where a page's controls sit, for the dialog and for the tests that check they neither
    // clip their text nor overlap.
    const std::vector<wxWindow*>& GetControlesPage(int iPage) const { return m_pages[iPage]; }

private:
    void CreerControles();
    wxStaticText* Libelle(int iPage, const wxString& zTexte, const wxPoint& pos, int iLargeur);
    wxTextCtrl* Champ(int iPage, wxWindowID id, const wxPoint& pos, int iLargeur, long iStyle,
                      const wxValidator& filtre);
    ZorBitmapButtonWnd* BoutonImage(wxWindowID id, const wxString& zNom, const wxPoint& pos);
    void Remplir();
    void RemplirMdp();
    void RemplirReseau();
    void RemplirEmail();
    void AfficherPage(int iPage);
    void ActiverAdresses();
    ZorPersonnalisation::Saisie LireSaisie() const;
    void Appliquer(const ZorPersonnalisation::Reaction& r);
    void Finir(int iCode);

    void OnInitDialog(wxInitDialogEvent& event);
    void OnOk(wxCommandEvent& event);
    void OnAnnuler(wxCommandEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnChangerMdp(wxCommandEvent& event);
    void OnChangerReseau(wxCommandEvent& event);
    void OnEmail(wxCommandEvent& event);
    void OnEmailModifie(wxCommandEvent& event);
    void OnDHCP(wxCommandEvent& event);
    void OnTimerChargement(wxTimerEvent& event);
    void OnPaint(wxPaintEvent& event);
    void OnEraseBackground(wxEraseEvent& event);
    void OnClose(wxCloseEvent& event);

    std::unique_ptr<ZorPersonnalisation::Appareil> m_pAppareil;
    ZorPersonnalisation m_perso;
    wxBitmap m_fond;
    wxTimer m_timerChargement;
    ZorWaitForTavlinDlg* m_pAttente;
    std::vector<wxWindow*> m_pages[6];

    wxTextCtrl* m_pMdp = nullptr;
    wxTextCtrl* m_pNom = nullptr;
    wxTextCtrl* m_pCommentaire = nullptr;
    wxWindow* m_pBoutonEmail = nullptr;
    wxTextCtrl* m_pNouveauMdp = nullptr;
    wxTextCtrl* m_pConfirmationMdp = nullptr;
    ZorIPctrl* m_pIP = nullptr;
    ZorIPctrl* m_pMasque = nullptr;
    ZorIPctrl* m_pPasserelle = nullptr;
    wxCheckBox* m_pDHCP = nullptr;
    wxTextCtrl* m_pServeur = nullptr;
    wxTextCtrl* m_pPort = nullptr;
    wxCheckBox* m_pSSL = nullptr;
    wxTextCtrl* m_pLogin = nullptr;
    wxTextCtrl* m_pMdpSMTP = nullptr;
    wxTextCtrl* m_pConfirmationSMTP = nullptr;
};
