// A host with its own toolkit application that uses only the flat interface. Its own event
// loop serves the library's timer and sockets; the steps run from a timer of the host.
//
//   host_wx [--paswx] [--no-stop]
//
// --no-stop leaves the library started when the application ends: unloading the library at
// exit must then stop it without touching the toolkit the host already cleaned up.
// Device and expected values come from the environment set by with-emu.sh. Exit code 0 when
// every check passed.
#include "api/ZorTavlinApi.h"
#include "tests/common/ZorTestNetGuard.h"

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/log.h>
#include <wx/stopwatch.h>
#include <wx/timer.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

unsigned long EnvNombre(const char* nom)
{
    const char* v = std::getenv(nom);
    return v ? std::strtoul(v, nullptr, 0) : 0;
}

class HostApp : public wxApp
{
public:
    bool OnInit() override
    {
        if (!ZorDansLeReseauDeTest("host_wx"))
            return false;
        for (int i = 1; i < argc; ++i) {
            if (argv[i] == wxT("--paswx"))
                m_bPasWx = true;
            else if (argv[i] == wxT("--no-stop"))
                m_bSansStop = true;
            else if (argv[i] == wxT("--debug-log"))
                // A host author looking at the program's own debug messages: the library's
                // traces must not come along.
                wxLog::SetLogLevel(wxLOG_Max);
        }
        wxLogDebug(wxT("host_wx: debug messages of the host are shown"));
        const char* mac = std::getenv("TAVLIN_EMU_MAC");
        const char* uart = std::getenv("TAVLIN_EXPECT_UART");
        if (!mac || !uart) {
            std::fprintf(stderr, "host_wx: run through with-emu.sh\n");
            return false;
        }
        m_zUartAttendu = uart;
        m_iEnum = uint32_t(EnvNombre("TAVLIN_EXPECT_ENUM"));
        m_iAdc = uint16_t(EnvNombre("TAVLIN_EXPECT_ADC0"));

        // A window of the host, as a real program would have.
        m_pFrame = new wxFrame(nullptr, wxID_ANY, wxT("host_wx"));
        m_pFrame->Show();

        Verifier((m_bPasWx ? Tavlin_StartPasWx("hotewx", 0) : Tavlin_Start("hotewx", 0)) == 1,
                 "start");
        Verifier(Tavlin_SetDefaultTimeSurveillanceMs(50) == 1, "poll spacing");
        Verifier(Tavlin_SurveillerAddrMAC(mac) == 1, "watch");

        m_timer.SetOwner(this);
        Bind(wxEVT_TIMER, &HostApp::OnTick, this);
        m_timer.Start(50);
        m_chrono.Start();
        return true;
    }

    int OnRun() override
    {
        wxApp::OnRun();
        m_timer.Stop();
        if (!m_bSansStop)
            Verifier(Tavlin_Stop() == 1, "stop");
        std::printf("host_wx: %s\n", m_iEchecs ? "FAILED" : "passed");
        return m_iEchecs ? 1 : 0;
    }

private:
    void Verifier(bool bOk, const char* zQuoi, unsigned long iVu = 0)
    {
        if (!bOk) {
            std::fprintf(stderr, "host_wx: FAILED %s (0x%lX)\n", zQuoi, iVu);
            ++m_iEchecs;
        }
    }

    void Fin()
    {
        m_timer.Stop();
        m_pFrame->Destroy();
    }

    // Each step waits (bounded) for the state it expects, then goes on.
    void OnTick(wxTimerEvent&)
    {
        uint32_t v32 = 0;
        GetIO32(0, &v32);
        const long ms = m_chrono.Time();
        switch (m_iEtape) {
        case 0:
            if ((v32 & 0xFF) == m_iEnum) {
                std::printf("host_wx: inputs seen after %ld ms\n", ms);
                uint16_t v = 0;
                Verifier(GetAdc(0, 0, &v) == 1 && v == m_iAdc, "analog input", v);
                Verifier(SetIO32(0, 0x00A05A00) == 1, "SetIO32");
                Verifier(SetDac(0, 1, 300) == 1, "SetDac");
                m_iEtape = 1;
                m_chrono.Start();
            } else if (ms > 20000) {
                Verifier(false, "inputs never seen", v32);
                Fin();
            }
            break;
        case 1: {
            uint16_t dac = 0;
            GetDac(0, 1, &dac);
            if ((v32 & 0x00F0FF00) == 0x00A05A00 && dac == 44) {
                char buffer[64];
                std::memset(buffer, 0, sizeof buffer);
                Verifier(Tavlin_ReadUart(buffer, sizeof buffer) == 1, "ReadUart");
                Verifier(m_zUartAttendu == buffer, "UART text");
                Verifier(Tavlin_WriteUart("bonjour") == 1, "WriteUart");
                m_iEtape = 2;
                m_chrono.Start();
            } else if (ms > 10000) {
                Verifier(false, "outputs never seen", v32);
                Fin();
            }
            break;
        }
        default:
            if (ms > 500)
                Fin();
            break;
        }
    }

    wxFrame* m_pFrame = nullptr;
    wxTimer m_timer;
    wxStopWatch m_chrono;
    int m_iEtape = 0;
    int m_iEchecs = 0;
    bool m_bPasWx = false;
    bool m_bSansStop = false;
    uint32_t m_iEnum = 0;
    uint16_t m_iAdc = 0;
    std::string m_zUartAttendu;
};

} // namespace

wxIMPLEMENT_APP(HostApp);
