// The floor under the bridge's CPU figure: the same exchanges as its fleet poller (one new TCP
// connection per device per period, a GET of the state page, the close), every device at its own
// phase on the same 50 ms grid as the poller's, at most N in flight, with nothing else done.
// "raw" drives plain non-blocking sockets: what the kernel and the test network cost by
// themselves. "curl" drives the library's own many-at-once libcurl runner: what libcurl adds.
// Prints this process's CPU over the run.
//
//   bridge_floor raw|curl SECONDS PERIOD_MS IN_FLIGHT FIRST_IP COUNT [FIRST_IP COUNT]...
// Run by bench/bridge_bench.py, inside tools/testnet.sh --lan.
#include "device/ZorHttpGet.h"
#include "network/ZorCurlRunner.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Horloge = std::chrono::steady_clock;

int64_t Ms(Horloge::time_point t0)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Horloge::now() - t0).count();
}

double CpuS()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// When the k-th exchange is due (device k % n): the devices' phases spread over the period on a
// grid of 50 ms, as the poller places them.
int64_t Du(uint64_t k, size_t n, int iPeriodeMs)
{
    const int64_t iPas = std::max(1, std::min(50, iPeriodeMs / 4));
    return int64_t(k / n) * iPeriodeMs + int64_t(k % n) * iPeriodeMs / int64_t(n) / iPas * iPas;
}

// How long to wait for the sockets: until the next exchange is due, or, every slot being busy,
// until one of them frees (never a spin while the due exchanges wait for a slot).
int Attente(int64_t iProchain, int64_t t, bool bPlein)
{
    return bPlein ? 100 : int(std::max<int64_t>(0, std::min<int64_t>(iProchain - t, 100)));
}

struct Compte
{
    long iOk = 0, iEchecs = 0;
};

// One exchange on a plain socket: connect, send the request once writable, read to the close.
struct Echange
{
    int fd = -1;
    bool bEnvoye = false;
    int64_t iDebutMs = 0;
};

const char kGet[] = "GET /etat.htm HTTP/1.0\r\n\r\n";

bool Ouvrir(Echange& x, in_addr_t ip, int64_t iMaintenant)
{
    x.fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (x.fd < 0)
        return false;
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(80);
    sa.sin_addr.s_addr = ip;
    if (connect(x.fd, reinterpret_cast<sockaddr*>(&sa), sizeof(sa)) != 0 && errno != EINPROGRESS) {
        close(x.fd);
        x.fd = -1;
        return false;
    }
    x.bEnvoye = false;
    x.iDebutMs = iMaintenant;
    return true;
}

// False while the exchange goes on; true once it ended (*pbOk tells how).
bool Avancer(Echange& x, short revents, bool* pbOk)
{
    char tampon[4096];
    if (revents & (POLLERR | POLLNVAL))
        return *pbOk = false, true;
    if (!x.bEnvoye && (revents & POLLOUT)) {
        x.bEnvoye = send(x.fd, kGet, sizeof(kGet) - 1, MSG_NOSIGNAL) == ssize_t(sizeof(kGet) - 1);
        if (!x.bEnvoye)
            return *pbOk = false, true;
    }
    if (revents & (POLLIN | POLLHUP)) {
        const ssize_t n = recv(x.fd, tampon, sizeof(tampon), 0);
        if (n <= 0)
            return *pbOk = n == 0, true;
    }
    return false;
}

Compte Brut(const std::vector<in_addr_t>& ips, int iSecondes, int iPeriodeMs, size_t nEnVol)
{
    Compte c;
    std::vector<Echange> vol(nEnVol);
    std::vector<pollfd> pfd(nEnVol);
    const Horloge::time_point t0 = Horloge::now();
    uint64_t k = 0; // the k-th exchange, due at Du(k)
    while (Ms(t0) < int64_t(iSecondes) * 1000) {
        const int64_t t = Ms(t0);
        for (Echange& x : vol)
            if (x.fd < 0 && Du(k, ips.size(), iPeriodeMs) <= t &&
                !Ouvrir(x, ips[k++ % ips.size()], t))
                ++c.iEchecs;
        const int64_t iProchain = Du(k, ips.size(), iPeriodeMs);
        for (size_t i = 0; i < vol.size(); ++i)
            pfd[i] = {vol[i].fd, short(vol[i].bEnvoye ? POLLIN : POLLOUT), 0};
        const bool bPlein =
            std::all_of(vol.begin(), vol.end(), [](const Echange& x) { return x.fd >= 0; });
        poll(pfd.data(), pfd.size(), Attente(iProchain, t, bPlein));
        for (size_t i = 0; i < vol.size(); ++i) {
            Echange& x = vol[i];
            bool bOk = false;
            if (x.fd < 0)
                continue;
            if (Avancer(x, pfd[i].revents, &bOk) || Ms(t0) - x.iDebutMs > 2000) {
                close(x.fd);
                x.fd = -1;
                ++(bOk ? c.iOk : c.iEchecs);
            }
        }
    }
    for (Echange& x : vol)
        if (x.fd >= 0)
            close(x.fd);
    return c;
}

Compte Curl(const std::vector<in_addr_t>& ips, int iSecondes, int iPeriodeMs, size_t nEnVol)
{
    Compte c;
    std::vector<ZorCurlRunner::Requete> requetes(ips.size());
    for (size_t i = 0; i < ips.size(); ++i) {
        char z[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &ips[i], z, sizeof(z));
        ZorHttpGet::Requete(wxString::Format("http://%s/etat.htm", z), wxString(), 1000, 2000,
                            &requetes[i]);
    }
    ZorCurlMulti multi(nEnVol);
    const Horloge::time_point t0 = Horloge::now();
    uint64_t k = 0;
    const auto fini = [&c](const ZorCurlMulti::Fini& f) {
        ++(f.fin == ZorCurlRunner::Fin::OK && f.iStatut == 200 ? c.iOk : c.iEchecs);
    };
    while (Ms(t0) < int64_t(iSecondes) * 1000) {
        const int64_t t = Ms(t0);
        for (; multi.EnVol() < multi.Slots() && Du(k, ips.size(), iPeriodeMs) <= t; ++k)
            if (!multi.Lancer(requetes[k % ips.size()], k))
                ++c.iEchecs;
        const int64_t iProchain = Du(k, ips.size(), iPeriodeMs);
        multi.Avancer(Attente(iProchain, t, multi.EnVol() >= multi.Slots()), fini);
    }
    multi.Annuler();
    return c;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 7 || argc % 2 == 0) {
        std::fprintf(stderr, "usage: %s raw|curl SECONDS PERIOD_MS IN_FLIGHT FIRST_IP COUNT...\n",
                     argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    const int iSecondes = std::atoi(argv[2]), iPeriodeMs = std::atoi(argv[3]);
    const size_t nEnVol = size_t(std::max(1, std::atoi(argv[4])));
    std::vector<in_addr_t> ips;
    for (int a = 5; a + 1 < argc; a += 2) {
        in_addr ip{};
        if (inet_pton(AF_INET, argv[a], &ip) != 1)
            return 2;
        for (long i = 0; i < std::atol(argv[a + 1]); ++i)
            ips.push_back(htonl(ntohl(ip.s_addr) + uint32_t(i)));
    }
    if (ips.empty() || iSecondes <= 0 || iPeriodeMs <= 0)
        return 2;
    ZorCurlRunner::InitGlobal();
    const double c0 = CpuS();
    const Horloge::time_point t0 = Horloge::now();
    const Compte c = mode == "raw" ? Brut(ips, iSecondes, iPeriodeMs, nEnVol)
                                   : Curl(ips, iSecondes, iPeriodeMs, nEnVol);
    const double s = double(Ms(t0)) / 1000.0;
    std::printf("%s: %ld exchanges (%ld failed) in %.1f s, CPU %.2f %% of one core\n", mode.c_str(),
                c.iOk, c.iEchecs, s, 100.0 * (CpuS() - c0) / s);
    return 0;
}
