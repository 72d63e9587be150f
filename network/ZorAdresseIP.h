// An IPv4 address value with dotted-decimal parsing and masking.
#pragma once

#include "infra/ZorExport.h"

#include <wx/string.h>

#include <cstdint>

class ZOR_EXPORT ZorAdresseIP
{
public:
    ZorAdresseIP();
    ZorAdresseIP(const ZorAdresseIP& other);
    explicit ZorAdresseIP(const wxString& zTexte);
    ZorAdresseIP& operator=(const ZorAdresseIP& other);
    virtual ~ZorAdresseIP();

    // Dotted decimal: four tokens, each atoi-converted to its low 8 bits; fewer than four gives 0.0.0.0.
    void Set(const wxString& zTexte);
    void Mask(const ZorAdresseIP& mask);
    bool operator==(const ZorAdresseIP& other) const;
    bool operator!=(const ZorAdresseIP& other) const { return !(*this == other); }
    bool IsNull() const;
    wxString ToString() const;
    uint8_t GetOctet(int i) const { return m_octets[i & 3]; }

    static bool IsSameReseau(const wxString& zA, const wxString& zB, const wxString& zMask);

private:
    uint8_t m_octets[4];
};
