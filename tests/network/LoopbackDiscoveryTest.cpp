// The discovery socket of the loopback pseudo-adapter, driven by plain sockets standing in for
// devices at other loopback addresses.
#include "device/ZorTavlinObj.h"
#include "infra/ZorClock.h"
#include "infra/ZorLogFile.h"
#include "network/ZorDiscoverySink.h"
#include "network/ZorTavlinNetwork.h"
#include "tests/common/ZorTestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

const char kReponse[] =
    "D\nTavlin-L\n00-1A-2B-3C-4D-5E\nBanc\nadmin\nsecret\nFFFFFF00C0A80101\n1\n4.2\n";

// A UDP socket at a loopback address, closed with the object.
class Appareil
{
public:
    explicit Appareil(const char* zIP, uint16_t iPort = 30303)
    {
        m_fd = socket(AF_INET, SOCK_DGRAM, 0);
        int un = 1;
        setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &un, sizeof(un));
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(iPort);
        sa.sin_addr.s_addr = inet_addr(zIP);
        m_bLie = bind(m_fd, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) == 0;
    }
    ~Appareil() { close(m_fd); }
    bool Lie() const { return m_bLie; }
    bool Envoyer(const std::string& z, const char* zDest = "127.0.0.1")
    {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(30303);
        sa.sin_addr.s_addr = inet_addr(zDest);
        return sendto(m_fd, z.data(), z.size(), 0, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) ==
               ssize_t(z.size());
    }
    // One datagram within iMs, or an empty string.
    std::string Recevoir(int iMs)
    {
        pollfd p{m_fd, POLLIN, 0};
        if (poll(&p, 1, iMs) <= 0)
            return std::string();
        char buf[2048];
        ssize_t n = recv(m_fd, buf, sizeof(buf), 0);
        return n > 0 ? std::string(buf, size_t(n)) : std::string();
    }
    // The first datagram that comes while the event loop runs (at most iMs), or an empty string.
    std::string Attendre(int iMs)
    {
        std::string z;
        zortest::PumpUntil([&] { return !(z = Recevoir(0)).empty(); }, iMs);
        return z;
    }

private:
    int m_fd = -1;
    bool m_bLie = false;
};

class LoopbackDiscovery : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ZorTavlinObj::CreateTavlinObj());
        ASSERT_TRUE(gpTheTavlin->OuvrirReseau());
    }
    void TearDown() override
    {
        if (gpTheTavlin)
            gpTheTavlin->FermerReseau();
        ZorTavlinObj::DeleteTavlinObj();
    }
    size_t NombreTavlin()
    {
        ZorTavlinInfoArray a;
        gpTheTavlin->GetLesTavlin(a);
        return a.GetCount();
    }
    ZorCarteEth* Loopback()
    {
        for (ZorCarteEth* p : gpTheTavlin->GetArrayCarteEth())
            if (p->m_bLoopback)
                return p;
        return nullptr;
    }
};

} // namespace

TEST_F(LoopbackDiscovery, LoopbackRecordAndSecondInit)
{
    ZorCarteEth* p = Loopback();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->m_zIP, "127.0.0.1");
    EXPECT_EQ(p->m_zMask, "0.0.0.0");
    EXPECT_EQ(p->m_zGateway, "0.0.0.0");
    EXPECT_EQ(p->m_zMAC, "00-00-00-00-00-00");
    EXPECT_EQ(p->m_zDescription, "Loopback interface");
    EXPECT_FALSE(p->m_bDhcp);
    EXPECT_FALSE(p->m_bBlackList);
    EXPECT_NE(p->m_pDatagramSocket, nullptr);
    // The isolated network has no other adapter.
    EXPECT_EQ(gpTheTavlin->GetArrayCarteEth().size(), 1u);

    wxDatagramSocket* avant = p->m_pDatagramSocket;
    EXPECT_FALSE(gpTheTavlin->OuvrirReseau());
    EXPECT_EQ(p->m_pDatagramSocket, avant);
    EXPECT_EQ(gpTheTavlin->GetArrayCarteEth().size(), 1u);

    // Closing keeps the record.
    gpTheTavlin->FermerReseau();
    EXPECT_EQ(p->m_pDatagramSocket, nullptr);
    EXPECT_EQ(gpTheTavlin->GetArrayCarteEth().size(), 1u);

    const std::string log = zortest::ReadFile(std::string(ZorLogFile::GetPath().utf8_str()));
    EXPECT_NE(log.find("ZorTavlinNetwork::InitNetwork"), std::string::npos);
    EXPECT_NE(log.find("ZorTavlinNetwork::SearchCarteEth sur IP=127.0.0.1"), std::string::npos);
    EXPECT_NE(log.find("ZorTavlinNetwork::ExitNetwork"), std::string::npos);

    // A later start lists the adapters afresh, each with its socket open again.
    ASSERT_TRUE(gpTheTavlin->OuvrirReseau());
    EXPECT_EQ(gpTheTavlin->GetArrayCarteEth().size(), 1u);
    ASSERT_NE(Loopback(), nullptr);
    EXPECT_NE(Loopback()->m_pDatagramSocket, nullptr);
}

TEST_F(LoopbackDiscovery, AnswerRegistersDeviceThroughTheAdapter)
{
    Appareil a("127.0.0.5", 30400);
    ASSERT_TRUE(a.Lie());
    ASSERT_TRUE(a.Envoyer(kReponse));
    ASSERT_TRUE(zortest::PumpUntil([&] { return NombreTavlin() == 1; }, 3000));

    // The device's own values are checked on the LAN; here, what the adapter adds.
    ZorTavlinInfoArray t;
    gpTheTavlin->GetLesTavlin(t);
    const ZorTavlinInfo& i = t[0];
    EXPECT_EQ(i.m_zIP, "127.0.0.5");
    EXPECT_EQ(i.m_zMAC, "00-1A-2B-3C-4D-5E");
    EXPECT_EQ(i.m_zIPLocal, "127.0.0.1");
    EXPECT_EQ(i.m_zMaskLocal, "0.0.0.0");
    EXPECT_EQ(i.m_zGatewayLocal, "0.0.0.0");
    EXPECT_EQ(i.m_zVersion, "4.2");
}

TEST_F(LoopbackDiscovery, IgnoresOwnShortAndUnknownAnswersAndReadsMaster)
{
    // From the adapter's own address, too short, unknown type: nothing registered.
    Appareil soi("127.0.0.1", 30401);
    ASSERT_TRUE(soi.Envoyer(kReponse));
    Appareil b("127.0.0.6", 30402);
    ASSERT_TRUE(b.Envoyer("D\nn\nm\nc\nl\np\nFFFFFF00C0A80101\n"));
    ASSERT_TRUE(b.Envoyer("X\nn\n11-22\nc\nl\np\nFFFFFF00C0A80101\n0\n"));
    ASSERT_TRUE(b.Envoyer(std::string("\0garbage", 8)));
    ASSERT_TRUE(b.Envoyer(std::string(1500, '\n')));
    // Master answer, whatever the addressing mode.
    gpTheTavlin->SetModeAdresseAutomatique(2);
    ASSERT_TRUE(b.Envoyer("M\nMaitre\n99-88-77-66-55-44\nc\nl\np\nFFFF0000C0A80001\n0\n"));
    ASSERT_TRUE(zortest::PumpUntil(
        [&] {
            ZorTavlinInfo m;
            gpTheTavlin->GetTavlinMaster(&m);
            return m.m_zMAC == "99-88-77-66-55-44";
        },
        3000));
    zortest::Pump(200);
    EXPECT_EQ(NombreTavlin(), 0u);
    ZorTavlinInfo m;
    gpTheTavlin->GetTavlinMaster(&m);
    EXPECT_EQ(m.m_zIP, "127.0.0.6");
    EXPECT_EQ(m.m_zMask, "255.255.0.0");
    EXPECT_FALSE(m.m_bDHCPEnabled);
    EXPECT_EQ(m.m_zVersion, "1");
}

TEST_F(LoopbackDiscovery, ForcedReadDrainsWithoutEventLoop)
{
    Appareil a("127.0.0.7", 30403), temoin("127.0.0.7");
    ASSERT_TRUE(temoin.Lie());
    // The loopback hands datagrams over in the order a processor sent them: sent from one
    // processor, the last one (to the witness) arrives after the twenty answers are waiting.
    cpu_set_t avant, un;
    ASSERT_EQ(sched_getaffinity(0, sizeof(avant), &avant), 0);
    CPU_ZERO(&un);
    CPU_SET(sched_getcpu(), &un);
    ASSERT_EQ(sched_setaffinity(0, sizeof(un), &un), 0);
    for (int i = 0; i < 20; ++i) {
        std::string z = kReponse;
        z.replace(z.find("00-1A-2B-3C-4D-5E"), 17, "00-00-00-00-00-" + std::to_string(10 + i));
        EXPECT_TRUE(a.Envoyer(z));
    }
    EXPECT_TRUE(a.Envoyer("fin", "127.0.0.7"));
    sched_setaffinity(0, sizeof(avant), &avant);
    ASSERT_EQ(temoin.Recevoir(3000), "fin");
    gpTheTavlin->LireDatagrammes();
    EXPECT_EQ(NombreTavlin(), 20u);
    // Nothing left: a second call returns at once and registers nothing new.
    gpTheTavlin->LireDatagrammes();
    EXPECT_EQ(NombreTavlin(), 20u);
}

TEST_F(LoopbackDiscovery, HelloAndRebootLeaveThroughTheAdapter)
{
    Appareil d("127.0.0.8");
    Appareil r("127.0.0.8", 69);
    ASSERT_TRUE(d.Lie());
    ASSERT_TRUE(r.Lie());
    gpTheTavlin->EnvoyerHello("127.0.0.8", "127.0.0.1", 'D');
    EXPECT_EQ(d.Recevoir(1000), "D");
    gpTheTavlin->EnvoyerHello("127.0.0.8", "", 'M');
    EXPECT_EQ(d.Recevoir(1000), "M");
    gpTheTavlin->EnvoyerReboot("127.0.0.8", "127.0.0.1");
    EXPECT_EQ(r.Recevoir(1000), "R");
    // No destination, or an adapter that does not exist: nothing leaves.
    gpTheTavlin->EnvoyerHello("", "127.0.0.1", 'D');
    gpTheTavlin->EnvoyerHello("127.0.0.8", "10.1.1.1", 'D');
    EXPECT_EQ(d.Recevoir(300), "");
}

TEST_F(LoopbackDiscovery, AddressingModeDecidesForFactoryAnswers)
{
    // The factory address is given to this private network's loopback for the test.
    ASSERT_EQ(system("ip addr add 169.254.233.233/32 dev lo 2>/dev/null || true"), 0);
    Appareil usine("169.254.233.233", 30404);
    ASSERT_TRUE(usine.Lie());
    const std::string zReponse =
        "D\nUsine\n00-50-C2-00-00-01\nc\nadmin\nsecret\nFFFF0000A9FE0001\n0\n";

    // Modes 0 and 2 readdress it instead of registering it (here nothing can be configured:
    // the loopback has no network mask); any other mode registers it.
    for (int iMode : {0, 2}) {
        gpTheTavlin->SetModeAdresseAutomatique(iMode);
        ASSERT_TRUE(usine.Envoyer(zReponse));
        zortest::Pump(300);
        EXPECT_EQ(NombreTavlin(), 0u) << "mode " << iMode;
    }
    gpTheTavlin->SetModeAdresseAutomatique(1);
    ASSERT_TRUE(usine.Envoyer(zReponse));
    ASSERT_TRUE(zortest::PumpUntil([&] { return NombreTavlin() == 1; }, 3000));
    ZorTavlinInfoArray t;
    gpTheTavlin->GetLesTavlin(t);
    EXPECT_EQ(t[0].m_zIP, "169.254.233.233");
    EXPECT_EQ(t[0].m_zMask, "255.255.0.0");
    EXPECT_EQ(t[0].m_zGateway, "169.254.0.1");
}

TEST(NetworkObject, BlackListedLoopbackGetsNoSocket)
{
    ZorTavlinNetwork reseau;
    reseau.m_zListeCarteBlackList = "11-22-33-44-55-66;00-00-00-00-00-00;";
    EXPECT_TRUE(reseau.InitNetwork());
    ASSERT_EQ(reseau.m_arrayCarteEth.size(), 1u);
    EXPECT_TRUE(reseau.m_arrayCarteEth[0]->m_bBlackList);
    EXPECT_EQ(reseau.m_arrayCarteEth[0]->m_pDatagramSocket, nullptr);
    const std::string log = zortest::ReadFile(std::string(ZorLogFile::GetPath().utf8_str()));
    EXPECT_NE(log.find("ZorTavlinNetwork::SearchCarteEth carte blacklist MAC=00-00-00-00-00-00"),
              std::string::npos);
}

namespace {

// Keeps what the network object reports.
class Enregistreur : public ZorDiscoverySink
{
public:
    void AddTavlin(const wxString& zIP, const wxString& zNom, const wxString& zMAC, const wxString&,
                   const wxString&, const wxString&, const wxString&, const wxString&, bool,
                   const wxString&, const wxString&, const wxString&, const wxString&) override
    {
        ajouts.push_back(zIP + " " + zMAC + " " + zNom);
    }
    void NewTavlinMaster(const wxString&, const wxString&, const wxString&, const wxString&,
                         const wxString&, const wxString&, const wxString&, const wxString&, bool,
                         const wxString&, const wxString&, const wxString&,
                         const wxString&) override
    {
        ++iMaitres;
    }
    void ConfigurationAdresseDemarree() override { ++iConfigurations; }

    std::vector<wxString> ajouts;
    int iMaitres = 0;
    int iConfigurations = 0;
};

// A network object on the loopback reporting to its own sink, on a clock the test moves.
class ReseauSeul : public testing::Test
{
protected:
    void SetUp() override
    {
        m_reseau.SetSink(&m_sink);
        m_reseau.SetClock(m_horloge);
        ASSERT_TRUE(m_reseau.InitNetwork());
    }
    void TearDown() override { m_reseau.ExitNetwork(); }
    static size_t LignesLog(const std::string& zTexte)
    {
        const std::string log = zortest::ReadFile(std::string(ZorLogFile::GetPath().utf8_str()));
        size_t n = 0;
        for (size_t pos = log.find(zTexte); pos != std::string::npos;
             pos = log.find(zTexte, pos + 1))
            ++n;
        return n;
    }
    // The search's candidates are 127.0.0.<iHote>, and the free-address test answers "free"
    // once the test lets it (or at a stop), at most after about ten seconds.
    void RechercheBloquee(int iHote)
    {
        m_reseau.GetRechercheAdresse().SetSourceCandidats([iHote](uint8_t a[4]) {
            a[0] = a[1] = a[2] = 0;
            a[3] = uint8_t(iHote);
        });
        m_reseau.GetRechercheAdresse().SetTestLibre(
            [this](const std::string&, const std::atomic<bool>& bArret) {
                ++m_iTests;
                for (int i = 0; i < 10000 && !m_bLibere && !bArret; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                m_bArretVu = bArret.load();
                m_bTestFini = true;
                return true;
            });
    }

    ZorManualClock m_horloge;
    Enregistreur m_sink;
    ZorTavlinNetwork m_reseau;
    std::atomic<int> m_iTests{0};
    std::atomic<bool> m_bLibere{false}, m_bArretVu{false}, m_bTestFini{false};
};

} // namespace

TEST_F(ReseauSeul, MalformedAnswersAreCountedAndLoggedOncePerSenderAndMinute)
{
    Appareil a("127.0.0.21", 30410), b("127.0.0.22", 30411);
    ASSERT_TRUE(a.Lie() && b.Lie());
    const std::string zMalformees[] = {
        "D\nn\nBogus\nc\nl\np\nFFFFFF00C0A80101\n1\n",
        "D\n" + std::string(33, 'n') + "\n00-1A-2B-3C-4D-5E\nc\nl\np\nFFFFFF00C0A80101\n1\n",
        "A\nn\x07\n00-1A-2B-3C-4D-5E\nc\nl\np\nFFFFFF00C0A80101\n1\n",
    };
    for (const std::string& z : zMalformees)
        ASSERT_TRUE(a.Envoyer(z));
    // A hello of another PC is no answer at all: neither counted nor logged.
    ASSERT_TRUE(a.Envoyer("D"));
    ASSERT_TRUE(b.Envoyer(zMalformees[0]));
    // Lower case and ":" are a device's MAC all the same, in the usual form.
    ASSERT_TRUE(a.Envoyer("D\nBon\n00:1a:2b:3c:4d:5e\nc\nl\np\nFFFFFF00C0A80101\n1\n"));
    ASSERT_TRUE(zortest::PumpUntil([&] { return m_sink.ajouts.size() == 1; }, 3000));
    zortest::Pump(100);
    EXPECT_EQ(m_reseau.GetNombreReponsesIgnorees(), 4u);
    EXPECT_EQ(m_sink.ajouts[0], "127.0.0.21 00-1A-2B-3C-4D-5E Bon");
    EXPECT_EQ(LignesLog("reponse ignoree de 127.0.0.21:"), 1u);
    EXPECT_EQ(LignesLog("reponse ignoree de 127.0.0.22: adresse MAC invalide (4 ignorees"), 1u);

    // Within the minute the sender stays quiet in the log; after it, it is logged again.
    m_horloge.Advance(ZorTavlinNetwork::iLogIgnoreesMs - 1);
    ASSERT_TRUE(a.Envoyer(zMalformees[1]));
    ASSERT_TRUE(
        zortest::PumpUntil([&] { return m_reseau.GetNombreReponsesIgnorees() == 5; }, 3000));
    EXPECT_EQ(LignesLog("reponse ignoree de 127.0.0.21:"), 1u);
    m_horloge.Advance(1);
    ASSERT_TRUE(a.Envoyer(zMalformees[2]));
    ASSERT_TRUE(
        zortest::PumpUntil([&] { return m_reseau.GetNombreReponsesIgnorees() == 6; }, 3000));
    EXPECT_EQ(LignesLog("reponse ignoree de 127.0.0.21: caractere interdit (6 ignorees"), 1u);
    EXPECT_EQ(m_sink.ajouts.size(), 1u);
}

TEST_F(ReseauSeul, AddressSearchLeavesTheEventLoopRunningThenSaysHelloAtTheNewAddress)
{
    RechercheBloquee(160);
    // The loopback pseudo-adapter may not broadcast; here it stands for a card, which may.
    int iUn = 1;
    for (ZorCarteEth* p : m_reseau.m_arrayCarteEth)
        if (p->m_pDatagramSocket)
            setsockopt(p->m_pDatagramSocket->GetSocket(), SOL_SOCKET, SO_BROADCAST, &iUn,
                       sizeof(iUn));
    Appareil nouvelle("127.0.0.160");
    Appareil autre("127.0.0.23", 30412);
    ASSERT_TRUE(nouvelle.Lie() && autre.Lie());

    m_reseau.ConfigureAdresseTavlin("00-1A-2B-3C-4D-5E", "admin", "secret", "127.0.0.1",
                                    "255.255.255.0", "127.0.0.254");
    EXPECT_EQ(m_sink.iConfigurations, 1);
    ASSERT_TRUE(zortest::PumpUntil([&] { return m_iTests == 1; }, 3000));
    // While the test of the candidate runs, answers are still read, and a second request for
    // the same device starts nothing.
    ASSERT_TRUE(autre.Envoyer(kReponse));
    ASSERT_TRUE(zortest::PumpUntil([&] { return m_sink.ajouts.size() == 1; }, 3000));
    m_reseau.ConfigureAdresseTavlin("00-1A-2B-3C-4D-5E", "admin", "secret", "127.0.0.1",
                                    "255.255.255.0", "127.0.0.254");
    EXPECT_EQ(m_sink.iConfigurations, 1);
    EXPECT_EQ(m_iTests, 1);

    m_bLibere = true;
    ASSERT_TRUE(zortest::PumpUntil([&] { return m_bTestFini.load(); }, 3000));
    zortest::Pump(300);
    EXPECT_FALSE(m_bArretVu);
    // Sent: a request made before the device could answer at its new address is not a new one.
    m_reseau.ConfigureAdresseTavlin("00-1A-2B-3C-4D-5E", "admin", "secret", "127.0.0.1",
                                    "255.255.255.0", "127.0.0.254");
    EXPECT_EQ(m_sink.iConfigurations, 1);
    // Hellos to the new address once its restart can be over, on the clock, and no others.
    const int64_t* delais = ZorTavlinNetwork::iHelloApresConfigurationMs;
    m_horloge.Advance(delais[0] - 1);
    zortest::Pump(300);
    EXPECT_EQ(nouvelle.Recevoir(0), "");
    m_horloge.Advance(1);
    EXPECT_EQ(nouvelle.Attendre(3000), "D");
    EXPECT_EQ(nouvelle.Recevoir(0), "");
    m_horloge.Advance(delais[1] - delais[0]);
    EXPECT_EQ(nouvelle.Attendre(3000), "D");
    m_horloge.Advance(60000);
    zortest::Pump(300);
    EXPECT_EQ(nouvelle.Recevoir(0), "");
    // Finished: the same device may be configured again.
    m_reseau.ConfigureAdresseTavlin("00-1A-2B-3C-4D-5E", "admin", "secret", "127.0.0.1",
                                    "255.255.255.0", "127.0.0.254");
    EXPECT_EQ(m_sink.iConfigurations, 2);
}

TEST_F(ReseauSeul, ClosingDuringTheSearchDeliversNothing)
{
    RechercheBloquee(161);
    Appareil nouvelle("127.0.0.161");
    ASSERT_TRUE(nouvelle.Lie());
    m_reseau.ConfigureAdresseTavlin("02-00-00-00-00-01", "a", "b", "127.0.0.1", "255.255.255.0",
                                    "");
    ASSERT_TRUE(zortest::PumpUntil([&] { return m_iTests == 1; }, 3000));
    m_reseau.ExitNetwork();
    EXPECT_TRUE(m_bArretVu);
    ASSERT_TRUE(m_reseau.InitNetwork());
    m_horloge.Advance(60000);
    zortest::Pump(500);
    EXPECT_EQ(nouvelle.Recevoir(0), "");

    // An object deleted in the middle of its search: the thread ends first, nothing arrives.
    m_bArretVu = false;
    {
        ZorTavlinNetwork reseau;
        reseau.GetRechercheAdresse().SetTestLibre(
            [this](const std::string&, const std::atomic<bool>& bArret) {
                ++m_iTests;
                for (int i = 0; i < 10000 && !bArret; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                m_bArretVu = bArret.load();
                return true;
            });
        reseau.ConfigureAdresseTavlin("02-00-00-00-00-02", "a", "b", "127.0.0.1", "255.255.255.0",
                                      "");
        for (int i = 0; i < 3000 && m_iTests < 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(m_iTests, 2);
    }
    EXPECT_TRUE(m_bArretVu);
    zortest::Pump(300);
}

TEST_F(ReseauSeul, AConfigurationDatagramThatCannotBeSentLeavesTheDeviceRetryable)
{
    // No adapter of this PC has the address 10.1.1.1: the datagram cannot leave.
    RechercheBloquee(162);
    m_bLibere = true;
    m_reseau.ConfigureAdresseTavlin("02-00-00-00-00-03", "a", "b", "10.1.1.1", "255.255.255.0", "");
    ASSERT_TRUE(zortest::PumpUntil(
        [&] { return LignesLog("02-00-00-00-00-03: envoi impossible") == 1; }, 3000));
    EXPECT_EQ(m_sink.iConfigurations, 1);
    // Not marked as configured: the next request starts a new configuration at once.
    m_reseau.ConfigureAdresseTavlin("02-00-00-00-00-03", "a", "b", "10.1.1.1", "255.255.255.0", "");
    EXPECT_EQ(m_sink.iConfigurations, 2);
    ASSERT_TRUE(zortest::PumpUntil(
        [&] { return LignesLog("02-00-00-00-00-03: envoi impossible") == 2; }, 3000));
}
