// Discovery against emulated devices on both subnets: one hello finds them all, and devices at
// the factory address or outside the adapter's network are readdressed.
#include "device/ZorTavlinObj.h"
#include "network/ZorAdresseIP.h"
#include "tests/common/ZorEmu.h"
#include "tests/common/ZorTestSupport.h"
#include "tests/e2e/NetworkDiscoveryFixture.h"

#include <gtest/gtest.h>

#include <wx/stopwatch.h>
#include <wx/time.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <tuple>
#include <unistd.h>
#include <string>

namespace {

class NetworkDiscovery : public NetworkDiscoveryBase
{
protected:
    // Sends hellos (one a second) until the registry holds n devices, at most iMs.
    bool HelloJusqua(size_t n, int iMs)
    {
        for (int t = 0; t < iMs; t += 1000) {
            Hello();
            if (zortest::PumpUntil([&] { return Registre().size() >= n; }, 1000))
                return true;
        }
        return false;
    }
};

// Counts the devices' answers (anything longer than a hello) that reach the PC on the discovery
// port, beside the library's sockets. A broadcast datagram is handed to every socket of its port
// in one pass of the system: once this one has them all, the library's sockets have them too.
class TemoinReponses
{
public:
    TemoinReponses()
    {
        m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        int iUn = 1, iTaille = 8 << 20;
        setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &iUn, sizeof iUn);
        setsockopt(m_fd, SOL_SOCKET, SO_RCVBUFFORCE, &iTaille, sizeof iTaille);
        sockaddr_in sa = {};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(30303);
        m_bLie = bind(m_fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    }
    ~TemoinReponses() { close(m_fd); }
    bool Lie() const { return m_bLie; }
    // True once n answers came, false when iMs passed first.
    bool Attendre(size_t n, int iMs)
    {
        wxStopWatch sw;
        while (m_iRecues < n && sw.Time() < iMs) {
            pollfd p = {m_fd, POLLIN, 0};
            char buf[2048];
            if (poll(&p, 1, int(iMs - sw.Time())) > 0 && recv(m_fd, buf, sizeof buf, 0) > 1)
                ++m_iRecues;
        }
        return m_iRecues >= n;
    }

private:
    int m_fd = -1;
    bool m_bLie = false;
    size_t m_iRecues = 0;
};

std::string Lan1()
{
    return zortest::EnvOr("TAVLIN_NS_LAN1", "");
}
std::string Lan2()
{
    return zortest::EnvOr("TAVLIN_NS_LAN2", "");
}

// "OK ip=A,mac=M;ip=..." to the MAC of entry i.
std::string MacDeListe(const std::string& zListe, size_t i)
{
    size_t pos = 0;
    for (size_t k = 0; k <= i; ++k) {
        pos = zListe.find("mac=", pos);
        if (pos == std::string::npos)
            return std::string();
        pos += 4;
    }
    return zListe.substr(pos, zListe.find_first_of(";\n", pos) - pos);
}

} // namespace

TEST_F(NetworkDiscovery, OneHelloFindsEveryDeviceOnBothSubnets)
{
    zortest::Emu e1, e2;
    ASSERT_TRUE(e1.Start(Lan1(), {"--count", "8", "--first-ip", "192.168.77.10/24", "--name",
                                  "Salle", "--comment", "Etage 1", "--login", "op", "--password",
                                  "pw1", "--version", "2.3", "--gateway", "192.168.77.254"}));
    ASSERT_TRUE(e2.Start(Lan2(), {"--count", "5", "--first-ip", "192.168.78.20/24", "--answer",
                                  "unicast", "--dhcp", "--mac-prefix", "02-77-88"}));
    Hello();
    ASSERT_TRUE(zortest::PumpUntil([&] { return Registre().size() >= 13; }, 5000))
        << "found " << Registre().size();
    zortest::Pump(300);
    std::map<std::string, ZorTavlinInfo> r = Registre();
    EXPECT_EQ(r.size(), 13u);

    const std::string zMac1 = MacDeListe(e1.Command("LIST"), 0);
    ASSERT_TRUE(r.count(zMac1)) << zMac1;
    const ZorTavlinInfo& a = r[zMac1];
    EXPECT_EQ(a.m_zIP, "192.168.77.10");
    EXPECT_TRUE(a.m_zNom.StartsWith("Salle"));
    EXPECT_EQ(a.m_zCommentaire, "Etage 1");
    EXPECT_EQ(a.m_zLogin, "op");
    EXPECT_EQ(a.m_zPwd, "pw1");
    EXPECT_EQ(a.m_zMask, "255.255.255.0");
    EXPECT_EQ(a.m_zGateway, "192.168.77.254");
    EXPECT_FALSE(a.m_bDHCPEnabled);
    EXPECT_EQ(a.m_zIPLocal, "192.168.77.1");
    EXPECT_EQ(a.m_zMaskLocal, "255.255.255.0");
    EXPECT_EQ(a.m_zGatewayLocal, "192.168.77.254");
    EXPECT_EQ(a.m_zVersion, "2.3");

    const std::string zMac2 = MacDeListe(e2.Command("LIST"), 4);
    ASSERT_TRUE(r.count(zMac2)) << zMac2;
    const ZorTavlinInfo& b = r[zMac2];
    EXPECT_EQ(b.m_zIP, "192.168.78.24");
    EXPECT_TRUE(b.m_bDHCPEnabled);
    EXPECT_EQ(b.m_zIPLocal, "192.168.78.1");
    EXPECT_EQ(b.m_zGatewayLocal, "0.0.0.0");
    EXPECT_EQ(b.m_zVersion, "1");
    EXPECT_TRUE(wxString(zMac2).StartsWith("02-77-88"));

    // A burst is read partly through the toolkit and partly straight from the socket: every
    // device still has its own sender address (the emulator numbers them in list order).
    for (auto [pEmu, iPremier, zReseau] :
         {std::make_tuple(&e1, 10, "192.168.77."), std::make_tuple(&e2, 20, "192.168.78.")}) {
        const std::string zListe = pEmu->Command("LIST");
        for (size_t i = 0; i < (pEmu == &e1 ? 8u : 5u); ++i)
            EXPECT_EQ(r[MacDeListe(zListe, i)].m_zIP,
                      wxString(zReseau + std::to_string(iPremier + i)))
                << i;
    }

    // Each device answered through its own adapter only.
    for (const auto& kv : r)
        EXPECT_TRUE(
            ZorAdresseIP::IsSameReseau(kv.second.m_zIP, kv.second.m_zIPLocal, "255.255.255.0"))
            << kv.second.m_zIP << " via " << kv.second.m_zIPLocal;
    EXPECT_EQ(e1.LogLines("HELLO").size(), 8u);
}

TEST_F(NetworkDiscovery, FactoryDeviceIsReaddressedOnce)
{
    zortest::Emu e;
    ASSERT_TRUE(e.Start(Lan1(), {"--factory", "--login", "usine", "--password", "mdp"}));
    const std::string zMac = MacDeListe(e.Command("LIST"), 0);
    // Two answers queue up; the second arrives while the first one's address test runs.
    Hello();
    Hello();
    ASSERT_TRUE(e.WaitLog("CONFIG", 15000)) << e.Log();
    ASSERT_TRUE(e.WaitLog("MOVED", 5000));
    ASSERT_TRUE(HelloJusqua(1, 8000));

    std::map<std::string, ZorTavlinInfo> r = Registre();
    ASSERT_EQ(r.size(), 1u);
    const ZorTavlinInfo& d = r.begin()->second;
    EXPECT_EQ(r.begin()->first, zMac);
    ZorAdresseIP ip(d.m_zIP);
    EXPECT_TRUE(ZorAdresseIP::IsSameReseau(d.m_zIP, "192.168.77.1", "255.255.255.0")) << d.m_zIP;
    EXPECT_GE(ip.GetOctet(3), 150);
    EXPECT_LE(ip.GetOctet(3), 253);
    EXPECT_EQ(d.m_zIPLocal, "192.168.77.1");

    std::vector<std::string> config = e.LogLines(" CONFIG ");
    ASSERT_EQ(config.size(), 1u);
    std::string zMacChiffres = zMac;
    zMacChiffres.erase(std::remove(zMacChiffres.begin(), zMacChiffres.end(), '-'),
                       zMacChiffres.end());
    EXPECT_NE(config[0].find("N;" + zMacChiffres + ";usine;mdp;C0A84D"), std::string::npos)
        << config[0];
    EXPECT_NE(config[0].find(";FFFFFF00;C0A84DFE;0;"), std::string::npos) << config[0];
    EXPECT_TRUE(e.LogLines("CONFIG-REJECTED").empty());
}

TEST_F(NetworkDiscovery, ForeignSubnetDeviceIsReaddressedOnlyInModeTwo)
{
    zortest::Emu e;
    ASSERT_TRUE(e.Start(Lan1(), {"--first-ip", "10.0.0.5/24", "--gateway", "10.0.0.1"}));
    const std::string zMac = MacDeListe(e.Command("LIST"), 0);

    // Mode 0: registered where it is.
    ASSERT_TRUE(HelloJusqua(1, 4000));
    EXPECT_EQ(Registre()[zMac].m_zIP, "10.0.0.5");
    EXPECT_TRUE(e.LogLines(" CONFIG ").empty());

    // Mode 2: moved onto the adapter's network.
    gpTheTavlin->SetModeAdresseAutomatique(2);
    Hello();
    ASSERT_TRUE(e.WaitLog("MOVED", 15000)) << e.Log();
    ASSERT_TRUE(zortest::PumpUntil(
        [&] {
            Hello();
            zortest::Pump(300);
            return Registre()[zMac].m_zIP.StartsWith("192.168.77.");
        },
        8000));
    EXPECT_EQ(e.LogLines(" CONFIG ").size(), 1u);
    EXPECT_EQ(Registre()[zMac].m_zMask, "255.255.255.0");
}

TEST_F(NetworkDiscovery, TwoHundredFiftyAnswersArriveTogether)
{
    zortest::Emu e;
    // Texts of the longest sizes devices keep make answers of some 250 bytes.
    ASSERT_TRUE(
        e.Start(Lan1(),
                {"--count", "250", "--first-ip", "192.168.77.2/24", "--name", std::string(28, 'n'),
                 "--comment", std::string(64, 'c'), "--login", std::string(32, 'l'), "--password",
                 std::string(32, 'p'), "--version", std::string(32, 'v')},
                30000));
    // Nobody reads the sockets while the answers arrive: they must all fit in the buffer.
    TemoinReponses temoin;
    ASSERT_TRUE(temoin.Lie());
    Hello();
    ASSERT_TRUE(temoin.Attendre(250, 30000));
    // The witness may have had the last copy a moment before the library's socket.
    gpTheTavlin->LireDatagrammes();
    for (int i = 0; i < 3000 && Registre().size() < 250; ++i) {
        usleep(1000);
        gpTheTavlin->LireDatagrammes();
    }
    EXPECT_EQ(Registre().size(), 250u);
}

TEST_F(NetworkDiscovery, UnsendableConfigurationIsNotSent)
{
    zortest::Emu e;
    ASSERT_TRUE(e.Start(Lan1(), {"--login", "op", "--password", "pw"}));
    const wxString zMac = MacDeListe(e.Command("LIST"), 0);
    ZorTavlinObj& reseau = *gpTheTavlin;
    const wxString zIP = "192.168.77.1", zMask = "255.255.255.0", zGw = "192.168.77.254";

    // Every candidate is free at once; the test counts how often it was asked.
    std::atomic<int> iTests{0};
    reseau.SetTestAdresseLibre([&](const std::string&, const std::atomic<bool>&) {
        ++iTests;
        return true;
    });

    // Too long for one datagram, a separator inside a field, a character without a byte:
    // refused at once, before any address test.
    reseau.ConfigureAdresseTavlin(zMac, wxString(1000, 'l'), "pw", zIP, zMask, zGw);
    reseau.ConfigureAdresseTavlin(zMac, "op", "p;w", zIP, zMask, zGw);
    reseau.ConfigureAdresseTavlin(zMac, wxString::FromUTF8("op\xE2\x82\xAC"), "pw", zIP, zMask,
                                  zGw);
    // No usable adapter address or mask.
    reseau.ConfigureAdresseTavlin(zMac, "op", "pw", "0.0.0.0", zMask, zGw);
    reseau.ConfigureAdresseTavlin(zMac, "op", "pw", zIP, "", zGw);
    zortest::Pump(500);
    EXPECT_EQ(iTests, 0);
    EXPECT_TRUE(e.LogLines("CONFIG").empty()) << e.Log();

    // A sendable text leaves: the device refuses a wrong password, and says so.
    reseau.ConfigureAdresseTavlin(zMac, "op", "faux", zIP, zMask, zGw);
    ASSERT_TRUE(e.WaitLog("CONFIG-REJECTED", 3000)) << e.Log();
    EXPECT_NE(e.Log().find(";op;faux;C0A84D"), std::string::npos);
}

TEST_F(NetworkDiscovery, ReaddressedDeviceComesBackWithoutAnotherHelloFromTheCaller)
{
    zortest::Emu e;
    ASSERT_TRUE(e.Start(Lan1(), {"--factory"}));
    const std::string zMac = MacDeListe(e.Command("LIST"), 0);
    Hello();
    // Only the network object's own hellos can bring it back at its new address: the test
    // sends no other, and no device manager timer runs here.
    ASSERT_TRUE(zortest::PumpUntil(
        [&] {
            std::map<std::string, ZorTavlinInfo> r = Registre();
            return r.count(zMac) && r[zMac].m_zIP.StartsWith("192.168.77.");
        },
        20000))
        << e.Log();
    const long long iEnregistre = wxGetUTCTimeMillis().GetValue();
    const std::vector<std::string> config = e.LogLines(" CONFIG ");
    ASSERT_EQ(config.size(), 1u);
    const long long iConfig = atoll(config[0].c_str());
    printf("readdressing: configuration datagram to registration at the new address: %lld ms\n",
           iEnregistre - iConfig);
    RecordProperty("registration_after_configuration_ms", std::to_string(iEnregistre - iConfig));
}
