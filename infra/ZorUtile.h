// Static helpers: paths next to the program, folder listings and the dialogs' pictures.
#pragma once

#include "infra/ZorExport.h"

#include <wx/arrstr.h>
#include <wx/bitmap.h>
#include <wx/string.h>

class ZOR_EXPORT ZorUtile
{
public:
    static void SetPathExe(const wxString& zPath);
    // m_zPathExe (the executable's folder when never set), a separator, then the relative path.
    // When nothing is there but the installed data folder holds it (GetDossiersDonnees), the
    // path in that folder: an installed program has its pictures and "maj" under share/.
    static wxString GetFullPath(const wxString& zRelatif);
    // Where installed data is looked for, in order: m_zPathDonnees when set, else the data
    // folder relative to the executable's folder (a relocated install) and the one the library
    // was built for.
    static wxArrayString GetDossiersDonnees();
    // Appends the platform's path separator unless the text is empty or already ends with one.
    static void SmartAppendBackslash(wxString& zPath);
    // Entries of a folder: files (name.ext) or folders (name without extension), in alphabetical
    // order; zExtension (".png") keeps only names that end with it. Hidden entries are skipped.
    static void FindFichier(const wxString& zDossier, bool bFichiers, wxArrayString& array,
                            const wxString& zExtension);
    // Picture files next to the program (GetFullPath). Magenta (255, 0, 255) is transparent.
    // A missing, unreadable or corrupt file gives the placeholder; without a windowing toolkit
    // (console host) every picture is wxNullBitmap.
    // Scaled to exactly iLargeur x iHauteur when both are above 0 and the size differs.
    static wxBitmap GetPngBitmapResource(const wxString& zRelatif, int iLargeur, int iHauteur);
    // bMiroir: the picture is mirrored left to right. bMasque: magenta is masked, taken from the
    // mirrored picture when bMiroirMasque is set and from the unmirrored one otherwise (so with
    // both mirror flags equal the mask fits the picture).
    static wxBitmap GetBitmapResource(const wxString& zRelatif, bool bMiroir, bool bMiroirMasque,
                                      bool bMasque);
    // A picture in XPM lines with magenta masked; a null or invalid picture gives the placeholder.
    static wxBitmap GetTransBmp(const char* const* xpm);
    // The 16 x 16 blue square that stands for a missing picture.
    static wxBitmap GetPlaceholderBitmap();

    static wxString m_zPathExe;
    static wxString m_zPathDonnees;
};
