// Discovery figure: the time from one hello to the last of 250 emulated devices registered by
// the device manager, beside a baseline measured in the same run: a bare UDP socket on the same
// adapter receiving the same 250 answers to the same hello. Several rounds, each from an empty
// registry; prints the median and the worst round of both.
//
//   tools/bench.sh discovery [rounds]       (runs it inside tools/testnet.sh --lan)
#include "bench/ZorBenchConsole.h"
#include "device/ZorTavlinObj.h"
#include "infra/ZorLibraryFlags.h"
#include "tests/common/ZorEmu.h"
#include "tests/common/ZorTestSupport.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using Horloge = std::chrono::steady_clock;

const size_t kDevices = 250;
const char* const kLocal = "192.168.77.1";
const char* const kInterface = "tvp0"; // the PC side of the first LAN

double MsDepuis(Horloge::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Horloge::now() - t0).count();
}

// A bare socket on the discovery port of the first LAN's adapter, with the library's buffer:
// ms from the hello to the 250th distinct answering address, or -1.
double Baseline()
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return -1;
    const int un = 1, tampon = 1024 * 1024;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &un, sizeof(un));
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &un, sizeof(un));
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &tampon, sizeof(tampon));
    setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, kInterface, socklen_t(strlen(kInterface)));
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(30303);
    sa.sin_addr.s_addr = htonl(INADDR_ANY);
    double ms = -1;
    if (bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) == 0) {
        sa.sin_addr.s_addr = htonl(INADDR_BROADCAST);
        std::set<uint32_t> sources;
        const auto t0 = Horloge::now();
        sendto(fd, "D", 1, 0, reinterpret_cast<sockaddr*>(&sa), sizeof(sa));
        while (sources.size() < kDevices && MsDepuis(t0) < 5000) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0)
                continue;
            char buf[1024];
            sockaddr_in de{};
            socklen_t l = sizeof(de);
            if (recvfrom(fd, buf, sizeof(buf), 0, reinterpret_cast<sockaddr*>(&de), &l) > 1)
                sources.insert(de.sin_addr.s_addr);
        }
        if (sources.size() == kDevices)
            ms = MsDepuis(t0);
    }
    close(fd);
    return ms;
}

// The device manager's network object from an empty registry: ms from the hello to the 250th
// device registered, or -1.
double Bibliotheque()
{
    if (!ZorTavlinObj::CreateTavlinObj())
        return -1;
    double ms = -1;
    if (gpTheTavlin->OuvrirReseau()) {
        const auto t0 = Horloge::now();
        gpTheTavlin->EnvoyerHello("255.255.255.255", kLocal, 'D');
        if (zortest::PumpUntil([] { return zortest::NombreTavlin(*gpTheTavlin) >= kDevices; },
                               5000))
            ms = MsDepuis(t0);
        gpTheTavlin->FermerReseau();
    }
    ZorTavlinObj::DeleteTavlinObj();
    return ms;
}

void Imprimer(const char* quoi, std::vector<double> v)
{
    const size_t n = v.size();
    v.erase(std::remove(v.begin(), v.end(), -1.0), v.end());
    std::sort(v.begin(), v.end());
    if (v.empty()) {
        printf("%s: no round saw all %zu devices\n", quoi, kDevices);
        return;
    }
    printf("%s: hello to the %zuth device, median %.1f ms, worst %.1f ms (%zu of %zu rounds "
           "complete)\n",
           quoi, kDevices, v[v.size() / 2], v.back(), v.size(), n);
}

} // namespace

int main(int argc, char** argv)
{
    const int iTours = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    if (!zortest::InTestNetwork()) {
        fprintf(stderr,
                "discovery_bench: run it inside the test network (tools/bench.sh discovery)\n");
        return 2;
    }
    const std::string home = zorbench::DemarrerConsole(argv[0]);
    if (home.empty())
        return 3;
    gbAppHote = false;

    int iCode = 0;
    {
        zortest::Emu emu;
        if (!emu.Start(zortest::EnvOr("TAVLIN_NS_LAN1", ""),
                       {"--count", std::to_string(kDevices), "--first-ip", "192.168.77.2/24",
                        "--version", "3.4"},
                       30000)) {
            fprintf(stderr, "discovery_bench: the emulator did not start\n");
            iCode = 4;
        } else {
            std::vector<double> base, lib;
            // Rounds alternate, so that both meet the same load of the machine.
            for (int i = 0; i < iTours; ++i) {
                base.push_back(Baseline());
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                lib.push_back(Bibliotheque());
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
            }
            Imprimer("baseline (bare UDP socket)", base);
            Imprimer("library (registered by the device manager)", lib);
        }
        emu.Stop();
    }
    zorbench::Terminer(home);
    return iCode;
}
