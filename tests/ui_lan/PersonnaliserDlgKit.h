// What the customisation dialog's window tests share: the dialog opened over a frame, its
// controls by identifier, and the message boxes it opens, recorded, optionally shown for real
// and photographed before a real Enter key closes them.
#pragma once

#include "device/ZorTavlinObj.h"
#include "tests/ui/kit/ZorUiKit.h"

#include "ui/ZorTavlinDlgPersonnaliser.h"

#include <wx/msgdlg.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include <memory>
#include <vector>

namespace zorperso {

using Dlg = ZorTavlinDlgPersonnaliser;

// Types a text as a person would, through the X server: ASCII with the shift key where the
// keyboard needs it, and letters the test display's keyboard lacks (its map is the US one)
// after giving each a key of its own.
void Taper(const wxString& zTexte);
// Empties an entry, clicks into it and types.
void Retaper(wxTextCtrl* pChamp, const wxString& zTexte);

template <typename T> T* Ctrl(const Dlg* pDlg, int id)
{
    return dynamic_cast<T*>(pDlg->FindWindow(id));
}

// The dialog over a list-like frame, shown without a loop of its own so the test drives it;
// it ends the way a modal run ends (return code, hidden).
struct DialogueOuvert
{
    zorui::TestFrame frame{"liste", wxSize(560, 520), wxPoint(30, 30)};
    Dlg* pDlg;
    DialogueOuvert(const wxString& zMAC, const wxString& zIP, const wxString& zLocal,
                   const wxString& zVersion, bool bDHCP = false,
                   const ZorClock& clock = ZorDefaultClock())
    {
        frame.Settle();
        pDlg = new Dlg(gpTheTavlin, frame.Frame(), wxT("Atelier"), wxT("Chaufferie"), wxT("secret"),
                       zMAC, ZorAdresseIP(zIP), ZorAdresseIP(zLocal), ZorAdresseIP("255.255.255.0"),
                       ZorAdresseIP("192.168.77.254"), bDHCP, zVersion, clock);
        pDlg->Show();
        zorui::SettleUntil([this] { return pDlg->IsShownOnScreen(); }, 2000);
        zorui::MoveTo(wxPoint(1270, 1010));
        zorui::Settle(150);
    }
    ~DialogueOuvert()
    {
        pDlg->Destroy();
        zorui::Settle();
    }
    template <typename T> T* C(int id) const { return Ctrl<T>(pDlg, id); }
    wxWindow* W(int id) const { return pDlg->FindWindow(id); }
    void Ok() { zorui::Click(W(Dlg::ID_OK)); }
    void Annuler() { zorui::Click(W(Dlg::ID_ANNULER)); }
};

// Message boxes of the dialog: each one recorded (text, caption, style). One given a name with
// Photo() is shown for real; a timer photographs the dialog with it on top and closes it with
// the Enter key, as a person would. The others are answered OK without showing.
class Messages : public wxModalDialogHook
{
public:
    explicit Messages(const wxWindow* pFond) : m_pFond(pFond)
    {
        m_timer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Photographier(); });
        Register();
    }
    ~Messages() override { Unregister(); }
    void Photo(const wxString& zNom) { m_zPhoto = zNom; }
    std::vector<zorui::ModalRecord> records;

protected:
    int Enter(wxDialog* pDialog) override
    {
        zorui::ModalRecord r;
        if (auto* pMessage = wxDynamicCast(pDialog, wxMessageDialog)) {
            r.zTexte = pMessage->GetMessage();
            r.zTitre = pMessage->GetCaption();
            r.iStyle = pMessage->GetMessageDialogStyle();
        }
        r.iReponse = wxID_OK;
        records.push_back(r);
        if (m_zPhoto.empty())
            return wxID_OK;
        m_timer.StartOnce(600);
        return wxID_NONE;
    }
    void Exit(wxDialog*) override {}

private:
    // Runs inside the message box's own loop: no yielding here, only the picture and the key.
    void Photographier()
    {
        zorui::Screenshot(m_pFond, m_zPhoto);
        m_zPhoto.clear();
        wxUIActionSimulator().Char(WXK_RETURN);
    }

    const wxWindow* m_pFond;
    wxTimer m_timer;
    wxString m_zPhoto;
};

// Expects exactly one error box with this text, captioned "Tavlin", OK button, error icon.
inline void VerifierMessage(Messages& messages, const wxString& zTexte)
{
    ASSERT_EQ(messages.records.size(), 1u) << zTexte;
    EXPECT_EQ(messages.records[0].zTexte, zTexte);
    EXPECT_EQ(messages.records[0].zTitre, wxT("Tavlin"));
    EXPECT_EQ(messages.records[0].iStyle & (wxOK | wxCANCEL | wxYES_NO | wxICON_MASK),
              wxOK | wxICON_ERROR);
    messages.records.clear();
}

// Every control of every page inside the client area, no two controls of a page overlapping,
// no label narrower than its text.
inline void VerifierMiseEnPage(const Dlg* pDlg, int iPage)
{
    SCOPED_TRACE(wxString::Format("page %d", iPage).ToStdString());
    const wxRect client(wxPoint(0, 0), pDlg->GetClientSize());
    const auto& controles = pDlg->GetControlesPage(iPage);
    for (size_t i = 0; i < controles.size(); ++i) {
        const wxRect r = controles[i]->GetRect();
        const wxString zNom = controles[i]->GetLabel();
        EXPECT_TRUE(client.Contains(r))
            << zNom << " " << r.x << "," << r.y << " " << r.width << "x" << r.height;
        // Entries scroll their text; labels and buttons must hold theirs.
        const wxSize besoin = controles[i]->GetBestSize();
        if (!controles[i]->GetLabel().empty()) {
            EXPECT_GE(r.width, besoin.x) << zNom;
        }
        EXPECT_GE(r.height, besoin.y) << zNom;
        for (size_t j = i + 1; j < controles.size(); ++j)
            EXPECT_FALSE(r.Intersects(controles[j]->GetRect()))
                << zNom << " overlaps " << controles[j]->GetLabel();
    }
}

} // namespace zorperso
