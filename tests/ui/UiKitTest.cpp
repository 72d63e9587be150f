// The window test kit itself: real input reaches enabled windows only, the modal script answers
// and records, a screenshot shows what is on screen.
#include "tests/ui/kit/ZorUiKit.h"

#include <gtest/gtest-spi.h>
#include <wx/button.h>
#include <wx/image.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>
#include <wx/textdlg.h>

namespace {

class UiKitTest : public zorui::WindowTest
{};

TEST_F(UiKitTest, InputReachesOnlyEnabledWindows)
{
    zorui::TestFrame frame("kit input");
    auto* button =
        new wxButton(frame.Panel(), wxID_ANY, "Bouton", wxPoint(20, 20), wxSize(120, 40));
    auto* text = new wxTextCtrl(frame.Panel(), wxID_ANY, "", wxPoint(20, 90), wxSize(160, 30));
    int iClicks = 0;
    button->Bind(wxEVT_BUTTON, [&](wxCommandEvent&) { ++iClicks; });
    frame.Settle();

    zorui::Click(button);
    EXPECT_EQ(iClicks, 1);
    zorui::TypeInto(text, "abc12");
    EXPECT_EQ(text->GetValue(), "abc12");

    button->Disable();
    text->Disable();
    zorui::Settle();
    zorui::Click(button);
    zorui::TypeInto(text, "x");
    EXPECT_EQ(iClicks, 1);
    EXPECT_EQ(text->GetValue(), "abc12");
}

TEST_F(UiKitTest, ModalScriptAnswersRecordsAndCatchesTheUnexpected)
{
    zorui::ModalScript script;
    script.Expect("Continuer", wxID_NO).Expect("Mot de passe", wxID_OK, "secret");
    EXPECT_EQ(wxMessageBox("Continuer ?", "Tavlin", wxYES_NO | wxICON_QUESTION), wxNO);
    wxPasswordEntryDialog prompt(nullptr, "Mot de passe", "Tavlin");
    EXPECT_EQ(prompt.ShowModal(), wxID_OK);
    EXPECT_EQ(prompt.GetValue(), "secret");

    ASSERT_EQ(script.Records().size(), 2u);
    EXPECT_EQ(script.Records()[0].zTexte, "Continuer ?");
    EXPECT_EQ(script.Records()[0].zTitre, "Tavlin");
    EXPECT_TRUE(script.Records()[0].iStyle & wxYES_NO);
    EXPECT_TRUE(script.Records()[0].iStyle & wxICON_QUESTION);
    EXPECT_EQ(script.Records()[1].zTexte, "Mot de passe");

    EXPECT_NONFATAL_FAILURE(wxMessageBox("Surprise", "Tavlin"), "unexpected modal dialog");
    EXPECT_NONFATAL_FAILURE(wxFAIL_MSG("surprise"), "toolkit check failed");
    EXPECT_NONFATAL_FAILURE(
        {
            zorui::ModalScript jamaisUtilise;
            jamaisUtilise.Expect("Attendu", wxID_OK);
        },
        "never came");
}

TEST_F(UiKitTest, ScreenshotShowsTheWindow)
{
    zorui::TestFrame frame("kit screenshot", wxSize(200, 120));
    frame.Panel()->SetBackgroundColour(wxColour(255, 128, 0));
    frame.Settle();
    const wxString zPath = zorui::Screenshot(frame.Panel(), "kit_orange_panel");
    ASSERT_FALSE(zPath.empty());
    wxImage image(zPath, wxBITMAP_TYPE_PNG);
    ASSERT_TRUE(image.IsOk());
    EXPECT_EQ(image.GetSize(), frame.Panel()->GetSize());
    const int x = image.GetWidth() / 2, y = image.GetHeight() / 2;
    EXPECT_EQ(zorui::PixelAt(image, wxPoint(x, y)), wxColour(255, 128, 0));

    // A later state of the same window shows in the next screenshot.
    frame.Panel()->SetBackgroundColour(wxColour(0, 0, 255));
    frame.Panel()->Refresh();
    image.LoadFile(zorui::Screenshot(frame.Panel(), "kit_blue_panel"), wxBITMAP_TYPE_PNG);
    ASSERT_TRUE(image.IsOk());
    EXPECT_EQ(zorui::PixelAt(image, wxPoint(x, y)), wxColour(0, 0, 255));
}

} // namespace
