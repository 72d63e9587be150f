// Drives the device emulator (tavlin-emu) from tests: starts it inside a LAN namespace of
// the test network, waits until it answers on its control socket, sends control commands
// and reads its log. The process is always ended when the object goes.
#pragma once

#include "tests/common/ZorTestSupport.h"

#include <string>
#include <vector>

namespace zortest {

// Reads from a socket until the peer closes, the text `until` (when not empty) has arrived, or
// timeoutMs have passed; returns what arrived.
std::string ReadSocket(int fd, int timeoutMs, const std::string& until = "");

class Emu
{
public:
    Emu() = default;
    ~Emu();
    Emu(const Emu&) = delete;
    Emu& operator=(const Emu&) = delete;

    // Starts tavlin-emu in the namespace (e.g. TAVLIN_NS_LAN1) with the given options
    // (--control and --log are added here). Waits at most timeoutMs for it to be ready.
    bool Start(const std::string& ns, const std::vector<std::string>& options,
               int timeoutMs = 10000);
    void Stop();

    // One control command (a line without its line feed); returns the reply line ("OK ...",
    // "ERR ..."), or an empty string when the emulator did not answer within 2 s.
    std::string Command(const std::string& line);

    // Whole log so far, and the lines that contain a given text.
    std::string Log() const;
    std::vector<std::string> LogLines(const std::string& contains) const;
    // Waits (at most timeoutMs, pumping the toolkit's event loop) for a log line containing the text.
    bool WaitLog(const std::string& contains, int timeoutMs);

    // Shorthands of "GET i key" (the value after "OK ", empty on error) and "SET i key=value".
    std::string Get(int index, const std::string& key);
    bool Set(int index, const std::string& key, const std::string& value);
    bool Running();

    const std::string& ControlPath() const { return m_control; }
    const std::string& LogPath() const { return m_log; }

private:
    ChildProcess m_process;
    std::string m_control;
    std::string m_log;
};

} // namespace zortest
