/* A plain Windows C host that loads ZorTavlinDllCom.dll at run time and reaches every flat
 * function by its ordinal only (GetProcAddress with MAKEINTRESOURCE), as hosts written against
 * the ordinal table do. It checks that the name gives the same function, calls each function
 * before any start (bad input, no device manager), then runs the session of host_c against the
 * emulated device of with-emu.sh: inputs, outputs, relays, analog output, serial port text; it
 * opens the device list twice (directly and through Tavlin_StartTS) and closes it as a user
 * cancelling would, then runs a second session started by Tavlin_StartPasWx. Exit 0 when every check passed. Every wait is bounded.
 *
 *   host_ordinal.exe [DLL]
 */
#include <windows.h>

#include <locale.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef BOOL(WINAPI* FnDllMain)(HINSTANCE, DWORD, LPVOID);
typedef int(WINAPI* FnV)(void);
typedef int(WINAPI* FnU)(uint32_t);
typedef int(WINAPI* FnUUU)(uint32_t, uint32_t, uint32_t);
typedef int(WINAPI* FnUUP16)(uint32_t, uint32_t, uint16_t*);
typedef int(WINAPI* FnUU)(uint32_t, uint32_t);
typedef int(WINAPI* FnUP32)(uint32_t, uint32_t*);
typedef int(WINAPI* FnS)(const char*);
typedef int(WINAPI* FnSI)(const char*, int);
typedef int(WINAPI* FnBI)(char*, int);
typedef int(WINAPI* FnI)(int);
typedef int(WINAPI* FnListe)(char*, int, char*, int, char*, int, char*, int);

/* The ordinal table integrators rely on. */
static const char* const kNoms[30] = {NULL,
                                      "DllMain",
                                      "GetDLLVersion",
                                      "GetNumInterface",
                                      "GetInterfaceType",
                                      "SetIODir",
                                      "GetIODir",
                                      "SetIO",
                                      "GetIO",
                                      "SetIODir32",
                                      "GetIODir32",
                                      "SetIO32",
                                      "GetIO32",
                                      "GetAdc",
                                      "GetDac",
                                      "SetDac",
                                      "GetPowerStatus",
                                      "Tavlin_SurveillerAddrMAC",
                                      "Tavlin_AfficherListe",
                                      "Tavlin_Start",
                                      "Tavlin_Stop",
                                      "Tavlin_SetPathDll",
                                      "Tavlin_SetDefaultTimeSurveillanceMs",
                                      "Tavlin_SetAuto",
                                      "Tavlin_StartTS",
                                      "Tavlin_ReadUart",
                                      "Tavlin_WriteUart",
                                      "Tavlin_RazUart",
                                      "Tavlin_StartPasWx",
                                      "Tavlin_SelectionnerUART"};
static FARPROC gF[30];
static int gEchecs = 0;

#define F(n, type) ((type)(void*)gF[n])
#define VERIFIER(cond, ...)                                                                        \
  do {                                                                                             \
    if (!(cond)) {                                                                                 \
      fprintf(stderr, "host_ordinal: FAILED %s: ", #cond);                                         \
      fprintf(stderr, __VA_ARGS__);                                                                \
      fprintf(stderr, "\n");                                                                       \
      ++gEchecs;                                                                                   \
    }                                                                                              \
  } while (0)

static unsigned long EnvHex(const char* nom)
{
    const char* v = getenv(nom);
    if (!v) {
        fprintf(stderr, "host_ordinal: %s is not set (run through with-emu.sh)\n", nom);
        exit(2);
    }
    return strtoul(v, NULL, 0);
}

/* Calls GetIO32 (ordinal 12) every 50 ms until the word masked equals want; at most ms. */
static int AttendreIO32(uint32_t mask, uint32_t want, DWORD ms, uint32_t* dernier)
{
    const ULONGLONG debut = GetTickCount64();
    *dernier = 0;
    while (GetTickCount64() - debut < ms) {
        if (F(12, FnUP32)(0, dernier) == 1 && (*dernier & mask) == want)
            return 1;
        Sleep(50);
    }
    return 0;
}

/* Closes the device list as a user cancelling it would: the first visible top-level window of
 * this process gets WM_CLOSE, at most 60 s after the start. */
static BOOL CALLBACK FermerFenetre(HWND hwnd, LPARAM lp)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != GetCurrentProcessId() || !IsWindowVisible(hwnd) || !IsWindowEnabled(hwnd))
        return TRUE;
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    *(int*)lp = 1;
    return FALSE;
}

static DWORD WINAPI Fermeur(LPVOID p)
{
    (void)p;
    const ULONGLONG debut = GetTickCount64();
    int ferme = 0;
    Sleep(3000); /* the list has found the devices */
    while (!ferme && GetTickCount64() - debut < 60000) {
        EnumWindows(FermerFenetre, (LPARAM)&ferme);
        Sleep(200);
    }
    return 0;
}

static void AvecFermeur(int (*appel)(void), int attendu, const char* quoi)
{
    HANDLE t = CreateThread(NULL, 0, Fermeur, NULL, 0, NULL);
    const int r = appel();
    VERIFIER(r == attendu, "%s gave %d, want %d", quoi, r, attendu);
    WaitForSingleObject(t, 65000);
    CloseHandle(t);
}

static char gListe[4][64];
static int Liste(void)
{
    return F(18, FnListe)(gListe[0], 64, gListe[1], 64, gListe[2], 64, gListe[3], 64);
}
static int StartTS(void)
{
    return F(24, FnV)();
}

/* Before any start: constants, bad input and the calls that need no device manager. */
static void AvantStart(HMODULE h)
{
    uint16_t v16 = 0;
    uint32_t v32 = 0;
    char uart[16];
    VERIFIER(F(1, FnDllMain)((HINSTANCE)h, DLL_THREAD_ATTACH, NULL) == TRUE, "DllMain");
    VERIFIER(F(2, FnV)() == 100, "GetDLLVersion");
    VERIFIER(F(3, FnV)() == 1, "GetNumInterface");
    VERIFIER(F(4, FnU)(0) == 0x10000 && F(4, FnU)(1) == 0, "GetInterfaceType");
    VERIFIER(F(5, FnUUU)(0, 0, 0) == 1 && F(5, FnUUU)(1, 0, 0) == 0 && F(5, FnUUU)(0, 2, 0) == 0,
             "SetIODir");
    VERIFIER(F(6, FnUUP16)(0, 0, &v16) == 1 && v16 == 0xFF00, "GetIODir 0x%04X", v16);
    VERIFIER(F(6, FnUUP16)(0, 1, &v16) == 1 && v16 == 0, "GetIODir port 1 0x%04X", v16);
    VERIFIER(F(6, FnUUP16)(0, 0, NULL) == 0 && F(6, FnUUP16)(0x10000, 0, &v16) == 1,
             "GetIODir null / high half ignored");
    VERIFIER(F(7, FnUUU)(1, 0, 0) == 0 && F(7, FnUUU)(0, 1, 0) == 1, "SetIO bad / port 1");
    VERIFIER(F(8, FnUUP16)(0, 0, NULL) == 0 && F(8, FnUUP16)(0, 5, &v16) == 0, "GetIO bad");
    VERIFIER(F(9, FnUU)(1, 0) == 0, "SetIODir32 bad interface");
    VERIFIER(F(10, FnUP32)(0, &v32) == 1 && v32 == 0xFF00 && F(10, FnUP32)(0, NULL) == 0,
             "GetIODir32 0x%08X", v32);
    VERIFIER(F(11, FnUU)(1, 0) == 0 && F(12, FnUP32)(0, NULL) == 0, "SetIO32 / GetIO32 bad");
    VERIFIER(F(13, FnUUP16)(0, 4, &v16) == 0 && F(14, FnUUP16)(0, 2, &v16) == 0 &&
                 F(15, FnUUU)(0, 2, 0) == 0,
             "analog channel out of range");
    v32 = 7;
    VERIFIER(F(16, FnUP32)(1, &v32) == 0 && v32 == 0, "GetPowerStatus bad interface");
    VERIFIER(F(16, FnUP32)(0, &v32) == 1 && v32 == 1 && F(16, FnUP32)(0, NULL) == 0,
             "GetPowerStatus");
    VERIFIER(F(17, FnS)(NULL) == 0 && F(17, FnS)("00-04-A3-00-00-01") == 1,
             "SurveillerAddrMAC without manager");
    memset(gListe, 'x', sizeof gListe);
    VERIFIER(Liste() == 0 && gListe[0][0] == 0 && gListe[3][63] == 0,
             "AfficherListe without manager");
    VERIFIER(F(20, FnV)() == 1, "Stop before start");
    VERIFIER(F(21, FnS)(NULL) == 0, "SetPathDll null");
    VERIFIER(F(22, FnI)(50) == 1 && F(23, FnI)(0) == 1, "SetDefaultTimeSurveillanceMs / SetAuto");
    memset(uart, 'x', sizeof uart);
    VERIFIER(F(25, FnBI)(uart, (int)sizeof uart) == 1 && uart[0] == 0, "ReadUart without manager");
    VERIFIER(F(26, FnS)(NULL) == 0 && F(27, FnV)() == 1, "WriteUart null / RazUart");
    VERIFIER(F(29, FnI)(0) == 0, "SelectionnerUART without manager (nowhere to keep it)");
}

static void Session(const char* mac, int premiere)
{
    const uint32_t enumAttendu = (uint32_t)EnvHex("TAVLIN_EXPECT_ENUM");
    const uint16_t adcAttendu = (uint16_t)EnvHex("TAVLIN_EXPECT_ADC0");
    const char* uartAttendu = getenv("TAVLIN_EXPECT_UART");
    uint32_t v32 = 0;
    uint16_t v16 = 0;
    VERIFIER((premiere ? F(19, FnSI)("hotec", 0) : F(28, FnSI)("hotec", 0)) == 1, "start");
    /* Starting a windowed toolkit must not change the host's locale (number formats). */
    const char* locale = setlocale(LC_NUMERIC, NULL);
    VERIFIER(locale && strcmp(locale, "C") == 0, "host locale changed to %s", locale);
    VERIFIER(F(22, FnI)(50) == 1, "poll spacing");
    VERIFIER(F(17, FnS)(mac) == 1, "watch %s", mac);
    const ULONGLONG debut = GetTickCount64();
    int ok = AttendreIO32(0xFF, enumAttendu, 20000, &v32);
    VERIFIER(ok, "inputs 0x%02X never seen, last word 0x%08X", enumAttendu, v32);
    if (!ok)
        return;
    printf("host_ordinal: inputs seen after %llu ms\n", GetTickCount64() - debut);
    VERIFIER(F(8, FnUUP16)(0, 0, &v16) == 1 && (v16 & 0xFF) == enumAttendu, "GetIO 0x%04X", v16);
    VERIFIER(F(13, FnUUP16)(0, 0, &v16) == 1 && v16 == adcAttendu, "GetAdc %u", v16);
    VERIFIER(F(9, FnUU)(0, 0xFF00) == 1, "SetIODir32 (no serial extension: nothing)");

    const uint32_t sortie = premiere ? 0x00A05A00u : 0x00503C00u;
    VERIFIER(F(11, FnUU)(0, sortie) == 1, "SetIO32");
    ok = AttendreIO32(0x00F0FF00u, sortie, 10000, &v32);
    VERIFIER(ok, "outputs/relays 0x%08X never seen, last 0x%08X", sortie, v32);
    VERIFIER(F(7, FnUUU)(0, 0, sortie) == 1, "SetIO port 0 (same outputs)");

    const uint32_t dac = premiere ? 300 : 77;
    VERIFIER(F(15, FnUUU)(0, 1, dac) == 1, "SetDac");
    const ULONGLONG t = GetTickCount64();
    v16 = 0;
    while (GetTickCount64() - t < 10000 &&
           !(F(14, FnUUP16)(0, 1, &v16) == 1 && v16 == (dac & 0xFF)))
        Sleep(50);
    VERIFIER(v16 == (dac & 0xFF), "analog output %u", v16);

    char uart[64];
    memset(uart, 0, sizeof uart);
    VERIFIER(F(25, FnBI)(uart, (int)sizeof uart) == 1 && strcmp(uart, uartAttendu) == 0,
             "UART text [%s], want [%s]", uart, uartAttendu);
    VERIFIER(F(26, FnS)(premiere ? "bonjour" : "encore") == 1, "WriteUart");
    VERIFIER(F(23, FnI)(0) == 1, "SetAuto");
    VERIFIER(F(29, FnI)(0) == 1, "SelectionnerUART");
}

int main(int argc, char** argv)
{
    const char* zDll = argc > 1 ? argv[1] : "ZorTavlinDllCom.dll";
    const char* mac = getenv("TAVLIN_EMU_MAC");
    const char* net = getenv("TAVLIN_TESTNET");
    if (!net || strcmp(net, "1") != 0 || !mac || !getenv("TAVLIN_EXPECT_UART")) {
        fprintf(stderr, "host_ordinal: refused: run through with-emu.sh in tools/testnet.sh\n");
        return 4;
    }
    setvbuf(stdout, NULL, _IONBF, 0);
    HMODULE h = LoadLibraryA(zDll);
    if (!h) {
        fprintf(stderr, "host_ordinal: LoadLibrary(%s) failed: %lu\n", zDll, GetLastError());
        return 2;
    }
    for (int n = 1; n <= 29; ++n) {
        gF[n] = GetProcAddress(h, MAKEINTRESOURCEA(n));
        VERIFIER(gF[n] != NULL, "ordinal %d missing", n);
        VERIFIER(gF[n] == GetProcAddress(h, kNoms[n]), "ordinal %d is not %s", n, kNoms[n]);
    }
    if (gEchecs)
        return 1;
    VERIFIER(GetProcAddress(h, MAKEINTRESOURCEA(30)) != NULL, "no class interface from 30 on");

    AvantStart(h);
    Session(mac, 1);
    /* The device list, cancelled: 0 and empty texts. */
    memset(gListe, 'x', sizeof gListe);
    AvecFermeur(Liste, 0, "AfficherListe cancelled");
    VERIFIER(gListe[0][0] == 0 && gListe[1][0] == 0, "texts of a cancelled list");
    VERIFIER(F(20, FnV)() == 1, "stop");
    VERIFIER(F(29, FnI)(0) == 0, "SelectionnerUART when stopped");
    VERIFIER(F(27, FnV)() == 1, "RazUart when stopped");
    AvecFermeur(StartTS, 0, "StartTS cancelled");
    VERIFIER(F(20, FnV)() == 1, "stop after StartTS");
    /* A second start in the same process (without a toolkit of its own) builds everything again. */
    Session(mac, 0);
    VERIFIER(F(20, FnV)() == 1 && F(20, FnV)() == 1, "second stop, stop when stopped");
    VERIFIER(FreeLibrary(h), "FreeLibrary");
    printf("host_ordinal: %s\n", gEchecs ? "FAILED" : "passed");
    return gEchecs ? 1 : 0;
}
