// How the library shares the toolkit with its host (see the flat C interface).
#pragma once

#include "infra/ZorLibraryFlags.h"

#include <wx/string.h>

#include <string>

// Starts the toolkit for a host that has none: a windowed application when a display is
// there, else a console one. False when an application already exists or nothing could start.
bool ZorHostingStartToolkit();
// Cleans up the toolkit started above (nothing when the library did not start it).
void ZorHostingCleanupToolkit();
// Whether windows can be shown: the running application is a windowed one or, before any
// application exists, a display is named for the one the library would start.
bool ZorHostingFenetresPossibles();
// True between ZorHostingStartToolkit and ZorHostingCleanupToolkit.
bool ZorHostingOwnsToolkit();
// Serves the pending events (timers, sockets, queued events) of the toolkit the library runs,
// for at most iBudgetMs; only on the thread that started it, never re-entered. Returns the
// number of events dispatched.
int ZorHostingPump(int iBudgetMs = 20);
// Lets a host's own application finish its idle work (pending events, delayed deletions);
// bounded so that a window that always asks for more cannot hold the caller.
void ZorHostingIdleHost();

// The library's load and unload (process attach / detach). Detach runs once per attach: at the
// first of process exit (a hook armed by the first start, so that it comes before the
// toolkit's and the library's own lazily built objects are destroyed) and unload.
void ZorDllProcessAttach();
void ZorDllProcessDetach();

// Text crossing the flat interface: 8-bit in, the C locale's encoding out (ISO 8859-1 with "?"
// for what it cannot hold when the locale refuses the text).
wxString ZorTexteDepuis8Bit(const char* zTexte);
std::string ZorTexteVers8Bit(const wxString& zTexte);
// strncpy semantics: at most iLongueur bytes, the rest zero-filled, no terminator when full.
void ZorCopierTexte(char* zBuffer, int iLongueur, const std::string& zTexte);
