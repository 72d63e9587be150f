#include "emulator/EmuBoot.h"

#include "emulator/EmuParse.h"
#include "emulator/EmuUtil.h"

#include <cstdio>

namespace emu {

namespace {

constexpr size_t kRequestShort = 7;
constexpr size_t kRequestRecord = 31;
constexpr size_t kRecord = 24;
constexpr unsigned kCaptured = 0x0001; // capture status: ready

std::vector<uint8_t> Reply(const Device& d, uint16_t seq, uint8_t cmd, unsigned status)
{
    uint8_t id1 = 0, id2 = 0;
    BootId(d, &id1, &id2);
    std::vector<uint8_t> r(18, 0);
    r[0] = 0xA5;
    r[1] = 0x5A;
    r[2] = id1;
    r[3] = id2;
    r[4] = uint8_t(seq >> 8);
    r[5] = uint8_t(seq);
    r[6] = cmd;
    r[10] = id1;
    r[11] = id2;
    r[16] = uint8_t(status >> 8);
    r[17] = uint8_t(status);
    return r;
}

std::string Hex4(unsigned v)
{
    char b[8];
    snprintf(b, sizeof b, "%04X", v & 0xFFFF);
    return b;
}

} // namespace

void BootId(const Device& d, uint8_t* id1, uint8_t* id2)
{
    std::string digits = MacDigits(d.mac);
    unsigned last = 0, before = 0;
    if (digits.size() >= 4) {
        sscanf(digits.substr(digits.size() - 2).c_str(), "%2x", &last);
        sscanf(digits.substr(digits.size() - 4, 2).c_str(), "%2x", &before);
    }
    *id1 = uint8_t(last);
    *id2 = uint8_t(before);
}

BootResult BootRequest(Device& d, const std::string& data, int64_t monoMs)
{
    BootResult out;
    if (!Rebooting(d, monoMs) || data.size() < kRequestShort || uint8_t(data[0]) != 0x5A ||
        uint8_t(data[1]) != 0xA5)
        return out;
    uint8_t id1 = 0, id2 = 0;
    BootId(d, &id1, &id2);
    const uint8_t rid1 = uint8_t(data[2]), rid2 = uint8_t(data[3]);
    const bool ours = rid1 == id1 && rid2 == id2;
    const uint16_t seq = uint16_t(uint8_t(data[4]) << 8 | uint8_t(data[5]));
    const uint8_t cmd = uint8_t(data[6]);
    const std::string seqText = " seq=" + std::to_string(seq);

    if (cmd == 3 && data.size() == kRequestShort && (ours || (rid1 == 0 && rid2 == 0))) {
        if (d.bootNotReadyLeft > 0) {
            --d.bootNotReadyLeft;
            out.kind = "BOOT-NOTREADY";
            out.reply = Reply(d, seq, cmd, 0);
        } else {
            d.bootCaptured = true; // a new capture starts the upload over
            d.bootRecords.clear();
            out.kind = "BOOT-CAPTURE";
            out.reply = Reply(d, seq, cmd, kCaptured);
        }
        d.bootIdleUntilMs = monoMs + kBootIdleMs;
        out.note = "id=" + Hex4(unsigned(id2) << 8 | id1) + seqText;
        return out;
    }
    if (!d.bootCaptured || !ours)
        return out;
    d.bootIdleUntilMs = monoMs + kBootIdleMs;
    if (cmd == 4 && data.size() == kRequestRecord) {
        const size_t n = d.bootRecords.size() / kRecord + 1;
        const std::string number = "record=" + std::to_string(n) + seqText;
        if (int(n) == d.bootDropRecord && !d.bootDropped) {
            d.bootDropped = true;
            out.kind = "BOOT-DROP";
            out.note = number;
            return out;
        }
        if (int(n) == d.bootStatusRecord) {
            out.kind = "BOOT-STATUS";
            out.note = number + " status=" + Hex4(d.bootStatus);
            out.reply = Reply(d, seq, cmd, d.bootStatus);
            return out;
        }
        if (d.bootRecords.size() + kRecord > kMaxUpload) {
            out.kind = "BOOT-STATUS";
            out.note = number + " status=1000 (image too large)";
            out.reply = Reply(d, seq, cmd, 0x1000);
            return out;
        }
        d.bootRecords.append(data, kRequestShort, kRecord);
        out.kind = "BOOT-RECORD";
        out.note = number;
        out.reply = Reply(d, seq, cmd, 0);
        return out;
    }
    if (cmd == 9 && data.size() == kRequestShort) {
        d.bootImage.swap(d.bootRecords);
        d.bootRecords.clear();
        ++d.bootUploads;
        const std::string old = d.version;
        d.version = d.nextVersion.empty() ? NextVersion(d.version) : d.nextVersion;
        d.nextVersion.clear();
        d.bootCaptured = false;
        d.rebootUntilMs = monoMs + d.bootReturnMs; // the new image starts
        out.kind = "BOOT-END";
        out.note = "records=" + std::to_string(d.bootImage.size() / kRecord) +
                   " bytes=" + std::to_string(d.bootImage.size()) + " fnv=" + Fnv64(d.bootImage) +
                   " version=" + (old.empty() ? "-" : old) + "->" + d.version + seqText;
        out.reply = Reply(d, seq, cmd, 0);
        return out;
    }
    out.kind = "BOOT-IGNORED";
    out.note =
        "command=" + std::to_string(cmd) + " length=" + std::to_string(data.size()) + seqText;
    return out;
}

std::string NextVersion(const std::string& version)
{
    size_t end = version.size();
    size_t start = end;
    while (start > 0 && version[start - 1] >= '0' && version[start - 1] <= '9')
        --start;
    if (start == end || end - start > 9)
        return (version + "v1").substr(0, kMaxVersion);
    const long next = std::stol(version.substr(start)) + 1;
    return (version.substr(0, start) + std::to_string(next)).substr(0, kMaxVersion);
}

bool HeaderValue(const std::string& head, const std::string& name, std::string* value)
{
    const std::string wanted = Lower(name);
    for (const std::string& raw : Split(head, '\n')) {
        const std::string line =
            raw.size() && raw.back() == '\r' ? raw.substr(0, raw.size() - 1) : raw;
        const size_t colon = line.find(':');
        if (colon != std::string::npos && Lower(Trim(line.substr(0, colon))) == wanted) {
            *value = Trim(line.substr(colon + 1));
            return true;
        }
    }
    return false;
}

bool MultipartBoundary(const std::string& contentType, std::string* boundary)
{
    const std::vector<std::string> parts = Split(contentType, ';');
    if (parts.empty() || Lower(Trim(parts[0])) != "multipart/form-data")
        return false;
    for (size_t i = 1; i < parts.size(); ++i) {
        const std::string p = Trim(parts[i]);
        if (Lower(p.substr(0, 9)) != "boundary=")
            continue;
        std::string b = p.substr(9);
        if (b.size() >= 2 && b.front() == '"' && b.back() == '"')
            b = b.substr(1, b.size() - 2);
        if (b.empty() || b.size() > 70)
            return false;
        *boundary = b;
        return true;
    }
    return false;
}

std::string ParseUpload(const std::string& contentType, const std::string& body,
                        std::string* fileName, std::string* content)
{
    std::string boundary;
    if (!MultipartBoundary(contentType, &boundary))
        return "no multipart/form-data boundary";
    const std::string opening = "--" + boundary + "\r\n";
    const std::string closing = "\r\n--" + boundary + "--\r\n";
    if (body.compare(0, opening.size(), opening) != 0)
        return "body does not open with the boundary";
    const size_t headEnd = body.find("\r\n\r\n", opening.size() - 2);
    if (headEnd == std::string::npos)
        return "part headers do not end";
    if (body.size() < headEnd + 4 + closing.size() ||
        body.compare(body.size() - closing.size(), closing.size(), closing) != 0)
        return "body does not end with the closing boundary line";
    const std::string headers = body.substr(opening.size(), headEnd + 2 - opening.size());
    std::string disposition;
    if (!HeaderValue(headers, "Content-Disposition", &disposition) ||
        Lower(disposition.substr(0, 10)) != "form-data;")
        return "part without a form-data Content-Disposition";
    for (const std::string& line : Split(headers, '\n'))
        if (!line.empty() && (line.back() != '\r' || line.find(':') == std::string::npos))
            return "malformed part header";
    const size_t start = headEnd + 4;
    const size_t length = body.size() - closing.size() - start;
    if (body.find("\r\n--" + boundary, start) < start + length)
        return "more than one part";
    const size_t f = disposition.find("filename=\"");
    *fileName = "";
    if (f != std::string::npos) {
        const size_t e = disposition.find('"', f + 10);
        if (e == std::string::npos)
            return "unterminated file name";
        *fileName = disposition.substr(f + 10, e - f - 10);
    }
    *content = body.substr(start, length);
    return "";
}

std::string UploadReply(Device& d, const std::string& version, const std::string& path,
                        const std::string& contentType, const std::string& body,
                        std::string* logNote)
{
    if (path.empty() || path == "index.htm" || path == "index.html" || IsStatePage(path)) {
        *logNote = "405 /" + path;
        return HttpResponse(version, 405, "Method Not Allowed", "text/plain",
                            "method not allowed\n", true, "Allow: GET, HEAD\r\n");
    }
    if (path != "mpfsupload") {
        *logNote = "404 /" + path;
        return HttpResponse(version, 404, "Not Found", "text/plain", "not found\n", true);
    }
    std::string name, content;
    const std::string why = ParseUpload(contentType, body, &name, &content);
    if (!why.empty()) {
        *logNote = "400 " + why;
        return HttpResponse(version, 400, "Bad Request", "text/plain", why + "\n", true);
    }
    d.webImage = content;
    d.webName = name;
    ++d.webUploads;
    *logNote =
        "200 name=" + name + " bytes=" + std::to_string(content.size()) + " fnv=" + Fnv64(content);
    return HttpResponse(version, 200, "OK", "text/plain", "OK\n", true);
}

bool GetBootField(const Device& d, const std::string& key, int64_t monoMs, std::string* out)
{
    if (key == "boot")
        *out = Rebooting(d, monoMs) ? "1" : "0";
    else if (key == "bootcaptured")
        *out = d.bootCaptured ? "1" : "0";
    else if (key == "bootrecords")
        *out = std::to_string(d.bootRecords.size() / kRecord);
    else if (key == "bootnotready")
        *out = std::to_string(d.bootNotReady);
    else if (key == "bootdrop")
        *out = std::to_string(d.bootDropRecord);
    else if (key == "bootstatus")
        *out = std::to_string(d.bootStatusRecord) + ":" + Hex4(d.bootStatus);
    else if (key == "nextversion")
        *out = Latin1ToUtf8(d.nextVersion);
    else if (key == "bootreturn")
        *out = std::to_string(d.bootReturnMs);
    else if (key == "bootreturnip")
        *out =
            d.bootReturnIp ? IpText(d.bootReturnIp) + "/" + std::to_string(d.bootReturnPrefix) : "";
    else if (key == "bootuploads")
        *out = std::to_string(d.bootUploads);
    else if (key == "bootsize")
        *out = std::to_string(d.bootImage.size());
    else if (key == "bootfnv")
        *out = Fnv64(d.bootImage);
    else if (key == "webuploads")
        *out = std::to_string(d.webUploads);
    else if (key == "websize")
        *out = std::to_string(d.webImage.size());
    else if (key == "webfnv")
        *out = Fnv64(d.webImage);
    else if (key == "webname")
        *out = Latin1ToUtf8(d.webName);
    else if (key == "uploadfault")
        *out = d.uploadFault.empty() ? "none" : d.uploadFault;
    else if (key == "uploadmax")
        *out = std::to_string(d.uploadMax);
    else
        return false;
    return true;
}

std::string SetBootField(Device& d, const std::string& key, const std::string& value)
{
    long n = 0;
    if (key == "bootnotready") {
        if (!ParseLong(value, 0, 100000, &n))
            return "expected 0 to 100000";
        d.bootNotReady = d.bootNotReadyLeft = int(n);
    } else if (key == "bootdrop") {
        if (!ParseLong(value, 0, 1000000, &n))
            return "expected a record number (0: none)";
        d.bootDropRecord = int(n);
        d.bootDropped = false;
    } else if (key == "bootstatus") {
        // N:HHHH, record N answered with status word HHHH; 0:0 for none
        const size_t colon = value.find(':');
        long status = 0;
        if (colon == std::string::npos || !ParseLong(value.substr(0, colon), 0, 1000000, &n) ||
            value.size() - colon - 1 != 4 ||
            sscanf(value.c_str() + colon + 1, "%4lx", &status) != 1)
            return "expected N:HHHH";
        d.bootStatusRecord = int(n);
        d.bootStatus = unsigned(status);
    } else if (key == "nextversion") {
        std::string v = ToLatin1(value);
        if (v.size() > kMaxVersion)
            return "value too long";
        d.nextVersion = v;
    } else if (key == "bootreturn") {
        if (!ParseLong(value, 0, 600000, &n))
            return "expected 0 to 600000 ms";
        d.bootReturnMs = int(n);
    } else if (key == "bootreturnip") {
        // The server moves the device there after the next BOOT-END; empty for none.
        uint32_t ip = 0;
        int prefix = 24;
        if (!value.empty() && (!ParseIpPrefix(value, &ip, &prefix) || !UsableHost(ip, prefix)))
            return "expected a usable address A or A/prefix, or nothing";
        d.bootReturnIp = ip;
        d.bootReturnPrefix = prefix;
    } else if (key == "uploadfault") {
        // How the upload page fails: 500 after the body, hang (no answer), trickle (an answer
        // of a byte a second), close (at once, the body unread), midway (half the body read).
        if (value != "none" && value != "500" && value != "hang" && value != "trickle" &&
            value != "close" && value != "midway")
            return "expected none, 500, hang, trickle, close or midway";
        d.uploadFault = value == "none" ? "" : value;
    } else if (key == "uploadmax") {
        if (!ParseLong(value, 0, long(kMaxUpload), &n))
            return "expected 0 to 4194304 bytes";
        d.uploadMax = size_t(n);
    } else {
        return "unknown key";
    }
    return "";
}

} // namespace emu
