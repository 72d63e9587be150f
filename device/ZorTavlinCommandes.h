// Text forms of the command catalogue that callers outside the device manager also need.
#pragma once

#include <wx/string.h>

#include <cstdint>

// The e-mail password as the device stores it (see ZorEmailPwdCodec.h). False when the password
// has a character outside Latin-1, which the device cannot store.
bool ZorEncodeEmailPwd(const wxString& zPwd, wxString* pzCode);
// Reverse: false for an empty text or one of 100 characters or more; odd lengths are copied.
bool ZorDecodeEmailPwd(const wxString& zCode, wxString* pzPwd);

// n bits of a value as "0"/"1", highest first (SNUM: 8, SRELAIS: 4).
wxString ZorBitsTexte(uint8_t iValeur, int n);
