// The network card dialog when the black list file cannot be written: the administrator is told
// so in a message box, and the card and its box stay as they were; once the file can be written
// again, the same click excludes the card.
#include "tests/ui/kit/ZorUiKit.h"

#include "device/ZorTavlinObj.h"
#include "tests/common/ZorTestSupport.h"
#include "ui/ZorInfoCarteEthDlg.h"

#include <wx/checkbox.h>
#include <wx/stdpaths.h>

#include <filesystem>

namespace {

class CartesDlgTest : public zorui::ManagerWindowTest
{};

TEST_F(CartesDlgTest, AnUnwritableBlackListChangesNothingAndSaysSo)
{
    ZorCarteEth* pCarte = AjouterCarte(wxT("eth9"), wxT("10.9.9.1"), wxT("0.0.0.0"));
    // A folder where the black list file should be: it cannot be replaced.
    const std::string zFichier =
        wxStandardPaths::Get().GetDocumentsDir().utf8_string() + "/Tavlin/tavlincarteblacklist.ini";
    std::filesystem::create_directories(zFichier + "/occupe");

    ZorInfoCarteEthDlg dlg(*gpTheTavlin, nullptr);
    dlg.Show();
    zorui::SettleUntil([&] { return dlg.IsShownOnScreen(); });
    zorui::Settle(200);
    ASSERT_EQ(dlg.GetCases().size(), 1u);
    wxCheckBox* pCase = dlg.GetCases()[0];
    {
        zorui::ModalScript script;
        script.Expect(wxString::FromUTF8("Saisissez le mot de passe"), wxID_OK, wxT("qmt417"))
            .Expect(wxString::FromUTF8(
                        "La liste des cartes réseau exclues n'a pas pu être enregistrée.\n\n"
                        "Cette carte réseau reste utilisée par votre logiciel."),
                    wxID_OK);
        zorui::Click(pCase);
        zorui::Settle(200);
        ASSERT_EQ(script.Records().size(), 2u);
        EXPECT_EQ(script.Records()[1].zTitre, wxT("Tavlin"));
        EXPECT_TRUE(script.Records()[1].iStyle & wxICON_ERROR);
    }
    EXPECT_FALSE(pCarte->m_bBlackList);
    EXPECT_TRUE(pCase->GetValue()) << "the box still says the card is used";
    zorui::Screenshot(&dlg, "cartes_liste_noire_non_enregistree");

    std::filesystem::remove_all(zFichier);
    {
        zorui::ModalScript script;
        script.Expect(wxString::FromUTF8("Cette carte réseau ne sera plus utilisée"), wxID_OK);
        zorui::Click(pCase);
        zorui::Settle(200);
    }
    EXPECT_TRUE(pCarte->m_bBlackList);
    EXPECT_FALSE(pCase->GetValue());
    EXPECT_NE(zortest::ReadFile(zFichier).find("02-00-5E-00-00-09;"), std::string::npos);
    dlg.Hide();
    zorui::Settle();
}

} // namespace
