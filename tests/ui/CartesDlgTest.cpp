// The network card dialog when the black list file cannot be written: the administrator is told
// so in a message box, and the card and its box stay as they were; once the file can be written
// again, the same click excludes the card.
#include "tests/ui/kit/ZorUiKit.h"

#include "device/ZorTavlinObj.h"
#include "infra/ZorTraduction.h"
#include "tests/common/ZorTestSupport.h"
#include "ui/ZorInfoCarteEthDlg.h"

#include <wx/checkbox.h>
#include <wx/stdpaths.h>

#include <filesystem>

namespace {

// In French, the source texts, and in English as a host that set iZorLangue to 1 sees them.
class CartesDlgTest : public zorui::ManagerWindowTest, public testing::WithParamInterface<bool>
{};

INSTANTIATE_TEST_SUITE_P(, CartesDlgTest, testing::Bool(), zorui::NomDeLangue);

wxString T(const char* z)
{
    return ZorTr(wxString::FromUTF8(z));
}

TEST_P(CartesDlgTest, AnUnwritableBlackListChangesNothingAndSaysSo)
{
    zorui::LangueDuTest langue;
    langue.Choisir(GetParam());
    ZorCarteEth* pCarte = AjouterCarte(wxT("eth9"), wxT("10.9.9.1"), wxT("0.0.0.0"));
    // A folder where the black list file should be: it cannot be replaced.
    const std::string zFichier =
        wxStandardPaths::Get().GetDocumentsDir().utf8_string() + "/Tavlin/tavlincarteblacklist.ini";
    std::filesystem::remove_all(zFichier); // the other language's run left the real file
    std::filesystem::create_directories(zFichier + "/occupe");

    ZorInfoCarteEthDlg dlg(*gpTheTavlin, nullptr);
    dlg.Show();
    zorui::SettleUntil([&] { return dlg.IsShownOnScreen(); });
    zorui::Settle(200);
    ASSERT_EQ(dlg.GetCases().size(), 1u);
    wxCheckBox* pCase = dlg.GetCases()[0];
    {
        zorui::ModalScript script;
        script
            .Expect(T("Saisissez le mot de passe Administrateur du logiciel."), wxID_OK,
                    wxT("qmt417"))
            .Expect(T("La liste des cartes réseau exclues n'a pas pu être enregistrée.\n\n"
                      "Cette carte réseau reste utilisée par votre logiciel."),
                    wxID_OK)
            .Photo(&dlg, langue.Photo("cartes_message_liste_noire_non_enregistree"));
        zorui::Click(pCase);
        zorui::Settle(200);
        ASSERT_EQ(script.Records().size(), 2u);
        EXPECT_EQ(script.Records()[1].zTitre, wxT("Tavlin"));
        EXPECT_TRUE(script.Records()[1].iStyle & wxICON_ERROR);
    }
    EXPECT_FALSE(pCarte->m_bBlackList);
    EXPECT_TRUE(pCase->GetValue()) << "the box still says the card is used";
    langue.Photographier(&dlg, "cartes_liste_noire_non_enregistree");

    std::filesystem::remove_all(zFichier);
    {
        zorui::ModalScript script;
        script.Expect(T("Cette carte réseau ne sera plus utilisée par votre logiciel.\n\nFermez "
                        "puis relancez le logiciel pour prendre en compte les modifications."),
                      wxID_OK);
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
