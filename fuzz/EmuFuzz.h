// Shared by the emulator's fuzz targets: a device as the emulator starts it, the rules its
// stored state must keep whatever it was sent, and the query builder that lets the fuzzer
// reach the commands without guessing their names.
#pragma once

#include "emulator/EmuDevice.h"
#include "emulator/EmuParse.h"
#include "emulator/EmuUtil.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace emufuzz {

constexpr int64_t kNowMs = 1000000;

inline void Check(bool ok)
{
    if (!ok)
        abort();
}

inline emu::Device MakeDevice(int index)
{
    emu::Device d;
    d.index = index;
    d.ip = 0xC0A84D0Au + static_cast<uint32_t>(index); // 192.168.77.10
    d.gateway = 0xC0A84DFEu;
    d.mac = "02-54-56-4D-0A-0" + std::to_string(index);
    d.name = "Tavlin" + std::to_string(index);
    d.login = "admin";
    d.password = "pw";
    d.version = index == 0 ? "" : "2.1";
    return d;
}

// One stored text: within its limit, and nothing that could end a line or a field of the
// discovery answer or a configuration datagram.
inline void CheckText(const std::string& t, size_t max)
{
    Check(t.size() <= max);
    for (unsigned char c : t)
        Check(c >= 0x20 && c != 0x7F && c != ';');
}

inline void CheckDevice(const emu::Device& d)
{
    Check(!d.name.empty());
    CheckText(d.name, emu::kMaxName);
    CheckText(d.comment, emu::kMaxComment);
    CheckText(d.login, emu::kMaxLogin);
    CheckText(d.password, emu::kMaxPassword);
    CheckText(d.version, emu::kMaxVersion);
    CheckText(d.idFab, 32);
    Check(d.uart.size() <= emu::kMaxUart && d.uartTx.size() <= emu::kMaxUart);
    Check(d.flash.size() <= emu::kMaxMemory && d.eeprom.size() <= emu::kMaxMemory);
    Check(d.relais < 16 && d.snum < 256 && d.ena < 256 && d.programs < 256);
    for (int v : d.sana)
        Check(v >= 0 && v <= 255);
    for (int v : d.ana)
        Check(v >= 0 && v <= emu::kAnalogMax);
    Check(d.autoState >= 0 && d.autoState <= emu::kAutoMax);
    Check(d.httpDelayMs >= 0 && d.httpDelayMs <= 60000);
    Check(emu::UsableHost(d.ip, d.prefix) && d.prefix >= 1 && d.prefix <= 32);
    for (unsigned char c : d.lastError)
        Check(c >= 0x20 && c != 0x7F);
    Check(d.smtpPort.find_first_not_of("0123456789") == std::string::npos &&
          d.smtpPort.size() <= 5);
    Check(d.bancFab.find_first_not_of("0123456789") == std::string::npos);
    Check(d.serieFab.find_first_not_of("0123456789") == std::string::npos);

    // The discovery answer keeps its eight (nine with a version) lines and its size limit.
    std::string a = emu::AnswerText(d, 'D');
    Check(a.size() < 1024);
    size_t lines = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == '\n') {
            Check(i > 0 && a[i - 1] == '\r');
            ++lines;
        } else if (a[i] == '\r') {
            Check(i + 1 < a.size() && a[i + 1] == '\n');
        }
    }
    Check(lines == (d.version.empty() ? 8u : 9u));
}

// A state page: CR LF lines, each a comment or KEY=VALUE with no break inside the value.
inline void CheckStatePage(const std::string& page)
{
    size_t start = 0;
    while (start < page.size()) {
        size_t end = page.find("\r\n", start);
        Check(end != std::string::npos);
        std::string line = page.substr(start, end - start);
        Check(line.find_first_of("\r\n") == std::string::npos);
        if (line.compare(0, 3, "/* ") == 0) {
            Check(line.size() >= 6 && line.compare(line.size() - 3, 3, " */") == 0);
        } else {
            size_t eq = line.find('=');
            Check(eq != std::string::npos && eq > 0);
            Check(line.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") == eq);
        }
        start = end + 2;
    }
}

// Builds a query from fuzz bytes: pieces separated by '&', the first byte of each picks a
// command with its well-known leading fields (login, access code), the rest is the value.
inline std::string QueryFromBytes(const std::string& bytes)
{
    static const char* const kPrefixes[] = {
        "SNUM=",
        "SRELAIS=",
        "SANA1=",
        "SANA2=",
        "AUTO=",
        "PAUSE=",
        "ERASE_PROG=",
        "RESET_MEM_AUTOMATE=Wd3kPv",
        "RESET_MEM_ACQUISITION=Wd3kPv",
        "ERASE_FLASH=Wd3kPv",
        "ERASE_EEPROM=Wd3kPv",
        "WRITE_FLASH=",
        "WRITE_EEPROM=",
        "INSCRIPTION=",
        "RESET_INSCRIPTION",
        "STOP_ACQ",
        "START_ACQ=",
        "BLINK=",
        "PERSO=admin;pw;",
        "NETWORK=admin;pw;",
        "FAB=",
        "DATETIME=",
        "EMAILCONF=Wd3kPv;",
        "WRITE_UART=",
        "RAZ_UART",
        "SHOWFAB=",
        "SHOWEMAILCONF=",
        "SHOWFLASH=",
        "SHOWEEPROM=",
        "date=",
        "",
        "ETAT=",
    };
    constexpr size_t kCount = sizeof kPrefixes / sizeof kPrefixes[0];
    std::string query;
    for (const std::string& piece : emu::Split(bytes, '&')) {
        if (piece.empty())
            continue;
        if (!query.empty())
            query += '&';
        query += kPrefixes[static_cast<unsigned char>(piece[0]) % kCount] + piece.substr(1);
    }
    return query;
}

} // namespace emufuzz
