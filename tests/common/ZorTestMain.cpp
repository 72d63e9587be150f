// Test programs' entry: the test-network check first (before anything can open a socket),
// a private home folder (so no test touches a real user's files), the toolkit of the kind the
// program was built as, then GoogleTest.
//
// The kind is chosen at build time, never from whatever DISPLAY the shell has:
//   TAVLIN_TEST_WINDOWS=1  a windowed application (needs a display: tools/testnet.sh --xvfb);
//                          "--console" runs the same program as a console application;
//   TAVLIN_TEST_WINDOWS=0  a console application (the engine alone, no display needed).
// TAVLIN_TEST_NEEDS_TESTNET=1: the program sends datagrams and refuses to run outside the
// private test network.
#include "infra/ZorPompe.h"
#include "tests/common/ZorTestNetGuard.h"
#include "tests/common/ZorTestSupport.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/socket.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#ifndef TAVLIN_TEST_WINDOWS
#  error "TAVLIN_TEST_WINDOWS must say whether the program is a windowed one"
#endif
#ifndef TAVLIN_TEST_NEEDS_TESTNET
#  error "TAVLIN_TEST_NEEDS_TESTNET must say whether the program needs the test network"
#endif

namespace zortest {
void SetTestHome(const std::string& home);
}

namespace {

// Removes "--console" from the arguments; true when it was there.
bool TakeConsoleFlag(int& argc, char** argv)
{
    bool found = false;
    int kept = 0;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::strcmp(argv[i], "--console") == 0)
            found = true;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    argv[argc] = nullptr;
    return found;
}

wxAppConsole* NewApplication(bool windows)
{
#if TAVLIN_TEST_WINDOWS
    if (windows)
        return new wxApp();
#else
    (void)windows;
#endif
    return new wxAppConsole();
}

} // namespace

int main(int argc, char** argv)
{
#if TAVLIN_TEST_NEEDS_TESTNET
    if (!ZorDansLeReseauDeTest(argv[0]))
        return 4;
#endif
    const bool windows = TAVLIN_TEST_WINDOWS && !TakeConsoleFlag(argc, argv);

    char tmpl[] = "/tmp/tavlin-test-XXXXXX";
    const char* home = mkdtemp(tmpl);
    if (!home)
        return 2;
    setenv("HOME", home, 1);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_DOCUMENTS_DIR");
    zortest::SetTestHome(home);

    testing::InitGoogleTest(&argc, argv);

    wxApp::SetInstance(NewApplication(windows));
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    if (!wxEntryStart(wxArgc, wxArgv)) {
        std::fprintf(stderr, "%s: the toolkit did not start%s\n", argv[0],
                     windows ? " (a windowed program needs a display: tools/testnet.sh --xvfb)"
                             : "");
        return 3;
    }
    wxAppConsole::GetInstance()->CallOnInit();
    wxLog::EnableLogging(false);
    wxSocketBase::Initialize();
    ZorPomper(0, nullptr); // the loop the engine's worker wakes, made before any worker starts

    int rc = RUN_ALL_TESTS();

    wxSocketBase::Shutdown();
    wxEntryCleanup();
    if (rc == 0) { // a failed run keeps its files for a look
        std::error_code ignored;
        std::filesystem::remove_all(home, ignored);
    }
    return rc;
}
