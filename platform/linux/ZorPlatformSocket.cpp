// Socket options, the ICMP echo socket, the clock and the process id on Linux.
#include "platform/ZorPlatform.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <dirent.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

namespace ZorPlatform {

bool LierSocketInterface(ZorSocketHandle fd, const std::string& zInterface)
{
    if (fd < 0 || zInterface.empty())
        return false;
    return setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, zInterface.c_str(),
                      socklen_t(zInterface.size() + 1)) == 0;
}

int FixerTamponReception(ZorSocketHandle fd, int iOctets)
{
    if (fd < 0)
        return 0;
    auto Actuel = [fd]() {
        int v = 0;
        socklen_t l = sizeof(v);
        getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &v, &l);
        return v;
    };
    // The system reports twice the size asked (its bookkeeping share included) and caps the
    // request at its configured maximum, which a privileged process may exceed.
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &iOctets, sizeof(iOctets));
    if (Actuel() < 2 * iOctets)
        setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &iOctets, sizeof(iOctets));
    return Actuel();
}

bool DonneesEnAttente(ZorSocketHandle fd)
{
    if (fd < 0)
        return false;
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

int ViderSocket(ZorSocketHandle fd)
{
    int n = 0;
    char buf[2048];
    // Bounded: a socket under a flood would otherwise keep us here.
    while (fd >= 0 && n < 100000 && recv(fd, buf, sizeof(buf), MSG_DONTWAIT) >= 0)
        ++n;
    return n;
}

unsigned int TailleMaxMessage(ZorSocketHandle fd)
{
    if (fd < 0)
        return 0;
    // IPv4 limit of a UDP payload: 65535 less the IP and UDP headers.
    return 65507;
}

int SocketsUdpAutresProcessus(uint16_t iPort)
{
    // Our own sockets, by inode: the entries of /proc/self/fd that name a socket.
    std::set<unsigned long> nos;
    DIR* d = opendir("/proc/self/fd");
    if (!d)
        return -1;
    while (dirent* e = readdir(d)) {
        char lien[64] = {0};
        const std::string zChemin = std::string("/proc/self/fd/") + e->d_name;
        unsigned long iNoeud = 0;
        if (readlink(zChemin.c_str(), lien, sizeof(lien) - 1) > 0 &&
            sscanf(lien, "socket:[%lu]", &iNoeud) == 1)
            nos.insert(iNoeud);
    }
    closedir(d);
    // Every UDP socket of this namespace: "sl local rem st tx:rx tr:when retr uid timeout inode",
    // the local address as hex address:port. IPv6 sockets hear IPv4 datagrams too.
    int n = 0;
    bool bLu = false;
    for (const char* zTable : {"/proc/net/udp", "/proc/net/udp6"}) {
        FILE* f = fopen(zTable, "r");
        if (!f)
            continue;
        bLu = true;
        char ligne[512];
        if (!fgets(ligne, sizeof(ligne), f)) // the heading
        {
            fclose(f);
            continue;
        }
        while (fgets(ligne, sizeof(ligne), f)) {
            char zLocal[64];
            unsigned long iNoeud = 0;
            if (sscanf(ligne, " %*s %63s %*s %*s %*s %*s %*s %*s %*s %lu", zLocal, &iNoeud) != 2)
                continue;
            const char* p = strrchr(zLocal, ':');
            if (p && strtoul(p + 1, nullptr, 16) == iPort && !nos.count(iNoeud))
                ++n;
        }
        fclose(f);
    }
    return bLu ? n : -1;
}

bool AffichagePresent()
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

uint32_t TempsMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint32_t(uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u);
}

uint32_t IdProcessus()
{
    return uint32_t(getpid());
}

void PreparerSockets() {}

SocketEcho::~SocketEcho()
{
    Fermer();
}

bool SocketEcho::Ouvrir()
{
    Fermer();
    m_fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (m_fd >= 0) {
        m_bBrut = true;
        return true;
    }
    // Unprivileged echo sockets (allowed by net.ipv4.ping_group_range): the kernel owns the
    // identifier, which is the socket's port once bound.
    m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (m_fd < 0)
        return false;
    m_bBrut = false;
    sockaddr_in sa;
    memset(&sa, 0, sizeof(sa));
    sa.sin_family = AF_INET;
    socklen_t l = sizeof(sa);
    if (bind(m_fd, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) != 0 ||
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&sa), &l) != 0) {
        Fermer();
        return false;
    }
    m_iIdentifiant = sa.sin_port;
    return true;
}

void SocketEcho::Fermer()
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    m_bBrut = false;
    m_iIdentifiant = 0;
}

uint16_t SocketEcho::IdentifiantEffectif(uint16_t iDemande) const
{
    return m_bBrut ? iDemande : m_iIdentifiant;
}

bool SocketEcho::Envoyer(uint32_t iDestination, const uint8_t* pData, size_t iLen)
{
    if (m_fd < 0)
        return false;
    sockaddr_in sa;
    memset(&sa, 0, sizeof(sa));
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = iDestination;
    ssize_t n = sendto(m_fd, pData, iLen, 0, reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
    return n == ssize_t(iLen);
}

int SocketEcho::AttendreLecture(int iMs)
{
    if (m_fd < 0)
        return -1;
    pollfd p{m_fd, POLLIN, 0};
    int r = poll(&p, 1, iMs < 0 ? 0 : iMs);
    if (r < 0)
        return errno == EINTR ? 0 : -1;
    return r > 0 ? 1 : 0;
}

int SocketEcho::Recevoir(uint8_t* pBuffer, size_t iTaille, uint32_t* piSource)
{
    if (m_fd < 0 || !pBuffer)
        return -1;
    sockaddr_in sa;
    memset(&sa, 0, sizeof(sa));
    socklen_t l = sizeof(sa);
    const size_t iEnTete = m_bBrut ? 0 : 20;
    if (iTaille <= iEnTete)
        return -1;
    ssize_t n = recvfrom(m_fd, pBuffer + iEnTete, iTaille - iEnTete, MSG_DONTWAIT,
                         reinterpret_cast<sockaddr*>(&sa), &l);
    if (n < 0)
        return -1;
    if (piSource)
        *piSource = sa.sin_addr.s_addr;
    if (iEnTete) {
        // A minimal IPv4 header: version 4, 20 bytes, protocol ICMP, the sender as source.
        memset(pBuffer, 0, iEnTete);
        pBuffer[0] = 0x45;
        uint16_t total = htons(uint16_t(n + ssize_t(iEnTete)));
        memcpy(pBuffer + 2, &total, 2);
        pBuffer[8] = 64;
        pBuffer[9] = IPPROTO_ICMP;
        memcpy(pBuffer + 12, &sa.sin_addr.s_addr, 4);
    }
    return int(n + ssize_t(iEnTete));
}

} // namespace ZorPlatform
