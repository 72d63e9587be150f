// The library's own translations. The French texts written in the code are the source texts;
// a catalogue of the domain "zortavlin" gives them in another language. The library keeps its
// catalogues to itself and never touches the toolkit's global translations: a host has its own
// language and its own catalogues.
#pragma once

#include "infra/ZorExport.h"

#include <wx/string.h>

#include <string>

// A text shown to the user, in the library's language (ZorConfiguration::iZorLangue).
#define ZOR_TR(s) ZorTr(wxT(s))
// Marks a constant for the catalogue without translating it; ZorTr() translates it where shown.
#define ZOR_N(s) wxT(s)
// The same for a UTF-8 constant.
#define ZOR_N8(s) s

// zFrancais in the language of ZorConfiguration::iZorLangue (0 French, 1 English). French, or a
// text the catalogue lacks, or a catalogue that cannot be found, gives zFrancais unchanged.
ZOR_EXPORT wxString ZorTr(const wxString& zFrancais);
// The same for UTF-8 texts (the command line's), UTF-8 in and out.
ZOR_EXPORT std::string ZorTrU8(const char* zFrancais);

// The language a program's user asked for, as a value of iZorLangue. zOption ("fr" or "en",
// from --lang) wins; otherwise the locale of the environment decides as gettext would (LC_ALL,
// LC_MESSAGES, LANG, then LANGUAGE): French for "fr..." and when no language is named ("C",
// "POSIX", "C.UTF-8" or nothing: the source texts), English for any other language. -1 when
// zOption is neither "fr" nor "en".
ZOR_EXPORT int ZorLangueDemandee(const std::string& zOption = std::string());

// The catalogue file of a language code ("en") found beside the programs or in the installed
// data (share/locale/CODE/LC_MESSAGES/zortavlin.mo); empty when there is none.
ZOR_EXPORT wxString ZorCatalogue(const wxString& zCode);

// A picture of the dialogs in the library's language: "bitmap/NAME" gives "bitmap/en/NAME" in
// English when that picture (one with words) exists, else zRelatif unchanged.
ZOR_EXPORT wxString ZorImageTraduite(const wxString& zRelatif);
