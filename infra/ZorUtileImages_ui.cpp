// The dialogs' pictures: loaded from files next to the program, magenta made transparent.
// Window code (needs the toolkit's core library).
#include "infra/ZorUtile.h"
#include "infra/ZorTraduction.h"

#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/file.h>
#include <wx/filename.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/xpmdecod.h>

namespace {

const wxColour kMagenta(255, 0, 255);

// Pictures need a running windowing toolkit; a console host gets invalid bitmaps instead.
bool CanMakeBitmaps()
{
    return wxAppConsole::GetInstance() && wxAppConsole::GetInstance()->IsGUI();
}

void EnsureImageHandlers()
{
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxInitAllImageHandlers();
}

// Loads a picture file of any known type; false when missing, unreadable or not a picture.
bool LoadImage(const wxString& zPath, wxImage& image)
{
    if (!wxFileName::FileExists(zPath) || !wxFile::Access(zPath, wxFile::read))
        return false;
    EnsureImageHandlers();
    wxLogNull noLog;
    return image.LoadFile(zPath, wxBITMAP_TYPE_ANY) && image.IsOk();
}

// Masks the pixels of `source` that are magenta; source has the bitmap's size.
void SetMagentaMask(wxBitmap& bitmap, const wxBitmap& source)
{
    bitmap.SetMask(new wxMask(source, kMagenta));
}

} // namespace

wxBitmap ZorUtile::GetPlaceholderBitmap()
{
    if (!CanMakeBitmaps())
        return wxNullBitmap;
    wxBitmap bitmap(16, 16);
    wxMemoryDC dc(bitmap);
    dc.SetBrush(*wxBLUE_BRUSH);
    dc.DrawRectangle(0, 0, 16, 16);
    dc.SelectObject(wxNullBitmap);
    return bitmap;
}

wxBitmap ZorUtile::GetPngBitmapResource(const wxString& zRelatif, int iLargeur, int iHauteur)
{
    if (!CanMakeBitmaps())
        return wxNullBitmap;
    wxImage image;
    if (!LoadImage(GetFullPath(ZorImageTraduite(zRelatif)), image))
        return GetPlaceholderBitmap();
    if (iLargeur > 0 && iHauteur > 0 &&
        (image.GetWidth() != iLargeur || image.GetHeight() != iHauteur))
        image.Rescale(iLargeur, iHauteur, wxIMAGE_QUALITY_NORMAL);
    wxBitmap bitmap(image, wxBITMAP_SCREEN_DEPTH);
    if (!bitmap.IsOk())
        return GetPlaceholderBitmap();
    SetMagentaMask(bitmap, bitmap);
    return bitmap;
}

wxBitmap ZorUtile::GetBitmapResource(const wxString& zRelatif, bool bMiroir, bool bMiroirMasque,
                                     bool bMasque)
{
    if (!CanMakeBitmaps())
        return wxNullBitmap;
    wxImage image;
    if (!LoadImage(GetFullPath(zRelatif), image))
        return GetPlaceholderBitmap();
    wxImage mirrored = (bMiroir || bMiroirMasque) ? image.Mirror(true) : wxImage();
    wxBitmap bitmap(bMiroir ? mirrored : image, wxBITMAP_SCREEN_DEPTH);
    if (!bitmap.IsOk())
        return GetPlaceholderBitmap();
    if (bMasque) {
        if (bMiroir == bMiroirMasque)
            SetMagentaMask(bitmap, bitmap);
        else
            SetMagentaMask(bitmap,
                           wxBitmap(bMiroirMasque ? mirrored : image, wxBITMAP_SCREEN_DEPTH));
    }
    return bitmap;
}

wxBitmap ZorUtile::GetTransBmp(const char* const* xpm)
{
    if (!CanMakeBitmaps())
        return wxNullBitmap;
    if (!xpm || !xpm[0])
        return GetPlaceholderBitmap();
    // Decoded first: the bitmap constructor asserts on a picture it cannot read.
    wxLogNull noLog;
    wxImage image = wxXPMDecoder().ReadData(xpm);
    if (!image.IsOk())
        return GetPlaceholderBitmap();
    wxBitmap bitmap(image, wxBITMAP_SCREEN_DEPTH);
    if (!bitmap.IsOk())
        return GetPlaceholderBitmap();
    SetMagentaMask(bitmap, bitmap);
    return bitmap;
}
