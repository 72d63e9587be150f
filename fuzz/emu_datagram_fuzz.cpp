// The emulator's discovery and restart ports on any datagram: it is classified without fault,
// a hello reaches exactly the devices it is addressed to, and a configuration is either
// refused with a reason or gives a usable address taken from the datagram's own fields.
#include "fuzz/EmuFuzz.h"

#include <algorithm>
#include <cctype>

using namespace emufuzz;

namespace {

std::string Upper(std::string t)
{
    std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return char(toupper(c)); });
    return t;
}

void CheckConfig(const std::string& data, const emu::Device& d)
{
    emu::ConfigRequest c;
    if (!emu::ParseConfig(data, &c)) {
        Check(std::count(data.begin(), data.end(), ';') < 7);
        return;
    }
    const std::string fields = "N;" + c.mac + ";" + c.login + ";" + c.password + ";" + c.address +
                               ";" + c.mask + ";" + c.gateway + ";";
    Check(data.compare(0, fields.size(), fields) == 0);
    if (!emu::ConfigNames(d, c))
        return;
    Check(emu::MacDigits(c.mac) == emu::MacDigits(d.mac));
    uint32_t ip = 0, gw = 0;
    int prefix = 0;
    std::string why = emu::ConfigRefusal(d, c, kNowMs, &ip, &prefix, &gw);
    if (!why.empty())
        return;
    Check(c.login == d.login && c.password == d.password);
    Check(prefix >= 1 && prefix <= 32 && emu::UsableHost(ip, prefix));
    Check(emu::IpHex(ip) == Upper(c.address) && emu::IpHex(gw) == Upper(c.gateway));
    Check(emu::IpHex(emu::PrefixMask(prefix)) == Upper(c.mask));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > 2048)
        return 0;
    const bool restartPort = data[0] & 1;
    emu::Device d = MakeDevice(0);
    d.prefix = 16 + (data[1] % 17);
    d.ip = (d.ip & emu::PrefixMask(d.prefix)) | 1;
    d.rebootUntilMs = data[0] & 2 ? kNowMs + 1 : 0;
    const uint32_t dsts[4] = {d.ip, 0xFFFFFFFFu, d.ip | ~emu::PrefixMask(d.prefix), d.ip ^ 0x100};
    const uint32_t dst = dsts[(data[0] >> 2) & 3];

    std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);
    if (data[0] &
        16) // a configuration for this device, so that the checks beyond the MAC are reached
        text = "N;" + d.mac + ";admin;pw;" + text;

    switch (emu::ClassifyDatagram(text, restartPort)) {
    case emu::DatagramKind::Restart:
        Check(restartPort && text == "R");
        break;
    case emu::DatagramKind::Hello:
        Check(!restartPort && text.size() == 1);
        Check(emu::HelloReaches(d, dst) == (dst != dsts[3]));
        CheckDevice(d);
        Check(emu::AnswerText(d, text[0]).compare(0, 3, text + "\r\n") == 0);
        break;
    case emu::DatagramKind::Config:
        Check(!restartPort && text.compare(0, 2, "N;") == 0);
        CheckConfig(text, d);
        break;
    case emu::DatagramKind::Ignored:
        Check(restartPort ? text != "R"
                          : text != "D" && text != "M" && text.compare(0, 2, "N;") != 0);
        break;
    }
    return 0;
}
