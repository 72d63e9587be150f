// The Windows headers as the platform files need them: Winsock before windows.h, and without the
// min/max macros that break the standard library.
#pragma once

#ifndef NOMINMAX
#  define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#  define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <string>

namespace ZorPlatform {

// Paths cross the platform interface as UTF-8; Windows wants them as UTF-16.
std::wstring Large(const std::string& zUtf8);

} // namespace ZorPlatform
