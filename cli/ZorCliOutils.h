// What the verbs share: the event loop pumped while they wait, finding devices, and output.
// Main thread only, with the device manager started (ZorCliPomper and the output functions
// excepted).
#pragma once

#include "cli/ZorCliCommande.h"
#include "device/ZorTavlinRecords.h"

#include <wx/string.h>

#include <functional>
#include <initializer_list>
#include <string>

// SIGINT and SIGTERM end every wait, so a verb winds up and stops the engine cleanly.
void ZorCliSuivreInterruptions();
bool ZorCliInterrompu();
// Serves the toolkit's events until done() or iMs passed (or an interrupt); done()'s last
// answer. A null done() waits the whole time.
bool ZorCliPomper(int iMs, const std::function<bool()>& done);
// A discovery hello broadcast on every adapter.
void ZorCliHello();
// Pumps with a hello each second, so devices that missed one are found too.
bool ZorCliDecouvrir(int iMs, const std::function<bool()>& done = nullptr);
// The device named by MAC (either form) or IPv4 address among those given.
bool ZorCliChercherDans(const ZorTavlinInfoArray& tous, const std::string& zCible,
                        ZorTavlinInfo* p);
// Waits up to iSecondes for that device in the registry.
bool ZorCliTrouver(const std::string& zCible, int iSecondes, ZorTavlinInfo* pInfo);
// On the network of the adapter that found it.
bool ZorCliJoignable(const ZorTavlinInfo& d);
// A text as it may reach a terminal: the control characters (C0, DEL, and C1 as U+0080 to
// U+009F) and bytes that are not UTF-8 are shown as \xhh, never written, so that no text from a
// device can move the cursor, retitle the window or set the clipboard. The rest is unchanged.
std::string ZorCliSur(const std::string& zUtf8);
// One CSV cell: a text a spreadsheet would take for a formula (first character "=", "+", "-",
// "@", tab or CR) gets a leading "'"; then quoted when it holds a comma, a quote or a line end.
std::string ZorCliCsv(const std::string& z);
// One line on standard output through ZorCliSur, flushed (a reader of a stream sees it at once).
void ZorCliEcrire(const std::string& z);
inline std::string ZorCliU8(const wxString& z)
{
    return std::string(z.utf8_str());
}
inline wxString ZorCliW(const std::string& z)
{
    return wxString::FromUTF8(z.c_str());
}

// A text of the program in the user's language (ZorConfiguration::iZorLangue, chosen once at
// start): French source, the catalogue's translation otherwise. Each "%s" takes the next of
// the values, in order, so that a translation may place them where its language wants them.
std::string ZorCliTr(const char* zFrancais, std::initializer_list<std::string> valeurs = {});

// The update verb.
int ZorCliMiseAJour(const ZorCliOptions& o);
