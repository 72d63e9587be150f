// Observer windows of the device manager: each window is a listener of the manager's one list,
// so windows and plain listeners are told in the order they were added. Built with the windows
// (wx core); the engine never calls these.
#include "device/ZorTavlinObj.h"

#include <wx/window.h>

namespace {

class ZorObserverWindow : public ZorTavlinListener
{
public:
    ZorObserverWindow(ZorTavlinObj* pSource, wxWindow* pWindow)
        : m_pSource(pSource), m_pWindow(pWindow)
    {}
    wxWindow* Window() const { return m_pWindow; }
    void OnTavlinEvent(int iEventType) override { Envoyer(iEventType, m_pSource, m_pWindow); }

    static void Envoyer(int iEventType, ZorTavlinObj* pSource, wxWindow* pWindow)
    {
        wxCommandEvent event(iEventType, 0);
        event.SetEventObject(pSource);
        pWindow->ProcessWindowEvent(event);
    }

private:
    ZorTavlinObj* m_pSource;
    wxWindow* m_pWindow;
};

ZorObserverWindow* AdaptorOf(const std::vector<ZorTavlinListener*>& listeners, wxWindow* pWindow)
{
    for (ZorTavlinListener* p : listeners) {
        ZorObserverWindow* pAdaptor = dynamic_cast<ZorObserverWindow*>(p);
        if (pAdaptor && pAdaptor->Window() == pWindow)
            return pAdaptor;
    }
    return nullptr;
}

} // namespace

void ZorTavlinObj::AddObserver(wxWindow* pWindow)
{
    if (!pWindow || AdaptorOf(m_arrayObserver, pWindow))
        return;
    AddOwnedListener(std::make_unique<ZorObserverWindow>(this, pWindow));
}

void ZorTavlinObj::RemoveObserver(wxWindow* pWindow)
{
    if (pWindow)
        RemoveListener(AdaptorOf(m_arrayObserver, pWindow));
}

void ZorTavlinObj::SendToObserver(int iEventType, wxWindow* pWindow)
{
    if (pWindow)
        ZorObserverWindow::Envoyer(iEventType, this, pWindow);
    else
        NotifyListeners(iEventType);
}
