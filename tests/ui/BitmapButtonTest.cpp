// The picture button through real pointer input: which picture shows, and which events reach
// its parent.
#include "tests/ui/kit/ZorUiKit.h"

#include "infra/ZorUtile.h"
#include "ui/ZorBitmapButtonWnd.h"

#include <wx/image.h>

#include <vector>

namespace {

using Image = ZorBitmapButtonWnd::Image;

TEST(BitmapButtonChoice, PictureFollowsPressPointerAndControl)
{
    struct Cas
    {
        bool bPressed, bInside, bControle;
        Image attendu;
    };
    const Cas cas[] = {
        {false, false, false, ZorBitmapButtonWnd::IMAGE_LABEL},
        {false, false, true, ZorBitmapButtonWnd::IMAGE_LABEL},
        {false, true, false, ZorBitmapButtonWnd::IMAGE_HOVER},
        {false, true, true, ZorBitmapButtonWnd::IMAGE_HOVER},
        {true, false, false, ZorBitmapButtonWnd::IMAGE_LABEL},
        {true, false, true, ZorBitmapButtonWnd::IMAGE_LABEL},
        {true, true, false, ZorBitmapButtonWnd::IMAGE_SELECTED},
        {true, true, true, ZorBitmapButtonWnd::IMAGE_HOVER},
    };
    for (const Cas& c : cas)
        EXPECT_EQ(ZorBitmapButtonWnd::ChoisirImage(c.bPressed, c.bInside, c.bControle), c.attendu)
            << "pressed " << c.bPressed << " inside " << c.bInside << " control " << c.bControle;
}

class BitmapButtonTest : public zorui::WindowTest
{
protected:
    // What the parent received from the button, in order.
    struct Recu
    {
        wxEventType type;
        int id;
    };
    std::vector<Recu> m_recus;

    ZorBitmapButtonWnd* NouveauBouton(wxWindow* pParent, const wxString& zNom, const wxPoint& pos)
    {
        const wxBitmap label = ZorUtile::GetPngBitmapResource("bitmap/" + zNom + ".png", 0, 0);
        auto* b = new ZorBitmapButtonWnd(pParent, wxID_HIGHEST + 7, label, pos, label.GetSize(), 0);
        b->SetBitmapSelected(ZorUtile::GetPngBitmapResource("bitmap/" + zNom + "_on.png", 0, 0));
        b->SetBitmapHover(ZorUtile::GetPngBitmapResource("bitmap/" + zNom + "_s.png", 0, 0));
        return b;
    }

    // The parent also gets its own pointer crossings as mouse events of the same types: only
    // command events from the button count.
    void Ecouter(wxWindow* pParent, const ZorBitmapButtonWnd* b)
    {
        const wxEventType types[] = {wxEVT_BUTTON, wxEVT_COMMAND_RIGHT_CLICK,
                                     wxEVT_COMMAND_LEFT_DCLICK, wxEVT_ENTER_WINDOW,
                                     wxEVT_LEAVE_WINDOW};
        for (wxEventType type : types)
            pParent->Bind(wxEventTypeTag<wxEvent>(type), [this, b](wxEvent& e) {
                if (e.GetEventObject() == b && dynamic_cast<wxCommandEvent*>(&e))
                    m_recus.push_back({e.GetEventType(), e.GetId()});
                e.Skip();
            });
    }

    size_t Compte(wxEventType type) const
    {
        size_t n = 0;
        for (const Recu& r : m_recus)
            n += r.type == type;
        return n;
    }
};

TEST_F(BitmapButtonTest, ClickNeedsReleaseInsideAndEveryEventReachesTheParent)
{
    zorui::TestFrame frame("bouton");
    ZorBitmapButtonWnd* b = NouveauBouton(frame.Panel(), "ok", wxPoint(60, 60));
    Ecouter(frame.Panel(), b);
    frame.Settle();
    EXPECT_EQ(b->GetImageCourante(), ZorBitmapButtonWnd::IMAGE_LABEL);

    zorui::MoveInto(b);
    EXPECT_TRUE(b->IsHover());
    EXPECT_EQ(b->GetImageCourante(), ZorBitmapButtonWnd::IMAGE_HOVER);
    EXPECT_EQ(Compte(wxEVT_ENTER_WINDOW), 1u);

    // Press, move out, release outside: no click.
    zorui::MouseDown();
    EXPECT_EQ(b->GetImageCourante(), ZorBitmapButtonWnd::IMAGE_SELECTED);
    zorui::MoveTo(zorui::PointOutside(b));
    EXPECT_EQ(b->GetImageCourante(), ZorBitmapButtonWnd::IMAGE_LABEL);
    zorui::MouseUp();
    EXPECT_EQ(Compte(wxEVT_BUTTON), 0u);
    EXPECT_FALSE(b->IsPressed());

    // Press, move out and back in, release inside: one click.
    zorui::MoveInto(b);
    zorui::MouseDown();
    zorui::MoveTo(zorui::PointOutside(b));
    zorui::MoveInto(b);
    EXPECT_EQ(b->GetImageCourante(), ZorBitmapButtonWnd::IMAGE_SELECTED);
    zorui::MouseUp();
    EXPECT_EQ(Compte(wxEVT_BUTTON), 1u);

    // Control held at the press shows the hover picture while pressed; still a click.
    zorui::SetKeyDown(WXK_CONTROL, true);
    zorui::MouseDown();
    EXPECT_EQ(b->GetImageCourante(), ZorBitmapButtonWnd::IMAGE_HOVER);
    zorui::MouseUp();
    zorui::SetKeyDown(WXK_CONTROL, false);
    EXPECT_EQ(Compte(wxEVT_BUTTON), 2u);

    zorui::Click(b, wxMOUSE_BTN_RIGHT);
    EXPECT_EQ(Compte(wxEVT_COMMAND_RIGHT_CLICK), 1u);
    zorui::DoubleClick(b);
    EXPECT_EQ(Compte(wxEVT_COMMAND_LEFT_DCLICK), 1u);

    zorui::MoveTo(zorui::PointOutside(b));
    EXPECT_FALSE(b->IsHover());
    EXPECT_GE(Compte(wxEVT_LEAVE_WINDOW), 1u);
    for (const Recu& r : m_recus)
        EXPECT_EQ(r.id, b->GetId());
}

TEST_F(BitmapButtonTest, DisabledButtonRefusesClicks)
{
    zorui::TestFrame frame("bouton inactif");
    ZorBitmapButtonWnd* b = NouveauBouton(frame.Panel(), "annuler", wxPoint(60, 60));
    Ecouter(frame.Panel(), b);
    b->Disable();
    frame.Settle();
    zorui::Click(b);
    EXPECT_EQ(Compte(wxEVT_BUTTON), 0u);
    b->Enable();
    zorui::Settle();
    zorui::Click(b);
    EXPECT_EQ(Compte(wxEVT_BUTTON), 1u);
}

// Each of the dialogs' buttons in its three states; the screen shows the state's own picture.
TEST_F(BitmapButtonTest, ScreenshotsOfEveryButtonInItsThreeStates)
{
    zorui::TestFrame frame("boutons");
    for (const char* nom : {"ok", "maj", "warning", "annuler", "personnaliser", "tester"}) {
        SCOPED_TRACE(nom);
        ZorBitmapButtonWnd* b = NouveauBouton(frame.Panel(), nom, wxPoint(60, 60));
        frame.Settle();
        const struct
        {
            const char* zEtat;
            const char* zSuffixe;
        } etats[] = {{"normal", ""}, {"hover", "_s"}, {"pressed", "_on"}};
        for (const auto& etat : etats) {
            if (wxString(etat.zEtat) == "hover")
                zorui::MoveInto(b);
            if (wxString(etat.zEtat) == "pressed")
                zorui::MouseDown();
            const wxString zPath =
                zorui::Screenshot(b, wxString::Format("button_%s_%s", nom, etat.zEtat));
            ASSERT_FALSE(zPath.empty());
            wxImage vu(zPath), attendu(ZorUtile::GetFullPath(
                                   wxString::Format("bitmap/%s%s.png", nom, etat.zSuffixe)));
            ASSERT_TRUE(vu.IsOk() && attendu.IsOk());
            ASSERT_EQ(vu.GetSize(), attendu.GetSize());
            for (const wxPoint& p : {wxPoint(vu.GetWidth() / 2, vu.GetHeight() / 2), wxPoint(3, 3)})
                EXPECT_EQ(zorui::PixelAt(vu, p), zorui::PixelAt(attendu, p))
                    << etat.zEtat << " at " << p.x << "," << p.y;
        }
        zorui::MoveTo(zorui::PointOutside(b));
        zorui::MouseUp();
        b->Destroy();
    }
}

} // namespace
