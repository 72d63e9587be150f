// The emulator's control socket on any lines: every reply is one line starting with "OK" or
// "ERR", even for values the network side stored (the first line is applied as a state page
// query first), and no command breaks the devices' limits. The server is never started, so
// nothing here opens a socket or touches an interface.
#include "fuzz/EmuFuzz.h"

#include "emulator/EmuServer.h"

#include <vector>

using namespace emufuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    std::vector<std::string> lines =
        emu::Split(std::string(reinterpret_cast<const char*>(data), size), '\n');
    std::vector<emu::Device> devices = {MakeDevice(0), MakeDevice(1)};
    emu::ApplyQuery(devices[0], QueryFromBytes(lines[0]), kNowMs);
    emu::ApplyQuery(devices[1], lines[0], kNowMs);

    emu::ServerOptions options;
    options.rebootMs = 10;
    emu::Server server(options, devices);
    for (size_t i = 1; i < lines.size() && i <= 64; ++i) {
        emu::ControlLine c = emu::ParseControlLine(lines[i]);
        Check(c.cmd.find(' ') == std::string::npos && c.device.find(' ') == std::string::npos);
        Check(c.arg == emu::Trim(c.arg));

        std::string reply = server.Control(lines[i]);
        Check(reply.compare(0, 2, "OK") == 0 || reply.compare(0, 3, "ERR") == 0);
        Check(reply.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
        Check(reply.size() <= 4096);
    }
    for (const char* key :
         {"name", "comment", "uart", "uarttx", "flash", "lasterror", "inscription"})
        for (const char* dev : {"0 ", "1 "}) {
            std::string reply = server.Control(std::string("GET ") + dev + key);
            Check(reply.compare(0, 3, "OK ") == 0);
            Check(reply.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
        }
    return 0;
}
