/* Figures of the flat C interface as a plain C host sees them (no toolkit of its own), against
 * one emulated device of the test network:
 *  - freshness of GetIO32: an input changed through the emulator's control socket, then
 *    GetIO32 called every millisecond until it shows the change;
 *  - delivery of SetIO32: from the call's return until the emulator's control GET shows the
 *    new outputs and relays, and until GetIO32 shows them back;
 *  - the cost of one GetIO32 call (it also serves the library's events in this host).
 *
 *   tools/bench.sh api [--changes N] [--paswx]
 * or by hand, inside the test network:
 *   tools/testnet.sh --lan -- tests/hosts/with-emu.sh BUILD/tavlin-emu -- BUILD/bench/api_bench
 *
 * with-emu.sh starts the device and names it (TAVLIN_EMU_MAC) and its control socket
 * (TAVLIN_EMU_CTL). Every wait is bounded; exit 1 when a change was never seen.
 */
#include "api/ZorTavlinApi.h"

#include <errno.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

enum { kMaxChanges = 1000, kSeenTimeoutMs = 3000, kPollUs = 1000 };

static double NowMs(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1000.0 + (double)t.tv_nsec / 1e6;
}

/* ---- emulator control socket: one connection, one line per command ---- */

static int gCtl = -1;

static int CtlOpen(const char* path)
{
    struct sockaddr_un a;
    memset(&a, 0, sizeof a);
    a.sun_family = AF_UNIX;
    if (strlen(path) >= sizeof a.sun_path)
        return 0;
    strcpy(a.sun_path, path);
    gCtl = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (gCtl < 0)
        return 0;
    if (connect(gCtl, (struct sockaddr*)&a, sizeof a) != 0) {
        close(gCtl);
        gCtl = -1;
        return 0;
    }
    return 1;
}

/* Sends one command and reads its answer line (without the newline) into reply. 0 when the
 * emulator did not answer within 2 s. */
static int Ctl(const char* cmd, char* reply, size_t size)
{
    char line[256];
    int n = snprintf(line, sizeof line, "%s\n", cmd);
    if (n <= 0 || (size_t)n >= sizeof line || size == 0)
        return 0;
    for (int sent = 0; sent < n;) {
        ssize_t k = send(gCtl, line + sent, (size_t)(n - sent), MSG_NOSIGNAL);
        if (k < 0 && errno == EINTR)
            continue;
        if (k <= 0)
            return 0;
        sent += (int)k;
    }
    size_t got = 0;
    const double end = NowMs() + 2000.0;
    while (got + 1 < size) {
        struct pollfd p = {gCtl, POLLIN, 0};
        int left = (int)(end - NowMs());
        if (left <= 0 || poll(&p, 1, left) <= 0)
            return 0;
        ssize_t k = recv(gCtl, reply + got, 1, 0);
        if (k < 0 && errno == EINTR)
            continue;
        if (k <= 0)
            return 0;
        if (reply[got] == '\n')
            break;
        ++got;
    }
    reply[got] = '\0';
    return 1;
}

static int CtlOk(const char* cmd)
{
    char r[256];
    if (!Ctl(cmd, r, sizeof r) || strncmp(r, "OK", 2) != 0) {
        fprintf(stderr, "api_bench: [%s] answered [%s]\n", cmd, r);
        return 0;
    }
    return 1;
}

/* n bits of v, highest first, as the device's "0"/"1" text. */
static void Bits(unsigned v, int n, char* out)
{
    for (int i = 0; i < n; ++i)
        out[i] = (v >> (n - 1 - i)) & 1u ? '1' : '0';
    out[n] = '\0';
}

/* ---- figures ---- */

enum { kMaxCalls = 200000 };

typedef struct
{
    double v[kMaxCalls];
    int n;
} Serie;

static void Ajouter(Serie* s, double ms)
{
    if (s->n < kMaxCalls)
        s->v[s->n++] = ms;
}

static int Compare(const void* a, const void* b)
{
    double x = *(const double*)a, y = *(const double*)b;
    return x < y ? -1 : x > y;
}

/* Nearest-rank percentile of a sorted series. */
static double Rank(const Serie* s, double p)
{
    int k = (int)(p / 100.0 * s->n + 0.999999);
    if (k < 1)
        k = 1;
    if (k > s->n)
        k = s->n;
    return s->v[k - 1];
}

static void Report(const char* name, Serie* s)
{
    if (s->n == 0) {
        printf("%-34s no sample\n", name);
        return;
    }
    qsort(s->v, (size_t)s->n, sizeof s->v[0], Compare);
    double sum = 0;
    for (int i = 0; i < s->n; ++i)
        sum += s->v[i];
    printf("%-34s n=%-4d min=%7.2f p50=%7.2f p90=%7.2f p99=%7.2f max=%7.2f mean=%7.2f ms\n", name,
           s->n, s->v[0], Rank(s, 50), Rank(s, 90), Rank(s, 99), s->v[s->n - 1], sum / s->n);
}

static Serie gCoutAppel; /* duration of one GetIO32 call */

static uint32_t Io32(void)
{
    uint32_t w = 0;
    const double t = NowMs();
    GetIO32(0, &w);
    Ajouter(&gCoutAppel, NowMs() - t);
    return w;
}

/* Keeps calling the library, as a host does, for ms milliseconds. */
static void Occuper(double ms)
{
    const double end = NowMs() + ms;
    while (NowMs() < end) {
        Io32();
        usleep(kPollUs);
    }
}

/* Polls GetIO32 every millisecond until (word & mask) == want; the time of the first read
 * that shows it, or a negative value after kSeenTimeoutMs. */
static double AttendreIO32(uint32_t mask, uint32_t want)
{
    const double end = NowMs() + kSeenTimeoutMs;
    while (NowMs() < end) {
        if ((Io32() & mask) == want)
            return NowMs();
        usleep(kPollUs);
    }
    return -1;
}

int main(int argc, char** argv)
{
    int changes = 500, pasWx = 0;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--changes") == 0 && i + 1 < argc)
            changes = atoi(argv[++i]);
        else if (strcmp(argv[i], "--paswx") == 0)
            pasWx = 1;
        else {
            fprintf(stderr, "usage: api_bench [--changes N (1-%d)] [--paswx]\n", kMaxChanges);
            return 2;
        }
    }
    if (changes < 1 || changes > kMaxChanges) {
        fprintf(stderr, "api_bench: --changes must be 1 to %d\n", kMaxChanges);
        return 2;
    }
    const char* mac = getenv("TAVLIN_EMU_MAC");
    const char* ctl = getenv("TAVLIN_EMU_CTL");
    if (!mac || !ctl) {
        fprintf(stderr, "api_bench: run through tests/hosts/with-emu.sh (TAVLIN_EMU_MAC, "
                        "TAVLIN_EMU_CTL)\n");
        return 2;
    }
    if (!CtlOpen(ctl)) {
        fprintf(stderr, "api_bench: no emulator control socket at %s\n", ctl);
        return 2;
    }
    setvbuf(stdout, NULL, _IONBF, 0);
    srand(12345);

    const double t0 = NowMs();
    (pasWx ? Tavlin_StartPasWx : Tavlin_Start)("apibench", 0);
    Tavlin_SurveillerAddrMAC(mac);
    /* A word of 0 is also what comes before any state: wait for known inputs instead. */
    if (!CtlOk("SET 0 ena=10100101"))
        return 2;
    const double fin = NowMs() + 25000;
    while (NowMs() < fin && (Io32() & 0xFF) != 0xA5)
        usleep(10 * 1000);
    if ((Io32() & 0xFF) != 0xA5) {
        fprintf(stderr, "api_bench: the device's inputs never showed\n");
        Tavlin_Stop();
        return 1;
    }
    printf("api_bench: %s host, device %s seen after %.0f ms, %d changes\n",
           pasWx ? "StartPasWx" : "Start", mac, NowMs() - t0, changes);
    gCoutAppel.n = 0;

    static Serie fraicheur, ctlAller, livraison, retour, appelSet;
    int echecs = 0;
    unsigned entrees = 0xA5;

    /* Inputs: the change is made at a random moment relative to the library's polling. */
    for (int i = 0; i < changes; ++i) {
        unsigned v;
        do
            v = (unsigned)rand() & 0xFF;
        while (v == entrees);
        char cmd[64], bits[9], r[64];
        Bits(v, 8, bits);
        snprintf(cmd, sizeof cmd, "SET 0 ena=%s", bits);
        Occuper(20 + rand() % 60);
        const double debut = NowMs();
        if (!Ctl(cmd, r, sizeof r) || strncmp(r, "OK", 2) != 0) {
            fprintf(stderr, "api_bench: [%s] answered [%s]\n", cmd, r);
            ++echecs;
            break;
        }
        Ajouter(&ctlAller, NowMs() - debut);
        const double vu = AttendreIO32(0xFF, v);
        if (vu < 0) {
            fprintf(stderr, "api_bench: inputs %s never seen by GetIO32\n", bits);
            ++echecs;
            continue;
        }
        Ajouter(&fraicheur, vu - debut);
        entrees = v;
    }

    /* Outputs and relays: from SetIO32's return until the device holds them (control GET),
     * and until GetIO32 shows them back. */
    unsigned sorties = 0x100; /* none yet */
    for (int i = 0; i < changes; ++i) {
        unsigned o, rel;
        do {
            o = (unsigned)rand() & 0xFF;
            rel = (unsigned)rand() & 0xF;
        } while (((rel << 8) | o) == sorties);
        sorties = (rel << 8) | o;
        const uint32_t mot = (rel << 20) | (o << 8);
        char snum[9], relais[5], r[64];
        Bits(o, 8, snum);
        Bits(rel, 4, relais);
        Occuper(20 + rand() % 60);

        const double appel = NowMs();
        SetIO32(0, mot);
        const double debut = NowMs();
        Ajouter(&appelSet, debut - appel);

        double arrive = -1, revu = -1;
        const double end = debut + kSeenTimeoutMs;
        while (NowMs() < end && (arrive < 0 || revu < 0)) {
            if (arrive < 0) {
                char rs[64];
                if (!Ctl("GET 0 snum", r, sizeof r) || !Ctl("GET 0 relais", rs, sizeof rs))
                    break;
                if (strncmp(r, "OK ", 3) == 0 && strcmp(r + 3, snum) == 0 &&
                    strncmp(rs, "OK ", 3) == 0 && strcmp(rs + 3, relais) == 0)
                    arrive = NowMs();
            }
            if (revu < 0 && (Io32() & 0x00F0FF00u) == mot)
                revu = NowMs();
            usleep(kPollUs);
        }
        if (arrive < 0 || revu < 0) {
            fprintf(stderr, "api_bench: outputs %s relays %s %s\n", snum, relais,
                    arrive < 0 ? "never reached the device" : "never shown by GetIO32");
            ++echecs;
            continue;
        }
        Ajouter(&livraison, arrive - debut);
        Ajouter(&retour, revu - debut);
    }
    Tavlin_Stop();

    Report("GetIO32 freshness (input change)", &fraicheur);
    Report("SetIO32 return -> device holds", &livraison);
    Report("SetIO32 return -> GetIO32 shows", &retour);
    Report("SetIO32 call duration", &appelSet);
    Report("GetIO32 call duration", &gCoutAppel);
    Report("control SET round trip", &ctlAller);
    if (echecs)
        printf("api_bench: %d change(s) not seen\n", echecs);
    close(gCtl);
    return echecs ? 1 : 0;
}
