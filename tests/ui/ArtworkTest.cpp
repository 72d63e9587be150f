// Screenshots for review: every picture of bitmap/ on one sheet, and the wait box with each
// message the dialogs give it.
#include "tests/ui/kit/ZorUiKit.h"

#include "infra/ZorUtile.h"
#include "ui/ZorWaitForTavlinDlg.h"

#include <wx/dir.h>
#include <wx/stattext.h>

namespace {

class ArtworkTest : public zorui::WindowTest
{};

TEST_F(ArtworkTest, ContactSheetOfEveryPicture)
{
    const wxString zDossier = ZorUtile::GetFullPath("bitmap");
    if (!wxDir::Exists(zDossier))
        GTEST_SKIP() << "no pictures built in " << zDossier;
    const wxImage feuille(zorui::ContactSheet(zDossier, "bitmap_contact_sheet"));
    ASSERT_TRUE(feuille.IsOk());
    EXPECT_GT(feuille.GetHeight(), 100);
}

TEST_F(ArtworkTest, WaitBoxShowsEachMessageWhole)
{
    const struct
    {
        const char* zNom;
        const wchar_t* zMessage;
    } messages[] = {
        {"check", L"Merci de patienter pendant le gestionnaire vérifie si votre Tavlin est bien "
                  L"accessible à travers le réseau..."},
        {"search", L"Merci de patienter pendant la recherche de la Tavlin..."},
        {"email", L"Récupération des informations en cours, merci de patienter..."},
    };
    for (const auto& m : messages) {
        SCOPED_TRACE(m.zNom);
        ZorWaitForTavlinDlg attente(nullptr, m.zMessage);
        attente.Show();
        zorui::Settle(100);
        zorui::Screenshot(&attente, wxString("waitdlg_") + m.zNom);
        for (wxWindow* enfant : attente.GetChildren()) {
            if (dynamic_cast<wxStaticText*>(enfant)) {
                EXPECT_TRUE(zorui::TextFits(enfant));
            }
        }
        attente.Hide();
    }
}

} // namespace
