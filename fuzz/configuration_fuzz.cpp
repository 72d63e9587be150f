// Settings text parser: any bytes are parsed without fault, the map obeys the line rules, and
// writing the map out and parsing it again gives back every pair that can be stored.
#include "infra/ZorConfiguration.h"

#include <cstdint>
#include <cstdlib>

namespace {

bool Trimmed(const wxString& z)
{
    auto space = [](wxUniChar c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
    };
    return z.empty() || (!space(z[0]) && !space(z.Last()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    wxString text(reinterpret_cast<const char*>(data), wxConvUTF8, size);
    if (text.empty() && size > 0) // not UTF-8: take the bytes as Latin-1 to reach every path
        text = wxString(reinterpret_cast<const char*>(data), wxConvISO8859_1, size);

    ZorStringMap map;
    ZorConfiguration::ParseText(text, map);
    for (const auto& kv : map) {
        if (kv.first.find_first_of(wxT("=\r\n")) != wxString::npos ||
            kv.second.find_first_of(wxT("=\r\n")) != wxString::npos)
            abort();
        if (!Trimmed(kv.first) || !Trimmed(kv.second))
            abort();
    }

    ZorStringMap again;
    ZorConfiguration::ParseText(ZorConfiguration::FormatText(map), again);
    size_t kept = 0;
    for (const auto& kv : map) {
        ZorStringMap::const_iterator it = again.find(kv.first);
        bool expected = ZorConfiguration::IsStorable(kv.first, kv.second) && !kv.second.empty();
        if (expected != (it != again.end()) || (expected && it->second != kv.second))
            abort();
        kept += expected;
    }
    if (again.size() != kept)
        abort();
    return 0;
}
