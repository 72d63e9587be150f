// The emulated device's firmware side on any bytes: bootloader requests (a reply is 18 bytes
// numbered as the request, the records kept stay whole) and upload bodies (a file accepted is
// a piece of the body, between the part headers and the closing line).
#include "emulator/EmuBoot.h"
#include "fuzz/EmuFuzz.h"

using namespace emufuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > 8192)
        return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1) {
        // Requests cut from the bytes, each as long as its first byte says (at most 40).
        emu::Device d = MakeDevice(0);
        d.bootNotReady = d.bootNotReadyLeft = data[0] >> 5;
        d.bootDropRecord = 2;
        d.bootStatusRecord = 3;
        d.bootStatus = 0x0800;
        d.rebootUntilMs = 1000000;
        const std::string version = d.version;
        for (size_t i = 0; i < rest.size();) {
            const size_t n = std::min<size_t>(uint8_t(rest[i]) % 41, rest.size() - i - 1);
            const std::string q = std::string("\x5A\xA5", 2) + rest.substr(i + 1, n);
            i += n + 1;
            const emu::BootResult r = emu::BootRequest(d, q, 5000);
            Check(r.reply.empty() || r.reply.size() == 18);
            if (!r.reply.empty())
                Check(r.reply[4] == uint8_t(q[4]) && r.reply[5] == uint8_t(q[5]) &&
                      r.reply[6] == uint8_t(q[6]));
            Check(d.bootRecords.size() % 24 == 0 && d.bootImage.size() % 24 == 0);
            Check(d.version.size() <= emu::kMaxVersion);
        }
        Check(d.bootUploads > 0 || d.version == version);
    } else {
        const size_t cut = std::min<size_t>(data[0] >> 1, rest.size());
        std::string name, content;
        const std::string body = rest.substr(cut);
        if (emu::ParseUpload(rest.substr(0, cut), body, &name, &content).empty()) {
            Check(body.find(content) != std::string::npos);
            Check(content.size() < body.size());
        }
    }
    return 0;
}
