// tavlin-watch: finds the Tavlin devices on the PC's networks, lists them as they come and go,
// watches one device's state and, on request, drives its relays.
//
//   tavlin-watch [--seconds N] [--mac MAC] [--relays] [--time-alive S]
//
// Without --mac the first device found is watched. --relays walks a light through the relays.
#include "device/ZorTavlinObj.h"

#include <wx/app.h>
#include <wx/cmdline.h>
#include <wx/init.h>
#include <wx/socket.h>
#include <wx/timer.h>

#include <cstdio>

namespace {

class WatchApp : public wxAppConsole
{
public:
    bool OnInit() override
    {
        wxCmdLineParser parser(argc, argv);
        parser.AddOption(wxT("s"), wxT("seconds"), wxT("how long to run (default 20)"),
                         wxCMD_LINE_VAL_NUMBER);
        parser.AddOption(wxT("m"), wxT("mac"), wxT("MAC address of the device to watch"));
        parser.AddOption(wxT("t"), wxT("time-alive"), wxT("presence time-out in seconds"),
                         wxCMD_LINE_VAL_NUMBER);
        parser.AddSwitch(wxT("r"), wxT("relays"), wxT("walk a light through the relays"));
        if (parser.Parse() != 0)
            return false;
        long n = 20;
        if (parser.Found(wxT("seconds"), &n))
            m_secondsLeft = int(n);
        parser.Found(wxT("mac"), &m_mac);
        m_relays = parser.Found(wxT("relays"));

        wxSocketBase::Initialize();
        if (!ZorTavlinObj::CreateTavlinObj() || !gpTheTavlin->Start(wxT("watch"), false)) {
            std::fprintf(stderr, "tavlin-watch: the device manager could not start\n");
            return false;
        }
        if (parser.Found(wxT("time-alive"), &n))
            gpTheTavlin->SetTimeAlive(int(n));
        m_tick.SetOwner(this);
        Bind(wxEVT_TIMER, &WatchApp::OnTick, this);
        m_tick.Start(1000);
        return true;
    }

    int OnExit() override
    {
        m_tick.Stop();
        if (gpTheTavlin)
            gpTheTavlin->Stop();
        ZorTavlinObj::DeleteTavlinObj();
        return 0;
    }

private:
    void OnTick(wxTimerEvent&)
    {
        ZorTavlinInfoArray devices;
        gpTheTavlin->GetLesTavlin(devices);
        if (devices.GetCount() != m_lastCount) {
            m_lastCount = devices.GetCount();
            std::printf("%zu device(s):\n", m_lastCount);
            for (size_t i = 0; i < devices.GetCount(); ++i) {
                const ZorTavlinInfo& d = devices[i];
                std::printf("  %-17s %-15s %-12s version %-6s via %s  \"%s\"\n",
                            (const char*)d.m_zMAC.utf8_str(), (const char*)d.m_zIP.utf8_str(),
                            (const char*)d.m_zNom.utf8_str(), (const char*)d.m_zVersion.utf8_str(),
                            (const char*)d.m_zIPLocal.utf8_str(),
                            (const char*)d.m_zCommentaire.utf8_str());
            }
        }
        if (m_mac.empty() && devices.GetCount() > 0)
            m_mac = devices[0].m_zMAC;
        if (!m_mac.empty() && !m_watching) {
            gpTheTavlin->SurveillerAddrMAC(m_mac);
            m_watching = true;
            std::printf("watching %s\n", (const char*)m_mac.utf8_str());
        }
        if (m_watching) {
            ZorTavlinData etat;
            gpTheTavlin->GetEtat(etat);
            if (etat.m_bValide)
                std::printf("  relays %X outputs %02X inputs %02X analog %d %d %d %d button %d "
                            "clock %s\n",
                            etat.m_iSRELAIS, etat.m_iSNUM, etat.m_iENUM, etat.m_iEANA1,
                            etat.m_iEANA2, etat.m_iEANA3, etat.m_iEANA4, int(etat.m_bBOUTON),
                            (const char*)etat.m_zDATETIME.utf8_str());
            if (m_relays)
                gpTheTavlin->SetSRELAIS(uint8_t(1u << (m_step++ % 4)),
                                        false); // never block the loop
        }
        std::fflush(stdout);
        if (--m_secondsLeft <= 0)
            ExitMainLoop();
    }

    wxTimer m_tick;
    wxString m_mac;
    bool m_relays = false;
    bool m_watching = false;
    int m_secondsLeft = 20;
    size_t m_lastCount = size_t(-1);
    unsigned m_step = 0;
};

} // namespace

wxIMPLEMENT_APP_CONSOLE(WatchApp);
