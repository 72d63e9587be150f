// The library's load and unload. Unloading stops and deletes the device manager, and cleans
// up the toolkit when the library started it.
//
// Objects of this library are constructed in link order (infra/ before api/), so the log file
// object exists before the hook below and is destroyed after it.
#include "api/ZorHosting.h"

#if defined(_WIN32)

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH)
        ZorDllProcessAttach();
    else if (dwReason == DLL_PROCESS_DETACH)
        ZorDllProcessDetach();
    return TRUE;
}

#else

namespace {

struct ZorChargementBibliotheque
{
    ZorChargementBibliotheque() { ZorDllProcessAttach(); }
    ~ZorChargementBibliotheque() { ZorDllProcessDetach(); }
};

ZorChargementBibliotheque gChargement;

} // namespace

#endif
