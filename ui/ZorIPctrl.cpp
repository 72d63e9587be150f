#include "ui/ZorIPctrl.h"

#include "infra/ZorTraduction.h"

#include <wx/msgdlg.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/valtext.h>

namespace {

const int kHauteurChamp = 26;

// Wide, so the accents do not depend on the C locale's code set.
const wchar_t* const kMessageHorsOctet =
    ZOR_N("%d n'est pas une entrée valide. Veuillez spécifier une valeur comprise entre 0 et 255.");

int ValeurChamp(const wxTextCtrl* pChamp)
{
    long iValeur = 0;
    return pChamp->GetValue().ToLong(&iValeur) ? static_cast<int>(iValeur) : 0;
}

} // namespace

ZorIPctrl::ZorIPctrl(wxWindow* pParent, wxWindowID id, const wxPoint& pos)
    : wxWindow(pParent, id, pos, wxSize(200, 30), wxBORDER_SUNKEN | wxTAB_TRAVERSAL)
{
    SetBackgroundColour(*wxWHITE);
    wxTextValidator chiffres(wxFILTER_INCLUDE_CHAR_LIST);
    chiffres.SetCharIncludes("0123456789");
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            auto* pPoint = new wxStaticText(this, wxID_ANY, ".", wxPoint(50 * i, 2));
            // Centred in the entries' height as their digits are, so the dot sits on their line.
            pPoint->Move(50 * i, 2 + (kHauteurChamp - pPoint->GetSize().y) / 2);
        }
        m_champs[i] =
            new wxTextCtrl(this, wxID_ANY, wxString(), wxPoint(5 + 50 * i, 2),
                           wxSize(40, kHauteurChamp), long(wxBORDER_NONE) | wxTE_CENTRE, chiffres);
        m_champs[i]->SetMaxLength(3);
        m_champs[i]->Bind(wxEVT_TEXT, &ZorIPctrl::OnTextChange, this);
    }
}

ZorAdresseIP ZorIPctrl::GetAdresseIP() const
{
    return ZorAdresseIP(wxString::Format("%d.%d.%d.%d", ValeurChamp(m_champs[0]),
                                         ValeurChamp(m_champs[1]), ValeurChamp(m_champs[2]),
                                         ValeurChamp(m_champs[3])));
}

void ZorIPctrl::SetAdresseIP(const ZorAdresseIP& adresse)
{
    for (int i = 0; i < 4; ++i)
        m_champs[i]->ChangeValue(wxString::Format("%d", adresse.GetOctet(i)));
}

void ZorIPctrl::OnTextChange(wxCommandEvent& event)
{
    auto* pChamp = dynamic_cast<wxTextCtrl*>(event.GetEventObject());
    if (!pChamp)
        return;
    const int iValeur = ValeurChamp(pChamp);
    if (iValeur >= 256) {
        wxMessageBox(wxString::Format(ZorTr(kMessageHorsOctet), iValeur), wxMessageBoxCaptionStr,
                     wxOK | wxCENTRE, this);
        pChamp->ChangeValue("0");
    }
}
