#include "emulator/EmuServer.h"

#include "emulator/EmuBoot.h"
#include "emulator/EmuParse.h"
#include "emulator/EmuUtil.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace emu {

namespace {

constexpr uint16_t kDiscoveryPort = 30303;
constexpr uint16_t kRestartPort = 69;
constexpr uint16_t kHttpPort = 80;
constexpr size_t kMaxRequest = 8192; // request line and headers
constexpr int kRequestMs = 5000;     // time allowed to send them
constexpr int kMaxHttpThreads = 64;
constexpr int kMaxControlThreads = 16;
constexpr size_t kMaxControlLine = 4096;
constexpr int kControlIdleMs = 30000;
constexpr int kBodyMs = 30000;  // time allowed to send a POST body
constexpr int kSlowMs = 600000; // bound on an upload page that hangs or trickles

int gSignalFd = -1;

void OnSignal(int)
{
    if (gSignalFd >= 0) {
        char c = 'S';
        ssize_t n = write(gSignalFd, &c, 1);
        (void)n;
    }
}

std::string Peer(uint32_t ip, uint16_t port)
{
    return IpText(ip) + ":" + std::to_string(port);
}

int UdpSocket(const std::string& iface, uint16_t port, std::string* error)
{
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        *error = std::string("UDP socket: ") + strerror(errno);
        return -1;
    }
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &one, sizeof one);
    if (setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, iface.c_str(),
                   static_cast<socklen_t>(iface.size())) < 0) {
        *error = "cannot bind a socket to " + iface + ": " + strerror(errno);
        close(fd);
        return -1;
    }
    struct sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0) {
        *error = "cannot bind UDP port " + std::to_string(port) + ": " + strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

// A datagram message header with one buffer and room for ancillary data.
struct msghdr Message(struct sockaddr_in* peer, struct iovec* iov, char* control, size_t size)
{
    struct msghdr msg = {};
    msg.msg_name = peer;
    msg.msg_namelen = sizeof *peer;
    msg.msg_iov = iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = size;
    return msg;
}

// Waits for the descriptor to be readable until the deadline; false on time-out.
bool WaitReadable(int fd, int64_t deadlineMs)
{
    int64_t left = deadlineMs - MonoMs();
    if (left <= 0)
        return false;
    struct pollfd p = {fd, POLLIN, 0};
    return poll(&p, 1, static_cast<int>(left)) > 0;
}

bool SendAll(int fd, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Ends a connection so that the reply is not lost to a reset: no more sending, read what the
// peer still sends for a short while, then close.
void Drain(int fd)
{
    shutdown(fd, SHUT_WR);
    char buf[1024];
    int64_t deadline = MonoMs() + 300;
    for (int i = 0; i < 64 && WaitReadable(fd, deadline); ++i)
        if (recv(fd, buf, sizeof buf, 0) <= 0)
            break;
}

void Finish(int fd)
{
    Drain(fd);
    close(fd);
}

} // namespace

void InstallSignalHandlers(int wakeFd)
{
    gSignalFd = wakeFd;
    struct sigaction sa = {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

Server::Server(const ServerOptions& options, std::vector<Device> devices)
    : m_opt(options), m_devices(std::move(devices))
{}

Server::~Server()
{
    if (m_log && m_log != stdout)
        fclose(m_log);
}

void Server::Log(const char* kind, const std::string& device, const std::string& peer,
                 const std::string& payload)
{
    std::lock_guard<std::mutex> lock(m_logMu);
    if (!m_log)
        return;
    fprintf(m_log, "%lld %s %s %s %s\n", static_cast<long long>(EpochMs()), kind,
            device.empty() ? "-" : device.c_str(), peer.empty() ? "-" : peer.c_str(),
            EscapeLine(payload).c_str());
    fflush(m_log);
}

void Server::Wake()
{
    if (m_wake[1] >= 0) {
        char c = 'W';
        ssize_t n = write(m_wake[1], &c, 1);
        (void)n;
    }
}

bool Server::Setup(std::string* error)
{
    if (m_opt.logPath.empty() || m_opt.logPath == "-") {
        m_log = stdout;
    } else {
        m_log = fopen(m_opt.logPath.c_str(), "a");
        if (!m_log) {
            *error = "cannot open the log " + m_opt.logPath + ": " + strerror(errno);
            return false;
        }
    }
    if (pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) < 0) {
        *error = std::string("pipe: ") + strerror(errno);
        return false;
    }
    InstallSignalHandlers(m_wake[1]);
    if (!m_iface.Open(m_opt.iface, error))
        return false;
    m_iface.PromoteSecondaries();
    m_discFd = UdpSocket(m_opt.iface, kDiscoveryPort, error);
    if (m_discFd < 0)
        return false;
    m_restartFd = UdpSocket(m_opt.iface, kRestartPort, error);
    if (m_restartFd < 0)
        return false;
    m_bootFd = UdpSocket(m_opt.iface, kBootPort, error);
    if (m_bootFd < 0)
        return false;

    {
        std::lock_guard<std::mutex> lock(m_mu);
        for (Device& d : m_devices) {
            if (!Acquire(d.ip, d.prefix, error))
                return false;
            Log("START", IpText(d.ip), "",
                "mac=" + d.mac + " name=" + d.name +
                    " answer=" + (d.answer == AnswerMode::Broadcast ? "broadcast" : "unicast") +
                    " version=" + (d.version.empty() ? "-" : d.version));
        }
    }

    if (!m_opt.controlPath.empty()) {
        struct sockaddr_un a = {};
        a.sun_family = AF_UNIX;
        if (m_opt.controlPath.size() >= sizeof a.sun_path) {
            *error = "control socket path too long: " + m_opt.controlPath;
            return false;
        }
        strcpy(a.sun_path, m_opt.controlPath.c_str());
        struct stat st;
        if (lstat(a.sun_path, &st) == 0) {
            if (!S_ISSOCK(st.st_mode)) {
                *error = m_opt.controlPath + " exists and is not a socket";
                return false;
            }
            unlink(a.sun_path); // left by an emulator that did not end cleanly
        }
        m_ctlFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (m_ctlFd < 0 || bind(m_ctlFd, reinterpret_cast<sockaddr*>(&a), sizeof a) < 0 ||
            listen(m_ctlFd, 8) < 0) {
            *error = "control socket " + m_opt.controlPath + ": " + strerror(errno);
            return false;
        }
    }
    return true;
}

bool Server::Acquire(uint32_t ip, int prefix, std::string* error)
{
    if (m_closed) {
        *error = "the emulator is stopping";
        return false;
    }
    if (m_iface.Index() == 0) {
        *error = "the LAN interface is not open";
        return false;
    }
    Address& a = m_addresses[ip];
    if (a.refs == 0) {
        bool existed = false;
        if (!m_iface.Add(ip, prefix, &existed, error)) {
            m_addresses.erase(ip);
            return false;
        }
        a.ours = !existed;
        a.prefix = prefix;
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        int one = 1;
        struct sockaddr_in sa = {};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(kHttpPort);
        sa.sin_addr.s_addr = htonl(ip);
        if (fd >= 0)
            setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) < 0 ||
            listen(fd, 32) < 0) {
            *error = "cannot serve HTTP on " + IpText(ip) + ": " + strerror(errno);
            if (fd >= 0)
                close(fd);
            std::string ignored;
            if (a.ours)
                m_iface.Remove(ip, prefix, &ignored);
            m_addresses.erase(ip);
            return false;
        }
        a.listenFd = fd;
        Wake();
    }
    ++a.refs;
    return true;
}

void Server::Release(uint32_t ip)
{
    auto it = m_addresses.find(ip);
    if (it == m_addresses.end())
        return;
    if (--it->second.refs > 0)
        return;
    if (it->second.listenFd >= 0)
        m_deadFds.push_back(it->second.listenFd);
    if (it->second.ours) {
        std::string error;
        if (!m_iface.Remove(ip, it->second.prefix, &error))
            fprintf(stderr, "tavlin-emu: %s\n", error.c_str());
    }
    m_addresses.erase(it);
    Wake();
}

bool Server::MoveLocked(Device& d, uint32_t ip, int prefix, uint32_t gateway, bool dhcp,
                        const std::string& peer, std::string* error)
{
    uint32_t old = d.ip;
    if (ip != old) {
        if (!Acquire(ip, prefix, error))
            return false;
        Release(old);
    }
    d.ip = ip;
    d.prefix = prefix;
    d.gateway = gateway;
    d.dhcp = dhcp;
    Log("MOVED", IpText(ip), peer,
        "from " + IpText(old) + " mask " + IpText(PrefixMask(prefix)) + " gateway " +
            IpText(gateway) + " dhcp " + (dhcp ? "1" : "0"));
    return true;
}

void Server::Cleanup()
{
    std::lock_guard<std::mutex> lock(m_mu);
    m_stop = true;
    if (m_iface.Index() != 0) {
        for (Device& d : m_devices) {
            if (m_addresses.count(d.ip)) {
                Log("STOP", IpText(d.ip), "", "mac=" + d.mac);
                Release(d.ip);
            }
        }
    }
    for (auto& kv : m_addresses) { // addresses still held (never when every device released)
        if (kv.second.listenFd >= 0)
            close(kv.second.listenFd);
        std::string ignored;
        if (kv.second.ours)
            m_iface.Remove(kv.first, kv.second.prefix, &ignored);
    }
    m_addresses.clear();
    for (int fd : m_deadFds)
        close(fd);
    m_deadFds.clear();
    for (int* fd : {&m_discFd, &m_restartFd, &m_ctlFd, &m_bootFd}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
    if (!m_opt.controlPath.empty())
        unlink(m_opt.controlPath.c_str());
    m_iface.Close();
    m_closed = true; // no address may be added after this point
}

int Server::Run()
{
    std::string error;
    if (!Setup(&error)) {
        fprintf(stderr, "tavlin-emu: %s\n", error.c_str());
        Cleanup();
        return 1;
    }
    Loop();
    Cleanup();
    return 0;
}

void Server::Loop()
{
    while (!m_stop) {
        std::vector<struct pollfd> fds;
        std::vector<uint32_t> ips;
        {
            std::lock_guard<std::mutex> lock(m_mu);
            for (int fd : m_deadFds)
                close(fd);
            m_deadFds.clear();
            for (auto& kv : m_addresses) {
                if (kv.second.listenFd >= 0) {
                    fds.push_back({kv.second.listenFd, POLLIN, 0});
                    ips.push_back(kv.first);
                }
            }
        }
        UpdateBootGroup();
        size_t fixed = fds.size();
        fds.push_back({m_wake[0], POLLIN, 0});
        fds.push_back({m_discFd, POLLIN, 0});
        fds.push_back({m_restartFd, POLLIN, 0});
        fds.push_back({m_bootFd, POLLIN, 0});
        if (m_ctlFd >= 0)
            fds.push_back({m_ctlFd, POLLIN, 0});
        int n = poll(fds.data(), fds.size(), 200);
        if (n < 0 && errno != EINTR)
            break;
        if (n <= 0)
            continue;
        if (fds[fixed].revents) {
            char buf[64];
            ssize_t got;
            while ((got = read(m_wake[0], buf, sizeof buf)) > 0)
                if (memchr(buf, 'S', static_cast<size_t>(got)))
                    m_stop = true;
        }
        if (fds[fixed + 1].revents)
            OnDiscovery(m_discFd, false);
        if (fds[fixed + 2].revents)
            OnDiscovery(m_restartFd, true);
        if (fds[fixed + 3].revents)
            OnBootloader();
        if (m_ctlFd >= 0 && fds[fixed + 4].revents) {
            int c = accept4(m_ctlFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (c >= 0) {
                if (m_ctlThreads >= kMaxControlThreads) {
                    SendAll(c, "ERR busy\n");
                    close(c);
                } else {
                    ++m_ctlThreads;
                    std::thread(&Server::ServeControl, this, c).detach();
                }
            }
        }
        for (size_t i = 0; i < fixed; ++i)
            if (fds[i].revents)
                OnAccept(fds[i].fd, ips[i]);
    }
}

void Server::OnDiscovery(int fd, bool restartPort)
{
    for (int i = 0; i < 64; ++i) { // bounded, the rest waits for the next round
        char buf[2048];
        char control[256];
        struct sockaddr_in src = {};
        struct iovec iov = {buf, sizeof buf};
        struct msghdr msg = Message(&src, &iov, control, sizeof control);
        ssize_t n = recvmsg(fd, &msg, 0);
        if (n < 0)
            return;
        if (msg.msg_flags & MSG_TRUNC)
            continue; // longer than any datagram of the protocol
        uint32_t dst = 0;
        for (struct cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                struct in_pktinfo info;
                memcpy(&info, CMSG_DATA(c), sizeof info);
                dst = ntohl(info.ipi_addr.s_addr);
            }
        }
        HandleDatagram(std::string(buf, static_cast<size_t>(n)), ntohl(src.sin_addr.s_addr),
                       ntohs(src.sin_port), dst, restartPort);
    }
}

void Server::HandleDatagram(const std::string& data, uint32_t src, uint16_t srcPort, uint32_t dst,
                            bool restartPort)
{
    std::lock_guard<std::mutex> lock(m_mu);
    int64_t now = MonoMs();
    std::string peer = Peer(src, srcPort);
    for (const Device& d : m_devices)
        if (d.ip == src)
            return; // one of our own datagrams coming back
    DatagramKind kind = ClassifyDatagram(data, restartPort);
    if (kind == DatagramKind::Restart) {
        for (Device& d : m_devices) {
            if (d.ip != dst || Rebooting(d, now))
                continue;
            Log("REBOOT", IpText(d.ip), peer, data);
            PowerOn(d, now, m_opt.rebootMs);
        }
    } else if (kind == DatagramKind::Hello) {
        for (Device& d : m_devices) {
            if (Rebooting(d, now) || !HelloReaches(d, dst))
                continue;
            ++d.hellos;
            Log("HELLO", IpText(d.ip), peer, data);
            if (Silent(d, now) || (data[0] == 'M' && !d.master))
                continue;
            SendAnswer(d, data[0], src, srcPort);
        }
    } else if (kind == DatagramKind::Config) {
        HandleConfig(data, src, srcPort);
    }
}

void Server::HandleConfig(const std::string& data, uint32_t src, uint16_t srcPort)
{
    std::string peer = Peer(src, srcPort);
    ConfigRequest c;
    if (!ParseConfig(data, &c)) {
        Log("CONFIG-REJECTED", "", peer, data + " (malformed)");
        return;
    }
    int64_t now = MonoMs();
    bool matched = false;
    for (Device& d : m_devices) {
        if (!ConfigNames(d, c))
            continue;
        matched = true;
        uint32_t ip = 0, gw = 0;
        int prefix = 0;
        std::string why = ConfigRefusal(d, c, now, &ip, &prefix, &gw);
        if (!why.empty()) {
            Log("CONFIG-REJECTED", IpText(d.ip), peer,
                std::string(data).append(" (").append(why).append(")"));
            continue;
        }
        Log("CONFIG", IpText(d.ip), peer, data);
        std::string error;
        if (!MoveLocked(d, ip, prefix, gw, c.dhcp, peer, &error))
            Log("CONFIG-REJECTED", IpText(d.ip), peer,
                std::string(data).append(" (").append(error).append(")"));
    }
    if (!matched)
        Log("CONFIG-REJECTED", "", peer, data + " (no device with this MAC)");
}

void Server::SendAnswer(Device& d, char type, uint32_t pc, uint16_t pcPort)
{
    std::string text = AnswerText(d, type);
    bool broadcast = d.answer == AnswerMode::Broadcast;
    uint32_t toIp = broadcast ? INADDR_BROADCAST : pc;
    uint16_t toPort = broadcast ? kDiscoveryPort : pcPort;
    // The answer leaves from the device's own address and port 30303.
    std::string dest = Peer(toIp, toPort);
    if (!SendFrom(m_discFd, d.ip, toIp, toPort, text)) {
        fprintf(stderr, "tavlin-emu: answer of %s to %s: %s\n", IpText(d.ip).c_str(), dest.c_str(),
                strerror(errno));
        return;
    }
    ++d.answers;
    Log("ANSWER", IpText(d.ip), dest, text);
}

bool Server::SendFrom(int fd, uint32_t deviceIp, uint32_t toIp, uint16_t toPort,
                      const std::string& bytes)
{
    struct sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(toIp);
    to.sin_port = htons(toPort);
    char control[CMSG_SPACE(sizeof(struct in_pktinfo))] = {};
    struct iovec iov = {const_cast<char*>(bytes.data()), bytes.size()};
    struct msghdr msg = Message(&to, &iov, control, sizeof control);
    struct cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(struct in_pktinfo));
    struct in_pktinfo info = {};
    info.ipi_ifindex = m_iface.Index();
    info.ipi_spec_dst.s_addr = htonl(deviceIp);
    memcpy(CMSG_DATA(c), &info, sizeof info);
    return sendmsg(fd, &msg, 0) >= 0;
}

void Server::UpdateBootGroup()
{
    bool wanted = false;
    {
        std::lock_guard<std::mutex> lock(m_mu);
        int64_t now = MonoMs();
        for (const Device& d : m_devices)
            wanted = wanted || Rebooting(d, now);
    }
    if (wanted == m_bootJoined)
        return;
    struct ip_mreqn m = {};
    m.imr_multiaddr.s_addr = htonl(kBootGroup);
    m.imr_ifindex = m_iface.Index();
    if (setsockopt(m_bootFd, IPPROTO_IP, wanted ? IP_ADD_MEMBERSHIP : IP_DROP_MEMBERSHIP, &m,
                   sizeof m) < 0) {
        fprintf(stderr, "tavlin-emu: bootloader group: %s\n", strerror(errno));
        return;
    }
    m_bootJoined = wanted;
    Log(wanted ? "BOOT-JOIN" : "BOOT-LEAVE", "", "",
        IpText(kBootGroup) + ":" + std::to_string(kBootPort));
}

void Server::OnBootloader()
{
    for (int i = 0; i < 64; ++i) { // bounded, the rest waits for the next round
        char buf[2048];
        struct sockaddr_in src = {};
        socklen_t len = sizeof src;
        ssize_t n =
            recvfrom(m_bootFd, buf, sizeof buf, MSG_TRUNC, reinterpret_cast<sockaddr*>(&src), &len);
        if (n < 0)
            return;
        if (static_cast<size_t>(n) > sizeof buf)
            continue; // longer than any request
        HandleBoot(std::string(buf, static_cast<size_t>(n)), ntohl(src.sin_addr.s_addr),
                   ntohs(src.sin_port));
    }
}

void Server::HandleBoot(const std::string& data, uint32_t src, uint16_t srcPort)
{
    std::lock_guard<std::mutex> lock(m_mu);
    int64_t now = MonoMs();
    std::string peer = Peer(src, srcPort);
    for (Device& d : m_devices) {
        bool wasCaptured = d.bootCaptured;
        BootResult r = BootRequest(d, data, now);
        if (r.kind.empty())
            continue;
        if (!r.reply.empty() &&
            !SendFrom(m_bootFd, d.ip, src, srcPort, std::string(r.reply.begin(), r.reply.end())))
            r.note += std::string(" (not sent: ") + strerror(errno) + ")";
        Log(r.kind.c_str(), IpText(d.ip), peer, r.note);
        if (r.kind == "BOOT-END" && d.bootReturnIp != 0) {
            // The new image came with other network settings: the device restarts there.
            const uint32_t ip = d.bootReturnIp;
            d.bootReturnIp = 0;
            std::string error;
            if (!MoveLocked(d, ip, d.bootReturnPrefix, 0, false, peer, &error))
                d.lastError = "ERR BOOT-END: " + error;
        }
        if (wasCaptured && r.kind == "BOOT-END")
            Wake();
    }
}

void Server::OnAccept(int listenFd, uint32_t localIp)
{
    for (int i = 0; i < 16; ++i) {
        struct sockaddr_in peer = {};
        socklen_t len = sizeof peer;
        int fd = accept4(listenFd, reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        if (m_httpThreads >= kMaxHttpThreads) {
            close(fd); // overloaded: refuse rather than queue without bound
            continue;
        }
        ++m_httpThreads;
        std::thread(&Server::ServeHttp, this, fd, localIp,
                    Peer(ntohl(peer.sin_addr.s_addr), ntohs(peer.sin_port)))
            .detach();
    }
}

void Server::ServeHttp(int fd, uint32_t localIp, std::string peer)
{
    struct Done
    {
        std::atomic<int>& count;
        ~Done() { --count; }
    } done{m_httpThreads};

    // Request line and headers, bounded in size and time.
    std::string req;
    size_t headEnd = std::string::npos;
    int64_t deadline = MonoMs() + kRequestMs;
    bool closed = false;
    while (headEnd == std::string::npos && req.size() <= kMaxRequest) {
        if (!WaitReadable(fd, deadline))
            break;
        char buf[2048];
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            closed = true;
            break;
        }
        req.append(buf, static_cast<size_t>(n));
        headEnd = RequestHeadEnd(req);
    }
    if (headEnd == std::string::npos || headEnd > kMaxRequest) {
        if (req.size() > kMaxRequest)
            SendAll(fd, HttpResponse("HTTP/1.1", 431, "Request Header Fields Too Large",
                                     "text/plain", "request too large\n", true));
        else if (!closed && !req.empty())
            SendAll(fd, HttpResponse("HTTP/1.1", 408, "Request Timeout", "text/plain", "timeout\n",
                                     true));
        Finish(fd);
        return;
    }

    HttpRequest r = ParseRequest(req.substr(0, headEnd));
    if (r.status != 0) {
        SendAll(fd, HttpResponse(r.version, r.status, "Bad Request", "text/plain", "bad request\n",
                                 true));
        Finish(fd);
        return;
    }

    int index = -1;
    int delayMs = 0;
    {
        std::lock_guard<std::mutex> lock(m_mu);
        int64_t now = MonoMs();
        for (size_t i = 0; i < m_devices.size(); ++i) {
            if (m_devices[i].ip == localIp) {
                index = static_cast<int>(i);
                break;
            }
        }
        if (index >= 0) {
            Device& d = m_devices[static_cast<size_t>(index)];
            if (!d.http || Rebooting(d, now)) {
                index = -1; // the web server does not answer: the connection just ends
            } else {
                ++d.requests;
                delayMs = d.httpDelayMs;
                Log("HTTP", IpText(d.ip), peer, r.target);
            }
        }
    }
    if (index < 0) {
        close(fd);
        return;
    }
    for (int waited = 0; waited < delayMs && !m_stop; waited += 20)
        usleep(20000);

    std::string reply;
    Effects fx;
    if (r.method == "POST") {
        std::string body, contentType, note, fault;
        size_t max = kMaxUpload;
        {
            std::lock_guard<std::mutex> lock(m_mu);
            const Device& d = m_devices[static_cast<size_t>(index)];
            fault = d.uploadFault;
            max = d.uploadMax ? d.uploadMax : kMaxUpload;
        }
        if (fault == "close" || fault == "midway") {
            // The connection ends with the body unread (or half read): the peer sees a reset.
            std::string half;
            int ignored = 0;
            if (fault == "midway")
                ReadBody(fd, req, headEnd, max, &half, &ignored, true);
            Log("UPLOAD", IpText(localIp), peer,
                "fault " + fault + " after " + std::to_string(half.size()) + " bytes");
            close(fd);
            return;
        }
        int status = 0;
        if (!ReadBody(fd, req, headEnd, max, &body, &status, false)) {
            Log("UPLOAD", IpText(localIp), peer, std::to_string(status) + " body not received");
            if (status != 0)
                SendAll(fd, HttpResponse(r.version, status,
                                         status == 413   ? "Payload Too Large"
                                         : status == 411 ? "Length Required"
                                                         : "Request Timeout",
                                         "text/plain", "body refused\n", true));
            Finish(fd);
            return;
        }
        if (!fault.empty()) {
            Log("UPLOAD", IpText(localIp), peer,
                "fault " + fault + " bytes=" + std::to_string(body.size()));
            FailUpload(fd, r.version, fault);
            return;
        }
        HeaderValue(req.substr(0, headEnd), "Content-Type", &contentType);
        {
            std::lock_guard<std::mutex> lock(m_mu);
            reply = UploadReply(m_devices[static_cast<size_t>(index)], r.version, r.path,
                                contentType, body, &note);
        }
        Log("UPLOAD", IpText(localIp), peer, note);
    } else {
        std::lock_guard<std::mutex> lock(m_mu);
        reply = HttpReply(m_devices[static_cast<size_t>(index)], r, MonoMs(), &fx);
    }
    SendAll(fd, reply);
    Finish(fd);

    if (fx.move) { // the new network settings take effect after the reply, with a restart
        std::lock_guard<std::mutex> lock(m_mu);
        Device& d = m_devices[static_cast<size_t>(index)];
        std::string error;
        if (!m_stop && MoveLocked(d, fx.ip, fx.prefix, fx.gateway, fx.dhcp, peer, &error)) {
            if (fx.reboot) {
                Log("REBOOT", IpText(d.ip), peer, "NETWORK");
                PowerOn(d, MonoMs(), m_opt.rebootMs);
            }
        } else if (!error.empty()) {
            d.lastError = "ERR NETWORK: " + error;
        }
    }
}

void Server::FailUpload(int fd, const std::string& version, const std::string& fault)
{
    if (fault == "500") {
        SendAll(fd, HttpResponse(version, 500, "Internal Server Error", "text/plain",
                                 "upload failed\n", true));
        Finish(fd);
        return;
    }
    // hang: no answer; trickle: an answer one byte a second. Either until the peer gives up, the
    // emulator stops, or the bound passes.
    const std::string slow =
        HttpResponse(version, 200, "OK", "text/plain", std::string(kSlowMs / 1000, '.'), true);
    const int64_t deadline = MonoMs() + kSlowMs;
    for (size_t sent = 0; !m_stop && MonoMs() < deadline;) {
        if (WaitReadable(fd, MonoMs() + 1000)) {
            char buf[1024];
            if (recv(fd, buf, sizeof buf, 0) <= 0)
                break; // the peer closed
        } else if (fault == "trickle" && sent < slow.size()) {
            if (!SendAll(fd, slow.substr(sent++, 1)))
                break;
        }
    }
    close(fd);
}

bool Server::ReadBody(int fd, const std::string& req, size_t headEnd, size_t max, std::string* body,
                      int* status, bool half)
{
    *status = 0;
    std::string length;
    long n = 0;
    if (!HeaderValue(req.substr(0, headEnd), "Content-Length", &length)) {
        *status = 411;
        return false;
    }
    if (!ParseLong(length, 0, static_cast<long>(max), &n)) {
        *status = 413;
        return false;
    }
    if (half)
        n /= 2;
    size_t start = headEnd + (req.compare(headEnd, 4, "\r\n\r\n") == 0 ? 4 : 2);
    *body = req.substr(std::min(start, req.size()));
    int64_t deadline = MonoMs() + kBodyMs;
    while (body->size() < static_cast<size_t>(n)) {
        if (!WaitReadable(fd, deadline)) {
            *status = 408;
            return false;
        }
        char buf[16384];
        ssize_t got = recv(fd, buf, std::min(sizeof buf, static_cast<size_t>(n) - body->size()), 0);
        if (got <= 0)
            return false; // the client went away: nobody to answer
        body->append(buf, static_cast<size_t>(got));
    }
    body->resize(static_cast<size_t>(n)); // bytes beyond the announced length are not the body
    return true;
}

void Server::ServeControl(int fd)
{
    struct Done
    {
        std::atomic<int>& count;
        int fd;
        ~Done()
        {
            close(fd);
            --count;
        }
    } done{m_ctlThreads, fd};
    std::string pending;
    int64_t deadline = MonoMs() + kControlIdleMs;
    for (;;) {
        size_t nl = pending.find('\n');
        if (nl == std::string::npos || nl > kMaxControlLine) {
            if (pending.size() > kMaxControlLine) {
                SendAll(fd, "ERR line too long\n");
                Drain(fd);
                return;
            }
            if (!WaitReadable(fd, deadline))
                return;
            char buf[1024];
            ssize_t n = recv(fd, buf, sizeof buf, 0);
            if (n <= 0)
                return;
            pending.append(buf, static_cast<size_t>(n));
            continue;
        }
        std::string line = pending.substr(0, nl);
        pending.erase(0, nl + 1);
        deadline = MonoMs() + kControlIdleMs;
        bool sent = SendAll(fd, Control(line) + "\n");
        if (ParseControlLine(line).cmd == "QUIT") {
            // Only now: the process ends soon after the main loop wakes, and the reply must
            // already be with the client by then.
            m_stop = true;
            Wake();
            return;
        }
        if (!sent || m_stop)
            return;
    }
}

std::string Server::Control(const std::string& lineIn)
{
    ControlLine c = ParseControlLine(lineIn);
    const std::string& cmd = c.cmd;
    if (cmd == "PING")
        return "OK";
    if (cmd == "QUIT")
        return "OK"; // the connection that asked stops the server once this reply is sent
    std::lock_guard<std::mutex> lock(m_mu);
    if (cmd == "LIST") {
        std::string out = "OK ";
        for (size_t i = 0; i < m_devices.size(); ++i)
            out += (i ? ";" : "") + std::string("ip=") + IpText(m_devices[i].ip) +
                   ",mac=" + m_devices[i].mac;
        return out;
    }
    if (cmd != "SET" && cmd != "GET" && cmd != "REBOOT")
        return cmd.empty() ? "ERR empty command"
                           : "ERR unknown command " + EscapeLine(cmd.substr(0, 32));

    long index = -1;
    if (!ParseLong(c.device, 0, static_cast<long>(m_devices.size()) - 1, &index))
        return "ERR no device " + EscapeLine(c.device.substr(0, 32));
    Device& d = m_devices[static_cast<size_t>(index)];
    const std::string& arg = c.arg;
    int64_t now = MonoMs();

    if (cmd == "REBOOT") {
        Log("REBOOT", IpText(d.ip), "", "R");
        PowerOn(d, now, m_opt.rebootMs);
        Wake(); // the main loop joins the bootloader group now
        return "OK";
    }
    if (cmd == "GET") {
        std::string value;
        if (arg.empty() || !GetField(d, arg, now, &value))
            return "ERR unknown key " + EscapeLine(arg.substr(0, 32));
        return "OK " + ControlValue(value);
    }
    std::string key, value;
    if (!ParseSetting(arg, &key, &value))
        return "ERR expected key=value";
    if (key == "ip") {
        uint32_t ip = 0;
        int prefix = d.prefix;
        if (!ParseIpPrefix(value, &ip, &prefix) || !UsableHost(ip, prefix))
            return "ERR expected a usable address A or A/prefix";
        std::string error;
        if (!MoveLocked(d, ip, prefix, d.gateway, d.dhcp, "", &error))
            return "ERR " + error;
        return "OK";
    }
    std::string error = SetField(d, key, value, now);
    return error.empty() ? "OK" : "ERR " + error;
}

} // namespace emu
