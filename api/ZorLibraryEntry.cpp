// The library's load and unload. Unloading stops and deletes the device manager, and cleans
// up the toolkit when the library started it.
//
// The log file object is built before this hook and destroyed after it (it has the first
// construction priority); the order between files is otherwise unspecified.
#include "api/ZorHosting.h"

#if defined(_WIN32)

#  include <windows.h>

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
