// The emulator's network side: the devices' addresses on the LAN interface, the discovery
// and restart datagrams, one web server per address, the control socket and the log.
#pragma once

#include "emulator/EmuDevice.h"
#include "emulator/EmuIface.h"

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace emu {

struct ServerOptions
{
    std::string iface = "lan0";
    std::string controlPath; // empty: no control socket
    std::string logPath;     // empty: standard output
    int rebootMs = 3000;
};

class Server
{
public:
    Server(const ServerOptions& options, std::vector<Device> devices);
    ~Server();
    // Sets everything up, serves until QUIT, SIGTERM or SIGINT, then removes the addresses.
    // Returns the process exit code.
    int Run();

    // One control command line; the reply line without its line feed. QUIT only answers here:
    // the connection that sent it stops the server after the reply.
    std::string Control(const std::string& line);

private:
    struct Address
    {
        int refs = 0;
        bool ours = false; // added by us, removed by us
        int prefix = 24;
        int listenFd = -1;
    };

    bool Setup(std::string* error);
    void Cleanup();
    void Loop();
    void OnDiscovery(int fd, bool restartPort);
    void HandleDatagram(const std::string& data, uint32_t src, uint16_t srcPort, uint32_t dst,
                        bool restartPort);
    void HandleConfig(const std::string& data, uint32_t src, uint16_t srcPort);
    void SendAnswer(Device& d, char type, uint32_t pc, uint16_t pcPort);
    // Sends from a device's own address through the LAN interface; false with errno on failure.
    bool SendFrom(int fd, uint32_t deviceIp, uint32_t to, uint16_t toPort,
                  const std::string& bytes);
    void OnBootloader();
    void HandleBoot(const std::string& data, uint32_t src, uint16_t srcPort);
    // Joins the bootloader group while a device is restarting, leaves it when none is.
    void UpdateBootGroup();
    // Reads the body of a POST whose head ended at headEnd; false with the status to answer.
    // The body of a POST, up to max bytes (413 beyond); with half, only its first half.
    bool ReadBody(int fd, const std::string& req, size_t headEnd, size_t max, std::string* body,
                  int* status, bool half);
    // The upload page's fault knob after the body was read: 500, hang or trickle.
    void FailUpload(int fd, const std::string& version, const std::string& fault);
    void OnAccept(int listenFd, uint32_t localIp);
    void ServeHttp(int fd, uint32_t localIp, std::string peer);
    void ServeControl(int fd);

    // Address bookkeeping, under m_mu.
    bool Acquire(uint32_t ip, int prefix, std::string* error);
    void Release(uint32_t ip);
    bool MoveLocked(Device& d, uint32_t ip, int prefix, uint32_t gateway, bool dhcp,
                    const std::string& peer, std::string* error);

    void Log(const char* kind, const std::string& device, const std::string& peer,
             const std::string& payload);
    void Wake();

    ServerOptions m_opt;
    std::vector<Device> m_devices;
    std::map<uint32_t, Address> m_addresses;
    std::vector<int> m_deadFds; // listeners to close on the main thread
    std::mutex m_mu;
    std::mutex m_logMu;
    FILE* m_log = nullptr;
    Iface m_iface;
    int m_discFd = -1, m_restartFd = -1, m_ctlFd = -1, m_bootFd = -1;
    bool m_bootJoined = false;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_stop{false};
    bool m_closed = false; // addresses removed: none may be added any more
    std::atomic<int> m_httpThreads{0};
    std::atomic<int> m_ctlThreads{0};
};

// The SIGTERM/SIGINT handler writes to this descriptor.
void InstallSignalHandlers(int wakeFd);

} // namespace emu
