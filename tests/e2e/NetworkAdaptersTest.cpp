// The PC's adapters in the two-subnet test network: records, logging, sockets that follow
// address changes, the card black list, and echo requests on the LAN.
#include "device/ZorTavlinObj.h"
#include "infra/ZorLogFile.h"
#include "network/ZorPing.h"
#include "tests/common/ZorEmu.h"
#include "tests/common/ZorTestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

namespace {

std::string Interface1()
{
    return zortest::EnvOr("TAVLIN_PC_IF1", "tvp0");
}
std::string Interface2()
{
    return zortest::EnvOr("TAVLIN_PC_IF2", "tvp1");
}

// "aa:bb:..." from sysfs in the adapters' form "AA-BB-...".
std::string MacDe(const std::string& zInterface)
{
    std::string z = zortest::ReadFile("/sys/class/net/" + zInterface + "/address");
    z.erase(std::remove(z.begin(), z.end(), '\n'), z.end());
    std::replace(z.begin(), z.end(), ':', '-');
    std::transform(z.begin(), z.end(), z.begin(), [](unsigned char c) { return char(toupper(c)); });
    return z;
}

std::string LireLog()
{
    return zortest::ReadFile(std::string(ZorLogFile::GetPath().utf8_str()));
}

bool Commande(const std::string& z)
{
    return system((z + " >/dev/null 2>&1").c_str()) == 0;
}

ZorCarteEth* Carte(const wxString& zIP)
{
    for (ZorCarteEth* p : gpTheTavlin->GetArrayCarteEth())
        if (p->m_zIP == zIP)
            return p;
    return nullptr;
}

ZorCarteEth* CarteMAC(const std::string& zMAC)
{
    for (ZorCarteEth* p : gpTheTavlin->GetArrayCarteEth())
        if (p->m_zMAC == wxString(zMAC))
            return p;
    return nullptr;
}

class NetworkAdapters : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(zortest::InTestNetwork());
        ASSERT_TRUE(ZorTavlinObj::CreateTavlinObj());
    }
    void TearDown() override
    {
        gpTheTavlin->FermerReseau();
        ZorTavlinObj::DeleteTavlinObj();
    }
};

// Puts the second adapter's address back whatever the test did to it.
class RestaureAdresse
{
public:
    ~RestaureAdresse()
    {
        Commande("ip addr flush dev " + Interface2());
        Commande("ip addr add 192.168.78.1/24 broadcast 192.168.78.255 dev " + Interface2());
    }
};

} // namespace

TEST_F(NetworkAdapters, InitListsBothAdaptersAndLoopback)
{
    const size_t avant = LireLog().size();
    ASSERT_TRUE(gpTheTavlin->OuvrirReseau());
    ZorCarteEthPtrArray& cartes = gpTheTavlin->GetArrayCarteEth();
    ASSERT_EQ(cartes.size(), 3u);

    ZorCarteEth* a = cartes[0];
    ZorCarteEth* b = cartes[1];
    EXPECT_EQ(a->m_zIP, "192.168.77.1");
    EXPECT_EQ(a->m_zMask, "255.255.255.0");
    EXPECT_EQ(a->m_zGateway, "192.168.77.254");
    EXPECT_EQ(a->m_zMAC, wxString(MacDe(Interface1())));
    EXPECT_EQ(b->m_zIP, "192.168.78.1");
    EXPECT_EQ(b->m_zMask, "255.255.255.0");
    EXPECT_EQ(b->m_zGateway, "0.0.0.0");
    EXPECT_EQ(b->m_zMAC, wxString(MacDe(Interface2())));
    for (ZorCarteEth* p : {a, b}) {
        EXPECT_FALSE(p->m_bDhcp) << "addresses set by hand are permanent";
        EXPECT_FALSE(p->m_bLoopback);
        EXPECT_FALSE(p->m_bBlackList);
        EXPECT_GT(p->m_iIndex, 0);
        ASSERT_NE(p->m_pDatagramSocket, nullptr);
        EXPECT_TRUE(p->m_pDatagramSocket->IsOk());
    }
    EXPECT_TRUE(cartes[2]->m_bLoopback);
    EXPECT_EQ(cartes[2]->m_zIP, "127.0.0.1");

    const std::string log = LireLog().substr(avant);
    for (const std::string& ligne :
         {std::string("ZorTavlinNetwork::InitNetwork"),
          std::string("ZorTavlinNetwork::SearchCarteEth **** NEW ****"),
          std::string("ZorTavlinNetwork::SearchCarteEth sur IP=192.168.77.1"),
          std::string("ZorTavlinNetwork::SearchCarteEth sur IP=192.168.78.1"),
          std::string("ZorTavlinNetwork::SearchCarteEth sur IP=127.0.0.1"),
          "ZorTavlinNetwork::SearchCarteEth Adapter Name: " + Interface1(),
          "ZorTavlinNetwork::SearchCarteEth Adapter Name: " + Interface2(),
          std::string("ZorTavlinNetwork::SearchCarteEth Adapter Type: 6"),
          "ZorTavlinNetwork::SearchCarteEth \tMAC Address: \t" + MacDe(Interface1()),
          std::string("ZorTavlinNetwork::SearchCarteEth \tIP Address: \t192.168.78.1"),
          std::string("ZorTavlinNetwork::SearchCarteEth \tIP Mask: \t255.255.255.0"),
          std::string("ZorTavlinNetwork::SearchCarteEth \tGateway: \t192.168.77.254"),
          std::string("ZorTavlinNetwork::SearchCarteEth \tDHCP Enabled: No")})
        EXPECT_NE(log.find(ligne), std::string::npos) << ligne;
    EXPECT_EQ(log.find("CHANGE"), std::string::npos);
}

TEST_F(NetworkAdapters, UnchangedAdaptersLogNothingAndKeepSockets)
{
    ASSERT_TRUE(gpTheTavlin->OuvrirReseau());
    ZorCarteEthPtrArray& cartes = gpTheTavlin->GetArrayCarteEth();
    std::vector<wxDatagramSocket*> sockets;
    for (ZorCarteEth* p : cartes)
        sockets.push_back(p->m_pDatagramSocket);
    const size_t avant = LireLog().size();
    ASSERT_TRUE(gpTheTavlin->RechercherCartes());
    EXPECT_EQ(LireLog().size(), avant);
    ASSERT_EQ(cartes.size(), sockets.size());
    for (size_t i = 0; i < cartes.size(); ++i)
        EXPECT_EQ(cartes[i]->m_pDatagramSocket, sockets[i]);
}

TEST_F(NetworkAdapters, AddressChangesAreFollowed)
{
    RestaureAdresse restaure;
    ASSERT_TRUE(gpTheTavlin->OuvrirReseau());
    ZorCarteEth* b = CarteMAC(MacDe(Interface2()));
    ASSERT_NE(b, nullptr);
    ASSERT_NE(b->m_pDatagramSocket, nullptr);

    // Readdressed with a leased (limited lifetime) address: logged as a change with DHCP on,
    // new socket on the new address.
    ASSERT_TRUE(Commande("ip addr flush dev " + Interface2()));
    ASSERT_TRUE(Commande("ip addr add 192.168.78.2/24 valid_lft 600 preferred_lft 600 dev " +
                         Interface2()));
    size_t avant = LireLog().size();
    ASSERT_TRUE(gpTheTavlin->RechercherCartes());
    std::string log = LireLog().substr(avant);
    EXPECT_NE(log.find("ZorTavlinNetwork::SearchCarteEth **** CHANGE ****"), std::string::npos);
    EXPECT_NE(log.find("ZorTavlinNetwork::SearchCarteEth sur IP=192.168.78.2"), std::string::npos);
    EXPECT_EQ(log.find("**** NEW ****"), std::string::npos);
    EXPECT_NE(log.find("ZorTavlinNetwork::SearchCarteEth \tDHCP Enabled: \tYes"),
              std::string::npos);
    EXPECT_NE(log.find("ZorTavlinNetwork::SearchCarteEth \tDHCP Server: \t"), std::string::npos);
    EXPECT_EQ(b->m_zIP, "192.168.78.2");
    EXPECT_TRUE(b->m_bDhcp);
    ASSERT_NE(b->m_pDatagramSocket, nullptr);
    EXPECT_TRUE(b->m_pDatagramSocket->IsOk());
    EXPECT_EQ(gpTheTavlin->GetArrayCarteEth().size(), 3u);

    // Address gone (cable pulled): a change to 0.0.0.0; the socket it had stays open.
    wxDatagramSocket* garde = b->m_pDatagramSocket;
    ASSERT_TRUE(Commande("ip addr flush dev " + Interface2()));
    avant = LireLog().size();
    ASSERT_TRUE(gpTheTavlin->RechercherCartes());
    log = LireLog().substr(avant);
    EXPECT_NE(log.find("**** CHANGE ****"), std::string::npos);
    EXPECT_EQ(b->m_zIP, "0.0.0.0");
    EXPECT_EQ(b->m_zMask, "0.0.0.0");
    EXPECT_EQ(b->m_pDatagramSocket, garde);

    // The first adapter did not change.
    EXPECT_EQ(log.find("IP Address: \t192.168.77.1"), std::string::npos);
}

TEST_F(NetworkAdapters, BlackListedAdapterHasNoSocketAndIsDeaf)
{
    const wxString zNoire = wxString(MacDe(Interface2()));
    ASSERT_TRUE(gpTheTavlin->WriteListeCarteBlackList(true, zNoire));
    // Off the list again whatever happens: the other tests use that adapter.
    struct Retrait
    {
        wxString zMAC;
        ~Retrait() { gpTheTavlin->WriteListeCarteBlackList(false, zMAC); }
    } retrait{zNoire};
    const size_t avant = LireLog().size();
    ASSERT_TRUE(gpTheTavlin->OuvrirReseau());
    ZorCarteEth* b = CarteMAC(MacDe(Interface2()));
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->m_bBlackList);
    EXPECT_EQ(b->m_pDatagramSocket, nullptr);
    EXPECT_NE(LireLog().substr(avant).find("ZorTavlinNetwork::SearchCarteEth carte blacklist MAC=" +
                                           MacDe(Interface2())),
              std::string::npos);
    ZorCarteEth* a = Carte("192.168.77.1");
    ASSERT_NE(a, nullptr);
    EXPECT_FALSE(a->m_bBlackList);
    EXPECT_NE(a->m_pDatagramSocket, nullptr);

    // A device behind the black-listed adapter answers a hello by broadcast: nobody listens.
    zortest::Emu e;
    ASSERT_TRUE(e.Start(zortest::EnvOr("TAVLIN_NS_LAN2", ""), {"--first-ip", "192.168.78.30/24"}));
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    const std::string zIf = Interface2();
    ASSERT_EQ(setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, zIf.c_str(), socklen_t(zIf.size() + 1)),
              0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(30303);
    sa.sin_addr.s_addr = inet_addr("192.168.78.30");
    ASSERT_EQ(sendto(fd, "D", 1, 0, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)), 1);
    close(fd);
    ASSERT_TRUE(e.WaitLog("ANSWER", 3000));
    zortest::Pump(500);
    gpTheTavlin->LireDatagrammes();
    ZorTavlinInfoArray t;
    gpTheTavlin->GetLesTavlin(t);
    EXPECT_EQ(t.GetCount(), 0u);

    // The library itself sends nothing through that adapter.
    gpTheTavlin->EnvoyerHello("255.255.255.255", "", 'D');
    zortest::Pump(500);
    EXPECT_EQ(e.LogLines("HELLO").size(), 1u);
}

TEST_F(NetworkAdapters, EchoCountsOnTheLan)
{
    // The address test of a readdressing: three requests of 500 ms.
    auto Echo = [](const char* zDest, int* piCompletes, int* piPerdues) {
        ZorPing ping;
        wxArrayString args;
        for (const char* z : {"-n", "3", "-w", "500"})
            args.Add(z);
        args.Add(zDest);
        return ping.Ping(args, piCompletes, piPerdues);
    };
    int c = 0, l = 0;
    ASSERT_EQ(Echo("192.168.77.77", &c, &l), 0);
    EXPECT_EQ(c, 3);
    EXPECT_EQ(l, 3);
    ASSERT_EQ(Echo("192.168.77.253", &c, &l), 0);
    EXPECT_EQ(c, 3);
    EXPECT_EQ(l, 0);
}
