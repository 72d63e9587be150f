#include "firmware/ZorMAJTavlin.h"

#include "device/ZorTavlinObj.h"
#include "firmware/ZorFirmwareFormat.h"
#include "infra/ZorClock.h"
#include "infra/ZorLogFile.h"
#include "infra/ZorSha256.h"
#include "infra/ZorUtile.h"
#include "infra/ZorTraduction.h"

#include <wx/dir.h>
#include <wx/filename.h>

#include <climits>

bool ZorLireVersion(const wxString& zTexte, ZorVersionTavlin& version)
{
    const size_t iV = zTexte.find_last_of(wxT("vV"));
    const wxString zQueue = iV == wxString::npos ? zTexte : zTexte.Mid(iV + 1);
    // Digits only: a sign or a blank would let "maj_v-1" read as an update.
    if (zQueue.empty())
        return false;
    long long iValeur = 0;
    for (wxUniChar c : zQueue) {
        if (c < '0' || c > '9')
            return false;
        iValeur = iValeur * 10 + (c.GetValue() - '0');
        if (iValeur > INT_MAX)
            return false;
    }
    version = ZorVersionTavlin{long(iValeur), 0, 0};
    return true;
}

bool ZorLireVersionDossier(const wxString& zNom, ZorVersionTavlin& version)
{
    ZorVersionTavlin lue;
    if (!ZorLireVersion(zNom, lue) || lue.iPremier < 1)
        return false;
    version = lue;
    return true;
}

int ZorComparerVersions(const ZorVersionTavlin& a, const ZorVersionTavlin& b)
{
    const long da[] = {a.iPremier, a.iSecond, a.iTroisieme};
    const long db[] = {b.iPremier, b.iSecond, b.iTroisieme};
    for (int i = 0; i < 3; ++i) {
        if (da[i] != db[i])
            return da[i] > db[i] ? 1 : -1;
    }
    return 0;
}

wxString ZorVersionNonApportee(const wxString& zDossier, const wxString& zVersionApres)
{
    ZorVersionTavlin attendue, apres;
    if (!ZorLireVersion(wxFileName(zDossier).GetFullName(), attendue) ||
        (ZorLireVersion(zVersionApres, apres) && ZorComparerVersions(apres, attendue) == 0))
        return wxString();
    return wxString::Format(ZOR_TR("la Tavlin indique « %s » au lieu de la version %ld"),
                            zVersionApres, attendue.iPremier);
}

wxString ZorMAJTavlin::GetDossierMAJ()
{
    return ZorUtile::GetFullPath(wxT("maj"));
}

bool ZorMAJTavlin::DerniereMiseAJour(wxString* pzDossier, ZorVersionTavlin* pVersion)
{
    const wxString zBase = GetDossierMAJ();
    wxDir dir;
    if (!wxDir::Exists(zBase) || !dir.Open(zBase))
        return false;
    wxString zMeilleur;
    ZorVersionTavlin meilleure;
    wxString zNom;
    for (bool bSuite = dir.GetFirst(&zNom, wxEmptyString, wxDIR_DIRS); bSuite;
         bSuite = dir.GetNext(&zNom)) {
        ZorVersionTavlin version;
        if (!ZorLireVersionDossier(zNom, version))
            continue;
        if (zMeilleur.empty() || ZorComparerVersions(version, meilleure) > 0) {
            zMeilleur = zNom;
            meilleure = version;
        }
    }
    if (zMeilleur.empty())
        return false;
    if (pzDossier)
        *pzDossier = zBase + wxFILE_SEP_PATH + zMeilleur;
    if (pVersion)
        *pVersion = meilleure;
    return true;
}

namespace {
// Up to date unless both versions read and the current one is older than the newest update.
bool EstAJour(bool bUneMiseAJour, const ZorVersionTavlin& derniere, const wxString& zActuelle)
{
    ZorVersionTavlin actuelle;
    return !bUneMiseAJour || !ZorLireVersion(zActuelle, actuelle) ||
           ZorComparerVersions(actuelle, derniere) >= 0;
}
} // namespace

bool ZorMAJTavlin::VerifierVersion(const wxString& zVersionActuelle, wxString* pzDossier)
{
    wxString zDossier;
    ZorVersionTavlin derniere;
    const bool bUne = DerniereMiseAJour(&zDossier, &derniere);
    const bool bAJour = EstAJour(bUne, derniere, zVersionActuelle);
    if (pzDossier)
        *pzDossier = bAJour ? wxString() : zDossier;
    return bAJour;
}

std::function<bool(const wxString& zVersion)> ZorMAJTavlin::TestAJour() const
{
    ZorVersionTavlin derniere;
    const bool bUne = DerniereMiseAJour(nullptr, &derniere);
    return
        [bUne, derniere](const wxString& zVersion) { return EstAJour(bUne, derniere, zVersion); };
}

int ZorMAJTavlin::CompareVersion(const wxString& a, const wxString& b)
{
    ZorVersionTavlin va, vb;
    if (!ZorLireVersion(a, va) || !ZorLireVersion(b, vb))
        return -1;
    return ZorComparerVersions(va, vb) > 0 ? 1 : 0;
}

void ZorMAJTavlin::SetErreur(ZorErreurMAJ erreur)
{
    if (erreur == m_erreur)
        return;
    if (erreur != ZorErreurMAJ::AUCUNE)
        gTheLogFile.Write(wxT("ZorMAJTavlin::Erreur de mise à jour de la Tavlin [%d]"),
                          ZorCode(erreur));
    m_erreur = erreur;
}

bool ZorMAJTavlin::VerifierImages(const wxString& zDossier, wxString* pzRaison)
{
    for (const wxChar* zNom : {wxT("tavlin.cry"), wxT("tavlin.bin")}) {
        const wxString zChemin = zDossier + wxFILE_SEP_PATH + zNom;
        uint64_t iTaille = 0;
        const ZorFirmware::RefusImage refus =
            ZorFirmware::VerifierImage(std::string(zChemin.mb_str(*wxConvFileName)),
                                       std::string(zDossier.mb_str(*wxConvFileName)), &iTaille);
        // Bounded again while digesting: the file may have changed since it was looked at.
        const std::string zSomme =
            refus != ZorFirmware::RefusImage::AUCUN
                ? std::string()
                : ZorSha256::DeFichier(std::string(zChemin.mb_str(*wxConvFileName)), &iTaille,
                                       ZorFirmware::kTailleImageMax);
        if (zSomme.empty() || iTaille == 0) {
            const wxString zPourquoi = refus != ZorFirmware::RefusImage::AUCUN
                                           ? wxString::FromUTF8(ZorFirmware::TexteRefus(refus))
                                       : zSomme.empty() ? wxString(ZOR_N("illisible"))
                                                        : wxString(ZOR_N("vide"));
            gTheLogFile.Write(wxT("ZorMAJTavlin::Image absente, illisible ou vide : %s (%s)"),
                              zChemin, zPourquoi);
            if (pzRaison)
                *pzRaison = wxString(zNom) + wxT(" ") + ZorTr(zPourquoi);
            return false;
        }
        gTheLogFile.Write(wxT("ZorMAJTavlin::Image %s : %llu octets, SHA-256 %s"), zChemin,
                          static_cast<unsigned long long>(iTaille), wxString(zSomme));
    }
    return true;
}

namespace {
// The post of the web-server image, as the device's upload page expects it.
const wchar_t* const kCheminPost = L"/mpfsupload";
const wchar_t* const kDisposition = L"name=\"fichier\"; filename=\"Tavlin.bin\"";
constexpr int kTimeOutPostSec = 120;
} // namespace

bool ZorMAJTavlin::EnvoyerBootloader(const wxString& zDossier, const wxString& zIP,
                                     const wxString& zMAC, wxString* pzIdentifiant,
                                     Transferts& transferts)
{
    if (!m_pTavlin) {
        SetErreur(ZorErreurMAJ::SANS_GESTIONNAIRE);
        return false;
    }
    m_zDossier = zDossier;
    SetMACAttendue(zMAC);
    // Both images are checked before the device restarts: an update that cannot finish must not
    // leave it waiting in its bootloader.
    if (!VerifierImages(zDossier)) {
        SetErreur(ZorErreurMAJ::IMAGE);
        return false;
    }
    if (!zIP.empty())
        m_pTavlin->Reboot(zIP);
    ZorStatutBoot statut = ZorStatutBoot::TRANSFERT;
    wxString zIdentifiant;
    if (!transferts.Bootloader(zDossier + wxFILE_SEP_PATH + wxT("tavlin.cry"), zMAC, &statut,
                               &zIdentifiant)) {
        SetErreur(ZorErreurMAJ::IMAGE);
        return false;
    }
    if (statut != ZorStatutBoot::SUCCES || zIdentifiant.empty()) {
        SetErreur(ZorErreurMAJ::BOOTLOADER);
        return false;
    }
    // The search that follows takes only records seen from now on: one from before is the
    // device as it was before its restart.
    SetVuDepuis(long(m_pTavlin->Clock().EpochSeconds()));
    if (pzIdentifiant)
        *pzIdentifiant = zIdentifiant;
    SetErreur(ZorErreurMAJ::AUCUNE);
    return true;
}

bool ZorMAJTavlin::EnvoyerFichiers(const wxString& zDossier, const wxString& zIP,
                                   const wxString& zIPLocal, Transferts& transferts)
{
    ZorCodePost code = ZorCodePost::REQUETE;
    if (!transferts.Post(zIP, zIPLocal, zDossier + wxFILE_SEP_PATH + wxT("tavlin.bin"), kCheminPost,
                         kDisposition, kTimeOutPostSec, &code)) {
        SetErreur(ZorErreurMAJ::ARGUMENTS_POST);
        return false;
    }
    if (code != ZorCodePost::SUCCES) {
        SetErreur(ZorErreurMAJ::POST);
        return false;
    }
    SetErreur(ZorErreurMAJ::AUCUNE);
    return true;
}

bool ZorMAJTavlin::RechercherTavlin(const wxString& zIdentifiant, wxString* pzIP,
                                    wxString* pzIPLocal, wxString* pzMAC, ZorTavlinInfo* pInfo)
{
    if (!m_pTavlin) {
        SetErreur(ZorErreurMAJ::SANS_GESTIONNAIRE);
        return false;
    }
    ZorTavlinInfoArray devices;
    m_pTavlin->GetLesTavlin(devices);
    wxString zIP, zIPLocal, zMAC;
    bool bVu = false;
    for (size_t i = 0; i < devices.GetCount() && !bVu; ++i) {
        const ZorTavlinInfo& info = devices[i];
        if (info.m_zMAC.empty() || !info.m_zMAC.EndsWith(zIdentifiant) ||
            info.m_iTimeLastSeen < m_iVuDepuis ||
            (!m_zMACAttendue.empty() && info.m_zMAC.Upper() != m_zMACAttendue))
            continue;
        bVu = true;
        if (info.EstSurReseauDuPC()) {
            zIP = info.m_zIP;
            zIPLocal = info.m_zIPLocal;
            zMAC = info.m_zMAC;
            if (pInfo)
                *pInfo = info;
        } else {
            m_pTavlin->ConfigureAdresseTavlin(info.m_zMAC, info.m_zLogin, info.m_zPwd,
                                              info.m_zIPLocal, info.m_zMaskLocal,
                                              info.m_zGatewayLocal);
        }
    }
    const int64_t iMaintenant = m_pTavlin->Clock().NowMs();
    if (!bVu && (m_iDernierHelloMs < 0 || iMaintenant - m_iDernierHelloMs >= kHelloRechercheMs)) {
        m_iDernierHelloMs = iMaintenant;
        m_pTavlin->Decouvrir();
    }
    if (pzIP)
        *pzIP = zIP;
    if (!zIP.empty()) {
        if (pzIPLocal)
            *pzIPLocal = zIPLocal;
        if (pzMAC)
            *pzMAC = zMAC;
    }
    // Not found yet is no error: the sequence keeps polling.
    SetErreur(ZorErreurMAJ::AUCUNE);
    return !zIP.empty() && !zMAC.empty();
}

void ZorMAJTavlin::JournaliserVersion(const ZorTavlinInfo& info) const
{
    // The record is the device as it answered after its restart from the bootloader.
    const wxString zAvant = m_zVersionAvant.empty() ? wxString(wxT("inconnue")) : m_zVersionAvant;
    ZorVersionTavlin attendue;
    const wxString zAttendue = ZorLireVersionDossier(wxFileName(m_zDossier).GetFullName(), attendue)
                                   ? wxString::Format(wxT("%ld"), attendue.iPremier)
                                   : wxString(wxT("inconnue"));
    gTheLogFile.Write(wxT("ZorMAJTavlin::Version de la Tavlin %s après la mise à jour : %s ")
                          wxT("(avant : %s, apportée par la mise à jour : %s)"),
                      info.m_zMAC, info.m_zVersion, zAvant, zAttendue);
    if (!m_zVersionAvant.empty() && info.m_zVersion == m_zVersionAvant)
        gTheLogFile.Write(
            wxT("ZorMAJTavlin::La Tavlin %s indique toujours son ancienne version %s : ")
                wxT("la mise à jour n'a pas pris"),
            info.m_zMAC, info.m_zVersion);
}

bool ZorMAJTavlin::ReinitialiserTavlin(const wxString& zIP, const wxString& zIPLocal,
                                       const ZorTavlinInfo& info)
{
    if (!m_pTavlin)
        return false;
    ZorTavlinObj& tavlin = *m_pTavlin;
    if (!tavlin.SetAutoByIp(0, zIP, zIPLocal, true)) {
        SetErreur(ZorErreurMAJ::AUTOMATE);
        return false;
    }
    if (!tavlin.WriteEmailConfByIp(ZOR_CODE_ACCES, zIP, zIPLocal, wxEmptyString, wxT("25"),
                                   wxEmptyString, wxEmptyString, false, true)) {
        SetErreur(ZorErreurMAJ::EMAIL);
        return false;
    }
    if (!tavlin.ResetMemAutomateByIp(ZOR_CODE_ACCES, zIP, zIPLocal, true)) {
        SetErreur(ZorErreurMAJ::MEM_AUTOMATE);
        return false;
    }
    if (!tavlin.ResetMemAcquisitionByIp(ZOR_CODE_ACCES, zIP, zIPLocal, true)) {
        SetErreur(ZorErreurMAJ::MEM_ACQUISITION);
        return false;
    }
    JournaliserVersion(info);
    return true;
}
