// The "Information" dialog: the PC's network cards as the device manager sees them, each with a
// box that takes it out of device discovery (administrator password, black list), and the
// manual firmware update. Opened from the device list. Main thread only.
#pragma once

#include "infra/ZorExport.h"

#include <wx/dialog.h>

#include <vector>

class wxCheckBox;
class wxButton;
class ZorTavlinDlgAfficherListe;

class ZorTavlinObj;

class ZOR_EXPORT ZorInfoCarteEthDlg : public wxDialog
{
public:
    // The PC's adapters, not the library's loopback record. At most this many are listed.
    static constexpr size_t kCartesMax = 255;

    // The adapters and black list of tavlin (which outlives the dialog); pParent may be null.
    ZorInfoCarteEthDlg(ZorTavlinObj& tavlin, ZorTavlinDlgAfficherListe* pParent);

    // Seen by tests.
    const std::vector<wxCheckBox*>& GetCases() const { return m_cases; }
    wxButton* GetBoutonMiseAJour() const { return m_pMiseAJour; }
    bool IsAdministrateur() const { return m_bAdministrateur; }

private:
    void OnOK(wxCommandEvent& event);
    void OnBouton(wxCommandEvent& event);
    void OnCheckCarte(wxCommandEvent& event);

    ZorTavlinObj& m_tavlin;
    ZorTavlinDlgAfficherListe* m_pParent;
    std::vector<wxCheckBox*> m_cases;
    // Where each box's card stands in the manager's list (the loopback record is not shown).
    std::vector<size_t> m_indices;
    wxButton* m_pMiseAJour = nullptr;
    bool m_bAdministrateur = false;
};
