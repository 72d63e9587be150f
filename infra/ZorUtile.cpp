#include "infra/ZorUtile.h"

#include <wx/dir.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/stdpaths.h>

wxString ZorUtile::m_zPathExe;
wxString ZorUtile::m_zPathDonnees;

// Set by the build for this file: the installed data folder, absolute and relative to the
// installed programs' folder.
#ifndef ZOR_DATADIR
#  define ZOR_DATADIR "/usr/local/share/tavlin"
#endif
#ifndef ZOR_DATADIR_FROM_BINDIR
#  define ZOR_DATADIR_FROM_BINDIR "../share/tavlin"
#endif

void ZorUtile::SetPathExe(const wxString& zPath)
{
    m_zPathExe = zPath;
}

void ZorUtile::SmartAppendBackslash(wxString& zPath)
{
    if (!zPath.empty() && zPath.Last() != wxFILE_SEP_PATH)
        zPath += wxFILE_SEP_PATH;
}

wxString ZorUtile::GetFullPath(const wxString& zRelatif)
{
    if (m_zPathExe.empty())
        m_zPathExe = wxFileName(wxStandardPaths::Get().GetExecutablePath()).GetPath();
    wxString path = m_zPathExe;
    SmartAppendBackslash(path);
    path += zRelatif;
    if (wxFileExists(path) || wxDirExists(path))
        return path;
    for (wxString zDossier : GetDossiersDonnees()) {
        SmartAppendBackslash(zDossier);
        if (wxFileExists(zDossier + zRelatif) || wxDirExists(zDossier + zRelatif))
            return zDossier + zRelatif;
    }
    // Found nowhere: the place beside the program, which messages then name.
    return path;
}

wxArrayString ZorUtile::GetDossiersDonnees()
{
    wxArrayString dossiers;
    if (!m_zPathDonnees.empty()) {
        dossiers.Add(m_zPathDonnees);
        return dossiers;
    }
    wxFileName relatif(wxT(ZOR_DATADIR_FROM_BINDIR), wxEmptyString);
    relatif.MakeAbsolute(wxFileName(wxStandardPaths::Get().GetExecutablePath()).GetPath());
    dossiers.Add(relatif.GetPath());
    if (dossiers[0] != wxT(ZOR_DATADIR))
        dossiers.Add(wxT(ZOR_DATADIR));
    return dossiers;
}

void ZorUtile::FindFichier(const wxString& zDossier, bool bFichiers, wxArrayString& array,
                           const wxString& zExtension)
{
    array.Empty();
    if (zDossier.empty() || !wxDirExists(zDossier))
        return;
    wxLogNull noLog;
    wxDir dir(zDossier);
    if (!dir.IsOpened())
        return;
    // "*" rather than "*.*": here "*.*" would skip every name without a dot.
    wxString pattern = zExtension.empty() ? wxString(wxT("*")) : wxT("*") + zExtension;
    wxString name;
    for (bool more = dir.GetFirst(&name, pattern, bFichiers ? wxDIR_FILES : wxDIR_DIRS); more;
         more = dir.GetNext(&name))
        array.Add(bFichiers ? name : wxFileName(name).GetName());
    // Directory order is arbitrary here; callers and users get names in alphabetical order.
    array.Sort();
}
