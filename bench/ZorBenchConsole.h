// The start and end shared by console benchmark programs: a temporary home, so that the
// library's settings and log stay out of the user's, and the toolkit started as a console
// application with sockets and no log output.
#pragma once

#include "tests/common/ZorTestSupport.h"

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/socket.h>

#include <cstdlib>
#include <string>

namespace zortest {
void SetTestHome(const std::string& home);
}

namespace zorbench {

inline void Terminer(const std::string& home);

// The temporary home once the toolkit runs; empty when either failed.
inline std::string DemarrerConsole(char* argv0)
{
    char tmpl[] = "/tmp/tavlin-bench-XXXXXX";
    const char* home = mkdtemp(tmpl);
    if (!home)
        return std::string();
    setenv("HOME", home, 1);
    zortest::SetTestHome(home);
    wxAppConsole::SetInstance(new wxAppConsole());
    int wxArgc = 1;
    char* wxArgv[] = {argv0, nullptr};
    if (!wxEntryStart(wxArgc, wxArgv)) {
        (void)system(("rm -rf '" + std::string(home) + "'").c_str());
        return std::string();
    }
    wxAppConsole::GetInstance()->CallOnInit();
    wxLog::EnableLogging(false);
    wxSocketBase::Initialize();
    return home;
}

// Ends what DemarrerConsole started and removes the home.
inline void Terminer(const std::string& home)
{
    wxSocketBase::Shutdown();
    wxEntryCleanup();
    if (!home.empty())
        (void)system(("rm -rf '" + home + "'").c_str());
}

} // namespace zorbench
