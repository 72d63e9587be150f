// Settings files: every odd line of the format, reading, rewriting and crash-safe replacement.
#include "infra/ZorConfiguration.h"
#include "infra/ZorLogFile.h"
#include "platform/ZorPlatformVerrou.h"
#include "tests/common/ZorTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <dirent.h>
#include <map>
#include <memory>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using zortest::MakeTempDir;
using zortest::ReadFile;
using zortest::WriteFile;

namespace {

std::map<std::string, std::string> Parse(const std::string& utf8)
{
    ZorStringMap map;
    ZorConfiguration::ParseText(wxString::FromUTF8(utf8), map);
    std::map<std::string, std::string> out;
    for (auto& kv : map)
        out[kv.first.ToStdString(wxConvUTF8)] = kv.second.ToStdString(wxConvUTF8);
    return out;
}

// The lines of a written file, without their "\r\n"; fails when a line ends otherwise.
std::multiset<std::string> Lines(const std::string& text)
{
    std::multiset<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "unterminated line in: " << text;
        if (end == std::string::npos)
            break;
        std::string line = text.substr(start, end - start);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "stray line break: " << text;
        lines.insert(line);
        start = end + 2;
    }
    return lines;
}

std::set<std::string> Entries(const std::string& dir)
{
    std::set<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                names.insert(e->d_name);
        closedir(d);
    }
    return names;
}

} // namespace

TEST(ConfigurationText, OddLines)
{
    using M = std::map<std::string, std::string>;
    const std::pair<const char*, M> cases[] = {
        {";ADDR_IP=1.2.3.4\n\n  ADDR_MAC  =  00-0A-0B  \n", M{{"ADDR_MAC", "00-0A-0B"}}},
        {" ;k=v", M{{";k", "v"}}},                   // only the very first character counts
        {"k=", M{}},                                 // only "=" is the last character
        {"k= ", M{{"k", ""}}},                       // a blank keeps the value piece
        {"k=v=\nl=w===", M{{"k", "v"}, {"l", "w"}}}, // final "=" dropped
        {"a=b=c\na==c\n==c\n=\nnoequal", M{}},       // not exactly two pieces
        {"=v", M{{"", "v"}}},
        {"\t k \v=\f v \t", M{{"k", "v"}}},
        {"k=\xC2\xA0v", M{{"k", "\xC2\xA0v"}}},       // no-break space is not white space
        {"k=1\nK=2\nk=3", M{{"k", "3"}, {"K", "2"}}}, // later line wins; keys keep case
        {"a=1\r\r\nb=2\r\r\n", M{{"a", "1"}, {"b", "2"}}},
        {"\n\r\n\ra=1\r", M{{"a", "1"}}},
        {"cl\xC3\xA9=\xC3\xA9t\xC3\xA9", M{{"cl\xC3\xA9", "\xC3\xA9t\xC3\xA9"}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Parse(c.first), c.second) << "text: " << c.first;
    EXPECT_EQ(Parse("a=1\r\r\nb=2\r\r\n"), Parse("a=1\nb=2"));
}

TEST(ConfigurationText, FormatWritesEveryPairAsOneLine)
{
    ZorStringMap map;
    map[wxT("")] = wxT("v");
    map[wxT("k")] = wxT("");
    map[wxT("ADDR_MAC")] = wxT("00-0A");
    std::string text = ZorConfiguration::FormatText(map).ToStdString(wxConvUTF8);
    EXPECT_EQ(Lines(text), (std::multiset<std::string>{"=v", "k=", "ADDR_MAC=00-0A"}));

    ZorStringMap nul, back;
    nul[wxString(wxT("a\0b"), 3)] = wxString(wxT("c\0d"), 3); // an embedded NUL cuts nothing
    ZorConfiguration::ParseText(ZorConfiguration::FormatText(nul), back);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back.begin()->first, nul.begin()->first);
    EXPECT_EQ(back.begin()->second, nul.begin()->second);
}

TEST(ConfigurationFile, ReadBeforeAndAfterLoad)
{
    std::string dir = MakeTempDir("conf");
    ZorConfiguration conf;
    wxString value = wxT("untouched");
    conf.Read(wxT("ADDR_MAC"), value);
    EXPECT_EQ(value, wxT("untouched"));
    EXPECT_EQ(conf.ReadInt(wxT("ADDR_MAC")), 0);

    EXPECT_FALSE(conf.Load(dir, wxT("missing.ini")));
    EXPECT_TRUE(conf.IsLoaded());
    conf.Read(wxT("ADDR_MAC"), value);
    EXPECT_EQ(value, wxT(""));

    WriteFile(dir + "/a.ini", "\xEF\xBB\xBF"
                              "ADDR_MAC=00-0A\nN=42\nX=42a\nE=\nNEG=-7\nBIG=99999999999\n");
    WriteFile(dir + "/b.ini", "SELECT_UART=1\nN=43");
    EXPECT_TRUE(conf.Load(dir, wxT("a.ini")));
    EXPECT_TRUE(conf.Load(dir + "/", wxT("b.ini"))); // merges into the same map
    conf.Read(wxT("ADDR_MAC"), value);
    EXPECT_EQ(value, wxT("00-0A")); // byte order mark is not part of the key
    EXPECT_EQ(conf.ReadInt(wxT("SELECT_UART")), 1);
    EXPECT_EQ(conf.ReadInt(wxT("N")), 43);
    EXPECT_EQ(conf.ReadInt(wxT("NEG")), -7);
    for (const wxChar* key : {wxT("X"), wxT("E"), wxT("BIG"), wxT("none")})
        EXPECT_EQ(conf.ReadInt(key), 0) << key;

    // Bad UTF-8: a read error that keeps what the map held.
    WriteFile(dir + "/bad.ini", "N=\xC3\x28\n");
    EXPECT_FALSE(conf.Load(dir, wxT("bad.ini")));
    EXPECT_EQ(conf.ReadInt(wxT("N")), 43);

    ZorConfiguration copy(conf);
    conf.Write(wxT("N"), wxT("1"));
    EXPECT_EQ(copy.ReadInt(wxT("N")), 43);
}

TEST(ConfigurationFile, WriteRewritesOnlyPairs)
{
    std::string dir = MakeTempDir("conf");
    WriteFile(dir + "/s.ini", "; commentaire\nk=\nv= \n=vide\n  ADDR_IP = 10.0.0.1 \na=b=c\n");
    ZorConfiguration conf;
    ASSERT_TRUE(conf.Load(dir, wxT("s.ini")));
    ASSERT_TRUE(conf.Write(wxT("ADDR_MAC"), wxT("00-0A-\u00e9")));
    EXPECT_EQ(
        Lines(ReadFile(dir + "/s.ini")),
        (std::multiset<std::string>{"v=", "=vide", "ADDR_IP=10.0.0.1", "ADDR_MAC=00-0A-\xC3\xA9"}));
    EXPECT_EQ(ReadFile(dir + "/s.ini").compare(0, 3, "\xEF\xBB\xBF") == 0, false);

    // A missing folder is created (one level) by the first Write after a failed Load.
    ZorConfiguration fresh;
    EXPECT_FALSE(fresh.Load(dir + "/Tavlin", wxT("tavlindll_x.ini")));
    EXPECT_TRUE(fresh.Write(wxT("SELECT_UART"), wxT("0")));
    EXPECT_EQ(ReadFile(dir + "/Tavlin/tavlindll_x.ini"), "SELECT_UART=0\r\n");
    ZorConfiguration deep;
    deep.Load(dir + "/no/such", wxT("x.ini"));
    EXPECT_FALSE(deep.Write(wxT("k"), wxT("v")));
}

TEST(ConfigurationFile, RefusesPairsTheFormatCannotCarry)
{
    std::string dir = MakeTempDir("conf");
    ZorConfiguration conf;
    conf.Load(dir, wxT("s.ini"));
    ASSERT_TRUE(conf.Write(wxT("ADDR_IP"), wxT("10.0.0.1")));
    const std::pair<const wxChar*, const wxChar*> bad[] = {{wxT("k"), wxT("x\r\nADDR_IP=6.6.6.6")},
                                                           {wxT("k\n"), wxT("v")},
                                                           {wxT("a=b"), wxT("v")},
                                                           {wxT("k"), wxT("v=")},
                                                           {wxT("k"), wxT("a=b")},
                                                           {wxT(";k"), wxT("v")}};
    for (const auto& p : bad) {
        EXPECT_FALSE(conf.Write(p.first, p.second)) << p.first << " / " << p.second;
        EXPECT_TRUE(conf.GetMap().find(p.first) == conf.GetMap().end());
    }
    EXPECT_EQ(ReadFile(dir + "/s.ini"), "ADDR_IP=10.0.0.1\r\n");
}

TEST(ConfigurationFile, FailedWriteLeavesOldFileIntact)
{
    std::string dir = MakeTempDir("conf");
    const std::string path = dir + "/s.ini";
    ZorConfiguration conf;
    conf.Load(dir, wxT("s.ini"));
    ASSERT_TRUE(conf.Write(wxT("A"), wxT("1")));
    const std::string old = ReadFile(path);

    // The disk refuses the new text half way (file size limit).
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*oldHandler)(int) = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = {4096, saved.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool written = conf.Write(wxT("B"), wxString(wxT('x'), 100000));
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_EQ(Entries(dir), std::set<std::string>{"s.ini"}); // no temporary file left
    wxString value;
    conf.Read(wxT("B"), value);
    EXPECT_EQ(value.length(), 100000u); // the map keeps the new value

    // Something that is not a file in its place: nothing replaced, nothing left behind.
    std::string blocked = dir + "/blocked.ini";
    ASSERT_EQ(mkdir(blocked.c_str(), 0777), 0);
    WriteFile(blocked + "/inside", "keep");
    ZorConfiguration other;
    other.Load(dir, wxT("blocked.ini"));
    EXPECT_FALSE(other.Write(wxT("A"), wxT("2")));
    EXPECT_EQ(ReadFile(blocked + "/inside"), "keep");
    EXPECT_EQ(Entries(dir), (std::set<std::string>{"s.ini", "blocked.ini"}));

    // A folder that is a plain file cannot be created.
    ZorConfiguration nofolder;
    nofolder.Load(path, wxT("x.ini"));
    EXPECT_FALSE(nofolder.Write(wxT("A"), wxT("3")));
    EXPECT_EQ(ReadFile(path), old);
}

TEST(ConfigurationFile, RewriteKeepsPermissions)
{
    std::string dir = MakeTempDir("conf");
    mode_t saved = umask(022);
    ZorConfiguration conf;
    conf.Load(dir, wxT("s.ini"));
    ASSERT_TRUE(conf.Write(wxT("A"), wxT("1")));
    struct stat st;
    ASSERT_EQ(stat((dir + "/s.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    chmod((dir + "/s.ini").c_str(), 0640);
    ASSERT_TRUE(conf.Write(wxT("A"), wxT("2")));
    ASSERT_EQ(stat((dir + "/s.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    umask(saved);
}

// Each way a settings file cannot be kept: Write says false every time, the log says why
// every time, standard error says it once; a file the user made read-only stays as it was.
TEST(ConfigurationFile, WriteFailuresAreReported)
{
    struct Case
    {
        const char* what;
        const char* said;
        bool needsNonRoot;
        void (*prepare)(const std::string& dir);
    };
    const Case cases[] = {
        {"a file where the folder should be", "création du répertoire", false,
         [](const std::string& dir) { WriteFile(dir + "/Tavlin", "x"); }},
        {"a read-only settings file", "est en lecture seule ; il est laissé tel quel", false,
         [](const std::string& dir) {
             mkdir((dir + "/Tavlin").c_str(), 0777);
             WriteFile(dir + "/Tavlin/s.ini", "A=ancien\r\n");
             chmod((dir + "/Tavlin/s.ini").c_str(), 0444);
         }},
        {"a read-only folder", "Erreur d'ouverture du fichier", true,
         [](const std::string& dir) { mkdir((dir + "/Tavlin").c_str(), 0555); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsNonRoot && geteuid() == 0)
            continue; // root writes into read-only folders
        const std::string dir = MakeTempDir("unwritable");
        c.prepare(dir);
        const std::string file = dir + "/Tavlin/s.ini";
        const std::string before = ReadFile(file);
        struct stat st = {};
        stat(file.c_str(), &st);

        const std::string logPath = ZorLogFile::GetPath().ToStdString(wxConvUTF8);
        const size_t logged = zortest::Count(ReadFile(logPath), c.said);
        zortest::StderrCapture err;
        ZorConfiguration conf;
        conf.Load(wxString::FromUTF8(dir + "/Tavlin"), wxT("s.ini"));
        EXPECT_FALSE(conf.Write(wxT("A"), wxT("1")));
        EXPECT_FALSE(conf.Write(wxT("B"), wxT("2")));
        const std::string said = err.Text();
        EXPECT_EQ(zortest::Count(said, c.said), 1u) << said;
        EXPECT_EQ(zortest::Count(said, dir), 1u) << said;
        EXPECT_EQ(zortest::Count(ReadFile(logPath), c.said), logged + 2);
        struct stat after = {};
        stat(file.c_str(), &after);
        EXPECT_EQ(ReadFile(file), before);
        EXPECT_EQ(after.st_mode, st.st_mode);
    }
}

// Programs that write one file at once (here threads with objects of their own): each keeps
// its key, a list changed by all of them keeps every entry, a writer waits for a lock held a
// moment, and nothing is left beside the file.
TEST(ConfigurationFile, ConcurrentWritersKeepEveryKey)
{
    const std::string dir = MakeTempDir("conf");
    const int kWriters = 20;
    std::vector<std::thread> threads;
    std::vector<int> ok(kWriters, 0);
    for (int i = 0; i < kWriters; ++i)
        threads.emplace_back([&dir, &ok, i] {
            ZorConfiguration conf;
            conf.Load(dir, wxT("s.ini"));
            const wxString zMoi = wxString::Format(wxT("W%02d"), i);
            ok[i] = conf.Write(zMoi, wxT("v")) && conf.Update(wxT("LISTE"), [&](const wxString& z) {
                return z + zMoi + wxT(";");
            });
        });
    for (std::thread& th : threads)
        th.join();
    EXPECT_EQ(std::count(ok.begin(), ok.end(), 1), kWriters);
    ZorConfiguration lu;
    ASSERT_TRUE(lu.Load(dir, wxT("s.ini")));
    wxString zListe;
    lu.Read(wxT("LISTE"), zListe);
    for (int i = 0; i < kWriters; ++i) {
        const wxString zMoi = wxString::Format(wxT("W%02d"), i);
        wxString z;
        lu.Read(zMoi, z);
        EXPECT_EQ(z, wxT("v")) << zMoi;
        EXPECT_NE(zListe.Find(zMoi + wxT(";")), wxNOT_FOUND) << zMoi;
    }
    EXPECT_EQ(lu.GetMap().size(), size_t(kWriters + 1));
    EXPECT_EQ(Entries(dir), std::set<std::string>{"s.ini"});

    // Another program holds the lock for a moment: the writer waits, then keeps both keys.
    auto verrou = std::make_unique<ZorPlatform::VerrouFichier>();
    ASSERT_TRUE(verrou->Prendre(dir + "/s.ini.lock", 0, nullptr, nullptr));
    bool bOccupe = false;
    EXPECT_FALSE(ZorPlatform::VerrouFichier().Prendre(dir + "/s.ini.lock", 50, &bOccupe, nullptr));
    EXPECT_TRUE(bOccupe);
    std::thread liberer([&verrou] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        verrou.reset();
    });
    ZorConfiguration tard;
    tard.Load(dir, wxT("s.ini"));
    WriteFile(dir + "/s.ini", "AUTRE=1\r\n"); // written by the other program after our Load
    EXPECT_TRUE(tard.Write(wxT("TARD"), wxT("2")));
    liberer.join();
    EXPECT_EQ(Lines(ReadFile(dir + "/s.ini")), (std::multiset<std::string>{"AUTRE=1", "TARD=2"}));
}
