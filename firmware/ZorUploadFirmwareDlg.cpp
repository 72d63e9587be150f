#include "firmware/ZorUploadFirmwareDlg.h"

#include "infra/ZorTraduction.h"

#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/stattext.h>

#include <algorithm>

namespace {
// Gauge ranges are ints: larger images are shown in kilobytes.
int PourJauge(uint64_t n, uint64_t iTotal)
{
    return int(iTotal > 0x7FFFFFFF ? n / 1024 : n);
}
} // namespace

ZorUploadFirmwareDlg::ZorUploadFirmwareDlg(wxWindow* pParent, const wxString& zMAC,
                                           const ZorClock& clock)
    : wxDialog(pParent, wxID_ANY, wxT("Tavlin"), wxDefaultPosition, wxSize(440, 200), 0),
      m_transfert(*this, zMAC, clock)
{
    Centre(wxBOTH);
    Bind(wxEVT_INIT_DIALOG, &ZorUploadFirmwareDlg::OnInitDialog, this);
    Bind(wxEVT_BUTTON, &ZorUploadFirmwareDlg::OnCapturetarget, this);
    Bind(wxEVT_CLOSE_WINDOW, &ZorUploadFirmwareDlg::OnClose, this);
    Bind(wxEVT_CHAR_HOOK, &ZorUploadFirmwareDlg::OnTouche, this);
}

ZorUploadFirmwareDlg::~ZorUploadFirmwareDlg() = default;

bool ZorUploadFirmwareDlg::Init(const wxString& zChemin)
{
    return m_transfert.Init(zChemin);
}

void ZorUploadFirmwareDlg::OnInitDialog(wxInitDialogEvent&)
{
    if (m_pGauge || m_transfert.Logique().IsTermine())
        return;
    m_pChercher = new wxButton(this, wxID_ANY, ZOR_TR("Find"), wxPoint(10, 10));
    m_pSortir = new wxButton(this, wxID_CANCEL, ZOR_TR("Exit"), wxPoint(110, 10));
    m_pChercher->Hide();
    m_pSortir->Hide();
    const uint64_t iTotal = m_transfert.Logique().GetLongueur();
    m_pGauge = new wxGauge(this, wxID_ANY, std::max(1, PourJauge(iTotal, iTotal)), wxPoint(10, 50),
                           wxSize(420, 30), wxGA_HORIZONTAL);
    // As wide as the bar: the French line does not fit the narrower lines once drawn.
    m_pTexte1 = new wxStaticText(this, wxID_ANY, wxEmptyString, wxPoint(10, 85), wxSize(420, 30));
    m_pTexte2 = new wxStaticText(this, wxID_ANY, wxEmptyString, wxPoint(10, 103), wxSize(420, 30));
    m_transfert.Demarrer(m_cartes);
}

void ZorUploadFirmwareDlg::OnCapture(const wxString& zId)
{
    if (m_pSortir)
        m_pSortir->Disable();
    if (!m_pTexte1)
        return;
    m_pTexte1->SetLabel(ZOR_TR("Téléchargement du logiciel, merci de patienter..."));
    m_pTexte2->SetLabel(wxString::Format(wxT("(Tavlin id=%s)"), zId));
}

void ZorUploadFirmwareDlg::OnProgression(uint64_t iEnvoyes, uint64_t iTotal)
{
    if (m_pGauge)
        m_pGauge->SetValue(std::min(m_pGauge->GetRange(), PourJauge(iEnvoyes, iTotal)));
}

void ZorUploadFirmwareDlg::OnFin(ZorStatutBoot statut)
{
    if (IsModal())
        EndModal(ZorCode(statut));
    else
        SetReturnCode(ZorCode(statut));
    InitTelechargement();
}

void ZorUploadFirmwareDlg::InitTelechargement()
{
    if (!m_pGauge)
        return;
    m_pTexte1->SetLabel(wxEmptyString);
    m_pTexte2->SetLabel(wxEmptyString);
    m_pGauge->SetValue(0);
    m_pChercher->Enable();
    m_pSortir->Enable();
}

void ZorUploadFirmwareDlg::OnCapturetarget(wxCommandEvent& event)
{
    // Only "Find" acts; "Exit" (and Escape, which clicks it) must not end the upload halfway.
    if (m_pChercher && event.GetEventObject() == m_pChercher) {
        m_pChercher->Disable();
        m_transfert.RelancerCapture();
    }
}

void ZorUploadFirmwareDlg::OnClose(wxCloseEvent& event)
{
    // The box stays, and so do its resends and time limits: stopping them would leave an upload
    // whose reply was lost with nothing to end it.
    event.Veto();
}

void ZorUploadFirmwareDlg::OnTouche(wxKeyEvent& event)
{
    if (event.GetKeyCode() != WXK_ESCAPE)
        event.Skip();
}
