#include "device/ZorTavlinEtat.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwchar>

namespace {

// How a key's value fills the record.
enum Genre {
    G_AUCUN,
    G_TEXTE,      // the value as it is
    G_DECIMAL_IO, // decimal, low 16 bits; ignored in UART mode
    G_SRELAIS,
    G_BITS_IO, // 8-character bit string; ignored in UART mode
    G_AUTO,
    G_BOUTON,
    G_DATETIME,
    G_VERSION,
    G_COMMENT,
    G_UART,
};

struct NomCle
{
    const wchar_t* nom;
    size_t len;
    Genre genre;
    wxString ZorTavlinData::*texte;
    int16_t ZorTavlinData::*decimal;
    uint8_t ZorTavlinData::*bits;
};

#define ZOR_TEXTE(n, m)                                                                            \
  {                                                                                                \
    L##n, sizeof(n) - 1, G_TEXTE, &ZorTavlinData::m, nullptr, nullptr                              \
  }
#define ZOR_DECIMAL(n, m)                                                                          \
  {                                                                                                \
    L##n, sizeof(n) - 1, G_DECIMAL_IO, nullptr, &ZorTavlinData::m, nullptr                         \
  }
#define ZOR_BITS(n, m)                                                                             \
  {                                                                                                \
    L##n, sizeof(n) - 1, G_BITS_IO, nullptr, nullptr, &ZorTavlinData::m                            \
  }
#define ZOR_AUTRE(n, g)                                                                            \
  {                                                                                                \
    L##n, sizeof(n) - 1, g, nullptr, nullptr, nullptr                                              \
  }
const NomCle kCles[] = {
    ZOR_AUTRE("SRELAIS", G_SRELAIS),
    ZOR_BITS("SNUM", m_iSNUM),
    ZOR_BITS("ENUM", m_iENUM),
    ZOR_DECIMAL("SANA1", m_iSANA1),
    ZOR_DECIMAL("SANA2", m_iSANA2),
    ZOR_DECIMAL("EANA1", m_iEANA1),
    ZOR_DECIMAL("EANA2", m_iEANA2),
    ZOR_DECIMAL("EANA3", m_iEANA3),
    ZOR_DECIMAL("EANA4", m_iEANA4),
    ZOR_AUTRE("AUTO", G_AUTO),
    ZOR_AUTRE("BOUTON", G_BOUTON),
    ZOR_AUTRE("DATETIME", G_DATETIME),
    ZOR_AUTRE("VERSION", G_VERSION),
    ZOR_AUTRE("COMMENT", G_COMMENT),
    ZOR_TEXTE("5VUSER", m_z5VUSER),
    ZOR_TEXTE("TYPE", m_zTYPE),
    ZOR_TEXTE("BLINK", m_zBLINK),
    ZOR_TEXTE("DATETIMEFAB", m_zDATETIMEFAB),
    ZOR_TEXTE("BANCFAB", m_zBANCFAB),
    ZOR_TEXTE("IDFAB", m_zIDFAB),
    ZOR_TEXTE("SMTPSERVER", m_zSMTPSERVER),
    ZOR_TEXTE("SMTPPORT", m_zSMTPPORT),
    ZOR_TEXTE("SMTPLOGIN", m_zSMTPLOGIN),
    ZOR_TEXTE("SMTPPWD", m_zSMTPPWD),
    ZOR_TEXTE("SMTPSSL", m_zSMTPSSL),
    ZOR_AUTRE("UART", G_UART),
    ZOR_TEXTE("FLASH", m_zFLASH),
    ZOR_TEXTE("EEPROM", m_zEEPROM),
};
#undef ZOR_TEXTE
#undef ZOR_DECIMAL
#undef ZOR_BITS
#undef ZOR_AUTRE

const NomCle* TrouverCle(const wxChar* p, size_t len)
{
    for (const NomCle& k : kCles)
        if (k.len == len && std::wmemcmp(k.nom, p, len) == 0)
            return &k;
    return nullptr;
}

inline bool EstBlanc(wxChar c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

int Chiffre(wxChar c, int base)
{
    int d = c >= '0' && c <= '9'   ? c - '0'
            : c >= 'a' && c <= 'z' ? c - 'a' + 10
            : c >= 'A' && c <= 'Z' ? c - 'A' + 10
                                   : 99;
    return d < base ? d : -1;
}

// The C library's string-to-long in base 10 or 16: blanks, a sign, (base 16) an optional "0x",
// digits up to the first other character; 0 without digits; saturated like strtol here.
long Convertir(const wxChar* p, size_t len, int base)
{
    size_t i = 0;
    while (i < len && EstBlanc(p[i]))
        ++i;
    bool negatif = false;
    if (i < len && (p[i] == '+' || p[i] == '-')) {
        negatif = p[i] == '-';
        ++i;
    }
    if (base == 16 && i + 2 < len && p[i] == '0' && (p[i + 1] == 'x' || p[i + 1] == 'X') &&
        Chiffre(p[i + 2], 16) >= 0)
        i += 2;
    unsigned long v = 0;
    const unsigned long limite = negatif ? (unsigned long)LONG_MAX + 1 : (unsigned long)LONG_MAX;
    bool sature = false;
    for (int d; i < len && (d = Chiffre(p[i], base)) >= 0; ++i) {
        if (sature || v > (limite - unsigned(d)) / unsigned(base)) {
            sature = true;
            continue;
        }
        v = v * unsigned(base) + unsigned(d);
    }
    if (sature)
        v = limite;
    return negatif ? (long)(0 - v) : (long)v;
}

long Decimal(const wxChar* p, size_t len)
{
    return Convertir(p, len, 10);
}

// Hexadecimal field of the board's answer: at most len characters from debut.
long Hexa(const wxString& z, size_t debut, size_t len)
{
    if (debut >= z.length())
        return 0;
    return Convertir(z.wc_str() + debut, std::min(len, z.length() - debut), 16);
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

// The board's last values into the record (those it has given so far).
void CopierCarte(ZorTavlinData& data, const ZorEtatUART& uart)
{
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
    case 3: {
        // The board's digital word (4 hexadecimal digits) or its four analog inputs (3 each);
        // back to step 0 when it has not answered in 20 replies.
        ++uart.m_iEssaisUART;
        const bool bIO = uart.m_iEtapeUART == 1;
        if (data.m_zUART.length() >= (bIO ? 4u : 12u)) {
            if (bIO) {
                long v = Hexa(data.m_zUART, 0, 4);
                uart.m_iSNUM = uint8_t((v >> 8) & 0xFF);
                uart.m_iENUM = uint8_t(v & 0xFF);
                uart.m_bLuIO = true;
            } else {
                for (int i = 0; i < 4; ++i)
                    uart.m_iEANA[i] = int16_t(Hexa(data.m_zUART, size_t(i) * 3, 3));
                uart.m_bLuAna = true;
            }
            CopierCarte(data, uart);
            ++uart.m_iEtapeUART;
            uart.m_bEnvoiUART = true;
            uart.m_iEssaisUART = 0;
        } else if (uart.m_iEssaisUART > 20) {
            uart.m_iEtapeUART = 0;
            uart.m_bEnvoiUART = true;
        }
        break;
    }
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
                // A reference whose low 8 bits are 0 would put a NUL in the text: kept as it is.
                if ((v & 0xFF) != 0) {
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
    if (bModeUART)
        CopierCarte(data, uart);
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

        const NomCle* cle = TrouverCle(ligne + kDebut, kFin - kDebut);
        if (!cle)
            continue;
        switch (cle->genre) {
        case G_TEXTE:
            (data.*(cle->texte)).assign(v, vLen);
            break;
        case G_DECIMAL_IO:
            if (!bModeUART)
                data.*(cle->decimal) = int16_t(Decimal(v, vLen));
            break;
        case G_BITS_IO:
            if (vLen == 8 && !bModeUART)
                data.*(cle->bits) = Bits(v, 8);
            break;
        case G_SRELAIS:
            if (vLen == 4) {
                data.m_iSRELAIS = Bits(v, 4);
                data.m_bValide = true;
            }
            break;
        case G_AUTO:
            if (vLen >= 1 && vLen <= 3)
                data.m_iAUTO = int32_t(Decimal(v, vLen));
            break;
        case G_BOUTON:
            if (vLen == 1)
                data.m_bBOUTON = v[0] == '1';
            break;
        case G_DATETIME:
            if (vLen > 0) {
                data.m_zDATETIME.assign(v, vLen);
                if (data.m_zDATETIME == ZOR_DATETIME_NON_REGLE)
                    bHorlogeNonReglee = true;
            }
            break;
        case G_VERSION:
            if (vLen > 0)
                data.m_zVERSION.assign(v, vLen);
            break;
        case G_COMMENT:
            data.m_zCOMMENT = ZorDecodeReferences(wxString(v, vLen));
            break;
        case G_UART:
            data.m_zUART.assign(v, vLen);
            if (bModeUART)
                EtapeUART(data, uart);
            break;
        case G_AUCUN:
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
