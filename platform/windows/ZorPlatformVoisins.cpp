// The neighbour lookup on Windows: IP Helper's SendARP resolves the address on its link.
#include "platform/ZorPlatform.h"
#include "platform/windows/ZorWindows.h"

#include <iphlpapi.h>

namespace ZorPlatform {

ZorVoisin ChercherVoisin(uint32_t iAdresse, int, const std::atomic<bool>*)
{
    // SendARP asks the link itself and waits with the system's own resolution time (about 3 s),
    // which the caller's wait already allows for; it cannot be cut short.
    ULONG mac[2] = {0, 0};
    ULONG iLen = 6;
    switch (SendARP(IPAddr(iAdresse), 0, mac, &iLen)) {
    case NO_ERROR:
        return iLen > 0 ? ZorVoisin::Present : ZorVoisin::Absent;
    case ERROR_BAD_NET_NAME:
    case ERROR_GEN_FAILURE:
        return ZorVoisin::Absent;
    default:
        return ZorVoisin::Inconnu;
    }
}

} // namespace ZorPlatform
