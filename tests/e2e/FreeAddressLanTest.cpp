// The default free-address test against the test network's LAN side: a host that ignores echo
// requests is still found by the neighbour table, and an address nobody holds stays free.
#include "network/ZorRechercheAdresse.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// Makes the first LAN namespace's hosts ignore (or answer again) every echo request.
bool IgnorerEchos(bool bIgnorer)
{
    const char* zNs = std::getenv("TAVLIN_NS_LAN1");
    if (!zNs)
        return false;
    const std::string zCommande =
        std::string("ip netns exec ") + zNs +
        " sysctl -qw net.ipv4.icmp_echo_ignore_all=" + (bIgnorer ? "1" : "0");
    return std::system(zCommande.c_str()) == 0;
}

} // namespace

TEST(FreeAddressLan, AHostThatIgnoresEchoRequestsIsFoundHeld)
{
    using V = ZorRechercheAdresse::Verdict;
    const std::atomic<bool> bArret{false};
    const std::string zHote = "192.168.77.253"; // the LAN side of the first adapter
    ASSERT_TRUE(IgnorerEchos(true));
    const V echo = ZorRechercheAdresse::TestEcho(zHote, bArret);
    const V voisin = ZorRechercheAdresse::TestVoisin(zHote, bArret);
    const V tout = ZorRechercheAdresse::TestAdresse(zHote, bArret);
    ASSERT_TRUE(IgnorerEchos(false));
    EXPECT_EQ(echo.e, V::Libre) << "the host answers no echo";
    EXPECT_EQ(voisin.e, V::Occupee) << "but it answers address resolution";
    EXPECT_EQ(tout.e, V::Occupee);
    // Answering again, it is held by the echo alone; nobody holds .200.
    EXPECT_EQ(ZorRechercheAdresse::TestEcho(zHote, bArret).e, V::Occupee);
    EXPECT_EQ(ZorRechercheAdresse::TestAdresse("192.168.77.200", bArret).e, V::Libre);
}
