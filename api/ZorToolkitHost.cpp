// Running the toolkit for hosts of the flat interface that have no toolkit application.
//
// Nobody else delivers events in such a host, so the library keeps an event loop of its own
// and serves it on the starting thread inside every flat call (ZorHostingPump). A toolkit thread
// owned by the library would break hosts that use the windowing system themselves.
#include "api/ZorHosting.h"

#include "device/ZorTavlinObj.h"
#include "platform/ZorPlatform.h"

#include <wx/app.h>
#include <wx/apptrait.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/module.h>
#include <wx/socket.h>
#include <wx/stopwatch.h>
#include <wx/thread.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace {

// The running application, windowed or console (wxTheApp would cast a console one to the
// windowed class).
wxAppConsole* Appli()
{
    return wxAppConsole::GetInstance();
}

// The windowed application the library creates for a host without one.
class MyAppWx : public wxApp
{
public:
    bool OnInit() override { return true; }
};

// Without a display the windowing system cannot start; timers and sockets still work.
class MyAppWxConsole : public wxAppConsole
{
public:
    bool OnInit() override { return true; }
};

template <class App> wxAppConsole* CreerApp()
{
    if (!wxAppConsoleBase::CheckBuildOptions(WX_BUILD_OPTIONS_SIGNATURE, "monappdlltavlin"))
        return nullptr;
    return new App;
}

bool gbToolkitPossede = false;
bool gbSocketsInitialises = false;
bool gbDansPompe = false;
wxEventLoopBase* gpBoucle = nullptr;
wxThreadIdType gIdThread = 0;
wxLogLevel gNiveauLogHote = wxLOG_Max;

bool EntreeToolkit(wxAppInitializerFunction creer)
{
    wxApp::SetInitializerFunction(creer);
    int argc = 0;
    char* argv[] = {nullptr};
    bool ok = wxEntryStart(argc, argv) && Appli();
    wxApp::SetInitializerFunction(nullptr);
    // A failed start leaves the toolkit's common state behind: cleaned so that another kind of
    // application (or a later start) begins afresh.
    if (!ok)
        wxEntryCleanup();
    return ok;
}

} // namespace

// Whoever cleans the toolkit up (a host's application ending without Tavlin_Stop, or the
// library itself) must not leave the device manager with a timer, sockets and a worker thread
// that outlive it: the worker would run into the toolkit's destroyed state. The toolkit finds
// this module when it starts, so it covers hosts that load the library before that.
class ZorTavlinModule : public wxModule
{
public:
    ZorTavlinModule() { AddDependency("wxSocketModule"); }
    bool OnInit() override { return true; }
    void OnExit() override
    {
        if (gpTheTavlin) {
            gpTheTavlin->Stop();
            ZorTavlinObj::DeleteTavlinObj();
        }
    }

private:
    wxDECLARE_DYNAMIC_CLASS(ZorTavlinModule);
};

wxIMPLEMENT_DYNAMIC_CLASS(ZorTavlinModule, wxModule);

bool ZorHostingStartToolkit()
{
    if (Appli() || gbToolkitPossede)
        return false;

    // The windowing system sets the process locale from the environment; the host did not
    // ask for that (number formatting in a C host would change), so its locale is kept.
    const char* zLocale = std::setlocale(LC_ALL, nullptr);
    std::string zLocaleHote = zLocale ? zLocale : "C";

    bool ok = false;
    {
        wxLogNull pasDeMessage;
        if (ZorPlatform::AffichagePresent())
            ok = EntreeToolkit(CreerApp<MyAppWx>);
        if (!ok)
            ok = EntreeToolkit(CreerApp<MyAppWxConsole>);
    }
    std::setlocale(LC_ALL, zLocaleHote.c_str());
    if (!ok)
        return false;

    // Toolkit diagnostics go to the host's standard error, never to message boxes; the
    // library's debug traces stay out of the host's output.
    delete wxLog::SetActiveTarget(new wxLogStderr);
    gNiveauLogHote = wxLog::GetLogLevel();
    wxLog::SetLogLevel(wxLOG_Info);
#ifdef __WXMSW__
    wxApp::m_nCmdShow = 1;
#endif
    Appli()->CallOnInit();

    gbToolkitPossede = true;
    gIdThread = wxThread::GetCurrentId();
    gpBoucle = Appli()->GetTraits()->CreateEventLoop();
    if (!wxSocketBase::IsInitialized()) {
        wxSocketBase::Initialize();
        gbSocketsInitialises = true;
    }
    return true;
}

void ZorHostingCleanupToolkit()
{
    if (!gbToolkitPossede || gbDansPompe)
        return;
    if (wxThread::GetCurrentId() != gIdThread)
        return;
    if (Appli())
        Appli()->ProcessPendingEvents();
    if (gbSocketsInitialises && wxSocketBase::IsInitialized())
        wxSocketBase::Shutdown();
    gbSocketsInitialises = false;
    delete gpBoucle;
    gpBoucle = nullptr;
    gbToolkitPossede = false;
    wxEntryCleanup();
    wxLog::SetLogLevel(gNiveauLogHote);
}

bool ZorHostingFenetresPossibles()
{
    if (Appli())
        return Appli()->IsGUI();
    return ZorPlatform::AffichagePresent();
}

bool ZorHostingOwnsToolkit()
{
    return gbToolkitPossede;
}

int ZorHostingPump(int iBudgetMs)
{
    if (!gbToolkitPossede || !gpBoucle || gbDansPompe || !Appli())
        return 0;
    if (wxThread::GetCurrentId() != gIdThread)
        return 0;
    gbDansPompe = true;
    int n = 0;
    {
        wxEventLoopActivator activer(gpBoucle);
        wxStopWatch chrono;
        // Pending() also reports due timers; Dispatch() then does not wait.
        while (n < 1000 && chrono.Time() < iBudgetMs && gpBoucle->Pending()) {
            if (!gpBoucle->Dispatch())
                break;
            ++n;
        }
        Appli()->ProcessPendingEvents();
        Appli()->ProcessIdle();
    }
    gbDansPompe = false;
    return n;
}

void ZorHostingIdleHost()
{
    if (!Appli() || !wxThread::IsMain())
        return;
    wxStopWatch chrono;
    for (int i = 0; i < 100 && chrono.Time() < 1000; ++i) {
        Appli()->ProcessPendingEvents();
        if (!Appli()->ProcessIdle())
            break;
    }
}
