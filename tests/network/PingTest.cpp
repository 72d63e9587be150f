// Echo requests: the request bytes, reply matching, error texts, argument rules, and real
// echoes over the loopback.
#include "network/ZorPing.h"
#include "platform/ZorPlatform.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

// Reaches the echo object's internals.
class ZorPingTestAcces
{
public:
    static void Requete(ZorPing& p, uint8_t* buf, uint16_t id, const char* zDest)
    {
        p.m_iAdresse = inet_addr(zDest);
        p.Requete_ICMP(buf, id);
    }
    static int Decode(ZorPing& p, const std::vector<uint8_t>& paquet, const char* zSource,
                      uint16_t id)
    {
        return p.Decode_resp(paquet.data(), int(paquet.size()), inet_addr(zSource), id);
    }
    static int Completes(const ZorPing& p) { return p.m_iCompletes; }
};

namespace {

std::vector<uint8_t> EnTeteIP(const char* zSource, const char* zDest, size_t iOptions = 0)
{
    std::vector<uint8_t> h(20 + iOptions, 0);
    h[0] = uint8_t(0x40 | ((20 + iOptions) / 4));
    h[8] = 64;
    h[9] = 1;
    uint32_t s = inet_addr(zSource), d = inet_addr(zDest);
    memcpy(&h[12], &s, 4);
    memcpy(&h[16], &d, 4);
    return h;
}

// An echo reply to a request: the request with its type changed, after an IP header.
std::vector<uint8_t> Reponse(const uint8_t* requete, const char* zSource, size_t iOptions = 0)
{
    std::vector<uint8_t> p = EnTeteIP(zSource, "127.0.0.1", iOptions);
    p.insert(p.end(), requete, requete + 16);
    p[p.size() - 16] = 0;
    return p;
}

// An error answer from zSource quoting the request as it left for zDest.
std::vector<uint8_t> Erreur(uint8_t iType, uint8_t iCode, const uint8_t* requete, const char* zDest,
                            const char* zSource)
{
    std::vector<uint8_t> p = EnTeteIP(zSource, "192.168.77.1");
    const uint8_t icmp[8] = {iType, iCode, 0, 0, 0, 0, 0, 0};
    p.insert(p.end(), icmp, icmp + 8);
    std::vector<uint8_t> cite = EnTeteIP("192.168.77.1", zDest);
    p.insert(p.end(), cite.begin(), cite.end());
    p.insert(p.end(), requete, requete + 8);
    return p;
}

} // namespace

TEST(Ping, RequestBytesAndChecksum)
{
    ZorPing p;
    uint8_t req[16];
    ZorPingTestAcces::Requete(p, req, 0x1234, "127.0.0.1");
    EXPECT_EQ(req[0], 8);
    EXPECT_EQ(req[1], 0);
    uint16_t id, seq;
    memcpy(&id, req + 4, 2);
    memcpy(&seq, req + 6, 2);
    EXPECT_EQ(id, 0x1234);
    EXPECT_EQ(seq, 1);
    for (int i = 12; i < 16; ++i)
        EXPECT_EQ(req[i], 0);
    // A finished request verifies: its checksum over all 16 bytes is zero.
    EXPECT_EQ(ZorPing::Checksum(reinterpret_cast<const uint16_t*>(req), 16), 0);

    // The worked example of RFC 1071 (bytes 00 01 f2 03 f4 f5 f6 f7): sum ddf2 in network order.
    const uint8_t exemple[8] = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
    uint16_t c = ZorPing::Checksum(reinterpret_cast<const uint16_t*>(exemple), 8);
    EXPECT_EQ(ntohs(c), uint16_t(~0xddf2));
    // An odd trailing byte counts as itself (the low byte of a little-endian word).
    const uint8_t impair[3] = {0x00, 0x00, 0x05};
    EXPECT_EQ(ZorPing::Checksum(reinterpret_cast<const uint16_t*>(impair), 3), uint16_t(~0x0005));
    EXPECT_EQ(ZorPing::Checksum(reinterpret_cast<const uint16_t*>(impair), 0), 0xFFFF);
}

TEST(Ping, ReplyMatching)
{
    ZorPing p;
    uint8_t req[16];
    ZorPingTestAcces::Requete(p, req, 0x4242, "127.0.0.1");

    // Our request seen coming back on the raw socket is not an answer.
    std::vector<uint8_t> requeteVue = EnTeteIP("127.0.0.1", "127.0.0.1");
    requeteVue.insert(requeteVue.end(), req, req + 16);
    EXPECT_EQ(ZorPingTestAcces::Decode(p, requeteVue, "127.0.0.1", 0x4242), 0);
    // Another identifier, another host, a stale tick count: not ours.
    EXPECT_EQ(ZorPingTestAcces::Decode(p, Reponse(req, "127.0.0.1"), "127.0.0.1", 0x4243), 0);
    EXPECT_EQ(ZorPingTestAcces::Decode(p, Reponse(req, "127.0.0.9"), "127.0.0.9", 0x4242), 0);
    std::vector<uint8_t> ancienne = Reponse(req, "127.0.0.1");
    ancienne[20 + 8] ^= 0xFF;
    EXPECT_EQ(ZorPingTestAcces::Decode(p, ancienne, "127.0.0.1", 0x4242), 0);
    // Truncated packets and a header length below 20 are refused.
    std::vector<uint8_t> court = Reponse(req, "127.0.0.1");
    court.resize(27);
    EXPECT_EQ(ZorPingTestAcces::Decode(p, court, "127.0.0.1", 0x4242), 0);
    std::vector<uint8_t> enTeteFaux = Reponse(req, "127.0.0.1");
    enTeteFaux[0] = 0x44;
    EXPECT_EQ(ZorPingTestAcces::Decode(p, enTeteFaux, "127.0.0.1", 0x4242), 0);
    EXPECT_EQ(ZorPingTestAcces::Completes(p), 0);

    // The reply, also behind an IP header with options.
    EXPECT_EQ(ZorPingTestAcces::Decode(p, Reponse(req, "127.0.0.1"), "127.0.0.1", 0x4242), 1);
    EXPECT_EQ(ZorPingTestAcces::Decode(p, Reponse(req, "127.0.0.1", 8), "127.0.0.1", 0x4242), 1);
    EXPECT_EQ(ZorPingTestAcces::Completes(p), 2);
}

TEST(Ping, ErrorAnswersAboutOurRequest)
{
    ZorPing p;
    uint8_t req[16];
    const char* dest = "192.168.77.77";
    ZorPingTestAcces::Requete(p, req, 0x0707, dest);
    // From the destination itself: some host holds the address.
    EXPECT_EQ(ZorPingTestAcces::Decode(p, Erreur(3, 3, req, dest, dest), dest, 0x0707), 1);
    EXPECT_EQ(ZorPingTestAcces::Decode(p, Erreur(12, 0, req, dest, dest), dest, 0x0707), 1);
    // A router's or our own stack's verdict is no answer from the destination.
    EXPECT_EQ(ZorPingTestAcces::Decode(p, Erreur(3, 1, req, dest, "192.168.77.1"), "192.168.77.1",
                                       0x0707),
              0);
    EXPECT_EQ(ZorPingTestAcces::Decode(p, Erreur(11, 0, req, dest, "192.168.77.254"),
                                       "192.168.77.254", 0x0707),
              0);
    // About another request or another destination, or a type without a quoted request.
    EXPECT_EQ(ZorPingTestAcces::Decode(p, Erreur(3, 3, req, dest, dest), dest, 0x0708), 0);
    EXPECT_EQ(ZorPingTestAcces::Decode(p, Erreur(3, 3, req, "192.168.77.78", dest), dest, 0x0707),
              0);
    EXPECT_EQ(ZorPingTestAcces::Decode(p, Erreur(13, 0, req, dest, dest), dest, 0x0707), 0);
    std::vector<uint8_t> tronque = Erreur(3, 3, req, dest, dest);
    tronque.resize(tronque.size() - 4);
    EXPECT_EQ(ZorPingTestAcces::Decode(p, tronque, dest, 0x0707), 0);
    EXPECT_EQ(ZorPingTestAcces::Completes(p), 2);
}

TEST(Ping, ErrorTexts)
{
    ZorPing p;
    ASSERT_TRUE(ZorPing::gbInit);
    EXPECT_EQ(ZorPing::zErreur3.GetCount(), 16u);
    EXPECT_EQ(ZorPing::zErreur4.GetCount(), 1u);
    EXPECT_EQ(ZorPing::zErreur5.GetCount(), 4u);
    EXPECT_EQ(ZorPing::zErreur11.GetCount(), 2u);
    EXPECT_EQ(ZorPing::zErreur12.GetCount(), 2u);
    EXPECT_EQ(ZorPing::zErreur3[0], wxString::FromUTF8("Réseau inaccessible"));
    EXPECT_EQ(ZorPing::zErreur3[10], "Machine de destnation administrativement interdite");
    EXPECT_EQ(ZorPing::zErreur3[15], wxString::FromUTF8("Coupure de la précédence en action"));
    EXPECT_EQ(ZorPing::TexteErreur(4, 0), wxString::FromUTF8("Débit trop élevé"));
    EXPECT_EQ(ZorPing::TexteErreur(12, 1), "Option requise manquante");
    EXPECT_EQ(ZorPing::TexteErreur(9, 0), "Erreur inconnue\n");
    EXPECT_EQ(ZorPing::TexteErreur(3, 16), "Erreur inconnue\n");
    EXPECT_EQ(ZorPing::TexteErreur(5, -1), "Erreur inconnue\n");
    // A second object does not fill the tables again.
    ZorPing q;
    EXPECT_EQ(ZorPing::zErreur3.GetCount(), 16u);
}

TEST(Ping, ArgumentRules)
{
    ZorPing p;
    int c = 7, l = 7;
    wxArrayString vide;
    EXPECT_EQ(p.Ping(vide, &c, &l), -1);
    EXPECT_EQ(c, 0);
    EXPECT_EQ(l, 0);

    wxArrayString aide;
    aide.Add("/?");
    aide.Add("127.0.0.1");
    c = l = 7;
    EXPECT_EQ(p.Ping(aide, &c, &l), -1);
    EXPECT_EQ(c, 0);
    EXPECT_EQ(l, 0);

    wxArrayString inconnu;
    inconnu.Add("-n");
    inconnu.Add("1");
    inconnu.Add("hote.invalid");
    c = l = 7;
    EXPECT_EQ(p.Ping(inconnu, &c, &l), -1);
    EXPECT_EQ(c, 0);
    EXPECT_EQ(l, 0);

    // Null count pointers are allowed.
    EXPECT_EQ(p.Ping(vide, nullptr, nullptr), -1);
}

TEST(Ping, LoopbackAnswersEveryRequest)
{
    ZorPlatform::SocketEcho s;
    ASSERT_TRUE(s.Ouvrir()) << "no ICMP socket of either kind";
    s.Fermer();

    ZorPing p;
    wxArrayString args;
    for (const char* a : {"-n", "3", "-w", "500", "127.0.0.1"})
        args.Add(a);
    int c = 0, l = 0;
    const uint32_t t0 = ZorPlatform::TempsMs();
    ASSERT_EQ(p.Ping(args, &c, &l), 0);
    const uint32_t duree = ZorPlatform::TempsMs() - t0;
    EXPECT_EQ(c, 3);
    EXPECT_EQ(l, 0);
    // Two one-second pauses, answers at once.
    EXPECT_GE(duree, 1900u);
}

TEST(Ping, DefaultsForZeroCountAndWait)
{
    // Nothing routes 10.9.9.9 in the isolated network: every request is lost after its wait.
    ZorPing p;
    wxArrayString args;
    for (const char* a : {"-n", "0", "-w", "0", "-a", "10.9.9.9"})
        args.Add(a);
    int c = 0, l = 0;
    const uint32_t t0 = ZorPlatform::TempsMs();
    ASSERT_EQ(p.Ping(args, &c, &l), 0);
    const uint32_t duree = ZorPlatform::TempsMs() - t0;
    // Four requests of 1000 ms and three pauses of one second.
    EXPECT_EQ(c, 4);
    EXPECT_EQ(l, 4);
    EXPECT_GE(duree, 6900u);

    // "-t" asks for a bounded run; a later "-n" still sets the count.
    wxArrayString t;
    for (const char* a : {"-t", "-n", "1", "-w", "100", "127.0.0.1"})
        t.Add(a);
    ASSERT_EQ(p.Ping(t, &c, &l), 0);
    EXPECT_EQ(c, 1);
    EXPECT_EQ(l, 0);
}

TEST(Ping, UnprivilegedEchoSocket)
{
    // Allow echo sockets to every group in this private network, then ping as nobody: the
    // raw socket is refused, and the datagram socket, whose identifier the system chooses,
    // must still match the replies.
    FILE* f = fopen("/proc/sys/net/ipv4/ping_group_range", "w");
    ASSERT_NE(f, nullptr);
    fputs("0 2147483647", f);
    ASSERT_EQ(fclose(f), 0);

    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(100);
        ZorPlatform::SocketEcho s;
        if (!s.Ouvrir())
            _exit(101);
        if (s.IsBrut())
            _exit(102);
        s.Fermer();
        ZorPing p;
        wxArrayString args;
        for (const char* a : {"-n", "2", "-w", "500", "127.0.0.1"})
            args.Add(a);
        int c = 0, l = 0;
        if (p.Ping(args, &c, &l) != 0)
            _exit(103);
        _exit(c * 10 + l);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 20) << "2 completed, 0 lost expected";
}
