// The IPv4 address field through real typing: what it accepts, what it refuses, what it reads.
#include "tests/ui/kit/ZorUiKit.h"

#include "ui/ZorIPctrl.h"

#include <wx/msgdlg.h>
#include <wx/textctrl.h>

namespace {

class IPctrlTest : public zorui::WindowTest
{};

TEST_F(IPctrlTest, ReadsWritesAndFiltersWhatIsTyped)
{
    zorui::TestFrame frame("adresse");
    auto* champ = new ZorIPctrl(frame.Panel(), wxID_ANY, wxPoint(40, 40));
    frame.Settle();
    EXPECT_EQ(champ->GetSize(), wxSize(200, 30));
    EXPECT_EQ(champ->GetAdresseIP().ToString(), "0.0.0.0");

    champ->SetAdresseIP(ZorAdresseIP("192.168.1.20"));
    const char* attendus[] = {"192", "168", "1", "20"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(champ->GetChamp(i)->GetValue(), attendus[i]);
    EXPECT_EQ(champ->GetAdresseIP().ToString(), "192.168.1.20");
    zorui::Screenshot(champ, "ipctrl_value");

    struct Cas
    {
        int iChamp;
        const char* zTape;
        const char* zReste;
        bool bMessage;
    };
    const Cas cas[] = {
        {0, "256", "0", true},    // above a byte: the message, then 0
        {1, "255", "255", false}, // the largest byte stays
        {2, "a1b.", "1", false},  // only digits can be typed
        {3, "1234", "123", false} // at most three
    };
    for (const Cas& c : cas) {
        SCOPED_TRACE(c.zTape);
        wxTextCtrl* entree = champ->GetChamp(c.iChamp);
        entree->ChangeValue(wxString());
        zorui::ModalScript script;
        if (c.bMessage)
            script.Expect(L"256 n'est pas une entrée valide. Veuillez spécifier une valeur "
                          L"comprise entre 0 et 255.",
                          wxID_OK);
        zorui::TypeInto(entree, c.zTape);
        EXPECT_EQ(entree->GetValue(), c.zReste);
        if (c.bMessage && script.Records().size() == 1) {
            EXPECT_EQ(script.Records()[0].zTitre, wxMessageBoxCaptionStr);
            EXPECT_TRUE(script.Records()[0].iStyle & wxOK);
            EXPECT_TRUE(script.Records()[0].iStyle & wxCENTRE);
        }
    }
    EXPECT_EQ(champ->GetAdresseIP().ToString(), "0.255.1.123");

    // Disabled as a whole: typing changes nothing.
    champ->Disable();
    zorui::Settle();
    zorui::TypeInto(champ->GetChamp(1), "9");
    EXPECT_EQ(champ->GetChamp(1)->GetValue(), "255");
    zorui::Screenshot(champ, "ipctrl_disabled");
}

} // namespace
