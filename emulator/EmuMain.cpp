// tavlin-emu: plays Tavlin devices on a LAN interface, for trying the software and testing
// programs without hardware. See --help.
#include "emulator/EmuDevice.h"
#include "emulator/EmuServer.h"
#include "emulator/EmuUtil.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

using namespace emu;

namespace {

const char* kHelp =
    "Usage: tavlin-emu [options]\n"
    "Plays one or more Tavlin devices on a LAN interface: each device gets its own IPv4\n"
    "address on the interface, answers discovery hellos on UDP port 30303, takes address\n"
    "configuration datagrams, restarts on the restart datagram (UDP port 69) and serves its\n"
    "state pages and commands over HTTP on port 80. Needs root (it adds addresses to the\n"
    "interface and removes them when it ends). Run it in a network namespace of its own.\n"
    "\n"
    "Devices:\n"
    "  --count N            number of devices made from the options below (default 1, or 0\n"
    "                       when --device is given)\n"
    "  --first-ip A[/P]     address of the first device; the next ones follow (default: host\n"
    "                       10 of the interface's subnet, with its prefix)\n"
    "  --factory            devices answer from the factory address 169.254.233.233/16\n"
    "  --mask M             subnet mask of the devices (default from the prefix)\n"
    "  --gateway G          gateway of the devices (default: host 254 of their subnet)\n"
    "  --mac-prefix XX-XX-XX  first three bytes of the MAC addresses (default 02-54-56)\n"
    "  --name NAME          device name; with several devices a number is appended\n"
    "                       (default Tavlin)\n"
    "  --comment TEXT       comment (default Emulation)\n"
    "  --login L            login (default admin)\n"
    "  --password P         password (default tavlin)\n"
    "  --version V          firmware version sent as ninth answer line; without it the\n"
    "                       answer has eight lines and the state page says 1\n"
    "  --dhcp               devices report DHCP on\n"
    "  --master             the first device also answers master hellos (\"M\")\n"
    "  --answer MODE        broadcast (to 255.255.255.255:30303, default) or unicast (to the\n"
    "                       sender of the hello)\n"
    "  --silent-after SECS  stop answering hellos SECS seconds after start\n"
    "  --http-delay-ms MS   wait MS milliseconds before each HTTP reply\n"
    "  --uart-board         an I/O board answers on each device's serial line\n"
    "  --animate            inputs, analog inputs and button move by themselves\n"
    "  --clock-unset        device clocks start unset (00/00/2000_00:00:00)\n"
    "  --access-code CODE   code the memory-erase and e-mail commands require (default Wd3kPv)\n"
    "  --device K=V,...     one more device with its own settings; keys: ip (A or A/P), mac,\n"
    "                       name, comment, login, password, version, mask, gateway, dhcp,\n"
    "                       master, answer, silent-after, http-delay-ms, uart-board, animate,\n"
    "                       clock-unset, factory, access-code (flags take 0 or 1). Keys not\n"
    "                       given take the values of the options above. Repeat for more.\n"
    "\n"
    "Running:\n"
    "  --iface IF           LAN interface (default lan0)\n"
    "  --reboot-secs S      silence after a restart, spent in the bootloader (default 3)\n"
    "  --control PATH       Unix stream socket for control commands (see below)\n"
    "  --log PATH           event log, one line per event (default: standard output)\n"
    "  --help               this text\n"
    "\n"
    "Control commands (one per line, each answered by one line \"OK ...\" or \"ERR reason\"):\n"
    "  PING                 OK\n"
    "  LIST                 OK ip=A,mac=M;ip=A,mac=M;... (device index order, from 0)\n"
    "  SET I KEY=VALUE      keys: ena (8 \"0\"/\"1\", digital inputs), ana1..ana4 (0..4095),\n"
    "                       bouton, uart (text received on the serial line), answer, silent,\n"
    "                       http (0: the web server does not answer), httpdelay, name,\n"
    "                       comment, login, password, version, ip (A or A/P: move now),\n"
    "                       gateway, dhcp, master, relais, snum, sana1, sana2, auto, pause,\n"
    "                       blink, clock (unset|pc), uartboard, animate, flash, eeprom\n"
    "  GET I KEY            OK VALUE; the keys above plus mac, mask, uarttx, dir, prog,\n"
    "                       memautomate, inscription, acq, acqparam, acqmem, datetime,\n"
    "                       showfab, showemailconf, showflash, showeeprom, smtpserver,\n"
    "                       smtpport, smtplogin, smtppwd, smtpssl, idfab, datetimefab,\n"
    "                       bancfab, seriefab, rebooting, lasterror, requests, hellos, answers\n"
    "  REBOOT I             restart device I\n"
    "  QUIT                 OK, then the emulator removes its addresses and ends\n"
    "\n"
    "Log lines: <epoch-ms> <KIND> <device-ip> <peer-ip:port> <payload>\n"
    "  KIND: START STOP HELLO ANSWER CONFIG CONFIG-REJECTED MOVED REBOOT HTTP; the payload\n"
    "  is the datagram or the request target, bytes outside printable ASCII as \\xHH.\n"
    "\n"
    "Example (a test network namespace whose interface is lan0):\n"
    "  ip netns exec LAN tavlin-emu --count 3 --first-ip 192.168.77.10 --version 2.3 \\\n"
    "      --control /tmp/emu.ctl --log /tmp/emu.log\n";

struct Settings
{
    bool haveIp = false;
    uint32_t ip = 0;
    int prefix = -1;
    bool haveMask = false;
    int maskPrefix = 24;
    bool haveGateway = false;
    uint32_t gateway = 0;
    bool factory = false;
    std::string mac; // explicit MAC (--device only)
    std::string name = "Tavlin", comment = "Emulation", login = "admin", password = "tavlin";
    std::string version;
    std::string accessCode = "Wd3kPv";
    bool dhcp = false, master = false, uartBoard = false, animate = false, clockUnset = false;
    AnswerMode answer = AnswerMode::Broadcast;
    long silentAfter = -1;
    long httpDelayMs = 0;
};

bool Fail(const std::string& message)
{
    fprintf(stderr, "tavlin-emu: %s (see --help)\n", message.c_str());
    return false;
}

bool ParseMac(const std::string& text, size_t bytes, std::vector<unsigned>* out)
{
    std::vector<std::string> parts = Split(text, text.find(':') != std::string::npos ? ':' : '-');
    if (parts.size() != bytes)
        return false;
    out->clear();
    for (const std::string& p : parts) {
        uint32_t v = 0;
        if (p.size() != 2 || !ParseIpHex("000000" + p, &v))
            return false;
        out->push_back(v);
    }
    return true;
}

std::string MacText(const std::vector<unsigned>& bytes)
{
    std::string out;
    char buf[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        snprintf(buf, sizeof buf, "%02X", bytes[i] & 0xFF);
        out += (i ? "-" : "") + std::string(buf);
    }
    return out;
}

bool Flag(const std::string& v, bool* out)
{
    if (v != "0" && v != "1")
        return false;
    *out = v == "1";
    return true;
}

// One setting given as an option (--key value) or a --device key (key=value).
bool Apply(Settings& s, const std::string& key, const std::string& value, bool perDevice)
{
    uint32_t ip = 0;
    if (key == "first-ip" || (perDevice && key == "ip")) {
        int prefix = -1;
        if (!ParseIpPrefix(value, &ip, &prefix))
            return Fail("bad address " + value);
        s.haveIp = true;
        s.ip = ip;
        if (prefix > 0)
            s.prefix = prefix;
    } else if (key == "mask") {
        if (!ParseIp(value, &ip) || MaskPrefix(ip) < 1)
            return Fail("bad mask " + value);
        s.haveMask = true;
        s.maskPrefix = MaskPrefix(ip);
    } else if (key == "gateway") {
        if (!ParseIp(value, &ip))
            return Fail("bad gateway " + value);
        s.haveGateway = true;
        s.gateway = ip;
    } else if (perDevice && key == "mac") {
        std::vector<unsigned> b;
        if (!ParseMac(value, 6, &b))
            return Fail("bad MAC address " + value);
        s.mac = MacText(b);
    } else if (key == "name" || key == "comment" || key == "login" || key == "password" ||
               key == "version" || key == "access-code") {
        std::string v = ToLatin1(value);
        size_t max = key == "name"       ? kMaxName
                     : key == "comment"  ? kMaxComment
                     : key == "login"    ? kMaxLogin
                     : key == "password" ? kMaxPassword
                     : key == "version"  ? kMaxVersion
                                         : 32;
        if (v.size() > max)
            return Fail(key + " longer than " + std::to_string(max) + " bytes");
        for (unsigned char c : v)
            if (c < 0x20 || c == 0x7F || c == ';')
                return Fail(key + " with a control character or ';'");
        if ((key == "name" || key == "access-code") && v.empty())
            return Fail(key + " is empty");
        (key == "name"       ? s.name
         : key == "comment"  ? s.comment
         : key == "login"    ? s.login
         : key == "password" ? s.password
         : key == "version"  ? s.version
                             : s.accessCode) = v;
    } else if (key == "answer") {
        if (value == "broadcast")
            s.answer = AnswerMode::Broadcast;
        else if (value == "unicast")
            s.answer = AnswerMode::Unicast;
        else
            return Fail("--answer takes broadcast or unicast");
    } else if (key == "silent-after") {
        if (!ParseLong(value, 0, 86400 * 365, &s.silentAfter))
            return Fail("bad --silent-after " + value);
    } else if (key == "http-delay-ms") {
        if (!ParseLong(value, 0, 60000, &s.httpDelayMs))
            return Fail("bad --http-delay-ms " + value);
    } else if (perDevice && (key == "dhcp" || key == "master" || key == "uart-board" ||
                             key == "animate" || key == "clock-unset" || key == "factory")) {
        bool* target = key == "dhcp"          ? &s.dhcp
                       : key == "master"      ? &s.master
                       : key == "uart-board"  ? &s.uartBoard
                       : key == "animate"     ? &s.animate
                       : key == "clock-unset" ? &s.clockUnset
                                              : &s.factory;
        if (!Flag(value, target))
            return Fail(key + " takes 0 or 1");
    } else {
        return Fail("unknown " + std::string(perDevice ? "--device key " : "option --") + key);
    }
    return true;
}

Device Make(const Settings& s, int index, uint32_t ip, int prefix, const std::string& name,
            const std::vector<unsigned>& macPrefix, int64_t start)
{
    Device d;
    d.index = index;
    d.ip = ip;
    d.prefix = prefix;
    uint32_t mask = PrefixMask(prefix);
    d.gateway = s.haveGateway ? s.gateway : s.factory ? 0 : ((ip & mask) | (~mask - 1));
    d.dhcp = s.dhcp;
    if (!s.mac.empty()) {
        d.mac = s.mac;
    } else {
        std::vector<unsigned> b = macPrefix;
        b.push_back((ip >> 8) & 0xFF);
        b.push_back(ip & 0xFF);
        b.push_back(static_cast<unsigned>(index) & 0xFF);
        d.mac = MacText(b);
    }
    d.name = name;
    d.comment = s.comment;
    d.login = s.login;
    d.password = s.password;
    d.version = s.version;
    d.accessCode = s.accessCode;
    d.answer = s.answer;
    d.master = s.master;
    d.silentAtMs = s.silentAfter >= 0 ? start + s.silentAfter * 1000 : -1;
    d.httpDelayMs = static_cast<int>(s.httpDelayMs);
    d.uartBoard = s.uartBoard;
    d.animate = s.animate;
    d.clockSet = !s.clockUnset;
    d.idFab = "EMU" + MacDigits(d.mac).substr(6);
    d.ana[0] = 512;
    d.ana[1] = 1024;
    d.ana[2] = 2048;
    d.ana[3] = 3000;
    d.ena = 0x05;
    return d;
}

} // namespace

int main(int argc, char** argv)
{
    Settings global;
    ServerOptions opt;
    long count = -1;
    std::vector<unsigned> macPrefix = {0x02, 0x54, 0x56};
    std::vector<std::string> deviceOptions;

    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            fputs(kHelp, stdout);
            return 0;
        }
        if (a.compare(0, 2, "--") != 0)
            return Fail("unexpected argument " + a), 2;
        std::string key = a.substr(2);
        std::string value;
        size_t eq = key.find('=');
        bool flag = key == "factory" || key == "dhcp" || key == "master" || key == "uart-board" ||
                    key == "animate" || key == "clock-unset";
        if (eq != std::string::npos) {
            value = key.substr(eq + 1);
            key = key.substr(0, eq);
        } else if (!flag) {
            if (i + 1 >= argc)
                return Fail("--" + key + " needs a value"), 2;
            value = argv[++i];
        }
        bool ok = true;
        if (key == "count") {
            ok = ParseLong(value, 0, 250, &count) || Fail("--count takes 0 to 250");
        } else if (key == "iface") {
            opt.iface = value;
        } else if (key == "control") {
            opt.controlPath = value;
        } else if (key == "log") {
            opt.logPath = value;
        } else if (key == "reboot-secs") {
            long s = 0;
            ok = ParseLong(value, 0, 600, &s) || Fail("--reboot-secs takes 0 to 600");
            opt.rebootMs = static_cast<int>(s * 1000);
        } else if (key == "mac-prefix") {
            ok = ParseMac(value, 3, &macPrefix) || Fail("--mac-prefix takes XX-XX-XX");
        } else if (key == "device") {
            deviceOptions.push_back(value);
        } else if (flag) {
            ok = Apply(global, key, value.empty() ? "1" : value, true);
        } else {
            ok = Apply(global, key, value, false);
        }
        if (!ok)
            return 2;
    }
    if (count < 0)
        count = deviceOptions.empty() ? 1 : 0;
    if (count + static_cast<long>(deviceOptions.size()) == 0)
        return Fail("no device to play"), 2;

    // Default addresses come from the interface's own subnet.
    uint32_t ifIp = 0;
    int ifPrefix = 24;
    {
        Iface probe;
        std::string error;
        if (!probe.Open(opt.iface, &error))
            return Fail(error), 1;
        probe.PrimaryAddress(&ifIp, &ifPrefix);
    }

    std::vector<Device> devices;
    int64_t start = MonoMs();
    uint32_t next = 0;
    auto addresses = [&](const Settings& s, uint32_t* ip, int* prefix) -> bool {
        if (s.factory) {
            *ip = 0xA9FEE9E9u; // 169.254.233.233
            *prefix = 16;
            return true;
        }
        if (s.haveIp) {
            *ip = s.ip;
        } else if (next) {
            *ip = next;
        } else if (ifIp) {
            *ip = (ifIp & PrefixMask(ifPrefix)) | 10;
        } else {
            return Fail("the interface has no address: give --first-ip");
        }
        bool sameAsIface = ifIp && ((*ip ^ ifIp) & PrefixMask(ifPrefix)) == 0;
        *prefix = s.prefix > 0 ? s.prefix : s.haveMask ? s.maskPrefix : sameAsIface ? ifPrefix : 24;
        if (!UsableHost(*ip, *prefix))
            return Fail(IpText(*ip) + "/" + std::to_string(*prefix) +
                        " is not a usable device address");
        next = *ip + 1;
        return true;
    };
    for (long i = 0; i < count; ++i) {
        Settings s = global;
        if (i > 0)
            s.haveIp = false;
        uint32_t ip = 0;
        int prefix = 24;
        if (!addresses(s, &ip, &prefix))
            return 2;
        std::string name =
            count > 1 || !deviceOptions.empty() ? global.name + std::to_string(i + 1) : global.name;
        if (name.size() > kMaxName)
            return Fail("name too long"), 2;
        devices.push_back(Make(s, static_cast<int>(i), ip, prefix, name, macPrefix, start));
        if (i == 0)
            global.master = false; // --master makes the first device the master only
    }
    for (const std::string& option : deviceOptions) {
        Settings s = global;
        s.haveIp = false;
        s.prefix = -1;
        s.name = global.name + std::to_string(devices.size() + 1);
        for (const std::string& item : Split(option, ',')) {
            size_t eq = item.find('=');
            if (eq == std::string::npos || eq == 0)
                return Fail("--device takes key=value,..."), 2;
            if (!Apply(s, Trim(item.substr(0, eq)), item.substr(eq + 1), true))
                return 2;
        }
        if (s.name.size() > kMaxName)
            return Fail("name too long"), 2;
        uint32_t ip = 0;
        int prefix = 24;
        if (!addresses(s, &ip, &prefix))
            return 2;
        devices.push_back(
            Make(s, static_cast<int>(devices.size()), ip, prefix, s.name, macPrefix, start));
    }

    Server server(opt, std::move(devices));
    int rc = server.Run();
    fflush(stdout);
    fflush(stderr);
    _exit(rc); // detached connection threads may still be winding down
}
