// Library-wide flags that say how the library shares the toolkit with its host, and the hook
// through which the engine shows a notice to the user. The flat interface's hosting sets them;
// the engine only reads them.
#pragma once

#include <wx/string.h>

// The host has its own toolkit application: the library never starts or stops the toolkit.
extern bool gbAppHote;
// The library started the toolkit itself for a host without one; nobody else pumps events,
// so the surveillance timer also drains the discovery sockets.
extern bool gbPasWx;

// Shows zTexte to the user under the caption zTitre. Called on the toolkit's main thread.
using ZorUserNoticeHook = void (*)(const wxString& zTexte, const wxString& zTitre);
// Sets the hook (null: back to the default, which writes the text to the log file).
void ZorSetUserNoticeHook(ZorUserNoticeHook pHook);
void ZorUserNotice(const wxString& zTexte, const wxString& zTitre);
