// A frameless wait box with a message and a bar that keeps moving; while it shows, every other
// window of the application refuses input.
#pragma once

#include "infra/ZorExport.h"

#include <wx/dialog.h>
#include <wx/event.h>
#include <wx/timer.h>

#include <memory>

class wxGauge;
class wxStaticText;
class wxWindowDisabler;

class ZOR_EXPORT ZorWaitForTavlinDlg : public wxDialog
{
public:
    // Created once by the dialog that needs it (usually without parent), then shown and hidden
    // many times with Show.
    ZorWaitForTavlinDlg(wxWindow* pParent, const wxString& zMessage);
    ~ZorWaitForTavlinDlg() override;

    bool Show(bool bShow = true) override;

    // One step of the bar: ten steps to fill it, eight ticks full, then again from empty.
    static int PasSuivant(int iPas);
    // Where the bar is in its walk (0 to 170).
    int GetPas() const { return m_iPas; }
    bool IsTimerRunning() const { return m_timer.IsRunning(); }

    static constexpr int kPeriodeMs = 50;
    static constexpr int kPlage = 100;

private:
    void OnInitDialog(wxInitDialogEvent& event);
    void OnShowDialog(wxShowEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnPaint(wxPaintEvent& event);
    // Starts or ends the walk and the application-wide modality to match IsShown().
    void SuivreAffichage();
    void SetPas(int iPas);

    wxGauge* m_pGauge;
    wxStaticText* m_pTexte;
    wxTimer m_timer;
    int m_iPas = 0;
    // The toolkit has no application-modal mode for a modeless dialog any more: disabling
    // every other top-level window while this one shows gives the same effect.
    std::unique_ptr<wxWindowDisabler> m_pDisabler;
};
