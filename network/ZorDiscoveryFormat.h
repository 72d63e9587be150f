// The texts of the discovery protocol as pure functions over bytes: splitting and decoding a
// device answer, the eight-digit hexadecimal address form, and the address configuration text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A device answer text is at most this long (longer datagrams are cut to it).
const size_t ZOR_DATAGRAMME_MAX = 1023;

// The decoded fields of a device answer.
struct ZorReponseTavlin
{
    std::string zType;
    std::string zNom;
    std::string zMAC;
    std::string zCommentaire;
    std::string zLogin;
    std::string zPwd;
    std::string zMask;    // dotted; empty when the field was not eight hex digits
    std::string zGateway; // dotted; empty when the field was not eight hex digits
    bool bDhcp = false;
    std::string zVersion;
};

// The text of a received datagram: the bytes up to the first zero byte, at most
// ZOR_DATAGRAMME_MAX of them.
std::string ZorTexteDatagramme(const uint8_t* pData, size_t iLen);

// Lines separated by line feeds: empty lines between other lines are kept, empty lines at the
// end are not (a text of line feeds only is one empty line); white space is trimmed from the
// right of each line.
std::vector<std::string> ZorDecoupeLignes(const std::string& zTexte);

// Decodes an answer; false when it has fewer than eight lines. The version is line 9 when the
// answer has exactly nine lines, else "1".
bool ZorDecodeReponse(const std::string& zTexte, ZorReponseTavlin* pReponse);

// The longest texts a device keeps; an answer carrying longer ones is not a device's.
const size_t ZOR_NOM_MAX = 32;
const size_t ZOR_COMMENTAIRE_MAX = 64;
const size_t ZOR_IDENTIFIANT_MAX = 32; // login and password each
const size_t ZOR_VERSION_MAX = 32;
const size_t ZOR_LIGNE_COURTE_MAX = 32; // the mask and gateway line, the DHCP line
// Lines an answer may carry: nine, and a few more that a later firmware might add (ignored);
// hundreds of lines are no answer.
const size_t ZOR_LIGNES_MAX = 16;

// What an answer of the discovery protocol is worth.
enum ZorQualiteReponse {
    ZOR_REPONSE_OK = 0,
    ZOR_REPONSE_AUTRE,     // not an answer: fewer than eight lines or another type (hellos
                           // and configuration texts of other PCs look like this)
    ZOR_REPONSE_LIGNES,    // more than ZOR_LIGNES_MAX lines
    ZOR_REPONSE_MAC,       // the hardware address is not six hexadecimal pairs
    ZOR_REPONSE_LONGUEUR,  // a text longer than a device keeps
    ZOR_REPONSE_CARACTERE, // a control character or ";" in a text
};

// Short text of a quality, for the log.
const char* ZorTexteQualite(ZorQualiteReponse e);

// Six hexadecimal pairs, all separated by "-" or all by ":", to the upper-case form with "-".
// False, result untouched, for anything else.
bool ZorNormaliseMAC(const std::string& zMAC, std::string* pzNormale);

// Decodes an answer and checks it is one a device could send; on ZOR_REPONSE_OK the hardware
// address is in its normal form. The answer format itself is that of ZorDecodeReponse: only
// what it cannot read is refused, so a mask and gateway line that is not sixteen hexadecimal
// digits passes, its unreadable parts as empty texts, as the protocol reads them.
ZorQualiteReponse ZorLitReponse(const std::string& zTexte, ZorReponseTavlin* pReponse);

// Eight hexadecimal digits (most significant octet first) to dotted decimal; false, result
// untouched, unless the text is exactly eight hexadecimal digits.
bool ZorHexaVersPointee(const std::string& zHexa, std::string* pzPointee);
// Four octets (most significant first) in the eight-digit upper-case form.
std::string ZorOctetsVersHexa(const uint8_t octets[4]);
// Four octets (most significant first) in dotted decimal.
std::string ZorOctetsVersPointee(const uint8_t octets[4]);

// A candidate address on a network: the network bits from reseau, the host bits from
// aleatoire. False when it would be the network's own or broadcast address (so also when the
// mask leaves no host bits).
bool ZorCandidatAdresse(const uint8_t reseau[4], const uint8_t masque[4],
                        const uint8_t aleatoire[4], uint8_t candidat[4]);

// Why a configuration text cannot be sent.
enum ZorErreurConfiguration {
    ZOR_CONFIG_OK = 0,
    ZOR_CONFIG_TROP_LONG,  // longer than ZOR_DATAGRAMME_MAX: a cut text would be misread
    ZOR_CONFIG_SEPARATEUR, // a field holds ";" (or a line break or zero byte), which would
                           // shift the fields the device reads
};

// "N;mac;login;pwd;ip;mask;gateway;0;" with the "-" removed from the hardware address. The
// address fields are given already in the hexadecimal form.
ZorErreurConfiguration ZorTexteConfiguration(const std::string& zMAC, const std::string& zLogin,
                                             const std::string& zPwd, const std::string& zIPHexa,
                                             const std::string& zMaskHexa,
                                             const std::string& zGatewayHexa, std::string* pzTexte);
