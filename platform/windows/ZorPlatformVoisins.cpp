// The neighbour lookup on Windows: IP Helper's SendARP resolves the address on its link. Where
// SendARP is not available (Wine has none), a datagram to the address makes the system resolve
// it, and the neighbour table (GetIpNetTable) says whether someone answered.
#include "platform/ZorPlatform.h"
#include "platform/windows/ZorWindows.h"

#include <iphlpapi.h>

#include <vector>

namespace {

// 1 resolved, 0 not (yet), -1 the table cannot be read.
int EntreeResolue(uint32_t iAdresse)
{
    ULONG iTaille = 0;
    std::vector<unsigned char> tampon;
    DWORD r = ERROR_INSUFFICIENT_BUFFER;
    for (int essai = 0; essai < 4 && r == ERROR_INSUFFICIENT_BUFFER; ++essai) {
        tampon.assign(iTaille ? iTaille : 1, 0);
        r = GetIpNetTable(reinterpret_cast<MIB_IPNETTABLE*>(tampon.data()), &iTaille, FALSE);
    }
    if (r == ERROR_NO_DATA)
        return 0;
    if (r != NO_ERROR)
        return -1;
    const MIB_IPNETTABLE* t = reinterpret_cast<const MIB_IPNETTABLE*>(tampon.data());
    for (DWORD i = 0; i < t->dwNumEntries; ++i) {
        const MIB_IPNETROW& e = t->table[i];
        if (e.dwAddr == iAdresse && e.dwPhysAddrLen > 0 &&
            (e.dwType == MIB_IPNET_TYPE_DYNAMIC || e.dwType == MIB_IPNET_TYPE_STATIC))
            return 1;
    }
    return 0;
}

} // namespace

namespace ZorPlatform {

ZorVoisin ChercherVoisin(uint32_t iAdresse, int iAttenteMs, const std::atomic<bool>* pArret)
{
    // SendARP waits with the system's own resolution time (about 3 s) and cannot be cut short.
    ULONG mac[2] = {0, 0};
    ULONG iLen = 6;
    const DWORD r = SendARP(IPAddr(iAdresse), 0, mac, &iLen);
    if (r == NO_ERROR)
        return iLen > 0 ? ZorVoisin::Present : ZorVoisin::Absent;
    if (r == ERROR_BAD_NET_NAME || r == ERROR_GEN_FAILURE)
        return ZorVoisin::Absent;

    if (EntreeResolue(iAdresse) > 0)
        return ZorVoisin::Present;
    PreparerSockets();
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET)
        return ZorVoisin::Inconnu;
    // The discard port: nobody is meant to read it.
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_port = htons(9);
    sin.sin_addr.s_addr = iAdresse;
    const char octet = 0;
    sendto(s, &octet, 1, 0, reinterpret_cast<sockaddr*>(&sin), sizeof sin);
    const uint32_t iDebut = TempsMs();
    ZorVoisin v = ZorVoisin::Absent;
    // Bounded in count as well as in time.
    for (int tour = 0; tour < 10000; ++tour) {
        const int e = EntreeResolue(iAdresse);
        if (e != 0) {
            v = e > 0 ? ZorVoisin::Present : ZorVoisin::Inconnu;
            break;
        }
        if (TempsMs() - iDebut >= uint32_t(iAttenteMs) || (pArret && *pArret))
            break;
        Sleep(20);
    }
    closesocket(s);
    return v;
}

} // namespace ZorPlatform
