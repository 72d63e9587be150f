// What the verbs share: the event loop pumped while they wait, finding devices, and output.
// Main thread only, with the device manager started (ZorCliPomper and ZorCliEcrire excepted).
#pragma once

#include "cli/ZorCliCommande.h"
#include "device/ZorTavlinRecords.h"

#include <wx/string.h>

#include <functional>
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
bool ZorCliChercherDans(const ZorTavlinInfoArray& tous, const std::string& zCible, ZorTavlinInfo* p);
// Waits up to iSecondes for that device in the registry.
bool ZorCliTrouver(const std::string& zCible, int iSecondes, ZorTavlinInfo* pInfo);
// On the network of the adapter that found it.
bool ZorCliJoignable(const ZorTavlinInfo& d);
// One line on standard output, flushed (a reader of a stream sees it at once).
void ZorCliEcrire(const std::string& z);
inline std::string ZorCliU8(const wxString& z) { return std::string(z.utf8_str()); }
inline wxString ZorCliW(const std::string& z) { return wxString::FromUTF8(z.c_str()); }

// The update verb.
int ZorCliMiseAJour(const ZorCliOptions& o);
