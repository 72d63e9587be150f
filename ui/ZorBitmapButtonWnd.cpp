#include "ui/ZorBitmapButtonWnd.h"

#include <wx/dcbuffer.h>

ZorBitmapButtonWnd::Image ZorBitmapButtonWnd::ChoisirImage(bool bPressed, bool bInside,
                                                           bool bControle)
{
    if (!bInside)
        return IMAGE_LABEL;
    if (bPressed && !bControle)
        return IMAGE_SELECTED;
    return IMAGE_HOVER;
}

ZorBitmapButtonWnd::ZorBitmapButtonWnd() = default;

ZorBitmapButtonWnd::ZorBitmapButtonWnd(wxWindow* pParent, wxWindowID id,
                                       const wxBitmap& bitmapLabel, const wxPoint& pos,
                                       const wxSize& size, long style, const wxString& zName)
{
    Create(pParent, id, bitmapLabel, pos, size, style, zName);
}

ZorBitmapButtonWnd::~ZorBitmapButtonWnd()
{
    LibererCapture();
}

bool ZorBitmapButtonWnd::Create(wxWindow* pParent, wxWindowID id, const wxBitmap& bitmapLabel,
                                const wxPoint& pos, const wxSize& size, long style,
                                const wxString& zName)
{
    if (!wxWindow::Create(pParent, id, pos, size, style, zName))
        return false;
    m_bitmapLabel = bitmapLabel;
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &ZorBitmapButtonWnd::OnPaint, this);
    Bind(wxEVT_ERASE_BACKGROUND, &ZorBitmapButtonWnd::OnEraseBackground, this);
    Bind(wxEVT_LEFT_DOWN, &ZorBitmapButtonWnd::OnMouseLeftDown, this);
    Bind(wxEVT_LEFT_UP, &ZorBitmapButtonWnd::OnMouseLeftUp, this);
    Bind(wxEVT_LEFT_DCLICK, &ZorBitmapButtonWnd::OnMouseLeftDbClick, this);
    Bind(wxEVT_RIGHT_UP, &ZorBitmapButtonWnd::OnMouseRightUp, this);
    Bind(wxEVT_MOTION, &ZorBitmapButtonWnd::OnMouseMotion, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &ZorBitmapButtonWnd::OnMouseCaptureLost, this);
    Bind(wxEVT_ENTER_WINDOW, &ZorBitmapButtonWnd::OnEnterWindow, this);
    Bind(wxEVT_LEAVE_WINDOW, &ZorBitmapButtonWnd::OnLeaveWindow, this);
    Bind(wxEVT_SET_CURSOR, &ZorBitmapButtonWnd::OnSetCursor, this);
    return true;
}

void ZorBitmapButtonWnd::SetBitmapLabel(const wxBitmap& bitmap)
{
    m_bitmapLabel = bitmap;
    Refresh();
}

void ZorBitmapButtonWnd::SetBitmapSelected(const wxBitmap& bitmap)
{
    m_bitmapSelected = bitmap;
    Refresh();
}

void ZorBitmapButtonWnd::SetBitmapHover(const wxBitmap& bitmap)
{
    m_bitmapHover = bitmap;
    Refresh();
}

bool ZorBitmapButtonWnd::SetBackgroundColour(const wxColour& colour)
{
    m_bFond = colour.IsOk();
    const bool bChange = wxWindow::SetBackgroundColour(colour);
    Refresh();
    return bChange;
}

ZorBitmapButtonWnd::Image ZorBitmapButtonWnd::GetImageCourante() const
{
    return ChoisirImage(m_bPressed, m_bHover, m_bControle);
}

void ZorBitmapButtonWnd::OnPaint(wxPaintEvent&)
{
    wxAutoBufferedPaintDC dc(this);
    if (m_bFond) {
        dc.SetBackground(wxBrush(GetBackgroundColour()));
        dc.Clear();
    }
    const wxBitmap* images[] = {&m_bitmapLabel, &m_bitmapSelected, &m_bitmapHover};
    const wxBitmap& image = *images[GetImageCourante()];
    if (image.IsOk())
        dc.DrawBitmap(image, 0, 0, m_bFond);
}

void ZorBitmapButtonWnd::OnEraseBackground(wxEraseEvent&)
{
    // The paint draws the whole button.
}

void ZorBitmapButtonWnd::OnMouseLeftDown(wxMouseEvent& event)
{
    if (!HasCapture())
        CaptureMouse();
    m_bPressed = true;
    m_bHover = Contient(event.GetPosition());
    m_bControle = event.ControlDown();
    Refresh();
    event.Skip();
}

void ZorBitmapButtonWnd::OnMouseLeftUp(wxMouseEvent& event)
{
    LibererCapture();
    const bool bClic = m_bPressed && Contient(event.GetPosition());
    m_bPressed = false;
    m_bControle = event.ControlDown();
    Refresh();
    if (bClic)
        EnvoyerAuParent(wxEVT_BUTTON);
}

void ZorBitmapButtonWnd::OnMouseLeftDbClick(wxMouseEvent& event)
{
    LibererCapture();
    EnvoyerAuParent(wxEVT_COMMAND_LEFT_DCLICK);
    m_bPressed = false;
    m_bControle = event.ControlDown();
}

void ZorBitmapButtonWnd::OnMouseRightUp(wxMouseEvent& event)
{
    LibererCapture();
    EnvoyerAuParent(wxEVT_COMMAND_RIGHT_CLICK);
    m_bPressed = false;
    m_bControle = event.ControlDown();
}

void ZorBitmapButtonWnd::OnMouseMotion(wxMouseEvent& event)
{
    // While the mouse is captured the toolkit may not report leaving and re-entering, so the
    // pressed picture follows the pointer's position itself.
    if (m_bPressed) {
        const bool bDedans = Contient(event.GetPosition());
        if (bDedans != m_bHover) {
            m_bHover = bDedans;
            Refresh();
        }
    }
    event.Skip();
}

void ZorBitmapButtonWnd::OnMouseCaptureLost(wxMouseCaptureLostEvent& event)
{
    LibererCapture();
    m_bPressed = false;
    Refresh();
    event.Skip();
}

void ZorBitmapButtonWnd::OnEnterWindow(wxMouseEvent&)
{
    m_bHover = true;
    Refresh();
    EnvoyerAuParent(wxEVT_ENTER_WINDOW);
}

void ZorBitmapButtonWnd::OnLeaveWindow(wxMouseEvent&)
{
    m_bHover = false;
    Refresh();
    EnvoyerAuParent(wxEVT_LEAVE_WINDOW);
}

void ZorBitmapButtonWnd::OnSetCursor(wxSetCursorEvent& event)
{
    event.SetCursor(wxCursor(wxCURSOR_HAND));
}

void ZorBitmapButtonWnd::EnvoyerAuParent(wxEventType type)
{
    wxWindow* pParent = GetParent();
    if (!pParent)
        return;
    wxCommandEvent event(type, GetId());
    event.SetEventObject(this);
    // Enter and leave carry mouse event types in a command event: a window above the parent
    // handling its own pointer crossings would read it as a mouse event. Only the parent gets them.
    if (type == wxEVT_ENTER_WINDOW || type == wxEVT_LEAVE_WINDOW)
        event.StopPropagation();
    pParent->GetEventHandler()->ProcessEvent(event);
}

void ZorBitmapButtonWnd::LibererCapture()
{
    if (HasCapture())
        ReleaseMouse();
}

bool ZorBitmapButtonWnd::Contient(const wxPoint& point) const
{
    return wxRect(GetClientSize()).Contains(point);
}
