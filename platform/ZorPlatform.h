// The operating-system calls the library needs, behind one small interface: network adapters,
// socket options, ICMP echo sockets, the terminal, clock and process id. Plain C++ types only, so
// each platform is one implementation file set (platform/linux/ here).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#if defined(_WIN32)
typedef uintptr_t ZorSocketHandle;
#else
typedef int ZorSocketHandle;
#endif

// One network adapter of the PC as the system reports it.
struct ZorAdaptateur
{
    std::string zNom; // system name of the interface (for binding a socket to it)
    std::string zDescription;
    std::vector<uint8_t> mac; // hardware address bytes
    std::string zIP;          // first IPv4 address, dotted; "0.0.0.0" when none
    std::string zMask;        // its mask; "0.0.0.0" when none
    std::string zGateway;     // first default gateway through this adapter; "0.0.0.0" when none
    bool bDhcp = false;       // the address was leased (not configured permanently)
    std::string zServeurDhcp; // the leasing server when known, else empty
    int iIndex = 0;
    int iType = 1; // adapter type numbers: 6 Ethernet, 71 wireless, 24 loopback, 1 other
};

namespace ZorPlatform {

// Every adapter that has a hardware address (loopback interfaces excluded), in system order.
// False with a system error code when the enumeration itself failed.
// Description and leasing server are left empty: see DecrireAdaptateur.
bool EnumererAdaptateurs(std::vector<ZorAdaptateur>& adaptateurs, int* piErreur);
// Fills the slower details of a listed adapter: its description and, when its address was
// leased, the leasing server. Worth it only for an adapter new or changed since the last list.
void DecrireAdaptateur(ZorAdaptateur& adaptateur);

// Ties a socket to one interface: it then sends through it and receives only what arrives on it.
bool LierSocketInterface(ZorSocketHandle fd, const std::string& zInterface);
// Multicast datagrams of the socket leave through the adapter holding this IPv4 address.
bool FixerInterfaceMulticast(ZorSocketHandle fd, const std::string& zAdresse);
// Waits at most iMs milliseconds for a datagram on the socket (no event dispatching).
bool AttendreDonnees(ZorSocketHandle fd, int iMs);
// One datagram to iAdresse:iPort (network byte order address); false when it was not sent.
bool EnvoyerDatagramme(ZorSocketHandle fd, uint32_t iAdresse, uint16_t iPort, const void* pData,
                       size_t iLen);
// One waiting datagram, without waiting: its length, 0 when none waits, -1 on a socket error.
// With piSource, its sender's IPv4 address (network byte order).
int RecevoirDatagramme(ZorSocketHandle fd, void* pTampon, size_t iTaille,
                       uint32_t* piSource = nullptr);
// Asks for a receive buffer of at least iOctets; returns the size the system granted.
int FixerTamponReception(ZorSocketHandle fd, int iOctets);
// True when a datagram waits on the socket (no wait, no event dispatching).
bool DonneesEnAttente(ZorSocketHandle fd);
// Reads and drops every datagram waiting on the socket; returns how many.
int ViderSocket(ZorSocketHandle fd);
// Largest datagram the socket can send.
unsigned int TailleMaxMessage(ZorSocketHandle fd);
// UDP sockets of other processes bound to local port iPort, on any address (of this network
// namespace on Linux). -1 when the system cannot tell.
int SocketsUdpAutresProcessus(uint16_t iPort);

// True when windows can be shown: a display to connect to (Linux), an interactive desktop
// (Windows; not a service's).
bool AffichagePresent();

// True when standard input is a terminal where a person types (a console on Windows), not a
// pipe or a file.
bool EntreeInteractive();

// While one lives, what is typed at standard input's terminal is not shown (a password being
// typed). The terminal is set back when it ends, and also when Ctrl-C or a stop signal ends the
// program meanwhile. Nothing changes when standard input is no terminal. One at a time.
class EchoCoupe
{
public:
    EchoCoupe();
    ~EchoCoupe();
    EchoCoupe(const EchoCoupe&) = delete;
    EchoCoupe& operator=(const EchoCoupe&) = delete;

    bool IsCoupe() const { return m_bCoupe; }

private:
    bool m_bCoupe = false;
};

// Monotonic millisecond clock (wraps like a 32-bit tick count).
uint32_t TempsMs();
uint32_t IdProcessus();

// Makes the system's sockets usable (Winsock's start on Windows, once; nothing on Linux).
void PreparerSockets();
// Resolves a dotted address or a host name to an IPv4 address (network byte order).
bool ResoudreIPv4(const std::string& zHote, uint32_t* piAdresse, std::string* pzTexte);

// What the system's neighbour table (address resolution) says of an IPv4 address of a link.
enum class ZorVoisin {
    Present, // a host holds it: it answered address resolution (even one that ignores echoes)
    Absent,  // nobody answered for it in the time given
    Inconnu  // the table cannot be read: nothing is known
};
// Makes the system resolve the address (network byte order; one datagram to it) and waits at
// most iAttenteMs for a resolved entry. Needs no privilege. *pArret, when given, cuts the wait
// short (Absent then means only "not yet").
ZorVoisin ChercherVoisin(uint32_t iAdresse, int iAttenteMs, const std::atomic<bool>* pArret);

// ICMP echo socket: the raw socket when allowed, else the unprivileged echo datagram socket
// (on Windows, IP Helper's echo, which needs no administrator).
class SocketEcho
{
public:
    SocketEcho() = default;
    ~SocketEcho();
    SocketEcho(const SocketEcho&) = delete;
    SocketEcho& operator=(const SocketEcho&) = delete;

    bool Ouvrir();
    void Fermer();
    bool IsOuvert() const { return m_fd >= 0; }
    // Raw sockets keep the identifier we write; datagram sockets replace it with their own.
    bool IsBrut() const { return m_bBrut; }
    // The identifier (as stored in the packet, in memory order) replies will carry for a
    // request written with iDemande.
    uint16_t IdentifiantEffectif(uint16_t iDemande) const;

    bool Envoyer(uint32_t iDestination, const uint8_t* pData, size_t iLen);
    // 1 readable, 0 time-out, -1 error.
    int AttendreLecture(int iMs);
    // One packet, always as an IPv4 packet (header included, as a raw socket delivers it):
    // the datagram socket's bare ICMP message gets a minimal header in front.
    int Recevoir(uint8_t* pBuffer, size_t iTaille, uint32_t* piSource);

private:
    int m_fd = -1;
    bool m_bBrut = false;
    uint16_t m_iIdentifiant = 0;
#if defined(_WIN32)
    // IP Helper's echo handle, the request waiting to be sent and the reply waiting to be read.
    void* m_hIcmp = nullptr;
    uint32_t m_iDestination = 0;
    std::vector<uint8_t> m_requete;
    std::vector<uint8_t> m_reponse;
#endif
};

} // namespace ZorPlatform
