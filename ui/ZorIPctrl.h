// An IPv4 address entry: four one-byte decimal entries separated by dots.
#pragma once

#include "infra/ZorExport.h"
#include "network/ZorAdresseIP.h"

#include <wx/window.h>

class wxTextCtrl;

class ZOR_EXPORT ZorIPctrl : public wxWindow
{
public:
    ZorIPctrl(wxWindow* pParent, wxWindowID id, const wxPoint& pos = wxDefaultPosition);

    // An empty entry reads as 0.
    ZorAdresseIP GetAdresseIP() const;
    void SetAdresseIP(const ZorAdresseIP& adresse);
    // Entry 0 to 3, in the order of the dotted notation.
    wxTextCtrl* GetChamp(int i) const { return m_champs[i & 3]; }

private:
    void OnTextChange(wxCommandEvent& event);

    wxTextCtrl* m_champs[4];
};
