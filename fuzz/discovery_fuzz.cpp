// Device answers and configuration texts: any datagram is decoded without fault, the decoded
// fields obey the line rules, an answer judged well formed holds only what a device can send
// (normal MAC, texts within a device's limits, no control character), and a configuration text
// built from the fields is either refused or well formed (eight fields, within the limit).
#include "network/ZorDiscoveryFormat.h"
// Compiled into this target so that the fuzzer sees the branches of the decoder itself.
#include "network/ZorDiscoveryFormat.cpp"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>

namespace {

void Verifier(bool b)
{
    if (!b)
        abort();
}

void VerifierAdresse(const std::string& zPointee, const std::string& zLigne, size_t debut)
{
    if (zPointee.empty())
        return;
    // A decoded address came from exactly eight hex digits and gives them back.
    std::string zHexa = zLigne.substr(debut, 8);
    std::transform(zHexa.begin(), zHexa.end(), zHexa.begin(),
                   [](unsigned char c) { return char(toupper(c)); });
    unsigned a, b, c, d;
    Verifier(sscanf(zPointee.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) == 4);
    Verifier(a < 256 && b < 256 && c < 256 && d < 256);
    const uint8_t octets[4] = {uint8_t(a), uint8_t(b), uint8_t(c), uint8_t(d)};
    Verifier(ZorOctetsVersHexa(octets) == zHexa);
}

// What the check promises of an answer it lets through.
void VerifierBienFormee(const std::string& zTexte, const std::vector<std::string>& lignes)
{
    ZorReponseTavlin r;
    const ZorQualiteReponse q = ZorLitReponse(zTexte, &r);
    const bool bReponse =
        lignes.size() >= 8 && (lignes[0] == "A" || lignes[0] == "D" || lignes[0] == "M");
    Verifier((q == ZOR_REPONSE_AUTRE) == !bReponse);
    if (q != ZOR_REPONSE_OK)
        return;
    std::string zMac;
    Verifier(ZorNormaliseMAC(r.zMAC, &zMac) && zMac == r.zMAC && r.zMAC.size() == 17);
    for (size_t i = 0; i < r.zMAC.size(); ++i)
        Verifier(i % 3 == 2
                     ? r.zMAC[i] == '-'
                     : isxdigit((unsigned char)r.zMAC[i]) && !islower((unsigned char)r.zMAC[i]));
    // Mask and gateway may be empty (a part the protocol cannot read), never the line too long.
    Verifier(lignes[6].size() <= ZOR_LIGNE_COURTE_MAX && lignes.size() <= ZOR_LIGNES_MAX);
    Verifier(r.zNom.size() <= ZOR_NOM_MAX && r.zCommentaire.size() <= ZOR_COMMENTAIRE_MAX &&
             r.zLogin.size() <= ZOR_IDENTIFIANT_MAX && r.zPwd.size() <= ZOR_IDENTIFIANT_MAX &&
             r.zVersion.size() <= ZOR_VERSION_MAX);
    for (const std::string* z : {&r.zNom, &r.zCommentaire, &r.zLogin, &r.zPwd, &r.zVersion})
        for (unsigned char c : *z)
            Verifier(c >= 0x20 && c != 0x7F && !(c >= 0x80 && c <= 0x9F) && c != ';');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string zTexte = ZorTexteDatagramme(data, size);
    Verifier(zTexte.size() <= ZOR_DATAGRAMME_MAX && zTexte.find('\0') == std::string::npos);

    const std::vector<std::string> lignes = ZorDecoupeLignes(zTexte);
    for (const std::string& l : lignes) {
        Verifier(l.find('\n') == std::string::npos);
        Verifier(l.empty() || !isspace(static_cast<unsigned char>(l.back())));
    }
    Verifier(lignes.size() <= size_t(std::count(zTexte.begin(), zTexte.end(), '\n')) + 1);

    VerifierBienFormee(zTexte, lignes);

    ZorReponseTavlin r;
    const bool bDecode = ZorDecodeReponse(zTexte, &r);
    Verifier(bDecode == (lignes.size() >= 8));
    if (!bDecode)
        return 0;
    Verifier(r.zType == lignes[0] && r.zMAC == lignes[2] && r.zPwd == lignes[5]);
    Verifier(r.zVersion == (lignes.size() == 9 ? lignes[8] : std::string("1")));
    Verifier(r.bDhcp == (lignes[7] == "1"));
    VerifierAdresse(r.zMask, lignes[6], 0);
    VerifierAdresse(r.zGateway, lignes[6], 8);

    std::string zConfig;
    ZorErreurConfiguration e = ZorTexteConfiguration(r.zMAC, r.zLogin, r.zPwd, "C0A80196",
                                                     "FFFFFF00", "C0A80101", &zConfig);
    if (e == ZOR_CONFIG_OK) {
        Verifier(zConfig.size() <= ZOR_DATAGRAMME_MAX);
        Verifier(std::count(zConfig.begin(), zConfig.end(), ';') == 8);
        Verifier(zConfig.compare(0, 2, "N;") == 0);
        Verifier(zConfig.size() >= 3 && zConfig.compare(zConfig.size() - 3, 3, ";0;") == 0);
        Verifier(zConfig.find(r.zLogin + ";" + r.zPwd + ";C0A80196;") != std::string::npos);
    } else {
        const bool bSeparateur =
            (r.zMAC + r.zLogin + r.zPwd).find_first_of(std::string(";\r\n\0", 4)) !=
            std::string::npos;
        Verifier(bSeparateur || e == ZOR_CONFIG_TROP_LONG);
    }
    return 0;
}
