// A button drawn from three pictures (normal, pressed, hover) that tells its parent about clicks,
// right clicks, double clicks and the pointer entering or leaving, as command events carrying the
// button's identifier. Enter and leave arrive as wxCommandEvent of type wxEVT_ENTER_WINDOW and
// wxEVT_LEAVE_WINDOW: handle them with EVT_COMMAND(id, wxEVT_ENTER_WINDOW, ...).
#pragma once

#include "infra/ZorExport.h"

#include <wx/bitmap.h>
#include <wx/window.h>

class ZOR_EXPORT ZorBitmapButtonWnd : public wxWindow
{
public:
    enum Image { IMAGE_LABEL, IMAGE_SELECTED, IMAGE_HOVER };
    // The picture to draw: pressed with the pointer inside shows the selected one (the hover one
    // when Control was down at the press); the pointer inside otherwise shows the hover one.
    static Image ChoisirImage(bool bPressed, bool bInside, bool bControle);

    ZorBitmapButtonWnd();
    // Callers give the label picture's own size and style 0.
    ZorBitmapButtonWnd(wxWindow* pParent, wxWindowID id, const wxBitmap& bitmapLabel,
                       const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                       long style = 0, const wxString& zName = "ZorBitmapButtonWnd");
    ~ZorBitmapButtonWnd() override;
    // Creates the window of a default-constructed button.
    bool Create(wxWindow* pParent, wxWindowID id, const wxBitmap& bitmapLabel,
                const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                long style = 0, const wxString& zName = "ZorBitmapButtonWnd");

    void SetBitmapLabel(const wxBitmap& bitmap);
    void SetBitmapSelected(const wxBitmap& bitmap);
    void SetBitmapHover(const wxBitmap& bitmap);
    const wxBitmap& GetBitmapLabel() const { return m_bitmapLabel; }
    const wxBitmap& GetBitmapSelected() const { return m_bitmapSelected; }
    bool IsHover() const { return m_bHover; }
    bool IsPressed() const { return m_bPressed; }
    // A text kept for the caller; never drawn.
    void SetLibelle(const wxString& zLibelle) { m_zLibelle = zLibelle; }
    const wxString& GetLibelle() const { return m_zLibelle; }
    // A colour filled behind the picture, which is then drawn with its transparent parts.
    bool SetBackgroundColour(const wxColour& colour) override;

    // The picture OnPaint draws now.
    Image GetImageCourante() const;

private:
    void OnPaint(wxPaintEvent& event);
    void OnEraseBackground(wxEraseEvent& event);
    void OnMouseLeftDown(wxMouseEvent& event);
    void OnMouseLeftUp(wxMouseEvent& event);
    void OnMouseLeftDbClick(wxMouseEvent& event);
    void OnMouseRightUp(wxMouseEvent& event);
    void OnMouseMotion(wxMouseEvent& event);
    void OnMouseCaptureLost(wxMouseCaptureLostEvent& event);
    void OnEnterWindow(wxMouseEvent& event);
    void OnLeaveWindow(wxMouseEvent& event);
    void OnSetCursor(wxSetCursorEvent& event);

    void EnvoyerAuParent(wxEventType type);
    void LibererCapture();
    bool Contient(const wxPoint& point) const;

    wxBitmap m_bitmapLabel;
    wxBitmap m_bitmapSelected;
    wxBitmap m_bitmapHover;
    bool m_bPressed = false;
    bool m_bHover = false;
    bool m_bControle = false;
    bool m_bFond = false;
    wxString m_zLibelle;
};
