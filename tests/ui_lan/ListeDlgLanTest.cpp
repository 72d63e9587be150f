// The device list dialog against emulated devices in the two-subnet test network, driven by
// real clicks: rows of each kind, the choice of a device (and the settings it leaves), a silent
// device, the reconfiguration of a device outside the network, test and customisation, and the
// update sequence to its automatic and manual ends. Message boxes and password prompts are
// answered by a script that compares their whole text; every other modal dialog (the transfer
// boxes, the customisation and network card dialogs) runs for real.
#include "tests/ui/kit/ZorUiKit.h"
#include "tests/ui_lan/PersonnaliserDlgKit.h"

#include "device/ZorTavlinObj.h"
#include "infra/ZorTraduction.h"
#include "infra/ZorUtile.h"
#include "tests/common/ZorEmu.h"
#include "tests/common/ZorTestSupport.h"
#include "tests/firmware/ZorDossierMAJ.h"
#include "ui/ZorBitmapButtonWnd.h"
#include "ui/ZorInfoCarteEthDlg.h"
#include "ui/ZorTavlinAttenteWnd.h"
#include "ui/ZorTavlinDlgAfficherListe.h"
#include "ui/ZorWaitForTavlinDlg.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/listctrl.h>
#include <wx/msgdlg.h>
#include <wx/stattext.h>
#include <wx/stdpaths.h>
#include <wx/textdlg.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <iostream>
#include <sstream>

namespace {

using Dlg = ZorTavlinDlgAfficherListe;

wxString U(const char* z)
{
    return wxString::FromUTF8(z);
}

// A text as the user reads it in the test's language (the French source text, or the catalogue's).
wxString T(const char* z)
{
    return ZorTr(U(z));
}

const char* const kMajRequise =
    "La Tavlin doit être mise à jour. \n\nLes câbles d'alimentation et de connexion au réseau de "
    "la Tavlin ne doivent pas être débranchés pendant cette opération.";
const char* const kTermineeAcces =
    "La mise à jour est terminée.\n\nSouhaitez-vous accéder maintenant à la Tavlin ?";
const char* const kTerminee = "La mise à jour est terminée.";
const char* const kEchecAuto = "La mise à jour a échoué, la Tavlin doit être mise à jour "
                               "manuellement.\n\nVeuillez suivre les consignes.";
const char* const kInstructions =
    "Merci de suivre les instructions suivantes :\n\n1/ Débranchez l'alimentation de la "
    "Tavlin.\n2/ Cliquez sur Ok.\n3/ Rebranchez-la immédiatement.";
const char* const kEchecManuel = "La mise à jour manuelle a échoué.\n\nSouhaitez-vous réessayer ?";

// A prompt shows its message as static texts, one per line.
wxString TexteDuPrompt(const wxWindow* pPrompt)
{
    wxString zTexte;
    for (const wxWindow* w : pPrompt->GetChildren()) {
        if (const auto* t = dynamic_cast<const wxStaticText*>(w))
            zTexte += (zTexte.empty() ? wxString() : wxString("\n")) + t->GetLabel();
        else
            zTexte += TexteDuPrompt(w);
    }
    return zTexte;
}

// The settings files under the test's home that hold a text.
std::string ReglagesContenant(const std::string& zTexte)
{
    std::string zTrouves;
    for (const auto& e : std::filesystem::recursive_directory_iterator(std::getenv("HOME"))) {
        if (!e.is_regular_file())
            continue;
        const std::string zContenu = zortest::ReadFile(e.path().string());
        if (zContenu.find(zTexte) != std::string::npos)
            zTrouves += zContenu;
    }
    return zTrouves;
}

// Answers message boxes and password prompts in order, each compared whole; the dialog behind
// is photographed when the answer is given a name. Other modal dialogs show for real, and the
// test's action for them runs inside their own loop.
class Reponses : public wxModalDialogHook
{
public:
    explicit Reponses(const wxWindow* pFond) : m_pFond(pFond) { Register(); }
    ~Reponses() override
    {
        Unregister();
        for (const Attendu& a : m_attendus)
            ADD_FAILURE() << "message never shown: " << a.zTexte;
    }
    // The next box must say exactly zTexte; it gets iReponse (a prompt also zSaisie); the
    // action, when given, runs first (e.g. the device restarted as the user was told).
    Reponses& Attendre(const wxString& zTexte, int iReponse, const wxString& zSaisie = wxString(),
                       const wxString& zPhoto = wxString(), std::function<void()> action = {})
    {
        m_attendus.push_back({zTexte, iReponse, zSaisie, zPhoto, std::move(action)});
        return *this;
    }
    // What to do, inside its own loop, with the next dialog of another kind.
    void PourAutre(std::function<void(wxDialog*)> action) { m_autre = std::move(action); }
    bool Fini() const { return m_attendus.empty(); }
    std::vector<zorui::ModalRecord> records;

protected:
    int Enter(wxDialog* pDialog) override
    {
        if (zorui::CopieDeMessageAffichee())
            return wxID_NONE;
        auto* pMessage = dynamic_cast<wxMessageDialog*>(pDialog);
        auto* pPrompt = dynamic_cast<wxTextEntryDialog*>(pDialog);
        if (!pMessage && !pPrompt) {
            if (m_autre) {
                auto action = std::move(m_autre);
                m_autre = nullptr;
                pDialog->CallAfter([action, pDialog] { action(pDialog); });
            }
            return wxID_NONE;
        }
        zorui::ModalRecord r;
        r.zTexte = pMessage ? pMessage->GetMessage() : TexteDuPrompt(pPrompt);
        r.zTitre = pDialog->GetTitle();
        r.iStyle = pMessage ? pMessage->GetMessageDialogStyle() : 0;
        if (m_attendus.empty()) {
            ADD_FAILURE() << "unexpected message: " << r.zTexte;
            records.push_back(r);
            return wxID_CANCEL;
        }
        Attendu a = std::move(m_attendus.front());
        m_attendus.pop_front();
        EXPECT_EQ(r.zTexte, a.zTexte);
        if (pPrompt)
            zorui::VerifierTextes(pPrompt);
        if (!a.zPhoto.empty() && pMessage)
            zorui::PhotographierMessage(*pMessage, m_pFond, a.zPhoto);
        else if (!a.zPhoto.empty())
            zorui::Screenshot(m_pFond, a.zPhoto);
        if (a.action)
            a.action();
        if (pPrompt)
            pPrompt->SetValue(a.zSaisie);
        r.iReponse = a.iReponse;
        records.push_back(r);
        return a.iReponse;
    }
    void Exit(wxDialog*) override {}

private:
    struct Attendu
    {
        wxString zTexte;
        int iReponse;
        wxString zSaisie;
        wxString zPhoto;
        std::function<void()> action;
    };
    const wxWindow* m_pFond;
    std::deque<Attendu> m_attendus;
    std::function<void(wxDialog*)> m_autre;
};

class ListeDlgLan : public zorui::WindowTest
{
protected:
    void SetUp() override
    {
        zorui::WindowTest::SetUp();
        if (IsSkipped())
            return;
        ASSERT_TRUE(zortest::InTestNetwork());
        // A program folder of its own: the built pictures and one update, maj_v3.
        m_prog = zortest::MakeTempDir("listelan");
        std::filesystem::create_symlink(std::string(TAVLIN_UI_BUILD_DIR) + "/bitmap",
                                        m_prog + "/bitmap");
        m_dossierMAJ = zortest::DossierMAJ(m_prog, 3, 2400, 3000);
        ZorUtile::SetPathExe(wxString::FromUTF8(m_prog));
        ASSERT_TRUE(ZorTavlinObj::CreateTavlinObj());
    }
    void TearDown() override
    {
        if (gpTheTavlin) {
            gpTheTavlin->Stop();
            ZorTavlinObj::DeleteTavlinObj();
        }
        zorui::WindowTest::TearDown();
    }
    static std::string Lan(int i)
    {
        return zortest::EnvOr(i == 1 ? "TAVLIN_NS_LAN1" : "TAVLIN_NS_LAN2", "");
    }
    // The dialog shown without a loop of its own, once it lists n devices.
    std::unique_ptr<Dlg> Ouvrir(size_t n, const wxString& zMAC = wxString())
    {
        auto dlg = std::make_unique<Dlg>(*gpTheTavlin, zMAC);
        dlg->Show();
        EXPECT_TRUE(zorui::SettleUntil([&] { return dlg->IsShownOnScreen(); }));
        EXPECT_TRUE(
            zorui::SettleUntil([&] { return size_t(dlg->GetListe()->GetItemCount()) >= n; }, 8000))
            << dlg->GetListe()->GetItemCount();
        zorui::MoveTo(wxPoint(1270, 1010));
        zorui::Settle(200);
        return dlg;
    }
    static long Ligne(const Dlg& dlg, const wxString& zNom)
    {
        return dlg.GetListe()->FindItem(-1, zNom);
    }
    static void Selectionner(Dlg& dlg, long iLigne)
    {
        wxRect r;
        dlg.GetListe()->GetItemRect(iLigne, r);
        zorui::MoveTo(dlg.GetListe()->ClientToScreen(r.GetPosition() + wxPoint(30, r.height / 2)));
        zorui::MouseDown();
        zorui::MouseUp();
        zorui::Settle(150);
    }
    static int Image(const Dlg& dlg, long iLigne)
    {
        wxListItem item;
        item.SetId(iLigne);
        item.SetMask(wxLIST_MASK_IMAGE);
        dlg.GetListe()->GetItem(item);
        return item.GetImage();
    }
    static wxString Colonne(const Dlg& dlg, long iLigne, int iColonne)
    {
        return dlg.GetListe()->GetItemText(iLigne, iColonne);
    }
    bool Attendre(const std::function<bool()>& fait, int iMs)
    {
        return zorui::SettleUntil(fait, iMs);
    }
    long MettreAJourDepuisLaListe(zortest::Emu& emu, bool bPhotos,
                                  const std::string& zAdresseRetour);
    // One out-of-date device (Chaufferie, v2) with an emulator knob set, the manager started as
    // zInstance, the list open with that device selected.
    std::unique_ptr<Dlg> OuvrirChaufferie(zortest::Emu& emu, const char* zCle, const char* zValeur,
                                          const wxString& zInstance)
    {
        EXPECT_TRUE(emu.Start(Lan(1), {"--device", "ip=192.168.77.11,name=Chaufferie,version=v2"}));
        EXPECT_TRUE(emu.Set(0, zCle, zValeur));
        EXPECT_TRUE(gpTheTavlin->Start(zInstance, false));
        auto dlg = Ouvrir(1);
        Selectionner(*dlg, 0);
        return dlg;
    }

    std::string m_prog;
    std::string m_dossierMAJ;
    zorui::LangueDuTest m_langue; // French unless a run in both languages says otherwise
};

// The scenarios whose windows and messages are reviewed run twice: in French, the source texts,
// and in English, as a host that set iZorLangue to 1 sees them.
class ListeDlgLanLangues : public ListeDlgLan, public testing::WithParamInterface<bool>
{
protected:
    void SetUp() override
    {
        m_langue.Choisir(GetParam());
        ListeDlgLan::SetUp();
    }
    void TearDown() override
    {
        ListeDlgLan::TearDown();
        m_langue.Choisir(false);
    }
};

INSTANTIATE_TEST_SUITE_P(, ListeDlgLanLangues, testing::Bool(), zorui::NomDeLangue);

TEST_P(ListeDlgLanLangues, EveryKindOfRowItsButtonAndANewDevice)
{
    zortest::Emu emu1, emu2, emu3;
    ASSERT_TRUE(
        emu1.Start(Lan(1), {"--device", "ip=192.168.77.10,name=Atelier,version=v3", "--device",
                            "ip=192.168.77.11,name=Chaufferie,version=v2", "--device",
                            "ip=10.9.9.10/24,name=Serre,version=v3", "--device",
                            "ip=192.168.77.12,name=Portail,mac=02-54-56-00-00-0D,version=v3"}));
    ASSERT_TRUE(emu2.Start(
        Lan(2), {"--device", "ip=192.168.78.12,name=Portail,mac=02-54-56-00-00-0D,version=v3"}));
    ASSERT_TRUE(gpTheTavlin->Start(wxT("liste"), false));
    auto dlg = Ouvrir(4);
    // The device seen on both cards gets its flag when its second answer comes.
    ASSERT_TRUE(Attendre(
        [&] {
            const long i = Ligne(*dlg, "Portail");
            return i >= 0 && Colonne(*dlg, i, 13) == "1";
        },
        8000));
    wxListCtrl* liste = dlg->GetListe();
    ASSERT_EQ(liste->GetItemCount(), 4);
    EXPECT_EQ(dlg->GetCompteur(), wxString::Format(T("(%d Tavlin détectées)"), 4));
    struct Cas
    {
        const char* nom;
        int image;
        wxColour couleur;
        bool gras;
        int bouton;
        const char* photo;
    } cas[] = {
        {"Atelier", ZOR_ICONE_PRETE, *wxBLACK, false, Dlg::ID_OK, "liste_lan_selection_ok"},
        {"Chaufferie", ZOR_ICONE_MAJ, *wxBLACK, false, Dlg::ID_MAJ, "liste_lan_selection_maj"},
        {"Serre", ZOR_ICONE_ALERTE, wxColour(250, 25, 0), false, Dlg::ID_WARNING,
         "liste_lan_selection_hors_reseau"},
        {"Portail", ZOR_ICONE_ALERTE, *wxBLACK, true, Dlg::ID_WARNING,
         "liste_lan_selection_deux_cartes"},
    };
    m_langue.Photographier(dlg.get(), "liste_lan_quatre_sortes");
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.nom);
        const long i = Ligne(*dlg, c.nom);
        ASSERT_GE(i, 0);
        EXPECT_EQ(Image(*dlg, i), c.image);
        EXPECT_EQ(liste->GetItemTextColour(i), c.couleur);
        EXPECT_EQ(liste->GetItemFont(i).GetWeight() == wxFONTWEIGHT_BOLD, c.gras);
        Selectionner(*dlg, i);
        for (int id : {Dlg::ID_OK, Dlg::ID_MAJ, Dlg::ID_WARNING})
            EXPECT_EQ(dlg->GetBouton(id)->IsShown(), id == c.bouton) << id;
        m_langue.Photographier(dlg.get(), c.photo);
    }

    // A new device is appended; the rows of the others are not written again.
    ASSERT_TRUE(emu3.Start(Lan(2), {"--device", "ip=192.168.78.30,name=Nouvelle,version=v3"}));
    // Found at the next periodic hello; sent now rather than waited for.
    gpTheTavlin->EnvoyerHello("255.255.255.255", "", 'D');
    ASSERT_TRUE(Attendre([&] { return liste->GetItemCount() == 5; }, 8000));
    EXPECT_EQ(Colonne(*dlg, 4, 0), "Nouvelle");
    EXPECT_EQ(dlg->GetLignesEcrites(), 1u);
    EXPECT_EQ(dlg->GetCompteur(), wxString::Format(T("(%d Tavlin détectées)"), 5));

    // A device gone silent loses its row once the manager gives it up (about 16 s on its real
    // timer); the others' rows are left as they are.
    emu3.Stop();
    ASSERT_TRUE(Attendre([&] { return liste->GetItemCount() == 4; }, 25000));
    EXPECT_EQ(Ligne(*dlg, "Nouvelle"), -1);
    EXPECT_EQ(dlg->GetLignesEcrites(), 0u);
    EXPECT_EQ(dlg->GetCompteur(), wxString::Format(T("(%d Tavlin détectées)"), 4));
    zorui::Click(dlg->GetBouton(Dlg::ID_ANNULER));
    EXPECT_EQ(dlg->GetReturnCode(), wxID_CANCEL);
}

TEST_F(ListeDlgLan, ChoosingAReachableDeviceKeepsItInTheSettings)
{
    zortest::Emu emu;
    ASSERT_TRUE(
        emu.Start(Lan(1), {"--device", "ip=192.168.77.10,name=Atelier,comment=Four,version=v3"}));
    const std::string mac = emu.Get(0, "mac");
    ASSERT_TRUE(gpTheTavlin->Start(wxT("choix"), false));
    ASSERT_TRUE(zortest::PumpUntil(
        [] {
            ZorTavlinInfoArray a;
            gpTheTavlin->GetLesTavlin(a);
            return a.GetCount() >= 1;
        },
        8000));

    // The dialog runs modally, as a program shows it; the user's clicks come from inside its
    // loop. Should they not end it, the guard does after 30 s.
    bool bClique = false;
    auto trouverDialogue = [] {
        Dlg* pDlg = nullptr;
        for (wxWindow* w : wxTopLevelWindows)
            if (auto* d = dynamic_cast<Dlg*>(w))
                pDlg = d;
        return pDlg;
    };
    wxTimer garde;
    garde.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (Dlg* pDlg = trouverDialogue(); pDlg && pDlg->IsModal())
            pDlg->EndModal(wxID_ABORT);
    });
    garde.StartOnce(30000);
    wxTimer clics;
    clics.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        Dlg* pDlg = trouverDialogue();
        ASSERT_NE(pDlg, nullptr);
        ASSERT_TRUE(
            zorui::SettleUntil([&] { return pDlg->GetListe()->GetItemCount() == 1; }, 5000));
        zorui::Settle(200);
        Selectionner(*pDlg, 0);
        zorui::Click(pDlg->GetBouton(Dlg::ID_OK));
        bClique = true;
    });
    clics.StartOnce(300);
    wxString zMAC, zIP, zNom, zCommentaire, zIPLocal, zVersion;
    bool bDHCP = true, bMultiple = true;
    ASSERT_TRUE(gpTheTavlin->AfficherListe(&zMAC, &zIP, &zNom, &zCommentaire, nullptr, nullptr,
                                           nullptr, nullptr, &bDHCP, &zIPLocal, nullptr, nullptr,
                                           &zVersion, &bMultiple));
    EXPECT_TRUE(bClique);
    EXPECT_EQ(zMAC, wxString(mac));
    EXPECT_EQ(zIP, "192.168.77.10");
    EXPECT_EQ(zNom, "Atelier");
    EXPECT_EQ(zCommentaire, "Four");
    EXPECT_EQ(zIPLocal, "192.168.77.1");
    EXPECT_EQ(zVersion, "v3");
    EXPECT_FALSE(bDHCP);
    EXPECT_FALSE(bMultiple);
    const std::string reglages = ReglagesContenant("ADDR_MAC=");
    for (const std::string& ligne : {"ADDR_MAC=" + mac, std::string("ADDR_IP=192.168.77.10"),
                                     std::string("ADDR_IPLOCAL=192.168.77.1")})
        EXPECT_NE(reglages.find(ligne), std::string::npos) << ligne << " in\n" << reglages;
}

TEST_P(ListeDlgLanLangues, ASilentDeviceGivesTheWarningAndStillEndsWithOk)
{
    zortest::Emu emu;
    ASSERT_TRUE(emu.Start(Lan(1), {"--device", "ip=192.168.77.10,name=Muette,version=v3"}));
    ASSERT_TRUE(gpTheTavlin->Start(wxT("muette"), false));
    auto dlg = Ouvrir(1);
    ASSERT_TRUE(emu.Set(0, "http", "0"));
    Selectionner(*dlg, 0);
    Reponses reponses(dlg.get());
    reponses.Attendre(T("Le gestionnaire ne semble pas pouvoir communiquer normalement avec votre "
                        "Tavlin.\n\nEn cas de problèmes, veuillez vérifier la configuration "
                        "réseau de votre ordinateur (antivirus, pare-feu, ...) ou contacter le "
                        "Support Technique Tavlin."),
                      wxID_OK, wxString(), m_langue.Photo("liste_lan_message_sans_reponse"));
    const auto debut = std::chrono::steady_clock::now();
    zorui::Click(dlg->GetBouton(Dlg::ID_OK));
    EXPECT_FALSE(dlg->IsEnabled()) << "disabled while the device is checked";
    ASSERT_TRUE(Attendre([&] { return dlg->GetAttenteVerification()->IsShown(); }, 2000));
    m_langue.Photographier(dlg->GetAttenteVerification(), "liste_lan_attente_verification");
    ASSERT_TRUE(Attendre([&] { return reponses.Fini(); }, 12000));
    EXPECT_GE(std::chrono::steady_clock::now() - debut, std::chrono::milliseconds(5500))
        << "the choice is given up no sooner than about 6 s";
    zorui::Settle(100);
    EXPECT_EQ(dlg->GetReturnCode(), wxID_OK);
    EXPECT_FALSE(dlg->GetAttenteVerification()->IsShown());
    EXPECT_EQ(dlg->GetTavlinChoisie().m_zNom, "Muette");
}

TEST_P(ListeDlgLanLangues, ADeviceOutsideTheNetworkIsMovedIntoItWithItsPassword)
{
    zortest::Emu emu;
    ASSERT_TRUE(
        emu.Start(Lan(1), {"--device", "ip=10.9.9.10/24,name=Serre,password=serre1,version=v3"}));
    ASSERT_TRUE(gpTheTavlin->Start(wxT("reconf"), false));
    auto dlg = Ouvrir(1);
    Selectionner(*dlg, 0);
    const wxString zQuestion = T("Cette Tavlin n'est pas accessible par cet "
                                 "ordinateur.\n\nVoulez-vous modifier sa configuration ?");
    const wxString zPrompt = T("Saisissez le mot de passe de cette Tavlin.");
    {
        Reponses reponses(dlg.get());
        reponses
            .Attendre(zQuestion, wxID_YES, wxString(),
                      m_langue.Photo("liste_lan_question_hors_reseau"))
            .Attendre(zPrompt, wxID_OK, "faux")
            .Attendre(T("Le mot de passe saisi est incorrect."), wxID_OK);
        zorui::Click(dlg->GetBouton(Dlg::ID_WARNING));
        EXPECT_TRUE(reponses.Fini());
        ASSERT_EQ(reponses.records.size(), 3u);
        EXPECT_EQ(reponses.records[0].iStyle & (wxYES_NO | wxCANCEL), wxYES_NO | wxCANCEL);
        EXPECT_EQ(reponses.records[2].iStyle & wxICON_MASK, wxICON_WARNING);
        for (const zorui::ModalRecord& r : reponses.records)
            EXPECT_EQ(r.zTitre, "Tavlin");
    }
    EXPECT_EQ(emu.LogLines("CONFIG").size(), 0u) << "a wrong password changes nothing";
    {
        Reponses reponses(dlg.get());
        reponses.Attendre(zQuestion, wxID_YES).Attendre(zPrompt, wxID_OK, "serre1");
        zorui::Click(dlg->GetBouton(Dlg::ID_WARNING));
        EXPECT_TRUE(reponses.Fini());
    }
    // The configuration wait shows while the device moves, and its return ends it.
    ASSERT_TRUE(Attendre([&] { return dlg->GetAttente()->IsShown(); }, 10000));
    EXPECT_EQ(dlg->GetAttente()->GetTexte(),
              T("Configuration de votre Tavlin.\nVeuillez patienter ..."));
    m_langue.Photographier(dlg.get(), "liste_lan_attente_configuration");
    ASSERT_TRUE(Attendre(
        [&] {
            return dlg->GetListe()->GetItemCount() == 1 &&
                   Colonne(*dlg, 0, 1).StartsWith("192.168.77.");
        },
        30000))
        << Colonne(*dlg, 0, 1);
    EXPECT_EQ(Image(*dlg, 0), ZOR_ICONE_PRETE);
    EXPECT_EQ(dlg->GetListe()->GetItemTextColour(0), *wxBLACK);
    EXPECT_TRUE(Attendre([&] { return !dlg->GetAttente()->IsShown(); }, 3000));
}

TEST_P(ListeDlgLanLangues, TestAndCustomisationReachTheDevice)
{
    zortest::Emu emu;
    ASSERT_TRUE(emu.Start(Lan(1), {"--device", "ip=192.168.77.10,name=Atelier,version=v3"}));
    ASSERT_TRUE(gpTheTavlin->Start(wxT("actions"), false));
    auto dlg = Ouvrir(1);
    Selectionner(*dlg, 0);

    zorui::Click(dlg->GetBouton(Dlg::ID_TESTER));
    ASSERT_TRUE(dlg->GetAttente()->IsShown());
    EXPECT_EQ(dlg->GetAttente()->GetTexte(),
              T("Test en cours ...\n(le voyant de couleur orange clignote)"));
    EXPECT_TRUE(Attendre([&] { return emu.Get(0, "blink") == "1"; }, 5000));
    m_langue.Photographier(dlg.get(), "liste_lan_attente_test");
    // The test's wait ends by itself after 10 s; meanwhile the two actions are ignored.
    ASSERT_TRUE(Attendre([&] { return !dlg->GetAttente()->IsShown(); }, 12000));

    // A new name: the personalisation, then the restart wait.
    using Perso = ZorTavlinDlgPersonnaliser;
    auto personnaliser = [&](std::function<void(Perso&)> saisie) {
        Reponses reponses(dlg.get());
        bool bVu = false;
        reponses.PourAutre([&](wxDialog* pDialog) {
            auto* p = dynamic_cast<Perso*>(pDialog);
            ASSERT_NE(p, nullptr);
            bVu = true;
            zorui::SettleUntil([&] { return p->IsShownOnScreen(); });
            zorui::Settle(200);
            zorui::TypeInto(p->FindWindow(Perso::ID_MDP), "tavlin\r");
            saisie(*p);
            zorui::Click(p->FindWindow(Perso::ID_OK));
        });
        zorui::Click(dlg->GetBouton(Dlg::ID_PERSONNALISER));
        EXPECT_TRUE(bVu);
    };
    personnaliser([](Perso& p) {
        zorperso::Retaper(dynamic_cast<wxTextCtrl*>(p.FindWindow(Perso::ID_NOM)), "Forge");
    });
    ASSERT_TRUE(dlg->GetAttente()->IsShown());
    EXPECT_EQ(dlg->GetAttente()->GetTexte(),
              T("Redémarrage de votre Tavlin.\nVeuillez patienter ..."));
    m_langue.Photographier(dlg.get(), "liste_lan_attente_redemarrage");
    EXPECT_TRUE(Attendre([&] { return emu.Get(0, "name") == "Forge"; }, 8000))
        << emu.Get(0, "name");
    EXPECT_TRUE(Attendre([&] { return Colonne(*dlg, 0, 0) == "Forge"; }, 15000));
    ASSERT_TRUE(Attendre([&] { return !dlg->GetAttente()->IsShown(); }, 22000));

    // Only the DHCP flag: the network configuration.
    personnaliser([](Perso& p) {
        zorui::Click(p.FindWindow(Perso::ID_CHANGER_RESEAU));
        zorui::Click(p.FindWindow(Perso::ID_DHCP));
        zorui::Click(p.FindWindow(Perso::ID_OK));
    });
    EXPECT_TRUE(dlg->GetAttente()->IsShown());
    EXPECT_TRUE(Attendre([&] { return emu.Get(0, "dhcp") == "1"; }, 8000));
    EXPECT_EQ(emu.Get(0, "name"), "Forge");
}

// The events of an update as the emulator logged them, one per line: the end of the bootloader
// stage, the device's moves, the post and the device's commands (their parameters), each with
// the device's address then.
std::string Etapes(const std::string& zJournal)
{
    std::string zEtapes, zLigne;
    std::istringstream lignes(zJournal);
    while (std::getline(lignes, zLigne)) {
        std::istringstream champs(zLigne);
        std::string zHeure, zType, zIP, zPair, zDetail;
        champs >> zHeure >> zType >> zIP >> zPair >> zDetail;
        const size_t iParametres = zDetail.find('&');
        if (zType == "HTTP" && iParametres != std::string::npos &&
            zDetail.find("ETAT=") == std::string::npos)
            zEtapes += "HTTP " + zIP + " " + zDetail.substr(iParametres + 1) + "\n";
        else if (zType == "BOOT-END" || zType == "MOVED" || zType == "UPLOAD")
            zEtapes += zType + " " + zIP + (zType == "UPLOAD" ? " " + zDetail : "") + "\n";
    }
    return zEtapes;
}

// The update button runs the four stages against the device of the first row (Chaufferie, v2,
// at 192.168.77.11, the emulator's return knobs already set) and the list then shows v3. The
// emulator saw the stages in order, the device's moves when zAdresseRetour (where it came back
// from its bootloader) is given, and then the post and the four reset commands at the address
// it ended with. Returns the milliseconds from the bootloader's end to the post.
long ListeDlgLan::MettreAJourDepuisLaListe(zortest::Emu& emu, bool bPhotos,
                                           const std::string& zAdresseRetour)
{
    auto dlg = Ouvrir(1);
    Selectionner(*dlg, 0);
    EXPECT_TRUE(dlg->GetBouton(Dlg::ID_MAJ)->IsShown());
    Reponses reponses(dlg.get());
    reponses
        .Attendre(T(kMajRequise), wxID_OK, wxString(),
                  bPhotos ? m_langue.Photo("liste_lan_message_maj_requise") : "")
        .Attendre(T(kTermineeAcces), wxID_NO, wxString(),
                  bPhotos ? m_langue.Photo("liste_lan_message_terminee_acces") : "");
    zorui::Click(dlg->GetBouton(Dlg::ID_MAJ));
    bool bRecherche = false;
    EXPECT_TRUE(Attendre(
        [&] {
            if (!bRecherche && dlg->GetAttenteRecherche()->IsShown()) {
                bRecherche = true;
                if (bPhotos)
                    m_langue.Photographier(dlg->GetAttenteRecherche(),
                                           "liste_lan_attente_recherche");
            }
            return reponses.Fini();
        },
        90000));
    EXPECT_TRUE(bRecherche) << "the search wait box showed while the device restarted";
    EXPECT_TRUE(Attendre([&] { return Colonne(*dlg, 0, 12) == "v3"; }, 10000))
        << Colonne(*dlg, 0, 12);
    EXPECT_EQ(Image(*dlg, 0), ZOR_ICONE_PRETE);
    EXPECT_TRUE(dlg->GetBouton(Dlg::ID_OK)->IsShown()) << "the selected device is current now";
    EXPECT_FALSE(dlg->GetBouton(Dlg::ID_MAJ)->IsShown());
    if (bPhotos)
        m_langue.Photographier(dlg.get(), "liste_lan_apres_mise_a_jour");
    EXPECT_TRUE(dlg->IsShown()) << "No: the list stays open";
    zorui::Click(dlg->GetBouton(Dlg::ID_ANNULER));

    const std::string zIP = emu.Get(0, "ip");
    std::string zAttendu = "BOOT-END 192.168.77.11\n";
    if (!zAdresseRetour.empty())
        zAttendu += "MOVED " + zAdresseRetour + "\nMOVED " + zIP + "\n";
    for (const char* zEtape :
         {"UPLOAD 200", "HTTP AUTO=0", "HTTP EMAILCONF=Wd3kPv;;25;;;0;",
          "HTTP RESET_MEM_AUTOMATE=Wd3kPv;", "HTTP RESET_MEM_ACQUISITION=Wd3kPv;"}) {
        const std::string z(zEtape);
        zAttendu += z.substr(0, z.find(' ')) + " " + zIP + z.substr(z.find(' ')) + "\n";
    }
    const std::string zJournal = emu.Log();
    EXPECT_EQ(Etapes(zJournal), zAttendu);
    const std::vector<std::string> fin = emu.LogLines(" BOOT-END "),
                                   post = emu.LogLines(" UPLOAD ");
    return fin.size() == 1 && post.size() == 1 ? std::stol(post[0]) - std::stol(fin[0]) : -1;
}

TEST_P(ListeDlgLanLangues, AnUpdateFromTheListBringsTheNewVersion)
{
    zortest::Emu emu;
    ASSERT_TRUE(emu.Start(Lan(1), {"--device", "ip=192.168.77.11,name=Chaufferie,version=v2"}));
    ASSERT_TRUE(gpTheTavlin->Start(wxT("maj"), false));
    MettreAJourDepuisLaListe(emu, true, "");
    EXPECT_EQ(emu.Get(0, "ip"), "192.168.77.11");
}

// The device takes 10 s to come back from its bootloader, longer than the bootloader box's 6 s
// end: its record from before must not be taken for it (the post would go to a device still
// restarting); the search waits for it to answer again.
TEST_F(ListeDlgLan, AnUpdateWaitsForADeviceSlowToComeBack)
{
    zortest::Emu emu;
    ASSERT_TRUE(emu.Start(Lan(1), {"--device", "ip=192.168.77.11,name=Chaufferie,version=v2"}));
    ASSERT_TRUE(emu.Set(0, "bootreturn", "10000"));
    ASSERT_TRUE(gpTheTavlin->Start(wxT("lente"), false));
    EXPECT_GE(MettreAJourDepuisLaListe(emu, false, ""), 10000);
}

// As slow, and back outside the adapter's network: the search moves it in once, then finds it.
TEST_F(ListeDlgLan, AnUpdateBringsBackADeviceThatReturnsOutsideTheNetwork)
{
    zortest::Emu emu;
    ASSERT_TRUE(emu.Start(Lan(1), {"--device", "ip=192.168.77.11,name=Chaufferie,version=v2"}));
    ASSERT_TRUE(emu.Set(0, "bootreturn", "10000"));
    ASSERT_TRUE(emu.Set(0, "bootreturnip", "10.9.9.10/24"));
    ASSERT_TRUE(gpTheTavlin->Start(wxT("dehors"), false));
    EXPECT_GE(MettreAJourDepuisLaListe(emu, false, "10.9.9.10"), 10000);
    EXPECT_NE(emu.Get(0, "ip").rfind("192.168.77.", 0), std::string::npos);
}

TEST_P(ListeDlgLanLangues, AFailedUpdateFallsBackToTheManualProcedure)
{
    zortest::Emu emu;
    auto dlg = OuvrirChaufferie(emu, "bootstatus", "1:0800", wxT("manuelle"));
    Reponses reponses(dlg.get());
    reponses.Attendre(T(kMajRequise), wxID_OK)
        .Attendre(T(kEchecAuto), wxID_OK, wxString(),
                  m_langue.Photo("liste_lan_message_echec_auto"))
        // The user power-cycles the device as told: it restarts into its bootloader.
        .Attendre(T(kInstructions), wxID_OK, wxString(),
                  m_langue.Photo("liste_lan_message_instructions"),
                  [&] {
                      emu.Set(0, "bootstatus", "0:0000");
                      emu.Command("REBOOT 0");
                  })
        .Attendre(T(kTerminee), wxID_OK, wxString(), m_langue.Photo("liste_lan_message_terminee"));
    zorui::Click(dlg->GetBouton(Dlg::ID_MAJ));
    ASSERT_TRUE(Attendre([&] { return reponses.Fini(); }, 120000));
    EXPECT_TRUE(Attendre([&] { return Colonne(*dlg, 0, 12) == "v3"; }, 10000));
    zorui::Click(dlg->GetBouton(Dlg::ID_ANNULER));
}

// The device comes back from its bootloader at v1 where the folder brings v3: the end message
// says the update failed and why (no manual procedure), and the row still asks for an update.
TEST_P(ListeDlgLanLangues, AnUpdateThatDoesNotBringTheFolderVersionEndsAsAFailure)
{
    zortest::Emu emu;
    auto dlg = OuvrirChaufferie(emu, "nextversion", "v1", wxT("version"));
    Reponses reponses(dlg.get());
    reponses.Attendre(T(kMajRequise), wxID_OK)
        .Attendre(T("La mise à jour a échoué : ") +
                      wxString::Format(T("la Tavlin indique « %s » au lieu de la version %ld"),
                                       "v1", 3L) +
                      ".",
                  wxID_OK, wxString(), m_langue.Photo("liste_lan_message_version_non_apportee"));
    zorui::Click(dlg->GetBouton(Dlg::ID_MAJ));
    ASSERT_TRUE(Attendre([&] { return reponses.Fini(); }, 90000));
    EXPECT_FALSE(dlg->GetSequence().IsEnCours());
    EXPECT_TRUE(Attendre([&] { return Colonne(*dlg, 0, 12) == "v1"; }, 10000))
        << Colonne(*dlg, 0, 12);
    EXPECT_EQ(Image(*dlg, 0), ZOR_ICONE_MAJ);
    zorui::Click(dlg->GetBouton(Dlg::ID_ANNULER));
}

TEST_F(ListeDlgLan, ClosingDuringTheSearchEndsTheUpdateAndItsBox)
{
    zortest::Emu emu;
    ASSERT_TRUE(emu.Start(Lan(1), {"--device", "ip=192.168.77.11,name=Chaufferie,version=v2",
                                   "--reboot-secs", "30"}));
    ASSERT_TRUE(gpTheTavlin->Start(wxT("fermeture"), false));
    auto dlg = Ouvrir(1);
    Reponses reponses(dlg.get());
    reponses.Attendre(U(kInstructions), wxID_OK, wxString(), wxString(),
                      [&] { emu.Command("REBOOT 0"); });
    dlg->LancerMiseAJour(wxString::FromUTF8(m_dossierMAJ), "", "", "", false);
    // The device stays in its bootloader after the upload, so the search goes on until closed.
    ASSERT_TRUE(Attendre([&] { return dlg->GetAttenteRecherche()->IsShown(); }, 30000));
    dlg->Close();
    zorui::Settle(100);
    EXPECT_EQ(dlg->GetReturnCode(), wxID_CANCEL);
    EXPECT_FALSE(dlg->GetAttenteRecherche()->IsShown());
    EXPECT_FALSE(dlg->GetSequence().IsEnCours());
    EXPECT_TRUE(dlg->IsEnabled()) << "no box holds the other windows disabled";
}

TEST_P(ListeDlgLanLangues, TheNetworkCardDialogBlackListsACardAndStartsAManualUpdate)
{
    ASSERT_TRUE(gpTheTavlin->Start(wxT("cartes"), false));
    auto dlg = Ouvrir(0);
    Reponses reponses(dlg.get());
    const wxString zDemande = T("Saisissez le mot de passe Administrateur du logiciel.");
    reponses.Attendre(zDemande, wxID_OK, "faux")
        .Attendre(T("Mot de passe incorrect."), wxID_OK)
        .Attendre(zDemande, wxID_OK, "qmt417")
        .Attendre(T("Cette carte réseau ne sera plus utilisée par votre logiciel.\n\nFermez puis "
                    "relancez le logiciel pour prendre en compte les modifications."),
                  wxID_OK)
        // No device restarts: the manual procedure fails and offers a retry, which gives the
        // instructions again; cancelling them ends the update.
        .Attendre(T(kInstructions), wxID_OK)
        .Attendre(T(kEchecManuel), wxID_YES, wxString(),
                  m_langue.Photo("liste_lan_message_echec_manuel"))
        .Attendre(T(kInstructions), wxID_CANCEL);
    bool bCaseRemise = false, bExclue = false;
    size_t iCarte = 0;
    reponses.PourAutre([&](wxDialog* pDialog) {
        auto* p = dynamic_cast<ZorInfoCarteEthDlg*>(pDialog);
        ASSERT_NE(p, nullptr);
        zorui::SettleUntil([&] { return p->IsShownOnScreen(); });
        zorui::Settle(200);
        m_langue.Photographier(p, "cartes_information");
        const ZorCarteEthPtrArray& cartes = gpTheTavlin->GetArrayCarteEth();
        ASSERT_EQ(p->GetCases().size(), cartes.GetCount() - 1)
            << "the loopback record is not shown";
        while (iCarte < cartes.GetCount() && cartes[iCarte]->m_zIP != "192.168.78.1")
            ++iCarte;
        ASSERT_LT(iCarte, cartes.GetCount());
        wxCheckBox* pCase = p->GetCases()[iCarte];
        zorui::Click(pCase);
        bCaseRemise = pCase->GetValue();
        zorui::Click(pCase);
        bExclue = !pCase->GetValue() && cartes[iCarte]->m_bBlackList;
        zorui::Click(p->GetBoutonMiseAJour());
    });
    zorui::MoveTo(dlg->ClientToScreen(Dlg::ZoneCartes().GetPosition() + wxPoint(50, 40)));
    wxUIActionSimulator().MouseDblClick();
    ASSERT_TRUE(Attendre([&] { return reponses.Fini(); }, 40000));
    zorui::Settle(100);
    EXPECT_FALSE(dlg->GetSequence().IsEnCours());
    EXPECT_TRUE(bCaseRemise) << "a refused change puts the box back";
    EXPECT_TRUE(bExclue);
    ASSERT_LT(iCarte, gpTheTavlin->GetArrayCarteEth().GetCount());
    const ZorCarteEth& carte = *gpTheTavlin->GetArrayCarteEth()[iCarte];
    EXPECT_FALSE(ReglagesContenant(carte.m_zMAC.utf8_string()).empty())
        << "the black list file names the card";
    // The card serves the next tests again.
    gpTheTavlin->WriteListeCarteBlackList(false, carte.m_zMAC);
}

} // namespace

// Both adapters of the PC on one link (tools/testnet.sh --lan --one-link), shown by
// AfficherListe as a program does: each device keeps the adapter of its own subnet, its row is
// bold with the warning icon, and validating it chooses it without moving it. The settings file
// is read-only, so the user is told that the choice will not be kept.
TEST_F(ListeDlgLan, OneLinkTwoAdaptersADeviceIsChosenNotMovedAndAnUnkeptChoiceIsSaid)
{
    if (!std::getenv("TAVLIN_ONE_LINK"))
        GTEST_SKIP() << "needs tools/testnet.sh --lan --one-link";
    zortest::Emu emu;
    ASSERT_TRUE(emu.Start(Lan(1), {"--device", "ip=192.168.77.10,name=Atelier,version=v3",
                                   "--device", "ip=192.168.78.20/24,name=Cave,version=v3"}));
    const std::string zDossier =
        std::string(wxStandardPaths::Get().GetDocumentsDir().utf8_str()) + "/Tavlin";
    std::filesystem::create_directories(zDossier);
    zortest::WriteFile(zDossier + "/tavlindll_unlien.ini", "SELECT_UART=0\r\n");
    std::filesystem::permissions(zDossier + "/tavlindll_unlien.ini",
                                 std::filesystem::perms::owner_read |
                                     std::filesystem::perms::group_read |
                                     std::filesystem::perms::others_read);
    ASSERT_TRUE(gpTheTavlin->Start(wxT("unlien"), false));

    Reponses reponses(nullptr);
    reponses.Attendre(
        U("Le choix de cette Tavlin n'a pas pu être enregistré dans les réglages : il ne "
          "sera pas repris au prochain démarrage.\n\nVérifiez que le dossier des réglages "
          "Tavlin est accessible en écriture."),
        wxID_OK);
    wxTimer garde, clics;
    Dlg* pDlg = nullptr;
    garde.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (pDlg && pDlg->IsModal())
            pDlg->EndModal(wxID_ABORT);
    });
    garde.StartOnce(30000);
    clics.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        for (wxWindow* w : wxTopLevelWindows)
            if (auto* d = dynamic_cast<Dlg*>(w))
                pDlg = d;
        ASSERT_NE(pDlg, nullptr);
        // Both answers of each device arrived: it is flagged as seen on both adapters.
        ASSERT_TRUE(zorui::SettleUntil(
            [&] {
                return pDlg->GetListe()->GetItemCount() == 2 && Colonne(*pDlg, 0, 13) == "1" &&
                       Colonne(*pDlg, 1, 13) == "1";
            },
            8000));
        zorui::MoveTo(wxPoint(1270, 1010));
        zorui::Settle(200);
        for (const char* nom : {"Atelier", "Cave"}) {
            SCOPED_TRACE(nom);
            const long i = Ligne(*pDlg, nom);
            ASSERT_GE(i, 0);
            EXPECT_EQ(Colonne(*pDlg, i, 9), Colonne(*pDlg, i, 1).BeforeLast('.') + ".1");
            EXPECT_EQ(Image(*pDlg, i), ZOR_ICONE_ALERTE);
            EXPECT_EQ(pDlg->GetListe()->GetItemTextColour(i), *wxBLACK);
            EXPECT_EQ(pDlg->GetListe()->GetItemFont(i).GetWeight(), wxFONTWEIGHT_BOLD);
        }
        zorui::Screenshot(pDlg, "liste_lan_un_lien_deux_cartes");
        Selectionner(*pDlg, Ligne(*pDlg, "Atelier"));
        EXPECT_TRUE(pDlg->GetBouton(Dlg::ID_WARNING)->IsShown());
        zorui::Click(pDlg->GetBouton(Dlg::ID_WARNING));
    });
    clics.StartOnce(300);
    wxString zIP, zIPLocal;
    bool bMultiple = false;
    ASSERT_TRUE(gpTheTavlin->AfficherListe(nullptr, &zIP, nullptr, nullptr, nullptr, nullptr,
                                           nullptr, nullptr, nullptr, &zIPLocal, nullptr, nullptr,
                                           nullptr, &bMultiple));
    EXPECT_TRUE(reponses.Fini());
    EXPECT_EQ(zIP, "192.168.77.10");
    EXPECT_EQ(zIPLocal, "192.168.77.1");
    EXPECT_TRUE(bMultiple);
    EXPECT_EQ(ReglagesContenant("ADDR_MAC="), "") << "the read-only file is left as it was";
    for (const char* genre : {"MOVED", "NETWORK", "CONFIG"})
        EXPECT_TRUE(emu.LogLines(genre).empty()) << genre;
}
