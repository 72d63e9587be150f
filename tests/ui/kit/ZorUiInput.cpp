// Real input through the X server, and the event loop between actions.
#include "tests/ui/kit/ZorUiKit.h"

#include <wx/app.h>
#include <wx/textctrl.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include <chrono>
#include <thread>

namespace zorui {

namespace {

wxUIActionSimulator& Simulator()
{
    static wxUIActionSimulator sim;
    return sim;
}

// Two presses closer than the toolkit's double-click time make a double click, whatever the
// test meant: a single press waits until that time has passed since the previous one.
const auto kDoubleClicMax = std::chrono::milliseconds(600);
std::chrono::steady_clock::time_point gDernierePression;

void AttendreApresPression()
{
    const auto fin = gDernierePression + kDoubleClicMax;
    while (std::chrono::steady_clock::now() < fin)
        Settle(10);
}

} // namespace

void Settle(int iMs)
{
    // XTest events travel through the X server and come back as toolkit events some time
    // later, so one yield is not enough: keep yielding for a short while.
    const auto fin = std::chrono::steady_clock::now() + std::chrono::milliseconds(iMs);
    do {
        wxYield();
        if (wxTheApp)
            wxTheApp->ProcessPendingEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < fin);
    wxYield();
}

bool SettleUntil(const std::function<bool()>& done, int iTimeoutMs)
{
    const auto fin = std::chrono::steady_clock::now() + std::chrono::milliseconds(iTimeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= fin)
            return false;
        Settle(10);
    }
    return true;
}

wxPoint ScreenPoint(const wxWindow* w)
{
    const wxRect r = w->GetScreenRect();
    return wxPoint(r.x + r.width / 2, r.y + r.height / 2);
}

wxPoint ScreenPoint(const wxWindow* w, const wxPoint& inWindow)
{
    return w->GetScreenRect().GetTopLeft() + inWindow;
}

wxPoint PointOutside(const wxWindow* w)
{
    const wxRect r = w->GetScreenRect();
    return wxPoint(r.GetRight() + 25, r.y + r.height / 2);
}

void MoveTo(const wxPoint& screen)
{
    Simulator().MouseMove(screen);
    Settle();
}

void MoveInto(const wxWindow* w)
{
    MoveTo(ScreenPoint(w));
}

void MouseDown(int iButton)
{
    AttendreApresPression();
    Simulator().MouseDown(iButton);
    gDernierePression = std::chrono::steady_clock::now();
    Settle();
}

void MouseUp(int iButton)
{
    Simulator().MouseUp(iButton);
    Settle();
}

void Click(const wxWindow* w, int iButton)
{
    MoveInto(w);
    MouseDown(iButton);
    MouseUp(iButton);
}

void DoubleClick(const wxWindow* w)
{
    MoveInto(w);
    AttendreApresPression();
    Simulator().MouseDblClick();
    gDernierePression = std::chrono::steady_clock::now();
    Settle(80);
}

void Type(const wxString& zTexte)
{
    for (wxUniChar c : zTexte) {
        Simulator().Char(static_cast<int>(c.GetValue()));
        Settle(20);
    }
    Settle();
}

void TypeInto(wxWindow* w, const wxString& zTexte)
{
    Click(w);
    SettleUntil([w] { return wxWindow::FindFocus() == w; }, 1000);
    Type(zTexte);
}

void PressKey(int iKeyCode, int iModifiers)
{
    Simulator().Char(iKeyCode, iModifiers);
    Settle();
}

void SetKeyDown(int iKeyCode, bool bDown)
{
    if (bDown)
        Simulator().KeyDown(iKeyCode);
    else
        Simulator().KeyUp(iKeyCode);
    Settle();
}

} // namespace zorui
