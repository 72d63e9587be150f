#include "cli/ZorCliOutils.h"

#include "device/ZorTavlinObj.h"
#include "infra/ZorClock.h"
#include "network/ZorAdresseIP.h"

#include <wx/app.h>
#include <wx/apptrait.h>
#include <wx/evtloop.h>

#include <csignal>
#include <cstdio>
#include <memory>

namespace {

constexpr int kHelloMs = 1000; // between hellos while waiting for devices

volatile std::sig_atomic_t gbInterrompu = 0;
// The first signal asks every wait to end and the verb to wind up; the handler then steps
// aside, so a second Ctrl-C ends the program at once whatever it is doing.
void SurSignal(int iSignal)
{
    gbInterrompu = 1;
    std::signal(iSignal, SIG_DFL);
}

const ZorClock& Horloge() { return ZorDefaultClock(); }

} // namespace

void ZorCliSuivreInterruptions()
{
    std::signal(SIGINT, SurSignal);
    std::signal(SIGTERM, SurSignal);
}

bool ZorCliInterrompu() { return gbInterrompu != 0; }

bool ZorCliPomper(int iMs, const std::function<bool()>& done)
{
    wxEventLoopBase* pBoucle = wxEventLoopBase::GetActive();
    std::unique_ptr<wxEventLoopBase> propre;
    if (!pBoucle) {
        propre.reset(wxAppConsole::GetInstance()->GetTraits()->CreateEventLoop());
        wxEventLoopBase::SetActive(propre.get());
        pBoucle = propre.get();
    }
    const int64_t iFin = Horloge().NowMs() + iMs;
    bool bFait = done && done();
    while (!bFait && !gbInterrompu && Horloge().NowMs() < iFin) {
        pBoucle->DispatchTimeout(10);
        for (int i = 0; i < 1000 && pBoucle->Pending(); ++i)
            pBoucle->Dispatch();
        wxAppConsole::GetInstance()->ProcessPendingEvents();
        bFait = done && done();
    }
    if (propre)
        wxEventLoopBase::SetActive(nullptr);
    return bFait;
}

void ZorCliEcrire(const std::string& z)
{
    std::fputs(z.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void ZorCliHello() { gpTheTavlin->m_network.SendHello(wxT("255.255.255.255"), wxEmptyString, 'D'); }

bool ZorCliDecouvrir(int iMs, const std::function<bool()>& done)
{
    int64_t iProchain = Horloge().NowMs() + kHelloMs;
    return ZorCliPomper(iMs, [&] {
        if (Horloge().NowMs() >= iProchain) {
            ZorCliHello();
            iProchain = Horloge().NowMs() + kHelloMs;
        }
        return done && done();
    });
}

bool ZorCliJoignable(const ZorTavlinInfo& d)
{
    return ZorAdresseIP::IsSameReseau(d.m_zIP, d.m_zIPLocal, d.m_zMaskLocal);
}

bool ZorCliChercherDans(const ZorTavlinInfoArray& tous, const std::string& zCible, ZorTavlinInfo* p)
{
    std::string zMAC;
    const bool bMAC = ZorCliMAC(zCible, &zMAC);
    for (size_t i = 0; i < tous.GetCount(); ++i)
        if (bMAC ? ZorCliU8(tous[i].m_zMAC) == zMAC : ZorCliU8(tous[i].m_zIP) == zCible) {
            if (p)
                *p = tous[i];
            return true;
        }
    return false;
}

bool ZorCliTrouver(const std::string& zCible, int iSecondes, ZorTavlinInfo* p)
{
    auto present = [&] {
        ZorTavlinInfoArray tous;
        gpTheTavlin->GetLesTavlin(tous);
        return ZorCliChercherDans(tous, zCible, p);
    };
    return ZorCliDecouvrir(iSecondes * 1000, present) || present();
}
