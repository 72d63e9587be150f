// Small helpers of the device emulator: IPv4 values, text conversions, clocks.
// No toolkit dependency: the emulator links with the C++ runtime and threads only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace emu {

// IPv4 addresses are held in host byte order.
bool ParseIp(const std::string& text, uint32_t* out);    // strict dotted decimal
std::string IpText(uint32_t ip);                         // dotted decimal
std::string IpHex(uint32_t ip);                          // "C0A80114"
bool ParseIpHex(const std::string& text, uint32_t* out); // exactly eight hexadecimal digits
int MaskPrefix(uint32_t mask);                           // -1 when the mask is not contiguous
uint32_t PrefixMask(int prefix);
// "A" or "A/prefix"; prefix is left unchanged when absent.
bool ParseIpPrefix(const std::string& text, uint32_t* ip, int* prefix);

// One line of log text: printable ASCII stays, a backslash doubles, other bytes become \xHH.
std::string EscapeLine(const std::string& bytes);
// Devices keep 8-bit (Latin-1) text. Valid UTF-8 is converted (characters beyond Latin-1
// become "?"); anything else is taken as Latin-1 already.
std::string ToLatin1(const std::string& text);
std::string Latin1ToUtf8(const std::string& text);
// Decodes %HH sequences only; a lone "%" stays as it is.
std::string PercentDecode(const std::string& text);

std::vector<std::string> Split(const std::string& text, char sep); // keeps empty fields
std::string Trim(const std::string& text);
std::string Lower(std::string text);
// Whole text is a decimal number within [min, max].
bool ParseLong(const std::string& text, long min, long max, long* out);
// Exactly n characters "0"/"1", first character the highest bit.
bool ParseBits(const std::string& text, size_t n, unsigned* out);
std::string Bits(unsigned value, size_t n);

// A MAC address reduced to its upper-case hexadecimal digits.
std::string MacDigits(const std::string& mac);

int64_t EpochMs();
int64_t MonoMs();

} // namespace emu
