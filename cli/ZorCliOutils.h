// What the verbs share: the event loop pumped while they wait, finding devices, and output.
#pragma once

#include "cli/ZorCliCommande.h"
#include "device/ZorTavlinRecords.h"

#include <wx/string.h>

#include <functional>
#include <string>

// Serves the toolkit's events until done() or iMs passed (or an interrupt); done()'s last answer.
bool ZorCliPomper(int iMs, const std::function<bool()>& done);
// True once SIGINT or SIGTERM arrived: every wait ends and the verb winds up.
bool ZorCliInterrompu();
// A discovery hello broadcast on every adapter.
void ZorCliHello();
// Pumps with a broadcast hello each second, so devices that missed one are found too.
void ZorCliDecouvrir(int iMs, const std::function<bool()>& done);
// Waits up to iSecondes for the device named by MAC or IP in the registry.
bool ZorCliTrouver(const std::string& zCible, int iSecondes, ZorTavlinInfo* pInfo);
// On the network of the adapter that found it.
bool ZorCliJoignable(const ZorTavlinInfo& d);
// One line on standard output, flushed (a reader of a stream sees it at once).
void ZorCliEcrire(const std::string& z);
inline std::string ZorCliU8(const wxString& z) { return std::string(z.utf8_str()); }
inline wxString ZorCliW(const std::string& z) { return wxString::FromUTF8(z.c_str()); }

// The update verb.
int ZorCliMiseAJour(const ZorCliOptions& o);
