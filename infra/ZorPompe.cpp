#include "infra/ZorPompe.h"

#include "infra/ZorClock.h"

#include <algorithm>

#include <wx/app.h>
#include <wx/apptrait.h>
#include <wx/evtloop.h>

namespace {
constexpr int kEvenementsParTour = 1000; // events served between two looks at done()
} // namespace

bool ZorPomper(int64_t iMs, const std::function<bool()>& done, const std::function<bool()>& stop,
               int iAttenteMaxMs)
{
    const int iAttenteMs = std::max(1, iAttenteMaxMs);
    // Real time, whatever clock a test gave the engine: a wait must end.
    static const ZorSystemClock horloge;
    wxAppConsole* pAppli = wxAppConsole::GetInstance();
    wxEventLoopBase* pBoucle = wxEventLoopBase::GetActive();
    if (!pBoucle && pAppli) {
        // No loop runs: one of ours, made once per application and left active for good. The
        // device manager's worker wakes the active loop from its own thread, so a loop made
        // and destroyed around each wait could be woken while it is being destroyed. Kept, not
        // deleted: the toolkit may still name it as the active loop while it shuts down.
        static wxAppConsole* s_pAppliDeLaBoucle = nullptr;
        static wxEventLoopBase* s_pBoucle = nullptr;
        if (!s_pBoucle || s_pAppliDeLaBoucle != pAppli) {
            s_pBoucle = pAppli->GetTraits()->CreateEventLoop();
            s_pAppliDeLaBoucle = pAppli;
        }
        wxEventLoopBase::SetActive(s_pBoucle);
        pBoucle = s_pBoucle;
    }
    const int64_t iFin = horloge.NowMs() + iMs;
    bool bFait = done && done();
    while (!bFait && !(stop && stop()) && horloge.NowMs() < iFin) {
        if (pBoucle) {
            pBoucle->DispatchTimeout(iAttenteMs);
            for (int i = 0; i < kEvenementsParTour && pBoucle->Pending(); ++i)
                pBoucle->Dispatch();
            if (pAppli)
                pAppli->ProcessPendingEvents();
            pBoucle->ProcessIdle();
        } else {
            horloge.SleepMs(iAttenteMs);
        }
        bFait = done && done();
    }
    return bFait;
}
