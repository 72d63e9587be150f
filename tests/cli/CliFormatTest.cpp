// The command-line program's pure parts: its JSON writer (what programs parse) and the reading
// of its command line (what scripts pass).
#include "cli/ZorCliCommande.h"
#include "cli/ZorCliDescription.h"
#include "cli/ZorCliJson.h"
#include "cli/ZorCliOutils.h"
#include "infra/ZorConfiguration.h"
#include "infra/ZorUtile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

TEST(CliJson, TextsAreEscapedToPlainAscii)
{
    const struct
    {
        std::string in, out;
    } cas[] = {
        {"", "\"\""},
        {"a\"b\\c/", "\"a\\\"b\\\\c/\""},
        {"l1\nl2\r\t", "\"l1\\nl2\\r\\t\""},
        {std::string("\x01\x1f\x7f", 3), "\"\\u0001\\u001f\\u007f\""},
        {std::string("a\0b", 3), "\"a\\u0000b\""},
        {"été", "\"\\u00e9t\\u00e9\""},
        {"€", "\"\\u20ac\""},
        {"\xF0\x9F\x98\x80", "\"\\ud83d\\ude00\""},               // beyond the basic plane: a pair
        {"\xC3", "\"\\ufffd\""},                                  // cut short
        {"\xE9t\xE9", "\"\\ufffdt\\ufffd\""},                     // Latin-1, not UTF-8
        {"\xC0\xAF", "\"\\ufffd\\ufffd\""},                       // overlong
        {"\xED\xA0\x80", "\"\\ufffd\\ufffd\\ufffd\""},            // a surrogate encoded
        {"\xF4\x90\x80\x80", "\"\\ufffd\\ufffd\\ufffd\\ufffd\""}, // past U+10FFFF
    };
    for (const auto& c : cas)
        EXPECT_EQ(ZorJson::Chaine(c.in), c.out) << c.in;
}

TEST(CliJson, DocumentsKeepOrderAndTypes)
{
    ZorJson j = ZorJson::Objet();
    j.Ajouter("n", 42).Ajouter("neg", int64_t(-9000000000)).Ajouter("t", true).Ajouter("f", false);
    j.Ajouter("z", ZorJson()).Ajouter("s", "x").Ajouter("vide", ZorJson::Tableau());
    j.Ajouter("l", ZorJson::Tableau().Ajouter(1).Ajouter(ZorJson::Objet().Ajouter("k\n", "v")));
    EXPECT_EQ(j.Texte(),
              "{\"n\":42,\"neg\":-9000000000,\"t\":true,\"f\":false,\"z\":null,\"s\":\"x\","
              "\"vide\":[],\"l\":[1,{\"k\\n\":\"v\"}]}");
}

TEST(CliCommande, AddressesAndSetActions)
{
    std::string mac;
    EXPECT_TRUE(ZorCliMAC("02:54:56:4d:0a:ff", &mac));
    EXPECT_EQ(mac, "02-54-56-4D-0A-FF");
    for (const char* bad :
         {"", "02-54-56-4D-0A", "02-54:56-4D-0A-00", "02-54-56-4D-0A-0G", "025456-4D-0A-00-"})
        EXPECT_FALSE(ZorCliMAC(bad, nullptr)) << bad;
    for (const char* ok : {"0.0.0.0", "192.168.77.255"})
        EXPECT_TRUE(ZorCliIPv4(ok)) << ok;
    for (const char* bad :
         {"", "1.2.3", "1.2.3.4.5", "1.2.3.256", "1..2.3", "1.2.3.4 ", "a.b.c.d", "1.2.3.0004"})
        EXPECT_FALSE(ZorCliIPv4(bad)) << bad;

    const struct
    {
        std::vector<std::string> mots;
        ZorCliReglage::Type type;
        int index, valeur;
    } bons[] = {
        {{"relay", "4", "on"}, ZorCliReglage::RELAIS, 4, 1},
        {{"relay", "1", "off"}, ZorCliReglage::RELAIS, 1, 0},
        {{"outputs", "0xA5"}, ZorCliReglage::SORTIES, 0, 0xA5},
        {{"outputs", "010"}, ZorCliReglage::SORTIES, 0, 10}, // never octal
        {{"analog", "2", "255"}, ZorCliReglage::ANALOGIQUE, 2, 255},
        {{"auto", "2"}, ZorCliReglage::AUTO, 0, 2},
        {{"clock", "now"}, ZorCliReglage::HORLOGE, 0, 0},
        {{"blink"}, ZorCliReglage::BLINK, 0, 0},
        {{"uart", "read"}, ZorCliReglage::UART_LIRE, 0, 0},
        {{"uart", "write", "hé"}, ZorCliReglage::UART_ECRIRE, 0, 0},
        {{"reboot"}, ZorCliReglage::REBOOT, 0, 0},
    };
    for (const auto& c : bons) {
        ZorCliReglage r;
        EXPECT_EQ(ZorCliLireReglage(c.mots, r), "") << c.mots[0];
        EXPECT_TRUE(r.type == c.type && r.iIndex == c.index && r.iValeur == c.valeur) << c.mots[0];
    }
    const std::vector<std::string> mauvais[] = {
        {"relay", "0", "on"},
        {"relay", "5", "on"},
        {"relay", "1", "oui"},
        {"outputs", "0x100"},
        {"outputs", "0x"},
        {"outputs", "-1"},
        {"analog", "3", "1"},
        {"analog", "1", "256"},
        {"clock", "demain"},
        {"blink", "x"},
        {"uart", "write", ""},
        {"eteindre"},
        {},
    };
    for (const auto& mots : mauvais) {
        ZorCliReglage r;
        EXPECT_NE(ZorCliLireReglage(mots, r), "") << (mots.empty() ? "" : mots[0]);
    }
}

TEST(CliCommande, CommandLines)
{
    const struct
    {
        std::vector<std::string> args;
        bool ok;
    } cas[] = {
        {{"discover", "--seconds", "2", "--json"}, true},
        {{"discover", "--seconds=2", "--watch", "--json-lines"}, true},
        {{"--json", "status", "192.168.77.20"}, true},
        {{"set", "02-54-56-4D-14-00", "relay", "2", "on"}, true},
        {{"update", "--all", "--dry-run", "--folder", "/tmp/maj_v4"}, true},
        {{"update", "02:54:56:4d:14:00", "02-54-56-4D-14-01"}, true},
        {{"readdress", "02-54-56-4D-14-00", "--to", "192.168.77.177"}, true},
        {{"blacklist", "remove", "02-54-56-4D-14-00"}, true},
        {{"status", "--help"}, true},
        {{"--help"}, true},
        {{"set", "192.168.77.20", "uart", "write", "--", "-x"}, true},
        {{}, false},
        {{"frobnicate"}, false},
        {{"discover", "extra"}, false},
        {{"discover", "--seconds"}, false},
        {{"discover", "--seconds", "-1"}, false},
        {{"discover", "--json", "--json-lines"}, false},
        {{"discover", "--verbose"}, false},
        {{"status"}, false},
        {{"status", "salle"}, false},
        {{"set", "192.168.77.20"}, false},
        {{"set", "192.168.77.20", "relay", "9", "on"}, false},
        {{"update"}, false},
        {{"update", "--all", "02-54-56-4D-14-00"}, false},
        {{"update", "xx"}, false},
        {{"readdress", "192.168.77.20"}, false},
        {{"readdress", "02-54-56-4D-14-00", "--to", "1.2.3"}, false},
        {{"blacklist", "add"}, false},
        {{"blacklist", "purge", "02-54-56-4D-14-00"}, false},
        {{"export", "--watch"}, false},
        // Options only where they mean something.
        {{"--version"}, true},
        {{"discover", "--quiet"}, true},
        {{"set", "02-54-56-4D-14-00", "reboot", "--wait"}, true},
        {{"update", "--all", "--wait"}, true},
        {{"config", "192.168.77.20", "name", "Atelier", "--password-file", "/p"}, true},
        {{"config", "192.168.77.20", "password", "--new-password-file=/n"}, true},
        {{"config", "192.168.77.20", "network", "--ip", "192.168.77.9", "--dhcp", "off"}, true},
        {{"config", "192.168.77.20", "email", "--server", "s", "--port", "25", "--ssl", "on"},
         true},
        {{"discover", "--version"}, false},
        {{"status", "192.168.77.20", "--dry-run"}, false},
        {{"export", "--to", "192.168.77.9"}, false},
        {{"adapters", "--seconds", "2"}, false},
        {{"set", "192.168.77.20", "blink", "--wait"}, false},
        {{"discover", "--json", "--csv"}, false},
        {{"discover", "--json=1"}, false},
        {{"config", "192.168.77.20", "name"}, false},
        {{"config", "192.168.77.20", "name", "A", "--ip", "192.168.77.9"}, false},
        {{"config", "192.168.77.20", "network"}, false},
        {{"config", "192.168.77.20", "network", "--dhcp", "oui"}, false},
        {{"config", "192.168.77.20", "network", "--mask", "255.255.0"}, false},
        {{"config", "192.168.77.20", "email", "--port", "2x"}, false},
        {{"config", "192.168.77.20", "email", "--port", "70000"}, false},
        {{"config", "192.168.77.20", "email", "--new-password-file", "/n"}, false},
        {{"config", "192.168.77.20", "reset"}, false},
        {{"config", "salle", "name", "A"}, false},
    };
    for (const auto& c : cas) {
        ZorCliOptions o;
        const std::string z = ZorCliLire(c.args, o);
        std::string ligne;
        for (const auto& a : c.args)
            ligne += a + " ";
        EXPECT_EQ(z.empty(), c.ok) << ligne << "-> " << z;
    }
    ZorCliOptions o;
    ASSERT_EQ(ZorCliLire({"update", "--folder=/d", "--seconds", "7", "02-54-56-4D-14-00"}, o), "");
    EXPECT_TRUE(o.zVerbe == "update" && o.zDossier == "/d" && o.iSecondes == 7 &&
                o.arguments.size() == 1);
    EXPECT_NE(ZorCliAide("update").find("--dry-run"), std::string::npos);
}

TEST(CliSortie, ControlCharactersAreShownNeverWritten)
{
    const struct
    {
        std::string in, out;
    } cas[] = {
        {"relais 1:on é €", "relais 1:on é €"},
        {"\x1b]52;c;aGk=\x07", "\\x1b]52;c;aGk=\\x07"}, // sets the clipboard
        {"a\r\nb\tc\x7f", "a\\x0d\\x0ab\\x09c\\x7f"},
        {std::string("a\0b", 3), "a\\x00b"},
        {"\xC2\x9B"
         "2J \xC2\xA0",
         "\\x9b2J \xC2\xA0"},                  // C1 CSI escaped, no-break space kept
        {"\x9B\xE9t\xC3", "\\x9b\\xe9t\\xc3"}, // not UTF-8: byte by byte
        {"\\x1b", "\\x1b"},                    // already shown: unchanged
    };
    for (const auto& c : cas) {
        EXPECT_EQ(ZorCliSur(c.in), c.out) << c.in;
        EXPECT_EQ(ZorCliSur(ZorCliSur(c.in)), ZorCliSur(c.in)) << "applied twice";
    }
}

TEST(CliSortie, CsvCellsAreNeverTakenForFormulas)
{
    const struct
    {
        std::string in, out;
    } cas[] = {
        {"", ""},
        {"Salle 1", "Salle 1"},
        {"=HYPERLINK(\"http://e/\",\"x\")", "\"'=HYPERLINK(\"\"http://e/\"\",\"\"x\"\")\""},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"+33", "'+33"},
        {"-1", "'-1"},
        {"\tx", "'\tx"},
        {"\rx", "\"'\rx\""},
        {"a=b,c", "\"a=b,c\""},
        {"l1\nl2", "\"l1\nl2\""},
    };
    for (const auto& c : cas)
        EXPECT_EQ(ZorCliCsv(c.in), c.out) << c.in;
}

TEST(CliCommande, ConfigValues)
{
    ZorCliOptions o;
    ASSERT_EQ(ZorCliLire({"config", "02:54:56:4d:14:00", "network", "--gateway=192.168.77.254",
                          "--dhcp", "on", "--password-file", "-"},
                         o),
              "");
    EXPECT_TRUE(o.zPasserelle == "192.168.77.254" && o.iDHCP == 1 && o.zIP.empty() &&
                o.zFichierPwd == "-" && o.iSSL == -1);
}

// --help and the manual page come from one table: each verb's usage names every option it takes
// (and no other), and both texts carry every verb, option and exit code.
TEST(CliDescription, HelpAndManualAgree)
{
    const std::string zManuel = ZorCliManuel("@VERBS@\n@OPTIONS@\n@EXIT@\n");
    const std::string zFrancais = ZorCliManuel("@VERBS@\n@OPTIONS@\n@EXIT@\n", true);
    const std::string zAide = ZorCliAide("");
    auto roff = [](std::string z) {
        for (size_t i = 0; (i = z.find('-', i)) != std::string::npos; i += 2)
            z.insert(i, "\\");
        return z;
    };
    for (const ZorCliVerbeDesc& v : ZorCliVerbesDesc()) {
        const std::string zUsage = v.zUsage;
        EXPECT_NE(zAide.find(zUsage), std::string::npos) << v.zNom;
        EXPECT_NE(zManuel.find(roff(zUsage)), std::string::npos) << v.zNom;
        EXPECT_NE(zFrancais.find(roff(zUsage) + "\n" + roff(v.zAide)), std::string::npos) << v.zNom;
        for (const ZorCliOptionDesc& o : ZorCliOptionsDesc()) {
            const std::string zNom = o.zNom;
            const bool bPrend = ZorCliVerbePrend(v, zNom) && zNom != "--help" &&
                                zNom != "--quiet" && zNom != "--lang";
            bool bNomme = false;
            for (size_t i = 0; (i = zUsage.find(zNom, i)) != std::string::npos; i += zNom.size())
                bNomme = bNomme || i + zNom.size() == zUsage.size() ||
                         (!std::isalpha(static_cast<unsigned char>(zUsage[i + zNom.size()])) &&
                          zUsage[i + zNom.size()] != '-');
            EXPECT_EQ(bNomme, bPrend) << v.zNom << " " << zNom;
            EXPECT_EQ(ZorCliAide(v.zNom).find("  " + zNom + " ") != std::string::npos,
                      ZorCliVerbePrend(v, zNom))
                << v.zNom << " --help " << zNom;
        }
    }
    for (const ZorCliOptionDesc& o : ZorCliOptionsDesc())
        EXPECT_NE(zManuel.find(".B " + roff(o.zNom)), std::string::npos) << o.zNom;
    for (const ZorCliSortieDesc& s : ZorCliSortiesDesc()) {
        EXPECT_NE(zManuel.find(".B " + std::to_string(s.iCode) + "\n"), std::string::npos);
        EXPECT_NE(zAide.find("  " + std::to_string(s.iCode) + "  " + s.zAide), std::string::npos);
    }
}

// The completion script comes from the same description: it names every verb, word and option,
// bash reads it, and run as bash runs it, it completes verbs, choices and each change's options.
TEST(CliDescription, CompletionFromTheDescription)
{
    const std::string zScript = ZorCliCompletion();
    std::string zMots = zScript;
    for (char& c : zMots)
        if (std::string("\"|();").find(c) != std::string::npos)
            c = ' ';
    std::vector<std::string> noms;
    for (const ZorCliVerbeDesc& v : ZorCliVerbesDesc())
        noms.push_back(v.zNom);
    for (const ZorCliOptionDesc& o : ZorCliOptionsDesc())
        noms.push_back(o.zNom);
    for (const ZorCliMotDesc& m : ZorCliMotsDesc())
        noms.push_back(m.zMot);
    for (const std::string& z : noms)
        EXPECT_NE(zMots.find(" " + z + " "), std::string::npos) << z;

    const std::string zFichier = testing::TempDir() + "tavlin-completion.bash";
    std::ofstream(zFichier) << zScript;
    ASSERT_EQ(std::system(("bash -n " + zFichier).c_str()), 0);
    const struct
    {
        std::vector<std::string> mots; // as bash splits the line ("=" a word of its own)
        std::vector<std::string> voulus, exclus;
    } cas[] = {
        {{"tavlin", "--lang", "=", "en", "co"}, {"config"}, {"discover", "--lang"}},
        {{"tavlin", "--lang", ""}, {"fr", "en"}, {"discover"}},
        {{"tavlin", "config", "10.0.0.1", ""}, {"name", "email", "--password-file"}, {"--ip"}},
        {{"tavlin", "config", "10.0.0.1", "network", "--"},
         {"--ip", "--dhcp", "--password-file", "--lang"},
         {"--new-password-file", "--server", "--watch"}},
        {{"tavlin", "--quiet", "blacklist", ""}, {"add", "remove"}, {"name", "--seconds"}},
    };
    for (const auto& c : cas) {
        std::string zLigne = "bash -c 'source \"$0\"; COMP_WORDS=(\"$@\"); "
                             "COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _tavlin; "
                             "echo \" ${COMPREPLY[*]} \"' " +
                             zFichier;
        for (const std::string& m : c.mots)
            zLigne += " '" + m + "'";
        std::string zReponse;
        if (FILE* f = popen(zLigne.c_str(), "r")) {
            char tampon[1024];
            while (fgets(tampon, sizeof tampon, f))
                zReponse += tampon;
            pclose(f);
        }
        for (const std::string& z : c.voulus)
            EXPECT_NE(zReponse.find(" " + z + " "), std::string::npos)
                << zLigne << " ->" << zReponse;
        for (const std::string& z : c.exclus)
            EXPECT_EQ(zReponse.find(" " + z + " "), std::string::npos)
                << zLigne << " ->" << zReponse;
    }
}

// In English the help, the option refusals and the config messages are English, while the French
// manual page keeps the French texts of the description.
TEST(CliDescription, EnglishHelpAndErrors)
{
    // The catalogue compiled beside the programs, as tavlin finds it.
    const wxString zProgramme = wxString::FromUTF8(TAVLIN_EMU_PATH);
    ZorUtile::SetPathExe(zProgramme.BeforeLast(wxT('/')));
    ZorConfiguration::iZorLangue = 1;
    ZorCliOptions o;
    const std::string zAide = ZorCliAide(""), zConfig = ZorCliAide("config");
    const std::string zRefus = ZorCliLire({"status", "10.0.0.1", "--dry-run"}, o);
    const std::string zLangue = ZorCliLire({"discover", "--lang", "de"}, o);
    const std::string zConfigRefus = ZorCliLire({"config", "10.0.0.1", "colour"}, o);
    const std::string zFrancais = ZorCliManuel("@VERBS@\n", true);
    ZorConfiguration::iZorLangue = 0;
    EXPECT_NE(zAide.find("Exit codes:\n"), std::string::npos) << zAide;
    EXPECT_NE(zAide.find("  6  wrong password (nothing is changed)"), std::string::npos) << zAide;
    EXPECT_NE(zConfig.find("Customises the Tavlin"), std::string::npos) << zConfig;
    EXPECT_NE(zConfig.find("--lang fr|en"), std::string::npos) << zConfig;
    EXPECT_EQ(zRefus, "the option --dry-run does not apply to status (tavlin status --help)");
    EXPECT_EQ(zLangue, "--lang expects fr or en");
    EXPECT_EQ(zConfigRefus,
              "config changes name, comment, password, network or email, not: colour");
    EXPECT_NE(zFrancais.find("Personnalise la Tavlin"), std::string::npos);
}

TEST(CliSortie, TableColumnsAlignInCharacters)
{
    const std::vector<std::string> l =
        ZorCliTableau({{"NOM", "IP", "FIN"}, {"Éèàçû", "1.2.3.4", "x"}, {"a\x1b", "5", ""}});
    ASSERT_EQ(l.size(), 3u);
    EXPECT_EQ(l[0], "NOM   IP      FIN");
    EXPECT_EQ(l[1], "Éèàçû 1.2.3.4 x");
    EXPECT_EQ(l[2], "a\\x1b 5"); // the escape counts as shown; no trailing blanks
    // A stream's fixed widths: a longer cell pushes the rest of its line, one blank kept.
    EXPECT_EQ(ZorCliColonnes({{"été", 5}, {"b", 0}}), "été   b");
    EXPECT_EQ(ZorCliColonnes({{"trop long", 3}, {"b", 0}}), "trop long b");
}

} // namespace
