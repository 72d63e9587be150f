// The two firmware boxes on the system clock against an emulated device, as the update sequence
// shows them: the upload ends 6 s after the last record, the post 1 s after a fast end.
#include "tests/ui/kit/ZorUiKit.h"

#include "emulator/EmuBoot.h"
#include "firmware/ZorPostFileDlg.h"
#include "firmware/ZorUploadFirmwareDlg.h"
#include "tests/common/ZorEmu.h"
#include "tests/common/ZorTestSupport.h"
#include "tests/firmware/ZorDossierMAJ.h"

namespace {

class FirmwareDlgLan : public zorui::WindowTest
{};

TEST_F(FirmwareDlgLan, BothBoxesUpdateTheEmulatedDevice)
{
    ASSERT_TRUE(zortest::InTestNetwork());
    zortest::Emu emu;
    ASSERT_TRUE(emu.Start(
        zortest::EnvOr("TAVLIN_NS_LAN1", ""),
        {"--first-ip", "192.168.77.10", "--reboot-secs", "60", "--version", "Tavlin v3"}));
    const std::string mac = emu.Get(0, "mac");
    ZorCarteEth pc1, pc2;
    pc1.m_zIP = "192.168.77.1";
    pc2.m_zIP = "192.168.78.1";
    ZorCarteEthPtrArray cartes;
    cartes.Add(&pc1);
    cartes.Add(&pc2);
    const std::string dossier = zortest::DossierMAJ(zortest::MakeTempDir("fwdlg"), 7, 48, 3000);

    ASSERT_EQ(emu.Command("REBOOT 0"), "OK");
    ASSERT_TRUE(zortest::PumpUntil(
        [&] {
            const std::string log = emu.Log();
            return emu.Get(0, "boot") == "1" && log.rfind("BOOT-JOIN") != std::string::npos;
        },
        5000));
    {
        ZorUploadFirmwareDlg dlg(nullptr, mac);
        ASSERT_TRUE(dlg.Init(dossier + "/tavlin.cry"));
        dlg.SetCartes(cartes);
        EXPECT_EQ(dlg.ShowModal(), 0);
        EXPECT_EQ(dlg.GetIdentifiant(), wxString(mac.substr(mac.size() - 5)));
    }
    EXPECT_EQ(emu.Get(0, "bootfnv"), emu::Fnv64(zortest::ReadFile(dossier + "/tavlin.cry")));
    {
        ZorPostFileDlg dlg(nullptr);
        ASSERT_TRUE(dlg.Init("192.168.77.10", "192.168.77.1", dossier + "/tavlin.bin",
                             "/mpfsupload", "name=\"fichier\"; filename=\"Tavlin.bin\"", 120,
                             false));
        EXPECT_EQ(dlg.ShowModal(), 0);
    }
    EXPECT_EQ(emu.Get(0, "webfnv"), emu::Fnv64(zortest::ReadFile(dossier + "/tavlin.bin")));
}

} // namespace
