#include "device/ZorTavlinEtat.h"

#include <climits>
#include <cstring>
#include <cwchar>
#include <cwctype>

namespace {

enum Cle
{
    CLE_AUCUNE,
    CLE_SRELAIS,
    CLE_SNUM,
    CLE_SANA1,
    CLE_SANA2,
    CLE_ENUM,
    CLE_EANA1,
    CLE_EANA2,
    CLE_EANA3,
    CLE_EANA4,
    CLE_AUTO,
    CLE_BOUTON,
    CLE_DATETIME,
    CLE_VERSION,
    CLE_COMMENT,
    CLE_5VUSER,
    CLE_TYPE,
    CLE_BLINK,
    CLE_DATETIMEFAB,
    CLE_BANCFAB,
    CLE_IDFAB,
    CLE_SMTPSERVER,
    CLE_SMTPPORT,
    CLE_SMTPLOGIN,
    CLE_SMTPPWD,
    CLE_SMTPSSL,
    CLE_UART,
    CLE_FLASH,
    CLE_EEPROM,
};

struct NomCle
{
    const wchar_t* nom;
    size_t len;
    Cle cle;
};

#define ZOR_CLE(n, c) {L##n, sizeof(n) - 1, c}
const NomCle kCles[] = {
    ZOR_CLE("SRELAIS", CLE_SRELAIS),     ZOR_CLE("SNUM", CLE_SNUM),
    ZOR_CLE("SANA1", CLE_SANA1),         ZOR_CLE("SANA2", CLE_SANA2),
    ZOR_CLE("ENUM", CLE_ENUM),           ZOR_CLE("EANA1", CLE_EANA1),
    ZOR_CLE("EANA2", CLE_EANA2),         ZOR_CLE("EANA3", CLE_EANA3),
    ZOR_CLE("EANA4", CLE_EANA4),         ZOR_CLE("AUTO", CLE_AUTO),
    ZOR_CLE("BOUTON", CLE_BOUTON),       ZOR_CLE("DATETIME", CLE_DATETIME),
    ZOR_CLE("VERSION", CLE_VERSION),     ZOR_CLE("COMMENT", CLE_COMMENT),
    ZOR_CLE("5VUSER", CLE_5VUSER),       ZOR_CLE("TYPE", CLE_TYPE),
    ZOR_CLE("BLINK", CLE_BLINK),         ZOR_CLE("DATETIMEFAB", CLE_DATETIMEFAB),
    ZOR_CLE("BANCFAB", CLE_BANCFAB),     ZOR_CLE("IDFAB", CLE_IDFAB),
    ZOR_CLE("SMTPSERVER", CLE_SMTPSERVER), ZOR_CLE("SMTPPORT", CLE_SMTPPORT),
    ZOR_CLE("SMTPLOGIN", CLE_SMTPLOGIN), ZOR_CLE("SMTPPWD", CLE_SMTPPWD),
    ZOR_CLE("SMTPSSL", CLE_SMTPSSL),     ZOR_CLE("UART", CLE_UART),
    ZOR_CLE("FLASH", CLE_FLASH),         ZOR_CLE("EEPROM", CLE_EEPROM),
};
#undef ZOR_CLE

Cle TrouverCle(const wxChar* p, size_t len)
{
    for (const NomCle& k : kCles)
        if (k.len == len && std::wmemcmp(k.nom, p, len) == 0)
            return k.cle;
    return CLE_AUCUNE;
}

inline bool EstBlanc(wxChar c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The C library's base-10 string-to-long: blanks, a sign, digits up to the first other character;
// 0 without digits; saturated like strtol on this platform.
long Decimal(const wxChar* p, size_t len)
{
    size_t i = 0;
    while (i < len && EstBlanc(p[i]))
        ++i;
    bool negatif = false;
    if (i < len && (p[i] == '+' || p[i] == '-')) {
        negatif = p[i] == '-';
        ++i;
    }
    unsigned long v = 0;
    const unsigned long limite = negatif ? (unsigned long)LONG_MAX + 1 : (unsigned long)LONG_MAX;
    bool sature = false;
    for (; i < len && p[i] >= '0' && p[i] <= '9'; ++i) {
        unsigned long d = unsigned(p[i] - '0');
        if (sature || v > (limite - d) / 10) {
            sature = true;
            continue;
        }
        v = v * 10 + d;
    }
    if (sature)
        v = limite;
    return negatif ? (long)(0 - v) : (long)v;
}

// strtol in base 16 over at most len characters (blanks, sign, optional "0x"), as the board's
// answers are read.
long Hexa(const wxString& z, size_t debut, size_t len)
{
    wxString part = z.Mid(debut, len);
    const wxChar* p = part.wc_str();
    size_t n = part.length();
    size_t i = 0;
    while (i < n && EstBlanc(p[i]))
        ++i;
    bool negatif = false;
    if (i < n && (p[i] == '+' || p[i] == '-')) {
        negatif = p[i] == '-';
        ++i;
    }
    if (i + 2 < n && p[i] == '0' && (p[i + 1] == 'x' || p[i + 1] == 'X') && iswxdigit(p[i + 2]))
        i += 2;
    long v = 0;
    for (; i < n; ++i) {
        wxChar c = p[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            break;
        v = v * 16 + d; // at most 12 characters: no overflow
    }
    return negatif ? -v : v;
}

uint8_t Bits(const wxChar* p, size_t len)
{
    unsigned v = 0;
    for (size_t i = 0; i < len; ++i)
        if (p[i] == '1')
            v |= 1u << (len - 1 - i);
    return uint8_t(v);
}

void SupprimerSK(wxString& z)
{
    wxString propre;
    propre.reserve(z.length());
    for (wxString::const_iterator it = z.begin(); it != z.end(); ++it)
        if (*it != 'S' && *it != 'K')
            propre += *it;
    z = propre;
}

// One step of the board exchange on the UART value of a reply.
void EtapeUART(ZorTavlinData& data, ZorEtatUART& uart)
{
    if (uart.m_iEtapeUART >= 0 && uart.m_iEtapeUART <= 3)
        SupprimerSK(data.m_zUART);
    switch (uart.m_iEtapeUART) {
    case 0:
    case 2:
        if (data.m_zUART.empty()) {
            ++uart.m_iEtapeUART;
            uart.m_bEnvoiUART = true;
        }
        break;
    case 1:
        ++uart.m_iEssaisUART;
        if (data.m_zUART.length() >= 4) {
            long v = Hexa(data.m_zUART, 0, 4);
            uart.m_iSNUM = uint8_t((v >> 8) & 0xFF);
            uart.m_iENUM = uint8_t(v & 0xFF);
            uart.m_bLuIO = true;
            data.m_iSNUM = uart.m_iSNUM;
            data.m_iENUM = uart.m_iENUM;
            uart.m_iEtapeUART = 2;
            uart.m_bEnvoiUART = true;
            uart.m_iEssaisUART = 0;
        } else if (uart.m_iEssaisUART > 20) {
            uart.m_iEtapeUART = 0;
            uart.m_bEnvoiUART = true;
        }
        break;
    case 3:
        ++uart.m_iEssaisUART;
        if (data.m_zUART.length() >= 12) {
            for (int i = 0; i < 4; ++i)
                uart.m_iEANA[i] = int16_t(Hexa(data.m_zUART, size_t(i) * 3, 3));
            uart.m_bLuAna = true;
            data.m_iEANA1 = uart.m_iEANA[0];
            data.m_iEANA2 = uart.m_iEANA[1];
            data.m_iEANA3 = uart.m_iEANA[2];
            data.m_iEANA4 = uart.m_iEANA[3];
            uart.m_iEtapeUART = 4;
            uart.m_bEnvoiUART = true;
            uart.m_iEssaisUART = 0;
        } else if (uart.m_iEssaisUART > 20) {
            uart.m_iEtapeUART = 0;
            uart.m_bEnvoiUART = true;
        }
        break;
    default:
        ++uart.m_iEssaisUART;
        uart.m_iEtapeUART = 0;
        uart.m_bCommandeUART = false;
        uart.m_bEnvoiUART = true;
        break;
    }
}

} // namespace

wxString ZorDecodeReferences(const wxString& zTexte)
{
    const wxChar* p = zTexte.wc_str();
    const size_t n = zTexte.length();
    wxString out;
    out.reserve(n);
    size_t i = 0;
    while (i < n) {
        if (p[i] == '&' && i + 1 < n && p[i + 1] == '#') {
            size_t j = i + 2;
            while (j < n && j - (i + 2) <= 10 && p[j] >= '0' && p[j] <= '9')
                ++j;
            size_t chiffres = j - (i + 2);
            if (chiffres >= 1 && chiffres <= 10 && j < n && p[j] == ';') {
                unsigned long long v = 0;
                for (size_t k = i + 2; k < j; ++k)
                    v = v * 10 + unsigned(p[k] - '0');
                if (v > 0) {
                    out += wxChar(v & 0xFF);
                    i = j + 1;
                    continue;
                }
            }
        }
        out += p[i];
        ++i;
    }
    return out;
}

bool ZorParseEtat(const wxString& zReply, bool bModeUART, ZorTavlinData& data, ZorEtatUART& uart)
{
    data.ReInit();
    if (bModeUART) {
        if (uart.m_bLuIO) {
            data.m_iSNUM = uart.m_iSNUM;
            data.m_iENUM = uart.m_iENUM;
        }
        if (uart.m_bLuAna) {
            data.m_iEANA1 = uart.m_iEANA[0];
            data.m_iEANA2 = uart.m_iEANA[1];
            data.m_iEANA3 = uart.m_iEANA[2];
            data.m_iEANA4 = uart.m_iEANA[3];
        }
    }
    bool bHorlogeNonReglee = false;
    const wxChar* texte = zReply.wc_str();
    const size_t total = zReply.length();
    size_t debut = 0;
    while (debut < total) {
        const wxChar* fin = std::wmemchr(texte + debut, '\n', total - debut);
        size_t finLigne = fin ? size_t(fin - texte) : total;
        const wxChar* ligne = texte + debut;
        size_t len = finLigne - debut;
        debut = finLigne + 1;

        if (len == 0 || (len >= 2 && ligne[0] == '/' && ligne[1] == '*'))
            continue;
        const wxChar* egal = std::wmemchr(ligne, '=', len);
        if (!egal || size_t(egal - ligne) == len - 1)
            continue;
        size_t kDebut = 0, kFin = size_t(egal - ligne);
        while (kDebut < kFin && EstBlanc(ligne[kDebut]))
            ++kDebut;
        while (kFin > kDebut && EstBlanc(ligne[kFin - 1]))
            --kFin;
        size_t vDebut = size_t(egal - ligne) + 1, vFin = len;
        while (vDebut < vFin && EstBlanc(ligne[vDebut]))
            ++vDebut;
        while (vFin > vDebut && EstBlanc(ligne[vFin - 1]))
            --vFin;
        const wxChar* v = ligne + vDebut;
        const size_t vLen = vFin - vDebut;

        switch (TrouverCle(ligne + kDebut, kFin - kDebut)) {
        case CLE_SRELAIS:
            if (vLen == 4) {
                data.m_iSRELAIS = Bits(v, 4);
                data.m_bValide = true;
            }
            break;
        case CLE_SNUM:
            if (vLen == 8 && !bModeUART)
                data.m_iSNUM = Bits(v, 8);
            break;
        case CLE_ENUM:
            if (vLen == 8 && !bModeUART)
                data.m_iENUM = Bits(v, 8);
            break;
        case CLE_SANA1:
            if (!bModeUART)
                data.m_iSANA1 = int16_t(Decimal(v, vLen));
            break;
        case CLE_SANA2:
            if (!bModeUART)
                data.m_iSANA2 = int16_t(Decimal(v, vLen));
            break;
        case CLE_EANA1:
            if (!bModeUART)
                data.m_iEANA1 = int16_t(Decimal(v, vLen));
            break;
        case CLE_EANA2:
            if (!bModeUART)
                data.m_iEANA2 = int16_t(Decimal(v, vLen));
            break;
        case CLE_EANA3:
            if (!bModeUART)
                data.m_iEANA3 = int16_t(Decimal(v, vLen));
            break;
        case CLE_EANA4:
            if (!bModeUART)
                data.m_iEANA4 = int16_t(Decimal(v, vLen));
            break;
        case CLE_AUTO:
            if (vLen >= 1 && vLen <= 3)
                data.m_iAUTO = int32_t(Decimal(v, vLen));
            break;
        case CLE_BOUTON:
            if (vLen == 1)
                data.m_bBOUTON = v[0] == '1';
            break;
        case CLE_DATETIME:
            if (vLen > 0) {
                data.m_zDATETIME.assign(v, vLen);
                if (data.m_zDATETIME == ZOR_DATETIME_NON_REGLE)
                    bHorlogeNonReglee = true;
            }
            break;
        case CLE_VERSION:
            if (vLen > 0)
                data.m_zVERSION.assign(v, vLen);
            break;
        case CLE_COMMENT:
            data.m_zCOMMENT = ZorDecodeReferences(wxString(v, vLen));
            break;
        case CLE_5VUSER:
            data.m_z5VUSER.assign(v, vLen);
            break;
        case CLE_TYPE:
            data.m_zTYPE.assign(v, vLen);
            break;
        case CLE_BLINK:
            data.m_zBLINK.assign(v, vLen);
            break;
        case CLE_DATETIMEFAB:
            data.m_zDATETIMEFAB.assign(v, vLen);
            break;
        case CLE_BANCFAB:
            data.m_zBANCFAB.assign(v, vLen);
            break;
        case CLE_IDFAB:
            data.m_zIDFAB.assign(v, vLen);
            break;
        case CLE_SMTPSERVER:
            data.m_zSMTPSERVER.assign(v, vLen);
            break;
        case CLE_SMTPPORT:
            data.m_zSMTPPORT.assign(v, vLen);
            break;
        case CLE_SMTPLOGIN:
            data.m_zSMTPLOGIN.assign(v, vLen);
            break;
        case CLE_SMTPPWD:
            data.m_zSMTPPWD.assign(v, vLen);
            break;
        case CLE_SMTPSSL:
            data.m_zSMTPSSL.assign(v, vLen);
            break;
        case CLE_UART:
            data.m_zUART.assign(v, vLen);
            if (bModeUART)
                EtapeUART(data, uart);
            break;
        case CLE_FLASH:
            data.m_zFLASH.assign(v, vLen);
            break;
        case CLE_EEPROM:
            data.m_zEEPROM.assign(v, vLen);
            break;
        case CLE_AUCUNE:
            break;
        }
    }
    return bHorlogeNonReglee;
}

wxString ZorEtatRequeteUART(ZorEtatUART& uart, const wxString& zQueryTenue)
{
    if (!uart.m_bEnvoiUART)
        return wxString();
    wxString z;
    switch (uart.m_iEtapeUART) {
    case 0:
    case 2:
        z = wxT("&RAZ_UART=1");
        break;
    case 1:
        z = wxT("&WRITE_UART=I;");
        break;
    case 3:
        z = wxT("&WRITE_UART=N;");
        break;
    default:
        if (!uart.m_bCommandeUART)
            return wxString();
        z = zQueryTenue;
        break;
    }
    uart.m_bEnvoiUART = false;
    uart.m_iEssaisUART = 0;
    return z;
}
