// Hostile traffic on the discovery port while real emulated devices answer: a thousand
// malformed datagrams register nothing and spoil no real device, and a flood of well-formed
// answers with new MACs stops at the registry's bound.
#include "device/ZorTavlinObj.h"
#include "infra/ZorLogFile.h"
#include "tests/common/ZorEmu.h"
#include "tests/common/ZorTestSupport.h"
#include "tests/e2e/NetworkDiscoveryFixture.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

// A UDP socket inside a LAN namespace of the test network, at that namespace's own address.
// Sockets keep the namespace they were made in, so a short thread makes it there.
class Emetteur
{
public:
    explicit Emetteur(const std::string& ns)
    {
        std::thread t([&] {
            const int fdNs = open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
            if (fdNs < 0 || setns(fdNs, CLONE_NEWNET) != 0) {
                if (fdNs >= 0)
                    close(fdNs);
                return;
            }
            close(fdNs);
            m_fd = socket(AF_INET, SOCK_DGRAM, 0);
        });
        t.join();
        int un = 1;
        setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &un, sizeof(un));
    }
    ~Emetteur()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    bool Ok() const { return m_fd >= 0; }
    bool Envoyer(const std::string& z, const char* zDest)
    {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(30303);
        sa.sin_addr.s_addr = inet_addr(zDest);
        return sendto(m_fd, z.data(), z.size(), 0, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) ==
               ssize_t(z.size());
    }

private:
    int m_fd = -1;
};

std::string Joindre(const std::vector<std::string>& lignes)
{
    std::string z;
    for (const std::string& l : lignes)
        z += l + "\n";
    return z;
}

// The nine lines of a well-formed answer of a device that does not exist (MACs 0E-...).
std::vector<std::string> Faux(unsigned i)
{
    char zMac[18];
    snprintf(zMac, sizeof(zMac), "0E-00-00-%02X-%02X-%02X", (i >> 16) & 0xFF, (i >> 8) & 0xFF,
             i & 0xFF);
    return {"D", "Faux" + std::to_string(i), zMac, "c", "l", "p", "FFFFFF00C0A84D01", "0", "1.0"};
}

// Malformed datagram number i: every kind a device never sends, none of which may register.
std::string Malforme(unsigned i, std::mt19937& gen)
{
    auto entre = [&](size_t a, size_t b) {
        return std::uniform_int_distribution<size_t>(a, b)(gen);
    };
    std::vector<std::string> l = Faux(i);
    const std::string zBon = Joindre(l);
    // Where the eighth line starts: a cut or a zero before it leaves fewer than eight lines.
    size_t iHuitieme = 0;
    for (int k = 0; k < 7; ++k)
        iHuitieme = zBon.find('\n', iHuitieme) + 1;
    // A control character inside a text (at its end a carriage return would only be trimmed).
    auto controle = [&] {
        const char c[] = {'\x01', '\x07', '\t', '\r', '\x1B', '\x7F', '\x85', '\x9F'};
        return std::string("a") + c[entre(0, sizeof(c) - 1)] + "b";
    };
    switch (i % 10) {
    case 0: {
        std::string z(entre(0, 1500), '\0');
        for (char& c : z)
            c = char(entre(0, 255));
        return z;
    }
    case 1:
        return zBon.substr(0, entre(0, iHuitieme - 1));
    case 2: {
        std::string z = zBon;
        z[entre(0, iHuitieme - 1)] = '\0';
        return z;
    }
    case 3: {
        const std::string macs[] = {"",
                                    std::string(600, 'A'),
                                    "../../etc",
                                    "Bogus",
                                    "00-1A-2B-3C-4D",
                                    "GG-00-00-00-00-00",
                                    "00-1A-2B-3C-4D-5E-6F",
                                    "%n%n%n%n%n%n%n%n",
                                    "0e:00:00:00:00:zz",
                                    "0E-00-00-00-00-0"};
        l[2] = macs[entre(0, 9)];
        break;
    }
    case 4:
        l[1] = entre(0, 1) ? std::string(entre(33, 900), 'n') : "%n%s" + controle();
        break;
    case 5: {
        const size_t iChamp[] = {3, 4, 5, 8};
        const size_t iMax[] = {64, 32, 32, 32};
        const size_t k = entre(0, 3);
        l[iChamp[k]] = std::string(entre(iMax[k] + 1, 900), 'x');
        break;
    }
    case 6: {
        // A short or odd mask and gateway line is read in parts (empty ones): only a line no
        // device sends is refused.
        const std::string reseaux[] = {std::string(33, 'F'), std::string(900, '0'),
                                       "FFFFFF00\x1B[0mC0A84D01", "FFFFFF00C0A84D01" + controle(),
                                       "../../../../etc/" + std::string(20, '.')};
        l[6] = reseaux[entre(0, 4)];
        break;
    }
    case 7:
        l.resize(300, "x");
        break;
    case 8:
        l[entre(1, 5)] = controle();
        break;
    default:
        l[0] = entre(0, 1) ? "M" : "A";
        l[entre(4, 5)] = "a;b";
        break;
    }
    return Joindre(l);
}

class NetworkMalformed : public NetworkDiscoveryBase
{
protected:
    // Sends the datagrams from a thread, in bursts, while the main thread reads them.
    void Inonder(Emetteur& em, const std::vector<std::string>& datagrammes, bool bHellos)
    {
        std::atomic<bool> bFini{false};
        std::thread t([&] {
            const char* dest[] = {"192.168.77.1", "255.255.255.255", "192.168.77.255"};
            for (size_t i = 0; i < datagrammes.size(); ++i) {
                em.Envoyer(datagrammes[i], dest[i % 3]);
                if (i % 50 == 49)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            bFini = true;
        });
        for (int i = 0; i < 600 && !bFini; ++i) {
            if (bHellos && i % 20 == 0)
                Hello();
            zortest::Pump(20);
        }
        t.join();
        zortest::Pump(500);
    }
    static size_t LignesLog(const std::string& zTexte)
    {
        const std::string log = zortest::ReadFile(std::string(ZorLogFile::GetPath().utf8_str()));
        size_t n = 0;
        for (size_t pos = log.find(zTexte); pos != std::string::npos;
             pos = log.find(zTexte, pos + 1))
            ++n;
        return n;
    }
};

} // namespace

TEST_F(NetworkMalformed, NothingBogusIsRegisteredAndTheRegistryStopsAtItsBound)
{
    zortest::Emu e;
    ASSERT_TRUE(e.Start(
        zortest::EnvOr("TAVLIN_NS_LAN1", ""),
        {"--count", "3", "--first-ip", "192.168.77.10/24", "--name", "Vrai", "--version", "2.3"}));
    Emetteur em(zortest::EnvOr("TAVLIN_NS_LAN1", ""));
    ASSERT_TRUE(em.Ok());
    Hello();
    ASSERT_TRUE(zortest::PumpUntil([&] { return Registre().size() == 3; }, 5000));
    const std::map<std::string, ZorTavlinInfo> vrais = Registre();

    std::mt19937 gen(20261209);
    std::vector<std::string> malformes;
    for (unsigned i = 0; i < 1000; ++i)
        malformes.push_back(Malforme(i, gen));
    Inonder(em, malformes, true);
    Hello();
    zortest::Pump(500);

    std::map<std::string, ZorTavlinInfo> r = Registre();
    ASSERT_EQ(r.size(), 3u);
    for (const auto& kv : vrais) {
        ASSERT_TRUE(r.count(kv.first)) << kv.first;
        const ZorTavlinInfo& a = r[kv.first];
        EXPECT_EQ(a.m_zIP, kv.second.m_zIP);
        EXPECT_EQ(a.m_zNom, kv.second.m_zNom);
        EXPECT_EQ(a.m_zVersion, "2.3");
        EXPECT_EQ(a.m_zMask, "255.255.255.0");
    }
    ZorTavlinInfo m;
    gpTheTavlin->GetTavlinMaster(&m);
    EXPECT_TRUE(m.m_zMAC.IsEmpty()) << m.m_zMAC;
    const uint64_t iIgnorees = gpTheTavlin->GetNombreReponsesIgnorees();
    printf("malformed: %llu of 1000 datagrams were answers refused as malformed, the rest no "
           "answers at all\n",
           static_cast<unsigned long long>(iIgnorees));
    EXPECT_GT(iIgnorees, 500u);
    // One sender, well within a minute: logged once.
    EXPECT_EQ(LignesLog("reponse ignoree de 192.168.77.253:"), 1u);

    // Well-formed answers of devices that do not exist, more than the registry holds.
    std::vector<std::string> nouveaux;
    for (unsigned i = 0; i < ZorTavlinObj::iTavlinMax + 100; ++i)
        nouveaux.push_back(Joindre(Faux(0x10000 + i)));
    Inonder(em, nouveaux, false);
    ASSERT_TRUE(
        zortest::PumpUntil([&] { return Registre().size() >= ZorTavlinObj::iTavlinMax; }, 10000));
    zortest::Pump(300);
    r = Registre();
    EXPECT_EQ(r.size(), ZorTavlinObj::iTavlinMax);
    EXPECT_EQ(LignesLog("ZorTavlinObj::AddTavlin registre plein (1024 consoles)"), 1u);
    // The devices already known are still updated at the bound.
    ASSERT_TRUE(e.Set(0, "name", "Renomme"));
    const std::string zMac0 = vrais.begin()->first;
    ASSERT_TRUE(zortest::PumpUntil(
        [&] {
            Hello();
            zortest::Pump(200);
            for (const auto& kv : Registre())
                if (kv.second.m_zNom == "Renomme")
                    return true;
            return false;
        },
        5000));
    EXPECT_EQ(Registre().size(), ZorTavlinObj::iTavlinMax);
}
