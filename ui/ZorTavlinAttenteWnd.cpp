#include "ui/ZorTavlinAttenteWnd.h"

#include "infra/ZorUtile.h"

#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/stattext.h>

#include <algorithm>

const wxColour ZorTavlinAttenteWnd::kOrange(255, 128, 0);
const wxColour ZorTavlinAttenteWnd::kPanneau(244, 245, 247);

namespace {

const wxPoint kPositionImage(20, 30);

// The light panel with its orange frame two pixels wide, drawn once at the client size.
wxBitmap DessinerFond(const wxSize& taille)
{
    wxBitmap fond(std::max(taille.x, 1), std::max(taille.y, 1));
    wxMemoryDC dc(fond);
    // Filled without outline: an outline is drawn smoothed across the pixel edges here, which
    // would blur the frame's outer pixels and its inner edge.
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(ZorTavlinAttenteWnd::kOrange));
    dc.DrawRectangle(0, 0, taille.x, taille.y);
    dc.SetBrush(wxBrush(ZorTavlinAttenteWnd::kPanneau));
    dc.DrawRectangle(2, 2, taille.x - 4, taille.y - 4);
    dc.SelectObject(wxNullBitmap);
    return fond;
}

} // namespace

ZorTavlinAttenteWnd::ZorTavlinAttenteWnd(wxWindow* pParent, wxWindowID id, const wxPoint& pos,
                                         const wxSize& size)
    : wxWindow(pParent, id, pos, size, wxBORDER_NONE)
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    m_fond = DessinerFond(GetClientSize());
    m_pTexte = new wxStaticText(this, wxID_ANY, wxString(), wxPoint(68, 35), wxSize(344, 72),
                                wxST_NO_AUTORESIZE);
    m_pTexte->SetFont(wxFont(wxFontInfo(11).Bold()));
    m_pTexte->SetForegroundColour(kOrange);
    m_pTexte->SetBackgroundColour(kPanneau);
    // Loaded now, painted only once a caller chose its pair with SetBitmaps.
    m_images[0] = ZorUtile::GetPngBitmapResource("bitmap/tester1.png", 0, 0);
    m_images[1] = ZorUtile::GetPngBitmapResource("bitmap/tester2.png", 0, 0);
    Bind(wxEVT_PAINT, &ZorTavlinAttenteWnd::OnPaint, this);
    Bind(wxEVT_ERASE_BACKGROUND, &ZorTavlinAttenteWnd::OnEraseBackground, this);
}

void ZorTavlinAttenteWnd::SetBitmaps(const wxBitmap& bitmapA, const wxBitmap& bitmapB)
{
    m_images[0] = bitmapA;
    m_images[1] = bitmapB;
    m_iCourante = 0;
    Refresh();
}

void ZorTavlinAttenteWnd::SetTexte(const wxString& zTexte)
{
    m_pTexte->SetLabel(zTexte);
}

wxString ZorTavlinAttenteWnd::GetTexte() const
{
    return m_pTexte->GetLabel();
}

void ZorTavlinAttenteWnd::AnimationSuivante()
{
    // Before any SetBitmaps nothing shows yet: start with the first picture.
    m_iCourante = m_iCourante == 0 ? 1 : 0;
    Refresh();
}

void ZorTavlinAttenteWnd::OnPaint(wxPaintEvent&)
{
    wxAutoBufferedPaintDC dc(this);
    dc.DrawBitmap(m_fond, 0, 0);
    if (m_iCourante >= 0 && m_images[m_iCourante].IsOk())
        dc.DrawBitmap(m_images[m_iCourante], kPositionImage, true);
}

void ZorTavlinAttenteWnd::OnEraseBackground(wxEraseEvent&)
{
    // The paint covers every pixel; erasing first would only flicker.
}
