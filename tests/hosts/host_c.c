/* A plain C host of the flat interface: no toolkit of its own, no event loop. It watches one
 * emulated device, reads its inputs, drives its outputs, relays and analog output, exchanges
 * serial port text, then stops, starts again and stops.
 *
 *   host_c [--paswx] [--dlopen LIBRARY]
 *
 * With --dlopen (the host_c_dlopen build) the library is loaded at run time and unloaded
 * WITHOUT Tavlin_Stop: the unload must stop the library's threads and toolkit by itself.
 * The device and the expected values come from the environment set by with-emu.sh. Exit 0
 * when every check passed. Every wait is bounded.
 */
#include "api/ZorTavlinApi.h"
#include "tests/common/ZorTestNetGuard.h"

#ifdef HOTE_DLOPEN
#  include <dlfcn.h>
#endif
#include <dirent.h>
#include <locale.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

typedef struct
{
    int (*Start)(const char*, int);
    int (*StartPasWx)(const char*, int);
    int (*Stop)(void);
    int (*SurveillerAddrMAC)(const char*);
    int (*SetPathDll)(const char*);
    int (*SetDefaultTimeSurveillanceMs)(int);
    int (*GetIO)(uint32_t, uint32_t, uint16_t*);
    int (*GetIO32)(uint32_t, uint32_t*);
    int (*SetIO32)(uint32_t, uint32_t);
    int (*GetAdc)(uint32_t, uint32_t, uint16_t*);
    int (*GetDac)(uint32_t, uint32_t, uint16_t*);
    int (*SetDac)(uint32_t, uint32_t, uint32_t);
    int (*ReadUart)(char*, int);
    int (*WriteUart)(const char*);
    int (*GetDLLVersion)(void);
} Api;

static int gEchecs = 0;

#define VERIFIER(cond, ...)                                                                        \
  do {                                                                                             \
    if (!(cond)) {                                                                                 \
      fprintf(stderr, "host_c: FAILED %s: ", #cond);                                               \
      fprintf(stderr, __VA_ARGS__);                                                                \
      fprintf(stderr, "\n");                                                                       \
      ++gEchecs;                                                                                   \
    }                                                                                              \
  } while (0)

static long MsDepuis(const struct timespec* debut)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (t.tv_sec - debut->tv_sec) * 1000 + (t.tv_nsec - debut->tv_nsec) / 1000000;
}

static unsigned long EnvHex(const char* nom)
{
    const char* v = getenv(nom);
    if (!v) {
        fprintf(stderr, "host_c: %s is not set (run through with-emu.sh)\n", nom);
        exit(2);
    }
    return strtoul(v, NULL, 0);
}

/* Calls the library every 50 ms (which also serves its events) until the 32-bit word masked
 * with mask equals want; at most ms milliseconds. */
static int AttendreIO32(const Api* api, uint32_t mask, uint32_t want, int ms, uint32_t* dernier)
{
    struct timespec debut;
    clock_gettime(CLOCK_MONOTONIC, &debut);
    *dernier = 0;
    while (MsDepuis(&debut) < ms) {
        if (api->GetIO32(0, dernier) == 1 && (*dernier & mask) == want)
            return 1;
        usleep(50 * 1000);
    }
    return 0;
}

static int CompterThreads(void)
{
    int n = 0;
    DIR* d = opendir("/proc/self/task");
    if (!d)
        return -1;
    struct dirent* e;
    while ((e = readdir(d)) != NULL)
        if (e->d_name[0] != '.')
            ++n;
    closedir(d);
    return n;
}

/* One session: start, watch, read, drive, serial port. */
static void Session(const Api* api, int pasWx, int premiere)
{
    const char* mac = getenv("TAVLIN_EMU_MAC");
    const uint32_t enumAttendu = (uint32_t)EnvHex("TAVLIN_EXPECT_ENUM");
    const uint16_t adcAttendu = (uint16_t)EnvHex("TAVLIN_EXPECT_ADC0");
    const char* uartAttendu = getenv("TAVLIN_EXPECT_UART");
    if (!mac || !uartAttendu) {
        fprintf(stderr, "host_c: TAVLIN_EMU_MAC / TAVLIN_EXPECT_UART not set\n");
        exit(2);
    }

    struct timespec debut;
    clock_gettime(CLOCK_MONOTONIC, &debut);
    VERIFIER((pasWx ? api->StartPasWx("hotec", 0) : api->Start("hotec", 0)) == 1, "start");
    /* Starting a windowed toolkit must not change the host's locale (number formats). */
    const char* locale = setlocale(LC_NUMERIC, NULL);
    VERIFIER(locale && strcmp(locale, "C") == 0, "host locale changed to %s", locale);
    VERIFIER(api->SetDefaultTimeSurveillanceMs(50) == 1, "poll spacing");
    VERIFIER(api->SurveillerAddrMAC(mac) == 1, "watch %s", mac);

    /* Discovery and polling only happen if the library serves its own events. */
    uint32_t v32 = 0;
    int ok = AttendreIO32(api, 0xFF, enumAttendu, 20000, &v32);
    VERIFIER(ok, "inputs 0x%02X never seen, last word 0x%08X", enumAttendu, v32);
    if (!ok)
        return;
    printf("host_c: inputs seen after %ld ms\n", MsDepuis(&debut));

    uint16_t v16 = 0;
    VERIFIER(api->GetIO(0, 0, &v16) == 1 && (v16 & 0xFF) == enumAttendu, "GetIO 0x%04X", v16);
    VERIFIER(api->GetAdc(0, 0, &v16) == 1 && v16 == adcAttendu, "GetAdc %u, want %u", v16,
             adcAttendu);

    /* Outputs 0x5A, relays 0b1010 (a second session uses other values). */
    const uint32_t sortie = premiere ? 0x00A05A00u : 0x00503C00u;
    VERIFIER(api->SetIO32(0, sortie) == 1, "SetIO32");
    ok = AttendreIO32(api, 0x00F0FF00u, sortie, 10000, &v32);
    VERIFIER(ok, "outputs/relays 0x%08X never seen, last 0x%08X", sortie, v32);

    const uint32_t dac = premiere ? 300 : 77; /* 300 keeps its low 8 bits: 44 */
    const uint16_t dacAttendu = (uint16_t)(dac & 0xFF);
    VERIFIER(api->SetDac(0, 1, dac) == 1, "SetDac");
    clock_gettime(CLOCK_MONOTONIC, &debut);
    v16 = 0;
    while (MsDepuis(&debut) < 10000 && !(api->GetDac(0, 1, &v16) == 1 && v16 == dacAttendu))
        usleep(50 * 1000);
    VERIFIER(v16 == dacAttendu, "analog output %u, want %u", v16, dacAttendu);

    char uart[64];
    memset(uart, 0, sizeof uart);
    VERIFIER(api->ReadUart(uart, (int)sizeof uart) == 1, "ReadUart");
    VERIFIER(strcmp(uart, uartAttendu) == 0, "UART text [%s], want [%s]", uart, uartAttendu);
    /* The last command goes right before Tavlin_Stop: it must still reach the device. An
     * unload runs under the loader's lock, which the worker may need: there the host gives it
     * time first. */
    VERIFIER(api->WriteUart(premiere ? "bonjour" : "encore") == 1, "WriteUart");
#ifdef HOTE_DLOPEN
    clock_gettime(CLOCK_MONOTONIC, &debut);
    while (MsDepuis(&debut) < 500) {
        api->GetIO32(0, &v32);
        usleep(50 * 1000);
    }
#endif
}

int main(int argc, char** argv)
{
    if (!ZorDansLeReseauDeTest("host_c"))
        return 4;
    int pasWx = 0;
    const char* bibliotheque = NULL;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--paswx") == 0)
            pasWx = 1;
        else if (strcmp(argv[i], "--dlopen") == 0 && i + 1 < argc)
            bibliotheque = argv[++i];
        else {
            fprintf(stderr, "usage: host_c [--paswx] [--dlopen LIBRARY]\n");
            return 2;
        }
    }
    setvbuf(stdout, NULL, _IONBF, 0);

    Api api;
    const int threadsAvant = CompterThreads();
#ifdef HOTE_DLOPEN
    if (!bibliotheque) {
        fprintf(stderr, "host_c_dlopen: --dlopen LIBRARY is required\n");
        return 2;
    }
    void* h = dlopen(bibliotheque, RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        fprintf(stderr, "host_c_dlopen: %s\n", dlerror());
        return 2;
    }
#  define CHARGER(champ, nom)                                                                      \
    do {                                                                                           \
      *(void**)(&api.champ) = dlsym(h, nom);                                                       \
      if (!api.champ) {                                                                            \
        fprintf(stderr, "host_c_dlopen: %s not exported\n", nom);                                  \
        return 2;                                                                                  \
      }                                                                                            \
    } while (0)
    CHARGER(Start, "Tavlin_Start");
    CHARGER(StartPasWx, "Tavlin_StartPasWx");
    CHARGER(Stop, "Tavlin_Stop");
    CHARGER(SurveillerAddrMAC, "Tavlin_SurveillerAddrMAC");
    CHARGER(SetPathDll, "Tavlin_SetPathDll");
    CHARGER(SetDefaultTimeSurveillanceMs, "Tavlin_SetDefaultTimeSurveillanceMs");
    CHARGER(GetIO, "GetIO");
    CHARGER(GetIO32, "GetIO32");
    CHARGER(SetIO32, "SetIO32");
    CHARGER(GetAdc, "GetAdc");
    CHARGER(GetDac, "GetDac");
    CHARGER(SetDac, "SetDac");
    CHARGER(ReadUart, "Tavlin_ReadUart");
    CHARGER(WriteUart, "Tavlin_WriteUart");
    CHARGER(GetDLLVersion, "GetDLLVersion");
    /* Internal symbols stay hidden. */
    VERIFIER(dlsym(h, "gbAppHote") == NULL, "internal flag exported");
    VERIFIER(dlsym(h, "ZorHostingPump") == NULL, "internal function exported");
#else
    if (bibliotheque) {
        fprintf(stderr, "host_c: this build links the library; use host_c_dlopen\n");
        return 2;
    }
    api.Start = Tavlin_Start;
    api.StartPasWx = Tavlin_StartPasWx;
    api.Stop = Tavlin_Stop;
    api.SurveillerAddrMAC = Tavlin_SurveillerAddrMAC;
    api.SetPathDll = Tavlin_SetPathDll;
    api.SetDefaultTimeSurveillanceMs = Tavlin_SetDefaultTimeSurveillanceMs;
    api.GetIO = GetIO;
    api.GetIO32 = GetIO32;
    api.SetIO32 = SetIO32;
    api.GetAdc = GetAdc;
    api.GetDac = GetDac;
    api.SetDac = SetDac;
    api.ReadUart = Tavlin_ReadUart;
    api.WriteUart = Tavlin_WriteUart;
    api.GetDLLVersion = GetDLLVersion;
#endif

    VERIFIER(api.GetDLLVersion() == 100, "version");
    VERIFIER(api.SetPathDll("/tmp") == 1, "SetPathDll");

    Session(&api, pasWx, 1);
#ifdef HOTE_DLOPEN
    /* No Tavlin_Stop: the unload stops the worker, closes the sockets, ends the toolkit. */
    VERIFIER(dlclose(h) == 0, "dlclose");
    if (dlopen(bibliotheque, RTLD_NOW | RTLD_NOLOAD) != NULL) {
        /* The C++ runtime may pin the library until exit; the unload then comes at exit. */
        printf("host_c: the library stays loaded until exit\n");
    } else {
        struct timespec debut;
        clock_gettime(CLOCK_MONOTONIC, &debut);
        int threads = CompterThreads();
        while (threads > threadsAvant && MsDepuis(&debut) < 3000) {
            usleep(50 * 1000);
            threads = CompterThreads();
        }
        VERIFIER(threads <= threadsAvant, "%d threads left after unload, %d before load", threads,
                 threadsAvant);
    }
#else
    (void)threadsAvant;
    VERIFIER(api.Stop() == 1, "stop");
    /* A second start in the same process builds the toolkit and the manager again. */
    Session(&api, pasWx, 0);
    VERIFIER(api.Stop() == 1, "second stop");
    VERIFIER(api.Stop() == 1, "stop when stopped");
#endif
    printf("host_c: %s\n", gEchecs ? "FAILED" : "passed");
    return gEchecs ? 1 : 0;
}
