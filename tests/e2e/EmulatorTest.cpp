// The device emulator seen from the PC side of the test network, with plain sockets only:
// discovery answers, address configuration, restart, the web server and the control socket.
#include "tests/common/ZorEmu.h"
#include "tests/common/ZorTestSupport.h"

#include <gtest/gtest.h>
#include <wx/stopwatch.h>
#include <wx/utils.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <regex>
#include <sys/socket.h>
#include <unistd.h>

using zortest::Emu;

namespace {

const char* kPc = "192.168.77.1";

std::string Lan1()
{
    return zortest::EnvOr("TAVLIN_NS_LAN1", "");
}
std::string PcIf()
{
    return zortest::EnvOr("TAVLIN_PC_IF1", "tvp0");
}

#define REQUIRE_TEST_NETWORK()                                                                     \
  if (!zortest::InTestNetwork())                                                                   \
  GTEST_SKIP() << "needs the --lan test network"

struct Datagram
{
    std::string from;
    int port = 0;
    std::string data;
};

// A UDP socket of the PC bound to the test adapter, like the library's discovery sockets.
class PcSocket
{
public:
    explicit PcSocket(int port = 30303)
    {
        m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
        std::string ifname = PcIf();
        setsockopt(m_fd, SOL_SOCKET, SO_BINDTODEVICE, ifname.c_str(),
                   static_cast<socklen_t>(ifname.size()));
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        m_bound = bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~PcSocket() { close(m_fd); }
    bool Bound() const { return m_bound; }

    void Send(const std::string& data, const std::string& to, int port = 30303)
    {
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port));
        inet_pton(AF_INET, to.c_str(), &a.sin_addr);
        sendto(m_fd, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }

    // Datagrams from anyone but the PC, until `want` arrived or the time is over.
    std::vector<Datagram> Receive(size_t want, int timeoutMs)
    {
        std::vector<Datagram> got;
        wxStopWatch sw;
        while (got.size() < want && sw.Time() < timeoutMs) {
            pollfd p = {m_fd, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(timeoutMs - sw.Time())) <= 0)
                continue;
            char buf[2048];
            sockaddr_in from = {};
            socklen_t len = sizeof from;
            ssize_t n =
                recvfrom(m_fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n < 0)
                continue;
            char ip[INET_ADDRSTRLEN];
            inet_ntop(AF_INET, &from.sin_addr, ip, sizeof ip);
            if (std::string(ip) == kPc)
                continue; // our own broadcast
            got.push_back({ip, ntohs(from.sin_port), std::string(buf, static_cast<size_t>(n))});
        }
        return got;
    }

    // Sends a hello and gathers the answers.
    std::vector<Datagram> Hello(const std::string& to, char type = 'D', size_t want = 100,
                                int timeoutMs = 700)
    {
        Drain();
        Send(std::string(1, type), to);
        return Receive(want, timeoutMs);
    }

    void Drain()
    {
        char buf[2048];
        for (int i = 0; i < 100 && recv(m_fd, buf, sizeof buf, MSG_DONTWAIT) >= 0; ++i) {
        }
    }

private:
    int m_fd = -1;
    bool m_bound = false;
};

// Lines of a discovery answer, as the library splits them (trailing CR removed, nothing after
// the last line feed).
std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        std::string l =
            text.substr(start, nl == std::string::npos ? std::string::npos : nl - start);
        while (!l.empty() && (l.back() == '\r' || l.back() == ' '))
            l.pop_back();
        lines.push_back(l);
        if (nl == std::string::npos)
            break;
        start = nl + 1;
    }
    return lines;
}

// One HTTP exchange on port 80 with a raw request; the whole reply ("" when nothing came).
std::string Http(const std::string& ip, const std::string& raw, int timeoutMs = 3000,
                 bool* connected = nullptr)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(80);
    inet_pton(AF_INET, ip.c_str(), &a.sin_addr);
    wxStopWatch sw;
    int rc = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    bool ok = rc == 0;
    if (!ok && errno == EINPROGRESS) {
        pollfd p = {fd, POLLOUT, 0};
        int err = 0;
        socklen_t len = sizeof err;
        ok = poll(&p, 1, timeoutMs) > 0 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 &&
             err == 0;
    }
    if (connected)
        *connected = ok;
    std::string reply;
    for (size_t sent = 0; ok && sent < raw.size() && sw.Time() < timeoutMs;) {
        ssize_t n = send(fd, raw.data() + sent, raw.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p = {fd, POLLOUT | POLLIN, 0};
            poll(&p, 1, 100);
            if (p.revents & POLLIN)
                break; // the server answers before reading everything
        } else {
            break; // the server closed: read what it said
        }
    }
    if (ok && sw.Time() < timeoutMs)
        reply = zortest::ReadSocket(fd, static_cast<int>(timeoutMs - sw.Time()));
    close(fd);
    return reply;
}

std::string Get(const std::string& ip, const std::string& target)
{
    return Http(ip, "GET " + target + " HTTP/1.0\r\nHost: " + ip + "\r\n\r\n");
}

std::string Body(const std::string& reply)
{
    size_t p = reply.find("\r\n\r\n");
    return p == std::string::npos ? "" : reply.substr(p + 4);
}

// Value of a key=value line of a state page; "<absent>" when the key is not there.
std::string Value(const std::string& reply, const std::string& key)
{
    for (const std::string& l : Lines(Body(reply)))
        if (l.compare(0, key.size() + 1, key + "=") == 0)
            return l.substr(key.size() + 1);
    return "<absent>";
}

std::string Page(const std::string& ip, const std::string& params = "",
                 const std::string& page = "etat.htm")
{
    return Get(ip, "/" + page + "?date=18C3A2B4F1" + params);
}

// IPv4 addresses of lan0 in the namespace.
std::string LanAddresses(const std::string& ns)
{
    std::string out;
    FILE* f = popen(("ip -n " + ns + " -4 -o addr show dev lan0 2>&1").c_str(), "r");
    if (!f)
        return out;
    char buf[512];
    while (fgets(buf, sizeof buf, f))
        out += buf;
    pclose(f);
    return out;
}

bool HasAddress(const std::string& ns, const std::string& ip)
{
    return LanAddresses(ns).find("inet " + ip + "/") != std::string::npos;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Discovery

TEST(EmulatorDiscovery, BroadcastHelloGetsOneAnswerPerDeviceFromItsOwnAddress)
{
    REQUIRE_TEST_NETWORK();
    PcSocket pc;
    ASSERT_TRUE(pc.Bound());
    Emu emu;
    ASSERT_TRUE(emu.Start(Lan1(), {"--count", "2", "--first-ip", "192.168.77.20", "--version",
                                   "2.3", "--name", "Atelier", "--comment", "Atelier Café"}));
    std::vector<Datagram> answers = pc.Hello("255.255.255.255", 'D', 2);
    ASSERT_EQ(answers.size(), 2u);
    std::string list = emu.Command("LIST");
    for (const Datagram& a : answers) {
        EXPECT_TRUE(a.from == "192.168.77.20" || a.from == "192.168.77.21") << a.from;
        EXPECT_EQ(a.port, 30303);
        std::vector<std::string> l = Lines(a.data);
        ASSERT_EQ(l.size(), 9u) << a.data;
        EXPECT_EQ(l[0], "D");
        EXPECT_EQ(l[1], a.from == "192.168.77.20" ? "Atelier1" : "Atelier2");
        EXPECT_NE(list.find("ip=" + a.from + ",mac=" + l[2]), std::string::npos) << list;
        EXPECT_EQ(l[3], "Atelier Caf\xE9"); // 8-bit text on the wire
        EXPECT_EQ(l[4], "admin");
        EXPECT_EQ(l[5], "tavlin");
        EXPECT_EQ(l[6], "FFFFFF00C0A84DFE");
        EXPECT_EQ(l[7], "0");
        EXPECT_EQ(l[8], "2.3");
        EXPECT_LT(a.data.size(), 1024u);
    }
    EXPECT_NE(answers[0].data, answers[1].data);

    // A hello to one device's address is answered by that device only; nobody is master.
    std::vector<Datagram> one = pc.Hello("192.168.77.21");
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].from, "192.168.77.21");
    EXPECT_TRUE(pc.Hello("255.255.255.255", 'M').empty());
    // Datagrams that are not hellos get no answer.
    EXPECT_TRUE(pc.Hello("255.255.255.255", 'X').empty());
    pc.Send("DD", "255.255.255.255");
    EXPECT_TRUE(pc.Receive(1, 400).empty());

    // Every log line has the documented shape and stays on one line.
    ASSERT_TRUE(emu.WaitLog("ANSWER 192.168.77.21", 1000));
    std::regex shape(
        "^[0-9]{13} (START|STOP|HELLO|ANSWER|CONFIG|CONFIG-REJECTED|REBOOT|HTTP|MOVED) "
        "[0-9.]+ ([0-9.]+:[0-9]+|-) [ -~]*$");
    std::vector<std::string> lines = emu.LogLines("");
    EXPECT_GE(lines.size(), 8u);
    for (const std::string& l : lines)
        EXPECT_TRUE(std::regex_match(l, shape)) << l;
    EXPECT_EQ(emu.LogLines("HELLO 192.168.77.20 192.168.77.1:30303 D").size(), 1u);
    std::vector<std::string> ans =
        emu.LogLines("ANSWER 192.168.77.20 255.255.255.255:30303 D\\x0D\\x0A");
    ASSERT_EQ(ans.size(), 1u);
    EXPECT_NE(ans[0].find("Atelier Caf\\xE9"), std::string::npos);
}

TEST(EmulatorDiscovery, AnswerModeMasterEightLinesAndSilence)
{
    REQUIRE_TEST_NETWORK();
    PcSocket pc;
    PcSocket other(40404); // unicast answers go back to the hello's port, broadcasts to 30303
    ASSERT_TRUE(pc.Bound() && other.Bound());
    Emu emu;
    ASSERT_TRUE(
        emu.Start(Lan1(), {"--count", "1", "--first-ip", "192.168.77.30", "--master", "--device",
                           "answer=unicast,name=Second,login=chef,password=s3cret"}));
    std::vector<Datagram> master = pc.Hello("255.255.255.255", 'M');
    ASSERT_EQ(master.size(), 1u);
    EXPECT_EQ(master[0].from, "192.168.77.30");
    std::vector<std::string> l = Lines(master[0].data);
    ASSERT_EQ(l.size(), 8u) << "no version: eight lines";
    EXPECT_EQ(l[0], "M");

    other.Send("D", "255.255.255.255");
    std::vector<Datagram> uni = other.Receive(1, 700);
    ASSERT_EQ(uni.size(), 1u);
    EXPECT_EQ(uni[0].from, "192.168.77.31");
    l = Lines(uni[0].data);
    ASSERT_EQ(l.size(), 8u);
    EXPECT_EQ(l[1], "Second");
    EXPECT_EQ(l[4], "chef");
    EXPECT_EQ(l[5], "s3cret");
    std::vector<Datagram> bcast = pc.Receive(1, 700);
    ASSERT_EQ(bcast.size(), 1u) << "the broadcasting device's answer reaches port 30303";
    EXPECT_EQ(bcast[0].from, "192.168.77.30");

    // Switch both through the control socket.
    ASSERT_TRUE(emu.Set(1, "answer", "broadcast"));
    ASSERT_TRUE(emu.Set(0, "silent", "1"));
    other.Send("D", "255.255.255.255");
    EXPECT_TRUE(other.Receive(1, 500).empty());
    bcast = pc.Receive(2, 700);
    ASSERT_EQ(bcast.size(), 1u);
    EXPECT_EQ(bcast[0].from, "192.168.77.31");
    EXPECT_EQ(emu.Get(0, "hellos"), "3");
    EXPECT_EQ(emu.Get(0, "answers"), "2");
    ASSERT_TRUE(emu.Set(0, "silent", "0"));
    EXPECT_EQ(pc.Hello("192.168.77.30").size(), 1u);
    EXPECT_EQ(emu.Command("SET 0 answer=sometimes").compare(0, 4, "ERR "), 0);
}

TEST(EmulatorDiscovery, SilentAfterStopsAnswering)
{
    REQUIRE_TEST_NETWORK();
    PcSocket pc;
    Emu emu;
    ASSERT_TRUE(emu.Start(Lan1(), {"--first-ip", "192.168.77.35", "--silent-after", "1"}));
    EXPECT_EQ(pc.Hello("192.168.77.35").size(), 1u);
    zortest::Pump(1100);
    EXPECT_TRUE(pc.Hello("192.168.77.35").empty());
    EXPECT_EQ(emu.Get(0, "silent"), "1");
    EXPECT_EQ(Value(Page("192.168.77.35"), "SRELAIS"), "0000") << "the web server still answers";
}

// ---------------------------------------------------------------------------------------------
// Addressing and restart

TEST(EmulatorAddressing, ConfigurationDatagramMovesAFactoryDevice)
{
    REQUIRE_TEST_NETWORK();
    PcSocket pc;
    Emu emu;
    ASSERT_TRUE(emu.Start(Lan1(), {"--factory", "--login", "usine", "--password", "pw"}));
    EXPECT_TRUE(HasAddress(Lan1(), "169.254.233.233"));
    std::vector<Datagram> a = pc.Hello("255.255.255.255");
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].from, "169.254.233.233");
    std::vector<std::string> l = Lines(a[0].data);
    ASSERT_EQ(l.size(), 8u);
    EXPECT_EQ(l[6].substr(0, 8), "FFFF0000");
    std::string mac;
    for (char c : l[2])
        if (c != '-')
            mac += c;

    // Wrong password, wrong MAC, unusable address, malformed: nothing moves.
    pc.Send("N;" + mac + ";usine;PW;C0A84D63;FFFFFF00;C0A84DFE;0;", "255.255.255.255");
    pc.Send("N;001122334455;usine;pw;C0A84D63;FFFFFF00;C0A84DFE;0;", "255.255.255.255");
    pc.Send("N;" + mac + ";usine;pw;C0A84DFF;FFFFFF00;C0A84DFE;0;", "255.255.255.255");
    pc.Send("N;" + mac + ";usine;pw;C0A84D63;FF00FF00;C0A84DFE;0;", "255.255.255.255");
    pc.Send("N;" + mac + ";usine;pw;C0A84D", "255.255.255.255");
    ASSERT_TRUE(
        zortest::PumpUntil([&] { return emu.LogLines("CONFIG-REJECTED").size() >= 5; }, 2000))
        << emu.Log();
    EXPECT_EQ(emu.LogLines("(bad login or password)").size(), 1u);
    EXPECT_EQ(emu.LogLines("(no device with this MAC)").size(), 1u);
    EXPECT_EQ(emu.LogLines("(bad address, mask or gateway)").size(), 2u);
    EXPECT_TRUE(emu.LogLines("MOVED").empty());
    EXPECT_EQ(emu.Get(0, "ip"), "169.254.233.233");

    // The library's datagram, MAC in lower case too.
    std::string lower = mac;
    for (char& c : lower)
        c = static_cast<char>(tolower(c));
    pc.Send("N;" + lower + ";usine;pw;C0A84D63;FFFFFF00;C0A84DFE;0;", "255.255.255.255");
    ASSERT_TRUE(emu.WaitLog("MOVED 192.168.77.99", 2000)) << emu.Log();
    EXPECT_EQ(emu.LogLines("CONFIG 169.254.233.233 192.168.77.1:30303 N;").size(), 1u);
    EXPECT_TRUE(HasAddress(Lan1(), "192.168.77.99"));
    EXPECT_FALSE(HasAddress(Lan1(), "169.254.233.233"));
    a = pc.Hello("255.255.255.255");
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].from, "192.168.77.99");
    EXPECT_EQ(Lines(a[0].data)[6], "FFFFFF00C0A84DFE");
    EXPECT_EQ(Value(Page("192.168.77.99"), "IP"), "192.168.77.99");
    EXPECT_EQ(emu.Command("LIST"), "OK ip=192.168.77.99,mac=" + l[2]);

    emu.Stop();
    EXPECT_FALSE(HasAddress(Lan1(), "192.168.77.99")) << LanAddresses(Lan1());
    EXPECT_TRUE(HasAddress(Lan1(), "192.168.77.253")) << "the interface's own address stays";
    EXPECT_EQ(emu.LogLines("STOP 192.168.77.99").size(), 1u);
}

TEST(EmulatorAddressing, RestartDatagramSilencesTheDeviceAndResetsOutputs)
{
    REQUIRE_TEST_NETWORK();
    PcSocket pc;
    Emu emu;
    ASSERT_TRUE(
        emu.Start(Lan1(), {"--count", "2", "--first-ip", "192.168.77.40", "--reboot-secs", "1"}));
    EXPECT_EQ(Value(Page("192.168.77.40", "&SRELAIS=1111&SNUM=11110000"), "SRELAIS"), "1111");
    pc.Send("R", "192.168.77.40", 69);
    ASSERT_TRUE(emu.WaitLog("REBOOT 192.168.77.40", 1000));
    std::vector<Datagram> a = pc.Hello("255.255.255.255");
    ASSERT_EQ(a.size(), 1u) << "only the other device answers while one restarts";
    EXPECT_EQ(a[0].from, "192.168.77.41");
    bool connected = false;
    EXPECT_EQ(Http("192.168.77.40", "GET /etat.htm HTTP/1.0\r\n\r\n", 2000, &connected), "");
    EXPECT_EQ(emu.Get(0, "rebooting"), "1");
    ASSERT_TRUE(zortest::PumpUntil([&] { return emu.Get(0, "rebooting") == "0"; }, 2000));
    EXPECT_EQ(pc.Hello("192.168.77.40").size(), 1u);
    std::string page = Page("192.168.77.40");
    EXPECT_EQ(Value(page, "SRELAIS"), "0000");
    EXPECT_EQ(Value(page, "SNUM"), "00000000");
    // "R" to another port or longer datagrams do nothing.
    pc.Send("R", "192.168.77.41", 30303);
    pc.Send("RR", "192.168.77.41", 69);
    zortest::Pump(300);
    EXPECT_TRUE(emu.LogLines("REBOOT 192.168.77.41").empty());
}

// ---------------------------------------------------------------------------------------------
// Web server

TEST(EmulatorWeb, StatePageCarriesEveryKey)
{
    REQUIRE_TEST_NETWORK();
    Emu emu;
    ASSERT_TRUE(emu.Start(Lan1(), {"--first-ip", "192.168.77.50", "--version", "3.1", "--comment",
                                   "Caf\xC3\xA9 & bar"}));
    std::string r = Page("192.168.77.50");
    EXPECT_EQ(r.compare(0, 15, "HTTP/1.0 200 OK"), 0) << r;
    EXPECT_NE(r.find("Connection: close\r\n"), std::string::npos);
    std::string body = Body(r);
    EXPECT_NE(r.find("Content-Length: " + std::to_string(body.size()) + "\r\n"), std::string::npos);
    for (const char* key :
         {"SRELAIS",  "SNUM",      "SANA1",   "SANA2",       "ENUM",     "EANA1",   "EANA2",
          "EANA3",    "EANA4",     "AUTO",    "BOUTON",      "DATETIME", "VERSION", "COMMENT",
          "5VUSER",   "TYPE",      "BLINK",   "DATETIMEFAB", "BANCFAB",  "IDFAB",   "SMTPSERVER",
          "SMTPPORT", "SMTPLOGIN", "SMTPPWD", "SMTPSSL",     "UART",     "FLASH",   "EEPROM"})
        EXPECT_NE(Value(r, key), "<absent>") << key;
    EXPECT_TRUE(std::regex_match(Value(r, "SRELAIS"), std::regex("[01]{4}")));
    EXPECT_TRUE(std::regex_match(Value(r, "SNUM"), std::regex("[01]{8}")));
    EXPECT_TRUE(std::regex_match(Value(r, "ENUM"), std::regex("[01]{8}")));
    EXPECT_TRUE(std::regex_match(
        Value(r, "DATETIME"),
        std::regex("[0-3][0-9]/[01][0-9]/20[0-9]{2}_[0-2][0-9]:[0-5][0-9]:[0-5][0-9]")));
    EXPECT_EQ(Value(r, "VERSION"), "3.1");
    EXPECT_EQ(Value(r, "COMMENT"), "Caf&#233; &#38; bar");
    EXPECT_EQ(Value(r, "ENUM"), emu.Get(0, "ena"));
    EXPECT_EQ(Value(r, "EANA3"), emu.Get(0, "ana3"));
    // Pages of the internal program and of the acquisition carry their own keys as well.
    EXPECT_EQ(Value(Page("192.168.77.50", "", "etatautomate.htm"), "PAUSE"), "0");
    EXPECT_EQ(Value(Page("192.168.77.50", "", "etatenregistrement.htm"), "ACQ"), "0");
    EXPECT_NE(Get("192.168.77.50", "/").find("<h1>Tavlin"), std::string::npos);
    EXPECT_EQ(Get("192.168.77.50", "/config.htm").compare(0, 22, "HTTP/1.0 404 Not Found"), 0);
    EXPECT_EQ(Http("192.168.77.50", "GET /etat.htm HTTP/1.1\r\nHost: x\r\n\r\n")
                  .compare(0, 15, "HTTP/1.1 200 OK"),
              0);
    EXPECT_TRUE(emu.WaitLog("HTTP 192.168.77.50 192.168.77.1:", 1000));
    EXPECT_FALSE(emu.LogLines(" /etat.htm?date=18C3A2B4F1").empty());
}

TEST(EmulatorWeb, OutputAndMemoryCommandsChangeTheNextPage)
{
    REQUIRE_TEST_NETWORK();
    Emu emu;
    ASSERT_TRUE(emu.Start(Lan1(), {"--count", "1", "--first-ip", "192.168.77.55", "--device",
                                   "ip=192.168.77.56,uart-board=1"}));
    const std::string ip = "192.168.77.55";
    std::string r = Page(ip, "&SNUM=10000001&SRELAIS=0101&SANA2=200&AUTO=12");
    EXPECT_EQ(Value(r, "SNUM"), "10000001");
    EXPECT_EQ(Value(r, "SRELAIS"), "0101");
    EXPECT_EQ(Value(r, "SANA2"), "200");
    EXPECT_EQ(Value(r, "AUTO"), "12");
    EXPECT_EQ(emu.Get(0, "relais"), "0101");
    EXPECT_EQ(emu.Get(0, "sana2"), "200");

    // Malformed values change nothing and say why in a comment line.
    r = Page(ip, "&SNUM=1000000&SRELAIS=01x1&SANA1=256&AUTO=1000");
    EXPECT_EQ(Value(r, "SNUM"), "10000001");
    EXPECT_EQ(Value(r, "SRELAIS"), "0101");
    EXPECT_EQ(Value(r, "SANA1"), "0");
    EXPECT_EQ(Value(r, "AUTO"), "12");
    EXPECT_NE(Body(r).find("/* ERR SNUM:"), std::string::npos);

    // Serial line: text written is recorded, the buffer empties on request.
    ASSERT_TRUE(emu.Set(0, "uart", "bonjour"));
    EXPECT_EQ(Value(Page(ip), "UART"), "bonjour");
    r = Page(ip, "&RAZ_UART=1&WRITE_UART=ABC;");
    EXPECT_EQ(Value(r, "UART"), "");
    EXPECT_EQ(emu.Get(0, "uarttx"), "ABC");
    // The I/O board behind the second device answers the library's exchange.
    ASSERT_TRUE(emu.Set(1, "ena", "00101010"));
    ASSERT_TRUE(emu.Set(1, "ana1", "4095"));
    EXPECT_EQ(Value(Page("192.168.77.56", "&WRITE_UART=S1F00;"), "UART"), "S");
    EXPECT_EQ(Value(Page("192.168.77.56", "&RAZ_UART=1&WRITE_UART=I;"), "UART"), "1F2A");
    EXPECT_EQ(Value(Page("192.168.77.56", "&RAZ_UART=1&WRITE_UART=N;"), "UART").substr(0, 3),
              "FFF");

    // Clock: set, and refused when the date does not exist.
    r = Page(ip, "&DATETIME=05;03;12;09;07;03;");
    EXPECT_EQ(Value(r, "DATETIME").substr(0, 16), "05/03/2012_09:07");
    r = Page(ip, "&DATETIME=31;02;12;09;07;03;");
    EXPECT_EQ(Value(r, "DATETIME").substr(0, 10), "05/03/2012");
    ASSERT_TRUE(emu.Set(0, "clock", "unset"));
    EXPECT_EQ(Value(Page(ip), "DATETIME"), "00/00/2000_00:00:00");
    EXPECT_EQ(Value(Page(ip, "&DATETIME=1;1;13;0;0;0;"), "DATETIME").substr(0, 10), "01/01/2013");

    // Flash: records are written, shown on request and erased only with the access code.
    r = Page(ip, "&WRITE_FLASH=10;abc;&SHOWFLASH=1");
    EXPECT_EQ(Value(r, "FLASH"), "10:abc;");
    EXPECT_EQ(Value(Page(ip, "&ERASE_FLASH=wrong;0;"), "FLASH"), "10:abc;");
    EXPECT_EQ(Value(Page(ip, "&ERASE_FLASH=Wd3kPv;0;"), "FLASH"), "");
    EXPECT_EQ(Value(Page(ip, "&SHOWFLASH=0&WRITE_FLASH=1;x;"), "FLASH"), "") << "hidden again";
    EXPECT_EQ(emu.Get(0, "flash"), "1:x;");
    EXPECT_EQ(Value(Page(ip, "&WRITE_EEPROM=2;y;&ERASE_EEPROM=Wd3kPv;0;&SHOWEEPROM=1"), "EEPROM"),
              "");

    // Factory data, blink, internal program and acquisition.
    r = Page(ip, "&FAB=X42;010212;103000;07;03;&SHOWFAB=1&BLINK=1");
    EXPECT_EQ(Value(r, "IDFAB"), "X42");
    EXPECT_EQ(Value(r, "DATETIMEFAB"), "01/02/2012_10:30:00");
    EXPECT_EQ(Value(r, "BANCFAB"), "07");
    EXPECT_EQ(Value(r, "BLINK"), "1");
    EXPECT_EQ(Value(Page(ip, "&SHOWFAB=0"), "IDFAB"), "");
    r = Page(ip, "&PAUSE=1&ERASE_PROG=1&RESET_MEM_AUTOMATE=Wd3kPv;", "etatautomate.htm");
    EXPECT_EQ(Value(r, "PAUSE"), "1");
    EXPECT_EQ(Value(r, "PROG"), "00000010");
    EXPECT_EQ(Value(r, "MEMAUTOMATE"), "0");
    r = Page(ip, "&START_ACQ=0;t;5;10;;&INSCRIPTION=a;b;c;", "etatenregistrement.htm");
    EXPECT_EQ(Value(r, "ACQ"), "1");
    EXPECT_EQ(Value(r, "INSCRIPTION"), "a;b;c");
    r = Page(ip, "&STOP_ACQ&RESET_INSCRIPTION&RESET_MEM_ACQUISITION=Wd3kPv;",
             "etatenregistrement.htm");
    EXPECT_EQ(Value(r, "ACQ"), "0");
    EXPECT_EQ(Value(r, "INSCRIPTION"), "");
    EXPECT_EQ(Value(r, "ACQMEM"), "0");
}

TEST(EmulatorWeb, IdentityNetworkAndEmailCommandsNeedTheirCredentials)
{
    REQUIRE_TEST_NETWORK();
    PcSocket pc;
    Emu emu;
    ASSERT_TRUE(emu.Start(
        Lan1(), {"--first-ip", "192.168.77.60", "--reboot-secs", "0", "--version", "2.0"}));
    const std::string ip = "192.168.77.60";
    // Parameters arrive unencoded: spaces stand in the request line as they are.
    std::string r = Page(ip, "&PERSO=admin;wrong;new;Salon;Nouveau commentaire;");
    EXPECT_EQ(Value(r, "NAME"), "Tavlin");
    EXPECT_NE(emu.Get(0, "lasterror").find("PERSO"), std::string::npos);
    r = Page(ip, "&PERSO=admin;tavlin;n3w;Salon;Pi%C3%A8ce d'essai;");
    EXPECT_EQ(Value(r, "NAME"), "Salon");
    EXPECT_EQ(Value(r, "COMMENT"), "Pi&#232;ce d'essai");
    std::vector<Datagram> a = pc.Hello(ip);
    ASSERT_EQ(a.size(), 1u);
    std::vector<std::string> l = Lines(a[0].data);
    EXPECT_EQ(l[1], "Salon");
    EXPECT_EQ(l[3], "Pi\xE8"
                    "ce d'essai");
    EXPECT_EQ(l[5], "n3w");

    // E-mail settings: stored with the access code, shown only on request, password kept encoded.
    r = Page(ip, "&EMAILCONF=Wd3kPv;smtp.exemple.fr;587;alerte;ABCD;1;");
    EXPECT_EQ(Value(r, "SMTPSERVER"), "");
    r = Page(ip, "&SHOWEMAILCONF=1");
    EXPECT_EQ(Value(r, "SMTPSERVER"), "smtp.exemple.fr");
    EXPECT_EQ(Value(r, "SMTPPORT"), "587");
    EXPECT_EQ(Value(r, "SMTPLOGIN"), "alerte");
    EXPECT_EQ(Value(r, "SMTPPWD"), "ABCD");
    EXPECT_EQ(Value(r, "SMTPSSL"), "1");
    r = Page(ip, "&EMAILCONF=nope;other;25;x;;0;");
    EXPECT_EQ(Value(r, "SMTPSERVER"), "smtp.exemple.fr");
    r = Page(ip, "&EMAILCONF=Wd3kPv;other;123456;x;;0;");
    EXPECT_EQ(Value(r, "SMTPPORT"), "587");

    // Network settings: refused with a bad password or address, else applied after the reply.
    r = Page(ip, "&NETWORK=admin;tavlin;192.168.77.61;255.255.255.0;192.168.77.254;0;");
    EXPECT_EQ(Value(r, "IP"), ip) << "the old password no longer works";
    r = Page(ip, "&NETWORK=admin;n3w;192.168.77.255;255.255.255.0;192.168.77.254;0;");
    EXPECT_EQ(Value(r, "IP"), ip);
    r = Page(ip, "&NETWORK=admin;n3w;10.1.2.3;255.0.0.0;10.0.0.1;1;");
    EXPECT_EQ(Value(r, "IP"), ip) << "the reply still comes from the old address";
    ASSERT_TRUE(emu.WaitLog("MOVED 10.1.2.3", 2000)) << emu.Log();
    ASSERT_TRUE(zortest::PumpUntil([&] { return emu.Get(0, "rebooting") == "0"; }, 2000));
    bool connected = true;
    Http(ip, "GET /etat.htm HTTP/1.0\r\n\r\n", 1000, &connected);
    EXPECT_FALSE(connected) << "nothing listens on the old address";
    a = pc.Hello("255.255.255.255");
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].from, "10.1.2.3");
    l = Lines(a[0].data);
    EXPECT_EQ(l[6], "FF0000000A000001");
    EXPECT_EQ(l[7], "1");
    EXPECT_EQ(l[8], "2.0");
}

TEST(EmulatorWeb, SurvivesBadRequests)
{
    REQUIRE_TEST_NETWORK();
    Emu emu;
    ASSERT_TRUE(emu.Start(Lan1(), {"--first-ip", "192.168.77.65"}));
    const std::string ip = "192.168.77.65";
    EXPECT_EQ(Http(ip, "\x01\x02garbage\xff\r\n\r\n").compare(0, 24, "HTTP/1.1 400 Bad Request"),
              0);
    EXPECT_EQ(Http(ip, "GET\r\n\r\n").substr(9, 3), "400");
    EXPECT_EQ(Http(ip, "GET etat.htm HTTP/1.0\r\n\r\n").substr(9, 3), "400");
    EXPECT_EQ(Http(ip, "POST /etat.htm HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc").substr(9, 3),
              "405");
    EXPECT_EQ(Http(ip, "GET /" + std::string(20000, 'a') + " HTTP/1.0\r\n\r\n").substr(9, 3),
              "431");
    EXPECT_EQ(Http(ip, "GET /etat.htm HTTP/1.0\r\nX: " + std::string(9000, 'b') + "\r\n\r\n")
                  .substr(9, 3),
              "431");
    std::string binary(3000, '\0');
    Http(ip, binary, 500);
    Http(ip, "", 200);                  // connect and leave
    Http(ip, "GET /etat.htm HTT", 300); // leave in the middle
    EXPECT_EQ(Value(Http(ip, "GET /etat.htm?%zz%4&SNUM=%31%30%31%30%31%30%31%30 HTTP/1.0\r\n\r\n"),
                    "SNUM"),
              "10101010");
    EXPECT_EQ(emu.Get(0, "snum"), "10101010");

    // Line ends and control bytes sent over HTTP reach the control socket escaped: a reply
    // stays one line and the next command gets its own reply.
    Page(ip, "&WRITE_UART=a%0D%0AOK%20x&%0Aevil=1");
    EXPECT_EQ(emu.Command("GET 0 uarttx"), "OK a\\x0D\\x0AOK x");
    EXPECT_EQ(emu.Command("PING"), "OK");
    EXPECT_EQ(emu.Get(0, "lasterror"), "ERR \\x0Aevil: unknown parameter");
    // Signed numbers are refused where the device only takes digits.
    Page(ip, "&FAB=id;+12345;101010;1;1");
    EXPECT_EQ(emu.Get(0, "lasterror").compare(0, 8, "ERR FAB:"), 0);
    EXPECT_EQ(emu.Get(0, "datetimefab"), "12/01/2012_10:30:00");
    Page(ip, "&EMAILCONF=Wd3kPv;smtp.lan;+25;u;;0");
    EXPECT_EQ(emu.Get(0, "lasterror").compare(0, 14, "ERR EMAILCONF:"), 0);
    EXPECT_EQ(emu.Get(0, "smtpport"), "");

    // Many clients at once, some of them silent: the server stays up and answers the others.
    std::vector<int> idle;
    for (int i = 0; i < 80; ++i) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_port = htons(80);
        inet_pton(AF_INET, ip.c_str(), &a.sin_addr);
        connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        idle.push_back(fd);
    }
    zortest::Pump(200);
    for (int fd : idle)
        close(fd);
    ASSERT_TRUE(emu.Running());
    EXPECT_EQ(emu.Command("PING"), "OK");
    ASSERT_TRUE(zortest::PumpUntil([&] { return Value(Page(ip), "SNUM") == "10101010"; }, 8000));

    // A silent server and a slow one.
    ASSERT_TRUE(emu.Set(0, "http", "0"));
    bool connected = false;
    EXPECT_EQ(Http(ip, "GET /etat.htm HTTP/1.0\r\n\r\n", 1000, &connected), "");
    EXPECT_TRUE(connected);
    ASSERT_TRUE(emu.Set(0, "http", "1"));
    ASSERT_TRUE(emu.Set(0, "httpdelay", "400"));
    wxStopWatch sw;
    EXPECT_EQ(Value(Page(ip), "SNUM"), "10101010");
    EXPECT_GE(sw.Time(), 380);
}

// ---------------------------------------------------------------------------------------------
// Control socket and process

TEST(EmulatorControl, InputsAndErrors)
{
    REQUIRE_TEST_NETWORK();
    PcSocket pc;
    Emu emu;
    ASSERT_TRUE(emu.Start(Lan1(), {"--count", "2", "--first-ip", "192.168.77.70"}));
    EXPECT_TRUE(
        std::regex_match(emu.Command("LIST"),
                         std::regex("OK ip=192\\.168\\.77\\.70,mac=([0-9A-F]{2}-){5}[0-9A-F]{2};"
                                    "ip=192\\.168\\.77\\.71,mac=([0-9A-F]{2}-){5}[0-9A-F]{2}")))
        << emu.Command("LIST");
    ASSERT_TRUE(emu.Set(1, "ena", "10100101"));
    ASSERT_TRUE(emu.Set(1, "ana2", "4095"));
    ASSERT_TRUE(emu.Set(1, "bouton", "1"));
    ASSERT_TRUE(emu.Set(1, "comment", "Entrée nord"));
    std::string r = Page("192.168.77.71");
    EXPECT_EQ(Value(r, "ENUM"), "10100101");
    EXPECT_EQ(Value(r, "EANA2"), "4095");
    EXPECT_EQ(Value(r, "BOUTON"), "1");
    EXPECT_EQ(Value(r, "COMMENT"), "Entr&#233;e nord");
    EXPECT_EQ(emu.Get(1, "comment"), "Entrée nord");
    EXPECT_EQ(Value(Page("192.168.77.70"), "ENUM"), emu.Get(0, "ena"))
        << "the other device is unchanged";
    EXPECT_NE(emu.Get(0, "ena"), "10100101");

    for (const char* bad :
         {"SET 1 ena=1010010", "SET 1 ena=1010010x", "SET 1 ana2=4096", "SET 1 ana5=1",
          "SET 1 bouton=2", "SET 2 ena=00000000", "SET x ena=00000000", "SET 1 ena",
          "SET 1 nokey=1", "GET 1 nokey", "GET 1", "GET", "FROB", "",
          "SET 1 name=", "SET 1 ip=192.168.77.255", "SET 1 comment=a;b"})
        EXPECT_EQ(emu.Command(bad).compare(0, 4, "ERR "), 0) << bad;
    // The control socket takes the longest version the options take, and no longer.
    EXPECT_TRUE(emu.Set(1, "version", std::string(32, 'v')));
    EXPECT_FALSE(emu.Set(1, "version", std::string(33, 'v')));
    EXPECT_EQ(emu.Command(std::string(5000, 'x')), "ERR line too long");
    EXPECT_EQ(emu.Get(1, "ena"), "10100101");
    EXPECT_EQ(emu.Command("ping"), "OK");

    // Move a device now.
    ASSERT_TRUE(emu.Set(1, "ip", "192.168.77.79"));
    EXPECT_TRUE(emu.WaitLog("MOVED 192.168.77.79 - from 192.168.77.71", 1000));
    std::vector<Datagram> a = pc.Hello("255.255.255.255", 'D', 2);
    ASSERT_EQ(a.size(), 2u);
    EXPECT_TRUE(a[0].from == "192.168.77.79" || a[1].from == "192.168.77.79");
    EXPECT_FALSE(HasAddress(Lan1(), "192.168.77.71"));

    // QUIT ends the process and takes the addresses away.
    EXPECT_EQ(emu.Command("QUIT"), "OK");
    ASSERT_TRUE(zortest::PumpUntil([&] { return !emu.Running(); }, 3000));
    EXPECT_FALSE(HasAddress(Lan1(), "192.168.77.70"));
    EXPECT_FALSE(HasAddress(Lan1(), "192.168.77.79"));
    EXPECT_EQ(emu.LogLines("STOP").size(), 2u);
}

TEST(EmulatorControl, TerminationSignalRemovesAddressesAndBadOptionsFail)
{
    REQUIRE_TEST_NETWORK();
    std::string dir = zortest::MakeTempDir("emusig");
    std::string log = dir + "/log";
    std::string exe = zortest::EnvOr("TAVLIN_EMU", TAVLIN_EMU_PATH);
    {
        zortest::ChildProcess child(zortest::InNamespace(
            Lan1(), {exe, "--count", "3", "--first-ip", "192.168.77.80", "--log", log}));
        ASSERT_TRUE(zortest::PumpUntil(
            [&] { return zortest::ReadFile(log).find("START 192.168.77.82") != std::string::npos; },
            5000));
        EXPECT_TRUE(HasAddress(Lan1(), "192.168.77.81"));
        child.Stop(); // SIGTERM
    }
    for (const char* ip : {"192.168.77.80", "192.168.77.81", "192.168.77.82"})
        EXPECT_FALSE(HasAddress(Lan1(), ip)) << ip;
    std::string text = zortest::ReadFile(log);
    EXPECT_NE(text.find("STOP 192.168.77.82"), std::string::npos) << text;

    // Bad options end at once with an error, leaving nothing behind.
    Emu emu;
    EXPECT_FALSE(emu.Start(Lan1(), {"--count", "x"}, 3000));
    EXPECT_FALSE(emu.Start(Lan1(), {"--first-ip", "192.168.77.255"}, 3000));
    EXPECT_FALSE(emu.Start(Lan1(), {"--iface", "nosuchif"}, 3000));
    EXPECT_FALSE(emu.Start(Lan1(), {"--device", "colour=red"}, 3000));
    // A name that grows past its limit with the device number appended.
    EXPECT_FALSE(emu.Start(Lan1(), {"--name", std::string(32, 'n'), "--device", "dhcp=1"}, 3000));
    EXPECT_EQ(LanAddresses(Lan1()).find("192.168.77.10/"), std::string::npos);
}
