#include "emulator/EmuUtil.h"

#include <cctype>
#include <chrono>
#include <cstdio>

namespace emu {

bool ParseIp(const std::string& text, uint32_t* out)
{
    std::vector<std::string> parts = Split(text, '.');
    if (parts.size() != 4)
        return false;
    uint32_t ip = 0;
    for (const std::string& p : parts) {
        long v = 0;
        if (p.empty() || p.size() > 3 || !ParseLong(p, 0, 255, &v))
            return false;
        ip = (ip << 8) | static_cast<uint32_t>(v);
    }
    *out = ip;
    return true;
}

std::string IpText(uint32_t ip)
{
    char buf[16];
    snprintf(buf, sizeof buf, "%u.%u.%u.%u", ip >> 24, (ip >> 16) & 255, (ip >> 8) & 255, ip & 255);
    return buf;
}

std::string IpHex(uint32_t ip)
{
    char buf[9];
    snprintf(buf, sizeof buf, "%02X%02X%02X%02X", ip >> 24, (ip >> 16) & 255, (ip >> 8) & 255,
             ip & 255);
    return buf;
}

bool ParseIpHex(const std::string& text, uint32_t* out)
{
    if (text.size() != 8)
        return false;
    uint32_t v = 0;
    for (char c : text) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            return false;
        v = (v << 4) | static_cast<uint32_t>(d);
    }
    *out = v;
    return true;
}

int MaskPrefix(uint32_t mask)
{
    int n = 0;
    while (n < 32 && (mask & (0x80000000u >> n)))
        ++n;
    return PrefixMask(n) == mask ? n : -1;
}

uint32_t PrefixMask(int prefix)
{
    if (prefix <= 0)
        return 0;
    if (prefix >= 32)
        return 0xFFFFFFFFu;
    return ~((1u << (32 - prefix)) - 1);
}

bool ParseIpPrefix(const std::string& text, uint32_t* ip, int* prefix)
{
    size_t slash = text.find('/');
    if (slash == std::string::npos)
        return ParseIp(text, ip);
    long p = 0;
    if (!ParseLong(text.substr(slash + 1), 1, 32, &p) || !ParseIp(text.substr(0, slash), ip))
        return false;
    *prefix = static_cast<int>(p);
    return true;
}

std::string EscapeLine(const std::string& bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char buf[5];
            snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

namespace {
// Decodes one UTF-8 sequence at i; returns its length, 0 when invalid.
size_t Utf8At(const std::string& s, size_t i, uint32_t* cp)
{
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len;
    uint32_t v;
    if (c < 0x80) {
        *cp = c;
        return 1;
    } else if ((c & 0xE0) == 0xC0) {
        len = 2;
        v = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3;
        v = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4;
        v = c & 0x07;
    } else {
        return 0;
    }
    if (i + len > s.size())
        return 0;
    for (size_t k = 1; k < len; ++k) {
        unsigned char d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xC0) != 0x80)
            return 0;
        v = (v << 6) | (d & 0x3F);
    }
    static const uint32_t minimum[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (v < minimum[len] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF))
        return 0;
    *cp = v;
    return len;
}
} // namespace

std::string ToLatin1(const std::string& text)
{
    std::string out;
    bool wide = false;
    for (size_t i = 0; i < text.size();) {
        uint32_t cp = 0;
        size_t n = Utf8At(text, i, &cp);
        if (n == 0)
            return text; // not UTF-8: already 8-bit text
        if (n > 1)
            wide = true;
        out += cp <= 0xFF ? static_cast<char>(cp) : '?';
        i += n;
    }
    return wide ? out : text;
}

std::string Latin1ToUtf8(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string PercentDecode(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::string> Split(const std::string& text, char sep)
{
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t pos = text.find(sep, start);
        if (pos == std::string::npos) {
            out.push_back(text.substr(start));
            return out;
        }
        out.push_back(text.substr(start, pos - start));
        start = pos + 1;
    }
}

std::string Trim(const std::string& text)
{
    size_t b = 0, e = text.size();
    while (b < e && isspace(static_cast<unsigned char>(text[b])))
        ++b;
    while (e > b && isspace(static_cast<unsigned char>(text[e - 1])))
        --e;
    return text.substr(b, e - b);
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

bool ParseLong(const std::string& text, long min, long max, long* out)
{
    if (text.empty() || text.size() > 18)
        return false;
    size_t i = 0;
    bool neg = false;
    if (text[0] == '-' || text[0] == '+') {
        neg = text[0] == '-';
        i = 1;
        if (text.size() == 1)
            return false;
    }
    long v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + (text[i] - '0');
    }
    if (neg)
        v = -v;
    if (v < min || v > max)
        return false;
    *out = v;
    return true;
}

bool ParseBits(const std::string& text, size_t n, unsigned* out)
{
    if (text.size() != n)
        return false;
    unsigned v = 0;
    for (char c : text) {
        if (c != '0' && c != '1')
            return false;
        v = (v << 1) | (c == '1' ? 1u : 0u);
    }
    *out = v;
    return true;
}

std::string Bits(unsigned value, size_t n)
{
    std::string out;
    for (size_t i = n; i > 0; --i)
        out += (value >> (i - 1)) & 1u ? '1' : '0';
    return out;
}

std::string MacDigits(const std::string& mac)
{
    std::string out;
    for (char c : mac)
        if (c != '-' && c != ':')
            out += static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return out;
}

int64_t EpochMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

int64_t MonoMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace emu
