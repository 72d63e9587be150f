// Name and address resolution, the same on every platform once its socket headers are in.
#include "platform/ZorPlatform.h"

#if defined(_WIN32)
#  include "platform/windows/ZorWindows.h"
#else
#  include <arpa/inet.h>
#  include <netdb.h>
#  include <netinet/in.h>
#  include <sys/socket.h>
#endif

#include <cstring>

namespace ZorPlatform {

bool ResoudreIPv4(const std::string& zHote, uint32_t* piAdresse, std::string* pzTexte)
{
    PreparerSockets();
    if (zHote.empty())
        return false;
    in_addr a;
    if (inet_pton(AF_INET, zHote.c_str(), &a) != 1) {
        addrinfo indices;
        memset(&indices, 0, sizeof(indices));
        indices.ai_family = AF_INET;
        indices.ai_socktype = SOCK_RAW;
        addrinfo* res = nullptr;
        if (getaddrinfo(zHote.c_str(), nullptr, &indices, &res) != 0 || !res)
            return false;
        a = reinterpret_cast<const sockaddr_in*>(res->ai_addr)->sin_addr;
        freeaddrinfo(res);
    }
    if (piAdresse)
        *piAdresse = a.s_addr;
    if (pzTexte) {
        char buf[INET_ADDRSTRLEN] = {0};
        inet_ntop(AF_INET, &a, buf, sizeof(buf));
        *pzTexte = buf;
    }
    return true;
}

} // namespace ZorPlatform
