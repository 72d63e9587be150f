// Scrambled form of the e-mail (SMTP) password as the device stores and reports it.
// Header-only and free of the toolkit, so the device emulator shares the very same table.
//
// Encoding: byte j of an n-byte password is XORed with kZorCleEmail[(n + 25 - j) % 20], then
// written as two characters, 0x40 + high nibble and 0x40 + low nibble ("@" to "O").
#pragma once

#include <cstddef>
#include <string>

namespace zoremail {

// Shared with the device firmware: both directions use it.
constexpr unsigned char kZorCleEmail[20] = {0x5A, 0x17, 0xC3, 0x8E, 0x21, 0xF4, 0x6B,
                                            0x39, 0xA2, 0x0D, 0x74, 0xE8, 0x1F, 0xB6,
                                            0x43, 0x9C, 0x2E, 0xD1, 0x65, 0x88};

inline void Xor(std::string& bytes)
{
    const size_t n = bytes.size();
    for (size_t j = 0; j < n; ++j)
        bytes[j] = char((unsigned char)bytes[j] ^ kZorCleEmail[(n + 25 - j) % 20]);
}

// 8-bit password -> 2n characters "@".."O". An empty password gives an empty text.
inline std::string Encode(std::string bytes)
{
    Xor(bytes);
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += char(0x40 + (c >> 4));
        out += char(0x40 + (c & 0x0F));
    }
    return out;
}

// Reverse of Encode. A text of odd length is taken as not encoded and copied unchanged.
// Refuses (false) an empty text and one of 100 characters or more.
inline bool Decode(const std::string& text, std::string* out)
{
    if (!out || text.empty() || text.size() >= 100)
        return false;
    if (text.size() % 2 != 0) {
        *out = text;
        return true;
    }
    std::string bytes;
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        bytes += char(((unsigned char)text[i] & 0x0F) * 16 + ((unsigned char)text[i + 1] & 0x0F));
    Xor(bytes);
    *out = bytes;
    return true;
}

} // namespace zoremail
