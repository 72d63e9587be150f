// Real typing of any Latin-1 text for the customisation dialog's tests.
#include "tests/ui_lan/PersonnaliserDlgKit.h"

#include <wx/uiaction.h>

#include <X11/Xlib.h>

namespace zorperso {

namespace {

// A key for a Latin-1 letter the keyboard map lacks (its key symbol is its code point), taken
// from the keys that carry nothing.
void DonnerUneTouche(unsigned long iCaractere)
{
    static Display* pDisplay = XOpenDisplay(nullptr);
    if (!pDisplay || iCaractere > 0xFF)
        return;
    KeySym symbole = static_cast<KeySym>(iCaractere);
    if (XKeysymToKeycode(pDisplay, symbole) != 0)
        return;
    int iMin = 0, iMax = 0, iParTouche = 0;
    XDisplayKeycodes(pDisplay, &iMin, &iMax);
    KeySym* pTable =
        XGetKeyboardMapping(pDisplay, static_cast<KeyCode>(iMin), iMax - iMin + 1, &iParTouche);
    for (int k = iMax; k >= iMin; --k) {
        bool bLibre = true;
        for (int j = 0; j < iParTouche; ++j)
            bLibre = bLibre && pTable[(k - iMin) * iParTouche + j] == NoSymbol;
        if (bLibre) {
            KeySym symboles[2] = {symbole, symbole};
            XChangeKeyboardMapping(pDisplay, k, 2, symboles, 1);
            XSync(pDisplay, False);
            break;
        }
    }
    XFree(pTable);
    // The toolkit learns of the new map through the server's notice.
    zorui::Settle(100);
}

} // namespace

void Taper(const wxString& zTexte)
{
    wxUIActionSimulator simulateur;
    for (wxUniChar c : zTexte) {
        const unsigned long iCode = c.GetValue();
        if (iCode < 0x80) {
            // Text() presses shift for capitals and the shifted signs; Char() would not.
            const char z[2] = {static_cast<char>(iCode), '\0'};
            simulateur.Text(z);
        } else {
            DonnerUneTouche(iCode);
            simulateur.Char(static_cast<int>(iCode));
        }
        zorui::Settle(20);
    }
    zorui::Settle();
}

void Retaper(wxTextCtrl* pChamp, const wxString& zTexte)
{
    pChamp->ChangeValue(wxEmptyString);
    zorui::Click(pChamp);
    zorui::SettleUntil([pChamp] { return wxWindow::FindFocus() == pChamp; }, 1000);
    Taper(zTexte);
}

} // namespace zorperso
