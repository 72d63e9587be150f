#include "ui/ZorTavlinDlgPersonnaliser.h"

#include "infra/ZorUtile.h"
#include "ui/ZorBitmapButtonWnd.h"
#include "ui/ZorIPctrl.h"
#include "ui/ZorWaitForTavlinDlg.h"
#include "infra/ZorTraduction.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dcclient.h>
#include <wx/image.h>
#include <wx/msgdlg.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valtext.h>

#include <algorithm>

namespace {

using P = ZorPersonnalisation;

const wchar_t* const kMessageChargement =
    ZOR_N("Récupération des informations en cours, merci de patienter...");
const wxColour kOrange(255, 128, 0);

wxTextValidator FiltreListe(const wxString& zCaracteres)
{
    wxTextValidator filtre(wxFILTER_INCLUDE_CHAR_LIST);
    filtre.SetCharIncludes(zCaracteres);
    return filtre;
}

} // namespace

ZorTavlinDlgPersonnaliser::ZorTavlinDlgPersonnaliser(
    ZorTavlinObj* pTavlin, wxWindow* pParent, const wxString& zNom, const wxString& zCommentaire,
    const wxString& zPwd, const wxString& zMAC, const ZorAdresseIP& ip, const ZorAdresseIP& ipLocal,
    const ZorAdresseIP& masque, const ZorAdresseIP& passerelle, bool bDHCP,
    const wxString& zVersion, const ZorClock& clock)
    : wxDialog(pParent, wxID_ANY, wxEmptyString, wxDefaultPosition, wxSize(400, 400)),
      m_pAppareil(ZorPersonnalisation::GestionnaireTavlin(pTavlin)),
      m_perso(*m_pAppareil, clock, zNom, zCommentaire, zPwd, zMAC, ip, ipLocal, masque, passerelle,
              bDHCP, zVersion),
      m_timerChargement(this, ID_TIMER_CHARGEMENT)
{
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    m_fond = ZorUtile::GetPngBitmapResource(wxT("bitmap/fondpersonnaliser.png"), 0, 0);
    if (m_fond.IsOk())
        SetClientSize(m_fond.GetSize());
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    m_pAttente = new ZorWaitForTavlinDlg(nullptr, ZorTr(kMessageChargement));
    // Created here rather than at initialisation: the toolkit initialises a dialog at every
    // showing, and the caller may read the values before it shows.
    CreerControles();
    Remplir();

    Bind(wxEVT_INIT_DIALOG, &ZorTavlinDlgPersonnaliser::OnInitDialog, this);
    Bind(wxEVT_BUTTON, &ZorTavlinDlgPersonnaliser::OnOk, this, ID_OK);
    Bind(wxEVT_BUTTON, &ZorTavlinDlgPersonnaliser::OnAnnuler, this, ID_ANNULER);
    Bind(wxEVT_CHAR_HOOK, &ZorTavlinDlgPersonnaliser::OnCharHook, this);
    Bind(wxEVT_BUTTON, &ZorTavlinDlgPersonnaliser::OnChangerMdp, this, ID_CHANGER_MDP);
    Bind(wxEVT_BUTTON, &ZorTavlinDlgPersonnaliser::OnChangerReseau, this, ID_CHANGER_RESEAU);
    Bind(wxEVT_BUTTON, &ZorTavlinDlgPersonnaliser::OnEmail, this, ID_EMAIL);
    Bind(wxEVT_TEXT_ENTER, &ZorTavlinDlgPersonnaliser::OnOk, this);
    Bind(wxEVT_CHECKBOX, &ZorTavlinDlgPersonnaliser::OnDHCP, this, ID_DHCP);
    Bind(wxEVT_CHECKBOX, &ZorTavlinDlgPersonnaliser::OnEmailModifie, this, ID_SMTP_SSL);
    Bind(wxEVT_TEXT, &ZorTavlinDlgPersonnaliser::OnEmailModifie, this, ID_SMTP_SERVEUR,
         ID_SMTP_CONFIRMATION);
    Bind(wxEVT_TIMER, &ZorTavlinDlgPersonnaliser::OnTimerChargement, this, ID_TIMER_CHARGEMENT);
    Bind(wxEVT_PAINT, &ZorTavlinDlgPersonnaliser::OnPaint, this);
    Bind(wxEVT_ERASE_BACKGROUND, &ZorTavlinDlgPersonnaliser::OnEraseBackground, this);
    Bind(wxEVT_CLOSE_WINDOW, &ZorTavlinDlgPersonnaliser::OnClose, this);
}

ZorTavlinDlgPersonnaliser::~ZorTavlinDlgPersonnaliser()
{
    m_timerChargement.Stop();
    m_pAttente->Hide();
    m_pAttente->Destroy();
}

// --- Controls --------------------------------------------------------------------------------

wxStaticText* ZorTavlinDlgPersonnaliser::Libelle(int iPage, const wxString& zTexte,
                                                 const wxPoint& pos, int iLargeur)
{
    auto* pLibelle =
        new wxStaticText(this, wxID_ANY, zTexte, pos, wxSize(iLargeur, 25), wxST_NO_AUTORESIZE);
    pLibelle->SetFont(wxFont(11, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_BOLD));
    pLibelle->SetForegroundColour(kOrange);
    pLibelle->SetBackgroundColour(*wxWHITE);
    // The toolkit's bold text may be wider than the place the layout gives it: widen rather
    // than clip.
    const int iBesoin = pLibelle->GetBestSize().x;
    if (iBesoin > iLargeur)
        pLibelle->SetSize(iBesoin, 25);
    pLibelle->Hide();
    m_pages[iPage].push_back(pLibelle);
    return pLibelle;
}

wxTextCtrl* ZorTavlinDlgPersonnaliser::Champ(int iPage, wxWindowID id, const wxPoint& pos,
                                             int iLargeur, long iStyle, const wxValidator& filtre)
{
    auto* pChamp = new wxTextCtrl(this, id, wxEmptyString, pos, wxSize(iLargeur, -1),
                                  iStyle | wxTE_PROCESS_ENTER, filtre);
    pChamp->Hide();
    m_pages[iPage].push_back(pChamp);
    return pChamp;
}

ZorBitmapButtonWnd* ZorTavlinDlgPersonnaliser::BoutonImage(wxWindowID id, const wxString& zNom,
                                                           const wxPoint& pos)
{
    const wxBitmap label = ZorUtile::GetPngBitmapResource("bitmap/" + zNom + ".png", 0, 0);
    auto* pBouton = new ZorBitmapButtonWnd(this, id, label, pos, label.GetSize(), 0);
    pBouton->SetBitmapSelected(ZorUtile::GetPngBitmapResource("bitmap/" + zNom + "_on.png", 0, 0));
    pBouton->SetBitmapHover(ZorUtile::GetPngBitmapResource("bitmap/" + zNom + "_s.png", 0, 0));
    return pBouton;
}

void ZorTavlinDlgPersonnaliser::CreerControles()
{
    const wxTextValidator aucun(wxFILTER_NONE);
    const wxTextValidator filtreA = FiltreListe(ZorFiltreA());
    const wxTextValidator filtreB = FiltreListe(ZorFiltreB());
    const wxTextValidator filtreC = FiltreListe(ZorFiltreC());
    const wxTextValidator chiffres(wxFILTER_DIGITS);
    const wxTextValidator ascii(wxFILTER_ASCII);

    Libelle(P::PAGE_MOT_DE_PASSE, ZOR_TR("Saisissez le mot de passe"), wxPoint(22, 100), 297);
    m_pMdp = Champ(P::PAGE_MOT_DE_PASSE, ID_MDP, wxPoint(22, 127), 297, wxTE_PASSWORD, aucun);

    Libelle(P::PAGE_PRINCIPALE, ZOR_TR("Nom"), wxPoint(22, 100), 297);
    m_pNom = Champ(P::PAGE_PRINCIPALE, ID_NOM, wxPoint(22, 127), 297, 0, filtreA);
    Libelle(P::PAGE_PRINCIPALE, ZOR_TR("Commentaire"), wxPoint(22, 170), 297);
    m_pCommentaire = Champ(P::PAGE_PRINCIPALE, ID_COMMENTAIRE, wxPoint(22, 197), 297, 0, filtreB);
    const struct
    {
        wxWindowID id;
        const wchar_t* zTexte;
        int y;
    } boutons[] = {
        {ID_CHANGER_MDP, ZOR_N("Changer le mot de passe"), 270},
        {ID_CHANGER_RESEAU, ZOR_N("Changer les paramètres réseau"), 310},
        {ID_EMAIL, ZOR_N("Configurer l'envoi d'emails"), 350},
    };
    for (const auto& b : boutons) {
        auto* pBouton =
            new wxButton(this, b.id, ZorTr(b.zTexte), wxPoint(22, b.y), wxSize(200, -1));
        // A label longer than the place given widens its button instead of being cut.
        pBouton->SetSize(std::max(200, pBouton->GetBestSize().x), -1);
        pBouton->Hide();
        m_pages[P::PAGE_PRINCIPALE].push_back(pBouton);
        if (b.id == ID_EMAIL)
            m_pBoutonEmail = pBouton;
    }

    Libelle(P::PAGE_CHANGER_MDP, ZOR_TR("Nouveau mot de passe"), wxPoint(22, 100), 297);
    m_pNouveauMdp =
        Champ(P::PAGE_CHANGER_MDP, ID_NOUVEAU_MDP, wxPoint(22, 127), 297, wxTE_PASSWORD, filtreA);
    Libelle(P::PAGE_CHANGER_MDP, ZOR_TR("Confirmation du mot de passe"), wxPoint(22, 170), 297);
    m_pConfirmationMdp = Champ(P::PAGE_CHANGER_MDP, ID_CONFIRMATION_MDP, wxPoint(22, 197), 297,
                               wxTE_PASSWORD, filtreA);

    const struct
    {
        wxWindowID id;
        const wchar_t* zTexte;
        int y;
        ZorIPctrl** ppChamp;
    } adresses[] = {
        {ID_IP, ZOR_N("Adresse IP :"), 100, &m_pIP},
        {ID_MASQUE, ZOR_N("Masque de sous-réseau :"), 150, &m_pMasque},
        {ID_PASSERELLE, ZOR_N("Passerelle :"), 200, &m_pPasserelle},
    };
    for (const auto& a : adresses) {
        Libelle(P::PAGE_RESEAU, ZorTr(a.zTexte), wxPoint(22, a.y), 200);
        *a.ppChamp = new ZorIPctrl(this, a.id, wxPoint(240, a.y));
        (*a.ppChamp)->Hide();
        m_pages[P::PAGE_RESEAU].push_back(*a.ppChamp);
    }
    Libelle(P::PAGE_RESEAU, ZOR_TR("DHCP Activé :"), wxPoint(22, 250), 200);
    m_pDHCP = new wxCheckBox(this, ID_DHCP, wxEmptyString, wxPoint(240, 250));
    m_pDHCP->Hide();
    m_pages[P::PAGE_RESEAU].push_back(m_pDHCP);

    Libelle(P::PAGE_EMAIL, ZOR_TR("Nom du serveur SMTP :"), wxPoint(22, 100), 297);
    m_pServeur = Champ(P::PAGE_EMAIL, ID_SMTP_SERVEUR, wxPoint(22, 127), 297, 0, filtreC);
    // 200 wide rather than 297: the SSL label starts at 240 on the same line.
    Libelle(P::PAGE_EMAIL, ZOR_TR("Port (couramment 25) :"), wxPoint(22, 170), 200);
    m_pPort = Champ(P::PAGE_EMAIL, ID_SMTP_PORT, wxPoint(22, 197), 60, 0, chiffres);
    Libelle(P::PAGE_EMAIL, ZOR_TR("SSL :"), wxPoint(240, 170), 200);
    m_pSSL = new wxCheckBox(this, ID_SMTP_SSL, wxEmptyString, wxPoint(240, 197));
    m_pSSL->Hide();
    m_pages[P::PAGE_EMAIL].push_back(m_pSSL);
    Libelle(P::PAGE_EMAIL, ZOR_TR("Login :"), wxPoint(22, 240), 297);
    m_pLogin = Champ(P::PAGE_EMAIL, ID_SMTP_LOGIN, wxPoint(22, 267), 150, 0, ascii);
    // 190 wide rather than 200: its neighbour on the same line starts at 220.
    Libelle(P::PAGE_EMAIL, ZOR_TR("Mot de passe :"), wxPoint(22, 310), 190);
    m_pMdpSMTP = Champ(P::PAGE_EMAIL, ID_SMTP_MDP, wxPoint(22, 337), 150, wxTE_PASSWORD, ascii);
    Libelle(P::PAGE_EMAIL, ZOR_TR("Confirmation du mot passe :"), wxPoint(220, 310), 200);
    m_pConfirmationSMTP =
        Champ(P::PAGE_EMAIL, ID_SMTP_CONFIRMATION, wxPoint(220, 337), 150, wxTE_PASSWORD, ascii);

    BoutonImage(ID_OK, wxT("ok"), wxPoint(249, 391));
    BoutonImage(ID_ANNULER, wxT("annuler"), wxPoint(308, 391));
}

void ZorTavlinDlgPersonnaliser::Remplir()
{
    m_pNom->ChangeValue(m_perso.GetNom());
    m_pCommentaire->ChangeValue(m_perso.GetCommentaire());
    RemplirMdp();
    RemplirReseau();
}

void ZorTavlinDlgPersonnaliser::RemplirMdp()
{
    m_pNouveauMdp->ChangeValue(m_perso.GetPwd());
    m_pConfirmationMdp->ChangeValue(m_perso.GetPwd());
}

void ZorTavlinDlgPersonnaliser::RemplirReseau()
{
    m_pIP->SetAdresseIP(m_perso.GetIP());
    m_pMasque->SetAdresseIP(m_perso.GetMasque());
    m_pPasserelle->SetAdresseIP(m_perso.GetPasserelle());
    m_pDHCP->SetValue(m_perso.IsDHCP());
}

void ZorTavlinDlgPersonnaliser::RemplirEmail()
{
    const P::Email& email = m_perso.GetEmail();
    m_pServeur->ChangeValue(email.zServeur);
    m_pPort->ChangeValue(email.zPort);
    m_pLogin->ChangeValue(email.zLogin);
    m_pMdpSMTP->ChangeValue(email.zPwd);
    m_pConfirmationSMTP->ChangeValue(email.zConfirmation);
    m_pSSL->SetValue(email.bSSL);
}

// --- Pages -----------------------------------------------------------------------------------

void ZorTavlinDlgPersonnaliser::AfficherPage(int iPage)
{
    for (int i = 0; i < 6; ++i)
        if (i != iPage)
            for (wxWindow* w : m_pages[i])
                w->Hide();
    for (wxWindow* w : m_pages[iPage])
        w->Show();
    ActiverAdresses();
    m_pBoutonEmail->Enable(m_perso.IsEmailCapable());
    m_pAttente->Show(iPage == P::PAGE_CHARGEMENT);
    wxTextCtrl* pPremier = iPage == P::PAGE_MOT_DE_PASSE ? m_pMdp
                           : iPage == P::PAGE_PRINCIPALE ? m_pNom
                           : iPage == P::PAGE_EMAIL      ? m_pServeur
                                                         : nullptr;
    if (pPremier)
        pPremier->SetFocus();
}

void ZorTavlinDlgPersonnaliser::ActiverAdresses()
{
    const bool bManuel = !m_pDHCP->GetValue();
    m_pIP->Enable(bManuel);
    m_pMasque->Enable(bManuel);
    m_pPasserelle->Enable(bManuel);
}

ZorPersonnalisation::Saisie ZorTavlinDlgPersonnaliser::LireSaisie() const
{
    P::Saisie s;
    s.zMotDePasse = m_pMdp->GetValue();
    s.zNom = m_pNom->GetValue();
    s.zCommentaire = m_pCommentaire->GetValue();
    s.zNouveauPwd = m_pNouveauMdp->GetValue();
    s.zConfirmation = m_pConfirmationMdp->GetValue();
    s.ip = m_pIP->GetAdresseIP();
    s.masque = m_pMasque->GetAdresseIP();
    s.passerelle = m_pPasserelle->GetAdresseIP();
    s.bDHCP = m_pDHCP->GetValue();
    s.email.zServeur = m_pServeur->GetValue();
    s.email.zPort = m_pPort->GetValue();
    s.email.zLogin = m_pLogin->GetValue();
    s.email.zPwd = m_pMdpSMTP->GetValue();
    s.email.zConfirmation = m_pConfirmationSMTP->GetValue();
    s.email.bSSL = m_pSSL->GetValue();
    return s;
}

void ZorTavlinDlgPersonnaliser::Appliquer(const ZorPersonnalisation::Reaction& r)
{
    if (r.bViderMdp) {
        m_pNouveauMdp->ChangeValue(wxEmptyString);
        m_pConfirmationMdp->ChangeValue(wxEmptyString);
    }
    if (r.bViderMdpEmail) {
        m_pMdpSMTP->ChangeValue(wxEmptyString);
        m_pConfirmationSMTP->ChangeValue(wxEmptyString);
    }
    if (r.bRemplirMdp)
        RemplirMdp();
    if (r.bRemplirReseau)
        RemplirReseau();
    if (r.bRemplirEmail)
        RemplirEmail();
    if (r.bChargement)
        m_timerChargement.StartOnce(static_cast<int>(P::kChargementPasMs));
    else
        m_timerChargement.Stop();
    if (r.iPage >= 0)
        AfficherPage(r.iPage);
    if (!r.zMessage.empty())
        wxMessageBox(r.zMessage, wxT("Tavlin"), wxOK | wxICON_ERROR, this);
    if (r.iFin != 0)
        Finir(r.iFin);
}

void ZorTavlinDlgPersonnaliser::Finir(int iCode)
{
    m_timerChargement.Stop();
    m_pAttente->Show(false);
    if (IsModal())
        EndModal(iCode);
    else {
        // Shown without a loop of its own (a test, or a caller that shows it modeless).
        SetReturnCode(iCode);
        Hide();
    }
}

// --- Events ----------------------------------------------------------------------------------

void ZorTavlinDlgPersonnaliser::OnInitDialog(wxInitDialogEvent& event)
{
    if (GetParent())
        Move(GetParent()->GetPosition());
    Appliquer(m_perso.AllerA(P::PAGE_MOT_DE_PASSE));
    event.Skip();
}

void ZorTavlinDlgPersonnaliser::OnOk(wxCommandEvent&)
{
    Appliquer(m_perso.Ok(LireSaisie()));
}

void ZorTavlinDlgPersonnaliser::OnAnnuler(wxCommandEvent&)
{
    Appliquer(m_perso.Annuler());
}

void ZorTavlinDlgPersonnaliser::OnCharHook(wxKeyEvent& event)
{
    // Escape as the page's annuler, as Enter is its ok; the toolkit would look for a standard
    // cancel button, which this dialog draws itself.
    if (event.GetKeyCode() == WXK_ESCAPE)
        Appliquer(m_perso.Annuler());
    else
        event.Skip();
}

void ZorTavlinDlgPersonnaliser::OnChangerMdp(wxCommandEvent&)
{
    Appliquer(m_perso.AllerA(P::PAGE_CHANGER_MDP));
}

void ZorTavlinDlgPersonnaliser::OnChangerReseau(wxCommandEvent&)
{
    Appliquer(m_perso.AllerA(P::PAGE_RESEAU));
}

void ZorTavlinDlgPersonnaliser::OnEmail(wxCommandEvent&)
{
    Appliquer(m_perso.ChargerEmail());
}

void ZorTavlinDlgPersonnaliser::OnEmailModifie(wxCommandEvent&)
{
    m_perso.MarquerEmailModifie();
}

void ZorTavlinDlgPersonnaliser::OnDHCP(wxCommandEvent&)
{
    ActiverAdresses();
}

void ZorTavlinDlgPersonnaliser::OnTimerChargement(wxTimerEvent&)
{
    Appliquer(m_perso.TickChargement());
}

void ZorTavlinDlgPersonnaliser::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    if (m_fond.IsOk())
        dc.DrawBitmap(m_fond, 0, 0, false);
}

void ZorTavlinDlgPersonnaliser::OnEraseBackground(wxEraseEvent&) {}

void ZorTavlinDlgPersonnaliser::OnClose(wxCloseEvent&)
{
    // Finir also stops a loading in progress and hides its wait box.
    Appliquer(m_perso.Fermer());
}
