// The flat C interface as a virtual I/O card: index and pointer rules, values before any
// start, the mapping between the device state and the card's words, and the commands the
// card calls queue for the monitored device.
#include "api/ZorHosting.h"
#include "api/ZorTavlinApi.h"
#include "device/ZorTavlinObj.h"
#include "infra/ZorUtile.h"
#include "tests/common/ZorTestSupport.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <string>

namespace {

const wxString kMAC = wxT("00-04-A3-00-00-01");
const wxString kIP = wxT("192.168.77.10");

void SansGestionnaire()
{
    if (gpTheTavlin) {
        gpTheTavlin->Stop();
        ZorTavlinObj::DeleteTavlinObj();
    }
    gbAppHote = true;
    gbPasWx = false;
}

class SansDemarrage : public testing::Test
{
protected:
    void SetUp() override { SansGestionnaire(); }
    void TearDown() override { SansGestionnaire(); }
};

// A device manager that counts as started without any worker, timer or socket, watching one
// registered device: commands stay in its queue where the test reads them.
class CarteVirtuelle : public testing::Test
{
protected:
    void SetUp() override
    {
        SansGestionnaire();
        ASSERT_TRUE(ZorTavlinObj::CreateTavlinObj());
        obj = gpTheTavlin;
        ASSERT_TRUE(obj->StartSansTransport(wxT("virtuelle")));
        obj->AddTavlin(kIP, wxT("labo"), kMAC, wxT("c"), wxT("admin"), wxT("pwd"),
                       wxT("255.255.255.0"), wxT("192.168.77.254"), false, wxT("192.168.77.1"),
                       wxT("255.255.255.0"), wxT("192.168.77.254"), wxT("3.1"));
        obj->SurveillerAddrMAC(kMAC);
    }
    void TearDown() override { SansGestionnaire(); }
    void Publier(const ZorTavlinData& etat) { ASSERT_TRUE(obj->PublierEtat(etat, kIP)); }
    ZorTavlinData Etat()
    {
        ZorTavlinData etat;
        etat.ReInit();
        etat.m_bValide = true;
        return etat;
    }
    // Queries queued since the last call, oldest first; the queue is emptied.
    std::vector<wxString> Requetes()
    {
        std::vector<wxString> r;
        for (ZorTavlinCommande c; r.size() < 10 && obj->PrendreCommande(&c);) {
            r.push_back(c.m_zQuery);
            EXPECT_EQ(c.m_zIP, kIP);
        }
        return r;
    }
    ZorTavlinObj* obj = nullptr;
};

} // namespace

TEST_F(SansDemarrage, CardDescriptionAndIndexRules)
{
    EXPECT_EQ(GetDLLVersion(), 100);
    EXPECT_EQ(GetNumInterface(), 1);
    EXPECT_EQ(GetInterfaceType(0), 65536);
    EXPECT_EQ(GetInterfaceType(1), 0);
    // Only the low 16 bits of an index count.
    EXPECT_EQ(GetInterfaceType(0x00010000), 65536);
    EXPECT_EQ(GetInterfaceType(0xFFFF0001), 0);

    EXPECT_EQ(SetIODir(0, 0, 0x1234), 1);
    EXPECT_EQ(SetIODir(0, 1, 0), 1);
    EXPECT_EQ(SetIODir(0, 2, 0), 0);
    EXPECT_EQ(SetIODir(1, 0, 0), 0);

    uint16_t dir = 0xABCD;
    EXPECT_EQ(GetIODir(0, 0, &dir), 1);
    EXPECT_EQ(dir, 0xFF00);
    EXPECT_EQ(GetIODir(0x20000, 0x30001, &dir), 1);
    EXPECT_EQ(dir, 0x0000);
    dir = 0xABCD;
    EXPECT_EQ(GetIODir(0, 2, &dir), 0);
    EXPECT_EQ(GetIODir(1, 0, &dir), 0);
    EXPECT_EQ(dir, 0xABCD);
    EXPECT_EQ(GetIODir(0, 0, nullptr), 0);

    uint32_t dir32 = 0;
    EXPECT_EQ(GetIODir32(0, &dir32), 1);
    EXPECT_EQ(dir32, 0x0000FF00u);
    EXPECT_EQ(GetIODir32(1, &dir32), 0);
    EXPECT_EQ(GetIODir32(0, nullptr), 0);

    uint32_t power = 7;
    EXPECT_EQ(GetPowerStatus(0, &power), 1);
    EXPECT_EQ(power, 1u);
    power = 7;
    EXPECT_EQ(GetPowerStatus(1, &power), 0);
    EXPECT_EQ(power, 0u);
    EXPECT_EQ(GetPowerStatus(0, nullptr), 0);

    // None of this needs the device manager.
    EXPECT_EQ(gpTheTavlin, nullptr);
}

TEST_F(SansDemarrage, RefusedCallsStartNothingAndTouchNothing)
{
    uint16_t v = 0xBEEF;
    uint32_t v32 = 0xDEADBEEF;
    // Port 1 carries nothing and needs no device.
    EXPECT_EQ(GetIO(0, 1, &v), 1);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(SetIO(0, 1, 0xFFFF), 1);

    v = 0xBEEF;
    EXPECT_EQ(GetIO(1, 0, &v), 0);
    EXPECT_EQ(GetIO(0, 2, &v), 0);
    EXPECT_EQ(GetIO(0, 0, nullptr), 0);
    EXPECT_EQ(SetIO(1, 0, 0), 0);
    EXPECT_EQ(SetIO(0, 2, 0), 0);
    EXPECT_EQ(GetIO32(1, &v32), 0);
    EXPECT_EQ(GetIO32(0, nullptr), 0);
    EXPECT_EQ(SetIO32(1, 0), 0);
    EXPECT_EQ(SetIODir32(1, 0), 0);
    EXPECT_EQ(GetAdc(0, 4, &v), 0);
    EXPECT_EQ(GetAdc(1, 0, &v), 0);
    EXPECT_EQ(GetAdc(0, 0, nullptr), 0);
    EXPECT_EQ(GetDac(0, 2, &v), 0);
    EXPECT_EQ(GetDac(1, 0, &v), 0);
    EXPECT_EQ(GetDac(0, 0, nullptr), 0);
    EXPECT_EQ(SetDac(0, 2, 10), 0);
    EXPECT_EQ(SetDac(1, 0, 10), 0);
    // The high half of a channel does not make a bad channel good.
    EXPECT_EQ(GetAdc(0, 0x10004, &v), 0);
    EXPECT_EQ(SetDac(0, 0x10002, 10), 0);
    EXPECT_EQ(GetPowerStatus(1, nullptr), 0);
    EXPECT_EQ(v, 0xBEEF);
    EXPECT_EQ(v32, 0xDEADBEEFu);

    // Forwarding calls without a device manager do nothing and create nothing.
    EXPECT_EQ(Tavlin_Stop(), 1);
    EXPECT_EQ(Tavlin_SurveillerAddrMAC("00-04-A3-00-00-01"), 1);
    EXPECT_EQ(Tavlin_SurveillerAddrMAC(nullptr), 0);
    EXPECT_EQ(Tavlin_SetDefaultTimeSurveillanceMs(200), 1);
    EXPECT_EQ(Tavlin_SetAuto(3), 1);
    EXPECT_EQ(Tavlin_WriteUart("abc"), 1);
    EXPECT_EQ(Tavlin_WriteUart(nullptr), 0);
    EXPECT_EQ(Tavlin_RazUart(), 1);
    EXPECT_EQ(Tavlin_SelectionnerUART(1), 0); // nowhere to keep the choice
    EXPECT_EQ(gpTheTavlin, nullptr);

    char buffer[6];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(Tavlin_ReadUart(buffer, 6), 1);
    EXPECT_EQ(std::string(buffer, 6), std::string(6, '\0'));
    EXPECT_EQ(Tavlin_ReadUart(nullptr, 6), 1);
    EXPECT_EQ(gpTheTavlin, nullptr);
}

TEST_F(SansDemarrage, SelectingTheSerialBoardNeedsAStartedManager)
{
    ASSERT_TRUE(ZorTavlinObj::CreateTavlinObj());
    EXPECT_EQ(Tavlin_SelectionnerUART(1), 0);
}

TEST_F(SansDemarrage, PathOfTheLibraryIsTakenByteForByte)
{
    const wxString zAvant = ZorUtile::m_zPathExe;
    EXPECT_EQ(Tavlin_SetPathDll(nullptr), 0);
    EXPECT_EQ(ZorUtile::m_zPathExe, zAvant);
    EXPECT_EQ(Tavlin_SetPathDll("/opt/caf\xE9/lib"), 1);
    EXPECT_EQ(ZorUtile::m_zPathExe, wxString(wxT("/opt/caf\u00E9/lib")));
    ZorUtile::SetPathExe(zAvant);
}

TEST_F(CarteVirtuelle, PortAnd32BitWordsComeFromThePublishedState)
{
    ZorTavlinData etat = Etat();
    etat.m_iSNUM = 0x5A;
    etat.m_iENUM = 0x81;
    etat.m_iSRELAIS = 0xF3; // only the four relays count
    Publier(etat);

    uint16_t v = 0;
    EXPECT_EQ(GetIO(0, 0, &v), 1);
    EXPECT_EQ(v, 0x5A81);
    uint32_t v32 = 0;
    EXPECT_EQ(GetIO32(0, &v32), 1);
    EXPECT_EQ(v32, 0x00305A81u);

    etat.m_iSNUM = 0xFF;
    etat.m_iENUM = 0x00;
    etat.m_iSRELAIS = 0x0C;
    Publier(etat);
    EXPECT_EQ(GetIO32(0, &v32), 1);
    EXPECT_EQ(v32, 0x00C0FF00u);
    EXPECT_EQ(GetIO(0, 0, &v), 1);
    EXPECT_EQ(v, 0xFF00);
}

TEST_F(CarteVirtuelle, AnalogChannels)
{
    ZorTavlinData etat = Etat();
    etat.m_iEANA1 = 1023;
    etat.m_iEANA2 = 4;
    etat.m_iEANA3 = 3;
    etat.m_iEANA4 = -4; // read as an unsigned 16-bit value
    etat.m_iSANA1 = 17;
    etat.m_iSANA2 = 255;
    Publier(etat);

    const uint16_t attendus[4] = {255, 1, 0, 0x3FFF};
    for (uint32_t canal = 0; canal < 4; ++canal) {
        uint16_t v = 0xFFFF;
        EXPECT_EQ(GetAdc(0, canal, &v), 1);
        EXPECT_EQ(v, attendus[canal]) << "channel " << canal;
    }
    uint16_t v = 0;
    EXPECT_EQ(GetAdc(0, 0x10003, &v), 1);
    EXPECT_EQ(v, 0x3FFF);
    EXPECT_EQ(GetDac(0, 0, &v), 1);
    EXPECT_EQ(v, 17);
    EXPECT_EQ(GetDac(0, 1, &v), 1);
    EXPECT_EQ(v, 255);
}

TEST_F(CarteVirtuelle, OutputCommandsForTheMonitoredDevice)
{
    EXPECT_EQ(SetIO(0, 0, 0x1234), 1);
    EXPECT_EQ(Requetes(), std::vector<wxString>{wxT("&SNUM=00010010")});

    EXPECT_EQ(SetIO32(0, 0x00A0FF00), 1);
    EXPECT_EQ(Requetes(), std::vector<wxString>{wxT("&SNUM=11111111&SRELAIS=1010")});
    // Bits 16-19 and 24-31 are not relays.
    EXPECT_EQ(SetIO32(0, 0xFF0F0100), 1);
    EXPECT_EQ(Requetes(), std::vector<wxString>{wxT("&SNUM=00000001&SRELAIS=0000")});

    EXPECT_EQ(SetDac(0, 1, 300), 1);
    EXPECT_EQ(Requetes(), std::vector<wxString>{wxT("&SANA2=44")});
    EXPECT_EQ(SetDac(0, 0, 255), 1);
    EXPECT_EQ(Requetes(), std::vector<wxString>{wxT("&SANA1=255")});
    EXPECT_EQ(SetDac(0, 0x10001, 0x1FF), 1);
    EXPECT_EQ(Requetes(), std::vector<wxString>{wxT("&SANA2=255")});

    // Without the serial board the direction is fixed: nothing is sent.
    EXPECT_EQ(SetIODir32(0, 0xFF00), 1);
    EXPECT_TRUE(Requetes().empty());
    EXPECT_EQ(SetIODir(0, 0, 0), 1);
    EXPECT_TRUE(Requetes().empty());

    EXPECT_EQ(Tavlin_SetAuto(-2), 1);
    EXPECT_EQ(Requetes(), std::vector<wxString>{wxT("&AUTO=-2")});
    EXPECT_EQ(Tavlin_RazUart(), 1);
    EXPECT_EQ(Requetes(), std::vector<wxString>{wxT("&RAZ_UART=1")});
}

TEST_F(CarteVirtuelle, SerialBoardReceivesTextCommands)
{
    // The choice is read at a start, from the instance's own settings.
    obj->Stop();
    ASSERT_TRUE(obj->StartSansTransport(wxT("uart")));
    ASSERT_TRUE(obj->SelectionnerUART(true));
    obj->Stop();
    ASSERT_TRUE(obj->StartSansTransport(wxT("uart")));
    ASSERT_TRUE(obj->IsModeUART());
    EXPECT_EQ(SetIO32(0, 0x00A0FF00), 1);
    EXPECT_EQ(Requetes(), std::vector<wxString>{wxT("&WRITE_UART=SFF00;")});
    EXPECT_EQ(SetIO32(0, 0x12345678), 1);
    EXPECT_EQ(Requetes(), std::vector<wxString>{wxT("&WRITE_UART=S5678;")});
    EXPECT_EQ(SetIODir32(0, 0xFF00), 1);
    EXPECT_EQ(Requetes(), std::vector<wxString>{wxT("&WRITE_UART=K00FF;")});
    EXPECT_EQ(SetIODir32(0, 0xABCD0000), 1);
    EXPECT_EQ(Requetes(), std::vector<wxString>{wxT("&WRITE_UART=KFFFF;")});
    // Port writes still drive the outputs directly.
    EXPECT_EQ(SetIO(0, 0, 0x0100), 1);
    EXPECT_EQ(Requetes(), std::vector<wxString>{wxT("&SNUM=00000001")});
}

TEST_F(CarteVirtuelle, SerialTextCrossesAsEightBitData)
{
    // Incoming bytes are ISO 8859-1, whatever the locale.
    EXPECT_EQ(Tavlin_WriteUart("caf\xE9 1"), 1);
    EXPECT_EQ(Requetes(), std::vector<wxString>{wxT("&WRITE_UART=caf%E9%201;")});
    // ... and percent-encoded: a host's text cannot carry a command of its own.
    EXPECT_EQ(Tavlin_WriteUart("y&SRELAIS=0110&z="), 1);
    EXPECT_EQ(Requetes(), std::vector<wxString>{wxT("&WRITE_UART=y%26SRELAIS%3D0110%26z%3D;")});

    ZorTavlinData etat = Etat();
    etat.m_zUART = wxT("caf\u00E9");
    Publier(etat);
    char buffer[8];

    // In the C locale the accented letter cannot be encoded: its ISO 8859-1 byte is given
    // rather than an empty text.
    const std::string zLocale = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(Tavlin_ReadUart(buffer, 8), 1);
    EXPECT_EQ(std::string(buffer, 8), std::string("caf\xE9\0\0\0\0", 8));

    etat.m_zUART = wxT("5\u20AC!");
    Publier(etat);
    EXPECT_EQ(Tavlin_ReadUart(buffer, 8), 1);
    EXPECT_EQ(std::string(buffer, 8), std::string("5?!\0\0\0\0\0", 8));

    // With a UTF-8 locale the host gets UTF-8.
    if (std::setlocale(LC_ALL, "C.UTF-8")) {
        etat.m_zUART = wxT("caf\u00E9");
        Publier(etat);
        EXPECT_EQ(Tavlin_ReadUart(buffer, 8), 1);
        EXPECT_EQ(std::string(buffer, 8), std::string("caf\xC3\xA9\0\0\0", 8));
    }
    std::setlocale(LC_ALL, zLocale.c_str());
}

TEST_F(CarteVirtuelle, ReadUartCopiesLikeStrncpy)
{
    ZorTavlinData etat = Etat();
    etat.m_zUART = wxT("ABCDEFGH");
    Publier(etat);

    char buffer[12];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(Tavlin_ReadUart(buffer, 4), 1);
    // Exactly four bytes, no terminator, nothing beyond.
    EXPECT_EQ(std::string(buffer, 12), std::string("ABCDxxxxxxxx"));
    EXPECT_EQ(Tavlin_ReadUart(buffer, 8), 1);
    EXPECT_EQ(std::string(buffer, 12), std::string("ABCDEFGHxxxx"));
    EXPECT_EQ(Tavlin_ReadUart(buffer, 12), 1);
    EXPECT_EQ(std::string(buffer, 12), std::string("ABCDEFGH\0\0\0\0", 12));

    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(Tavlin_ReadUart(buffer, 0), 1);
    EXPECT_EQ(Tavlin_ReadUart(buffer, -5), 1);
    EXPECT_EQ(std::string(buffer, 12), std::string(12, 'x'));
}

TEST_F(CarteVirtuelle, ForwardingCallsReachTheManager)
{
    EXPECT_EQ(Tavlin_SetDefaultTimeSurveillanceMs(250), 1);
    EXPECT_EQ(obj->GetDefaultTimeSurveillanceMs(), 250);

    EXPECT_EQ(Tavlin_SurveillerAddrMAC("00-04-A3-00-00-99"), 1);
    EXPECT_EQ(zortest::CibleDe(*obj).mac, wxT("00-04-A3-00-00-99"));
    EXPECT_TRUE(zortest::CibleDe(*obj).ip.empty());
    EXPECT_EQ(Tavlin_SurveillerAddrMAC("00-04-A3-00-00-01"), 1);
    EXPECT_EQ(zortest::CibleDe(*obj).ip, kIP);
}
