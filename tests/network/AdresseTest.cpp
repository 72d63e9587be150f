// IPv4 address values: dotted parsing, masking, network comparison and the hexadecimal form.
#include "network/ZorAdresseIP.h"
#include "network/ZorDiscoveryFormat.h"

#include <gtest/gtest.h>

namespace {

wxString Parse(const char* z)
{
    return ZorAdresseIP(wxString(z)).ToString();
}

} // namespace

TEST(AdresseIP, DottedParsingKeepsFourTokensAndLowBits)
{
    EXPECT_EQ(Parse("192.168.1.10"), "192.168.1.10");
    // Fewer than four parts: no address at all.
    EXPECT_EQ(Parse("10.0.0"), "0.0.0.0");
    EXPECT_EQ(Parse("a.b.c"), "0.0.0.0");
    EXPECT_EQ(Parse(""), "0.0.0.0");
    EXPECT_EQ(Parse("10.0.0."), "0.0.0.0");
    // Extra parts are ignored; out-of-range parts keep their low 8 bits.
    EXPECT_EQ(Parse("10.0.0.1.7"), "10.0.0.1");
    EXPECT_EQ(Parse("256.1.1.1"), "0.1.1.1");
    EXPECT_EQ(Parse("300.1.1.1"), "44.1.1.1");
    EXPECT_EQ(Parse("-1.1.1.1"), "255.1.1.1");
    // atoi rules per part: blanks and a sign before, stop at the first other character.
    EXPECT_EQ(Parse(" 1.+2.3x.4 5"), "1.2.3.4");
    EXPECT_EQ(Parse("..1.2"), "0.0.1.2");
    // A huge number must not overflow into nonsense: its low bits are 99999999999 mod 256.
    EXPECT_EQ(Parse("99999999999.0.0.1"), "255.0.0.1");
}

TEST(AdresseIP, ValueOperations)
{
    ZorAdresseIP vide;
    EXPECT_TRUE(vide.IsNull());
    EXPECT_EQ(vide.ToString(), "0.0.0.0");

    ZorAdresseIP a(wxString("192.168.77.201"));
    ZorAdresseIP copie(a);
    EXPECT_TRUE(copie == a);
    copie.Mask(ZorAdresseIP(wxString("255.255.255.0")));
    EXPECT_EQ(copie.ToString(), "192.168.77.0");
    EXPECT_TRUE(copie != a);
    vide = a;
    EXPECT_EQ(vide.ToString(), "192.168.77.201");
    EXPECT_FALSE(vide.IsNull());
    a.Set("garbage");
    EXPECT_TRUE(a.IsNull());
}

TEST(AdresseIP, SameNetwork)
{
    EXPECT_TRUE(ZorAdresseIP::IsSameReseau("192.168.1.20", "192.168.1.200", "255.255.255.0"));
    EXPECT_FALSE(ZorAdresseIP::IsSameReseau("192.168.1.20", "192.168.1.200", "255.255.255.128"));
    // An unparsable mask masks everything away.
    EXPECT_TRUE(ZorAdresseIP::IsSameReseau("192.168.1.20", "10.0.0.1", ""));
    EXPECT_FALSE(ZorAdresseIP::IsSameReseau("10.0.0.5", "192.168.1.20", "255.255.255.0"));
}

TEST(AdresseIP, HexadecimalForm)
{
    std::string z = "inchange";
    EXPECT_TRUE(ZorHexaVersPointee("C0A80114", &z));
    EXPECT_EQ(z, "192.168.1.20");
    EXPECT_TRUE(ZorHexaVersPointee("ffffff00", &z));
    EXPECT_EQ(z, "255.255.255.0");

    // Anything but exactly eight hex digits leaves the result alone.
    z = "inchange";
    for (const char* bad :
         {"C0A8011", "C0A801145", "", "C0A8011G", " C0A8011", "+1A80114", "0xA80114"}) {
        EXPECT_FALSE(ZorHexaVersPointee(bad, &z)) << bad;
        EXPECT_EQ(z, "inchange") << bad;
    }
    EXPECT_FALSE(ZorHexaVersPointee("C0A80114", nullptr));

    const uint8_t octets[4] = {192, 168, 1, 20};
    EXPECT_EQ(ZorOctetsVersHexa(octets), "C0A80114");
    const uint8_t petits[4] = {0, 10, 255, 1};
    EXPECT_EQ(ZorOctetsVersHexa(petits), "000AFF01");
    // The two forms are inverse over every octet value.
    for (int v = 0; v < 256; ++v) {
        const uint8_t o[4] = {uint8_t(v), uint8_t(255 - v), uint8_t(v ^ 0x5A), 7};
        std::string pointee;
        ASSERT_TRUE(ZorHexaVersPointee(ZorOctetsVersHexa(o), &pointee));
        const ZorAdresseIP a{wxString(pointee)};
        EXPECT_TRUE(a.GetOctet(0) == o[0] && a.GetOctet(1) == o[1] && a.GetOctet(2) == o[2]);
    }
}
