// Device answers and the configuration text, as bytes.
#include "network/ZorDiscoveryFormat.h"

#include <gtest/gtest.h>
#include <wx/tokenzr.h>

#include <set>

namespace {

const std::string kHuitLignes =
    "D\nTavlin-1\n00-1A-2B-3C-4D-5E\nSalle 2\nadmin\nsecret\nFFFFFF00C0A80101\n1\n";

} // namespace

TEST(DiscoveryAnswer, LineCountDecidesVersion)
{
    ZorReponseTavlin r;
    // Seven lines: not an answer.
    EXPECT_FALSE(ZorDecodeReponse("D\nn\nm\nc\nl\np\nFFFFFF00C0A80101\n", &r));
    EXPECT_FALSE(ZorDecodeReponse("", &r));

    ASSERT_TRUE(ZorDecodeReponse(kHuitLignes, &r));
    EXPECT_EQ(r.zType, "D");
    EXPECT_EQ(r.zNom, "Tavlin-1");
    EXPECT_EQ(r.zMAC, "00-1A-2B-3C-4D-5E");
    EXPECT_EQ(r.zCommentaire, "Salle 2");
    EXPECT_EQ(r.zLogin, "admin");
    EXPECT_EQ(r.zPwd, "secret");
    EXPECT_EQ(r.zMask, "255.255.255.0");
    EXPECT_EQ(r.zGateway, "192.168.1.1");
    EXPECT_TRUE(r.bDhcp);
    EXPECT_EQ(r.zVersion, "1");

    ASSERT_TRUE(ZorDecodeReponse(kHuitLignes + "2.3\n", &r));
    EXPECT_EQ(r.zVersion, "2.3");
    ASSERT_TRUE(ZorDecodeReponse(kHuitLignes + "2.3", &r));
    EXPECT_EQ(r.zVersion, "2.3");
    // Empty lines at the end are no lines at all; one in the middle is.
    ASSERT_TRUE(ZorDecodeReponse(kHuitLignes + "\n\n", &r));
    EXPECT_EQ(r.zVersion, "1");
    ASSERT_TRUE(ZorDecodeReponse(kHuitLignes + "2.4\n\n\n", &r));
    EXPECT_EQ(r.zVersion, "2.4");
    EXPECT_FALSE(ZorDecodeReponse("D\nn\nm\nc\nl\np\nFFFFFF00C0A80101\n\n\n", &r));
    ASSERT_TRUE(ZorDecodeReponse("D\nn\nm\nc\nl\np\nFFFFFF00C0A80101\n\n1.5", &r));
    EXPECT_FALSE(r.bDhcp);
    EXPECT_EQ(r.zVersion, "1.5");
    // A tenth line: the version is no longer trusted.
    ASSERT_TRUE(ZorDecodeReponse(kHuitLignes + "2.3\nx\n", &r));
    EXPECT_EQ(r.zVersion, "1");
    EXPECT_EQ(r.zLogin, "admin");
}

TEST(DiscoveryAnswer, TrimsCarriageReturnsAndKeepsInnerEmptyLines)
{
    ZorReponseTavlin r;
    ASSERT_TRUE(ZorDecodeReponse("A\r\nNom \r\nAA-BB\r\n\r\nlog\t\r\npw\r\n"
                                 "FFFF0000C0A80001\r\n0\r\n3.1 \r\n",
                                 &r));
    EXPECT_EQ(r.zType, "A");
    EXPECT_EQ(r.zNom, "Nom");
    EXPECT_EQ(r.zCommentaire, "");
    EXPECT_EQ(r.zLogin, "log");
    EXPECT_EQ(r.zPwd, "pw");
    EXPECT_EQ(r.zMask, "255.255.0.0");
    EXPECT_EQ(r.zGateway, "192.168.0.1");
    EXPECT_FALSE(r.bDhcp);
    EXPECT_EQ(r.zVersion, "3.1");

    // Leading blanks stay: only the right side is trimmed.
    ASSERT_TRUE(ZorDecodeReponse(" D\nn\nm\nc\nl\np\nFFFFFF00C0A80101\n 1\n", &r));
    EXPECT_EQ(r.zType, " D");
    EXPECT_FALSE(r.bDhcp);
}

TEST(DiscoveryAnswer, BadNetworkLineGivesEmptyParts)
{
    ZorReponseTavlin r;
    ASSERT_TRUE(ZorDecodeReponse("D\nn\nm\nc\nl\np\nFFFFFF00C0A801\n1\n", &r));
    EXPECT_EQ(r.zMask, "255.255.255.0");
    EXPECT_EQ(r.zGateway, "");
    ASSERT_TRUE(ZorDecodeReponse("D\nn\nm\nc\nl\np\nzzzzzzzzC0A80101\n1\n", &r));
    EXPECT_EQ(r.zMask, "");
    EXPECT_EQ(r.zGateway, "192.168.1.1");
    ASSERT_TRUE(ZorDecodeReponse("D\nn\nm\nc\nl\np\n\n1\n", &r));
    EXPECT_EQ(r.zMask, "");
    EXPECT_EQ(r.zGateway, "");
}

TEST(DiscoveryAnswer, SplittingMatchesTheToolkitTokenizer)
{
    // Every text over a small alphabet up to length 6 splits and trims as the toolkit's
    // tokenizer and right trim do.
    const char alphabet[] = {'a', '\n', '\r'};
    std::vector<std::string> textes{""};
    for (int len = 1; len <= 6; ++len) {
        std::vector<std::string> suivants;
        for (const std::string& t : textes)
            if (int(t.size()) == len - 1)
                for (char c : alphabet)
                    suivants.push_back(t + c);
        textes.insert(textes.end(), suivants.begin(), suivants.end());
    }
    for (const std::string& t : textes) {
        std::vector<std::string> attendu;
        wxStringTokenizer tk(wxString::FromAscii(t.c_str()), "\n", wxTOKEN_RET_EMPTY);
        while (tk.HasMoreTokens()) {
            wxString z = tk.GetNextToken();
            z.Trim(true);
            attendu.push_back(std::string(z.ToAscii()));
        }
        EXPECT_EQ(ZorDecoupeLignes(t), attendu) << "texte de " << t.size() << " octets";
    }
}

TEST(DiscoveryAnswer, DatagramTextStopsAtZeroAndLimit)
{
    const uint8_t avecZero[] = {'D', '\n', 0, 'x'};
    EXPECT_EQ(ZorTexteDatagramme(avecZero, sizeof(avecZero)), "D\n");
    std::vector<uint8_t> long_(1024, 'a');
    EXPECT_EQ(ZorTexteDatagramme(long_.data(), long_.size()).size(), 1023u);
    EXPECT_EQ(ZorTexteDatagramme(nullptr, 5), "");
    // High bytes are kept as they are.
    const uint8_t latin[] = {0xE9, 0xFF};
    EXPECT_EQ(ZorTexteDatagramme(latin, 2), std::string("\xE9\xFF"));
}

TEST(ConfigurationText, ExactBytes)
{
    std::string z;
    ASSERT_EQ(ZorTexteConfiguration("00-1A-2B-3C-4D-5E", "admin", "secret", "C0A80196", "FFFFFF00",
                                    "C0A80101", &z),
              ZOR_CONFIG_OK);
    EXPECT_EQ(z, "N;001A2B3C4D5E;admin;secret;C0A80196;FFFFFF00;C0A80101;0;");
    // Empty login and password keep their places.
    ASSERT_EQ(ZorTexteConfiguration("AA-BB", "", "", "0A000001", "FF000000", "00000000", &z),
              ZOR_CONFIG_OK);
    EXPECT_EQ(z, "N;AABB;;;0A000001;FF000000;00000000;0;");
    // Bytes above 127 pass unchanged.
    ASSERT_EQ(ZorTexteConfiguration("AA", "\xE9t\xE9", "p", "0A000001", "FF000000", "00000000", &z),
              ZOR_CONFIG_OK);
    EXPECT_EQ(z, "N;AA;\xE9t\xE9;p;0A000001;FF000000;00000000;0;");
}

TEST(ConfigurationText, RefusesWhatADeviceWouldMisread)
{
    // The fixed part around login and password is 2 + 12 + 1 + 1 + 1 + 3*9 + 2 = 46 bytes.
    const std::string zMac = "00-1A-2B-3C-4D-5E";
    std::string z = "inchange";
    std::string login(1023 - 46 - 1, 'l');
    ASSERT_EQ(ZorTexteConfiguration(zMac, login, "p", "C0A80196", "FFFFFF00", "C0A80101", &z),
              ZOR_CONFIG_OK);
    EXPECT_EQ(z.size(), 1023u);
    z = "inchange";
    EXPECT_EQ(ZorTexteConfiguration(zMac, login + "l", "p", "C0A80196", "FFFFFF00", "C0A80101", &z),
              ZOR_CONFIG_TROP_LONG);
    EXPECT_EQ(z, "inchange");

    for (const std::string& mauvais :
         {std::string("a;b"), std::string("a\nb"), std::string("a\rb"), std::string("a\0b", 3)}) {
        EXPECT_EQ(ZorTexteConfiguration(zMac, mauvais, "p", "C0A80196", "FFFFFF00", "C0A80101", &z),
                  ZOR_CONFIG_SEPARATEUR);
        EXPECT_EQ(ZorTexteConfiguration(zMac, "l", mauvais, "C0A80196", "FFFFFF00", "C0A80101", &z),
                  ZOR_CONFIG_SEPARATEUR);
    }
    EXPECT_EQ(ZorTexteConfiguration("00;1A", "l", "p", "C0A80196", "FFFFFF00", "C0A80101", &z),
              ZOR_CONFIG_SEPARATEUR);
    EXPECT_EQ(z, "inchange");
}

TEST(ConfigurationText, CandidateAddresses)
{
    const uint8_t reseau24[4] = {192, 168, 1, 0}, masque24[4] = {255, 255, 255, 0};
    std::set<int> vus;
    for (int v = 150; v <= 253; ++v) {
        const uint8_t aleatoire[4] = {uint8_t(v), 201, 17, uint8_t(v)};
        uint8_t c[4];
        ASSERT_TRUE(ZorCandidatAdresse(reseau24, masque24, aleatoire, c));
        EXPECT_EQ(c[0], 192);
        EXPECT_EQ(c[1], 168);
        EXPECT_EQ(c[2], 1);
        vus.insert(c[3]);
    }
    EXPECT_EQ(vus.size(), 104u);
    EXPECT_EQ(*vus.begin(), 150);
    EXPECT_EQ(*vus.rbegin(), 253);

    // A /30 has two usable hosts: random values landing on the network or broadcast address
    // are refused.
    const uint8_t reseau30[4] = {10, 0, 0, 4}, masque30[4] = {255, 255, 255, 252};
    int acceptes = 0;
    for (int v = 150; v <= 253; ++v) {
        const uint8_t aleatoire[4] = {0, 0, 0, uint8_t(v)};
        uint8_t c[4];
        if (ZorCandidatAdresse(reseau30, masque30, aleatoire, c)) {
            ++acceptes;
            EXPECT_TRUE(c[3] == 5 || c[3] == 6) << int(c[3]);
        }
    }
    EXPECT_GT(acceptes, 0);

    // No host bits: no candidate ever.
    const uint8_t masque32[4] = {255, 255, 255, 255};
    const uint8_t aleatoire[4] = {150, 151, 152, 153};
    uint8_t c[4];
    EXPECT_FALSE(ZorCandidatAdresse(reseau24, masque32, aleatoire, c));

    // Host bits spread over several octets (/16): both octets come from the random values.
    const uint8_t reseau16[4] = {172, 16, 0, 0}, masque16[4] = {255, 255, 0, 0};
    const uint8_t alea16[4] = {200, 200, 160, 170};
    ASSERT_TRUE(ZorCandidatAdresse(reseau16, masque16, alea16, c));
    EXPECT_EQ(c[0], 172);
    EXPECT_EQ(c[1], 16);
    EXPECT_EQ(c[2], 160);
    EXPECT_EQ(c[3], 170);
}

TEST(DiscoveryAnswer, OnlyWellFormedAnswersPass)
{
    // Each case changes one line of a good nine-line answer (index, new text).
    const std::vector<std::string> bonnes = {"D",     "Tavlin-1", "00-1a-2B-3c-4D-5E", "Salle 2",
                                             "admin", "secret",   "FFFFFF00C0A80101",  "1",
                                             "2.3"};
    struct Cas
    {
        size_t iLigne;
        std::string zTexte;
        ZorQualiteReponse attendu;
    };
    const Cas cas[] = {
        {0, "D", ZOR_REPONSE_OK},
        {0, "M", ZOR_REPONSE_OK},
        {0, "X", ZOR_REPONSE_AUTRE},
        {2, "00:1A:2B:3C:4D:5E", ZOR_REPONSE_OK},
        {2, "", ZOR_REPONSE_MAC},
        {2, "Bogus", ZOR_REPONSE_MAC},
        {2, "../../etc", ZOR_REPONSE_MAC},
        {2, "00-1A-2B-3C-4D-5E-6F", ZOR_REPONSE_MAC},
        {2, "00-1A:2B-3C-4D-5E", ZOR_REPONSE_MAC},
        {2, "00-1A-2B-3C-4D-5G", ZOR_REPONSE_MAC},
        {2, "001A2B3C4D5E", ZOR_REPONSE_MAC},
        {2, std::string(600, 'A'), ZOR_REPONSE_MAC},
        // A mask and gateway line the protocol reads in parts (see NetworkLineReadInParts).
        {6, "FFFFFF00C0A8010", ZOR_REPONSE_OK},
        {6, "FFFFFF00C0A80101FF", ZOR_REPONSE_OK},
        {6, "FFFFFF00C0A8010Z", ZOR_REPONSE_OK},
        {1, "", ZOR_REPONSE_OK},
        {3, "", ZOR_REPONSE_OK},
        {4, "", ZOR_REPONSE_OK},
        {5, "", ZOR_REPONSE_OK},
        {1, std::string(32, 'n'), ZOR_REPONSE_OK},
        {1, std::string(33, 'n'), ZOR_REPONSE_LONGUEUR},
        {3, std::string(64, 'c'), ZOR_REPONSE_OK},
        {3, std::string(65, 'c'), ZOR_REPONSE_LONGUEUR},
        {4, std::string(33, 'l'), ZOR_REPONSE_LONGUEUR},
        {5, std::string(33, 'p'), ZOR_REPONSE_LONGUEUR},
        {8, std::string(32, 'v'), ZOR_REPONSE_OK},
        {8, std::string(900, 'v'), ZOR_REPONSE_LONGUEUR},
        {1, "Caf\xE9 %n", ZOR_REPONSE_OK},
        {1,
         "a\x01"
         "b",
         ZOR_REPONSE_CARACTERE},
        {3, "a\tb", ZOR_REPONSE_CARACTERE},
        {4, "x\x7F", ZOR_REPONSE_CARACTERE},
        {5, "x\x85", ZOR_REPONSE_CARACTERE},
        {5, "a;b", ZOR_REPONSE_CARACTERE},
        {8, "2\x1B[0m", ZOR_REPONSE_CARACTERE},
    };
    for (const Cas& c : cas) {
        std::vector<std::string> lignes = bonnes;
        lignes[c.iLigne] = c.zTexte;
        std::string zTexte;
        for (const std::string& l : lignes)
            zTexte += l + "\n";
        ZorReponseTavlin r;
        EXPECT_EQ(ZorLitReponse(zTexte, &r), c.attendu) << c.iLigne << ": " << c.zTexte;
        if (c.attendu == ZOR_REPONSE_OK) {
            EXPECT_EQ(r.zMAC, "00-1A-2B-3C-4D-5E");
        }
    }

    // Line counts: seven is no answer; past nine the version is "1" (and its line unchecked);
    // hundreds of lines are refused.
    std::string zHuit;
    for (size_t i = 0; i < 8; ++i)
        zHuit += bonnes[i] + "\n";
    ZorReponseTavlin r;
    EXPECT_EQ(ZorLitReponse(zHuit.substr(0, zHuit.rfind("1\n")), &r), ZOR_REPONSE_AUTRE);
    EXPECT_EQ(ZorLitReponse(zHuit + "\x01\nx\n", &r), ZOR_REPONSE_OK);
    EXPECT_EQ(r.zVersion, "1");
    std::string zLongue = zHuit;
    for (int i = 0; i < 300; ++i)
        zLongue += "x\n";
    EXPECT_EQ(ZorLitReponse(zLongue, &r), ZOR_REPONSE_LIGNES);
    EXPECT_EQ(ZorLitReponse(std::string(zHuit.c_str(), 12), &r), ZOR_REPONSE_AUTRE);
}

namespace {

// A nine-line answer with the given lines replaced (index, text), and how the check reads it.
const std::vector<std::string> kNeuf = {"D",     "Tavlin-1", "00-1A-2B-3C-4D-5E", "Salle 2",
                                        "admin", "secret",   "FFFFFF00C0A80101",  "1",
                                        "2.3"};
std::string Texte(const std::vector<std::string>& lignes)
{
    std::string z;
    for (const std::string& l : lignes)
        z += l + "\n";
    return z;
}
ZorQualiteReponse Lire(size_t iLigne, const std::string& zLigne, ZorReponseTavlin* r)
{
    std::vector<std::string> lignes = kNeuf;
    lignes[iLigne] = zLigne;
    return ZorLitReponse(Texte(lignes), r);
}

} // namespace

// Each rule of the answer format in one table: what a device may send is accepted and read as
// the protocol says; only what it cannot read is refused.
TEST(DiscoveryAnswerRules, TypeLine)
{
    const struct
    {
        const char* zType;
        ZorQualiteReponse attendu;
    } cas[] = {
        {"A", ZOR_REPONSE_OK},     {"D", ZOR_REPONSE_OK},    {"M", ZOR_REPONSE_OK},
        {"D \r", ZOR_REPONSE_OK}, // trimmed on the right
        {" D", ZOR_REPONSE_AUTRE}, {"d", ZOR_REPONSE_AUTRE}, {"DA", ZOR_REPONSE_AUTRE},
        {"N", ZOR_REPONSE_AUTRE},  {"", ZOR_REPONSE_AUTRE},
    };
    for (const auto& c : cas) {
        ZorReponseTavlin r;
        EXPECT_EQ(Lire(0, c.zType, &r), c.attendu) << c.zType;
    }
}

TEST(DiscoveryAnswerRules, LineCountDecidesVersion)
{
    const std::string z8 = Texte({kNeuf.begin(), kNeuf.begin() + 8});
    const std::string x7 = "x\nx\nx\nx\nx\nx\nx\n";
    const struct
    {
        std::string zTexte;
        ZorQualiteReponse attendu;
        const char* zVersion;
    } cas[] = {
        {z8.substr(0, z8.size() - 2), ZOR_REPONSE_AUTRE, ""}, // seven lines
        {z8, ZOR_REPONSE_OK, "1"},
        {z8 + "\n\n\r\n", ZOR_REPONSE_OK, "1"}, // empty lines at the end are no lines
        {z8 + "2.3", ZOR_REPONSE_OK, "2.3"},    // no line feed after the last line
        {z8 + "2.3\r\n\n", ZOR_REPONSE_OK, "2.3"},
        {z8 + "  \n", ZOR_REPONSE_OK, ""}, // a ninth line of blanks: an empty version
        {z8 + std::string(32, 'v'), ZOR_REPONSE_OK, "vvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvv"},
        {z8 + std::string(33, 'v'), ZOR_REPONSE_LONGUEUR, ""},
        {z8 + "2.3\nx\n", ZOR_REPONSE_OK, "1"},     // ten lines: extra lines ignored, version "1"
        {z8 + "\x1b\n\x01\n", ZOR_REPONSE_OK, "1"}, // and the unused lines are not read
        {z8 + std::string(33, 'v') + "\nx\n", ZOR_REPONSE_OK, "1"},
        {z8 + "2.3\n" + x7, ZOR_REPONSE_OK, "1"},            // sixteen lines
        {z8 + "2.3\n" + x7 + "x\n", ZOR_REPONSE_LIGNES, ""}, // seventeen
    };
    for (const auto& c : cas) {
        ZorReponseTavlin r;
        ASSERT_EQ(ZorLitReponse(c.zTexte, &r), c.attendu) << c.zTexte;
        if (c.attendu == ZOR_REPONSE_OK) {
            EXPECT_EQ(r.zVersion, c.zVersion) << c.zTexte;
        }
    }
}

TEST(DiscoveryAnswerRules, NetworkLineReadInParts)
{
    // The first eight characters give the mask, the next eight the gateway; a part that is not
    // eight hexadecimal digits gives an empty text and the device is still registered, with
    // its ninth line as version.
    const struct
    {
        std::string zLigne;
        ZorQualiteReponse attendu;
        const char* zMask;
        const char* zGateway;
    } cas[] = {
        {"FFFFFF00C0A80101", ZOR_REPONSE_OK, "255.255.255.0", "192.168.1.1"},
        {"ffffff00c0a80101", ZOR_REPONSE_OK, "255.255.255.0", "192.168.1.1"},
        {"FFFFFF00C0A8", ZOR_REPONSE_OK, "255.255.255.0", ""},
        {"FFFFFF00", ZOR_REPONSE_OK, "255.255.255.0", ""},
        {"FFFFFF00C0A80101FF", ZOR_REPONSE_OK, "255.255.255.0", "192.168.1.1"},
        {"FFFFFF0", ZOR_REPONSE_OK, "", ""},
        {"", ZOR_REPONSE_OK, "", ""},
        {"zzzzzzzzC0A80101", ZOR_REPONSE_OK, "", "192.168.1.1"},
        {"FFFFFF00 C0A8010", ZOR_REPONSE_OK, "255.255.255.0", ""},
        {std::string(32, 'F'), ZOR_REPONSE_OK, "255.255.255.255", "255.255.255.255"},
        {std::string(33, 'F'), ZOR_REPONSE_LONGUEUR, "", ""},
        {"FFFFFF00\x01"
         "0A80101",
         ZOR_REPONSE_CARACTERE, "", ""},
    };
    for (const auto& c : cas) {
        ZorReponseTavlin r;
        ASSERT_EQ(Lire(6, c.zLigne, &r), c.attendu) << c.zLigne;
        if (c.attendu != ZOR_REPONSE_OK)
            continue;
        EXPECT_EQ(r.zMask, c.zMask) << c.zLigne;
        EXPECT_EQ(r.zGateway, c.zGateway) << c.zLigne;
        EXPECT_EQ(r.zVersion, "2.3") << c.zLigne;
        EXPECT_EQ(r.zMAC, "00-1A-2B-3C-4D-5E") << c.zLigne;
    }
}

TEST(DiscoveryAnswerRules, DhcpLineIsOneOrNot)
{
    const struct
    {
        std::string zLigne;
        ZorQualiteReponse attendu;
        bool bDhcp;
    } cas[] = {
        {"1", ZOR_REPONSE_OK, true},
        {"1 \r", ZOR_REPONSE_OK, true},
        {"0", ZOR_REPONSE_OK, false},
        {"", ZOR_REPONSE_OK, false},
        {"01", ZOR_REPONSE_OK, false},
        {" 1", ZOR_REPONSE_OK, false},
        {"oui", ZOR_REPONSE_OK, false},
        {std::string(32, '1'), ZOR_REPONSE_OK, false},
        {std::string(33, '1'), ZOR_REPONSE_LONGUEUR, false},
        {"1\x7f", ZOR_REPONSE_CARACTERE, false},
    };
    for (const auto& c : cas) {
        ZorReponseTavlin r;
        ASSERT_EQ(Lire(7, c.zLigne, &r), c.attendu) << c.zLigne;
        if (c.attendu == ZOR_REPONSE_OK) {
            EXPECT_EQ(r.bDhcp, c.bDhcp) << c.zLigne;
        }
    }
}
