// The customisation dialog's rules, page by page, against a scripted device.
#include "device/ZorEmailPwdCodec.h"
#include "infra/ZorClock.h"
#include "ui/ZorPersonnalisation.h"

#include <gtest/gtest.h>
#include <wx/defs.h>

#include <string>
#include <vector>

namespace {

using P = ZorPersonnalisation;

class FakeDevice : public P::Appareil
{
public:
    bool existe = true;
    bool nouvelEtat = false;
    ZorTavlinData etat;
    std::vector<std::string> calls;
    bool Existe() override { return existe; }
    void SurveillerAddrMAC(const wxString& mac) override
    {
        calls.push_back("surveiller " + mac.ToStdString());
    }
    void ShowEmailConf(bool on) override { calls.push_back(on ? "email on" : "email off"); }
    void DemanderEtatFrais() override { calls.push_back("etat"); }
    bool IsNewEtat() override { return nouvelEtat; }
    ZorTavlinData GetEtat() override { return etat; }
    void WriteEmailConf(const wxString& s, const wxString& p, const wxString& l, const wxString& pw,
                        bool ssl) override
    {
        calls.push_back("write " + s.ToStdString() + " " + p.ToStdString() + " " + l.ToStdString() +
                        " " + pw.ToStdString() + (ssl ? " ssl" : ""));
    }
};

struct Dialog
{
    FakeDevice device;
    ZorManualClock clock;
    P p;
    P::Saisie s;
    explicit Dialog(const char* version)
        : p(device, clock, "Atelier", "Chaufferie", "secret", "00-04-A3-12-34-56",
            ZorAdresseIP("192.168.77.10"), ZorAdresseIP("192.168.77.1"),
            ZorAdresseIP("255.255.255.0"), ZorAdresseIP("192.168.77.254"), false, version)
    {
        s.zMotDePasse = "secret";
        s.zNom = "Atelier";
        s.zCommentaire = "Chaufferie";
    }
};

TEST(Personnalisation, PasswordGuardPasswordChangeAndNetworkPage)
{
    Dialog d("v1");
    EXPECT_FALSE(d.p.IsEmailCapable());
    EXPECT_TRUE(d.device.calls.empty()) << "no e-mail request on a version 1 device";
    d.s.zMotDePasse = "Secret";
    EXPECT_EQ(d.p.Ok(d.s).zMessage, "Le mot de passe est incorrect.");
    EXPECT_EQ(d.p.GetPage(), P::PAGE_MOT_DE_PASSE);
    d.s.zMotDePasse = "secret";
    EXPECT_EQ(d.p.Ok(d.s).iPage, P::PAGE_PRINCIPALE);

    d.p.AllerA(P::PAGE_CHANGER_MDP);
    d.s.zNouveauPwd = "nouveau1";
    d.s.zConfirmation = "nouveau2";
    P::Reaction r = d.p.Ok(d.s);
    EXPECT_EQ(r.zMessage, wxString::FromUTF8("Les mots de passe saisis sont différents."));
    EXPECT_TRUE(r.bViderMdp);
    EXPECT_EQ(d.p.GetPage(), P::PAGE_CHANGER_MDP);
    d.s.zConfirmation = "nouveau1";
    EXPECT_EQ(d.p.Ok(d.s).iPage, P::PAGE_PRINCIPALE);
    EXPECT_EQ(d.p.GetPwd(), "nouveau1");
    d.p.AllerA(P::PAGE_CHANGER_MDP);
    EXPECT_TRUE(d.p.Annuler().bRemplirMdp);

    d.p.AllerA(P::PAGE_RESEAU);
    d.s.ip = ZorAdresseIP("10.0.0.5");
    d.s.bDHCP = true;
    r = d.p.Annuler();
    EXPECT_TRUE(r.bRemplirReseau);
    EXPECT_EQ(d.p.GetIP().ToString(), "192.168.77.10");
    EXPECT_FALSE(d.p.IsDHCP());
    d.p.AllerA(P::PAGE_RESEAU);
    d.p.Ok(d.s);
    EXPECT_EQ(d.p.GetIP().ToString(), "10.0.0.5");
    EXPECT_TRUE(d.p.IsDHCP());

    d.s.zNom = "Atelier2";
    r = d.p.Ok(d.s);
    EXPECT_EQ(r.iFin, wxID_OK);
    EXPECT_EQ(d.p.GetNom(), "Atelier2");
    EXPECT_TRUE(d.device.calls.empty()) << "nothing sent by the dialog itself";

    Dialog c("v1");
    EXPECT_EQ(c.p.Annuler().iFin, wxID_CANCEL) << "annuler on the password page leaves";
}

TEST(Personnalisation, EmailSettingsLoadedThenWrittenOnlyWhenModified)
{
    Dialog d("v2");
    EXPECT_TRUE(d.p.IsEmailCapable());
    EXPECT_EQ(d.device.calls,
              (std::vector<std::string>{"surveiller 00-04-A3-12-34-56", "email on"}));
    d.p.Ok(d.s);
    d.device.etat.m_zSMTPSERVER = "smtp.exemple.fr";
    d.device.etat.m_zSMTPPORT = "25";
    d.device.etat.m_zSMTPLOGIN = "atelier";
    d.device.etat.m_zSMTPPWD = zoremail::Encode("motdepasse");
    d.device.etat.m_zSMTPSSL = "1";

    P::Reaction r = d.p.ChargerEmail();
    EXPECT_EQ(r.iPage, P::PAGE_CHARGEMENT);
    EXPECT_TRUE(r.bChargement);
    d.device.nouvelEtat = true;
    d.clock.Advance(500);
    EXPECT_TRUE(d.p.TickChargement().bChargement) << "the first look comes after 1 s";
    d.clock.Advance(550);
    r = d.p.TickChargement();
    EXPECT_EQ(r.iPage, P::PAGE_EMAIL);
    EXPECT_TRUE(r.bRemplirEmail);
    EXPECT_EQ(d.p.GetEmail().zPwd, "motdepasse");
    EXPECT_EQ(d.p.GetEmail().zConfirmation, "motdepasse");
    EXPECT_TRUE(d.p.GetEmail().bSSL);

    d.s.email = d.p.GetEmail();
    d.s.email.zLogin.clear();
    EXPECT_EQ(d.p.Ok(d.s).zMessage, wxString::FromUTF8("Les champs doivent être tous complétés."));
    d.s.email.zLogin = "atelier";
    d.s.email.zConfirmation = "autre";
    r = d.p.Ok(d.s);
    EXPECT_EQ(r.zMessage, wxString::FromUTF8("Les mots de passe SMTP saisis sont différents."));
    EXPECT_TRUE(r.bViderMdpEmail);
    d.s.email.zPwd = d.s.email.zConfirmation = "neuf";
    // The login entry takes any ASCII character; a ";" would split the device's fields.
    d.s.email.zLogin = "a;b";
    r = d.p.Ok(d.s);
    EXPECT_TRUE(r.zMessage.StartsWith(wxString::FromUTF8("Login : le caractère « ; »")))
        << r.zMessage;
    EXPECT_EQ(r.iPage, -1);
    d.s.email.zLogin = "atelier";
    d.p.MarquerEmailModifie();
    EXPECT_EQ(d.p.Ok(d.s).iPage, P::PAGE_PRINCIPALE);
    EXPECT_TRUE(d.p.ChargerEmail().bRemplirEmail) << "after ok the page shows what was entered";
    EXPECT_EQ(d.p.GetEmail().zPwd, "neuf");
    d.p.Ok(d.s);
    EXPECT_EQ(d.p.Ok(d.s).iFin, wxID_OK);
    EXPECT_EQ(d.device.calls.back(), "email off");
    EXPECT_EQ(d.device.calls[d.device.calls.size() - 2],
              "write smtp.exemple.fr 25 atelier neuf ssl");

    // Edits left with annuler are not written; the next visit loads again.
    Dialog a("v2");
    a.p.Ok(a.s);
    a.p.ChargerEmail();
    a.device.nouvelEtat = true;
    a.clock.Advance(1100);
    a.p.TickChargement();
    a.p.MarquerEmailModifie();
    a.p.Annuler();
    EXPECT_EQ(a.p.ChargerEmail().iPage, P::PAGE_CHARGEMENT);
    a.clock.Advance(1100);
    a.p.TickChargement();
    a.p.Annuler();
    a.p.Ok(a.s);
    for (const std::string& c : a.device.calls)
        EXPECT_EQ(c.rfind("write", 0), std::string::npos) << c;
}

TEST(Personnalisation, SilentDeviceGivesTheMessageAfterTenSecondsThenLoadsAgain)
{
    Dialog d("v3");
    d.p.Ok(d.s);
    d.p.ChargerEmail();
    P::Reaction r;
    int ticks = 0;
    for (; ticks < 1000 && (r = d.p.TickChargement()).bChargement; ++ticks)
        d.clock.Advance(P::kChargementPasMs);
    EXPECT_EQ(ticks, 201) << "a poll every 50 ms from 0 to 10 000 ms";
    EXPECT_EQ(r.zMessage, wxString::FromUTF8("Impossible de joindre la Tavlin. \n\nMerci de "
                                             "vérifier son branchement puis de réessayer."));
    EXPECT_EQ(r.iPage, P::PAGE_PRINCIPALE);
    EXPECT_EQ(d.p.ChargerEmail().iPage, P::PAGE_CHARGEMENT) << "nothing was loaded: try again";

    Dialog none("v3");
    none.device.existe = false;
    none.p.Ok(none.s);
    EXPECT_EQ(none.p.ChargerEmail().iPage, -1)
        << "without a device manager the button does nothing";
}

TEST(Personnalisation, FiltersAndPasswordUnscrambling)
{
    struct
    {
        const char* c;
        bool a, b, cc;
    } cases[] = {{"z", true, true, true},  {"7", true, true, true},    {" ", false, true, false},
                 {"é", false, true, true}, {"(", false, true, false},  {".", false, false, true},
                 {"-", false, true, true}, {";", false, false, false}, {"%", false, false, false}};
    for (const auto& c : cases) {
        const wxString ch = wxString::FromUTF8(c.c);
        EXPECT_EQ(ZorFiltreA().Find(ch) != wxNOT_FOUND, c.a) << c.c;
        EXPECT_EQ(ZorFiltreB().Find(ch) != wxNOT_FOUND, c.b) << c.c;
        EXPECT_EQ(ZorFiltreC().Find(ch) != wxNOT_FOUND, c.cc) << c.c;
    }
    EXPECT_EQ(ZorMotDePasseEmailEnClair(""), "");
    EXPECT_EQ(ZorMotDePasseEmailEnClair("abc"), "abc") << "odd length: taken as it is";
    EXPECT_EQ(ZorMotDePasseEmailEnClair(zoremail::Encode(std::string(20, 'x'))), wxString(20, 'x'));
    EXPECT_EQ(ZorMotDePasseEmailEnClair(zoremail::Encode(std::string(21, 'x'))), "")
        << "longer than a device reports";
    EXPECT_EQ(ZorMotDePasseEmailEnClair(wxString(41, 'A')), "");
}

} // namespace
