// Start, stop and toolkit sharing of the flat interface in a host that has its own toolkit
// application (the test program's). Hosts without one are exercised by tests/hosts.
#include "api/ZorHosting.h"
#include "api/ZorTavlinApi.h"
#include "device/ZorTavlinObj.h"
#include "infra/ZorConfiguration.h"
#include "infra/ZorLogFile.h"
#include "infra/ZorUtile.h"
#include "tests/common/ZorTestSupport.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/filename.h>
#include <wx/stdpaths.h>
#include <wx/stopwatch.h>

#include <sys/stat.h>

namespace {

// The test program's application (a console one without a display).
wxAppConsole* App()
{
    return wxAppConsole::GetInstance();
}

wxString DossierReglages()
{
    wxString zDir = wxStandardPaths::Get().GetDocumentsDir();
    ZorUtile::SmartAppendBackslash(zDir);
    return zDir + wxT("Tavlin");
}

class Hebergement : public testing::Test
{
protected:
    void SetUp() override { Nettoyer(); }
    void TearDown() override { Nettoyer(); }
    static void Nettoyer()
    {
        if (gpTheTavlin) {
            gpTheTavlin->Stop();
            ZorTavlinObj::DeleteTavlinObj();
        }
        gbAppHote = true;
        gbPasWx = false;
        wxRemoveFile(DossierReglages() + wxFILE_SEP_PATH + wxT("tavlindll_default.ini"));
    }
};

// An object whose destruction the test can see.
class Temoin : public wxObject
{
public:
    explicit Temoin(bool* pbDetruit) : m_pbDetruit(pbDetruit) {}
    ~Temoin() override { *m_pbDetruit = true; }

private:
    bool* m_pbDetruit;
};

} // namespace

TEST_F(Hebergement, HostApplicationKeepsItsToolkit)
{
    ASSERT_NE(App(), nullptr);
    EXPECT_EQ(Tavlin_Start(nullptr, 0), 1);
    ASSERT_NE(gpTheTavlin, nullptr);
    EXPECT_TRUE(gpTheTavlin->IsStarted());
    EXPECT_TRUE(gbAppHote);
    EXPECT_FALSE(gbPasWx);
    EXPECT_FALSE(ZorHostingOwnsToolkit());
    // The library never starts a second toolkit nor serves the host's events itself.
    EXPECT_FALSE(ZorHostingStartToolkit());
    EXPECT_EQ(ZorHostingPump(), 0);
    EXPECT_EQ(gpTheTavlin->GetNom(), wxT("default"));

    // The other start also asks the timer to read the sockets.
    EXPECT_EQ(Tavlin_StartPasWx(nullptr, 0), 1);
    EXPECT_TRUE(gbPasWx);
    EXPECT_TRUE(gbAppHote);

    EXPECT_EQ(Tavlin_Stop(), 1);
    // Stopped, not deleted: the host's objects may still refer to it.
    ASSERT_NE(gpTheTavlin, nullptr);
    EXPECT_FALSE(gpTheTavlin->IsStarted());
    EXPECT_NE(App(), nullptr);
}

TEST_F(Hebergement, InstanceNameIsEightBitAndFixedWhileStarted)
{
    EXPECT_EQ(Tavlin_Start("caf\xE9", 0), 1);
    ASSERT_NE(gpTheTavlin, nullptr);
    EXPECT_EQ(gpTheTavlin->GetNom(), wxString(wxT("caf\u00E9")));
    EXPECT_EQ(Tavlin_Start("autre", 0), 1);
    EXPECT_EQ(gpTheTavlin->GetNom(), wxString(wxT("caf\u00E9")));
}

TEST_F(Hebergement, RepeatedStartAndStop)
{
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Tavlin_Start(nullptr, 0), 1);
        ASSERT_NE(gpTheTavlin, nullptr);
        EXPECT_TRUE(gpTheTavlin->IsStarted()) << "cycle " << i;
        zortest::Pump(100);
        EXPECT_EQ(Tavlin_Stop(), 1);
        ASSERT_NE(gpTheTavlin, nullptr);
        EXPECT_FALSE(gpTheTavlin->IsStarted());
        EXPECT_EQ(Tavlin_Stop(), 1);
    }
}

TEST_F(Hebergement, InputCallStartsAndResumesTheLastDevice)
{
    ZorConfiguration reglages;
    reglages.Load(DossierReglages(), wxT("tavlindll_default.ini"));
    ASSERT_TRUE(reglages.Write(wxT("ADDR_MAC"), wxT("00-04-A3-11-22-33")));
    ASSERT_TRUE(reglages.Write(wxT("ADDR_IP"), wxT("192.168.77.20")));
    ASSERT_TRUE(reglages.Write(wxT("ADDR_IPLOCAL"), wxT("192.168.77.1")));

    uint32_t v32 = 0xFFFFFFFF;
    EXPECT_EQ(GetIO32(0, &v32), 1);
    ASSERT_NE(gpTheTavlin, nullptr);
    EXPECT_TRUE(gpTheTavlin->IsStarted());
    EXPECT_EQ(gpTheTavlin->GetNom(), wxT("default"));
    const zortest::Cible cible = zortest::CibleDe(*gpTheTavlin);
    EXPECT_EQ(cible.mac, wxT("00-04-A3-11-22-33"));
    EXPECT_EQ(cible.ip, wxT("192.168.77.20"));
    EXPECT_EQ(cible.ipLocal, wxT("192.168.77.1"));
    // No device has answered: the state read is an empty record.
    EXPECT_EQ(v32, 0u);

    // An explicit start without the flag does not resume it.
    Tavlin_Stop();
    ZorTavlinObj::DeleteTavlinObj();
    EXPECT_EQ(Tavlin_Start(nullptr, 0), 1);
    EXPECT_TRUE(zortest::CibleDe(*gpTheTavlin).ip.empty());
}

TEST_F(Hebergement, SerialBoardChoiceTakesEffectAtTheNextStart)
{
    EXPECT_EQ(Tavlin_Start(nullptr, 0), 1);
    ASSERT_NE(gpTheTavlin, nullptr);
    EXPECT_FALSE(gpTheTavlin->IsModeUART());
    // Only the low 8 bits select.
    EXPECT_EQ(Tavlin_SelectionnerUART(0x100), 1);
    // What the settings file holds, read by another reader as the next start would.
    auto choixUART = [] {
        ZorConfiguration reglages;
        reglages.Load(DossierReglages(), wxT("tavlindll_default.ini"));
        wxString zValeur;
        reglages.Read(wxT("SELECT_UART"), zValeur);
        return zValeur;
    };
    EXPECT_EQ(choixUART(), wxT("0"));
    EXPECT_EQ(Tavlin_SelectionnerUART(0x101), 1);
    EXPECT_EQ(choixUART(), wxT("1"));
    EXPECT_FALSE(gpTheTavlin->IsModeUART());

    EXPECT_EQ(Tavlin_Stop(), 1);
    EXPECT_EQ(Tavlin_SelectionnerUART(0), 0);
    EXPECT_EQ(Tavlin_Start(nullptr, 0), 1);
    EXPECT_TRUE(gpTheTavlin->IsModeUART());
}

TEST_F(Hebergement, SerialBoardChoiceNotKeptIsReported)
{
    EXPECT_EQ(Tavlin_Start(nullptr, 0), 1);
    ASSERT_NE(gpTheTavlin, nullptr);
    EXPECT_EQ(Tavlin_SelectionnerUART(0), 1);
    // The user made the settings file read-only: the choice cannot be kept, and the host is told.
    const std::string zFichier =
        (DossierReglages() + wxFILE_SEP_PATH + wxT("tavlindll_default.ini")).ToStdString();
    ASSERT_EQ(chmod(zFichier.c_str(), 0444), 0);
    EXPECT_EQ(Tavlin_SelectionnerUART(1), 0);
    EXPECT_EQ(zortest::ReadFile(zFichier), "SELECT_UART=0\r\n");
}

TEST_F(Hebergement, StopLetsTheHostFinishItsIdleWork)
{
    EXPECT_EQ(Tavlin_Start(nullptr, 0), 1);
    ASSERT_TRUE(gpTheTavlin && gpTheTavlin->IsStarted());

    bool bAppele = false;
    bool bDetruit = false;
    App()->CallAfter([&bAppele] { bAppele = true; });
    App()->ScheduleForDestruction(new Temoin(&bDetruit));
    int nIdle = 0;
    auto idle = [&nIdle](wxIdleEvent& event) {
        ++nIdle;
        if (nIdle < 3)
            event.RequestMore();
        event.Skip();
    };
    App()->Bind(wxEVT_IDLE, idle);
    EXPECT_EQ(Tavlin_Stop(), 1);
    App()->Unbind(wxEVT_IDLE, idle);
    EXPECT_TRUE(bAppele);
    EXPECT_TRUE(bDetruit);
    // Idle rounds go on while more is asked for, and stop when nothing is.
    EXPECT_EQ(nIdle, 3);
}

TEST_F(Hebergement, StopIsNotHeldByAWindowThatAlwaysWantsIdleTime)
{
    EXPECT_EQ(Tavlin_Start(nullptr, 0), 1);
    int nIdle = 0;
    auto idle = [&nIdle](wxIdleEvent& event) {
        ++nIdle;
        event.RequestMore();
        event.Skip();
    };
    App()->Bind(wxEVT_IDLE, idle);
    EXPECT_EQ(Tavlin_Stop(), 1);
    App()->Unbind(wxEVT_IDLE, idle);
    // A window that always asks for more idle time gets a bounded number of rounds.
    EXPECT_GT(nIdle, 1);
    EXPECT_LE(nIdle, 100);
}

TEST_F(Hebergement, UnloadStopsAndDeletesTheManager)
{
    ZorDllProcessAttach();
    EXPECT_EQ(Tavlin_Start(nullptr, 0), 1);
    ASSERT_TRUE(gpTheTavlin && gpTheTavlin->IsStarted());
    ZorDllProcessDetach();
    EXPECT_EQ(gpTheTavlin, nullptr);
    // The host's toolkit is not the library's to clean up.
    EXPECT_NE(App(), nullptr);

    const std::string zLog = zortest::ReadFile(std::string(ZorLogFile::GetPath().utf8_str()));
    const size_t iAttach = zLog.rfind("ZorTavlinDllCom DLL_PROCESS_ATTACH version [2.0]");
    const size_t iDebut = zLog.rfind("ZorTavlinDllCom DLL_PROCESS_DETACH DEBUT");
    const size_t iFin = zLog.rfind("ZorTavlinDllCom DLL_PROCESS_DETACH FIN");
    ASSERT_NE(iAttach, std::string::npos);
    ASSERT_NE(iDebut, std::string::npos);
    ASSERT_NE(iFin, std::string::npos);
    EXPECT_LT(iAttach, iDebut);
    EXPECT_LT(iDebut, iFin);

    // Unloading with nothing started is harmless.
    ZorDllProcessDetach();
    EXPECT_EQ(gpTheTavlin, nullptr);
}
