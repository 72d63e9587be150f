#include "platform/ZorPlatform.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace ZorPlatform {

bool FixerInterfaceMulticast(ZorSocketHandle fd, const std::string& zAdresse)
{
    in_addr adresse{};
    if (fd < 0 || inet_pton(AF_INET, zAdresse.c_str(), &adresse) != 1)
        return false;
    return setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &adresse, sizeof adresse) == 0;
}

} // namespace ZorPlatform
