// tavlin bridge: every device this PC finds, on an MQTT broker (see tavlin-bridge(1)).
#pragma once

#include <string>
#include <vector>

struct ZorBridgeOptions
{
    std::string zBroker = "mqtt://localhost";
    std::string zSite, zPrefixe = "tavlin", zPrefixeHA = "homeassistant";
    std::string zUtilisateur, zFichierMotDePasse, zCA, zCertificat, zCle, zClient;
    std::string zLangue; // "fr" or "en"; empty, the user's locale decides
    bool bHomeAssistant = false;
    int iPeriodeMs = 1000;
    int iEnVolMax = 8;
    int iSecondes = 0; // 0: until stopped
};

// Reads the configuration file (KEY = VALUE lines, "#" comments; the keys are the long options
// without "--") then the command line, which wins. Without --config, /etc/tavlin/bridge.conf
// when it exists. Empty on success, else the message.
std::string ZorBridgeLireOptions(const std::vector<std::string>& args, ZorBridgeOptions& o);

// The whole verb: args without the program name, "bridge" first. Returns the exit code.
int ZorBridgeMain(const char* zProgramme, const std::vector<std::string>& args);
