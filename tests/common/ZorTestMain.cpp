// Test programs' entry: a private home folder (so no test touches a real user's files),
// then the toolkit (with windows when a display is there), then GoogleTest.
#include "tests/common/ZorTestSupport.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/socket.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace zortest {
void SetTestHome(const std::string& home);
}

int main(int argc, char** argv)
{
    char tmpl[] = "/tmp/tavlin-test-XXXXXX";
    const char* home = mkdtemp(tmpl);
    if (!home)
        return 2;
    setenv("HOME", home, 1);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_DOCUMENTS_DIR");
    zortest::SetTestHome(home);

    testing::InitGoogleTest(&argc, argv);

    bool gui = getenv("DISPLAY") != nullptr;
    if (gui)
        wxApp::SetInstance(new wxApp());
    else
        wxApp::SetInstance(new wxAppConsole());
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    if (!wxEntryStart(wxArgc, wxArgv))
        return 3;
    wxAppConsole::GetInstance()->CallOnInit();
    wxLog::EnableLogging(false);
    wxSocketBase::Initialize();

    int rc = RUN_ALL_TESTS();

    wxSocketBase::Shutdown();
    wxEntryCleanup();
    if (rc == 0) { // a failed run keeps its files for a look
        std::error_code ignored;
        std::filesystem::remove_all(home, ignored);
    }
    return rc;
}
