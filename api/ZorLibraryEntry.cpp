// The library's load and unload. Unloading stops and deletes the device manager, and cleans
// up the toolkit when the library started it.
//
// The log file object is built before this hook and destroyed after it (it has the first
// construction priority); the order between files is otherwise unspecified.
#include "api/ZorHosting.h"

#if defined(_WIN32)

#  include <wx/msw/private.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID)
{
    if (dwReason == DLL_PROCESS_ATTACH) {
        // The toolkit lives inside this DLL: its window classes and resources are this module's.
        wxSetInstance(hInstance);
        ZorDllProcessAttach();
    } else if (dwReason == DLL_PROCESS_DETACH)
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
