#include "infra/ZorLibraryFlags.h"

#include "infra/ZorLogFile.h"

#include <atomic>

bool gbAppHote = true;
bool gbPasWx = false;

namespace {
std::atomic<ZorUserNoticeHook> gNoticeHook{nullptr};
}

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
