// Socket options, ICMP echo, the clock and the process id on Windows (Winsock, IP Helper).
#include "platform/ZorPlatform.h"
#include "platform/windows/ZorWindows.h"

#include <iphlpapi.h>
#include <icmpapi.h>

#include <cstring>
#include <mutex>
#include <vector>

namespace {

bool Valide(ZorSocketHandle fd)
{
    return fd != ZorSocketHandle(INVALID_SOCKET);
}

SOCKET S(ZorSocketHandle fd)
{
    return SOCKET(fd);
}

const size_t kEnTeteIP = 20;

} // namespace

namespace ZorPlatform {

// Winsock is started once for the process, before the first socket call of ours (the toolkit
// starts it too for its own sockets; each start is counted and it is never cleaned up early).
void PreparerSockets()
{
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA donnees;
        WSAStartup(MAKEWORD(2, 2), &donnees);
    });
}

std::wstring Large(const std::string& zUtf8)
{
    if (zUtf8.empty())
        return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, zUtf8.data(), int(zUtf8.size()), nullptr, 0);
    std::wstring w(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, zUtf8.data(), int(zUtf8.size()), &w[0], n);
    return w;
}

bool LierSocketInterface(ZorSocketHandle, const std::string&)
{
    // Windows has no per-interface binding; a socket bound to the adapter's address already
    // receives the broadcasts arriving on that adapter, which is what the caller falls back to.
    return false;
}

bool FixerInterfaceMulticast(ZorSocketHandle fd, const std::string& zAdresse)
{
    PreparerSockets();
    in_addr adresse{};
    if (!Valide(fd) || inet_pton(AF_INET, zAdresse.c_str(), &adresse) != 1)
        return false;
    return setsockopt(S(fd), IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&adresse),
                      sizeof adresse) == 0;
}

bool AttendreDonnees(ZorSocketHandle fd, int iMs)
{
    if (!Valide(fd))
        return false;
    fd_set lecture;
    FD_ZERO(&lecture);
    FD_SET(S(fd), &lecture);
    timeval tv{iMs / 1000, (iMs % 1000) * 1000};
    return select(0, &lecture, nullptr, nullptr, &tv) > 0;
}

bool EnvoyerDatagramme(ZorSocketHandle fd, uint32_t iAdresse, uint16_t iPort, const void* pData,
                       size_t iLen)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = iAdresse;
    a.sin_port = htons(iPort);
    return Valide(fd) && sendto(S(fd), static_cast<const char*>(pData), int(iLen), 0,
                                reinterpret_cast<sockaddr*>(&a), sizeof a) != SOCKET_ERROR;
}

int RecevoirDatagramme(ZorSocketHandle fd, void* pTampon, size_t iTaille, uint32_t* piSource)
{
    if (!Valide(fd))
        return -1;
    if (!DonneesEnAttente(fd))
        return 0;
    sockaddr_in source{};
    int iLongueur = sizeof source;
    const int n = recvfrom(S(fd), static_cast<char*>(pTampon), int(iTaille), 0,
                           reinterpret_cast<sockaddr*>(&source), &iLongueur);
    const int e = n >= 0 ? 0 : WSAGetLastError();
    if (piSource && (n >= 0 || e == WSAEMSGSIZE))
        *piSource = source.sin_family == AF_INET ? source.sin_addr.s_addr : 0;
    if (n >= 0)
        return n;
    // A datagram larger than the buffer arrives cut: it still counts as read.
    if (e == WSAEMSGSIZE)
        return int(iTaille);
    return e == WSAEWOULDBLOCK || e == WSAEINTR || e == WSAECONNRESET ? 0 : -1;
}

int FixerTamponReception(ZorSocketHandle fd, int iOctets)
{
    if (!Valide(fd))
        return 0;
    setsockopt(S(fd), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&iOctets),
               sizeof iOctets);
    int v = 0;
    int l = sizeof v;
    getsockopt(S(fd), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&v), &l);
    return v;
}

bool DonneesEnAttente(ZorSocketHandle fd)
{
    return AttendreDonnees(fd, 0);
}

int ViderSocket(ZorSocketHandle fd)
{
    int n = 0;
    char buf[2048];
    // Bounded: a socket under a flood would otherwise keep us here.
    while (Valide(fd) && n < 100000 && DonneesEnAttente(fd)) {
        if (recv(S(fd), buf, sizeof buf, 0) == SOCKET_ERROR && WSAGetLastError() != WSAEMSGSIZE)
            break;
        ++n;
    }
    return n;
}

unsigned int TailleMaxMessage(ZorSocketHandle fd)
{
    if (!Valide(fd))
        return 0;
    // IPv4 limit of a UDP payload: 65535 less the IP and UDP headers.
    return 65507;
}

int SocketsUdpAutresProcessus(uint16_t iPort)
{
    ULONG iTaille = 0;
    std::vector<unsigned char> tampon;
    DWORD r = ERROR_INSUFFICIENT_BUFFER;
    for (int essai = 0; essai < 4 && r == ERROR_INSUFFICIENT_BUFFER; ++essai) {
        tampon.assign(iTaille ? iTaille : 1, 0);
        r = GetExtendedUdpTable(tampon.data(), &iTaille, FALSE, AF_INET, UDP_TABLE_OWNER_PID, 0);
    }
    if (r != NO_ERROR)
        return -1;
    const MIB_UDPTABLE_OWNER_PID* table =
        reinterpret_cast<const MIB_UDPTABLE_OWNER_PID*>(tampon.data());
    const DWORD iNous = GetCurrentProcessId();
    int n = 0;
    for (DWORD i = 0; i < table->dwNumEntries; ++i)
        if (ntohs(uint16_t(table->table[i].dwLocalPort)) == iPort &&
            table->table[i].dwOwningPid != iNous)
            ++n;
    return n;
}

bool AffichagePresent()
{
    // A service runs in a window station nobody sees; a user's programs in a visible one.
    USEROBJECTFLAGS drapeaux{};
    HWINSTA h = GetProcessWindowStation();
    return h && GetUserObjectInformationW(h, UOI_FLAGS, &drapeaux, sizeof drapeaux, nullptr) &&
           (drapeaux.dwFlags & WSF_VISIBLE);
}

uint32_t TempsMs()
{
    return uint32_t(GetTickCount64());
}

uint32_t IdProcessus()
{
    return uint32_t(GetCurrentProcessId());
}

// The echo goes through IP Helper's IcmpSendEcho rather than a raw socket: raw sockets need an
// administrator on Windows, and a technician's account rarely is one. IcmpSendEcho sends the
// request and waits for its reply in one call, so the request is kept at Envoyer and sent by
// AttendreLecture with the caller's wait; the reply is handed back as a raw socket would, an IPv4
// packet with the request's own identifier.
SocketEcho::~SocketEcho()
{
    Fermer();
}

bool SocketEcho::Ouvrir()
{
    Fermer();
    HANDLE h = IcmpCreateFile();
    if (h == INVALID_HANDLE_VALUE)
        return false;
    m_hIcmp = h;
    m_fd = 0;
    m_bBrut = true;
    return true;
}

void SocketEcho::Fermer()
{
    if (m_hIcmp)
        IcmpCloseHandle(m_hIcmp);
    m_hIcmp = nullptr;
    m_fd = -1;
    m_bBrut = false;
    m_iIdentifiant = 0;
    m_requete.clear();
    m_reponse.clear();
}

uint16_t SocketEcho::IdentifiantEffectif(uint16_t iDemande) const
{
    return iDemande;
}

bool SocketEcho::Envoyer(uint32_t iDestination, const uint8_t* pData, size_t iLen)
{
    // An echo request: type, code, checksum, identifier, sequence, then the data to echo.
    if (m_fd < 0 || !pData || iLen < 8 || pData[0] != 8)
        return false;
    m_iDestination = iDestination;
    m_requete.assign(pData, pData + iLen);
    m_reponse.clear();
    return true;
}

int SocketEcho::AttendreLecture(int iMs)
{
    if (m_fd < 0)
        return -1;
    if (!m_reponse.empty())
        return 1;
    if (m_requete.empty())
        return 0;
    std::vector<uint8_t> requete;
    requete.swap(m_requete);
    const WORD iDonnees = WORD(requete.size() - 8);
    std::vector<unsigned char> tampon(sizeof(ICMP_ECHO_REPLY) + iDonnees + 8 + 64);
    const DWORD n = IcmpSendEcho(m_hIcmp, m_iDestination, requete.data() + 8, iDonnees, nullptr,
                                 tampon.data(), DWORD(tampon.size()), DWORD(iMs < 1 ? 1 : iMs));
    const ICMP_ECHO_REPLY* r = reinterpret_cast<const ICMP_ECHO_REPLY*>(tampon.data());
    // Only a reply from the destination counts; IcmpSendEcho turns the errors of routers and of
    // our own stack into a status, which says nobody answered at that address.
    if (n == 0 || r->Status != IP_SUCCESS || r->Address != m_iDestination)
        return 0;
    const size_t iLen = 8 + size_t(r->DataSize);
    m_reponse.assign(kEnTeteIP + iLen, 0);
    m_reponse[0] = 0x45;
    const uint16_t total = htons(uint16_t(m_reponse.size()));
    memcpy(&m_reponse[2], &total, 2);
    m_reponse[8] = r->Options.Ttl;
    m_reponse[9] = IPPROTO_ICMP;
    memcpy(&m_reponse[12], &r->Address, 4);
    uint8_t* icmp = &m_reponse[kEnTeteIP];
    icmp[0] = 0;                             // echo reply
    memcpy(icmp + 4, requete.data() + 4, 4); // identifier and sequence of the request
    if (r->DataSize && r->Data)
        memcpy(icmp + 8, r->Data, r->DataSize);
    return 1;
}

int SocketEcho::Recevoir(uint8_t* pBuffer, size_t iTaille, uint32_t* piSource)
{
    if (m_fd < 0 || !pBuffer || m_reponse.empty())
        return -1;
    const size_t n = std::min(iTaille, m_reponse.size());
    memcpy(pBuffer, m_reponse.data(), n);
    if (piSource)
        memcpy(piSource, &m_reponse[12], 4);
    m_reponse.clear();
    return int(n);
}

} // namespace ZorPlatform
