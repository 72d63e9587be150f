// Adapter enumeration on Windows: IP Helper's GetAdaptersInfo gives, per adapter, its first IPv4
// address and mask, first gateway, DHCP state and server, hardware address, type and index.
#include "platform/ZorPlatform.h"
#include "platform/windows/ZorWindows.h"

#include <iphlpapi.h>

#include <vector>

namespace {

std::string Premiere(const IP_ADDR_STRING& liste)
{
    const std::string z = liste.IpAddress.String;
    return z.empty() ? std::string("0.0.0.0") : z;
}

std::string PremierMasque(const IP_ADDR_STRING& liste)
{
    const std::string z = liste.IpMask.String;
    return z.empty() ? std::string("0.0.0.0") : z;
}

} // namespace

namespace ZorPlatform {

bool EnumererAdaptateurs(std::vector<ZorAdaptateur>& adaptateurs, int* piErreur)
{
    adaptateurs.clear();
    ULONG iTaille = 16 * 1024;
    std::vector<unsigned char> tampon;
    DWORD r = ERROR_BUFFER_OVERFLOW;
    // The list may grow between the call that sizes it and the one that fills it: a few tries.
    for (int essai = 0; essai < 4 && r == ERROR_BUFFER_OVERFLOW; ++essai) {
        tampon.assign(iTaille, 0);
        r = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(tampon.data()), &iTaille);
    }
    // No adapter at all is an empty list, not a failure.
    if (r == ERROR_NO_DATA)
        return true;
    if (r != ERROR_SUCCESS) {
        if (piErreur)
            *piErreur = int(r);
        return false;
    }
    for (const IP_ADAPTER_INFO* p = reinterpret_cast<const IP_ADAPTER_INFO*>(tampon.data()); p;
         p = p->Next) {
        if (p->Type == MIB_IF_TYPE_LOOPBACK || p->AddressLength == 0)
            continue;
        ZorAdaptateur a;
        a.zNom = p->AdapterName;
        a.zDescription = p->Description;
        a.mac.assign(p->Address, p->Address + std::min<UINT>(p->AddressLength, 8));
        a.zIP = Premiere(p->IpAddressList);
        a.zMask = PremierMasque(p->IpAddressList);
        a.zGateway = Premiere(p->GatewayList);
        a.bDhcp = p->DhcpEnabled != 0;
        if (a.bDhcp && p->DhcpServer.IpAddress.String[0])
            a.zServeurDhcp = p->DhcpServer.IpAddress.String;
        a.iIndex = int(p->Index);
        a.iType = int(p->Type);
        adaptateurs.push_back(a);
    }
    return true;
}

void DecrireAdaptateur(ZorAdaptateur&)
{
    // GetAdaptersInfo gave the description and the leasing server with the list.
}

} // namespace ZorPlatform
