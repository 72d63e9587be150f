#include "tests/device/FakeDevice.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace zortest {

bool FakeDevice::Start(const std::string& ip, int port, Handler handler)
{
    m_handler = std::move(handler);
    m_listen = socket(AF_INET, SOCK_STREAM, 0);
    if (m_listen < 0)
        return false;
    int one = 1;
    setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    if (inet_pton(AF_INET, ip.c_str(), &a.sin_addr) != 1 ||
        bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        listen(m_listen, 16) != 0) {
        close(m_listen);
        m_listen = -1;
        return false;
    }
    m_stop = false;
    m_thread = std::thread([this] { Loop(); });
    return true;
}

void FakeDevice::Stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listen >= 0)
        close(m_listen);
    m_listen = -1;
}

void FakeDevice::Loop()
{
    while (!m_stop) {
        pollfd p{m_listen, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        int fd = accept(m_listen, nullptr, nullptr);
        if (fd < 0)
            continue;
        ++m_connections;
        Serve(fd);
        close(fd);
    }
}

void FakeDevice::Serve(int fd)
{
    std::string req;
    char buf[4096];
    auto debut = std::chrono::steady_clock::now();
    // Read the request head, bounded in size and time.
    while (req.find("\r\n\r\n") == std::string::npos && req.size() < 65536 && !m_stop) {
        if (std::chrono::steady_clock::now() - debut > std::chrono::seconds(5))
            return;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return;
        req.append(buf, size_t(n));
    }
    std::string target;
    size_t sp1 = req.find(' ');
    size_t fin = req.find("\r\n");
    size_t sp2 = fin == std::string::npos ? std::string::npos : req.rfind(' ', fin);
    if (sp1 != std::string::npos && sp2 != std::string::npos && sp2 > sp1)
        target = req.substr(sp1 + 1, sp2 - sp1 - 1);
    sockaddr_in peer{};
    socklen_t plen = sizeof peer;
    char pbuf[INET_ADDRSTRLEN] = "";
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &plen) == 0)
        inet_ntop(AF_INET, &peer.sin_addr, pbuf, sizeof pbuf);
    {
        std::lock_guard<std::mutex> l(m_mutex);
        m_targets.push_back(target);
        m_requests.push_back(req);
        m_peers.push_back(pbuf);
    }
    std::string reply = m_handler ? m_handler(target) : std::string();
    if (reply.empty()) {
        // Silent: hold the connection until the client leaves or the test ends.
        while (!m_stop) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 50) > 0 && recv(fd, buf, sizeof buf, 0) <= 0)
                return;
        }
        return;
    }
    size_t envoye = 0;
    while (envoye < reply.size() && !m_stop) {
        ssize_t n = send(fd, reply.data() + envoye, reply.size() - envoye, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        envoye += size_t(n);
    }
}

std::vector<std::string> FakeDevice::Targets()
{
    std::lock_guard<std::mutex> l(m_mutex);
    return m_targets;
}

std::vector<std::string> FakeDevice::Requests()
{
    std::lock_guard<std::mutex> l(m_mutex);
    return m_requests;
}

size_t FakeDevice::Count()
{
    std::lock_guard<std::mutex> l(m_mutex);
    return m_targets.size();
}

std::vector<std::string> FakeDevice::Peers()
{
    std::lock_guard<std::mutex> l(m_mutex);
    return m_peers;
}

void FakeDevice::Clear()
{
    std::lock_guard<std::mutex> l(m_mutex);
    m_targets.clear();
    m_requests.clear();
    m_peers.clear();
}

std::string FakeDevice::Page(const std::string& body)
{
    return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n" + body;
}

} // namespace zortest
