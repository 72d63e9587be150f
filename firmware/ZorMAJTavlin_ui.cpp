// The two stages of an update that show a transfer dialog: the bootloader upload and the post
// of the web-server image.
#include "firmware/ZorMAJTavlin.h"

#include "device/ZorTavlinObj.h"
#include "firmware/ZorPostFileDlg.h"
#include "firmware/ZorUploadFirmwareDlg.h"
#include "infra/ZorClock.h"

namespace {

// The post of the web-server image: where, as what, how long at most.
const wchar_t* const kCheminPost = L"/mpfsupload";
const wchar_t* const kDisposition = L"name=\"fichier\"; filename=\"Tavlin.bin\"";
constexpr int kTimeOutPostSec = 120;

} // namespace

bool ZorMAJTavlin::EnvoyerBootloader(const wxString& zDossier, const wxString& zIP,
                                     const wxString& zMAC, wxString* pzIdentifiant)
{
    if (!gpTheTavlin) {
        SetErreur(1);
        return false;
    }
    m_zDossier = zDossier;
    SetMACAttendue(zMAC);
    // Both images are checked before the device restarts: an update that cannot finish must not
    // leave it waiting in its bootloader.
    if (!VerifierImages(zDossier)) {
        SetErreur(2);
        return false;
    }
    if (!zIP.empty())
        gpTheTavlin->Reboot(zIP);
    wxString zIdentifiant;
    {
        ZorUploadFirmwareDlg dlg(nullptr, zMAC);
        if (!dlg.Init(zDossier + wxFILE_SEP_PATH + wxT("tavlin.cry"))) {
            SetErreur(2);
            return false;
        }
        const int iResultat = dlg.ShowModal();
        zIdentifiant = dlg.GetIdentifiant();
        if (iResultat != 0 || zIdentifiant.empty()) {
            SetErreur(3);
            return false;
        }
    }
    // The search that follows takes only records seen from now on: one from before is the
    // device as it was before its restart.
    SetVuDepuis(long(gpTheTavlin->Clock().EpochSeconds()));
    if (pzIdentifiant)
        *pzIdentifiant = zIdentifiant;
    SetErreur(0);
    return true;
}

bool ZorMAJTavlin::EnvoyerFichiers(const wxString& zDossier, const wxString& zIP,
                                   const wxString& zIPLocal)
{
    ZorPostFileDlg dlg(nullptr);
    if (!dlg.Init(zIP, zIPLocal, zDossier + wxFILE_SEP_PATH + wxT("tavlin.bin"), kCheminPost,
                  kDisposition, kTimeOutPostSec, false)) {
        SetErreur(5);
        return false;
    }
    if (dlg.ShowModal() != 0) {
        SetErreur(6);
        return false;
    }
    SetErreur(0);
    return true;
}
