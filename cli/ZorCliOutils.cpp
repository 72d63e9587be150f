#include "cli/ZorCliOutils.h"

#include "device/ZorTavlinObj.h"
#include "infra/ZorClock.h"
#include "network/ZorAdresseIP.h"
#include "infra/ZorTraduction.h"

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

const ZorClock& Horloge()
{
    return ZorDefaultClock();
}

} // namespace

void ZorCliSuivreInterruptions()
{
    std::signal(SIGINT, SurSignal);
    std::signal(SIGTERM, SurSignal);
}

bool ZorCliInterrompu()
{
    return gbInterrompu != 0;
}

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

std::string ZorCliTr(const char* zFrancais, std::initializer_list<std::string> valeurs)
{
    const std::string zTexte = ZorTrU8(zFrancais);
    std::string out;
    auto it = valeurs.begin();
    for (size_t i = 0; i < zTexte.size(); ++i) {
        if (zTexte[i] == '%' && i + 1 < zTexte.size() && zTexte[i + 1] == 's' &&
            it != valeurs.end()) {
            out += *it++;
            ++i;
        } else {
            out += zTexte[i];
        }
    }
    return out;
}

std::string ZorCliSur(const std::string& z)
{
    std::string out;
    out.reserve(z.size());
    auto echapper = [&out](unsigned char c) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x%02x", unsigned(c));
        out += buf;
    };
    for (size_t i = 0; i < z.size();) {
        const unsigned char c = static_cast<unsigned char>(z[i]);
        if (c < 0x20 || c == 0x7F) {
            echapper(c);
            ++i;
            continue;
        }
        if (c < 0x80) {
            out += char(c);
            ++i;
            continue;
        }
        // A UTF-8 sequence: its length from the lead byte, then continuation bytes only.
        const size_t n = c >= 0xC2 && c <= 0xDF   ? 2
                         : c >= 0xE0 && c <= 0xEF ? 3
                         : c >= 0xF0 && c <= 0xF4 ? 4
                                                  : 0;
        bool bValide = n > 0 && i + n <= z.size();
        for (size_t k = 1; bValide && k < n; ++k)
            bValide = (static_cast<unsigned char>(z[i + k]) & 0xC0) == 0x80;
        if (!bValide) {
            echapper(c);
            ++i;
        } else if (c == 0xC2 && static_cast<unsigned char>(z[i + 1]) < 0xA0) {
            echapper(static_cast<unsigned char>(z[i + 1])); // a C1 control, e.g. CSI
            i += 2;
        } else {
            out.append(z, i, n);
            i += n;
        }
    }
    return out;
}

std::string ZorCliCsv(const std::string& zTexte)
{
    std::string z = zTexte;
    if (!z.empty() && std::string("=+-@\t\r").find(z[0]) != std::string::npos)
        z.insert(0, 1, '\'');
    if (z.find_first_of(",\"\r\n") == std::string::npos)
        return z;
    std::string out = "\"";
    for (char c : z)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

void ZorCliEcrire(const std::string& zTexte)
{
    const std::string z = ZorCliSur(zTexte);
    std::fputs(z.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void ZorCliHello()
{
    gpTheTavlin->m_network.SendHello(wxT("255.255.255.255"), wxEmptyString, 'D');
}

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
