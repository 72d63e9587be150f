#include "ui/ZorTavlinDlgAfficherListe.h"

#include "device/ZorTavlinCommandes.h"
#include "device/ZorTavlinObj.h"
#include "infra/ZorUtile.h"
#include "network/ZorAdresseIP.h"
#include "ui/ZorBitmapButtonWnd.h"
#include "ui/ZorInfoCarteEthDlg.h"
#include "ui/ZorTavlinAttenteWnd.h"
#include "ui/ZorTavlinDlgPersonnaliser.h"
#include "ui/ZorWaitForTavlinDlg.h"
#include "infra/ZorTraduction.h"

#include <wx/dcclient.h>
#include <wx/icon.h>
#include <wx/image.h>
#include <wx/listctrl.h>
#include <wx/msgdlg.h>
#include <wx/stattext.h>
#include <wx/textdlg.h>

namespace {

const wchar_t* const kTitre = ZOR_N("Gestionnaire Tavlin v%s");
const wchar_t* const kVerification = ZOR_N(
    "Merci de patienter pendant le gestionnaire vérifie si votre Tavlin est bien accessible à "
    "travers le réseau...");
const wchar_t* const kRecherche = ZOR_N("Merci de patienter pendant la recherche de la Tavlin...");
const wchar_t* const kSelectionnez = ZOR_N("Vous devez sélectionner une Tavlin dans la liste.");
const wchar_t* const kMiseAJourRequise = ZOR_N(
    "La Tavlin doit être mise à jour. \n\nLes câbles d'alimentation et de connexion au réseau "
    "de la Tavlin ne doivent pas être débranchés pendant cette opération.");
const wchar_t* const kSansReponse = ZOR_N(
    "Le gestionnaire ne semble pas pouvoir communiquer normalement avec votre Tavlin.\n\nEn cas "
    "de problèmes, veuillez vérifier la configuration réseau de votre ordinateur (antivirus, "
    "pare-feu, ...) ou contacter le Support Technique Tavlin.");
const wchar_t* const kInaccessible =
    ZOR_N("Cette Tavlin n'est pas accessible par cet ordinateur.\n\nVoulez-vous modifier sa "
          "configuration ?");
const wchar_t* const kSaisirMotDePasse = ZOR_N("Saisissez le mot de passe de cette Tavlin.");
const wchar_t* const kMotDePasseIncorrect = ZOR_N("Le mot de passe saisi est incorrect.");
const wchar_t* const kConfiguration =
    ZOR_N("Configuration de votre Tavlin.\nVeuillez patienter ...");
const wchar_t* const kConfigurationSansTest = ZOR_N(
    "La configuration de votre Tavlin n'a pas été modifiée : cet ordinateur ne peut pas vérifier "
    "qu'une adresse est libre sur le réseau (le test par écho ICMP n'est pas autorisé).\n\n"
    "Veuillez contacter votre administrateur réseau ou le Support Technique Tavlin.");
const wchar_t* const kConfigurationSansAdresse =
    ZOR_N("La configuration de votre Tavlin n'a pas été modifiée : aucune adresse libre n'a été "
          "trouvée sur le réseau de cet ordinateur.");
const wchar_t* const kTestEnCours =
    ZOR_N("Test en cours ...\n(le voyant de couleur orange clignote)");
const wchar_t* const kRedemarrage = ZOR_N("Redémarrage de votre Tavlin.\nVeuillez patienter ...");

// Waits of the animation window, and the timers' spacings.
constexpr int kAttenteConfigurationMs = 30000;
constexpr int kAttenteTestMs = 10000;
constexpr int kAttenteRedemarrageMs = 20000;
constexpr int kPasAttenteMs = 500;
constexpr int kPasValidationMs = 100;
// The check wait box shows at this tick; the choice stands after the last (about 6 s).
constexpr int kTickAttenteVerification = 4;
constexpr int kTicksValidationMax = 60;

const wxColour kOrange(255, 128, 0);
const wxColour kRougeHorsReseau(250, 25, 0);

// Twenty-five pixels moved from the name to the address, so that the longest address fits
// whole in bold (a device seen through two cards).
const int kLargeurs[ZOR_LISTE_NB_COLONNES] = {110, 130, 251, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const wchar_t* const kEntetes[ZOR_LISTE_NB_COLONNES] = {ZOR_N("Nom"),
                                                        ZOR_N("Adresse IP"),
                                                        ZOR_N("Commentaire"),
                                                        L" ",
                                                        L" ",
                                                        L" ",
                                                        L" ",
                                                        L" ",
                                                        L" ",
                                                        L" ",
                                                        L" ",
                                                        L" ",
                                                        L" ",
                                                        L"MultipleCarte"};

wxBitmap Image(const wxString& zNom)
{
    return ZorUtile::GetPngBitmapResource(wxT("bitmap/") + zNom, 0, 0);
}

} // namespace

ZorTavlinDlgAfficherListe::ZorTavlinDlgAfficherListe(ZorTavlinObj& tavlin,
                                                     const wxString& zMACAPreselectionner)
    : wxDialog(nullptr, wxID_ANY, wxString::Format(ZorTr(kTitre), ZOR_TAVLIN_VERSION),
               wxDefaultPosition, wxSize(520, 450), wxDEFAULT_DIALOG_STYLE),
      m_zMACAPreselectionner(zMACAPreselectionner), m_images(16, 16, true), m_tavlin(tavlin),
      m_maj(&tavlin), m_sequence(*this)
{
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    if (!wxImage::FindHandler(wxBITMAP_TYPE_ICO))
        wxImage::AddHandler(new wxICOHandler);
    const wxString zIcone = ZorUtile::GetFullPath(wxT("Tavlin.ico"));
    if (wxFileExists(zIcone)) {
        wxIcon icone;
        if (icone.LoadFile(zIcone, wxBITMAP_TYPE_ICO))
            SetIcon(icone);
    }
    m_fond = Image(wxT("fond.png"));
    m_texteMaj = Image(wxT("texte_maj.png"));
    m_texteWarning = Image(wxT("texte_warning.png"));
    m_tester1 = Image(wxT("tester1.png"));
    m_tester2 = Image(wxT("tester2.png"));
    m_personnaliser1 = Image(wxT("personnaliser1.png"));
    m_personnaliser2 = Image(wxT("personnaliser2.png"));
    if (m_fond.IsOk())
        SetClientSize(m_fond.GetSize());
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    for (const wxChar* zIcone16 :
         {wxT("ok-small.png"), wxT("maj-small.png"), wxT("warning-small.png")}) {
        const wxBitmap icone =
            ZorUtile::GetPngBitmapResource(wxString(wxT("bitmap/")) + zIcone16, 16, 16);
        m_images.Add(icone.IsOk() ? icone : wxBitmap(16, 16));
    }
    m_pDlgVerification = new ZorWaitForTavlinDlg(nullptr, ZorTr(kVerification));
    m_pDlgRecherche = new ZorWaitForTavlinDlg(nullptr, ZorTr(kRecherche));

    Bind(wxEVT_INIT_DIALOG, &ZorTavlinDlgAfficherListe::OnInitDialog, this);
    Bind(wxEVT_COMMAND_BUTTON_CLICKED, &ZorTavlinDlgAfficherListe::OnBouton, this);
    Bind(wxEVT_PAINT, &ZorTavlinDlgAfficherListe::OnPaint, this);
    Bind(wxEVT_ERASE_BACKGROUND, &ZorTavlinDlgAfficherListe::OnEraseBackground, this);
    Bind(wxEVT_LEFT_DCLICK, &ZorTavlinDlgAfficherListe::OnDoubleClic, this);
    Bind(wxEVT_CLOSE_WINDOW, &ZorTavlinDlgAfficherListe::OnClose, this);
    // The timers have no owner: a timer with one sends its ticks to the owner, and these
    // handlers are bound on the timers themselves.
    m_timerAttente.Bind(wxEVT_TIMER, &ZorTavlinDlgAfficherListe::OnTimerAttente, this);
    m_timerValidation.Bind(wxEVT_TIMER, &ZorTavlinDlgAfficherListe::OnTimerValidation, this);
    m_timerMiseAJour.Bind(wxEVT_TIMER, &ZorTavlinDlgAfficherListe::OnTimerMiseAJour, this);
    Bind(wxEventTypeTag<wxCommandEvent>(ZOR_EVT_TAVLIN_ADD),
         &ZorTavlinDlgAfficherListe::OnTavlinAjout, this);
    Bind(wxEventTypeTag<wxCommandEvent>(ZOR_EVT_TAVLIN_REMOVE),
         &ZorTavlinDlgAfficherListe::OnTavlinRetrait, this);
    Bind(wxEventTypeTag<wxCommandEvent>(ZOR_EVT_TAVLIN_CONFIGURE),
         &ZorTavlinDlgAfficherListe::OnTavlinConfigure, this);
    Bind(wxEventTypeTag<wxCommandEvent>(ZOR_EVT_TAVLIN_CONFIGURE_ECHEC),
         &ZorTavlinDlgAfficherListe::OnTavlinConfigureEchec, this);
    Bind(wxEventTypeTag<wxCommandEvent>(ZOR_EVT_TAVLIN_ETAT),
         &ZorTavlinDlgAfficherListe::OnTavlinEtat, this);
}

ZorTavlinDlgAfficherListe::~ZorTavlinDlgAfficherListe()
{
    // Whatever ended the dialog, nothing of it runs on: no timer, no sequence, no observer.
    m_timerAttente.Stop();
    m_timerValidation.Stop();
    m_bValidation = false;
    m_timerMiseAJour.Stop();
    m_sequence.Arreter();
    if (m_bObservateur)
        m_tavlin.RemoveObserver(this);
    m_pDlgVerification->Destroy();
    m_pDlgRecherche->Destroy();
}

void ZorTavlinDlgAfficherListe::OnInitDialog(wxInitDialogEvent& event)
{
    event.Skip();
    if (m_pListe)
        return; // shown again: the controls exist
    Centre(wxBOTH);
    CreerControles();
    m_bObservateur = true;
    m_tavlin.AddObserver(this);
}

void ZorTavlinDlgAfficherListe::CreerControles()
{
    m_pTitre = new wxStaticText(this, wxID_ANY,
                                ZOR_TR("Sélectionnez dans la liste ci-dessous votre Tavlin"),
                                wxPoint(26, 52), wxSize(350, 30));
    m_pTitre->SetFont(wxFont(11, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_BOLD));
    m_pTitre->SetForegroundColour(kOrange);
    m_pTitre->Hide();
    m_pCompteur = new wxStaticText(this, wxID_ANY, wxEmptyString, wxPoint(10, 35),
                                   wxSize(GetClientSize().GetWidth() - 10, 30));
    m_pCompteur->Hide();

    m_pListe = new wxListCtrl(this, ID_LISTE, wxPoint(14, 114), wxSize(491, 272),
                              wxLC_REPORT | wxLC_NO_HEADER | wxLC_SINGLE_SEL | wxBORDER_NONE);
    m_pListe->SetImageList(&m_images, wxIMAGE_LIST_SMALL);
    for (int i = 0; i < ZOR_LISTE_NB_COLONNES; ++i)
        m_pListe->InsertColumn(i, ZorTr(kEntetes[i]), wxLIST_FORMAT_LEFT, kLargeurs[i]);
    m_pListe->Bind(wxEVT_LIST_ITEM_SELECTED, &ZorTavlinDlgAfficherListe::OnSelection, this);
    m_pListe->Bind(wxEVT_LIST_ITEM_DESELECTED, &ZorTavlinDlgAfficherListe::OnSelection, this);
    m_pListe->Bind(wxEVT_LIST_ITEM_ACTIVATED, &ZorTavlinDlgAfficherListe::OnActivation, this);
    m_pListe->Bind(wxEVT_LIST_COL_BEGIN_DRAG, &ZorTavlinDlgAfficherListe::OnColonne, this);
    m_pListe->Bind(wxEVT_LIST_COL_CLICK, &ZorTavlinDlgAfficherListe::OnColonne, this);

    struct Bouton
    {
        ZorBitmapButtonWnd** pp;
        int id;
        const wxChar* nom;
        int x;
    } boutons[] = {
        {&m_pOk, ID_OK, wxT("ok"), 249},
        {&m_pMaj, ID_MAJ, wxT("maj"), 249},
        {&m_pWarning, ID_WARNING, wxT("warning"), 249},
        {&m_pAnnuler, ID_ANNULER, wxT("annuler"), 308},
        {&m_pPersonnaliser, ID_PERSONNALISER, wxT("personnaliser"), 367},
        {&m_pTester, ID_TESTER, wxT("tester"), 426},
    };
    for (const Bouton& b : boutons) {
        const wxString zNom(b.nom);
        const wxBitmap label = Image(zNom + wxT(".png"));
        *b.pp = new ZorBitmapButtonWnd(this, b.id, label, wxPoint(b.x, 391), label.GetSize(), 0);
        (*b.pp)->SetBitmapSelected(Image(zNom + wxT("_on.png")));
        (*b.pp)->SetBitmapHover(Image(zNom + wxT("_s.png")));
    }
    m_pMaj->Hide();
    m_pWarning->Hide();

    m_pAttente = new ZorTavlinAttenteWnd(m_pListe, ID_ATTENTE, wxPoint(48, 31), wxSize(415, 115));
    m_pAttente->Hide();
}

ZorBitmapButtonWnd* ZorTavlinDlgAfficherListe::GetBouton(int iId) const
{
    switch (iId) {
    case ID_OK:
        return m_pOk;
    case ID_MAJ:
        return m_pMaj;
    case ID_WARNING:
        return m_pWarning;
    case ID_ANNULER:
        return m_pAnnuler;
    case ID_PERSONNALISER:
        return m_pPersonnaliser;
    case ID_TESTER:
        return m_pTester;
    default:
        return nullptr;
    }
}

wxString ZorTavlinDlgAfficherListe::GetCompteur() const
{
    return m_pCompteur ? m_pCompteur->GetLabel() : wxString();
}

// --- The list --------------------------------------------------------------------------------

ZorColonnesListe ZorTavlinDlgAfficherListe::ColonnesDeLigne(long iLigne) const
{
    ZorColonnesListe colonnes;
    for (int c = 0; c < ZOR_LISTE_NB_COLONNES; ++c)
        colonnes[size_t(c)] = m_pListe->GetItemText(iLigne, c);
    return colonnes;
}

void ZorTavlinDlgAfficherListe::AppliquerLigne(long iLigne, const ZorLigneListe& ligne)
{
    for (int c = 0; c < ZOR_LISTE_NB_COLONNES; ++c)
        m_pListe->SetItem(iLigne, c, ligne.colonnes[size_t(c)]);
    m_pListe->SetItemImage(iLigne, ligne.iImage);
    m_pListe->SetItemTextColour(iLigne, ligne.bHorsReseau ? kRougeHorsReseau : *wxBLACK);
    wxFont police = m_pListe->GetFont();
    if (ligne.bGras)
        police.SetWeight(wxFONTWEIGHT_BOLD);
    m_pListe->SetItemFont(iLigne, police);
}

void ZorTavlinDlgAfficherListe::MettreAJourListe()
{
    if (!m_pListe)
        return;
    ZorTavlinInfoArray devices;
    m_tavlin.GetLesTavlin(devices);
    std::vector<ZorColonnesListe> actuelles;
    const long iLignes = m_pListe->GetItemCount();
    actuelles.reserve(size_t(iLignes));
    for (long i = 0; i < iLignes; ++i)
        actuelles.push_back(ColonnesDeLigne(i));
    // One look at the update folders per refresh, not one per row written.
    const ZorTestAJour bAJour = m_maj.TestAJour();
    const ZorPlanListe plan = ZorPlanifierListe(actuelles, devices, m_zMACAPreselectionner, bAJour);

    m_iLignesEcrites = plan.ecritures.size();
    for (const ZorPlanListe::Ecriture& e : plan.ecritures) {
        long iLigne = e.iLigne;
        if (e.bAjout)
            iLigne = m_pListe->InsertItem(m_pListe->GetItemCount(), e.ligne.colonnes[0]);
        AppliquerLigne(iLigne, e.ligne);
    }
    for (int iLigne : plan.suppressions)
        m_pListe->DeleteItem(iLigne);
    if (plan.iLigneAPreselectionner >= 0) {
        m_bSelectionParProgramme = true;
        m_pListe->SetItemState(plan.iLigneAPreselectionner,
                               wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                               wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
        m_pListe->EnsureVisible(plan.iLigneAPreselectionner);
        m_bSelectionParProgramme = false;
    }
    m_pCompteur->SetLabel(plan.zCompteur);
    // A row rewritten under the selection (a device just updated) or deleted with it sends no
    // selection event: the validation button and its overlay follow the selected row here.
    if (!plan.ecritures.empty() || !plan.suppressions.empty())
        AfficherBoutonValidation(ImageSelectionnee());
}

long ZorTavlinDlgAfficherListe::LigneSelectionnee() const
{
    return m_pListe ? m_pListe->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED) : -1;
}

void ZorTavlinDlgAfficherListe::AfficherBoutonValidation(int iImage)
{
    m_pOk->Show(iImage != ZOR_ICONE_MAJ && iImage != ZOR_ICONE_ALERTE);
    m_pMaj->Show(iImage == ZOR_ICONE_MAJ);
    m_pWarning->Show(iImage == ZOR_ICONE_ALERTE);
    m_bTexteMaj = iImage == ZOR_ICONE_MAJ;
    m_bTexteWarning = iImage == ZOR_ICONE_ALERTE;
    Refresh();
}

int ZorTavlinDlgAfficherListe::ImageSelectionnee() const
{
    const long iLigne = LigneSelectionnee();
    if (iLigne < 0)
        return -1;
    wxListItem item;
    item.SetId(iLigne);
    item.SetMask(wxLIST_MASK_IMAGE);
    return m_pListe->GetItem(item) ? item.GetImage() : -1;
}

void ZorTavlinDlgAfficherListe::OnSelection(wxListEvent& event)
{
    if (!m_bSelectionParProgramme)
        m_zMACAPreselectionner.clear();
    AfficherBoutonValidation(ImageSelectionnee());
    event.Skip();
}

void ZorTavlinDlgAfficherListe::OnActivation(wxListEvent&)
{
    DoValider();
}

void ZorTavlinDlgAfficherListe::OnColonne(wxListEvent& event)
{
    event.Veto();
}

// --- Events of the device manager ------------------------------------------------------------

void ZorTavlinDlgAfficherListe::OnTavlinAjout(wxCommandEvent&)
{
    MettreAJourListe();
    if (m_pAttente && m_pAttente->IsShown())
        CacherAttente();
}

void ZorTavlinDlgAfficherListe::OnTavlinRetrait(wxCommandEvent&)
{
    MettreAJourListe();
}

void ZorTavlinDlgAfficherListe::OnTavlinConfigure(wxCommandEvent&)
{
    AfficherAttente(m_personnaliser1, m_personnaliser2, ZorTr(kConfiguration),
                    kAttenteConfigurationMs);
}

void ZorTavlinDlgAfficherListe::OnTavlinConfigureEchec(wxCommandEvent&)
{
    // Only the configuration this dialog asked for is reported: the automatic ones would
    // otherwise bring a box at every answer of a device outside the network.
    ZorIssueAdresse eIssue = ZorIssueAdresse::Trouvee;
    if (m_zMACConfiguration.empty() ||
        !m_tavlin.EchecConfigurationAdresse(m_zMACConfiguration, &eIssue))
        return;
    m_zMACConfiguration.clear();
    CacherAttente();
    // Told from the network object's timer: the box waits until that has returned.
    const wxString zTexte = eIssue == ZorIssueAdresse::TestImpossible
                                ? ZorTr(kConfigurationSansTest)
                                : ZorTr(kConfigurationSansAdresse);
    CallAfter([this, zTexte] { Message(zTexte, wxOK | wxICON_ERROR); });
}

// --- Drawing ---------------------------------------------------------------------------------

void ZorTavlinDlgAfficherListe::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    if (m_fond.IsOk())
        dc.DrawBitmap(m_fond, 0, 0, false);
    if (m_bTexteWarning && m_texteWarning.IsOk())
        dc.DrawBitmap(m_texteWarning, 246, 434, true);
    else if (m_bTexteMaj && m_texteMaj.IsOk())
        dc.DrawBitmap(m_texteMaj, 240, 434, true);
}

void ZorTavlinDlgAfficherListe::OnEraseBackground(wxEraseEvent&) {}

void ZorTavlinDlgAfficherListe::OnDoubleClic(wxMouseEvent& event)
{
    if (!ZoneCartes().Contains(event.GetPosition()))
        return;
    ZorInfoCarteEthDlg dlg(m_tavlin, this);
    dlg.ShowModal();
}

// --- Buttons and actions ---------------------------------------------------------------------

void ZorTavlinDlgAfficherListe::OnBouton(wxCommandEvent& event)
{
    switch (event.GetId()) {
    case ID_OK:
    case ID_MAJ:
    case ID_WARNING:
        DoValider();
        break;
    case ID_ANNULER:
        Terminer(wxID_CANCEL);
        break;
    case ID_PERSONNALISER:
        if (!m_pAttente->IsShown())
            DoPersonnaliser();
        break;
    case ID_TESTER:
        if (!m_pAttente->IsShown())
            DoTester();
        break;
    default:
        event.Skip();
        break;
    }
}

int ZorTavlinDlgAfficherListe::Message(const wxString& zTexte, long iStyle)
{
    wxMessageDialog dlg(this, zTexte, wxT("Tavlin"), iStyle);
    return dlg.ShowModal();
}

void ZorTavlinDlgAfficherListe::Terminer(int iCode)
{
    m_timerAttente.Stop();
    m_timerValidation.Stop();
    m_timerMiseAJour.Stop();
    m_sequence.Arreter();
    m_pDlgVerification->Show(false);
    if (m_bObservateur)
        m_tavlin.RemoveObserver(this);
    m_bObservateur = false;
    if (!IsEnabled())
        Enable();
    if (IsModal())
        EndModal(iCode);
    else
        SetReturnCode(iCode);
}

bool ZorTavlinDlgAfficherListe::DeviceAccessible(ZorColonnesListe* pColonnes)
{
    const long iLigne = LigneSelectionnee();
    const ZorColonnesListe colonnes = iLigne >= 0 ? ColonnesDeLigne(iLigne) : ZorColonnesListe();
    if (colonnes[ZOR_LISTE_COL_MAC].empty()) {
        Message(ZorTr(kSelectionnez), wxOK | wxICON_INFORMATION);
        return false;
    }
    if (!ZorTavlinInfo::SurReseauDuPC(colonnes[1], colonnes[9], colonnes[10])) {
        DoConfigurer(colonnes);
        return false;
    }
    *pColonnes = colonnes;
    return true;
}

void ZorTavlinDlgAfficherListe::DoValider()
{
    ZorColonnesListe colonnes;
    if (!DeviceAccessible(&colonnes))
        return;
    m_choisie = ZorInfoDepuisColonnes(colonnes);
    wxString zDossier;
    if (m_maj.VerifierVersion(m_choisie.m_zVersion, &zDossier)) {
        m_iEtatAttendu = m_tavlin.DemanderEtatFrais(m_choisie.m_zMAC, true);
        Disable();
        m_bValidation = true;
        m_iTicksValidation = 0;
        m_timerValidation.StartOnce(kPasValidationMs);
        return;
    }
    Message(ZorTr(kMiseAJourRequise), wxOK | wxICON_WARNING);
    LancerMiseAJour(zDossier, m_choisie.m_zIP, m_choisie.m_zIPLocal, m_choisie.m_zMAC, true);
}

// The chosen device answered: the choice is made.
void ZorTavlinDlgAfficherListe::OnTavlinEtat(wxCommandEvent&)
{
    if (!m_bValidation || !IsNewEtat())
        return;
    m_bValidation = false;
    m_pDlgVerification->Show(false);
    Terminer(wxID_OK);
}

// The wait for the chosen device's answer: the check box after a while, then the give-up.
void ZorTavlinDlgAfficherListe::OnTimerValidation(wxTimerEvent&)
{
    if (!m_bValidation)
        return;
    if (m_iTicksValidation <= kTicksValidationMax) {
        if (m_iTicksValidation == kTickAttenteVerification)
            m_pDlgVerification->Show(true);
        ++m_iTicksValidation;
        m_timerValidation.StartOnce(kPasValidationMs);
        return;
    }
    m_bValidation = false;
    m_pDlgVerification->Show(false);
    Enable();
    Message(ZorTr(kSansReponse), wxOK | wxICON_WARNING);
    // The choice stands: the device may simply be slow.
    Terminer(wxID_OK);
}

void ZorTavlinDlgAfficherListe::DoConfigurer(const ZorColonnesListe& colonnes)
{
    if (Message(ZorTr(kInaccessible), wxYES_NO | wxCANCEL) != wxID_YES)
        return;
    const wxString zSaisie =
        wxGetPasswordFromUser(ZorTr(kSaisirMotDePasse), wxT("Tavlin"), wxEmptyString, this);
    if (zSaisie != colonnes[5]) {
        Message(ZorTr(kMotDePasseIncorrect), wxOK | wxICON_WARNING);
        return;
    }
    m_zMACConfiguration = colonnes[3];
    m_tavlin.ConfigureAdresseTavlin(colonnes[3], colonnes[4], colonnes[5], colonnes[9],
                                    colonnes[10], colonnes[11]);
}

void ZorTavlinDlgAfficherListe::DoTester()
{
    ZorColonnesListe colonnes;
    if (!DeviceAccessible(&colonnes))
        return;
    m_tavlin.BlinkByIp(colonnes[1], colonnes[9], true);
    AfficherAttente(m_tester1, m_tester2, ZorTr(kTestEnCours), kAttenteTestMs);
}

void ZorTavlinDlgAfficherListe::DoPersonnaliser()
{
    ZorColonnesListe c;
    if (!DeviceAccessible(&c))
        return;
    const bool bDHCP = c[8] == wxT("1");
    ZorTavlinDlgPersonnaliser dlg(&m_tavlin, this, c[0], c[2], c[5], c[3], ZorAdresseIP(c[1]),
                                  ZorAdresseIP(c[9]), ZorAdresseIP(c[6]), ZorAdresseIP(c[7]), bDHCP,
                                  c[12]);
    if (dlg.ShowModal() != wxID_OK)
        return;
    const wxString zNom = dlg.GetNom();
    const wxString zCommentaire = dlg.GetCommentaire();
    const wxString zPwd = dlg.GetPwd();
    const wxString zIP = dlg.GetIP();
    const wxString zMasque = dlg.GetMasque();
    const wxString zPasserelle = dlg.GetPasserelle();
    const bool bNouveauDHCP = dlg.IsDHCP();
    // The entries take no ";", but the login and password come from the device's answer.
    for (const wxString& z : {c[4], c[5]}) {
        wxString zRaison;
        if (!ZorEncoderTexte(z, true, nullptr, &zRaison)) {
            Message(ZOR_TR("Identifiant de la Tavlin refusé : ") + zRaison + wxT("."),
                    wxOK | wxICON_ERROR);
            return;
        }
    }
    if (zNom == c[0] && zCommentaire == c[2] && zPwd == c[5]) {
        if (zIP == c[1] && zMasque == c[6] && zPasserelle == c[7] && bNouveauDHCP == bDHCP)
            return;
        m_tavlin.SetNewConfigNetworkByIp(c[1], c[9], c[4], c[5], zIP, zMasque, zPasserelle,
                                         bNouveauDHCP, true);
        AfficherAttente(m_personnaliser1, m_personnaliser2, ZorTr(kRedemarrage),
                        kAttenteRedemarrageMs);
        return;
    }
    m_tavlin.PersonnaliserByIp(c[1], c[9], zNom, zCommentaire, c[4], c[5], zPwd, true);
    if (zNom != c[0])
        AfficherAttente(m_personnaliser1, m_personnaliser2, ZorTr(kRedemarrage),
                        kAttenteRedemarrageMs);
}

// --- The animation window --------------------------------------------------------------------

void ZorTavlinDlgAfficherListe::AfficherAttente(const wxBitmap& a, const wxBitmap& b,
                                                const wxString& zTexte, int iDelaiMs)
{
    if (!m_pAttente)
        return;
    m_iAttenteEcouleMs = 0;
    m_iAttenteDelaiMs = iDelaiMs;
    m_pAttente->SetBitmaps(a, b);
    m_pAttente->SetTexte(zTexte);
    m_pAttente->Show();
    m_pAttente->Raise();
    m_timerAttente.StartOnce(kPasAttenteMs);
}

void ZorTavlinDlgAfficherListe::CacherAttente()
{
    m_timerAttente.Stop();
    m_pAttente->Hide();
}

void ZorTavlinDlgAfficherListe::OnTimerAttente(wxTimerEvent&)
{
    m_iAttenteEcouleMs += kPasAttenteMs;
    if (m_iAttenteEcouleMs < m_iAttenteDelaiMs) {
        m_pAttente->AnimationSuivante();
        m_timerAttente.StartOnce(kPasAttenteMs);
    } else {
        m_pAttente->Hide();
    }
}

// --- Update sequence -------------------------------------------------------------------------

void ZorTavlinDlgAfficherListe::LancerMiseAJour(const wxString& zDossier, const wxString& zIP,
                                                const wxString& zIPLocal, const wxString& zMAC,
                                                bool bDemanderAcces)
{
    // The manual procedure does not know which device will answer, nor its version.
    m_maj.SetVersionAvant(zIP.empty() ? wxString() : m_choisie.m_zVersion);
    const int iDelai = m_sequence.Lancer(zDossier, zIP, zIPLocal, zMAC, bDemanderAcces);
    m_timerMiseAJour.StartOnce(iDelai);
}

void ZorTavlinDlgAfficherListe::OnTimerMiseAJour(wxTimerEvent&)
{
    const int iDelai = m_sequence.Tick();
    // The sequence may have ended the dialog (access to the updated device).
    if (iDelai >= 0 && m_sequence.IsEnCours())
        m_timerMiseAJour.StartOnce(iDelai);
}

void ZorTavlinDlgAfficherListe::DemanderEtatFrais(const wxString& zMAC)
{
    m_iEtatAttendu = m_tavlin.DemanderEtatFrais(zMAC, true);
}

bool ZorTavlinDlgAfficherListe::IsNewEtat()
{
    return m_tavlin.GetSequenceEtat() > m_iEtatAttendu;
}

bool ZorTavlinDlgAfficherListe::EnvoyerBootloader(const wxString& zDossier, const wxString& zIP,
                                                  const wxString& zMAC, wxString* pzIdentifiant)
{
    return m_maj.EnvoyerBootloader(zDossier, zIP, zMAC, pzIdentifiant);
}

bool ZorTavlinDlgAfficherListe::RechercherTavlin(const wxString& zIdentifiant, wxString* pzIP,
                                                 wxString* pzIPLocal, wxString* pzMAC,
                                                 ZorTavlinInfo* pInfo)
{
    return m_maj.RechercherTavlin(zIdentifiant, pzIP, pzIPLocal, pzMAC, pInfo);
}

bool ZorTavlinDlgAfficherListe::EnvoyerFichiers(const wxString& zDossier, const wxString& zIP,
                                                const wxString& zIPLocal)
{
    return m_maj.EnvoyerFichiers(zDossier, zIP, zIPLocal);
}

bool ZorTavlinDlgAfficherListe::ReinitialiserTavlin(const wxString& zIP, const wxString& zIPLocal,
                                                    const ZorTavlinInfo& info)
{
    return m_maj.ReinitialiserTavlin(zIP, zIPLocal, info);
}

void ZorTavlinDlgAfficherListe::AfficherAttenteVerification(bool bVisible)
{
    m_pDlgVerification->Show(bVisible);
}

void ZorTavlinDlgAfficherListe::AfficherAttenteRecherche(bool bVisible)
{
    m_pDlgRecherche->Show(bVisible);
}

void ZorTavlinDlgAfficherListe::AccederMaintenant()
{
    Terminer(wxID_OK);
}

void ZorTavlinDlgAfficherListe::OnClose(wxCloseEvent&)
{
    Terminer(wxID_CANCEL);
}
