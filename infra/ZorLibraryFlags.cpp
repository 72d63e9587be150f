#include "infra/ZorLibraryFlags.h"

#include "infra/ZorLogFile.h"

#include <wx/log.h>

#include <atomic>

bool gbAppHote = true;
bool gbPasWx = false;

namespace {
std::atomic<ZorUserNoticeHook> gNoticeHook{nullptr};

// The library's debug traces belong to its own log component ("tavlin"): a host that shows its
// own debug messages must not get ours. A build with TAVLIN_DEBUG_TRACES lets them through.
struct ZorTracesDeLaBibliotheque
{
    ZorTracesDeLaBibliotheque()
    {
        if (!ZOR_DEBUG_TRACES)
            wxLog::SetComponentLevel(wxLOG_COMPONENT, wxLOG_Info);
    }
} gTraces;
} // namespace

void ZorSetUserNoticeHook(ZorUserNoticeHook pHook)
{
    gNoticeHook = pHook;
}

void ZorUserNotice(const wxString& zTexte, const wxString& zTitre)
{
    if (ZorUserNoticeHook pHook = gNoticeHook.load())
        pHook(zTexte, zTitre);
    else
        gTheLogFile.Write(zTexte);
}
