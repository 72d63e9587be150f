#include "firmware/ZorMAJTavlin.h"

#include "infra/ZorLogFile.h"
#include "infra/ZorUtile.h"

#include <wx/dir.h>
#include <wx/filename.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

bool ZorLireVersion(const wxString& zTexte, ZorVersionTavlin& version)
{
    const size_t iV = zTexte.find_last_of(wxT("vV"));
    const wxString zQueue = iV == wxString::npos ? zTexte : zTexte.Mid(iV + 1);
    if (zQueue.empty())
        return false;
    // The C conversion's rules (leading blanks and a sign taken), but all of the tail must be
    // used and the number must fit an int.
    const std::wstring zLarge = zQueue.ToStdWstring();
    wchar_t* pFin = nullptr;
    errno = 0;
    const long iValeur = std::wcstol(zLarge.c_str(), &pFin, 10);
    if (pFin == zLarge.c_str() || *pFin != L'\0' || errno == ERANGE || iValeur > INT_MAX ||
        iValeur < INT_MIN)
        return false;
    version = ZorVersionTavlin{iValeur, 0, 0};
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

wxString ZorMAJTavlin::GetDossierMAJ()
{
    return ZorUtile::GetFullPath(wxT("maj"));
}

bool ZorMAJTavlin::VerifierVersion(const wxString& zVersionActuelle, wxString* pzDossier)
{
    if (pzDossier)
        pzDossier->clear();
    const wxString zBase = GetDossierMAJ();
    wxDir dir;
    if (!wxDir::Exists(zBase) || !dir.Open(zBase))
        return true;
    wxString zMeilleur;
    ZorVersionTavlin meilleure;
    wxString zNom;
    for (bool bSuite = dir.GetFirst(&zNom, wxEmptyString, wxDIR_DIRS); bSuite;
         bSuite = dir.GetNext(&zNom)) {
        ZorVersionTavlin version;
        if (!ZorLireVersion(zNom, version))
            continue;
        if (zMeilleur.empty() || ZorComparerVersions(version, meilleure) > 0) {
            zMeilleur = zNom;
            meilleure = version;
        }
    }
    ZorVersionTavlin actuelle;
    if (zMeilleur.empty() || !ZorLireVersion(zVersionActuelle, actuelle))
        return true;
    if (ZorComparerVersions(actuelle, meilleure) >= 0)
        return true;
    if (pzDossier)
        *pzDossier = zBase + wxFILE_SEP_PATH + zMeilleur;
    return false;
}

int ZorMAJTavlin::CompareVersion(const wxString& a, const wxString& b)
{
    ZorVersionTavlin va, vb;
    if (!ZorLireVersion(a, va) || !ZorLireVersion(b, vb))
        return -1;
    return ZorComparerVersions(va, vb) > 0 ? 1 : 0;
}

void ZorMAJTavlin::SetErreur(int iErreur)
{
    if (iErreur == m_iErreur)
        return;
    if (iErreur != 0)
        gTheLogFile.Write(wxT("ZorMAJTavlin::Erreur de mise à jour de la Tavlin [%d]"), iErreur);
    m_iErreur = iErreur;
}
