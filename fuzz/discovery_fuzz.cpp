// Device answers and configuration texts: any datagram is decoded without fault, the decoded
// fields obey the line rules, and a configuration text built from them is either refused or
// well formed (eight fields, within the datagram limit).
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string zTexte = ZorTexteDatagramme(data, size);
    Verifier(zTexte.size() <= ZOR_DATAGRAMME_MAX && zTexte.find('\0') == std::string::npos);

    const std::vector<std::string> lignes = ZorDecoupeLignes(zTexte);
    for (const std::string& l : lignes)
    {
        Verifier(l.find('\n') == std::string::npos);
        Verifier(l.empty() || !isspace(static_cast<unsigned char>(l.back())));
    }
    Verifier(lignes.size() <= size_t(std::count(zTexte.begin(), zTexte.end(), '\n')) + 1);

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
    ZorErreurConfiguration e =
        ZorTexteConfiguration(r.zMAC, r.zLogin, r.zPwd, "C0A80196", "FFFFFF00", "C0A80101", &zConfig);
    if (e == ZOR_CONFIG_OK)
    {
        Verifier(zConfig.size() <= ZOR_DATAGRAMME_MAX);
        Verifier(std::count(zConfig.begin(), zConfig.end(), ';') == 8);
        Verifier(zConfig.compare(0, 2, "N;") == 0);
        Verifier(zConfig.size() >= 3 && zConfig.compare(zConfig.size() - 3, 3, ";0;") == 0);
        Verifier(zConfig.find(r.zLogin + ";" + r.zPwd + ";C0A80196;") != std::string::npos);
    }
    else
    {
        const bool bSeparateur = (r.zMAC + r.zLogin + r.zPwd).find_first_of(std::string(";\r\n\0", 4)) !=
                                 std::string::npos;
        Verifier(bSeparateur || e == ZOR_CONFIG_TROP_LONG);
    }
    return 0;
}
