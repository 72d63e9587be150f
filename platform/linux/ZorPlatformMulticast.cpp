#include "platform/ZorPlatform.h"

#include <arpa/inet.h>
#include <netinet/in.h>
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

} // namespace ZorPlatform
