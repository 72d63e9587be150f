// The emulator's web server on any bytes a client may send: the request head is parsed, the
// reply is well formed HTTP, a state page keeps its line format, and whatever the query asked
// for, the device's stored state keeps its limits.
#include "fuzz/EmuFuzz.h"

using namespace emufuzz;

namespace {

void CheckReply(const emu::HttpRequest& r, const std::string& reply)
{
    Check(reply.compare(0, r.version.size() + 1, r.version + " ") == 0);
    size_t headEnd = reply.find("\r\n\r\n");
    Check(headEnd != std::string::npos);
    std::string body = reply.substr(headEnd + 4);
    size_t len = reply.find("Content-Length: ");
    Check(len != std::string::npos && len < headEnd);
    unsigned long declared = strtoul(reply.c_str() + len + 16, nullptr, 10);
    if (r.method == "HEAD")
        Check(body.empty() || r.status != 0);
    else
        Check(declared == body.size());
    if (r.method == "GET" && emu::IsStatePage(r.path))
        CheckStatePage(body);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > 4096)
        return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string received;
    switch (data[0] % 3) {
    case 0:
        received = rest;
        break; // raw request
    case 1:
        received = "GET /etat.htm?" + rest + " HTTP/1.1\r\n\r\n";
        break; // any query
    default:   // known commands
        received = std::string(data[0] & 4 ? "GET" : "HEAD") + " /etatenregistrement.htm?" +
                   QueryFromBytes(rest) + " HTTP/1.0\r\n\r\n";
        break;
    }

    size_t end = emu::RequestHeadEnd(received);
    if (end == std::string::npos)
        return 0;
    emu::HttpRequest r = emu::ParseRequest(received.substr(0, end));
    if (r.status != 0) {
        Check(r.status == 400);
        return 0;
    }
    Check(!r.method.empty() && r.method.find(' ') == std::string::npos);
    Check(!r.target.empty() && r.target[0] == '/');
    Check(r.version == "HTTP/1.1" || r.version == "HTTP/1.0");
    Check(r.path == emu::Lower(r.path));
    Check(r.query.size() < r.target.size());

    emu::Device d = MakeDevice(data[0] & 8 ? 1 : 0);
    d.uartBoard = data[0] & 16;
    emu::Effects fx;
    std::string reply = emu::HttpReply(d, r, kNowMs, &fx);
    CheckReply(r, reply);
    CheckDevice(d);
    if (fx.move) {
        Check(fx.prefix >= 1 && fx.prefix <= 32 && emu::UsableHost(fx.ip, fx.prefix));
        Check(fx.reboot);
    }
    // A second request sees the state the first one left.
    emu::HttpRequest again = emu::ParseRequest("GET /etatautomate.htm HTTP/1.1");
    CheckReply(again, emu::HttpReply(d, again, kNowMs + 1000, &fx));
    return 0;
}
