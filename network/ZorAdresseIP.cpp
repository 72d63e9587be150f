#include "network/ZorAdresseIP.h"

#include <wx/tokenzr.h>

#include <cstring>

namespace {

// atoi-like over a token, kept to its low 8 bits: leading blanks and one sign, digits up to the
// first other character. Arithmetic modulo 256 gives the low bits without overflow.
uint8_t OctetDeJeton(const wxString& zJeton)
{
    size_t i = 0;
    const size_t n = zJeton.length();
    while (i < n && (zJeton[i] == ' ' || zJeton[i] == '\t' || zJeton[i] == '\n' ||
                     zJeton[i] == '\v' || zJeton[i] == '\f' || zJeton[i] == '\r'))
        ++i;
    bool bNegatif = false;
    if (i < n && (zJeton[i] == '+' || zJeton[i] == '-')) {
        bNegatif = zJeton[i] == '-';
        ++i;
    }
    unsigned int v = 0;
    for (; i < n && zJeton[i] >= '0' && zJeton[i] <= '9'; ++i)
        v = (v * 10u + unsigned(zJeton[i] - '0')) & 0xFFu;
    if (bNegatif)
        v = (256u - v) & 0xFFu;
    return uint8_t(v);
}

} // namespace

ZorAdresseIP::ZorAdresseIP()
{
    memset(m_octets, 0, sizeof(m_octets));
}

ZorAdresseIP::ZorAdresseIP(const ZorAdresseIP& other)
{
    memcpy(m_octets, other.m_octets, sizeof(m_octets));
}

ZorAdresseIP::ZorAdresseIP(const wxString& zTexte)
{
    memset(m_octets, 0, sizeof(m_octets));
    Set(zTexte);
}

ZorAdresseIP& ZorAdresseIP::operator=(const ZorAdresseIP& other)
{
    if (this != &other) // memcpy onto itself is undefined
        memcpy(m_octets, other.m_octets, sizeof(m_octets));
    return *this;
}

ZorAdresseIP::~ZorAdresseIP() {}

void ZorAdresseIP::Set(const wxString& zTexte)
{
    uint8_t octets[4] = {0, 0, 0, 0};
    int n = 0;
    wxStringTokenizer tk(zTexte, wxT("."), wxTOKEN_RET_EMPTY);
    while (n < 4 && tk.HasMoreTokens())
        octets[n++] = OctetDeJeton(tk.GetNextToken());
    if (n < 4)
        memset(octets, 0, sizeof(octets));
    memcpy(m_octets, octets, sizeof(m_octets));
}

void ZorAdresseIP::Mask(const ZorAdresseIP& mask)
{
    for (int i = 0; i < 4; ++i)
        m_octets[i] &= mask.m_octets[i];
}

bool ZorAdresseIP::operator==(const ZorAdresseIP& other) const
{
    return memcmp(m_octets, other.m_octets, sizeof(m_octets)) == 0;
}

bool ZorAdresseIP::IsNull() const
{
    return m_octets[0] == 0 && m_octets[1] == 0 && m_octets[2] == 0 && m_octets[3] == 0;
}

wxString ZorAdresseIP::ToString() const
{
    return wxString::Format(wxT("%u.%u.%u.%u"), unsigned(m_octets[0]), unsigned(m_octets[1]),
                            unsigned(m_octets[2]), unsigned(m_octets[3]));
}

bool ZorAdresseIP::IsSameReseau(const wxString& zA, const wxString& zB, const wxString& zMask)
{
    ZorAdresseIP a(zA), b(zB), mask(zMask);
    a.Mask(mask);
    b.Mask(mask);
    return a == b;
}
