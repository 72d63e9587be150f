#include "network/ZorDiscoveryFormat.h"

#include <cstdio>
#include <cstring>

namespace {

bool IsBlanc(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int ValeurHexa(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool ContientSeparateur(const std::string& z)
{
    return z.find_first_of(std::string(";\r\n\0", 4)) != std::string::npos;
}

// Control characters (C0, DEL and the C1 range of 8-bit text) and ";", which no device text holds.
bool TexteInterdit(const std::string& z)
{
    for (unsigned char c : z)
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == ';')
            return true;
    return false;
}

} // namespace

std::string ZorTexteDatagramme(const uint8_t* pData, size_t iLen)
{
    if (!pData)
        return std::string();
    if (iLen > ZOR_DATAGRAMME_MAX)
        iLen = ZOR_DATAGRAMME_MAX;
    const void* zero = memchr(pData, 0, iLen);
    if (zero)
        iLen = size_t(static_cast<const uint8_t*>(zero) - pData);
    return std::string(reinterpret_cast<const char*>(pData), iLen);
}

std::vector<std::string> ZorDecoupeLignes(const std::string& zTexte)
{
    std::vector<std::string> lignes;
    // Separators after the last other character end the text; a text of separators only is
    // one empty line.
    const size_t dernier = zTexte.find_last_not_of('\n');
    if (dernier == std::string::npos) {
        if (!zTexte.empty())
            lignes.push_back(std::string());
        return lignes;
    }
    size_t pos = 0;
    for (;;) {
        size_t fin = zTexte.find('\n', pos);
        if (fin == std::string::npos || fin > dernier)
            fin = dernier + 1;
        std::string ligne = zTexte.substr(pos, fin - pos);
        while (!ligne.empty() && IsBlanc(ligne.back()))
            ligne.pop_back();
        lignes.push_back(ligne);
        if (fin > dernier)
            break;
        pos = fin + 1;
    }
    return lignes;
}

bool ZorDecodeReponse(const std::string& zTexte, ZorReponseTavlin* pReponse)
{
    std::vector<std::string> lignes = ZorDecoupeLignes(zTexte);
    if (lignes.size() < 8 || !pReponse)
        return false;
    ZorReponseTavlin& r = *pReponse;
    r = ZorReponseTavlin();
    r.zType = lignes[0];
    r.zNom = lignes[1];
    r.zMAC = lignes[2];
    r.zCommentaire = lignes[3];
    r.zLogin = lignes[4];
    r.zPwd = lignes[5];
    const std::string& zReseau = lignes[6];
    ZorHexaVersPointee(zReseau.substr(0, 8), &r.zMask);
    if (zReseau.size() > 8)
        ZorHexaVersPointee(zReseau.substr(8, 8), &r.zGateway);
    r.bDhcp = lignes[7] == "1";
    r.zVersion = lignes.size() == 9 ? lignes[8] : std::string("1");
    return true;
}

bool ZorHexaVersPointee(const std::string& zHexa, std::string* pzPointee)
{
    if (!pzPointee || zHexa.size() != 8)
        return false;
    uint8_t octets[4];
    for (int i = 0; i < 4; ++i) {
        int h = ValeurHexa(zHexa[2 * i]);
        int l = ValeurHexa(zHexa[2 * i + 1]);
        if (h < 0 || l < 0)
            return false;
        octets[i] = uint8_t(h * 16 + l);
    }
    *pzPointee = ZorOctetsVersPointee(octets);
    return true;
}

std::string ZorOctetsVersPointee(const uint8_t octets[4])
{
    char buf[16];
    snprintf(buf, sizeof(buf), "%u.%u.%u.%u", unsigned(octets[0]), unsigned(octets[1]),
             unsigned(octets[2]), unsigned(octets[3]));
    return buf;
}

std::string ZorOctetsVersHexa(const uint8_t octets[4])
{
    char buf[9];
    snprintf(buf, sizeof(buf), "%02X%02X%02X%02X", unsigned(octets[0]), unsigned(octets[1]),
             unsigned(octets[2]), unsigned(octets[3]));
    return buf;
}

ZorErreurConfiguration ZorTexteConfiguration(const std::string& zMAC, const std::string& zLogin,
                                             const std::string& zPwd, const std::string& zIPHexa,
                                             const std::string& zMaskHexa,
                                             const std::string& zGatewayHexa, std::string* pzTexte)
{
    std::string zMac;
    zMac.reserve(zMAC.size());
    for (char c : zMAC)
        if (c != '-')
            zMac += c;
    for (const std::string* z : {static_cast<const std::string*>(&zMac), &zLogin, &zPwd, &zIPHexa,
                                 &zMaskHexa, &zGatewayHexa})
        if (ContientSeparateur(*z))
            return ZOR_CONFIG_SEPARATEUR;
    std::string zTexte = "N;" + zMac + ";" + zLogin + ";" + zPwd + ";" + zIPHexa + ";" + zMaskHexa +
                         ";" + zGatewayHexa + ";0;";
    if (zTexte.size() > ZOR_DATAGRAMME_MAX)
        return ZOR_CONFIG_TROP_LONG;
    if (pzTexte)
        *pzTexte = zTexte;
    return ZOR_CONFIG_OK;
}

bool ZorCandidatAdresse(const uint8_t reseau[4], const uint8_t masque[4],
                        const uint8_t aleatoire[4], uint8_t candidat[4])
{
    bool bHoteZero = true, bHoteUns = true;
    for (int i = 0; i < 4; ++i) {
        const uint8_t hote = uint8_t(aleatoire[i] & ~masque[i]);
        candidat[i] = uint8_t((reseau[i] & masque[i]) | hote);
        if (hote != 0)
            bHoteZero = false;
        if (hote != uint8_t(~masque[i]))
            bHoteUns = false;
    }
    return !bHoteZero && !bHoteUns;
}

const char* ZorTexteQualite(ZorQualiteReponse e)
{
    switch (e) {
    case ZOR_REPONSE_OK:
        return "ok";
    case ZOR_REPONSE_AUTRE:
        return "pas une reponse";
    case ZOR_REPONSE_LIGNES:
        return "trop de lignes";
    case ZOR_REPONSE_MAC:
        return "adresse MAC invalide";
    case ZOR_REPONSE_LONGUEUR:
        return "texte trop long";
    case ZOR_REPONSE_CARACTERE:
        return "caractere interdit";
    }
    return "?";
}

bool ZorNormaliseMAC(const std::string& zMAC, std::string* pzNormale)
{
    if (zMAC.size() != 17 || !pzNormale)
        return false;
    const char cSeparateur = zMAC[2];
    if (cSeparateur != '-' && cSeparateur != ':')
        return false;
    std::string z(zMAC);
    for (size_t i = 0; i < z.size(); ++i) {
        if (i % 3 == 2) {
            if (z[i] != cSeparateur)
                return false;
            z[i] = '-';
        } else if (ValeurHexa(z[i]) < 0)
            return false;
        else if (z[i] >= 'a')
            z[i] = char(z[i] - 'a' + 'A');
    }
    *pzNormale = z;
    return true;
}

ZorQualiteReponse ZorLitReponse(const std::string& zTexte, ZorReponseTavlin* pReponse)
{
    if (!pReponse)
        return ZOR_REPONSE_AUTRE;
    const std::vector<std::string> lignes = ZorDecoupeLignes(zTexte);
    ZorReponseTavlin& r = *pReponse;
    if (!ZorDecodeReponse(zTexte, &r) || (r.zType != "A" && r.zType != "D" && r.zType != "M"))
        return ZOR_REPONSE_AUTRE;
    if (lignes.size() > ZOR_LIGNES_MAX)
        return ZOR_REPONSE_LIGNES;
    // Every line the answer's values come from, the version line only when it is used.
    const size_t iLignesLues = lignes.size() == 9 ? 9 : 8;
    for (size_t i = 0; i < iLignesLues; ++i)
        if (TexteInterdit(lignes[i]))
            return ZOR_REPONSE_CARACTERE;
    if (!ZorNormaliseMAC(r.zMAC, &r.zMAC))
        return ZOR_REPONSE_MAC;
    if (r.zNom.size() > ZOR_NOM_MAX || r.zCommentaire.size() > ZOR_COMMENTAIRE_MAX ||
        r.zLogin.size() > ZOR_IDENTIFIANT_MAX || r.zPwd.size() > ZOR_IDENTIFIANT_MAX ||
        r.zVersion.size() > ZOR_VERSION_MAX || lignes[6].size() > ZOR_LIGNE_COURTE_MAX ||
        lignes[7].size() > ZOR_LIGNE_COURTE_MAX)
        return ZOR_REPONSE_LONGUEUR;
    return ZOR_REPONSE_OK;
}
