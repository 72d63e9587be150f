// The small modal box of a bootloader upload: a bar of the bytes acknowledged and, once a
// device is captured, what is going on and which device it is. The exchange is
// ZorUploadFirmwareTransfert's; the box ends its modal loop with the status's number (0 success,
// 1 to 11), which hosts may read; our own callers read GetStatus after ShowModal.
#pragma once

#include "firmware/ZorUploadFirmware.h"
#include "infra/ZorExport.h"

#include <wx/dialog.h>

class wxButton;
class wxGauge;
class wxStaticText;

class ZOR_EXPORT ZorUploadFirmwareDlg : public wxDialog, private ZorUploadFirmwareVue
{
public:
    // zMAC: the MAC address of the device expected; empty takes the first that answers.
    ZorUploadFirmwareDlg(wxWindow* pParent, const wxString& zMAC,
                         const ZorClock& clock = ZorDefaultClock());
    ~ZorUploadFirmwareDlg() override;

    // False when the image does not exist or cannot be read.
    bool Init(const wxString& zChemin);
    // After ShowModal: the captured device's identifier ("3A-0F"), empty when none was accepted.
    const wxString& GetIdentifiant() const { return m_transfert.Logique().GetIdentifiant(); }
    ZorStatutBoot GetStatus() const { return m_transfert.Logique().GetStatus(); }

    wxGauge* GetGauge() const { return m_pGauge; }
    wxStaticText* GetTexte(int i) const { return i == 0 ? m_pTexte1 : m_pTexte2; }
    // The adapters the capture goes out through, the device manager's usually (before
    // ShowModal); none unless set.
    void SetCartes(const ZorCarteEthPtrArray& cartes) { m_cartes = cartes; }

    // What the box shows as the exchange goes on (also called by tests to show a state).
    void OnCapture(const wxString& zId) override;
    void OnProgression(uint64_t iEnvoyes, uint64_t iTotal) override;

private:
    void OnFin(ZorStatutBoot statut) override;
    void OnInitDialog(wxInitDialogEvent& event);
    void OnCapturetarget(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnTouche(wxKeyEvent& event);
    void InitTelechargement();

    ZorUploadFirmwareTransfert m_transfert;
    ZorCarteEthPtrArray m_cartes;
    wxButton* m_pChercher = nullptr;
    wxButton* m_pSortir = nullptr;
    wxGauge* m_pGauge = nullptr;
    wxStaticText* m_pTexte1 = nullptr;
    wxStaticText* m_pTexte2 = nullptr;
};
