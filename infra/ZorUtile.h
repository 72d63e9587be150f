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
    static wxString GetFullPath(const wxString& zRelatif);
    // Appends the platform's path separator unless the text is empty or already ends with one.
    static void SmartAppendBackslash(wxString& zPath);
    // Entries of a folder that ends with a separator: files (name.ext) or folders (name).
    static void FindFichier(const wxString& zDossier, bool bFichiers, wxArrayString& array,
                            const wxString& zExtension);
    static wxBitmap GetPngBitmapResource(const wxString& zRelatif, int iLargeur, int iHauteur);
    static wxBitmap GetBitmapResource(const wxString& zRelatif, bool bMiroir, bool bMiroirMasque,
                                      bool bMasque);
    static wxBitmap GetTransBmp(const char* const* xpm);
    // The 16 x 16 blue square that stands for a missing picture.
    static wxBitmap GetPlaceholderBitmap();

    static wxString m_zPathExe;
};
