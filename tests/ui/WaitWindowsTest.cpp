// The wait box (its bar's walk, and the input it takes from the other windows while it shows)
// and the animation window laid over the device list.
#include "tests/ui/kit/ZorUiKit.h"

#include "infra/ZorUtile.h"
#include "ui/ZorTavlinAttenteWnd.h"
#include "ui/ZorWaitForTavlinDlg.h"

#include <wx/button.h>

#include <memory>

namespace {

TEST(WaitBarWalk, FillsInTenStepsStaysFullEightTicksThenStartsAgain)
{
    int iPas = 0, iPleins = 0, iTicks = 0;
    do {
        iPas = ZorWaitForTavlinDlg::PasSuivant(iPas);
        EXPECT_EQ(iPas % 10, 0);
        iPleins += iPas >= ZorWaitForTavlinDlg::kPlage;
        ++iTicks;
    } while (iPas != 0 && iTicks < 100);
    EXPECT_EQ(iTicks, 18);
    EXPECT_EQ(iPleins, 8);
    EXPECT_EQ(ZorWaitForTavlinDlg::PasSuivant(170), 0);
}

class WaitWindowsTest : public zorui::WindowTest
{};

// The dialogs create their wait box without parent and show and hide it many times.
TEST_F(WaitWindowsTest, WaitBoxTakesTheInputWhileShownAndGivesItBack)
{
    zorui::TestFrame frame("fenetre derriere");
    auto* bouton = new wxButton(frame.Panel(), wxID_ANY, "Autre", wxPoint(20, 20), wxSize(120, 40));
    int iClics = 0;
    bouton->Bind(wxEVT_BUTTON, [&](wxCommandEvent&) { ++iClics; });
    frame.Settle();
    auto attente = std::make_unique<ZorWaitForTavlinDlg>(
        nullptr, "Merci de patienter pendant la recherche de la Tavlin...");
    EXPECT_EQ(attente->GetTitle(), "Tavlin");
    EXPECT_EQ(attente->GetSize(), wxSize(440, 200));

    for (int iFois = 0; iFois < 2; ++iFois) {
        SCOPED_TRACE(iFois);
        attente->Show();
        EXPECT_EQ(attente->GetPas(), 0);
        EXPECT_TRUE(attente->IsTimerRunning());
        EXPECT_FALSE(bouton->IsEnabled());
        // The bar moves on its own.
        EXPECT_TRUE(zorui::SettleUntil([&] { return attente->GetPas() >= 30; }, 3000));
        zorui::Click(bouton);
        EXPECT_EQ(iClics, iFois);
        if (iFois == 0)
            zorui::Screenshot(attente.get(), "waitdlg_shown");

        attente->Hide();
        EXPECT_FALSE(attente->IsTimerRunning());
        const int iPasAuMasquage = attente->GetPas();
        zorui::Click(bouton);
        EXPECT_EQ(iClics, iFois + 1);
        EXPECT_EQ(attente->GetPas(), iPasAuMasquage);
    }

    // Destroyed while shown: the other windows come back too.
    attente->Show();
    attente.reset();
    zorui::Settle();
    zorui::Click(bouton);
    EXPECT_EQ(iClics, 3);
}

TEST_F(WaitWindowsTest, AnimationWindowPaintsFramePanelAndTheCurrentPicture)
{
    zorui::TestFrame frame("attente", wxSize(520, 220));
    auto* fenetre =
        new ZorTavlinAttenteWnd(frame.Panel(), wxID_ANY, wxPoint(48, 31), wxSize(415, 115));
    EXPECT_EQ(fenetre->GetImageCourante(), -1);
    fenetre->SetTexte("Test de la Tavlin en cours, merci de patienter...");
    frame.Settle();

    const wxString paires[][2] = {{"tester1", "tester2"}, {"personnaliser1", "personnaliser2"}};
    for (const auto& paire : paires) {
        SCOPED_TRACE(paire[0]);
        fenetre->SetBitmaps(ZorUtile::GetPngBitmapResource("bitmap/" + paire[0] + ".png", 0, 0),
                            ZorUtile::GetPngBitmapResource("bitmap/" + paire[1] + ".png", 0, 0));
        EXPECT_EQ(fenetre->GetImageCourante(), 0);
        for (int i = 0; i < 3; ++i) {
            // Twice AnimationSuivante comes back to the first picture.
            const wxString& zNom = paire[i % 2];
            EXPECT_EQ(fenetre->GetImageCourante(), i % 2);
            const wxImage vu(zorui::Screenshot(fenetre, "attente_" + zNom));
            const wxImage image(ZorUtile::GetFullPath("bitmap/" + zNom + ".png"));
            ASSERT_TRUE(vu.IsOk() && image.IsOk());
            EXPECT_EQ(zorui::PixelAt(vu, wxPoint(0, 0)), ZorTavlinAttenteWnd::kOrange);
            EXPECT_EQ(zorui::PixelAt(vu, wxPoint(1, 60)), ZorTavlinAttenteWnd::kOrange);
            EXPECT_EQ(zorui::PixelAt(vu, wxPoint(2, 2)), ZorTavlinAttenteWnd::kPanneau);
            EXPECT_EQ(zorui::PixelAt(vu, wxPoint(412, 112)), ZorTavlinAttenteWnd::kPanneau);
            EXPECT_EQ(zorui::PixelAt(vu, wxPoint(414, 114)), ZorTavlinAttenteWnd::kOrange);
            // Every pixel of the picture that is not transparent shows at 20, 30.
            int iDifferents = 0;
            for (int y = 0; y < image.GetHeight(); ++y)
                for (int x = 0; x < image.GetWidth(); ++x) {
                    const wxColour c = zorui::PixelAt(image, wxPoint(x, y));
                    iDifferents += c != wxColour(255, 0, 255) &&
                                   c != zorui::PixelAt(vu, wxPoint(20 + x, 30 + y));
                }
            EXPECT_EQ(iDifferents, 0);
            fenetre->AnimationSuivante();
        }
    }
}

} // namespace
