#include "infra/ZorPompe.h"

#include "infra/ZorClock.h"

#include <wx/app.h>
#include <wx/apptrait.h>
#include <wx/evtloop.h>

#include <memory>

namespace {
constexpr int kAttenteMs = 10;           // longest wait for one event
constexpr int kEvenementsParTour = 1000; // events served between two looks at done()
} // namespace

bool ZorPomper(int64_t iMs, const std::function<bool()>& done, const std::function<bool()>& stop)
{
    // Real time, whatever clock a test gave the engine: a wait must end.
    static const ZorSystemClock horloge;
    wxAppConsole* pAppli = wxAppConsole::GetInstance();
    wxEventLoopBase* pBoucle = wxEventLoopBase::GetActive();
    std::unique_ptr<wxEventLoopBase> propre;
    if (!pBoucle && pAppli) {
        propre.reset(pAppli->GetTraits()->CreateEventLoop());
        wxEventLoopBase::SetActive(propre.get());
        pBoucle = propre.get();
    }
    const int64_t iFin = horloge.NowMs() + iMs;
    bool bFait = done && done();
    while (!bFait && !(stop && stop()) && horloge.NowMs() < iFin) {
        if (pBoucle) {
            pBoucle->DispatchTimeout(kAttenteMs);
            for (int i = 0; i < kEvenementsParTour && pBoucle->Pending(); ++i)
                pBoucle->Dispatch();
            if (pAppli)
                pAppli->ProcessPendingEvents();
            pBoucle->ProcessIdle();
        } else {
            horloge.SleepMs(kAttenteMs);
        }
        bFait = done && done();
    }
    if (propre)
        wxEventLoopBase::SetActive(nullptr);
    return bFait;
}
