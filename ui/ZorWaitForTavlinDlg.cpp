#include "ui/ZorWaitForTavlinDlg.h"

#include "ui/ZorTavlinAttenteWnd.h"

#include <wx/dcclient.h>
#include <wx/gauge.h>
#include <wx/settings.h>
#include <wx/stattext.h>
#include <wx/utils.h>

#include <algorithm>

ZorWaitForTavlinDlg::ZorWaitForTavlinDlg(wxWindow* pParent, const wxString& zMessage)
    : wxDialog(pParent, wxID_ANY, "Tavlin", wxDefaultPosition, wxSize(440, 200), 0), m_timer(this)
{
    m_pGauge =
        new wxGauge(this, wxID_ANY, kPlage, wxPoint(10, 50), wxSize(420, 30), wxGA_HORIZONTAL);
    // As wide as the bar and flush with its right end: at 300 px GTK's font broke the longest
    // message into three ragged lines. Two lines high for it.
    m_pTexte = new wxStaticText(this, wxID_ANY, zMessage, wxPoint(10, 85), wxSize(420, 60),
                                wxALIGN_RIGHT | wxST_NO_AUTORESIZE);
    Centre(wxBOTH);
    Bind(wxEVT_INIT_DIALOG, &ZorWaitForTavlinDlg::OnInitDialog, this);
    Bind(wxEVT_SHOW, &ZorWaitForTavlinDlg::OnShowDialog, this);
    Bind(wxEVT_TIMER, &ZorWaitForTavlinDlg::OnTimer, this, m_timer.GetId());
    Bind(wxEVT_PAINT, &ZorWaitForTavlinDlg::OnPaint, this);
}

void ZorWaitForTavlinDlg::OnPaint(wxPaintEvent&)
{
    // Without a frame the box would melt into the window under it: a thin outline, and the
    // orange band the device list has along its top.
    wxPaintDC dc(this);
    const wxSize taille = GetClientSize();
    dc.SetPen(wxPen(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW)));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(0, 0, taille.x, taille.y);
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(ZorTavlinAttenteWnd::kOrange));
    dc.DrawRectangle(0, 0, taille.x, 4);
}

ZorWaitForTavlinDlg::~ZorWaitForTavlinDlg()
{
    // Destroyed while shown: the other windows must not stay disabled.
    m_timer.Stop();
    m_pDisabler.reset();
}

int ZorWaitForTavlinDlg::PasSuivant(int iPas)
{
    return (iPas + 10) % 180;
}

bool ZorWaitForTavlinDlg::Show(bool bShow)
{
    // The other windows come back before this one goes, so the focus has somewhere to land.
    if (!bShow)
        m_pDisabler.reset();
    const bool bChange = wxDialog::Show(bShow);
    SuivreAffichage();
    return bChange;
}

void ZorWaitForTavlinDlg::OnInitDialog(wxInitDialogEvent& event)
{
    SetPas(0);
    event.Skip();
}

void ZorWaitForTavlinDlg::OnShowDialog(wxShowEvent& event)
{
    SuivreAffichage();
    event.Skip();
}

void ZorWaitForTavlinDlg::SuivreAffichage()
{
    // Called from Show and again from the show event, which the toolkit may deliver later:
    // each step happens once per showing.
    if (IsShown()) {
        if (m_pDisabler)
            return;
        SetPas(0);
        m_timer.Start(kPeriodeMs, wxTIMER_CONTINUOUS);
        m_pDisabler = std::make_unique<wxWindowDisabler>(this);
    } else {
        m_timer.Stop();
        m_pDisabler.reset();
    }
}

void ZorWaitForTavlinDlg::OnTimer(wxTimerEvent&)
{
    SetPas(PasSuivant(m_iPas));
}

void ZorWaitForTavlinDlg::SetPas(int iPas)
{
    m_iPas = iPas;
    // Steps beyond the range show a full bar (the toolkit refuses a value above its range).
    m_pGauge->SetValue(std::min(iPas, kPlage));
}
