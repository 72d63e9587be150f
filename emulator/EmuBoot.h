// The firmware side of an emulated device, as pure functions: its bootloader (capture, records
// acknowledged with a status word, the end request that stores the image and brings the device
// back with a new version) and its upload page (a strictly read multipart POST). The server
// calls them under its lock; the fuzz targets call them directly.
#pragma once

#include "emulator/EmuDevice.h"

#include <cstdint>
#include <string>
#include <vector>

namespace emu {

constexpr uint16_t kBootPort = 16388;
constexpr uint32_t kBootGroup = 0xE60A0A0B; // 230.10.10.11
constexpr int kBootIdleMs = 10000;          // a captured bootloader gives up after this silence
constexpr size_t kMaxUpload = 4 * 1024 * 1024;

// The identifier bytes a bootloader answers with: the last byte of its MAC address (reply byte
// 10), and the one before it (byte 11).
void BootId(const Device& d, uint8_t* id1, uint8_t* id2);

struct BootResult
{
    std::vector<uint8_t> reply; // empty: no answer
    std::string kind;           // log event, empty when the datagram is not for d
    std::string note;           // its payload
};
// One bootloader request reaching device d (which must be restarting).
BootResult BootRequest(Device& d, const std::string& data, int64_t monoMs);

// The version a device takes after an upload: the number after the last "v" plus 1 ("v3" ->
// "v4"), else its trailing number plus 1 ("2.3" -> "2.4"), else the text with "v1" added.
std::string NextVersion(const std::string& version);

// A header's value in a request head (first match, name case-insensitive, value trimmed).
bool HeaderValue(const std::string& head, const std::string& name, std::string* value);
// The boundary of "multipart/form-data; boundary=B" (quotes allowed); false otherwise.
bool MultipartBoundary(const std::string& contentType, std::string* boundary);
// One file part: "--B" CRLF, part headers with a form-data Content-Disposition, a blank line,
// the bytes, CRLF "--B--" CRLF and nothing after. Empty on success, else why it is refused.
std::string ParseUpload(const std::string& contentType, const std::string& body,
                        std::string* fileName, std::string* content);
// The reply to a POST of body to the device's web server (the file is kept on /mpfsupload).
std::string UploadReply(Device& d, const std::string& version, const std::string& path,
                        const std::string& contentType, const std::string& body,
                        std::string* logNote);

// 64-bit FNV-1a of the bytes, 16 hexadecimal digits: lets a test compare a stored image
// (inline so that tests use the same digest without the emulator's code).
inline std::string Fnv64(const std::string& bytes)
{
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ull;
    }
    static const char hex[] = "0123456789abcdef";
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, h >>= 4)
        out[size_t(i)] = hex[h & 0xF];
    return out;
}

bool GetBootField(const Device& d, const std::string& key, int64_t monoMs, std::string* out);
std::string SetBootField(Device& d, const std::string& key, const std::string& value);

} // namespace emu
