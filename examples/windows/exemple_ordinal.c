/* Drives one Tavlin device from a plain C program on Windows, with ZorTavlinDllCom.dll loaded at
 * run time and its functions taken by ordinal (the numbers of ZorTavlinDllCom.def).
 *
 *   exemple_ordinal.exe 00-04-A3-12-34-56
 *
 * Build: x86_64-w64-mingw32-gcc exemple_ordinal.c -o exemple_ordinal.exe  (or cl exemple_ordinal.c)
 */
#include <windows.h>

#include <stdint.h>
#include <stdio.h>

typedef int(WINAPI* Start_t)(const char*, int);      /* ordinal 19 */
typedef int(WINAPI* Stop_t)(void);                   /* ordinal 20 */
typedef int(WINAPI* Surveiller_t)(const char*);      /* ordinal 17 */
typedef int(WINAPI* GetIO32_t)(uint32_t, uint32_t*); /* ordinal 12 */
typedef int(WINAPI* SetIO32_t)(uint32_t, uint32_t);  /* ordinal 11 */

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: %s HARDWARE-ADDRESS\n", argv[0]);
        return 2;
    }
    HMODULE h = LoadLibraryA("ZorTavlinDllCom.dll");
    if (!h) {
        fprintf(stderr, "ZorTavlinDllCom.dll not found\n");
        return 1;
    }
    Start_t Start = (Start_t)(void*)GetProcAddress(h, MAKEINTRESOURCEA(19));
    Stop_t Stop = (Stop_t)(void*)GetProcAddress(h, MAKEINTRESOURCEA(20));
    Surveiller_t Surveiller = (Surveiller_t)(void*)GetProcAddress(h, MAKEINTRESOURCEA(17));
    GetIO32_t GetIO32 = (GetIO32_t)(void*)GetProcAddress(h, MAKEINTRESOURCEA(12));
    SetIO32_t SetIO32 = (SetIO32_t)(void*)GetProcAddress(h, MAKEINTRESOURCEA(11));

    Start("exemple", 0);
    Surveiller(argv[1]);
    /* The library serves its events inside each call: poll for the first state (10 s at most). */
    uint32_t io = 0;
    for (int i = 0; i < 100 && io == 0; ++i) {
        GetIO32(0, &io);
        Sleep(100);
    }
    printf("inputs 0x%02X, outputs 0x%02X\n", (unsigned)(io & 0xFF), (unsigned)((io >> 8) & 0xFF));
    SetIO32(0, 0x00000100u); /* output 1 on, relays off */
    Sleep(500);
    Stop();
    FreeLibrary(h);
    return 0;
}
