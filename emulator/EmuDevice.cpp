#include "emulator/EmuDevice.h"

#include "emulator/EmuBoot.h"

#include "emulator/EmuUtil.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace emu {

namespace {

// Seconds of the PC's local time, read as if it were UTC (the device has no time zone).
int64_t LocalEpochS()
{
    time_t now = time(nullptr);
    struct tm lt;
    localtime_r(&now, &lt);
    return static_cast<int64_t>(now) + lt.tm_gmtoff;
}

// Seconds for a broken-down device date read as UTC; -1 when the date does not exist.
int64_t DeviceSeconds(int day, int month, int year, int hour, int minute, int second)
{
    if (month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59)
        return -1;
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    int maxDay = days[month - 1] + (month == 2 && leap ? 1 : 0);
    if (day > maxDay)
        return -1;
    struct tm t = {};
    t.tm_mday = day;
    t.tm_mon = month - 1;
    t.tm_year = year - 1900;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return static_cast<int64_t>(timegm(&t));
}

// The comment travels with character references for everything but plain ASCII and for the
// characters that would break a key=value line.
std::string EncodeComment(const std::string& latin1)
{
    std::string out;
    for (unsigned char c : latin1) {
        if (c >= 0x20 && c < 0x7F && c != '&') {
            out += static_cast<char>(c);
        } else {
            out += "&#" + std::to_string(c) + ";";
        }
    }
    return out;
}

// A value on one page line: control characters become spaces.
std::string LineValue(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return out;
}

std::string HtmlEscape(const std::string& utf8)
{
    std::string out;
    for (char c : utf8) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// The serial line: without a board the text is only recorded; the board answers "I" with its
// digital word (outputs high byte, inputs low byte), "N" with its four analog inputs (three
// hexadecimal digits each), and acknowledges "S" (outputs) and "K" (directions) with the letter.
void SerialWrite(Device& d, const std::string& text, int64_t monoMs)
{
    d.uartTx += text;
    if (d.uartTx.size() > kMaxUart)
        d.uartTx.erase(0, d.uartTx.size() - kMaxUart);
    if (!d.uartBoard)
        return;
    std::string reply;
    char buf[16];
    for (const std::string& cmd : Split(text, ';')) {
        if (cmd == "I") {
            snprintf(buf, sizeof buf, "%04X", ((d.snum & 0xFF) << 8) | (Inputs(d, monoMs) & 0xFF));
            reply += buf;
        } else if (cmd == "N") {
            for (int i = 0; i < 4; ++i) {
                snprintf(buf, sizeof buf, "%03X", AnalogInput(d, i, monoMs) & 0xFFF);
                reply += buf;
            }
        } else if ((cmd[0] == 'S' || cmd[0] == 'K') && cmd.size() == 5) {
            uint32_t v = 0;
            if (!ParseIpHex("0000" + cmd.substr(1), &v))
                continue;
            if (cmd[0] == 'S')
                d.snum = (v >> 8) & 0xFF;
            else
                d.boardDir = v & 0xFFFF;
            reply += cmd[0];
        }
    }
    d.uart += reply;
    if (d.uart.size() > kMaxUart)
        d.uart.resize(kMaxUart);
}

bool AppendRecord(std::string& memory, const std::string& a, const std::string& b)
{
    std::string rec = a + ":" + b + ";";
    if (memory.size() + rec.size() > kMaxMemory)
        return false;
    memory += rec;
    return true;
}

bool ValidText(const std::string& text, size_t max, bool allowEmpty)
{
    if (text.size() > max || (!allowEmpty && text.empty()))
        return false;
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F || c == ';')
            return false;
    return true;
}

// Fields of a parameter value "a;b;c;" (the final ";" closes the last field).
std::vector<std::string> Fields(const std::string& value)
{
    std::string v = value;
    if (!v.empty() && v.back() == ';')
        v.pop_back();
    return Split(v, ';');
}

struct Refusal
{
    Effects& fx;
    Device& d;
    void operator()(const std::string& key, const std::string& why)
    {
        // The key comes decoded from the network: escaped and shortened, it cannot break a
        // page or control line that shows the note.
        std::string line = "ERR " + EscapeLine(key.substr(0, 32)) + ": " + why;
        fx.notes.push_back(line);
        d.lastError = line;
    }
};

// Exactly n decimal digits (ParseLong alone would take a sign).
bool Digits(const std::string& text, size_t n)
{
    return text.size() == n && text.find_first_not_of("0123456789") == std::string::npos;
}

unsigned AcqRecords(const Device& d, int64_t monoMs)
{
    if (d.acqParams.empty() || d.acqParams[0] != '0')
        return d.acqStored;
    return d.acqStored + static_cast<unsigned>((monoMs - d.acqSinceMs) / 1000);
}

} // namespace

bool UsableHost(uint32_t ip, int prefix)
{
    uint32_t mask = PrefixMask(prefix);
    if (ip == 0 || (ip >> 24) == 127 || (ip >> 28) >= 14)
        return false;
    if (prefix <= 30 && ((ip & ~mask) == 0 || (ip & ~mask) == ~mask))
        return false;
    return true;
}

bool Rebooting(const Device& d, int64_t monoMs)
{
    return monoMs < d.rebootUntilMs || (d.bootCaptured && monoMs < d.bootIdleUntilMs);
}

bool Silent(const Device& d, int64_t monoMs)
{
    return d.silent || (d.silentAtMs >= 0 && monoMs >= d.silentAtMs);
}

void PowerOn(Device& d, int64_t monoMs, int rebootMs)
{
    d.rebootUntilMs = monoMs + rebootMs;
    d.bootCaptured = false;
    d.bootNotReadyLeft = d.bootNotReady;
    d.bootDropped = false;
    d.relais = 0;
    d.snum = 0;
    d.sana[0] = d.sana[1] = 0;
    d.uart.clear();
    d.uartTx.clear();
    d.blinkUntilMs = 0;
    d.showFab = d.showEmail = d.showFlash = d.showEeprom = false;
    if (!d.acqParams.empty()) {
        d.acqStored = AcqRecords(d, monoMs);
        d.acqParams.clear();
    }
}

unsigned Inputs(const Device& d, int64_t monoMs)
{
    if (!d.animate)
        return d.ena & 0xFF;
    return (d.ena ^ (1u << ((monoMs / 1000) % 8))) & 0xFF; // a walking bit over the set inputs
}

int AnalogInput(const Device& d, int i, int64_t monoMs)
{
    if (!d.animate)
        return d.ana[i];
    double phase = static_cast<double>(monoMs) / 4000.0 + i * 1.5707963;
    return static_cast<int>(2048 + 1800 * std::sin(phase));
}

bool Button(const Device& d, int64_t monoMs)
{
    if (!d.animate)
        return d.bouton;
    return d.bouton || (monoMs / 1000) % 10 == 0;
}

std::string ClockText(const Device& d)
{
    if (!d.clockSet)
        return "00/00/2000_00:00:00";
    time_t t = static_cast<time_t>(LocalEpochS() + d.clockOffsetS);
    struct tm b;
    gmtime_r(&t, &b);
    char buf[80];
    snprintf(buf, sizeof buf, "%02d/%02d/%04d_%02d:%02d:%02d", b.tm_mday, b.tm_mon + 1,
             b.tm_year + 1900, b.tm_hour, b.tm_min, b.tm_sec);
    return buf;
}

std::string AnswerText(const Device& d, char type)
{
    uint32_t mask = PrefixMask(d.prefix);
    std::string out;
    out += std::string(1, type) + "\r\n";
    out += d.name + "\r\n";
    out += d.mac + "\r\n";
    out += d.comment + "\r\n";
    out += d.login + "\r\n";
    out += d.password + "\r\n";
    out += IpHex(mask) + IpHex(d.gateway) + "\r\n";
    out += std::string(d.dhcp ? "1" : "0") + "\r\n";
    if (!d.version.empty())
        out += d.version + "\r\n";
    return out;
}

Effects ApplyQuery(Device& d, const std::string& query, int64_t monoMs)
{
    Effects fx;
    Refusal refuse{fx, d};
    for (const std::string& item : Split(query, '&')) {
        if (item.empty())
            continue;
        size_t eq = item.find('=');
        std::string key = PercentDecode(item.substr(0, eq));
        std::string value =
            eq == std::string::npos ? "" : ToLatin1(PercentDecode(item.substr(eq + 1)));
        std::vector<std::string> f = Fields(value);
        long n = 0;
        unsigned bits = 0;

        if (key == "date" || key == "ETAT") {
            // cache-busting stamp; plain state request
        } else if (key == "RAZ_UART") {
            d.uart.clear();
        } else if (key == "WRITE_UART") {
            std::string text = value;
            if (!text.empty() && text.back() == ';')
                text.pop_back();
            SerialWrite(d, text, monoMs);
        } else if (key == "SHOWFAB" || key == "SHOWEMAILCONF" || key == "SHOWFLASH" ||
                   key == "SHOWEEPROM") {
            if (value != "0" && value != "1") {
                refuse(key, "expected 0 or 1");
                continue;
            }
            bool on = value == "1";
            (key == "SHOWFAB"         ? d.showFab
             : key == "SHOWEMAILCONF" ? d.showEmail
             : key == "SHOWFLASH"     ? d.showFlash
                                      : d.showEeprom) = on;
        } else if (key == "SNUM") {
            if (!ParseBits(value, 8, &bits))
                refuse(key, "expected 8 characters 0/1");
            else
                d.snum = bits;
        } else if (key == "SRELAIS") {
            if (!ParseBits(value, 4, &bits))
                refuse(key, "expected 4 characters 0/1");
            else
                d.relais = bits;
        } else if (key == "SANA1" || key == "SANA2") {
            if (!ParseLong(value, 0, 255, &n))
                refuse(key, "expected 0 to 255");
            else
                d.sana[key[4] - '1'] = static_cast<int>(n);
        } else if (key == "AUTO") {
            if (!ParseLong(value, 0, kAutoMax, &n))
                refuse(key, "expected 0 to 999");
            else
                d.autoState = static_cast<int>(n);
        } else if (key == "PAUSE") {
            if (value != "0" && value != "1")
                refuse(key, "expected 0 or 1");
            else
                d.pause = value == "1";
        } else if (key == "ERASE_PROG") {
            if (!ParseLong(value, 0, kPrograms, &n))
                refuse(key, "expected 0 (all) to 8");
            else
                d.programs = n == 0 ? 0 : d.programs & ~(1u << (n - 1));
        } else if (key == "RESET_MEM_AUTOMATE" || key == "RESET_MEM_ACQUISITION") {
            if (f.empty() || f[0] != d.accessCode) {
                refuse(key, "bad access code");
            } else if (key == "RESET_MEM_AUTOMATE") {
                d.memAutomate = 0;
            } else {
                d.acqStored = 0;
                d.acqSinceMs = monoMs;
            }
        } else if (key == "ERASE_FLASH" || key == "ERASE_EEPROM") {
            if (f.empty() || f[0] != d.accessCode)
                refuse(key, "bad access code");
            else
                (key == "ERASE_FLASH" ? d.flash : d.eeprom).clear();
        } else if (key == "WRITE_FLASH" || key == "WRITE_EEPROM") {
            if (f.size() != 2 || !ValidText(f[0], 32, false) || !ValidText(f[1], 64, true))
                refuse(key, "expected two fields");
            else if (!AppendRecord(key == "WRITE_FLASH" ? d.flash : d.eeprom, f[0], f[1]))
                refuse(key, "memory full");
        } else if (key == "INSCRIPTION") {
            if (f.size() != 3 || !ValidText(f[0], 64, true) || !ValidText(f[1], 64, true) ||
                !ValidText(f[2], 64, true))
                refuse(key, "expected three fields");
            else
                d.inscription = f[0] + ";" + f[1] + ";" + f[2];
        } else if (key == "RESET_INSCRIPTION") {
            d.inscription.clear();
        } else if (key == "STOP_ACQ") {
            d.acqStored = AcqRecords(d, monoMs);
            d.acqParams.clear();
        } else if (key == "START_ACQ") {
            long a = 0, b = 0;
            if (f.size() != 5 || (f[0] != "0" && f[0] != "1") ||
                !ParseLong(f[2], 0, 4294967295L, &a) || !ParseLong(f[3], 0, 4294967295L, &b) ||
                (f[0] == "1" && f[4].empty()) || !ValidText(f[1], 64, true) ||
                !ValidText(f[4], 99, true)) {
                refuse(key, "expected mode;s;a;b;target");
            } else {
                d.acqStored = AcqRecords(d, monoMs);
                d.acqParams = value;
                d.acqSinceMs = monoMs;
            }
        } else if (key == "BLINK") {
            if (value != "0" && value != "1")
                refuse(key, "expected 0 or 1");
            else
                d.blinkUntilMs = value == "1" ? monoMs + kBlinkMs : 0;
        } else if (key == "PERSO") {
            if (f.size() != 5) {
                refuse(key, "expected login;password;new password;name;comment");
            } else if (f[0] != d.login || f[1] != d.password) {
                refuse(key, "bad login or password");
            } else if (!ValidText(f[2], kMaxPassword, true) || !ValidText(f[3], kMaxName, false) ||
                       !ValidText(f[4], kMaxComment, true)) {
                refuse(key, "field too long or empty name");
            } else {
                d.password = f[2];
                d.name = f[3];
                d.comment = f[4];
            }
        } else if (key == "NETWORK") {
            uint32_t ip = 0, mask = 0, gw = 0;
            if (f.size() != 6) {
                refuse(key, "expected login;password;ip;mask;gateway;dhcp");
            } else if (f[0] != d.login || f[1] != d.password) {
                refuse(key, "bad login or password");
            } else if (!ParseIp(f[2], &ip) || !ParseIp(f[3], &mask) || !ParseIp(f[4], &gw) ||
                       MaskPrefix(mask) < 1 || (f[5] != "0" && f[5] != "1") ||
                       !UsableHost(ip, MaskPrefix(mask))) {
                refuse(key, "bad address, mask, gateway or flag");
            } else {
                fx.move = true;
                fx.ip = ip;
                fx.prefix = MaskPrefix(mask);
                fx.gateway = gw;
                fx.dhcp = f[5] == "1";
                fx.reboot = true;
            }
        } else if (key == "FAB") {
            long nb1 = 0, nb2 = 0;
            if (f.size() != 5 || !ValidText(f[0], 32, false) || !Digits(f[1], 6) ||
                !Digits(f[2], 6) || !Digits(f[3], f[3].size()) || !Digits(f[4], f[4].size()) ||
                !ParseLong(f[3], 0, 9999, &nb1) || !ParseLong(f[4], 0, 9999, &nb2)) {
                refuse(key, "expected id;ddmmyy;hhmmss;n;n");
            } else {
                d.idFab = f[0];
                d.dateTimeFab = f[1].substr(0, 2) + "/" + f[1].substr(2, 2) + "/20" +
                                f[1].substr(4, 2) + "_" + f[2].substr(0, 2) + ":" +
                                f[2].substr(2, 2) + ":" + f[2].substr(4, 2);
                d.bancFab = f[3];
                d.serieFab = f[4];
            }
        } else if (key == "DATETIME") {
            long v[6] = {0, 0, 0, 0, 0, 0};
            static const long top[6] = {31, 12, 99, 23, 59, 59};
            bool ok = f.size() == 6;
            for (size_t i = 0; ok && i < 6; ++i)
                ok = ParseLong(f[i], 0, top[i], &v[i]);
            int64_t s = ok ? DeviceSeconds(static_cast<int>(v[0]), static_cast<int>(v[1]),
                                           2000 + static_cast<int>(v[2]), static_cast<int>(v[3]),
                                           static_cast<int>(v[4]), static_cast<int>(v[5]))
                           : -1;
            if (s < 0) {
                refuse(key, "expected a valid day;month;year;hour;minute;second");
            } else {
                d.clockSet = true;
                d.clockOffsetS = s - LocalEpochS();
            }
        } else if (key == "EMAILCONF") {
            long port = 0;
            if (f.size() != 6) {
                refuse(key, "expected code;server;port;login;password;ssl");
            } else if (f[0] != d.accessCode) {
                refuse(key, "bad access code");
            } else if (!ValidText(f[1], 99, false) || !Digits(f[2], f[2].size()) ||
                       f[2].size() > 5 || !ParseLong(f[2], 1, 65535, &port) ||
                       !ValidText(f[3], 49, true) || !ValidText(f[4], 40, true) ||
                       f[4].size() % 2 != 0 || (f[5] != "0" && f[5] != "1")) {
                refuse(key, "bad server, port, login, password or flag");
            } else {
                d.smtpServer = f[1];
                d.smtpPort = f[2];
                d.smtpLogin = f[3];
                d.smtpPwd = f[4];
                d.smtpSsl = f[5];
            }
        } else {
            refuse(key, "unknown parameter");
        }
    }
    return fx;
}

bool IsStatePage(const std::string& page)
{
    return page == "etat.htm" || page == "etatautomate.htm" || page == "etatenregistrement.htm";
}

std::string StatePage(const Device& d, const std::string& page, int64_t monoMs,
                      const std::vector<std::string>& notes)
{
    std::string p;
    auto line = [&p](const std::string& key, const std::string& value) {
        p += key + "=" + value + "\r\n";
    };
    p += "/* Tavlin " + d.mac + " */\r\n";
    for (const std::string& n : notes)
        p += "/* " + LineValue(n) + " */\r\n";
    line("NAME", LineValue(d.name));
    line("MAC", d.mac);
    line("IP", IpText(d.ip));
    line("VERSION", d.version.empty() ? "1" : d.version);
    line("TYPE", d.type);
    line("SRELAIS", Bits(d.relais, 4));
    line("SNUM", Bits(d.snum, 8));
    line("SANA1", std::to_string(d.sana[0]));
    line("SANA2", std::to_string(d.sana[1]));
    line("ENUM", Bits(Inputs(d, monoMs), 8));
    for (int i = 0; i < 4; ++i)
        line("EANA" + std::to_string(i + 1), std::to_string(AnalogInput(d, i, monoMs)));
    line("AUTO", std::to_string(d.autoState));
    line("BOUTON", Button(d, monoMs) ? "1" : "0");
    line("DATETIME", ClockText(d));
    line("COMMENT", EncodeComment(d.comment));
    line("5VUSER", d.user5v);
    line("BLINK", monoMs < d.blinkUntilMs ? "1" : "0");
    line("DATETIMEFAB", d.showFab ? d.dateTimeFab : "");
    line("BANCFAB", d.showFab ? d.bancFab : "");
    line("IDFAB", d.showFab ? LineValue(d.idFab) : "");
    line("SERIEFAB", d.showFab ? d.serieFab : "");
    line("SMTPSERVER", d.showEmail ? LineValue(d.smtpServer) : "");
    line("SMTPPORT", d.showEmail ? d.smtpPort : "");
    line("SMTPLOGIN", d.showEmail ? LineValue(d.smtpLogin) : "");
    line("SMTPPWD", d.showEmail ? LineValue(d.smtpPwd) : "");
    line("SMTPSSL", d.showEmail ? d.smtpSsl : "");
    // The serial bytes pass through as a device's page carries them: only a line end is replaced.
    std::string uart = d.uart;
    for (char& c : uart)
        if (c == '\r' || c == '\n')
            c = ' ';
    line("UART", uart);
    line("FLASH", d.showFlash ? LineValue(d.flash) : "");
    line("EEPROM", d.showEeprom ? LineValue(d.eeprom) : "");
    if (page == "etatautomate.htm") {
        line("PAUSE", d.pause ? "1" : "0");
        line("PROG", Bits(d.programs, kPrograms));
        line("MEMAUTOMATE", std::to_string(d.memAutomate));
    } else if (page == "etatenregistrement.htm") {
        line("ACQ", d.acqParams.empty() ? "0" : "1");
        line("ACQPARAM", LineValue(d.acqParams));
        line("ACQMEM", std::to_string(AcqRecords(d, monoMs)));
        line("INSCRIPTION", LineValue(d.inscription));
    }
    return p;
}

std::string IndexPage(const Device& d, int64_t monoMs)
{
    auto row = [](const std::string& k, const std::string& v) {
        return "<tr><th>" + k + "</th><td>" + HtmlEscape(v) + "</td></tr>\n";
    };
    std::string html = "<!DOCTYPE html>\n<html lang=\"fr\"><head><meta charset=\"utf-8\">"
                       "<meta http-equiv=\"refresh\" content=\"2\"><title>Tavlin " +
                       HtmlEscape(Latin1ToUtf8(d.name)) + "</title></head><body>\n<h1>Tavlin " +
                       HtmlEscape(Latin1ToUtf8(d.name)) + "</h1>\n<table>\n";
    html += row("Commentaire", Latin1ToUtf8(d.comment));
    html += row("Adresse IP", IpText(d.ip));
    html += row("Adresse MAC", d.mac);
    html += row("Version", d.version.empty() ? "1" : d.version);
    html += row("Relais", Bits(d.relais, 4));
    html += row("Sorties", Bits(d.snum, 8));
    html += row("Entrées", Bits(Inputs(d, monoMs), 8));
    for (int i = 0; i < 2; ++i)
        html += row("Sortie analogique " + std::to_string(i + 1), std::to_string(d.sana[i]));
    for (int i = 0; i < 4; ++i)
        html += row("Entrée analogique " + std::to_string(i + 1),
                    std::to_string(AnalogInput(d, i, monoMs)));
    html += row("Bouton", Button(d, monoMs) ? "appuyé" : "relâché");
    html += row("Horloge", ClockText(d));
    html += row("Automate", std::to_string(d.autoState) + (d.pause ? " (pause)" : ""));
    html += row("Liaison série", Latin1ToUtf8(d.uart));
    html += "</table>\n</body></html>\n";
    return html;
}

namespace {

struct TextField
{
    const char* key;
    std::string Device::*member;
    size_t max;
    bool allowEmpty;
};

const TextField kTextFields[] = {
    {"name", &Device::name, kMaxName, false},
    {"comment", &Device::comment, kMaxComment, true},
    {"login", &Device::login, kMaxLogin, true},
    {"password", &Device::password, kMaxPassword, true},
    {"version", &Device::version, kMaxVersion, true},
    {"type", &Device::type, 16, false},
    {"accesscode", &Device::accessCode, 32, false},
    {"idfab", &Device::idFab, 32, true},
    {"5vuser", &Device::user5v, 8, true},
};

} // namespace

bool GetField(const Device& d, const std::string& keyIn, int64_t monoMs, std::string* out)
{
    std::string key = Lower(keyIn);
    for (const TextField& t : kTextFields) {
        if (key == t.key) {
            *out = Latin1ToUtf8(d.*t.member);
            return true;
        }
    }
    if (key == "ip")
        *out = IpText(d.ip);
    else if (key == "mask")
        *out = IpText(PrefixMask(d.prefix));
    else if (key == "gateway")
        *out = IpText(d.gateway);
    else if (key == "dhcp")
        *out = d.dhcp ? "1" : "0";
    else if (key == "mac")
        *out = d.mac;
    else if (key == "answer")
        *out = d.answer == AnswerMode::Broadcast ? "broadcast" : "unicast";
    else if (key == "master")
        *out = d.master ? "1" : "0";
    else if (key == "silent")
        *out = Silent(d, monoMs) ? "1" : "0";
    else if (key == "http")
        *out = d.http ? "1" : "0";
    else if (key == "httpdelay")
        *out = std::to_string(d.httpDelayMs);
    else if (key == "uartboard")
        *out = d.uartBoard ? "1" : "0";
    else if (key == "animate")
        *out = d.animate ? "1" : "0";
    else if (key == "rebooting")
        *out = Rebooting(d, monoMs) ? "1" : "0";
    else if (key == "relais")
        *out = Bits(d.relais, 4);
    else if (key == "snum")
        *out = Bits(d.snum, 8);
    else if (key == "ena" || key == "enum")
        *out = Bits(Inputs(d, monoMs), 8);
    else if (key == "sana1" || key == "sana2")
        *out = std::to_string(d.sana[key[4] - '1']);
    else if (key.size() == 4 && key.compare(0, 3, "ana") == 0 && key[3] >= '1' && key[3] <= '4')
        *out = std::to_string(AnalogInput(d, key[3] - '1', monoMs));
    else if (key.size() == 5 && key.compare(0, 4, "eana") == 0 && key[4] >= '1' && key[4] <= '4')
        *out = std::to_string(AnalogInput(d, key[4] - '1', monoMs));
    else if (key == "bouton")
        *out = Button(d, monoMs) ? "1" : "0";
    else if (key == "uart")
        *out = Latin1ToUtf8(d.uart);
    else if (key == "uarttx")
        *out = Latin1ToUtf8(d.uartTx);
    else if (key == "dir") {
        char b[8];
        snprintf(b, sizeof b, "%04X", d.boardDir & 0xFFFF);
        *out = b;
    } else if (key == "auto")
        *out = std::to_string(d.autoState);
    else if (key == "pause")
        *out = d.pause ? "1" : "0";
    else if (key == "prog")
        *out = Bits(d.programs, kPrograms);
    else if (key == "memautomate")
        *out = std::to_string(d.memAutomate);
    else if (key == "inscription")
        *out = Latin1ToUtf8(d.inscription);
    else if (key == "acq")
        *out = d.acqParams.empty() ? "0" : "1";
    else if (key == "acqparam")
        *out = Latin1ToUtf8(d.acqParams);
    else if (key == "acqmem")
        *out = std::to_string(AcqRecords(d, monoMs));
    else if (key == "flash")
        *out = Latin1ToUtf8(d.flash);
    else if (key == "eeprom")
        *out = Latin1ToUtf8(d.eeprom);
    else if (key == "datetime")
        *out = ClockText(d);
    else if (key == "blink")
        *out = monoMs < d.blinkUntilMs ? "1" : "0";
    else if (key == "showfab")
        *out = d.showFab ? "1" : "0";
    else if (key == "showemailconf")
        *out = d.showEmail ? "1" : "0";
    else if (key == "showflash")
        *out = d.showFlash ? "1" : "0";
    else if (key == "showeeprom")
        *out = d.showEeprom ? "1" : "0";
    else if (key == "datetimefab")
        *out = d.dateTimeFab;
    else if (key == "bancfab")
        *out = d.bancFab;
    else if (key == "seriefab")
        *out = d.serieFab;
    else if (key == "smtpserver")
        *out = Latin1ToUtf8(d.smtpServer);
    else if (key == "smtpport")
        *out = d.smtpPort;
    else if (key == "smtplogin")
        *out = Latin1ToUtf8(d.smtpLogin);
    else if (key == "smtppwd")
        *out = d.smtpPwd;
    else if (key == "smtpssl")
        *out = d.smtpSsl;
    else if (key == "lasterror")
        *out = Latin1ToUtf8(d.lastError);
    else if (key == "requests")
        *out = std::to_string(d.requests);
    else if (key == "hellos")
        *out = std::to_string(d.hellos);
    else if (key == "answers")
        *out = std::to_string(d.answers);
    else
        return GetBootField(d, key, monoMs, out);
    return true;
}

std::string SetField(Device& d, const std::string& keyIn, const std::string& value, int64_t monoMs)
{
    std::string key = Lower(keyIn);
    long n = 0;
    unsigned bits = 0;
    auto flag = [&value](bool* target) {
        if (value != "0" && value != "1")
            return std::string("expected 0 or 1");
        *target = value == "1";
        return std::string();
    };
    for (const TextField& t : kTextFields) {
        if (key == t.key) {
            std::string v = ToLatin1(value);
            if (!ValidText(v, t.max, t.allowEmpty))
                return "value too long, empty or with a control character or ';'";
            d.*t.member = v;
            return "";
        }
    }
    if (key == "ena" || key == "enum") {
        if (!ParseBits(value, 8, &bits))
            return "expected 8 characters 0/1";
        d.ena = bits;
    } else if ((key.size() == 4 && key.compare(0, 3, "ana") == 0 && key[3] >= '1' &&
                key[3] <= '4') ||
               (key.size() == 5 && key.compare(0, 4, "eana") == 0 && key[4] >= '1' &&
                key[4] <= '4')) {
        if (!ParseLong(value, 0, kAnalogMax, &n))
            return "expected 0 to 4095";
        d.ana[key.back() - '1'] = static_cast<int>(n);
    } else if (key == "bouton") {
        return flag(&d.bouton);
    } else if (key == "uart") {
        std::string v = ToLatin1(value);
        if (v.size() > kMaxUart)
            return "text longer than 255 bytes";
        d.uart = v;
    } else if (key == "answer") {
        if (value == "broadcast")
            d.answer = AnswerMode::Broadcast;
        else if (value == "unicast")
            d.answer = AnswerMode::Unicast;
        else
            return "expected broadcast or unicast";
    } else if (key == "silent") {
        std::string err = flag(&d.silent);
        if (err.empty())
            d.silentAtMs = -1;
        return err;
    } else if (key == "http") {
        return flag(&d.http);
    } else if (key == "httpdelay") {
        if (!ParseLong(value, 0, 60000, &n))
            return "expected 0 to 60000";
        d.httpDelayMs = static_cast<int>(n);
    } else if (key == "master") {
        return flag(&d.master);
    } else if (key == "dhcp") {
        return flag(&d.dhcp);
    } else if (key == "uartboard") {
        return flag(&d.uartBoard);
    } else if (key == "animate") {
        return flag(&d.animate);
    } else if (key == "gateway") {
        uint32_t gw = 0;
        if (!ParseIp(value, &gw))
            return "expected a dotted address";
        d.gateway = gw;
    } else if (key == "relais") {
        if (!ParseBits(value, 4, &bits))
            return "expected 4 characters 0/1";
        d.relais = bits;
    } else if (key == "snum") {
        if (!ParseBits(value, 8, &bits))
            return "expected 8 characters 0/1";
        d.snum = bits;
    } else if (key == "sana1" || key == "sana2") {
        if (!ParseLong(value, 0, 255, &n))
            return "expected 0 to 255";
        d.sana[key[4] - '1'] = static_cast<int>(n);
    } else if (key == "auto") {
        if (!ParseLong(value, 0, kAutoMax, &n))
            return "expected 0 to 999";
        d.autoState = static_cast<int>(n);
    } else if (key == "pause") {
        return flag(&d.pause);
    } else if (key == "clock") {
        if (value == "unset") {
            d.clockSet = false;
        } else if (value == "pc") {
            d.clockSet = true;
            d.clockOffsetS = 0;
        } else {
            return "expected unset or pc";
        }
    } else if (key == "blink") {
        bool on = false;
        std::string err = flag(&on);
        if (err.empty())
            d.blinkUntilMs = on ? monoMs + kBlinkMs : 0;
        return err;
    } else if (key == "flash" || key == "eeprom") {
        std::string v = ToLatin1(value);
        if (v.size() > kMaxMemory)
            return "text longer than 255 bytes";
        (key == "flash" ? d.flash : d.eeprom) = v;
    } else {
        return SetBootField(d, key, value);
    }
    return "";
}

} // namespace emu
