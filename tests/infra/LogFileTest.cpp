// Log file: exact line bytes, re-creation per run, folder failures, one file per host program,
// and whole lines under concurrent writers.
#include "infra/ZorLogFile.h"
#include "tests/common/ZorTestSupport.h"

#include <gtest/gtest.h>
#include <wx/datetime.h>
#include <wx/filename.h>
#include <wx/stdpaths.h>
#include <wx/utils.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <thread>
#include <unistd.h>
#include <vector>

using zortest::MakeTempDir;
using zortest::ReadFile;
using zortest::WriteFile;

namespace {

// Points the documents folder at a fresh folder for the life of the object.
class HomeScope
{
public:
    explicit HomeScope(const std::string& home) : m_old(getenv("HOME"))
    {
        setenv("HOME", home.c_str(), 1);
    }
    ~HomeScope() { setenv("HOME", m_old.c_str(), 1); }

private:
    std::string m_old;
};

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "<unterminated>");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

const std::regex kLine("(\\d{4})-(\\d\\d)-(\\d\\d) (\\d\\d):(\\d\\d):(\\d\\d)\t([\\s\\S]*)");

} // namespace

TEST(LogFile, LineBytesAndPlace)
{
    std::string home = MakeTempDir("log");
    HomeScope scope(home);
    std::string path =
        home + "/Tavlin/ZorTavlin_" +
        wxFileName(wxStandardPaths::Get().GetExecutablePath()).GetName().ToStdString() + ".log";
    EXPECT_EQ(ZorLogFile::GetPath().ToStdString(), path);

    ZorLogFile log;
    time_t before = time(nullptr);
    log.Write(wxT("Tavlin : Une erreur est survenue lors de la création du répertoire %s n°%d."),
              wxString(wxT("/é")), 7);
    log.Write(wxString(wxT("100% %s %d fait"))); // already formatted: kept as it is
    log.Write(wxT("deux\nlignes 5%s"));          // no arguments: no conversion
    log.Write(wxString(wxT("X\xD800Y")));        // no UTF-8 form: replacement character
    time_t after = time(nullptr);

    std::vector<std::string> lines = SplitLines(ReadFile(path));
    ASSERT_EQ(lines.size(), 4u);
    const char* expected[] = {"Tavlin : Une erreur est survenue lors de la cr\xC3\xA9"
                              "ation du r\xC3\xA9pertoire /\xC3\xA9 n\xC2\xB0"
                              "7.",
                              "100% %s %d fait", "deux\nlignes 5%s", "X\xEF\xBF\xBDY"};
    for (size_t i = 0; i < lines.size(); ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lines[i], m, kLine)) << lines[i];
        EXPECT_EQ(m[7].str(), expected[i]);
        struct tm t = {};
        t.tm_year = std::stoi(m[1]) - 1900;
        t.tm_mon = std::stoi(m[2]) - 1;
        t.tm_mday = std::stoi(m[3]);
        t.tm_hour = std::stoi(m[4]);
        t.tm_min = std::stoi(m[5]);
        t.tm_sec = std::stoi(m[6]);
        t.tm_isdst = -1;
        time_t stamp = mktime(&t); // local time
        EXPECT_GE(stamp, before - 1);
        EXPECT_LE(stamp, after + 1);
    }
    EXPECT_EQ(ZorLogFile::FormatLine(wxT("2024-03-15"), wxT("08:05:09"), wxT("m")),
              wxT("2024-03-15 08:05:09\tm\r\n"));
    EXPECT_EQ(ZorLogFile::FormatLine(wxT("d"), wxT("t"), wxString(wxT("a\0b"), 3)),
              wxString(wxT("d t\ta\0b\r\n"), 9));
}

TEST(LogFile, RecreatedPerRunAndRetriedUntilFolderExists)
{
    std::string home = MakeTempDir("log");
    HomeScope scope(home);
    std::string path = ZorLogFile::GetPath().ToStdString();

    // "Tavlin" is a plain file: the folder can't be made, lines are dropped.
    WriteFile(home + "/Tavlin", "x");
    ZorLogFile log;
    EXPECT_FALSE(log.Open());
    log.Write(wxT("perdu"));
    unlink((home + "/Tavlin").c_str());

    ASSERT_EQ(mkdir((home + "/Tavlin").c_str(), 0777), 0);
    WriteFile(path, "ancienne ligne\r\n");
    log.Write(wxT("un"));
    log.Write(wxT("deux"));
    std::vector<std::string> lines = SplitLines(ReadFile(path));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("\tun"), std::string::npos);
    EXPECT_NE(lines[1].find("\tdeux"), std::string::npos);
}

TEST(LogFile, ConcurrentWritersNeverInterleave)
{
    std::string home = MakeTempDir("log");
    HomeScope scope(home);
    ZorLogFile log;
    const int kThreads = 6, kLines = 1500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < kLines; ++i)
                log.Write(wxT("T%d L%d %s"), t, i,
                          wxString(wxUniChar('a' + t), 1 + (i * 37) % 900));
        });
    for (std::thread& th : threads)
        th.join();

    std::vector<std::string> lines = SplitLines(ReadFile(ZorLogFile::GetPath().ToStdString()));
    ASSERT_EQ(lines.size(), size_t(kThreads * kLines));
    std::vector<int> next(kThreads, 0);
    const std::regex body("T(\\d) L(\\d+) ([a-z]+)");
    for (const std::string& line : lines) {
        std::smatch m, b;
        ASSERT_TRUE(std::regex_match(line, m, kLine)) << line.substr(0, 80);
        std::string msg = m[7].str();
        ASSERT_TRUE(std::regex_match(msg, b, body)) << msg.substr(0, 80);
        int t = std::stoi(b[1]), i = std::stoi(b[2]);
        ASSERT_EQ(i, next[t]++) << "lines of one thread out of order";
        EXPECT_EQ(b[3].str(), std::string(1 + (i * 37) % 900, char('a' + t)));
    }
}

// Run by the test below from a copy of this program with another name.
TEST(LogFileChild, DISABLED_WriteOneLine)
{
    const char* home = getenv("TAVLIN_LOG_HOME");
    ASSERT_NE(home, nullptr);
    HomeScope scope(home);
    ZorLogFile log;
    log.Write(wxT("autre programme"));
}

TEST(LogFile, EachHostProgramHasItsOwnFile)
{
    std::string home = MakeTempDir("log");
    std::string exe = MakeTempDir("exe") + "/autre_hote";
    std::filesystem::copy_file(wxStandardPaths::Get().GetExecutablePath().ToStdString(), exe);
    {
        HomeScope scope(home);
        ZorLogFile log;
        log.Write(wxT("ce programme"));
    }
    setenv("TAVLIN_LOG_HOME", home.c_str(), 1);
    zortest::ChildProcess child({exe, "--gtest_also_run_disabled_tests",
                                 "--gtest_filter=LogFileChild.DISABLED_WriteOneLine"});
    for (int i = 0; i < 600 && child.Running(); ++i) // at most 30 s
        wxMilliSleep(50);
    unsetenv("TAVLIN_LOG_HOME");

    std::string own = ReadFile(
        home + "/Tavlin/ZorTavlin_" +
        wxFileName(wxStandardPaths::Get().GetExecutablePath()).GetName().ToStdString() + ".log");
    std::string other = ReadFile(home + "/Tavlin/ZorTavlin_autre_hote.log");
    EXPECT_NE(own.find("\tce programme\r\n"), std::string::npos) << own;
    EXPECT_NE(other.find("\tautre programme\r\n"), std::string::npos) << other;
    EXPECT_EQ(own.find("autre"), std::string::npos);
}

// A log that cannot be written (no folder, a full disk) is said once on standard error.
TEST(LogFile, FailuresAreSaidOnceOnStandardError)
{
    struct Case
    {
        const char* what;
        void (*prepare)(const std::string& home, const std::string& path);
    };
    const Case cases[] = {
        {"a file where the folder should be",
         [](const std::string& home, const std::string&) { WriteFile(home + "/Tavlin", "x"); }},
        {"a full disk",
         [](const std::string& home, const std::string& path) {
             mkdir((home + "/Tavlin").c_str(), 0777);
             ASSERT_EQ(symlink("/dev/full", path.c_str()), 0);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string home = MakeTempDir("log");
        HomeScope scope(home);
        c.prepare(home, ZorLogFile::GetPath().ToStdString());
        zortest::StderrCapture err;
        ZorLogFile log;
        log.Write(wxT("un"));
        log.Write(wxT("deux"));
        const std::string said = err.Text();
        EXPECT_EQ(zortest::Count(said, "ne peut pas être écrit"), 1u) << said;
        EXPECT_EQ(zortest::Count(said, home + "/Tavlin"), 1u) << said;
    }
}

// Runs that overlap (here objects of one process, each with its own lock): a run never empties
// the log of a run still going, a second one writes its own numbered file (emptying a stale
// one), and once the first has ended the next run overwrites the first file as before.
TEST(LogFile, OverlappingRunsEachKeepTheirLines)
{
    const std::string home = MakeTempDir("log");
    HomeScope scope(home);
    auto lignes = [](int iRang) {
        std::vector<std::string> messages;
        for (const std::string& line :
             SplitLines(ReadFile(ZorLogFile::GetPath(iRang).ToStdString()))) {
            std::smatch m;
            messages.push_back(std::regex_match(line, m, kLine) ? m[7].str() : "?" + line);
        }
        return messages;
    };
    EXPECT_EQ(ZorLogFile::GetPath(2).ToStdString(),
              home + "/Tavlin/ZorTavlin_" +
                  wxFileName(wxStandardPaths::Get().GetExecutablePath()).GetName().ToStdString() +
                  ".2.log");
    mkdir((home + "/Tavlin").c_str(), 0777);
    WriteFile(ZorLogFile::GetPath(2).ToStdString(), "vieille ligne\r\n");
    {
        ZorLogFile premier, second, troisieme;
        premier.Write(wxT("un"));
        second.Write(wxT("deux"));
        premier.Write(wxT("un bis"));
        troisieme.Write(wxT("trois"));
        EXPECT_EQ(premier.GetCheminOuvert(), ZorLogFile::GetPath(1));
        EXPECT_EQ(second.GetCheminOuvert(), ZorLogFile::GetPath(2));
        EXPECT_EQ(troisieme.GetCheminOuvert(), ZorLogFile::GetPath(3));
        EXPECT_EQ(lignes(1), (std::vector<std::string>{"un", "un bis"}));
        EXPECT_EQ(lignes(2), std::vector<std::string>{"deux"});
        EXPECT_EQ(lignes(3), std::vector<std::string>{"trois"});
    }
    ZorLogFile suivant;
    suivant.Write(wxT("quatre"));
    EXPECT_EQ(suivant.GetCheminOuvert(), ZorLogFile::GetPath(1));
    EXPECT_EQ(lignes(1), std::vector<std::string>{"quatre"});
    EXPECT_EQ(lignes(2), std::vector<std::string>{"deux"});
}
