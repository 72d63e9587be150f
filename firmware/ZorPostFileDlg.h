// The small modal box shown while a file is posted to a device: a busy bar, the device's
// address and, when the caller allows it, "Annuler". The upload and its rules are
// ZorPostFileTransfert's; this box shows them and ends its modal loop with the result's number
// (0 success, -2/-3/-4 upload failures, -10 no end within 60 s, -11 cancelled), which hosts may
// read; our own callers read GetResultat after ShowModal.
#pragma once

#include "firmware/ZorPostFile.h"
#include "infra/ZorExport.h"

#include <wx/dialog.h>
#include <wx/timer.h>

class wxButton;
class wxGauge;
class wxStaticText;

class ZOR_EXPORT ZorPostFileDlg : public wxDialog, private ZorPostFileVue
{
public:
    static constexpr int kGaugeMs = 50;

    explicit ZorPostFileDlg(wxWindow* pParent, const ZorClock& clock = ZorDefaultClock());
    ~ZorPostFileDlg() override;

    // False (nothing will show) when the address, file or path is empty or the file cannot be
    // opened; the local address and the disposition may be empty.
    bool Init(const wxString& zIP, const wxString& zIPLocal, const wxString& zFichier,
              const wxString& zChemin, const wxString& zDisposition, int iTimeOut = 120,
              bool bAnnulable = false);
    // The device's answer to a successful post.
    const wxString& GetReponse() const { return m_transfert.GetReponse(); }
    // How the post ended (REQUETE until it did).
    ZorCodePost GetResultat() const { return m_resultat; }

    wxGauge* GetGauge() const { return m_pGauge; }
    wxButton* GetBoutonAnnuler() const { return m_pAnnuler; }
    wxStaticText* GetTexte() const { return m_pTexte1; }
    // The upload it shows (a program that moves its own clock steps it with Verifier).
    ZorPostFileTransfert& GetTransfert() { return m_transfert; }

    // The next position of the busy bar: it fills in ten steps, stays full, then starts again.
    static int PasSuivant(int iPas) { return (iPas + 10) % 180; }

private:
    void OnFin(ZorCodePost code) override;
    void OnInitDialog(wxInitDialogEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnBoutonAnnuler(wxCommandEvent& event);
    void OnTouche(wxKeyEvent& event);

    ZorPostFileTransfert m_transfert;
    wxTimer m_gaugeTimer;
    int m_iPas = 0;
    ZorCodePost m_resultat = ZorCodePost::REQUETE;
    wxGauge* m_pGauge = nullptr;
    wxStaticText* m_pTexte1 = nullptr;
    wxStaticText* m_pTexte2 = nullptr;
    wxButton* m_pAnnuler = nullptr;
};
