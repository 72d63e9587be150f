// The windows in English, as a host that sets iZorLangue to 1 sees them: the library's own
// catalogue is found and used (French otherwise), and every dialog, wait box and page holds its
// English texts. Screenshots under screenshots/en/ for review.
#include "tests/ui/kit/ZorUiKit.h"

#include "device/ZorTavlinObj.h"
#include "infra/ZorTraduction.h"
#include "ui/ZorInfoCarteEthDlg.h"
#include "ui/ZorTavlinDlgAfficherListe.h"
#include "ui/ZorWaitForTavlinDlg.h"

#include <wx/checkbox.h>
#include <wx/listctrl.h>

namespace {

class EnglishTest : public zorui::ManagerWindowTest
{};

TEST_F(EnglishTest, TheLanguageSwitchChoosesTheCatalogue)
{
    EXPECT_EQ(ZOR_TR("Annuler"), wxT("Annuler"));
    {
        zorui::EnAnglais anglais;
        EXPECT_FALSE(ZorCatalogue(wxT("en")).empty()) << "the catalogue built beside the programs";
        EXPECT_EQ(ZOR_TR("Annuler"), wxT("Cancel"));
        EXPECT_EQ(ZOR_TR("(%d Tavlin détectée)"), wxT("(%d Tavlin detected)"));
        EXPECT_EQ(ZOR_TR("un texte sans traduction"), wxT("un texte sans traduction"));
        EXPECT_EQ(ZorTrU8("Tavlin introuvable : %s"), "Tavlin not found: %s");
    }
    EXPECT_EQ(ZOR_TR("Annuler"), wxT("Annuler")) << "French again once the host says so";
}

TEST_F(EnglishTest, ListCardsAndWaitBoxesHoldTheirEnglishTexts)
{
    zorui::EnAnglais anglais;
    gpTheTavlin->AddTavlin("192.168.77.10", "Atelier", "02-54-56-4D-0A-00", "Boiler room", "admin",
                           "tavlin", "255.255.255.0", "192.168.77.254", false, "192.168.77.1",
                           "255.255.255.0", "192.168.77.254", "Tavlin v3");
    {
        ZorTavlinDlgAfficherListe dlg(*gpTheTavlin, wxEmptyString);
        dlg.Show();
        zorui::SettleUntil([&] { return dlg.IsShownOnScreen(); });
        zorui::Settle(300);
        EXPECT_TRUE(dlg.GetTitle().StartsWith("Tavlin Manager v")) << dlg.GetTitle();
        wxListItem colonne;
        colonne.SetMask(wxLIST_MASK_TEXT);
        const wxString entetes[] = {"Name", "IP address", "Comment"};
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(dlg.GetListe()->GetColumn(i, colonne));
            EXPECT_EQ(colonne.GetText(), entetes[i]);
        }
        zorui::VerifierTextes(&dlg);
        zorui::Screenshot(&dlg, "en/liste");
    }

    AjouterCarte(wxT("Intel(R) Ethernet Connection I219-LM"), wxT("192.168.177.201"),
                 wxT("192.168.177.254"));
    {
        ZorInfoCarteEthDlg dlg(*gpTheTavlin, nullptr);
        dlg.Show();
        zorui::SettleUntil([&] { return dlg.IsShownOnScreen(); });
        zorui::Settle(200);
        EXPECT_EQ(dlg.GetTitle(), "Information");
        ASSERT_EQ(dlg.GetCases().size(), 1u);
        EXPECT_EQ(dlg.GetCases()[0]->GetLabel(), "Adapter used by the software");
        zorui::VerifierTextes(&dlg);
        zorui::Screenshot(&dlg, "en/cartes_information");
        // The administrator's prompt, in English too.
        zorui::ModalScript script;
        script.Expect("Enter the software's Administrator password.", wxID_CANCEL)
            .Expect("Incorrect password.", wxID_OK);
        zorui::Click(dlg.GetCases()[0]);
        zorui::Settle(200);
    }

    const struct
    {
        const char* zNom;
        const wchar_t* zMessage;
    } attentes[] = {
        {"check", ZOR_N("Merci de patienter pendant le gestionnaire vérifie si votre Tavlin est "
                        "bien accessible à travers le réseau...")},
        {"search", ZOR_N("Merci de patienter pendant la recherche de la Tavlin...")},
        {"email", ZOR_N("Récupération des informations en cours, merci de patienter...")},
    };
    for (const auto& a : attentes) {
        SCOPED_TRACE(a.zNom);
        ZorWaitForTavlinDlg attente(nullptr, ZorTr(a.zMessage));
        attente.Show();
        zorui::Settle(100);
        EXPECT_TRUE(attente.GetChildren().size() > 0);
        zorui::VerifierTextes(&attente);
        zorui::Screenshot(&attente, wxString("en/waitdlg_") + a.zNom);
        attente.Hide();
    }
}

} // namespace
