// The frame that hosts controls under test, and the fixture every window test starts from.
#include "tests/ui/kit/ZorUiKit.h"

#include "device/ZorTavlinObj.h"
#include "infra/ZorUtile.h"

#include <wx/app.h>
#include <wx/debug.h>
#include <wx/toplevel.h>

namespace zorui {

TestFrame::TestFrame(const wxString& zTitre, const wxSize& size, const wxPoint& pos)
    : m_pFrame(new wxFrame(nullptr, wxID_ANY, zTitre, pos, size)), m_pPanel(new wxPanel(m_pFrame))
{}

TestFrame::~TestFrame()
{
    m_pFrame->Destroy();
    zorui::Settle();
}

void TestFrame::Settle()
{
    m_pFrame->Show();
    m_pFrame->Raise();
    zorui::SettleUntil([this] { return m_pFrame->IsShownOnScreen(); }, 2000);
    // The pointer starts in a corner where no test puts a window, so no window of the test
    // sees it enter before the test moves it.
    zorui::MoveTo(wxPoint(1270, 1010));
    m_pFrame->Update();
    zorui::Settle(100);
}

namespace {

// The toolkit's failed checks open a modal box of their own, which nobody answers under a
// private display: the test would hang until the run is killed. They fail the test instead.
void AssertionEchoue(const wxString& zFichier, int iLigne, const wxString& zFonction,
                     const wxString& zCondition, const wxString& zMessage)
{
    ADD_FAILURE_AT(zFichier.utf8_str(), iLigne)
        << "toolkit check failed in " << zFonction << ": " << zCondition << " " << zMessage;
}

} // namespace

void WindowTest::SetUp()
{
    if (!wxTheApp || !wxTheApp->IsGUI())
        GTEST_SKIP() << "no display: window tests need one (tools/testnet.sh --xvfb)";
    wxSetAssertHandler(AssertionEchoue);
    ZorUtile::SetPathExe(TAVLIN_UI_BUILD_DIR);
}

void WindowTest::TearDown()
{
    if (!wxTheApp || !wxTheApp->IsGUI())
        return;
    zorui::Settle();
    // A window a test forgot would receive the next test's input: close it and say so.
    while (!wxTopLevelWindows.empty()) {
        wxWindow* w = wxTopLevelWindows.GetFirst()->GetData();
        ADD_FAILURE() << "top-level window left open: \"" << w->GetLabel() << "\"";
        delete w;
    }
}

void ManagerWindowTest::SetUp()
{
    WindowTest::SetUp();
    if (IsSkipped())
        return;
    ASSERT_TRUE(ZorTavlinObj::CreateTavlinObj());
}

void ManagerWindowTest::TearDown()
{
    ZorTavlinObj::DeleteTavlinObj();
    WindowTest::TearDown();
}

} // namespace zorui

ZorCarteEth* zorui::ManagerWindowTest::AjouterCarte(const wxString& zDescription,
                                                    const wxString& zIP,
                                                    const wxString& zPasserelle)
{
    auto* pCarte = new ZorCarteEth;
    pCarte->m_zDescription = zDescription;
    pCarte->m_zMAC = wxT("02-00-5E-00-00-09");
    pCarte->m_zIP = zIP;
    pCarte->m_zMask = wxT("255.255.255.0");
    pCarte->m_zGateway = zPasserelle;
    gpTheTavlin->GetArrayCarteEth().Add(pCarte);
    return pCarte;
}
