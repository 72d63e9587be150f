#include "tests/common/ZorTestSupport.h"

#include "device/ZorTavlinObj.h"
#include "infra/ZorClock.h"
#include "infra/ZorPompe.h"

#include <wx/app.h>
#include <wx/apptrait.h>
#include <wx/evtloop.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zortest {

namespace {
std::string gHome;
}

void SetTestHome(const std::string& home)
{
    gHome = home;
}
const std::string& TestHome()
{
    return gHome;
}

std::string MakeTempDir(const std::string& tag)
{
    static int counter = 0;
    std::string dir = gHome + "/" + tag + "_" + std::to_string(++counter);
    mkdir(dir.c_str(), 0777);
    return dir;
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    return ZorPomper(timeoutMs, done);
}

testing::AssertionResult OneEventPerSpacing(ZorManualClock& clock, int64_t iSpacingMs, int n,
                                            const std::function<size_t()>& count)
{
    const int kQuietMs = 150;
    for (int i = 0; i <= n; ++i) {
        const size_t avant = count();
        if (i < n) {
            clock.Advance(iSpacingMs - 1);
            Pump(kQuietMs);
            if (count() != avant)
                return testing::AssertionFailure() << "step " << i << ": " << count() - avant
                                                   << " event(s) before the spacing was over";
            clock.Advance(1);
        } else {
            clock.Advance(10 * iSpacingMs);
        }
        if (!PumpUntil([&] { return count() > avant; }, 5000))
            return testing::AssertionFailure() << "step " << i << ": nothing once it was over";
        Pump(kQuietMs);
        if (count() != avant + 1)
            return testing::AssertionFailure()
                   << "step " << i << ": " << count() - avant << " events for one spacing";
    }
    return testing::AssertionSuccess();
}

BoucleActive::BoucleActive()
{
    if (!wxEventLoopBase::GetActive() && wxAppConsole::GetInstance()) {
        m_pBoucle = wxAppConsole::GetInstance()->GetTraits()->CreateEventLoop();
        wxEventLoopBase::SetActive(m_pBoucle);
    }
}

BoucleActive::~BoucleActive()
{
    if (m_pBoucle) {
        wxEventLoopBase::SetActive(nullptr);
        delete m_pBoucle;
    }
}

void Pump(int ms)
{
    PumpUntil([] { return false; }, ms);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

StderrCapture::StderrCapture()
{
    static int counter = 0;
    m_path = gHome + "/stderr_" + std::to_string(++counter);
    std::fflush(stderr);
    const int fd = open(m_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return;
    m_saved = dup(STDERR_FILENO);
    dup2(fd, STDERR_FILENO);
    close(fd);
}

StderrCapture::~StderrCapture()
{
    if (m_saved < 0)
        return;
    std::fflush(stderr);
    dup2(m_saved, STDERR_FILENO);
    close(m_saved);
}

std::string StderrCapture::Text() const
{
    std::fflush(stderr);
    return ReadFile(m_path);
}

size_t Count(const std::string& text, const std::string& needle)
{
    size_t n = 0;
    for (size_t at = text.find(needle); !needle.empty() && at != std::string::npos;
         at = text.find(needle, at + needle.size()))
        ++n;
    return n;
}

bool InTestNetwork()
{
    return getenv("TAVLIN_NS_LAN1") != nullptr;
}

std::string EnvOr(const char* name, const std::string& fallback)
{
    const char* v = getenv(name);
    return v ? std::string(v) : fallback;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv)
{
    Start(argv);
}

ChildProcess::~ChildProcess()
{
    Stop();
}

bool ChildProcess::Start(const std::vector<std::string>& argv)
{
    Stop();
    if (argv.empty())
        return false;
    pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    m_pid = pid;
    return true;
}

bool ChildProcess::Running()
{
    if (m_pid <= 0)
        return false;
    int status = 0;
    pid_t r = waitpid(m_pid, &status, WNOHANG);
    if (r == m_pid) {
        m_pid = -1;
        return false;
    }
    return true;
}

void ChildProcess::Stop()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    for (int i = 0; i < 200; ++i) { // at most 2 s, then SIGKILL
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return;
        }
        usleep(10000);
    }
    kill(m_pid, SIGKILL);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
}

std::vector<std::string> InNamespace(const std::string& ns, std::vector<std::string> argv)
{
    std::vector<std::string> full = {"ip", "netns", "exec", ns};
    full.insert(full.end(), argv.begin(), argv.end());
    return full;
}

} // namespace zortest

namespace zortest {

Cible CibleDe(ZorTavlinObj& obj)
{
    Cible c;
    obj.GetCible(&c.mac, &c.ip, &c.ipLocal);
    return c;
}

size_t NombreTavlin(ZorTavlinObj& obj)
{
    return obj.GetNombreTavlin();
}

ZorTavlinInfo TavlinNo(ZorTavlinObj& obj, size_t i)
{
    ZorTavlinInfoArray a;
    obj.GetLesTavlin(a);
    return i < a.GetCount() ? a[i] : ZorTavlinInfo();
}

} // namespace zortest
