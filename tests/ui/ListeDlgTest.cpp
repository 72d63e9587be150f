// The device list dialog through real input, on a device manager fed by hand (no network): rows,
// icons and colours, the validation button that fits the selection, the hidden area, annuler.
#include "tests/ui/kit/ZorUiKit.h"

#include "device/ZorTavlinObj.h"
#include "infra/ZorTraduction.h"
#include "infra/ZorUtile.h"
#include "tests/common/ZorTestSupport.h"
#include "ui/ZorBitmapButtonWnd.h"
#include "ui/ZorInfoCarteEthDlg.h"
#include "ui/ZorTavlinAttenteWnd.h"
#include "ui/ZorTavlinDlgAfficherListe.h"

#include <wx/checkbox.h>
#include <wx/listctrl.h>
#include <wx/stattext.h>
#include <wx/uiaction.h>

#include <filesystem>

namespace {

using Dlg = ZorTavlinDlgAfficherListe;

// A text as the user reads it in the test's language (the French source text, or the catalogue's).
wxString T(const char* z)
{
    return ZorTr(wxString::FromUTF8(z));
}

// Each scenario runs in French, the source texts, and in English, as a host that set iZorLangue
// to 1 sees it; the English run's pictures go under en/ and its texts are checked to fit.
class ListeDlgTest : public zorui::WindowTest, public testing::WithParamInterface<bool>
{
protected:
    void SetUp() override
    {
        m_langue.Choisir(GetParam());
        zorui::WindowTest::SetUp();
        if (IsSkipped())
            return;
        // A program folder of its own: the built pictures, and an update folder maj_v3.
        m_prog = zortest::MakeTempDir("listeprog");
        std::filesystem::create_symlink(std::string(TAVLIN_UI_BUILD_DIR) + "/bitmap",
                                        m_prog + "/bitmap");
        std::filesystem::create_symlink(std::string(TAVLIN_UI_BUILD_DIR) + "/Tavlin.ico",
                                        m_prog + "/Tavlin.ico");
        std::filesystem::create_directories(m_prog + "/maj/maj_v3");
        ZorUtile::SetPathExe(wxString::FromUTF8(m_prog));
        ASSERT_TRUE(ZorTavlinObj::CreateTavlinObj());
    }
    void TearDown() override
    {
        ZorTavlinObj::DeleteTavlinObj();
        zorui::WindowTest::TearDown();
        m_langue.Choisir(false);
    }
    static void Ajouter(const char* ip, const char* nom, const char* mac, const char* version,
                        const char* ipLocal = "192.168.77.1")
    {
        gpTheTavlin->AddTavlin(ip, nom, mac, wxString::FromUTF8("Atelier café"), "admin", "tavlin",
                               "255.255.255.0", "192.168.77.254", false, ipLocal, "255.255.255.0",
                               "192.168.77.254", version);
    }
    static void Selectionner(Dlg& dlg, long ligne)
    {
        wxRect r;
        dlg.GetListe()->GetItemRect(ligne, r);
        zorui::MoveTo(dlg.GetListe()->ClientToScreen(r.GetPosition() + wxPoint(30, r.height / 2)));
        zorui::MouseDown();
        zorui::MouseUp();
        zorui::Settle(150);
    }
    std::string m_prog;
    zorui::LangueDuTest m_langue;
};

INSTANTIATE_TEST_SUITE_P(, ListeDlgTest, testing::Bool(), zorui::NomDeLangue);

TEST_P(ListeDlgTest, RowsIconsAndTheValidationButtonThatFits)
{
    Dlg dlg(*gpTheTavlin, wxEmptyString);
    dlg.Show();
    zorui::SettleUntil([&] { return dlg.IsShownOnScreen(); });
    EXPECT_EQ(dlg.GetCompteur(), wxString::Format(T("(%d Tavlin détectée)"), 0));
    EXPECT_EQ(dlg.GetListe()->GetItemCount(), 0);
    zorui::Settle(200);
    m_langue.Photographier(&dlg, "liste_vide");

    Ajouter("192.168.77.10", "Atelier", "02-54-56-4D-0A-00", "v3");
    Ajouter("192.168.77.11", "Chaufferie", "02-54-56-4D-0B-00", "v1");
    Ajouter("10.1.2.3", "Serre", "02-54-56-4D-0C-00", "v3");
    Ajouter("192.168.77.12", "Portail", "02-54-56-4D-0D-00", "v3");
    Ajouter("192.168.78.123", "Portail", "02-54-56-4D-0D-00", "v3", "192.168.78.1"); // second card
    zorui::Settle(200);
    wxListCtrl* liste = dlg.GetListe();
    ASSERT_EQ(liste->GetItemCount(), 4);
    EXPECT_EQ(dlg.GetCompteur(), wxString::Format(T("(%d Tavlin détectées)"), 4));
    struct Attendu
    {
        const char* nom;
        int image;
        wxColour couleur;
        bool gras;
        int bouton;
    } attendus[] = {
        {"Atelier", ZOR_ICONE_PRETE, *wxBLACK, false, Dlg::ID_OK},
        {"Chaufferie", ZOR_ICONE_MAJ, *wxBLACK, false, Dlg::ID_MAJ},
        {"Serre", ZOR_ICONE_ALERTE, wxColour(250, 25, 0), false, Dlg::ID_WARNING},
        {"Portail", ZOR_ICONE_ALERTE, *wxBLACK, true, Dlg::ID_WARNING},
    };
    for (long i = 0; i < 4; ++i) {
        const Attendu& a = attendus[i];
        wxListItem item;
        item.SetId(i);
        item.SetMask(wxLIST_MASK_IMAGE | wxLIST_MASK_TEXT);
        ASSERT_TRUE(liste->GetItem(item));
        EXPECT_EQ(item.GetText(), a.nom);
        EXPECT_EQ(item.GetImage(), a.image) << a.nom;
        EXPECT_EQ(liste->GetItemTextColour(i), a.couleur) << a.nom;
        EXPECT_EQ(liste->GetItemFont(i).GetWeight() == wxFONTWEIGHT_BOLD, a.gras) << a.nom;
    }
    m_langue.Photographier(&dlg, "liste_quatre_sortes");

    const char* etats[] = {"liste_selection_ok", "liste_selection_maj", "liste_selection_warning",
                           "liste_selection_plusieurs_cartes"};
    for (long i = 0; i < 4; ++i) {
        Selectionner(dlg, i);
        for (int id : {Dlg::ID_OK, Dlg::ID_MAJ, Dlg::ID_WARNING})
            EXPECT_EQ(dlg.GetBouton(id)->IsShown(), id == attendus[i].bouton) << attendus[i].nom;
        m_langue.Photographier(&dlg, etats[i]);
    }

    // Nothing changed: no row is written again; a device gone loses its row.
    gpTheTavlin->SendToObserver(ZOR_EVT_TAVLIN_ADD, &dlg);
    EXPECT_EQ(dlg.GetLignesEcrites(), 0u);
    EXPECT_EQ(liste->GetItemCount(), 4);

    // The hidden area's double click opens the network card dialog.
    zorui::ModalScript script;
    script.Expect(T("Information"), wxID_OK);
    zorui::MoveTo(dlg.ClientToScreen(wxPoint(300, 40)));
    wxUIActionSimulator().MouseDblClick();
    zorui::Settle(300);
    EXPECT_EQ(script.Records().size(), 0u) << "outside the hidden area: nothing";
    zorui::MoveTo(dlg.ClientToScreen(wxPoint(420, 40)));
    wxUIActionSimulator().MouseDblClick();
    zorui::Settle(300);
    EXPECT_EQ(script.Pending(), 0u);
    zorui::Settle();
}

TEST_P(ListeDlgTest, AnnulerAndAWaitWindowPerAction)
{
    Ajouter("192.168.77.10", "Atelier", "02-54-56-4D-0A-00", "v3");
    Dlg dlg(*gpTheTavlin, "02-54-56-4D-0A-00");
    dlg.Show();
    zorui::SettleUntil([&] { return dlg.IsShownOnScreen(); });
    zorui::Settle(200);
    EXPECT_EQ(dlg.GetListe()->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED), 0)
        << "the device chosen last time is preselected";

    // Tester: the device blinks and the wait window shows over the list.
    zorui::Click(dlg.GetBouton(Dlg::ID_TESTER));
    zorui::Settle(200);
    EXPECT_TRUE(dlg.GetAttente()->IsShown());
    EXPECT_EQ(dlg.GetAttente()->GetTexte(),
              T("Test en cours ...\n(le voyant de couleur orange clignote)"));
    m_langue.Photographier(&dlg, "liste_attente_test");

    // Nothing selected: the information message.
    dlg.GetListe()->SetItemState(0, 0, wxLIST_STATE_SELECTED);
    zorui::Settle(100);
    {
        zorui::ModalScript script;
        script.Expect(T("Vous devez sélectionner une Tavlin dans la liste."), wxID_OK)
            .Photo(&dlg, m_langue.Photo("liste_message_aucune_selection"));
        zorui::Click(dlg.GetBouton(Dlg::ID_OK));
        zorui::Settle(200);
        ASSERT_EQ(script.Records().size(), 1u);
        EXPECT_EQ(script.Records()[0].zTitre, "Tavlin");
        EXPECT_TRUE(script.Records()[0].iStyle & wxICON_INFORMATION);
    }
    zorui::Click(dlg.GetBouton(Dlg::ID_ANNULER));
    zorui::Settle(100);
    EXPECT_EQ(dlg.GetReturnCode(), wxID_CANCEL);
    zorui::Settle();
}

TEST_P(ListeDlgTest, AReaddressThatCouldNotTestAnAddressSaysSoAndTheCardsShowNoLoopback)
{
    // Outside the network: the reconfiguration flow, whose search cannot test any address.
    Ajouter("10.9.9.10", "Serre", "02-54-56-4D-0A-09", "v3");
    gpTheTavlin->SetTestAdresseLibre([](const std::string&, const std::atomic<bool>&) {
        return ZorRechercheAdresse::Verdict::Intestable;
    });
    Dlg dlg(*gpTheTavlin, "02-54-56-4D-0A-09");
    dlg.Show();
    zorui::SettleUntil([&] { return dlg.IsShownOnScreen(); });
    zorui::Settle(200);
    {
        zorui::ModalScript script;
        script
            .Expect(T("Cette Tavlin n'est pas accessible par cet ordinateur.\n\nVoulez-vous "
                      "modifier sa configuration ?"),
                    wxID_YES)
            .Expect(T("Saisissez le mot de passe de cette Tavlin."), wxID_OK, "tavlin")
            .Expect(T("La configuration de votre Tavlin n'a pas été modifiée : cet ordinateur ne "
                      "peut pas vérifier qu'une adresse est libre sur le réseau (le test par écho "
                      "ICMP n'est pas autorisé).\n\nVeuillez contacter votre administrateur "
                      "réseau ou le Support Technique Tavlin."),
                    wxID_OK)
            .Photo(&dlg, m_langue.Photo("liste_message_configuration_sans_test"));
        zorui::Click(dlg.GetBouton(Dlg::ID_WARNING));
        EXPECT_TRUE(zorui::SettleUntil([&] { return script.Pending() == 0; }, 5000));
        ASSERT_EQ(script.Records().size(), 3u);
        EXPECT_EQ(script.Records()[2].zTitre, "Tavlin");
        EXPECT_TRUE(script.Records()[2].iStyle & wxICON_ERROR);
    }
    zorui::Settle(100);
    EXPECT_FALSE(dlg.GetAttente()->IsShown()) << "the configuration wait ends with the failure";
    m_langue.Photographier(&dlg, "liste_configuration_sans_test");

    // Only a loopback here: the library keeps its record, the card dialog lists no adapter.
    ASSERT_TRUE(gpTheTavlin->Start(wxT("cartes"), false));
    const ZorCarteEthPtrArray& cartes = gpTheTavlin->GetArrayCarteEth();
    EXPECT_TRUE(std::any_of(cartes.begin(), cartes.end(),
                            [](const ZorCarteEth* c) { return c->m_bLoopback; }));
    ZorInfoCarteEthDlg cartesDlg(dlg.Tavlin(), &dlg);
    cartesDlg.Show();
    zorui::SettleUntil([&] { return cartesDlg.IsShownOnScreen(); });
    zorui::Settle(200);
    EXPECT_TRUE(cartesDlg.GetCases().empty());
    bool bZero = false;
    for (const wxWindow* w : cartesDlg.GetChildren())
        if (const auto* t = dynamic_cast<const wxStaticText*>(w))
            bZero |= t->GetLabel().StartsWith(wxString::Format(T("Interface réseau : %d\n"), 0));
    EXPECT_TRUE(bZero);
    m_langue.Photographier(&cartesDlg, "cartes_sans_adaptateur");
    cartesDlg.Hide();
    gpTheTavlin->Stop();
    zorui::Click(dlg.GetBouton(Dlg::ID_ANNULER));
    zorui::Settle(100);
}

} // namespace
