// The customisation dialog through real clicks and keys, without a device manager: the password
// guard, name and comment filters, the password change, the network page, the ways out, and
// where its controls sit on the background.
#include "tests/ui_lan/PersonnaliserDlgKit.h"

#include "ui/ZorIPctrl.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

namespace {

using zorperso::DialogueOuvert;
using zorperso::Dlg;
using zorperso::Retaper;
using P = ZorPersonnalisation;

class PersonnaliserDlgTest : public zorui::WindowTest
{};

TEST_F(PersonnaliserDlgTest, PasswordGuardFiltersAndPasswordChange)
{
    DialogueOuvert d("02-54-56-4D-0A-00", "192.168.77.10", "192.168.77.1", "2");
    zorperso::Messages messages(d.pDlg);
    EXPECT_EQ(d.pDlg->GetTitle(), wxEmptyString);
    EXPECT_EQ(d.pDlg->GetClientSize(), wxSize(519, 460));
    EXPECT_EQ(d.pDlg->GetPosition(), d.frame.Frame()->GetPosition());
    EXPECT_EQ(d.pDlg->GetPage(), P::PAGE_MOT_DE_PASSE);
    EXPECT_TRUE(d.W(Dlg::ID_MDP)->IsShown());
    EXPECT_FALSE(d.W(Dlg::ID_NOM)->IsShown());
    zorperso::VerifierMiseEnPage(d.pDlg, P::PAGE_MOT_DE_PASSE);
    zorui::Screenshot(d.pDlg, "perso_page0_mot_de_passe");

    // Wrong case, validated with Enter: the message, and the guard stays.
    auto* pMdp = d.C<wxTextCtrl>(Dlg::ID_MDP);
    messages.Photo("perso_message_mot_de_passe_incorrect");
    Retaper(pMdp, "Secret\r");
    zorperso::VerifierMessage(messages, wxT("Le mot de passe est incorrect."));
    EXPECT_EQ(d.pDlg->GetPage(), P::PAGE_MOT_DE_PASSE);
    Retaper(pMdp, "secret");
    d.Ok();
    ASSERT_EQ(d.pDlg->GetPage(), P::PAGE_PRINCIPALE);
    EXPECT_FALSE(pMdp->IsShown());
    EXPECT_EQ(wxWindow::FindFocus(), d.W(Dlg::ID_NOM));
    EXPECT_TRUE(d.W(Dlg::ID_EMAIL)->IsEnabled()) << "a version above 1 sends e-mails";
    zorperso::VerifierMiseEnPage(d.pDlg, P::PAGE_PRINCIPALE);
    zorui::Screenshot(d.pDlg, "perso_page1_principale");

    // What the filters let through: letters and digits in the name; spaces, accents, brackets,
    // "-" and "_" too in the comment.
    auto* pNom = d.C<wxTextCtrl>(Dlg::ID_NOM);
    auto* pCommentaire = d.C<wxTextCtrl>(Dlg::ID_COMMENTAIRE);
    Retaper(pNom, wxString::FromUTF8("Salle 2-B_é!"));
    EXPECT_EQ(pNom->GetValue(), "Salle2B");
    Retaper(pCommentaire, wxString::FromUTF8("Vanne (nord) [été] {2}-_!;"));
    EXPECT_EQ(pCommentaire->GetValue(), wxString::FromUTF8("Vanne (nord) [été] {2}-_"));

    // Password change: the current one in both entries; a mismatch empties them.
    zorui::Click(d.W(Dlg::ID_CHANGER_MDP));
    ASSERT_EQ(d.pDlg->GetPage(), P::PAGE_CHANGER_MDP);
    auto* pNouveau = d.C<wxTextCtrl>(Dlg::ID_NOUVEAU_MDP);
    auto* pConfirmation = d.C<wxTextCtrl>(Dlg::ID_CONFIRMATION_MDP);
    EXPECT_EQ(pNouveau->GetValue(), "secret");
    EXPECT_EQ(pConfirmation->GetValue(), "secret");
    zorperso::VerifierMiseEnPage(d.pDlg, P::PAGE_CHANGER_MDP);
    zorui::Screenshot(d.pDlg, "perso_page2_changer_mot_de_passe");
    Retaper(pNouveau, "neuf9");
    messages.Photo("perso_message_mots_de_passe_differents");
    Retaper(pConfirmation, "neuf8\r");
    zorperso::VerifierMessage(messages,
                              wxString::FromUTF8("Les mots de passe saisis sont différents."));
    EXPECT_EQ(d.pDlg->GetPage(), P::PAGE_CHANGER_MDP);
    EXPECT_EQ(pNouveau->GetValue(), "");
    EXPECT_EQ(pConfirmation->GetValue(), "");
    // Annuler puts the current password back; a match then replaces it.
    d.Annuler();
    EXPECT_EQ(d.pDlg->GetPage(), P::PAGE_PRINCIPALE);
    EXPECT_EQ(pNouveau->GetValue(), "secret");
    zorui::Click(d.W(Dlg::ID_CHANGER_MDP));
    Retaper(pNouveau, "neuf9-");
    Retaper(pConfirmation, "neuf9");
    d.Ok();
    EXPECT_EQ(d.pDlg->GetPage(), P::PAGE_PRINCIPALE);

    // Enter in the comment is the main page's ok: the dialog ends with the edited values.
    zorui::Click(pCommentaire);
    zorui::PressKey(WXK_RETURN);
    EXPECT_FALSE(d.pDlg->IsShown());
    EXPECT_EQ(d.pDlg->GetReturnCode(), wxID_OK);
    EXPECT_EQ(d.pDlg->GetNom(), "Salle2B");
    EXPECT_EQ(d.pDlg->GetCommentaire(), wxString::FromUTF8("Vanne (nord) [été] {2}-_"));
    EXPECT_EQ(d.pDlg->GetPwd(), "neuf9");
    EXPECT_TRUE(messages.records.empty());
}

TEST_F(PersonnaliserDlgTest, NetworkPageCancelledThenAccepted)
{
    DialogueOuvert d("02-54-56-4D-0A-00", "192.168.77.10", "192.168.77.1", "1");
    zorperso::Messages messages(d.pDlg);
    zorui::TypeInto(d.W(Dlg::ID_MDP), "secret\r");
    ASSERT_EQ(d.pDlg->GetPage(), P::PAGE_PRINCIPALE);
    EXPECT_FALSE(d.W(Dlg::ID_EMAIL)->IsEnabled()) << "version 1 sends no e-mails";
    zorui::Click(d.W(Dlg::ID_CHANGER_RESEAU));
    ASSERT_EQ(d.pDlg->GetPage(), P::PAGE_RESEAU);
    auto* pIP = d.C<ZorIPctrl>(Dlg::ID_IP);
    auto* pMasque = d.C<ZorIPctrl>(Dlg::ID_MASQUE);
    auto* pPasserelle = d.C<ZorIPctrl>(Dlg::ID_PASSERELLE);
    auto* pDHCP = d.C<wxCheckBox>(Dlg::ID_DHCP);
    auto adresses = [&] {
        return pIP->GetAdresseIP().ToString() + " " + pMasque->GetAdresseIP().ToString() + " " +
               pPasserelle->GetAdresseIP().ToString() + (pDHCP->GetValue() ? " dhcp" : "");
    };
    auto actives = [&] {
        return int(pIP->IsEnabled()) + int(pMasque->IsEnabled()) + int(pPasserelle->IsEnabled());
    };
    EXPECT_EQ(adresses(), "192.168.77.10 255.255.255.0 192.168.77.254");
    EXPECT_EQ(actives(), 3);
    zorperso::VerifierMiseEnPage(d.pDlg, P::PAGE_RESEAU);
    zorui::Screenshot(d.pDlg, "perso_page3_reseau_dhcp_off");

    // Every control edited, DHCP ticked (the three fields go grey), then annuler: all back.
    Retaper(pIP->GetChamp(3), "20");
    Retaper(pMasque->GetChamp(3), "128");
    Retaper(pPasserelle->GetChamp(3), "1");
    zorui::Click(pDHCP);
    EXPECT_TRUE(pDHCP->GetValue());
    EXPECT_EQ(actives(), 0);
    zorui::Settle(400); // past the theme's animation of the tick
    zorui::Screenshot(d.pDlg, "perso_page3_reseau_dhcp_on");
    zorui::TypeInto(pIP->GetChamp(2), "5");
    EXPECT_EQ(pIP->GetChamp(2)->GetValue(), "77") << "a disabled field takes no typing";
    d.Annuler();
    EXPECT_EQ(d.pDlg->GetPage(), P::PAGE_PRINCIPALE);
    zorui::Click(d.W(Dlg::ID_CHANGER_RESEAU));
    EXPECT_EQ(adresses(), "192.168.77.10 255.255.255.0 192.168.77.254");
    EXPECT_EQ(actives(), 3);

    // Unticking gives the fields back; ok keeps the new values.
    zorui::Click(pDHCP);
    zorui::Click(pDHCP);
    EXPECT_EQ(actives(), 3);
    Retaper(pIP->GetChamp(3), "21");
    zorui::Click(pDHCP);
    d.Ok();
    EXPECT_EQ(d.pDlg->GetPage(), P::PAGE_PRINCIPALE);
    d.Ok();
    EXPECT_EQ(d.pDlg->GetReturnCode(), wxID_OK);
    EXPECT_EQ(d.pDlg->GetIP(), "192.168.77.21");
    EXPECT_EQ(d.pDlg->GetMasque(), "255.255.255.0");
    EXPECT_EQ(d.pDlg->GetPasserelle(), "192.168.77.254");
    EXPECT_TRUE(d.pDlg->IsDHCP());
    EXPECT_EQ(d.pDlg->GetNom(), "Atelier");
    EXPECT_TRUE(messages.records.empty());
}

// Every way out that is not ok on the main page ends with cancel; Escape is the page's annuler.
TEST_F(PersonnaliserDlgTest, WaysOutEndWithCancel)
{
    const struct
    {
        const char* zCas;
        bool bPasserGarde;
        int iSortie;
    } cas[] = {
        {"annuler on the password page", false, Dlg::ID_ANNULER},
        {"escape on the password page", false, WXK_ESCAPE},
        {"escape on the main page", true, WXK_ESCAPE},
        {"closing the window", true, 0},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.zCas);
        DialogueOuvert d("02-54-56-4D-0A-00", "192.168.77.10", "192.168.77.1", "1");
        if (c.bPasserGarde) {
            zorui::TypeInto(d.W(Dlg::ID_MDP), "secret\r");
            ASSERT_EQ(d.pDlg->GetPage(), P::PAGE_PRINCIPALE);
        }
        if (c.iSortie == Dlg::ID_ANNULER)
            d.Annuler();
        else if (c.iSortie == WXK_ESCAPE)
            zorui::PressKey(WXK_ESCAPE);
        else
            d.pDlg->Close();
        zorui::Settle();
        EXPECT_FALSE(d.pDlg->IsShown());
        EXPECT_EQ(d.pDlg->GetReturnCode(), wxID_CANCEL);
    }
}

// The way the list dialog runs it: modal, ended by the dialog itself with the code it returns.
TEST_F(PersonnaliserDlgTest, ModalRunReturnsOkWithTheEditedName)
{
    zorui::TestFrame frame("liste", wxSize(560, 520), wxPoint(30, 30));
    frame.Settle();
    Dlg dlg(gpTheTavlin, frame.Frame(), wxT("Atelier"), wxT("Chaufferie"), wxT("secret"),
            wxT("02-54-56-4D-0A-00"), ZorAdresseIP("192.168.77.10"), ZorAdresseIP("192.168.77.1"),
            ZorAdresseIP("255.255.255.0"), ZorAdresseIP("192.168.77.254"), false, wxT("1"));
    // Should the script go wrong, the run still ends.
    wxTimer garde;
    garde.Bind(wxEVT_TIMER, [&](wxTimerEvent&) { dlg.EndModal(wxID_ABORT); });
    garde.StartOnce(30000);
    dlg.CallAfter([&] {
        zorui::SettleUntil([&] { return dlg.IsShownOnScreen(); }, 2000);
        zorui::TypeInto(dlg.FindWindow(Dlg::ID_MDP), "secret\r");
        zorui::TypeInto(dlg.FindWindow(Dlg::ID_NOM), "2\r");
    });
    EXPECT_EQ(dlg.ShowModal(), wxID_OK);
    garde.Stop();
    EXPECT_EQ(dlg.GetNom(), "Atelier2");
}

// A host that asked for English: every page's labels and buttons hold their English texts,
// and its messages are English. Screenshots under screenshots/en/.
TEST_F(PersonnaliserDlgTest, EveryPageAndMessageInEnglish)
{
    zorui::EnAnglais anglais;
    DialogueOuvert d("02-54-56-4D-0A-00", "192.168.77.10", "192.168.77.1", "2");
    zorperso::Messages messages(d.pDlg);
    for (int iPage = P::PAGE_MOT_DE_PASSE; iPage <= P::PAGE_EMAIL; ++iPage)
        zorperso::VerifierMiseEnPage(d.pDlg, iPage);
    wxString zLibelles;
    for (int iPage = P::PAGE_MOT_DE_PASSE; iPage <= P::PAGE_EMAIL; ++iPage)
        for (const wxWindow* w : d.pDlg->GetControlesPage(iPage))
            if (dynamic_cast<const wxStaticText*>(w) || dynamic_cast<const wxButton*>(w))
                zLibelles << w->GetLabel() << "|";
    EXPECT_EQ(zLibelles, "Enter the password|Name|Comment|Change the password|"
                         "Change the network settings|Set up e-mail sending|New password|"
                         "Confirm the password|IP address:|Subnet mask:|Gateway:|DHCP enabled:|"
                         "SMTP server name:|Port (usually 25):|SSL:|Login:|Password:|"
                         "Confirm the password:|");
    zorui::Screenshot(d.pDlg, "en/perso_page0_mot_de_passe");

    auto* pMdp = d.C<wxTextCtrl>(Dlg::ID_MDP);
    messages.Photo("en/perso_message_mot_de_passe_incorrect");
    Retaper(pMdp, "Secret\r");
    zorperso::VerifierMessage(messages, "The password is incorrect.");
    Retaper(pMdp, "secret");
    d.Ok();
    ASSERT_EQ(d.pDlg->GetPage(), P::PAGE_PRINCIPALE);
    zorui::Screenshot(d.pDlg, "en/perso_page1_principale");
    zorui::Click(d.W(Dlg::ID_CHANGER_MDP));
    ASSERT_EQ(d.pDlg->GetPage(), P::PAGE_CHANGER_MDP);
    zorui::Screenshot(d.pDlg, "en/perso_page2_changer_mot_de_passe");
    Retaper(d.C<wxTextCtrl>(Dlg::ID_NOUVEAU_MDP), "neuf9");
    messages.Photo("en/perso_message_mots_de_passe_differents");
    Retaper(d.C<wxTextCtrl>(Dlg::ID_CONFIRMATION_MDP), "neuf8\r");
    zorperso::VerifierMessage(messages, "The passwords entered are different.");
    d.Annuler();
    zorui::Click(d.W(Dlg::ID_CHANGER_RESEAU));
    ASSERT_EQ(d.pDlg->GetPage(), P::PAGE_RESEAU);
    zorui::VerifierTextes(d.pDlg);
    zorui::Screenshot(d.pDlg, "en/perso_page3_reseau_dhcp_off");
    zorui::Click(d.W(Dlg::ID_DHCP));
    EXPECT_TRUE(d.C<wxCheckBox>(Dlg::ID_DHCP)->GetValue());
    // Away from the box, and past the theme's animation of its tick.
    zorui::MoveTo(wxPoint(1270, 1010));
    zorui::Settle(400);
    zorui::Screenshot(d.pDlg, "en/perso_page3_reseau_dhcp_on");
    d.Annuler();
    EXPECT_EQ(d.pDlg->GetPage(), P::PAGE_PRINCIPALE);
}

} // namespace
