// Standard input's terminal: whether a person types there, and its echo off while a password is
// typed.
#include "platform/ZorPlatform.h"

#include <csignal>
#include <cstddef>
#include <termios.h>
#include <unistd.h>

namespace ZorPlatform {

namespace {

// The signals that end a program from its terminal or its session. Each one first sets the
// terminal back, then ends the program as it would have ended without us: a shell left without
// echo after a Ctrl-C at a password prompt is the fault this prevents.
const int kSignaux[] = {SIGINT, SIGTERM, SIGQUIT, SIGHUP};
constexpr size_t kNbSignaux = sizeof(kSignaux) / sizeof(kSignaux[0]);

struct termios gAvant;
struct sigaction gAnciens[kNbSignaux];
bool gbInstalle[kNbSignaux];

void Retablir(int iSignal)
{
    tcsetattr(STDIN_FILENO, TCSANOW, &gAvant);
    signal(iSignal, SIG_DFL);
    raise(iSignal); // delivered once this handler returns
}

} // namespace

bool EntreeInteractive()
{
    return isatty(STDIN_FILENO) == 1;
}

EchoCoupe::EchoCoupe()
{
    struct termios t;
    if (tcgetattr(STDIN_FILENO, &t) != 0)
        return;
    gAvant = t;
    struct sigaction a = {};
    a.sa_handler = Retablir;
    sigemptyset(&a.sa_mask);
    for (size_t i = 0; i < kNbSignaux; ++i) {
        // A signal the program was told to ignore (nohup) stays ignored.
        gbInstalle[i] = sigaction(kSignaux[i], nullptr, &gAnciens[i]) == 0 &&
                        gAnciens[i].sa_handler != SIG_IGN &&
                        sigaction(kSignaux[i], &a, nullptr) == 0;
    }
    // The line stays whole (the typed Enter ends it) and Ctrl-C still interrupts.
    t.c_lflag &= ~tcflag_t(ECHO | ECHOE | ECHOK | ECHONL);
    m_bCoupe = tcsetattr(STDIN_FILENO, TCSANOW, &t) == 0;
    if (!m_bCoupe)
        for (size_t i = 0; i < kNbSignaux; ++i)
            if (gbInstalle[i])
                sigaction(kSignaux[i], &gAnciens[i], nullptr);
}

EchoCoupe::~EchoCoupe()
{
    if (!m_bCoupe)
        return;
    tcsetattr(STDIN_FILENO, TCSANOW, &gAvant);
    for (size_t i = 0; i < kNbSignaux; ++i)
        if (gbInstalle[i])
            sigaction(kSignaux[i], &gAnciens[i], nullptr);
}

} // namespace ZorPlatform
