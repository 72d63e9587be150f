// The two transfer stages of an update with their dialogs.
#include "firmware/ZorMAJTavlin.h"

#include "firmware/ZorPostFileDlg.h"
#include "firmware/ZorUploadFirmwareDlg.h"

namespace {

class TransfertsDialogues : public ZorMAJTavlin::Transferts
{
public:
    bool Bootloader(const wxString& zImage, const wxString& zMAC, ZorStatutBoot* pStatut,
                    wxString* pzId) override
    {
        ZorUploadFirmwareDlg dlg(nullptr, zMAC);
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
};

} // namespace

bool ZorMAJTavlin::EnvoyerBootloader(const wxString& zDossier, const wxString& zIP,
                                     const wxString& zMAC, wxString* pzIdentifiant)
{
    TransfertsDialogues dialogues;
    return EnvoyerBootloader(zDossier, zIP, zMAC, pzIdentifiant, dialogues);
}

bool ZorMAJTavlin::EnvoyerFichiers(const wxString& zDossier, const wxString& zIP,
                                   const wxString& zIPLocal)
{
    TransfertsDialogues dialogues;
    return EnvoyerFichiers(zDossier, zIP, zIPLocal, dialogues);
}
