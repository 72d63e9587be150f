// Standard input's console: whether a person types there, and its echo off while a password is
// typed.
#include "platform/ZorPlatform.h"
#include "platform/windows/ZorWindows.h"

namespace ZorPlatform {

namespace {

DWORD gAvant = 0;

HANDLE Entree()
{
    return GetStdHandle(STD_INPUT_HANDLE);
}

// Called on a thread of its own for Ctrl-C, Ctrl-Break and the console's closing: the console is
// set back, then the next handler (the system's, which ends the program) runs.
BOOL WINAPI SurControle(DWORD)
{
    SetConsoleMode(Entree(), gAvant);
    return FALSE;
}

} // namespace

bool EntreeInteractive()
{
    DWORD iMode = 0;
    return GetConsoleMode(Entree(), &iMode) != 0;
}

EchoCoupe::EchoCoupe()
{
    DWORD iMode = 0;
    if (!GetConsoleMode(Entree(), &iMode))
        return;
    gAvant = iMode;
    SetConsoleCtrlHandler(SurControle, TRUE);
    m_bCoupe = SetConsoleMode(Entree(), iMode & ~DWORD(ENABLE_ECHO_INPUT)) != 0;
    if (!m_bCoupe)
        SetConsoleCtrlHandler(SurControle, FALSE);
}

EchoCoupe::~EchoCoupe()
{
    if (!m_bCoupe)
        return;
    SetConsoleMode(Entree(), gAvant);
    SetConsoleCtrlHandler(SurControle, FALSE);
}

} // namespace ZorPlatform
