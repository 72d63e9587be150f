#include "emulator/EmuParse.h"

#include "emulator/EmuUtil.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

namespace emu {

size_t RequestHeadEnd(const std::string& received)
{
    return std::min(received.find("\r\n\r\n"), received.find("\n\n"));
}

HttpRequest ParseRequest(const std::string& head)
{
    HttpRequest r;
    std::string first = head.substr(0, head.find('\n'));
    if (!first.empty() && first.back() == '\r')
        first.pop_back();
    size_t sp1 = first.find(' ');
    size_t sp2 = first.rfind(' ');
    if (sp1 != std::string::npos && sp2 > sp1 && first.compare(sp2 + 1, 5, "HTTP/") == 0) {
        r.method = first.substr(0, sp1);
        r.target = first.substr(sp1 + 1, sp2 - sp1 - 1);
        if (first.compare(sp2 + 1, std::string::npos, "HTTP/1.0") == 0)
            r.version = "HTTP/1.0";
    }
    if (r.target.compare(0, 7, "http://") == 0) { // absolute form
        size_t slash = r.target.find('/', 7);
        r.target = slash == std::string::npos ? "/" : r.target.substr(slash);
    }
    if (r.method.empty() || r.target.empty() || r.target[0] != '/') {
        r.status = 400;
        return r;
    }
    size_t q = r.target.find('?');
    r.path = Lower(
        PercentDecode(r.target.substr(1, q == std::string::npos ? std::string::npos : q - 1)));
    r.query = q == std::string::npos ? "" : r.target.substr(q + 1);
    return r;
}

std::string HttpResponse(const std::string& version, int code, const std::string& reason,
                         const std::string& type, const std::string& body, bool withBody,
                         const std::string& extra)
{
    std::string r = version + " " + std::to_string(code) + " " + reason + "\r\n";
    r += "Server: tavlin-emu\r\n";
    r += "Content-Type: " + type + "\r\n";
    r += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    r += "Cache-Control: no-cache\r\n";
    r += extra;
    r += "Connection: close\r\n\r\n";
    if (withBody)
        r += body;
    return r;
}

std::string HttpReply(Device& d, const HttpRequest& r, int64_t monoMs, Effects* fx)
{
    bool head = r.method == "HEAD";
    if (r.method != "GET" && !head)
        return HttpResponse(r.version, 405, "Method Not Allowed", "text/plain",
                            "method not allowed\n", true, "Allow: GET, HEAD\r\n");
    if (r.path.empty() || r.path == "index.htm" || r.path == "index.html")
        return HttpResponse(r.version, 200, "OK", "text/html; charset=utf-8", IndexPage(d, monoMs),
                            !head);
    if (IsStatePage(r.path)) {
        *fx = ApplyQuery(d, r.query, monoMs);
        return HttpResponse(r.version, 200, "OK", "text/plain; charset=iso-8859-1",
                            StatePage(d, r.path, monoMs, fx->notes), !head);
    }
    return HttpResponse(r.version, 404, "Not Found", "text/plain", "not found\n", !head);
}

DatagramKind ClassifyDatagram(const std::string& data, bool restartPort)
{
    if (restartPort)
        return data == "R" ? DatagramKind::Restart : DatagramKind::Ignored;
    if (data == "D" || data == "M")
        return DatagramKind::Hello;
    if (data.size() >= 2 && data[0] == 'N' && data[1] == ';')
        return DatagramKind::Config;
    return DatagramKind::Ignored;
}

bool HelloReaches(const Device& d, uint32_t dst)
{
    return dst == d.ip || dst == 0xFFFFFFFFu || dst == (d.ip | ~PrefixMask(d.prefix));
}

bool ParseConfig(const std::string& data, ConfigRequest* out)
{
    std::vector<std::string> f = Split(data, ';');
    if (f.size() < 8 || f[0] != "N")
        return false;
    out->mac = f[1];
    out->login = f[2];
    out->password = f[3];
    out->address = f[4];
    out->mask = f[5];
    out->gateway = f[6];
    out->dhcp = f[7] == "1";
    return true;
}

bool ConfigNames(const Device& d, const ConfigRequest& c)
{
    std::string digits = MacDigits(c.mac);
    return !digits.empty() && MacDigits(d.mac) == digits;
}

std::string ConfigRefusal(const Device& d, const ConfigRequest& c, int64_t monoMs, uint32_t* ip,
                          int* prefix, uint32_t* gateway)
{
    uint32_t mask = 0;
    if (Rebooting(d, monoMs))
        return "restarting";
    if (c.login != d.login || c.password != d.password)
        return "bad login or password";
    if (!ParseIpHex(c.address, ip) || !ParseIpHex(c.mask, &mask) ||
        !ParseIpHex(c.gateway, gateway) || MaskPrefix(mask) < 1 ||
        !UsableHost(*ip, MaskPrefix(mask)))
        return "bad address, mask or gateway";
    *prefix = MaskPrefix(mask);
    return "";
}

ControlLine ParseControlLine(const std::string& lineIn)
{
    ControlLine c;
    std::string line = Trim(lineIn);
    size_t sp = line.find(' ');
    c.cmd = line.substr(0, sp);
    for (char& ch : c.cmd)
        ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
    std::string rest = sp == std::string::npos ? "" : Trim(line.substr(sp + 1));
    sp = rest.find(' ');
    c.device = rest.substr(0, sp);
    c.arg = sp == std::string::npos ? "" : Trim(rest.substr(sp + 1));
    return c;
}

bool ParseSetting(const std::string& arg, std::string* key, std::string* value)
{
    size_t eq = arg.find('=');
    if (eq == std::string::npos)
        return false;
    *key = Lower(Trim(arg.substr(0, eq)));
    *value = arg.substr(eq + 1);
    return !key->empty();
}

std::string ControlValue(const std::string& value)
{
    std::string out;
    for (unsigned char c : value) {
        if (c < 0x20 || c == 0x7F) {
            char buf[5];
            snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

} // namespace emu
