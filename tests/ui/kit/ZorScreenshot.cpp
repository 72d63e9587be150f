// Screenshots of windows and the contact sheet of a picture folder, kept in the build folder.
#include "tests/ui/kit/ZorUiKit.h"

#include "infra/ZorConfiguration.h"

#include <wx/arrstr.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/dir.h>
#include <wx/filename.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/stattext.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>

#ifndef TAVLIN_UI_BUILD_DIR
#  error "TAVLIN_UI_BUILD_DIR must name the build folder"
#endif

namespace zorui {

namespace {

void EnsurePng()
{
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxInitAllImageHandlers();
}

// What the X server shows in a rectangle of the screen. The toolkit's screen device context gave
// the first picture of a window again after the window had been repainted (observed with GTK 3
// under Xvfb), so the pixels are read from the server directly.
Display* Ecran()
{
    static Display* pDisplay = XOpenDisplay(nullptr);
    return pDisplay;
}

wxImage LireEcran(const wxRect& rect)
{
    Display* pDisplay = Ecran();
    if (!pDisplay)
        return wxImage();
    const Window racine = DefaultRootWindow(pDisplay);
    XWindowAttributes attributs;
    XGetWindowAttributes(pDisplay, racine, &attributs);
    const wxRect r = rect.Intersect(wxRect(0, 0, attributs.width, attributs.height));
    if (r.IsEmpty())
        return wxImage();
    XImage* pImage = XGetImage(pDisplay, racine, r.x, r.y, r.width, r.height, AllPlanes, ZPixmap);
    if (!pImage)
        return wxImage();
    // The masks say where each colour sits in a pixel; scale each to 8 bits.
    auto composante = [](unsigned long pixel, unsigned long masque) {
        if (!masque)
            return static_cast<unsigned char>(0);
        int iDecalage = 0;
        while (!((masque >> iDecalage) & 1))
            ++iDecalage;
        const unsigned long iMax = masque >> iDecalage;
        return static_cast<unsigned char>(((pixel & masque) >> iDecalage) * 255 / iMax);
    };
    wxImage image(r.width, r.height);
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x) {
            const unsigned long pixel = XGetPixel(pImage, x, y);
            image.SetRGB(x, y, composante(pixel, pImage->red_mask),
                         composante(pixel, pImage->green_mask),
                         composante(pixel, pImage->blue_mask));
        }
    XDestroyImage(pImage);
    return image;
}

// Where the window shown above all others is (the last one of the root's children that is
// mapped, as no window manager frames them on the test display); empty when there is none.
wxRect RectangleDuDessus()
{
    Display* pDisplay = Ecran();
    if (!pDisplay)
        return wxRect();
    Window racine = 0, parent = 0;
    Window* enfants = nullptr;
    unsigned int iNombre = 0;
    wxRect r;
    if (!XQueryTree(pDisplay, DefaultRootWindow(pDisplay), &racine, &parent, &enfants, &iNombre))
        return r;
    for (unsigned int i = iNombre; i-- > 0 && r.IsEmpty();) {
        XWindowAttributes a;
        if (XGetWindowAttributes(pDisplay, enfants[i], &a) && a.map_state == IsViewable)
            r = wxRect(a.x, a.y, a.width, a.height);
    }
    if (enfants)
        XFree(enfants);
    return r;
}

wxString SavePng(const wxImage& image, const wxString& zNom)
{
    EnsurePng();
    const wxString zPath = ScreenshotDir() + wxFILE_SEP_PATH + zNom + ".png";
    // A name may put the picture in a folder of its own ("en/liste_vide").
    const wxString zDossier = wxFileName(zPath).GetPath();
    if (!wxFileName::DirExists(zDossier))
        wxFileName::Mkdir(zDossier, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    if (!image.IsOk() || !image.SaveFile(zPath, wxBITMAP_TYPE_PNG))
        return wxString();
    return zPath;
}

} // namespace

wxColour PixelAt(const wxImage& image, const wxPoint& p)
{
    return wxColour(image.GetRed(p.x, p.y), image.GetGreen(p.x, p.y), image.GetBlue(p.x, p.y));
}

bool TextFits(const wxWindow* label)
{
    wxClientDC dc(const_cast<wxWindow*>(label));
    dc.SetFont(label->GetFont());
    const int iLargeur = label->GetClientSize().x;
    int iLignes = 0;
    for (const wxString& zParagraphe : wxSplit(label->GetLabel(), '\n', '\0')) {
        wxString zLigne;
        ++iLignes;
        for (const wxString& zMot : wxSplit(zParagraphe, ' ', '\0')) {
            const wxString zEssai = zLigne.empty() ? zMot : zLigne + " " + zMot;
            if (!zLigne.empty() && dc.GetTextExtent(zEssai).x > iLargeur) {
                ++iLignes;
                zLigne = zMot;
            } else
                zLigne = zEssai;
            if (dc.GetTextExtent(zLigne).x > iLargeur)
                return false; // one word wider than the control
        }
    }
    return iLignes * dc.GetCharHeight() <= label->GetClientSize().y;
}

EnAnglais::EnAnglais() : m_iAvant(ZorConfiguration::iZorLangue)
{
    ZorConfiguration::iZorLangue = 1;
}

EnAnglais::~EnAnglais()
{
    ZorConfiguration::iZorLangue = m_iAvant;
}

void LangueDuTest::Choisir(bool bAnglais)
{
    if (bAnglais)
        m_anglais.emplace();
    else
        m_anglais.reset();
}

wxString LangueDuTest::Photo(const wxString& zNom) const
{
    return Anglais() ? "en/" + zNom : zNom;
}

void LangueDuTest::Photographier(const wxWindow* w, const wxString& zNom) const
{
    if (Anglais())
        VerifierTextes(w);
    Screenshot(w, Photo(zNom));
}

std::string NomDeLangue(const testing::TestParamInfo<bool>& info)
{
    return info.param ? "Anglais" : "Francais";
}

void VerifierTextes(const wxWindow* w)
{
    for (const wxWindow* enfant : w->GetChildren()) {
        const wxString zTexte = enfant->GetLabel();
        if (dynamic_cast<const wxStaticText*>(enfant)) {
            EXPECT_TRUE(TextFits(enfant)) << zTexte;
        } else if (dynamic_cast<const wxButton*>(enfant) ||
                   dynamic_cast<const wxCheckBox*>(enfant)) {
            EXPECT_GE(enfant->GetSize().x, enfant->GetBestSize().x) << zTexte;
        }
        VerifierTextes(enfant);
    }
}

wxString ScreenshotDir()
{
    const wxString zDir = wxString(TAVLIN_UI_BUILD_DIR) + wxFILE_SEP_PATH + "screenshots";
    if (!wxFileName::DirExists(zDir))
        wxFileName::Mkdir(zDir, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    return zDir;
}

wxString Screenshot(const wxWindow* w, const wxString& zNom)
{
    if (!w || !w->IsShownOnScreen())
        return wxString();
    Settle(80);
    return SavePng(LireEcran(w->GetScreenRect()), zNom);
}

wxString ScreenshotAvecDessus(const wxWindow* w, const wxString& zNom)
{
    if (!w || !w->IsShownOnScreen())
        return wxString();
    Settle(80);
    return SavePng(LireEcran(w->GetScreenRect().Union(RectangleDuDessus())), zNom);
}

wxString ContactSheet(const wxString& zDossier, const wxString& zNom)
{
    EnsurePng();
    wxArrayString fichiers;
    wxDir::GetAllFiles(zDossier, &fichiers, "*.png", wxDIR_FILES);
    wxArrayString icones;
    wxDir::GetAllFiles(zDossier, &icones, "*.ico", wxDIR_FILES);
    for (const wxString& f : icones)
        fichiers.Add(f);
    fichiers.Sort();

    struct Vignette
    {
        wxString zNom;
        wxImage image;
    };
    std::vector<Vignette> vignettes;
    {
        wxLogNull pasDeLog;
        for (const wxString& f : fichiers) {
            wxImage image;
            if (image.LoadFile(f, wxBITMAP_TYPE_ANY) && image.IsOk())
                vignettes.push_back({wxFileName(f).GetFullName(), image});
        }
    }

    // Rows of pictures, wrapped at a fixed width, each with its name and size underneath.
    const int kLargeur = 1400, kMarge = 12, kLegende = 30;
    const wxFont police(wxFontInfo(8));
    wxBitmap mesure(1, 1);
    wxMemoryDC dcMesure(mesure);
    dcMesure.SetFont(police);
    std::vector<wxRect> places;
    int x = kMarge, y = kMarge, iHauteurLigne = 0;
    for (const Vignette& v : vignettes) {
        const int w = std::max(v.image.GetWidth(), dcMesure.GetTextExtent(v.zNom).x);
        const int h = v.image.GetHeight() + kLegende;
        if (x + w + kMarge > kLargeur && x > kMarge) {
            x = kMarge;
            y += iHauteurLigne + kMarge;
            iHauteurLigne = 0;
        }
        places.emplace_back(x, y, w, h);
        x += w + kMarge;
        iHauteurLigne = std::max(iHauteurLigne, h);
    }
    const int iHauteur = std::max(y + iHauteurLigne + kMarge, 60);

    wxBitmap feuille(kLargeur, iHauteur, 24);
    wxMemoryDC dc(feuille);
    dc.SetBackground(wxBrush(wxColour(200, 200, 200)));
    dc.Clear();
    dc.SetFont(police);
    if (vignettes.empty())
        dc.DrawText("no picture in " + zDossier, kMarge, kMarge);
    for (size_t i = 0; i < vignettes.size(); ++i) {
        const wxImage& image = vignettes[i].image;
        const wxRect& p = places[i];
        // A checked square under each picture, so transparent parts show as such.
        for (int cy = 0; cy < image.GetHeight(); cy += 8)
            for (int cx = 0; cx < image.GetWidth(); cx += 8) {
                const bool bClair = ((cx + cy) / 8) % 2 == 0;
                dc.SetPen(*wxTRANSPARENT_PEN);
                dc.SetBrush(wxBrush(bClair ? wxColour(255, 255, 255) : wxColour(225, 225, 225)));
                dc.DrawRectangle(p.x + cx, p.y + cy, std::min(8, image.GetWidth() - cx),
                                 std::min(8, image.GetHeight() - cy));
            }
        // Magenta is the pictures' transparent colour: show it as the dialogs do.
        wxBitmap bitmap(image);
        if (!image.HasAlpha())
            bitmap.SetMask(new wxMask(bitmap, wxColour(255, 0, 255)));
        dc.DrawBitmap(bitmap, p.x, p.y, true);
        dc.SetTextForeground(*wxBLACK);
        dc.DrawText(vignettes[i].zNom, p.x, p.y + image.GetHeight() + 2);
        dc.DrawText(wxString::Format("%d x %d", image.GetWidth(), image.GetHeight()), p.x,
                    p.y + image.GetHeight() + 15);
    }
    dc.SelectObject(wxNullBitmap);
    return SavePng(feuille.ConvertToImage(), zNom);
}

} // namespace zorui

void PrintTo(const wxColour& colour, std::ostream* os)
{
    *os << colour.GetAsString(wxC2S_CSS_SYNTAX).ToStdString();
}
