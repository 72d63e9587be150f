// A light panel with an orange frame, a two-picture animation and a message, laid over the
// device list while a device is tested, configured or restarted.
#pragma once

#include "infra/ZorExport.h"

#include <wx/bitmap.h>
#include <wx/window.h>

class wxStaticText;

class ZOR_EXPORT ZorTavlinAttenteWnd : public wxWindow
{
public:
    ZorTavlinAttenteWnd(wxWindow* pParent, wxWindowID id, const wxPoint& pos = wxDefaultPosition,
                        const wxSize& size = wxSize(415, 115));

    // Sets both pictures of the animation and shows the first.
    void SetBitmaps(const wxBitmap& bitmapA, const wxBitmap& bitmapB);
    void SetTexte(const wxString& zTexte);
    // Shows the other picture.
    void AnimationSuivante();

    // The picture painted now: 0 for the first, 1 for the second, -1 before SetBitmaps.
    int GetImageCourante() const { return m_iCourante; }
    wxString GetTexte() const;

    static const wxColour kOrange;
    static const wxColour kPanneau;

private:
    void OnPaint(wxPaintEvent& event);
    void OnEraseBackground(wxEraseEvent& event);

    wxBitmap m_fond;
    wxStaticText* m_pTexte;
    wxBitmap m_images[2];
    int m_iCourante = -1;
};
