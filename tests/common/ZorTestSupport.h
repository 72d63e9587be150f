// Helpers shared by the test programs: the toolkit's event loop, temporary folders,
// and child processes (the device emulator) that are always ended.
#pragma once

#include <wx/string.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class wxEventLoopBase;
class ZorManualClock;
class ZorTavlinInfo;
class ZorTavlinObj;

namespace zortest {

// What a test reads of a device manager, through its operations: the polling target (the
// monitored address, and the address and adapter the worker polls) and the registry's records.
struct Cible
{
    wxString mac, ip, ipLocal;
};
Cible CibleDe(ZorTavlinObj& obj);
size_t NombreTavlin(ZorTavlinObj& obj);
// The i-th record of the registry (an empty record past its end).
ZorTavlinInfo TavlinNo(ZorTavlinObj& obj, size_t i);

// Runs the toolkit's event loop until done() is true or timeoutMs passes; returns done().
bool PumpUntil(const std::function<bool()>& done, int timeoutMs);
// Runs the event loop for a while.
void Pump(int ms);

// For a rule that lets one event through per spacing of a manual clock (the worker's polls),
// counted by count(): n times, the clock moves one millisecond short of the spacing (nothing may
// come) and then to its end (exactly one must); last, a jump of ten spacings lets exactly one
// through too (a late poll is not caught up with a burst). The counts, not the machine's speed,
// decide; a wait for nothing can only be a fixed one, so those are short.
testing::AssertionResult OneEventPerSpacing(ZorManualClock& clock, int64_t iSpacingMs, int n,
                                            const std::function<size_t()>& count);

// An event loop made active for as long as it lives, so that PumpUntil uses it instead of making
// one per wait: threads started meanwhile then wake a loop that existed before them.
class BoucleActive
{
public:
    BoucleActive();
    ~BoucleActive();
    BoucleActive(const BoucleActive&) = delete;
    BoucleActive& operator=(const BoucleActive&) = delete;

private:
    wxEventLoopBase* m_pBoucle = nullptr;
};

// The temporary home folder the test program runs with (set before the toolkit starts).
const std::string& TestHome();
// A fresh, empty folder below TestHome().
std::string MakeTempDir(const std::string& tag);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);

// Collects what the process writes on standard error for the life of the object.
class StderrCapture
{
public:
    StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;
    ~StderrCapture();
    // Everything written so far.
    std::string Text() const;

private:
    std::string m_path;
    int m_saved = -1;
};

// Number of times needle occurs in text.
size_t Count(const std::string& text, const std::string& needle);

// True inside the two-subnet test network (tools/testnet.sh --lan).
bool InTestNetwork();
std::string EnvOr(const char* name, const std::string& fallback);

// A child process; killed (SIGTERM, then SIGKILL) and reaped when the object goes.
class ChildProcess
{
public:
    ChildProcess() = default;
    explicit ChildProcess(const std::vector<std::string>& argv);
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();
    bool Start(const std::vector<std::string>& argv);
    void Stop();
    bool Running();
    int Pid() const { return m_pid; }

private:
    int m_pid = -1;
};

// Runs argv inside a network namespace ("ip netns exec NS ...").
std::vector<std::string> InNamespace(const std::string& ns, std::vector<std::string> argv);

} // namespace zortest
