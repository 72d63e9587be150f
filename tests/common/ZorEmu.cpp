#include "tests/common/ZorEmu.h"

#include <wx/stopwatch.h>
#include <wx/utils.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace zortest {

namespace {

std::string FreshDir()
{
    if (!TestHome().empty())
        return MakeTempDir("emu");
    char tmpl[] = "/tmp/zoremu.XXXXXX";
    const char* dir = mkdtemp(tmpl);
    return dir ? dir : "/tmp";
}

// Milliseconds left before the deadline of a stopwatch, at least 0.
int Left(const wxStopWatch& sw, int totalMs)
{
    long left = totalMs - sw.Time();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

std::string ReadSocket(int fd, int timeoutMs, const std::string& until)
{
    std::string got;
    wxStopWatch sw;
    while (until.empty() || got.find(until) == std::string::npos) {
        struct pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, Left(sw, timeoutMs)) <= 0)
            break;
        char buf[4096];
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        got.append(buf, static_cast<size_t>(n));
    }
    return got;
}

Emu::~Emu()
{
    Stop();
}

bool Emu::Start(const std::string& ns, const std::vector<std::string>& options, int timeoutMs)
{
    Stop();
    std::string dir = FreshDir();
    m_control = dir + "/ctl";
    m_log = dir + "/log";
    std::vector<std::string> argv = {EnvOr("TAVLIN_EMU", TAVLIN_EMU_PATH), "--control", m_control,
                                     "--log", m_log};
    argv.insert(argv.end(), options.begin(), options.end());
    if (!m_process.Start(InNamespace(ns, argv)))
        return false;
    bool ready = false;
    PumpUntil(
        [this, &ready] {
            if (!m_process.Running())
                return true; // ended at once: bad options or no such namespace
            ready = Command("PING") == "OK";
            return ready;
        },
        timeoutMs);
    if (!ready)
        m_process.Stop();
    return ready;
}

void Emu::Stop()
{
    if (m_process.Pid() <= 0)
        return;
    if (m_process.Running()) {
        Command("QUIT");
        wxStopWatch sw;
        while (m_process.Running() && sw.Time() < 3000)
            wxMilliSleep(10);
    }
    m_process.Stop(); // SIGTERM, then SIGKILL when it does not end
}

bool Emu::Running()
{
    return m_process.Running();
}

std::string Emu::Command(const std::string& line)
{
    const int totalMs = 2000;
    wxStopWatch sw;
    struct sockaddr_un a = {};
    a.sun_family = AF_UNIX;
    if (m_control.empty() || m_control.size() >= sizeof a.sun_path)
        return "";
    strcpy(a.sun_path, m_control.c_str());
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return "";
    std::string reply;
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (!ok && (errno == EAGAIN || errno == EINPROGRESS)) {
        struct pollfd p = {fd, POLLOUT, 0};
        ok = poll(&p, 1, Left(sw, totalMs)) > 0;
    }
    std::string out = line + "\n";
    size_t sent = 0;
    while (ok && sent < out.size()) {
        ssize_t n = send(fd, out.data() + sent, out.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        struct pollfd p = {fd, POLLOUT, 0};
        ok = (n < 0 && errno == EAGAIN) && poll(&p, 1, Left(sw, totalMs)) > 0;
    }
    if (ok)
        reply = ReadSocket(fd, Left(sw, totalMs), "\n");
    close(fd);
    size_t nl = reply.find('\n');
    return nl == std::string::npos ? "" : reply.substr(0, nl);
}

std::string Emu::Get(int index, const std::string& key)
{
    std::string r = Command("GET " + std::to_string(index) + " " + key);
    return r.compare(0, 3, "OK ") == 0 ? r.substr(3) : "";
}

bool Emu::Set(int index, const std::string& key, const std::string& value)
{
    return Command("SET " + std::to_string(index) + " " + key + "=" + value) == "OK";
}

std::string Emu::Log() const
{
    return m_log.empty() ? "" : ReadFile(m_log);
}

std::vector<std::string> Emu::LogLines(const std::string& contains) const
{
    std::vector<std::string> lines;
    std::string all = Log();
    size_t start = 0;
    while (start < all.size()) {
        size_t nl = all.find('\n', start);
        if (nl == std::string::npos)
            break; // a line still being written
        std::string l = all.substr(start, nl - start);
        if (l.find(contains) != std::string::npos)
            lines.push_back(l);
        start = nl + 1;
    }
    return lines;
}

bool Emu::WaitLog(const std::string& contains, int timeoutMs)
{
    return PumpUntil([this, &contains] { return !LogLines(contains).empty(); }, timeoutMs);
}

} // namespace zortest
