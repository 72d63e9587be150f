// A minimal web server on a loopback address, standing in for a device's web server in the
// isolated test namespace: records every request and answers through a callback.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zortest {

class FakeDevice
{
public:
    // Raw request (request line and headers) -> full reply bytes, or "" to stay silent until
    // the client goes away.
    using Handler = std::function<std::string(const std::string& target)>;

    FakeDevice() = default;
    ~FakeDevice() { Stop(); }
    FakeDevice(const FakeDevice&) = delete;
    FakeDevice& operator=(const FakeDevice&) = delete;

    bool Start(const std::string& ip, int port, Handler handler);
    void Stop();

    // Request targets received so far, in order, and the raw requests.
    std::vector<std::string> Targets();
    std::vector<std::string> Requests();
    // Source address of each request's connection.
    std::vector<std::string> Peers();
    size_t Count();
    void Clear();
    // Connections accepted (one request per connection is expected).
    int Connections() const { return m_connections.load(); }

    // A state page reply with the usual keys.
    static std::string Page(const std::string& body);

private:
    void Loop();
    void Serve(int fd);

    int m_listen = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<std::string> m_targets;
    std::vector<std::string> m_requests;
    std::vector<std::string> m_peers;
    Handler m_handler;
};

} // namespace zortest
