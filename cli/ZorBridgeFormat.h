// What the bridge writes to and reads from the broker, without a broker: topic names, the
// commands a topic and its payload ask for (checked before anything reaches a device), and the
// JSON documents (results, errors, Home Assistant discovery). Pure functions.
//
// Topics: PREFIX/SITE/MAC/{info,state,availability}, PREFIX/SITE/MAC/set/..., and
// PREFIX/SITE/bridge/{status,error,result}. MAC in the library's form ("02-54-56-4D-0A-00").
#pragma once

#include "cli/ZorCliCommande.h"
#include "cli/ZorCliJson.h"

#include <string>
#include <utility>
#include <vector>

// Largest command payload taken; a UART text is the longest, and far shorter.
constexpr size_t kZorBridgeChargeMax = 1024;

struct ZorBridgeSujets
{
    std::string zPrefixe = "tavlin";
    std::string zSite;
    std::string zPrefixeHA = "homeassistant";

    std::string Device(const std::string& zMAC, const std::string& zFeuille) const
    {
        return zPrefixe + "/" + zSite + "/" + zMAC + "/" + zFeuille;
    }
    std::string Bridge(const std::string& zFeuille) const
    {
        return zPrefixe + "/" + zSite + "/bridge/" + zFeuille;
    }
    // The one subscription: commands for every device of this site, nothing else.
    std::string Commandes() const { return zPrefixe + "/" + zSite + "/+/set/#"; }
};

// A prefix or site name: 1 to 64 of letters, digits, "-", "_" and "." (so no "/", "+", "#").
bool ZorBridgeNomValide(const std::string& z);

struct ZorBridgeCommande
{
    std::string zMAC;      // as in the topic, checked, in the library's form
    std::string zCommande; // the topic after "set/", for the result message
    ZorCliReglage reglage; // the same actions as "tavlin set"
};

enum class ZorBridgeLecture {
    Etrangere, // not a command topic of this prefix and site: ignored, no answer
    Commande,  // *pCmd filled
    Erreur,    // ours but refused: *pzErreur says why, nothing is sent
};

// Reads a received message. Accepted: set/relay/N (on|off), set/outputs (0-255 or 0xHH),
// set/analog/N (0-255), set/auto (0-255), set/clock (now), set/blink and set/reboot (any of
// "", "1", "PRESS"), set/uart (text).
ZorBridgeLecture ZorBridgeLireCommande(const ZorBridgeSujets& s, const std::string& zSujet,
                                       const std::string& zCharge, ZorBridgeCommande* pCmd,
                                       std::string* pzErreur);

// {"topic":..., "error":...}: what bridge/error carries.
std::string ZorBridgeJsonErreur(const std::string& zSujet, const std::string& zMessage);
// {"mac":..., "command":..., "result":"queued"|"refused"|"absent"|"offline", "message":...}
std::string ZorBridgeJsonResultat(const std::string& zMAC, const std::string& zCommande,
                                  const char* zResultat, const std::string& zMessage);

// A device as Home Assistant's discovery sees it.
struct ZorBridgeDeviceHA
{
    std::string zMAC, zNom, zVersion;
};
// Every discovery topic of a device with its configuration (retained by the caller). The same
// topics with an empty payload remove the device from Home Assistant.
std::vector<std::pair<std::string, std::string>> ZorBridgeConfigsHA(const ZorBridgeSujets& s,
                                                                    const ZorBridgeDeviceHA& d);
