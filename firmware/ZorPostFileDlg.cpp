#include "firmware/ZorPostFileDlg.h"

#include "infra/ZorTraduction.h"

#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/stattext.h>

#include <algorithm>

ZorPostFileDlg::ZorPostFileDlg(wxWindow* pParent, const ZorClock& clock)
    : wxDialog(pParent, wxID_ANY, wxT("Tavlin"), wxDefaultPosition, wxSize(440, 200), 0),
      m_transfert(*this, clock), m_gaugeTimer(this)
{
    Centre(wxBOTH);
    Bind(wxEVT_INIT_DIALOG, &ZorPostFileDlg::OnInitDialog, this);
    Bind(wxEVT_TIMER, &ZorPostFileDlg::OnTimer, this, m_gaugeTimer.GetId());
    Bind(wxEVT_BUTTON, &ZorPostFileDlg::OnBoutonAnnuler, this);
    // Return cancels when cancelling is allowed; Escape and a close request never end the box
    // by themselves: only the upload's end, its time limit or "Annuler" do.
    Bind(wxEVT_CHAR_HOOK, &ZorPostFileDlg::OnTouche, this);
    Bind(wxEVT_CLOSE_WINDOW, [](wxCloseEvent& event) { event.Veto(); });
}

ZorPostFileDlg::~ZorPostFileDlg()
{
    m_gaugeTimer.Stop();
}

bool ZorPostFileDlg::Init(const wxString& zIP, const wxString& zIPLocal, const wxString& zFichier,
                          const wxString& zChemin, const wxString& zDisposition, int iTimeOut,
                          bool bAnnulable)
{
    return m_transfert.Init(zIP, zIPLocal, zFichier, zChemin, zDisposition, iTimeOut, bAnnulable);
}

void ZorPostFileDlg::OnInitDialog(wxInitDialogEvent&)
{
    if (m_pGauge || m_transfert.IsTermine())
        return;
    m_pGauge = new wxGauge(this, wxID_ANY, 100, wxPoint(10, 50), wxSize(420, 30), wxGA_HORIZONTAL);
    // As wide as the bar: at the narrower width the French line wraps onto the address line.
    m_pTexte1 = new wxStaticText(this, wxID_ANY,
                                 ZOR_TR("Téléchargement des fichiers, merci de patienter..."),
                                 wxPoint(10, 85), wxSize(420, 30));
    m_pTexte2 = new wxStaticText(this, wxID_ANY,
                                 wxString::Format(wxT("(Tavlin IP=%s)"), m_transfert.GetIP()),
                                 wxPoint(10, 103), wxSize(420, 30));
    m_pAnnuler =
        new wxButton(this, wxID_ANY, ZOR_TR("Annuler"), wxPoint(170, 130), wxSize(100, 30));
    m_pAnnuler->Show(m_transfert.IsAnnulable());
    m_pAnnuler->SetDefault();
    m_transfert.Demarrer();
    m_gaugeTimer.Start(kGaugeMs);
}

void ZorPostFileDlg::OnTimer(wxTimerEvent&)
{
    m_iPas = PasSuivant(m_iPas);
    if (m_pGauge)
        m_pGauge->SetValue(std::min(m_iPas, m_pGauge->GetRange()));
}

void ZorPostFileDlg::OnBoutonAnnuler(wxCommandEvent& event)
{
    if (event.GetEventObject() == m_pAnnuler)
        m_transfert.Annuler();
}

void ZorPostFileDlg::OnTouche(wxKeyEvent& event)
{
    const int iCode = event.GetKeyCode();
    if (iCode == WXK_RETURN || iCode == WXK_NUMPAD_ENTER)
        m_transfert.Annuler(); // does nothing unless cancelling is allowed
    else if (iCode != WXK_ESCAPE)
        event.Skip();
}

void ZorPostFileDlg::OnFin(ZorCodePost code)
{
    m_resultat = code;
    m_gaugeTimer.Stop();
    if (IsModal())
        EndModal(ZorCode(code));
    else
        SetReturnCode(ZorCode(code));
}
