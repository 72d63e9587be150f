// Text forms of the command catalogue that callers outside the device manager also need.
#pragma once

#include <wx/string.h>

#include <cstdint>
#include <string>

// The e-mail password as the device stores it (see ZorEmailPwdCodec.h). False when the password
// has a character outside Latin-1, which the device cannot store.
bool ZorEncodeEmailPwd(const wxString& zPwd, wxString* pzCode);
// Reverse: false for an empty text or one of 100 characters or more; odd lengths are copied.
bool ZorDecodeEmailPwd(const wxString& zCode, wxString* pzPwd);

// Texts placed in a request are percent-encoded, so that no text can end its parameter, add
// another or be read differently by the device's web server: every byte outside the unreserved
// characters (letters, digits, "-", ".", "_", "~") becomes "%" and two upper-case hex digits.
std::string ZorPourcentEncoder(const std::string& octets);
// A caller's text as it stands in a parameter: its ISO 8859-1 bytes (the character set of the
// device, of its state page and of its discovery answers) percent-encoded. bChamp: the text is one
// of the ";"-separated fields of a command, which the device splits after decoding, so a ";" in it
// is refused. False when refused; *pzRaison (when given) then says why, in French, and *pzEncode
// is left as it was.
bool ZorEncoderTexte(const wxString& zTexte, bool bChamp, wxString* pzEncode,
                     wxString* pzRaison = nullptr);

// n bits of a value as "0"/"1", highest first (SNUM: 8, SRELAIS: 4).
wxString ZorBitsTexte(uint8_t iValeur, int n);
