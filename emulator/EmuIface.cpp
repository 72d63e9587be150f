#include "emulator/EmuIface.h"

#include "emulator/EmuUtil.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace emu {

Iface::~Iface()
{
    Close();
}

void Iface::Close()
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    m_index = 0;
}

bool Iface::Open(const std::string& name, std::string* error)
{
    m_name = name;
    m_index = static_cast<int>(if_nametoindex(name.c_str()));
    if (m_index == 0) {
        *error = "no interface " + name + " in this network namespace";
        return false;
    }
    m_fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (m_fd < 0) {
        *error = std::string("netlink socket: ") + strerror(errno);
        return false;
    }
    struct sockaddr_nl local = {};
    local.nl_family = AF_NETLINK;
    if (bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) < 0) {
        *error = std::string("netlink bind: ") + strerror(errno);
        return false;
    }
    return true;
}

bool Iface::PrimaryAddress(uint32_t* ip, int* prefix) const
{
    struct ifaddrs* list = nullptr;
    if (getifaddrs(&list) < 0)
        return false;
    bool found = false;
    for (struct ifaddrs* a = list; a && !found; a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || m_name != a->ifa_name)
            continue;
        *ip = ntohl(reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr);
        uint32_t mask = a->ifa_netmask
                            ? ntohl(reinterpret_cast<sockaddr_in*>(a->ifa_netmask)->sin_addr.s_addr)
                            : 0xFFFFFF00u;
        *prefix = MaskPrefix(mask) > 0 ? MaskPrefix(mask) : 24;
        found = true;
    }
    freeifaddrs(list);
    return found;
}

bool Iface::HasAddress(uint32_t ip) const
{
    struct ifaddrs* list = nullptr;
    if (getifaddrs(&list) < 0)
        return false;
    bool found = false;
    for (struct ifaddrs* a = list; a; a = a->ifa_next) {
        if (a->ifa_addr && a->ifa_addr->sa_family == AF_INET && m_name == a->ifa_name &&
            ntohl(reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr) == ip)
            found = true;
    }
    freeifaddrs(list);
    return found;
}

bool Iface::Add(uint32_t ip, int prefix, bool* existed, std::string* error)
{
    *existed = false;
    std::string err;
    if (Request(RTM_NEWADDR, NLM_F_CREATE | NLM_F_EXCL, ip, prefix, &err))
        return true;
    if (err == strerror(EEXIST) || HasAddress(ip)) {
        *existed = true;
        return true;
    }
    *error =
        "cannot add " + IpText(ip) + "/" + std::to_string(prefix) + " to " + m_name + ": " + err;
    return false;
}

bool Iface::Remove(uint32_t ip, int prefix, std::string* error)
{
    std::string err;
    if (Request(RTM_DELADDR, 0, ip, prefix, &err))
        return true;
    *error = "cannot remove " + IpText(ip) + " from " + m_name + ": " + err;
    return false;
}

void Iface::PromoteSecondaries()
{
    std::string path = "/proc/sys/net/ipv4/conf/" + m_name + "/promote_secondaries";
    int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd >= 0) {
        ssize_t n = write(fd, "1", 1);
        (void)n;
        close(fd);
    }
}

bool Iface::Request(int type, int flags, uint32_t ip, int prefix, std::string* error)
{
    if (m_fd < 0) {
        *error = "interface not open";
        return false;
    }
    struct
    {
        struct nlmsghdr nh;
        struct ifaddrmsg ifa;
        char attrs[64];
    } req;
    memset(&req, 0, sizeof req);
    req.nh.nlmsg_len = NLMSG_LENGTH(sizeof(struct ifaddrmsg));
    req.nh.nlmsg_type = static_cast<uint16_t>(type);
    req.nh.nlmsg_flags = static_cast<uint16_t>(NLM_F_REQUEST | NLM_F_ACK | flags);
    req.nh.nlmsg_seq = ++m_seq;
    req.ifa.ifa_family = AF_INET;
    req.ifa.ifa_prefixlen = static_cast<unsigned char>(prefix);
    req.ifa.ifa_scope = RT_SCOPE_UNIVERSE;
    req.ifa.ifa_index = static_cast<unsigned>(m_index);
    auto addAttr = [&req](unsigned short attrType, uint32_t value) {
        struct rtattr* rta = reinterpret_cast<struct rtattr*>(reinterpret_cast<char*>(&req) +
                                                              NLMSG_ALIGN(req.nh.nlmsg_len));
        rta->rta_type = attrType;
        rta->rta_len = RTA_LENGTH(sizeof value);
        uint32_t be = htonl(value);
        memcpy(RTA_DATA(rta), &be, sizeof be);
        req.nh.nlmsg_len = NLMSG_ALIGN(req.nh.nlmsg_len) + RTA_ALIGN(rta->rta_len);
    };
    addAttr(IFA_LOCAL, ip);
    addAttr(IFA_ADDRESS, ip);
    if (type == RTM_NEWADDR && prefix < 31)
        addAttr(IFA_BROADCAST, ip | ~PrefixMask(prefix));

    struct sockaddr_nl kernel = {};
    kernel.nl_family = AF_NETLINK;
    if (sendto(m_fd, &req, req.nh.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel),
               sizeof kernel) < 0) {
        *error = strerror(errno);
        return false;
    }
    char buf[4096];
    for (int tries = 0; tries < 16; ++tries) {
        struct pollfd p = {m_fd, POLLIN, 0};
        if (poll(&p, 1, 2000) <= 0) {
            *error = "no answer from the kernel";
            return false;
        }
        ssize_t n = recv(m_fd, buf, sizeof buf, 0);
        if (n < 0) {
            *error = strerror(errno);
            return false;
        }
        for (struct nlmsghdr* h = reinterpret_cast<struct nlmsghdr*>(buf);
             NLMSG_OK(h, static_cast<unsigned>(n)); h = NLMSG_NEXT(h, n)) {
            if (h->nlmsg_seq != req.nh.nlmsg_seq || h->nlmsg_type != NLMSG_ERROR)
                continue;
            const struct nlmsgerr* e = static_cast<const struct nlmsgerr*>(NLMSG_DATA(h));
            if (e->error == 0)
                return true;
            *error = strerror(-e->error);
            return false;
        }
    }
    *error = "no acknowledgement from the kernel";
    return false;
}

} // namespace emu
