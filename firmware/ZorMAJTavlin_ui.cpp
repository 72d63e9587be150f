// The two transfer stages of an update with their dialogs.
#include "firmware/ZorMAJTavlin.h"

#include "device/ZorTavlinObj.h"

#include "firmware/ZorPostFileDlg.h"
#include "firmware/ZorUploadFirmwareDlg.h"

namespace {

class TransfertsDialogues : public ZorMAJTavlin::Transferts
{
public:
    explicit TransfertsDialogues(ZorTavlinObj* pTavlin) : m_pTavlin(pTavlin) {}

    bool Bootloader(const wxString& zImage, const wxString& zMAC, ZorStatutBoot* pStatut,
                    wxString* pzId) override
    {
        ZorUploadFirmwareDlg dlg(nullptr, zMAC);
        if (m_pTavlin)
            dlg.SetCartes(m_pTavlin->GetArrayCarteEth());
        if (!dlg.Init(zImage))
            return false;
        dlg.ShowModal();
        *pStatut = dlg.GetStatus();
        *pzId = dlg.GetIdentifiant();
        return true;
    }
    bool Post(const wxString& zIP, const wxString& zIPLocal, const wxString& zFichier,
              const wxString& zChemin, const wxString& zDisposition, int iTimeOutSec,
              ZorCodePost* pCode) override
    {
        ZorPostFileDlg dlg(nullptr);
        // The update's post cannot be cancelled: the device would keep half an image.
        if (!dlg.Init(zIP, zIPLocal, zFichier, zChemin, zDisposition, iTimeOutSec, false))
            return false;
        dlg.ShowModal();
        *pCode = dlg.GetResultat();
        return true;
    }

private:
    ZorTavlinObj* m_pTavlin;
};

} // namespace

bool ZorMAJTavlin::EnvoyerBootloader(const wxString& zDossier, const wxString& zIP,
                                     const wxString& zMAC, wxString* pzIdentifiant)
{
    TransfertsDialogues dialogues(m_pTavlin);
    return EnvoyerBootloader(zDossier, zIP, zMAC, pzIdentifiant, dialogues);
}

bool ZorMAJTavlin::EnvoyerFichiers(const wxString& zDossier, const wxString& zIP,
                                   const wxString& zIPLocal)
{
    TransfertsDialogues dialogues(m_pTavlin);
    return EnvoyerFichiers(zDossier, zIP, zIPLocal, dialogues);
}
