#include "platform/ZorPlatform.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

namespace ZorPlatform {

bool FixerInterfaceMulticast(ZorSocketHandle fd, const std::string& zAdresse)
{
    in_addr adresse{};
    if (fd < 0 || inet_pton(AF_INET, zAdresse.c_str(), &adresse) != 1)
        return false;
    return setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &adresse, sizeof adresse) == 0;
}

bool AttendreDonnees(ZorSocketHandle fd, int iMs)
{
    if (fd < 0)
        return false;
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, iMs) > 0 && (p.revents & POLLIN);
}

bool EnvoyerDatagramme(ZorSocketHandle fd, uint32_t iAdresse, uint16_t iPort, const void* pData,
                       size_t iLen)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = iAdresse;
    a.sin_port = htons(iPort);
    return fd >= 0 &&
           sendto(fd, pData, iLen, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&a), sizeof a) >= 0;
}

int RecevoirDatagramme(ZorSocketHandle fd, void* pTampon, size_t iTaille, uint32_t* piSource)
{
    if (fd < 0)
        return -1;
    sockaddr_in source{};
    socklen_t iLongueur = sizeof source;
    const ssize_t n = recvfrom(fd, pTampon, iTaille, MSG_DONTWAIT,
                               reinterpret_cast<sockaddr*>(&source), &iLongueur);
    if (n >= 0) {
        if (piSource)
            *piSource = source.sin_family == AF_INET ? source.sin_addr.s_addr : 0;
        return int(n);
    }
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
}

} // namespace ZorPlatform
