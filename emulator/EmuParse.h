// What the emulator reads from the outside, as pure functions: HTTP requests, the discovery,
// configuration and restart datagrams, and control socket lines. No sockets, no locks: the
// server calls them on the bytes it received, and the fuzz targets call them directly.
#pragma once

#include "emulator/EmuDevice.h"

#include <cstdint>
#include <string>

namespace emu {

// ---- HTTP ----

struct HttpRequest
{
    int status = 0;                   // 0: well formed, else the error code to answer
    std::string method, target;       // target without the scheme and host of an absolute form
    std::string version = "HTTP/1.1"; // "HTTP/1.0" when the client asked for it
    std::string path;                 // decoded, lower case, without the leading "/"
    std::string query;                // undecoded, after the first "?"
};

// Index of the blank line ending the request head in the bytes received so far; npos while
// the head is incomplete.
size_t RequestHeadEnd(const std::string& received);
// Reads the request line of a complete head. Parameters arrive percent-encoded (decoded per
// parameter, as a device's web server does, after the split at "&" and "="), but an older client
// may send them raw, spaces included, so the target is everything between the first and the last
// space.
HttpRequest ParseRequest(const std::string& head);

std::string HttpResponse(const std::string& version, int code, const std::string& reason,
                         const std::string& type, const std::string& body, bool withBody,
                         const std::string& extra = "");
// The whole reply of device d to a well formed request; commands of a state page query are
// applied, and the network change they ask for is left in *fx for after the reply.
std::string HttpReply(Device& d, const HttpRequest& r, int64_t monoMs, Effects* fx);

// ---- Datagrams ----

enum class DatagramKind { Ignored, Restart, Hello, Config };
// Restart port: exactly "R". Discovery port: "D" or "M" (hello), "N;..." (configuration).
DatagramKind ClassifyDatagram(const std::string& data, bool restartPort);
// A hello sent to dst reaches device d (its own, the limited or its subnet's broadcast address).
bool HelloReaches(const Device& d, uint32_t dst);

// N;MAC;login;password;address;mask;gateway;dhcp;
struct ConfigRequest
{
    std::string mac, login, password, address, mask, gateway;
    bool dhcp = false;
};
// False when the datagram has fewer than the eight fields.
bool ParseConfig(const std::string& data, ConfigRequest* out);
// The request names device d (same MAC digits, whatever the separators and case).
bool ConfigNames(const Device& d, const ConfigRequest& c);
// Why device d refuses the settings; empty when accepted, then *ip, *prefix and *gateway hold them.
std::string ConfigRefusal(const Device& d, const ConfigRequest& c, int64_t monoMs, uint32_t* ip,
                          int* prefix, uint32_t* gateway);

// ---- Control socket ----

struct ControlLine
{
    std::string cmd;    // upper case
    std::string device; // index text (second word)
    std::string arg;    // the rest, trimmed
};
ControlLine ParseControlLine(const std::string& line);
// "key=value" of a SET: the key trimmed and lower case; false when there is no key.
bool ParseSetting(const std::string& arg, std::string* key, std::string* value);
// A value sent back on one control line: control characters become \xHH so that a value can
// never end the reply line early or start a false one.
std::string ControlValue(const std::string& value);

} // namespace emu
