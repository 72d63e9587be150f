// Adapter enumeration on Linux: links and first IPv4 addresses from getifaddrs, address
// lifetimes from rtnetlink (a leased address is not permanent), gateways from the routing
// table, types and descriptions from sysfs and the driver.
#include "platform/ZorPlatform.h"
#include "platform/linux/ZorNetlink.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <net/if_arp.h>
// After the C library's interface headers: the kernel's would redeclare their flags.
#include <linux/ethtool.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sockios.h>
#include <netpacket/packet.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <utility>

namespace {

std::string Pointee(uint32_t iAdresseReseau)
{
    char buf[INET_ADDRSTRLEN] = {0};
    in_addr a;
    a.s_addr = iAdresseReseau;
    inet_ntop(AF_INET, &a, buf, sizeof(buf));
    return buf;
}

std::string LireLigne(const std::string& zChemin)
{
    std::ifstream f(zChemin);
    std::string z;
    if (f)
        std::getline(f, z);
    while (!z.empty() && (z.back() == '\n' || z.back() == '\r' || z.back() == ' '))
        z.pop_back();
    return z;
}

bool Existe(const std::string& zChemin)
{
    struct stat st;
    return stat(zChemin.c_str(), &st) == 0;
}

// Flags of every IPv4 address, keyed by (interface index, address). Empty when rtnetlink
// cannot be read; addresses then count as permanent.
std::map<std::pair<int, uint32_t>, uint32_t> LireDrapeauxAdresses()
{
    std::map<std::pair<int, uint32_t>, uint32_t> drapeaux;
    ZorPlatform::DumpNetlink(RTM_GETADDR, AF_INET, sizeof(ifaddrmsg), [&](const nlmsghdr* nh) {
        if (nh->nlmsg_type != RTM_NEWADDR)
            return;
        const ifaddrmsg* ifa = static_cast<const ifaddrmsg*>(NLMSG_DATA(nh));
        if (ifa->ifa_family != AF_INET)
            return;
        uint32_t flags = ifa->ifa_flags;
        uint32_t adresse = 0;
        bool bLocal = false;
        int len = int(IFA_PAYLOAD(nh));
        for (const rtattr* rta = IFA_RTA(ifa); RTA_OK(rta, len); rta = RTA_NEXT(rta, len)) {
            if (rta->rta_type == IFA_FLAGS && RTA_PAYLOAD(rta) >= 4)
                memcpy(&flags, RTA_DATA(rta), 4);
            else if (rta->rta_type == IFA_LOCAL && RTA_PAYLOAD(rta) >= 4) {
                memcpy(&adresse, RTA_DATA(rta), 4);
                bLocal = true;
            } else if (rta->rta_type == IFA_ADDRESS && RTA_PAYLOAD(rta) >= 4 && !bLocal)
                memcpy(&adresse, RTA_DATA(rta), 4);
        }
        drapeaux[{int(ifa->ifa_index), adresse}] = flags;
    });
    return drapeaux;
}

// First default route of each interface, from the routing table.
std::map<std::string, std::string> LirePasserelles()
{
    std::map<std::string, std::string> passerelles;
    std::ifstream f("/proc/net/route");
    std::string ligne;
    std::getline(f, ligne); // column titles
    while (std::getline(f, ligne)) {
        std::istringstream is(ligne);
        std::string zIf, zDest, zGw, zFlags;
        if (!(is >> zIf >> zDest >> zGw >> zFlags))
            continue;
        unsigned long dest = strtoul(zDest.c_str(), nullptr, 16);
        unsigned long gw = strtoul(zGw.c_str(), nullptr, 16);
        unsigned long flags = strtoul(zFlags.c_str(), nullptr, 16);
        // The table prints addresses as the kernel stores them (network order in a host word).
        if (dest == 0 && (flags & 0x2) && gw != 0 && !passerelles.count(zIf))
            passerelles[zIf] = Pointee(uint32_t(gw));
    }
    return passerelles;
}

int TypeAdaptateur(const std::string& zNom, unsigned short iMateriel)
{
    switch (iMateriel) {
    case ARPHRD_ETHER:
        if (Existe("/sys/class/net/" + zNom + "/wireless") ||
            Existe("/sys/class/net/" + zNom + "/phy80211"))
            return 71;
        return 6;
    case ARPHRD_IEEE80211:
    case ARPHRD_IEEE80211_PRISM:
    case ARPHRD_IEEE80211_RADIOTAP:
        return 71;
    case ARPHRD_LOOPBACK:
        return 24;
    case ARPHRD_PPP:
        return 23;
    case ARPHRD_TUNNEL:
    case ARPHRD_SIT:
    case ARPHRD_IPGRE:
        return 131;
    default:
        return 1;
    }
}

std::string NomPilote(const std::string& zNom)
{
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return std::string();
    ethtool_drvinfo info;
    memset(&info, 0, sizeof(info));
    info.cmd = ETHTOOL_GDRVINFO;
    ifreq ifr;
    memset(&ifr, 0, sizeof(ifr));
    strncpy(ifr.ifr_name, zNom.c_str(), IFNAMSIZ - 1);
    ifr.ifr_data = reinterpret_cast<char*>(&info);
    std::string z;
    if (ioctl(fd, SIOCETHTOOL, &ifr) == 0)
        z.assign(info.driver, strnlen(info.driver, sizeof(info.driver)));
    close(fd);
    return z;
}

std::string Description(const std::string& zNom)
{
    std::string z = LireLigne("/sys/class/net/" + zNom + "/ifalias");
    if (!z.empty())
        return z;
    z = NomPilote(zNom);
    if (!z.empty())
        return z + " (" + zNom + ")";
    return zNom;
}

// The server that leased the interface's address, from the lease files of the usual clients.
std::string ServeurDhcp(const std::string& zNom, int iIndex)
{
    const std::string zCle = "SERVER_ADDRESS=";
    std::ifstream nd("/run/systemd/netif/leases/" + std::to_string(iIndex));
    std::string ligne;
    while (std::getline(nd, ligne))
        if (ligne.compare(0, zCle.size(), zCle) == 0)
            return ligne.substr(zCle.size());

    // dhclient: the last lease block naming this interface.
    std::string zServeur;
    for (const char* zDossier : {"/var/lib/dhcp", "/var/lib/dhclient"}) {
        DIR* d = opendir(zDossier);
        if (!d)
            continue;
        while (dirent* e = readdir(d)) {
            std::string f = e->d_name;
            if (f.size() < 7 || f.compare(f.size() - 7, 7, ".leases") != 0)
                continue;
            std::ifstream is(std::string(zDossier) + "/" + f);
            bool bNotreInterface = false;
            while (std::getline(is, ligne)) {
                if (ligne.find("lease {") != std::string::npos)
                    bNotreInterface = false;
                else if (ligne.find("interface \"" + zNom + "\"") != std::string::npos)
                    bNotreInterface = true;
                size_t p = ligne.find("dhcp-server-identifier ");
                if (bNotreInterface && p != std::string::npos) {
                    std::string v = ligne.substr(p + 23);
                    size_t fin = v.find(';');
                    zServeur = v.substr(0, fin);
                }
            }
        }
        closedir(d);
    }
    return zServeur;
}

} // namespace

namespace ZorPlatform {

bool EnumererAdaptateurs(std::vector<ZorAdaptateur>& adaptateurs, int* piErreur)
{
    adaptateurs.clear();
    ifaddrs* liste = nullptr;
    if (getifaddrs(&liste) != 0) {
        if (piErreur)
            *piErreur = errno;
        return false;
    }

    // Links first, in system order; then each link's first IPv4 address.
    for (ifaddrs* p = liste; p; p = p->ifa_next) {
        if (!p->ifa_addr || p->ifa_addr->sa_family != AF_PACKET || (p->ifa_flags & IFF_LOOPBACK))
            continue;
        const sockaddr_ll* ll = reinterpret_cast<const sockaddr_ll*>(p->ifa_addr);
        if (ll->sll_halen == 0 || ll->sll_hatype == ARPHRD_LOOPBACK)
            continue;
        ZorAdaptateur a;
        a.zNom = p->ifa_name;
        a.mac.assign(ll->sll_addr, ll->sll_addr + std::min<size_t>(ll->sll_halen, 8));
        a.iIndex = int(if_nametoindex(p->ifa_name));
        a.iType = TypeAdaptateur(a.zNom, ll->sll_hatype);
        a.zIP = "0.0.0.0";
        a.zMask = "0.0.0.0";
        a.zGateway = "0.0.0.0";
        adaptateurs.push_back(a);
    }

    std::map<std::pair<int, uint32_t>, uint32_t> drapeaux = LireDrapeauxAdresses();
    std::map<std::string, std::string> passerelles = LirePasserelles();
    for (ZorAdaptateur& a : adaptateurs) {
        for (ifaddrs* p = liste; p; p = p->ifa_next) {
            if (!p->ifa_addr || p->ifa_addr->sa_family != AF_INET || a.zNom != p->ifa_name)
                continue;
            uint32_t adresse = reinterpret_cast<const sockaddr_in*>(p->ifa_addr)->sin_addr.s_addr;
            a.zIP = Pointee(adresse);
            if (p->ifa_netmask)
                a.zMask =
                    Pointee(reinterpret_cast<const sockaddr_in*>(p->ifa_netmask)->sin_addr.s_addr);
            auto it = drapeaux.find({a.iIndex, adresse});
            a.bDhcp = it != drapeaux.end() && !(it->second & IFA_F_PERMANENT);
            break;
        }
        auto gw = passerelles.find(a.zNom);
        if (gw != passerelles.end())
            a.zGateway = gw->second;
    }
    freeifaddrs(liste);
    return true;
}

void DecrireAdaptateur(ZorAdaptateur& adaptateur)
{
    adaptateur.zDescription = Description(adaptateur.zNom);
    adaptateur.zServeurDhcp =
        adaptateur.bDhcp ? ServeurDhcp(adaptateur.zNom, adaptateur.iIndex) : std::string();
}

} // namespace ZorPlatform
