// The launcher: shows the library's device list and opens the chosen device's web page in the
// default browser. It has no window of its own that the user sees.
#pragma once

#include <wx/app.h>
#include <wx/frame.h>

class ZorTavlinObj;

class ZorTavlinControleApp : public wxApp
{
public:
    bool OnInit() override;
    ~ZorTavlinControleApp() override;
};

// The observer window the device manager needs, and the program's top-level window: zero size,
// no decoration. The whole interaction happens in its construction.
class ZorTavlinControleFrame : public wxFrame
{
public:
    // tavlin: the program's one device manager, which outlives the frame.
    explicit ZorTavlinControleFrame(ZorTavlinObj& tavlin);
    ~ZorTavlinControleFrame() override;

private:
    ZorTavlinObj& m_tavlin;
    wxDECLARE_EVENT_TABLE();
};
