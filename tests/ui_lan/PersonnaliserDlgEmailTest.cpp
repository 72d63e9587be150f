// The customisation dialog's e-mail page against an emulated device on the test network: the
// settings loaded from the device (password unscrambled), the messages of the page, the settings
// written back as the device received them; no e-mail request to a version 1 device; a device
// that does not answer. The loading's 1 s and 10 s rules run on a clock the test moves.
#include "tests/ui_lan/PersonnaliserDlgKit.h"

#include "api/ZorHosting.h"
#include "device/ZorEmailPwdCodec.h"
#include "device/ZorTavlinObj.h"
#include "infra/ZorTraduction.h"
#include "tests/common/ZorEmu.h"
#include "ui/ZorWaitForTavlinDlg.h"

#include <wx/checkbox.h>

namespace {

using zorperso::Dlg;
using zorperso::Retaper;
using P = ZorPersonnalisation;

const wchar_t* const kInjoignable =
    L"Impossible de joindre la Tavlin. \n\nMerci de vérifier son branchement puis de réessayer.";

class PersonnaliserDlgEmailTest : public zorui::WindowTest
{
protected:
    void SetUp() override
    {
        zorui::WindowTest::SetUp();
        if (IsSkipped())
            return;
        if (!zortest::InTestNetwork())
            GTEST_SKIP() << "needs the --lan test network";
        m_bHote = gbAppHote;
        gbAppHote = false;
        ASSERT_TRUE(ZorTavlinObj::CreateTavlinObj());
    }
    void TearDown() override
    {
        if (gpTheTavlin) {
            ZorTavlinObj::DeleteTavlinObj();
            gbAppHote = m_bHote;
        }
        zorui::WindowTest::TearDown();
    }

    // Starts the emulated device at 192.168.77.10 with this firmware version and the manager,
    // and waits until the manager has found it.
    void Demarrer(const char* zVersion)
    {
        ASSERT_TRUE(m_emu.Start(zortest::EnvOr("TAVLIN_NS_LAN1", ""),
                                {"--first-ip", "192.168.77.10", "--version", zVersion}));
        ASSERT_TRUE(gpTheTavlin->Start(wxT("perso"), false));
        ASSERT_TRUE(zorui::SettleUntil(
            [this] {
                ZorTavlinInfoArray a;
                gpTheTavlin->GetLesTavlin(a);
                for (size_t i = 0; i < a.GetCount(); ++i)
                    if (a[i].m_zIP == wxT("192.168.77.10"))
                        m_info = a[i];
                return !m_info.m_zMAC.empty();
            },
            5000));
    }
    std::unique_ptr<zorperso::DialogueOuvert> Ouvrir()
    {
        auto d = std::make_unique<zorperso::DialogueOuvert>(
            m_info.m_zMAC, m_info.m_zIP, m_info.m_zIPLocal, m_info.m_zVersion, false, m_horloge);
        zorui::TypeInto(d->W(Dlg::ID_MDP), "secret\r");
        EXPECT_EQ(d->pDlg->GetPage(), P::PAGE_PRINCIPALE);
        return d;
    }
    bool Journal(const std::string& zMorceau) { return m_emu.WaitLog(zMorceau, 3000); }
    // The e-mail button pressed: the wait box shows until the clock passes the first second.
    void Charger(zorperso::DialogueOuvert& d)
    {
        zorui::Click(d.W(Dlg::ID_EMAIL));
        EXPECT_EQ(d.pDlg->GetPage(), P::PAGE_CHARGEMENT);
        EXPECT_TRUE(d.pDlg->GetAttente()->IsShown());
        EXPECT_FALSE(d.pDlg->IsEnabled()) << "the wait box holds the input";
    }

    zortest::Emu m_emu;
    ZorTavlinInfo m_info;
    ZorManualClock m_horloge;
    zorui::LangueDuTest m_langue;

private:
    bool m_bHote = true;
};

// The scenarios with pictures run in French, the source texts, and in English as a host that set
// iZorLangue to 1 sees them.
class PersonnaliserDlgEmailLangues : public PersonnaliserDlgEmailTest,
                                     public testing::WithParamInterface<bool>
{
protected:
    void SetUp() override
    {
        m_langue.Choisir(GetParam());
        PersonnaliserDlgEmailTest::SetUp();
    }
    void TearDown() override
    {
        PersonnaliserDlgEmailTest::TearDown();
        m_langue.Choisir(false);
    }
};

INSTANTIATE_TEST_SUITE_P(, PersonnaliserDlgEmailLangues, testing::Bool(), zorui::NomDeLangue);

TEST_P(PersonnaliserDlgEmailLangues, LoadedCheckedAndWrittenBackAsTheDeviceReceivedIt)
{
    Demarrer("2");
    // Settings already on the device, written by the library's own command.
    gpTheTavlin->SurveillerAddrMAC(m_info.m_zMAC);
    ASSERT_TRUE(gpTheTavlin->WriteEmailConf(ZOR_CODE_ACCES, wxT("smtp.exemple.fr"), wxT("587"),
                                            wxT("alice"), wxT("Pa55word"), true, true));
    ASSERT_TRUE(Journal("EMAILCONF=Wd3kPv;smtp.exemple.fr;587;alice;"));

    auto d = Ouvrir();
    ASSERT_TRUE(Journal("SHOWEMAILCONF=1")) << "the watched device shows its e-mail settings";
    Charger(*d);
    ASSERT_TRUE(Journal("ETAT=1"));
    m_langue.Photographier(d->pDlg->GetAttente(), "perso_page4_chargement");
    zorui::Settle(400);
    EXPECT_EQ(d->pDlg->GetPage(), P::PAGE_CHARGEMENT) << "nothing is read before 1 s";
    m_horloge.Advance(P::kChargementMinMs + 1);
    ASSERT_TRUE(zorui::SettleUntil([&] { return d->pDlg->GetPage() == P::PAGE_EMAIL; }, 3000));
    EXPECT_FALSE(d->pDlg->GetAttente()->IsShown());
    EXPECT_FALSE(d->pDlg->IsChargementEnCours());
    zorui::SettleUntil([&] { return d->pDlg->IsEnabled(); }, 1000);

    auto* pServeur = d->C<wxTextCtrl>(Dlg::ID_SMTP_SERVEUR);
    auto* pPort = d->C<wxTextCtrl>(Dlg::ID_SMTP_PORT);
    auto* pLogin = d->C<wxTextCtrl>(Dlg::ID_SMTP_LOGIN);
    auto* pMdp = d->C<wxTextCtrl>(Dlg::ID_SMTP_MDP);
    auto* pConfirmation = d->C<wxTextCtrl>(Dlg::ID_SMTP_CONFIRMATION);
    auto* pSSL = d->C<wxCheckBox>(Dlg::ID_SMTP_SSL);
    EXPECT_EQ(pServeur->GetValue(), "smtp.exemple.fr");
    EXPECT_EQ(pPort->GetValue(), "587");
    EXPECT_EQ(pLogin->GetValue(), "alice");
    EXPECT_EQ(pMdp->GetValue(), "Pa55word") << "unscrambled";
    EXPECT_EQ(pConfirmation->GetValue(), "Pa55word");
    EXPECT_TRUE(pSSL->GetValue());
    EXPECT_EQ(wxWindow::FindFocus(), pServeur);
    zorperso::VerifierMiseEnPage(d->pDlg, P::PAGE_EMAIL);
    m_langue.Photographier(d->pDlg, "perso_page5_email");

    zorperso::Messages messages(d->pDlg);
    messages.Photo(m_langue.Photo("perso_message_champs_incomplets"));
    Retaper(pPort, "\r");
    zorperso::VerifierMessage(messages, ZorTr(L"Les champs doivent être tous complétés."));
    EXPECT_EQ(d->pDlg->GetPage(), P::PAGE_EMAIL);
    Retaper(pPort, "4a65");
    EXPECT_EQ(pPort->GetValue(), "465") << "digits only";
    messages.Photo(m_langue.Photo("perso_message_mots_de_passe_smtp_differents"));
    Retaper(pConfirmation, "Pa55wort\r");
    zorperso::VerifierMessage(messages, ZorTr(L"Les mots de passe SMTP saisis sont différents."));
    EXPECT_EQ(pMdp->GetValue(), "");
    EXPECT_EQ(pConfirmation->GetValue(), "");
    Retaper(pMdp, "N0uv!");
    Retaper(pConfirmation, "N0uv!");
    zorui::Click(pSSL);
    d->Ok();
    EXPECT_EQ(d->pDlg->GetPage(), P::PAGE_PRINCIPALE);
    EXPECT_FALSE(m_emu.WaitLog("EMAILCONF=Wd3kPv;smtp.exemple.fr;465", 300))
        << "written only when the dialog ends";
    d->Ok();
    EXPECT_EQ(d->pDlg->GetReturnCode(), wxID_OK);

    const std::string zAttendu =
        "EMAILCONF=Wd3kPv;smtp.exemple.fr;465;alice;" + zoremail::Encode("N0uv!") + ";0;";
    ASSERT_TRUE(Journal(zAttendu));
    ASSERT_TRUE(Journal("SHOWEMAILCONF=0"));
    EXPECT_EQ(m_emu.Get(0, "smtpport"), "465");
    EXPECT_EQ(m_emu.Get(0, "smtppwd"), zoremail::Encode("N0uv!"));
    EXPECT_EQ(m_emu.Get(0, "smtpssl"), "0");
    EXPECT_EQ(m_emu.Get(0, "showemailconf"), "0");
    EXPECT_TRUE(messages.records.empty());
}

TEST_F(PersonnaliserDlgEmailTest, VersionOneDeviceGetsNoEmailRequest)
{
    Demarrer("1");
    auto d = Ouvrir();
    EXPECT_FALSE(d->W(Dlg::ID_EMAIL)->IsEnabled());
    zorui::Click(d->W(Dlg::ID_EMAIL));
    EXPECT_EQ(d->pDlg->GetPage(), P::PAGE_PRINCIPALE);
    d->Ok();
    EXPECT_EQ(d->pDlg->GetReturnCode(), wxID_OK);
    zorui::Settle(500);
    EXPECT_TRUE(m_emu.LogLines("EMAILCONF").empty());
    EXPECT_TRUE(m_emu.LogLines("ETAT=1").empty());
}

// A device that stops answering: the message after 10 s on the dialog's clock, back to the main
// page; the next visit asks again, and closing during that loading stops it.
TEST_P(PersonnaliserDlgEmailLangues, SilentDeviceGivesTheMessageAfterTenSeconds)
{
    Demarrer("2");
    auto d = Ouvrir();
    ASSERT_TRUE(Journal("SHOWEMAILCONF=1"));
    ASSERT_EQ(m_emu.Command("SET 0 http=0"), "OK");
    zorui::Settle(300);
    Charger(*d);
    m_horloge.Advance(P::kChargementMinMs + 1);
    zorui::Settle(500);
    EXPECT_EQ(d->pDlg->GetPage(), P::PAGE_CHARGEMENT);

    zorperso::Messages messages(d->pDlg);
    messages.Photo(m_langue.Photo("perso_message_injoignable"));
    m_horloge.Advance(P::kChargementMaxMs - P::kChargementMinMs);
    ASSERT_TRUE(zorui::SettleUntil([&] { return !messages.records.empty(); }, 3000));
    zorui::SettleUntil([&] { return d->pDlg->IsEnabled(); }, 2000);
    zorperso::VerifierMessage(messages, ZorTr(kInjoignable));
    EXPECT_EQ(d->pDlg->GetPage(), P::PAGE_PRINCIPALE);
    EXPECT_FALSE(d->pDlg->IsChargementEnCours());
    EXPECT_FALSE(d->pDlg->GetAttente()->IsShown());

    ASSERT_EQ(m_emu.Command("SET 0 http=1"), "OK");
    const size_t iDemandes = m_emu.LogLines("ETAT=1").size();
    Charger(*d);
    EXPECT_TRUE(
        zorui::SettleUntil([&] { return m_emu.LogLines("ETAT=1").size() > iDemandes; }, 3000))
        << "a failed load is asked for again";
    d->pDlg->Close();
    zorui::Settle();
    EXPECT_EQ(d->pDlg->GetReturnCode(), wxID_CANCEL);
    EXPECT_FALSE(d->pDlg->IsChargementEnCours());
    EXPECT_FALSE(d->pDlg->GetAttente()->IsShown());
    EXPECT_TRUE(d->pDlg->IsEnabled()) << "input given back";
    EXPECT_TRUE(Journal("SHOWEMAILCONF=0"));
}

} // namespace
