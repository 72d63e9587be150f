// Feeds arbitrary topics and payloads to the bridge's command reader, as a broker would deliver
// them from any client, and checks what a caller relies on: nothing outside the prefix and site
// is ever a command, and an accepted command is one the device can be sent.
#include "cli/ZorBridgeFormat.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The topic, a NUL, then the payload; the topic gets our prefix unless its first byte is 0xFF.
    const std::string in(reinterpret_cast<const char*>(data), size);
    const size_t nul = in.find('\0');
    std::string sujet = in.substr(0, nul);
    const std::string charge = nul == std::string::npos ? std::string() : in.substr(nul + 1);
    if (sujet.empty() || sujet[0] != '\xFF')
        sujet = "tavlin/site/" + sujet;
    ZorBridgeSujets s;
    s.zSite = "site";
    ZorBridgeCommande cmd;
    std::string zErreur;
    const ZorBridgeLecture l = ZorBridgeLireCommande(s, sujet, charge, &cmd, &zErreur);
    if (l == ZorBridgeLecture::Commande) {
        if (sujet.compare(0, 12, "tavlin/site/") != 0 || cmd.zMAC.size() != 17)
            abort();
        if (charge.size() > kZorBridgeChargeMax || !ZorJson::Utf8Valide(charge))
            abort();
        if (cmd.reglage.type == ZorCliReglage::RELAIS &&
            (cmd.reglage.iIndex < 1 || cmd.reglage.iIndex > 4))
            abort();
        if (cmd.reglage.iValeur < 0 || cmd.reglage.iValeur > 255)
            abort();
    }
    if ((l == ZorBridgeLecture::Erreur) == zErreur.empty())
        abort();
    // An error document is always well formed, whatever the topic held.
    if (ZorBridgeJsonErreur(sujet, zErreur).back() != '}')
        abort();
    return 0;
}
