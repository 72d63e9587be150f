// Test kit for real windows: tests run under a private X display with the toolkit's own event
// loop; input goes through the X server (XTest), so a disabled or covered window refuses it as
// it would refuse a person; modal dialogs are answered by a script; screenshots are kept.
//
//   class MyDlgTest : public zorui::WindowTest {};
//   TEST_F(MyDlgTest, Something) {
//       zorui::TestFrame frame("button");          // a shown frame with a panel
//       auto* b = new ZorBitmapButtonWnd(frame.Panel(), ...);
//       frame.Settle();
//       zorui::Click(b);                            // real pointer moves and presses
//       zorui::ModalScript script;                  // message boxes in this scope
//       script.Expect("n'est pas", wxID_OK);
//       ...
//       zorui::Screenshot(&frame, "button_pressed");
//   }
#pragma once

#include <gtest/gtest.h>
#include <wx/colour.h>
#include <wx/dialog.h>
#include <wx/image.h>
#include <wx/frame.h>
#include <wx/modalhook.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>
#include <wx/string.h>

#include <functional>
#include <optional>
#include <ostream>
#include <vector>

class ZorCarteEth;

namespace zorui {

// --- Event loop ------------------------------------------------------------------------------

// Lets the toolkit and the X server catch up: yields repeatedly for about iMs milliseconds.
void Settle(int iMs = 40);
// Runs the event loop until done() or iTimeoutMs; returns done().
bool SettleUntil(const std::function<bool()>& done, int iTimeoutMs = 2000);

// --- Real input (wxUIActionSimulator, then Settle) -------------------------------------------

// A point of a window in screen coordinates; the default is its centre.
wxPoint ScreenPoint(const wxWindow* w);
wxPoint ScreenPoint(const wxWindow* w, const wxPoint& inWindow);
// A screen point just outside the window (right of it, same height).
wxPoint PointOutside(const wxWindow* w);

void MoveTo(const wxPoint& screen);
void MoveInto(const wxWindow* w);
void MouseDown(int iButton = wxMOUSE_BTN_LEFT);
void MouseUp(int iButton = wxMOUSE_BTN_LEFT);
// Moves into the window, then presses and releases (or double-clicks) there.
void Click(const wxWindow* w, int iButton = wxMOUSE_BTN_LEFT);
void DoubleClick(const wxWindow* w);
// Clicks into a text entry (giving it the focus), then types the characters one by one.
void TypeInto(wxWindow* w, const wxString& zTexte);
// Types into whatever has the focus.
void Type(const wxString& zTexte);
void PressKey(int iKeyCode, int iModifiers = wxMOD_NONE);
void SetKeyDown(int iKeyCode, bool bDown);

// --- Modal dialogs ---------------------------------------------------------------------------

// One modal dialog that the code under test opened.
struct ModalRecord
{
    wxString zClasse; // toolkit class name, e.g. "wxMessageDialog"
    wxString zTexte;  // message of a message box or prompt
    wxString zTitre;  // caption
    long iStyle = 0;  // message box style (wxOK, wxICON_..., wxCENTRE...) or dialog style
    int iReponse = 0; // what the script answered
};

// While it lives, every modal dialog is answered from the script instead of being shown.
// Expectations are used in order; a dialog that no expectation matches fails the test (with its
// text) and is answered wxID_CANCEL. Expectations left unused fail the test at destruction.
class ModalScript : public wxModalDialogHook
{
public:
    ModalScript();
    ~ModalScript() override;
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    // The next dialog must contain zMorceau in its text or caption (empty: any dialog); it gets
    // iReponse (wxID_OK, wxID_YES, wxID_NO...). A text or password prompt also receives zSaisie.
    ModalScript& Expect(const wxString& zMorceau, int iReponse,
                        const wxString& zSaisie = wxString());
    // The message box of the last expectation is also photographed over pFond as zNom (see
    // PhotographierMessage) before it gets its answer.
    ModalScript& Photo(const wxWindow* pFond, const wxString& zNom);

    const std::vector<ModalRecord>& Records() const { return m_records; }
    size_t Pending() const { return m_attendus.size() - m_iSuivant; }

protected:
    int Enter(wxDialog* dialog) override;
    void Exit(wxDialog* dialog) override;

private:
    struct Attendu
    {
        wxString zMorceau;
        int iReponse;
        wxString zSaisie;
        const wxWindow* pFond = nullptr;
        wxString zPhoto;
    };
    std::vector<Attendu> m_attendus;
    size_t m_iSuivant = 0;
    std::vector<ModalRecord> m_records;
};

// Scripts answer message boxes without showing them. To let a person review one, a copy (same
// parent, text, caption, style) is shown for real, pFond is photographed with it on top as zNom
// (widened to hold all of the box),
// and a real Enter key closes the copy; the code under test then gets its scripted answer.
void PhotographierMessage(const wxMessageDialog& modele, const wxWindow* pFond,
                          const wxString& zNom);
// True while such a copy is shown: a test's modal hook lets it through (returns wxID_NONE).
bool CopieDeMessageAffichee();

// --- Pixels and texts ------------------------------------------------------------------------

wxColour PixelAt(const wxImage& image, const wxPoint& p);
// True when the label, wrapped at word boundaries to the control's width, fits its height: a
// false answer means the user sees only part of it.
bool TextFits(const wxWindow* label);

// --- Windows to host controls, screenshots ---------------------------------------------------

// A top-level frame with a panel (controls go on the panel so keys and focus behave), shown at
// a fixed place of the screen and destroyed with the object.
class TestFrame
{
public:
    explicit TestFrame(const wxString& zTitre, const wxSize& size = wxSize(420, 260),
                       const wxPoint& pos = wxPoint(40, 40));
    ~TestFrame();
    TestFrame(const TestFrame&) = delete;
    TestFrame& operator=(const TestFrame&) = delete;
    wxFrame* Frame() const { return m_pFrame; }
    wxPanel* Panel() const { return m_pPanel; }
    // Shows, raises, and waits until the frame is on screen and painted.
    void Settle();

private:
    wxFrame* m_pFrame;
    wxPanel* m_pPanel;
};

// Folder where screenshots are kept: <build>/screenshots (created on demand).
wxString ScreenshotDir();
// Saves what the screen shows of the window as ScreenshotDir()/zNom.png; zNom says the dialog
// and its state ("ipctrl_disabled"). Returns the file's path, empty on failure.
wxString Screenshot(const wxWindow* w, const wxString& zNom);
// The same, widened to hold the window shown above all others (a message box bigger than w).
wxString ScreenshotAvecDessus(const wxWindow* w, const wxString& zNom);
// One PNG showing every picture of a folder (*.png and *.ico) at its own size, labelled with its
// name and size, on a neutral checked background so transparency shows.
wxString ContactSheet(const wxString& zDossier, const wxString& zNom);

// While it lives, the library speaks English (iZorLangue = 1), as a host that asked for it.
class EnAnglais
{
public:
    EnAnglais();
    ~EnAnglais();
    EnAnglais(const EnAnglais&) = delete;
    EnAnglais& operator=(const EnAnglais&) = delete;

private:
    int m_iAvant;
};
// For a scenario run once per language (a test parameterised by a bool, true for English):
// English while Choisir(true) holds; the English run's pictures go under en/ and the texts of the
// windows it photographs are checked to fit.
class LangueDuTest
{
public:
    void Choisir(bool bAnglais);
    bool Anglais() const { return m_anglais.has_value(); }
    // zNom, or en/zNom in English.
    wxString Photo(const wxString& zNom) const;
    void Photographier(const wxWindow* w, const wxString& zNom) const;

private:
    std::optional<EnAnglais> m_anglais;
};
// The names of the two runs in the test list: "Francais" and "Anglais".
std::string NomDeLangue(const testing::TestParamInfo<bool>& info);

// Every static text, button and check box of the window and its children holds its text (the
// fit check of TextFits, the best width for buttons and boxes). Hidden ones too: a page shown
// later must fit as well.
void VerifierTextes(const wxWindow* w);

// Base fixture: skips when no display is there, points ZorUtile at the build folder (so
// "bitmap/..." resolves to the built pictures), and fails if a test leaves a top-level window.
class WindowTest : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
};

// The same with the device manager made for the test (fed by hand, no network) and deleted
// after it.
class ManagerWindowTest : public WindowTest
{
protected:
    void SetUp() override;
    void TearDown() override;
    // One adapter of the PC added to the manager's list (which owns it), mask 255.255.255.0.
    ZorCarteEth* AjouterCarte(const wxString& zDescription, const wxString& zIP,
                              const wxString& zPasserelle);
};

} // namespace zorui

// Colours in test messages as "rgb(r, g, b)" rather than an address.
void PrintTo(const wxColour& colour, std::ostream* os);
