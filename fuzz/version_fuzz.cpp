// Feeds arbitrary texts (folder names, version lines of discovery answers) to the version
// reader and checks what the update choice relies on.
#include "firmware/ZorMAJTavlin.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const wxString texte = wxString::From8BitData(reinterpret_cast<const char*>(data), size);
    ZorVersionTavlin v;
    if (ZorLireVersion(texte, v)) {
        if (v.iPremier > INT_MAX || v.iPremier < 0 || v.iSecond != 0 || v.iTroisieme != 0)
            abort();
        // Only digits were read: no sign, no blank.
        for (wxUniChar c : texte.AfterLast('v').AfterLast('V'))
            if (c < '0' || c > '9')
                abort();
        // Reading is stable: the same text always gives the same number, and a version
        // compares equal to itself.
        ZorVersionTavlin w;
        if (!ZorLireVersion(texte, w) || ZorComparerVersions(v, w) != 0)
            abort();
        // A prefix ending in "v" does not change the number read.
        ZorVersionTavlin x;
        if (!ZorLireVersion(wxT("maj_v") + texte.AfterLast('v').AfterLast('V'), x) ||
            x.iPremier != v.iPremier)
            abort();
    }
    // An update folder's name reads only as a positive version, and then as the same number.
    ZorVersionTavlin d;
    if (ZorLireVersionDossier(texte, d) &&
        (d.iPremier < 1 || !ZorLireVersion(texte, v) || v.iPremier != d.iPremier))
        abort();
    ZorMAJTavlin maj;
    const int c = maj.CompareVersion(texte, wxT("1"));
    if (c < -1 || c > 1)
        abort();
    return 0;
}
