// The neighbour table (IPv4 address resolution) read through rtnetlink, and the rtnetlink dump
// the other Linux platform files share.
#include "platform/ZorPlatform.h"
#include "platform/linux/ZorNetlink.h"

#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace ZorPlatform {

bool DumpNetlink(uint16_t iType, uint8_t iFamille, size_t iTailleEntete,
                 const std::function<void(const nlmsghdr*)>& f)
{
    int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0)
        return false;
    timeval tv{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));

    std::vector<char> req(NLMSG_SPACE(iTailleEntete), 0);
    nlmsghdr* nh = reinterpret_cast<nlmsghdr*>(req.data());
    nh->nlmsg_len = NLMSG_LENGTH(iTailleEntete);
    nh->nlmsg_type = iType;
    nh->nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    nh->nlmsg_seq = 1;
    static_cast<uint8_t*>(NLMSG_DATA(nh))[0] = iFamille;
    sockaddr_nl nl;
    memset(&nl, 0, sizeof(nl));
    nl.nl_family = AF_NETLINK;
    if (sendto(fd, req.data(), nh->nlmsg_len, 0, reinterpret_cast<sockaddr*>(&nl), sizeof(nl)) <
        0) {
        close(fd);
        return false;
    }

    std::vector<char> buf(32768);
    bool bFini = false, bComplet = false;
    // A dump ends with NLMSG_DONE; the bound only guards against a kernel that never says so.
    for (int tour = 0; tour < 1000 && !bFini; ++tour) {
        ssize_t n = recv(fd, buf.data(), buf.size(), 0);
        if (n <= 0)
            break;
        for (nlmsghdr* m = reinterpret_cast<nlmsghdr*>(buf.data()); NLMSG_OK(m, size_t(n));
             m = NLMSG_NEXT(m, n)) {
            if (m->nlmsg_type == NLMSG_DONE || m->nlmsg_type == NLMSG_ERROR) {
                bFini = true;
                bComplet = m->nlmsg_type == NLMSG_DONE;
                break;
            }
            f(m);
        }
    }
    close(fd);
    return bComplet;
}

namespace {

// The state of the table's entry for the address: 1 resolved (some host answered address
// resolution: now, lately, or configured by hand), 0 absent or unresolved, -1 unreadable.
int EntreeResolue(uint32_t iAdresse)
{
    bool bResolue = false;
    const bool bLue = DumpNetlink(RTM_GETNEIGH, AF_INET, sizeof(ndmsg), [&](const nlmsghdr* nh) {
        if (nh->nlmsg_type != RTM_NEWNEIGH || nh->nlmsg_len < NLMSG_LENGTH(sizeof(ndmsg)))
            return;
        const ndmsg* nd = static_cast<const ndmsg*>(NLMSG_DATA(nh));
        // Failed and incomplete entries are addresses nobody answered for; an interface
        // without address resolution says nothing about who holds an address.
        const uint16_t iResolue = NUD_REACHABLE | NUD_STALE | NUD_DELAY | NUD_PROBE | NUD_PERMANENT;
        if (nd->ndm_family != AF_INET || !(nd->ndm_state & iResolue))
            return;
        int len = int(nh->nlmsg_len - NLMSG_LENGTH(sizeof(ndmsg)));
        for (const rtattr* rta = reinterpret_cast<const rtattr*>(reinterpret_cast<const char*>(nd) +
                                                                 NLMSG_ALIGN(sizeof(ndmsg)));
             RTA_OK(rta, len); rta = RTA_NEXT(rta, len)) {
            uint32_t a = 0;
            if (rta->rta_type == NDA_DST && RTA_PAYLOAD(rta) >= 4 &&
                (memcpy(&a, RTA_DATA(rta), 4), a == iAdresse))
                bResolue = true;
        }
    });
    return bLue ? (bResolue ? 1 : 0) : -1;
}

} // namespace

ZorVoisin ChercherVoisin(uint32_t iAdresse, int iAttenteMs, const std::atomic<bool>* pArret)
{
    if (EntreeResolue(iAdresse) > 0)
        return ZorVoisin::Present;
    // A datagram to the address makes the system resolve it (the discard port: nobody is
    // meant to read it).
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return ZorVoisin::Inconnu;
    sockaddr_in sin;
    memset(&sin, 0, sizeof(sin));
    sin.sin_family = AF_INET;
    sin.sin_port = htons(9);
    sin.sin_addr.s_addr = iAdresse;
    const char octet = 0;
    sendto(fd, &octet, 1, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&sin), sizeof(sin));
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
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    close(fd);
    return v;
}

} // namespace ZorPlatform
