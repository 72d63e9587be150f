// What the verbs share: the event loop pumped while they wait, finding devices, and output.
// Main thread only, with the device manager started (ZorCliPomper and the output functions
// excepted).
#pragma once

#include "cli/ZorCliCommande.h"
#include "cli/ZorCliJson.h"
#include "device/ZorTavlinRecords.h"

#include <wx/string.h>

class ZorCarteEth;

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

class ZorTavlinObj;

// SIGINT and SIGTERM end every wait, so a verb winds up and stops the engine cleanly.
void ZorCliSuivreInterruptions();
bool ZorCliInterrompu();
// Serves the toolkit's events until done() or iMs passed (or an interrupt); done()'s last
// answer. A null done() waits the whole time. done() is asked at least every iAttenteMaxMs.
bool ZorCliPomper(int iMs, const std::function<bool()>& done, int iAttenteMaxMs = 10);
// Pumps with a discovery hello of tavlin each second, so devices that missed one are found too.
bool ZorCliDecouvrir(ZorTavlinObj& tavlin, int iMs, const std::function<bool()>& done = nullptr);
// The device named by MAC (either form) or IPv4 address among those given.
bool ZorCliChercherDans(const ZorTavlinInfoArray& tous, const std::string& zCible,
                        ZorTavlinInfo* p);
// Waits up to iSecondes for that device in the registry.
bool ZorCliTrouver(ZorTavlinObj& tavlin, const std::string& zCible, int iSecondes,
                   ZorTavlinInfo* pInfo);
// Finds the device and checks it is on the network of the adapter that found it: 0, or the exit
// code (ZOR_CLI_INTROUVABLE, ZOR_CLI_ECHEC) with its message in *pz.
int ZorCliTrouverJoignable(ZorTavlinObj& tavlin, const std::string& zCible, int iSecondes,
                           ZorTavlinInfo* pInfo, std::string* pz);
// After a restart (asked for, or after a failure that left the device in its bootloader): waits
// up to iMs until the device answers discovery again, a whole second later than now so that an
// answer from before is no return. False when it stayed silent.
bool ZorCliAttendreRetour(ZorTavlinObj& tavlin, const wxString& zMAC, int iMs);
// On the network of the adapter that found it.
bool ZorCliJoignable(const ZorTavlinInfo& d);
// A text as it may reach a terminal: the control characters (C0, DEL, and C1 as U+0080 to
// U+009F) and bytes that are not UTF-8 are shown as \xhh, never written, so that no text from a
// device can move the cursor, retitle the window or set the clipboard. The rest is unchanged.
std::string ZorCliSur(const std::string& zUtf8);
// One CSV cell: a text a spreadsheet would take for a formula (first character "=", "+", "-",
// "@", tab or CR) gets a leading "'"; then quoted when it holds a comma, a quote or a line end.
std::string ZorCliCsv(const std::string& z);
// Text table cells padded to a width counted in characters (UTF-8 sequences, after the escapes
// of ZorCliSur), so accented names keep the columns aligned; a width of 0 leaves the cell as it
// is (the last column). A cell wider than its column pushes the rest of its line only.
std::string ZorCliColonnes(const std::vector<std::pair<std::string, int>>& cellules);
// A whole table: each column as wide as its widest cell, the header row first.
std::vector<std::string> ZorCliTableau(const std::vector<std::vector<std::string>>& lignes);
// One line on standard output through ZorCliSur, flushed (a reader of a stream sees it at once).
void ZorCliEcrire(const std::string& z);
// --quiet: text output is dropped (JSON, and errors on standard error, are kept).
void ZorCliSilence(bool bSilence);
// A JSON document on its own line, its layout version ("schema") first.
class ZorJson;
void ZorCliEcrireJson(const ZorJson& doc);
inline std::string ZorCliU8(const wxString& z)
{
    return std::string(z.utf8_str());
}
inline wxString ZorCliW(const std::string& z)
{
    return wxString::FromUTF8(z.c_str());
}

// The adapter that found a device (null when it is gone).
const ZorCarteEth* ZorCliCarteDe(ZorTavlinObj& tavlin, const ZorTavlinInfo& d);
// A device's identity as JSON (bTout: every field of an export, the password excepted); aJour
// tells whether a version is the newest.
ZorJson ZorCliJsonDevice(ZorTavlinObj& tavlin, const ZorTavlinInfo& d, bool bTout,
                         const std::function<bool(const wxString&)>& aJour);
// A state page as JSON.
ZorJson ZorCliJsonEtat(const ZorTavlinData& e);

// Sends one "set" action to the watched device through the command catalogue: relays are
// built on iRelais, their current value (the new value in *piRelais), a restart goes to zIP.
// False when the command was refused or the queue stayed full; true for UART_LIRE (nothing).
bool ZorCliEnvoyer(ZorTavlinObj& tavlin, const ZorCliReglage& r, uint8_t iRelais,
                   const wxString& zIP, uint8_t* piRelais = nullptr);

// A text of the program in the user's language (ZorConfiguration::iZorLangue, chosen once at
// start): French source, the catalogue's translation otherwise. Each "%s" takes the next of
// the values, in order, so that a translation may place them where its language wants them.
std::string ZorCliTr(const char* zFrancais, std::initializer_list<std::string> valeurs = {});

// The update verb.
int ZorCliMiseAJour(ZorTavlinObj& tavlin, const ZorCliOptions& o);
