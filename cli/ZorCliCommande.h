// The command line of the tavlin program read into values, without touching the network: the
// verb, its arguments and options, device identifiers and the "set" actions. Every error is a
// sentence for the user in the program's language, and the caller turns it into the usage exit code.
#pragma once

#include <string>
#include <vector>

// Exit codes scripts rely on (documented in the manual page).
enum ZorCliCode {
    ZOR_CLI_OK = 0,
    ZOR_CLI_ECHEC = 1, // some device failed, or was skipped
    ZOR_CLI_USAGE = 2,
    ZOR_CLI_INTROUVABLE = 3,  // device not found
    ZOR_CLI_RESEAU = 4,       // network not available
    ZOR_CLI_PARTAGE = 5,      // another program got answers meant for us: the list may be short
    ZOR_CLI_MOT_DE_PASSE = 6, // config: the device's current password is wrong, nothing changed
};

struct ZorCliOptions
{
    std::string zVerbe;
    std::vector<std::string> arguments;
    bool bAide = false, bJson = false, bJsonLines = false, bCsv = false;
    bool bWatch = false, bDryRun = false, bTous = false;
    bool bVersion = false, bQuiet = false, bAttendre = false;
    int iSecondes = -1; // -1: the verb's default
    std::string zDossier, zVers;
    // config: where the passwords come from ("-": standard input), and the values given.
    std::string zFichierPwd = "-", zFichierNouveauPwd = "-", zFichierPwdSMTP;
    std::string zIP, zMasque, zPasserelle, zServeur, zPort, zLogin;
    int iDHCP = -1, iSSL = -1; // -1: not given
    std::vector<std::string> optionsDonnees;
    bool A(const char* zOption) const; // given on the command line
    std::string zLangue;               // --lang: "fr" or "en"; empty, the user's locale decides
};

// Reads argv (without the program name). Empty on success, else the message.
std::string ZorCliLire(const std::vector<std::string>& args, ZorCliOptions& o);
// The verbs' usage texts; the general one for an empty or unknown verb.
std::string ZorCliAide(const std::string& zVerbe);

// "02:54:56:4d:0a:00" or "02-54-56-4D-0A-00" in the library's form (upper case, '-').
bool ZorCliMAC(const std::string& zTexte, std::string* pzMAC);
// Four decimal octets 0-255, nothing else.
bool ZorCliIPv4(const std::string& zTexte);

// One "set" action.
struct ZorCliReglage
{
    enum Type { RELAIS, SORTIES, ANALOGIQUE, AUTO, HORLOGE, BLINK, UART_ECRIRE, UART_LIRE, REBOOT };
    Type type = BLINK;
    int iIndex = 0;  // relay 1-4, analog output 1-2
    int iValeur = 0; // on/off, byte, analog 0-255, automatic mode
    std::string zTexte;
};
// The words after "set DEVICE". Empty on success, else the message.
std::string ZorCliLireReglage(const std::vector<std::string>& mots, ZorCliReglage& r);
