// The two firmware boxes on screen: the post box's end delays, Return with and without cancel
// allowed, and both boxes during a transfer (screenshots). The post goes to a small web server
// of the test on the loopback; the time rules run on a manual clock.
#include "tests/ui/kit/ZorUiKit.h"

#include "firmware/ZorPostFileDlg.h"
#include "firmware/ZorUploadFirmwareDlg.h"
#include "tests/common/ZorEmu.h"

#include <wx/button.h>
#include <wx/gauge.h>
#include <wx/stattext.h>

#include <arpa/inet.h>
#include <atomic>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

// Answers one POST on 127.0.0.1:80 with 200, once allowed to.
class Serveur
{
public:
    Serveur()
    {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int un = 1;
        setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &un, sizeof un);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(80);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_ok = bind(m_fd, (sockaddr*)&a, sizeof a) == 0 && listen(m_fd, 4) == 0;
        m_thread = std::thread([this] { Servir(); });
    }
    ~Serveur()
    {
        m_fin = true;
        m_thread.join();
        close(m_fd);
    }
    bool Ok() const { return m_ok; }
    void Repondre() { m_repondre = true; }

private:
    void Servir()
    {
        pollfd p{m_fd, POLLIN, 0};
        for (int i = 0; i < 1500 && !m_fin && poll(&p, 1, 20) <= 0; ++i) {
        }
        if (m_fin || !(p.revents & POLLIN))
            return;
        const int c = accept(m_fd, nullptr, nullptr);
        for (int i = 0; i < 1500 && !m_fin && !m_repondre; ++i)
            usleep(20000);
        zortest::ReadSocket(c, 200); // the request, whatever it holds
        const char reponse[] = "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nOK\n";
        if (m_repondre && send(c, reponse, sizeof reponse - 1, MSG_NOSIGNAL) < 0)
            ADD_FAILURE() << "reply not sent";
        close(c);
    }
    int m_fd = -1;
    bool m_ok = false;
    std::atomic<bool> m_fin{false}, m_repondre{false};
    std::thread m_thread;
};

// Runs steps inside a modal loop, one per tick until it returns true; gives up (ending the box
// with -999) after a bounded number of ticks.
class Pilote : public wxEvtHandler
{
public:
    Pilote(wxDialog& dlg, std::vector<std::function<bool()>> etapes)
        : m_dlg(dlg), m_etapes(std::move(etapes)), m_timer(this)
    {
        Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Tic(); });
        m_timer.Start(20);
    }

private:
    void Tic()
    {
        if (m_occupe)
            return;
        m_occupe = true;
        if (++m_iTics > 1500 && m_dlg.IsModal())
            m_dlg.EndModal(-999);
        else if (m_iEtape < m_etapes.size() && m_etapes[m_iEtape]())
            ++m_iEtape;
        m_occupe = false;
    }
    wxDialog& m_dlg;
    std::vector<std::function<bool()>> m_etapes;
    wxTimer m_timer;
    size_t m_iEtape = 0;
    int m_iTics = 0;
    bool m_occupe = false;
};

class FirmwareDlgTest : public zorui::WindowTest
{
protected:
    void SetUp() override
    {
        zorui::WindowTest::SetUp();
        fichier = zortest::MakeTempDir("post") + "/tavlin.bin";
        zortest::WriteFile(fichier, std::string(4096, 'x'));
    }
    std::string fichier;
    ZorManualClock clock;
};

TEST_F(FirmwareDlgTest, PostBoxEndsOneSecondAfterAFastEndAndHalfASecondAfterASlowOne)
{
    for (int64_t iAvant : {0, 2500}) {
        SCOPED_TRACE(iAvant);
        Serveur serveur;
        ASSERT_TRUE(serveur.Ok());
        auto* dlg = new ZorPostFileDlg(nullptr, clock);
        ASSERT_TRUE(dlg->Init("127.0.0.1", "127.0.0.1", fichier, "/mpfsupload",
                              "name=\"fichier\"; filename=\"Tavlin.bin\"", 120, false));
        int64_t iDelai = -1;
        Pilote pilote(*dlg, {[&] {
                                 EXPECT_EQ(dlg->GetTitle(), "Tavlin");
                                 EXPECT_EQ(dlg->GetSize(), wxSize(440, 200));
                                 EXPECT_FALSE(dlg->GetBoutonAnnuler()->IsShown());
                                 if (iAvant == 0)
                                     zorui::Screenshot(dlg, "postfiledlg_transfer");
                                 clock.Advance(iAvant);
                                 serveur.Repondre();
                                 return true;
                             },
                             [&] {
                                 iDelai = dlg->GetTransfert().DelaiProchaineEcheance();
                                 if (iDelai > 1000)
                                     return false;
                                 clock.Advance(iDelai - 1);
                                 dlg->GetTransfert().Verifier();
                                 EXPECT_TRUE(dlg->IsModal()); // not a millisecond early
                                 clock.Advance(1);
                                 dlg->GetTransfert().Verifier();
                                 return true;
                             }});
        EXPECT_EQ(dlg->ShowModal(), 0);
        EXPECT_EQ(iDelai, iAvant ? 500 : 1000);
        EXPECT_EQ(dlg->GetReponse(), "OK\n");
        dlg->Destroy();
    }
}

TEST_F(FirmwareDlgTest, ReturnCancelsOnlyWhenCancelIsAllowed)
{
    for (bool bAnnulable : {true, false}) {
        SCOPED_TRACE(bAnnulable);
        Serveur serveur;
        auto* dlg = new ZorPostFileDlg(nullptr, clock);
        ASSERT_TRUE(dlg->Init("127.0.0.1", "", fichier, "/mpfsupload", "", 120, bAnnulable));
        Pilote pilote(*dlg, {[&] {
                                 if (!dlg->IsShownOnScreen())
                                     return false;
                                 dlg->Raise();
                                 dlg->SetFocus();
                                 zorui::Settle(100);
                                 return true;
                             },
                             [&] {
                                 EXPECT_EQ(dlg->GetBoutonAnnuler()->IsShown(), bAnnulable);
                                 EXPECT_TRUE(zorui::TextFits(dlg->GetTexte()));
                                 if (bAnnulable)
                                     zorui::Screenshot(dlg, "postfiledlg_cancel_allowed");
                                 zorui::PressKey(WXK_RETURN);
                                 zorui::PressKey(WXK_ESCAPE); // never ends the box
                                 return true;
                             },
                             [&] {
                                 EXPECT_TRUE(dlg->IsModal())
                                     << "Return and Escape did nothing without cancel";
                                 serveur.Repondre();
                                 clock.Advance(ZorPostFileTransfert::kDelaiMaxMs -
                                               5000); // still before the time limit
                                 return true;
                             },
                             [&] {
                                 const int64_t iDelai =
                                     dlg->GetTransfert().DelaiProchaineEcheance();
                                 if (iDelai > 1000)
                                     return false;
                                 clock.Advance(iDelai);
                                 dlg->GetTransfert().Verifier();
                                 return true;
                             }});
        EXPECT_EQ(dlg->ShowModal(), bAnnulable ? -11 : 0);
        EXPECT_EQ(dlg->GetResultat(), bAnnulable ? ZorCodePost::ANNULE : ZorCodePost::SUCCES);
        dlg->Destroy();
    }
}

TEST_F(FirmwareDlgTest, UploadBoxShowsTheCapturedDeviceAndEndsWithTenWithoutAdapter)
{
    const std::string image = zortest::MakeTempDir("boot") + "/tavlin.cry";
    zortest::WriteFile(image, std::string(240, 'i'));
    auto* dlg = new ZorUploadFirmwareDlg(nullptr, "", clock);
    ASSERT_TRUE(dlg->Init(image));
    dlg->SetCartes(ZorCarteEthPtrArray());
    Pilote pilote(
        *dlg,
        {[&] {
             EXPECT_EQ(dlg->GetSize(), wxSize(440, 200));
             EXPECT_EQ(dlg->GetGauge()->GetRange(), 240);
             EXPECT_TRUE(dlg->GetTexte(0)->GetLabel().empty());
             // What a transfer under way shows.
             dlg->OnCapture("0A-00");
             dlg->OnProgression(96, 240);
             EXPECT_EQ(dlg->GetTexte(0)->GetLabel(),
                       wxString::FromUTF8("Téléchargement du logiciel, merci de patienter..."));
             EXPECT_EQ(dlg->GetTexte(1)->GetLabel(), "(Tavlin id=0A-00)");
             EXPECT_TRUE(zorui::TextFits(dlg->GetTexte(0)));
             zorui::Settle(100);
             zorui::Screenshot(dlg, "uploadfirmwaredlg_transfer");
             zorui::PressKey(WXK_ESCAPE); // no way out but the exchange's end
             return true;
         },
         [&] {
             EXPECT_TRUE(dlg->IsModal());
             clock.Advance(15000); // the capture limit; the box's own timer finds it passed
             return true;
         }});
    EXPECT_EQ(dlg->ShowModal(), 10);
    EXPECT_EQ(dlg->GetStatus(), ZorStatutBoot::SANS_CAPTURE);
    EXPECT_TRUE(dlg->GetIdentifiant().empty());
    dlg->Destroy();
}

// Both transfer boxes with a host that asked for English: their texts, whole, and Cancel.
TEST_F(FirmwareDlgTest, BothBoxesInEnglish)
{
    zorui::EnAnglais anglais;
    {
        Serveur serveur;
        auto* dlg = new ZorPostFileDlg(nullptr, clock);
        ASSERT_TRUE(dlg->Init("127.0.0.1", "", fichier, "/mpfsupload", "", 120, true));
        Pilote pilote(*dlg, {[&] { return dlg->IsShownOnScreen(); },
                             [&] {
                                 zorui::Settle(100);
                                 EXPECT_EQ(dlg->GetTexte()->GetLabel(),
                                           "Uploading files, please wait... ");
                                 EXPECT_EQ(dlg->GetBoutonAnnuler()->GetLabel(), "Cancel");
                                 zorui::VerifierTextes(dlg);
                                 zorui::Screenshot(dlg, "en/postfiledlg_cancel_allowed");
                                 zorui::Click(dlg->GetBoutonAnnuler());
                                 return true;
                             }});
        EXPECT_EQ(dlg->ShowModal(), -11);
        dlg->Destroy();
    }
    const std::string image = zortest::MakeTempDir("boot") + "/tavlin.cry";
    zortest::WriteFile(image, std::string(240, 'i'));
    auto* dlg = new ZorUploadFirmwareDlg(nullptr, "", clock);
    ASSERT_TRUE(dlg->Init(image));
    dlg->SetCartes(ZorCarteEthPtrArray());
    Pilote pilote(*dlg, {[&] {
                             dlg->OnCapture("0A-00");
                             EXPECT_EQ(dlg->GetTexte(0)->GetLabel(),
                                       "Uploading firmware, please wait...");
                             zorui::Settle(100);
                             zorui::VerifierTextes(dlg);
                             zorui::Screenshot(dlg, "en/uploadfirmwaredlg_transfer");
                             return true;
                         },
                         [&] {
                             clock.Advance(15000);
                             return true;
                         }});
    EXPECT_EQ(dlg->ShowModal(), 10);
    dlg->Destroy();
}

} // namespace
