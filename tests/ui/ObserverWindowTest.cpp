// Observer windows of the device manager: they share the one ordered list with plain listeners
// and get each event as a payload-free command event whose object is the manager.
#include "device/ZorTavlinObj.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/frame.h>

#include <string>

namespace {

std::string gJournal;

class ObserverFrame : public wxFrame
{
public:
    explicit ObserverFrame(char nom) : wxFrame(nullptr, wxID_ANY, wxT("observer")), m_nom(nom)
    {
        for (int type : {ZOR_EVT_TAVLIN_ADD, ZOR_EVT_TAVLIN_REMOVE, ZOR_EVT_TAVLIN_CONFIGURE})
            Bind(wxEventTypeTag<wxCommandEvent>(type), &ObserverFrame::OnEvent, this);
    }
    bool m_bSeRetirer = false;

private:
    void OnEvent(wxCommandEvent& event)
    {
        EXPECT_EQ(event.GetEventObject(), gpTheTavlin);
        EXPECT_EQ(event.GetId(), 0);
        gJournal += m_nom;
        gJournal += event.GetEventType() == ZOR_EVT_TAVLIN_ADD ? '+' : '-';
        if (m_bSeRetirer)
            gpTheTavlin->RemoveObserver(this);
    }
    char m_nom;
};

class Plain : public ZorTavlinListener
{
public:
    void OnTavlinEvent(int iEventType) override
    {
        gJournal += 'p';
        gJournal += iEventType == ZOR_EVT_TAVLIN_ADD ? '+' : '-';
    }
};

TEST(ObserverWindow, WindowsAndListenersShareOneOrderedList)
{
    ASSERT_TRUE(wxTheApp && wxTheApp->IsGUI()) << "needs a display (run under Xvfb)";
    ASSERT_TRUE(ZorTavlinObj::CreateTavlinObj());
    ZorTavlinObj* obj = gpTheTavlin;
    ObserverFrame* a = new ObserverFrame('a');
    ObserverFrame* b = new ObserverFrame('b');
    Plain p;
    gJournal.clear();
    obj->AddObserver(a);
    obj->AddListener(&p);
    obj->AddObserver(b);
    obj->AddObserver(a);       // already there: nothing
    obj->AddObserver(nullptr); // nothing
    EXPECT_EQ(gJournal, "a+p+b+");

    gJournal.clear();
    a->m_bSeRetirer = true; // leaves while it is told: the others still are
    obj->SendToObserver(ZOR_EVT_TAVLIN_REMOVE, nullptr);
    EXPECT_EQ(gJournal, "a-p-b-");
    gJournal.clear();
    obj->NotifyListeners(ZOR_EVT_TAVLIN_REMOVE);
    EXPECT_EQ(gJournal, "p-b-");

    gJournal.clear();
    obj->SendToObserver(ZOR_EVT_TAVLIN_CONFIGURE, a); // one window, listed or not
    obj->RemoveObserver(b);
    obj->RemoveObserver(b); // not there any more: nothing
    obj->NotifyListeners(ZOR_EVT_TAVLIN_REMOVE);
    EXPECT_EQ(gJournal, "a-p-");

    obj->RemoveListener(&p);
    ZorTavlinObj::DeleteTavlinObj();
    a->Destroy();
    b->Destroy();
}

} // namespace
