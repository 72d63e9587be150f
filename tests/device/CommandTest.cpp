// The command catalogue as it reaches the queue (exact parameters, page and target), the queue's
// admission rules, and the e-mail password encoding.
#include "device/ZorEmailPwdCodec.h"
#include "device/ZorTavlinCommandes.h"
#include "device/ZorTavlinObj.h"
#include "infra/ZorClock.h"

#include <gtest/gtest.h>
#include <wx/stopwatch.h>
#include <wx/utils.h>

#include <functional>
#include <thread>
#include <vector>

namespace {

const wxString kIP = wxT("192.168.77.10");
const wxString kLocal = wxT("192.168.77.1");
const wxString kIP2 = wxT("192.168.78.20");
const wxString kLocal2 = wxT("192.168.78.1");

class CommandTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ZorTavlinObj::CreateTavlinObj());
        obj = gpTheTavlin;
        obj->AddTavlin(kIP, wxT("A"), wxT("00-04-A3-00-00-01"), wxT(""), wxT("admin"), wxT("pw"),
                       wxT("255.255.255.0"), wxT(""), false, kLocal, wxT("255.255.255.0"), wxT(""),
                       wxT("3.1"));
        obj->AddTavlin(kIP2, wxT("B"), wxT("00-04-A3-00-00-02"), wxT(""), wxT("admin"), wxT("pw"),
                       wxT("255.255.255.0"), wxT(""), false, kLocal2, wxT("255.255.255.0"), wxT(""),
                       wxT("3.1"));
        obj->SurveillerAddrMAC(wxT("00-04-A3-00-00-01"));
    }
    void TearDown() override { ZorTavlinObj::DeleteTavlinObj(); }

    // Takes every queued command, oldest first, as the worker would.
    std::vector<ZorTavlinCommande> Vider()
    {
        std::vector<ZorTavlinCommande> v;
        for (ZorTavlinCommande c; v.size() < 10 && obj->PrendreCommande(&c);)
            v.push_back(c);
        EXPECT_EQ(obj->GetNombreCommandes(), 0u);
        return v;
    }
    std::vector<wxString> Requetes()
    {
        std::vector<wxString> r;
        for (const ZorTavlinCommande& c : Vider())
            r.push_back(c.m_zQuery);
        return r;
    }
    // Runs one command on an empty queue and returns what it queued.
    ZorTavlinCommande Queued(const std::function<bool()>& cmd)
    {
        Vider();
        EXPECT_TRUE(cmd());
        std::vector<ZorTavlinCommande> v = Vider();
        EXPECT_EQ(v.size(), 1u);
        return v.size() == 1 ? v[0] : ZorTavlinCommande();
    }
    void Expect(const std::function<bool()>& cmd, const char* query, const char* page,
                const wxString& ip = kIP, const wxString& local = kLocal)
    {
        ZorTavlinCommande c = Queued(cmd);
        EXPECT_EQ(c.m_zQuery, wxString::FromUTF8(query));
        EXPECT_EQ(c.m_zPage, wxString::FromUTF8(page));
        EXPECT_EQ(c.m_zIP, ip) << query;
        EXPECT_EQ(c.m_zIPLocal, local) << query;
    }

    ZorTavlinObj* obj = nullptr;
};

TEST_F(CommandTest, StatePageCommands)
{
    const char* etat = "etat.htm";
    Expect([&] { return obj->RazUARTTout(false); }, "&RAZ_UART=1", etat);
    Expect([&] { return obj->WriteUART(wxT("S0F;"), false); }, "&WRITE_UART=S0F%3B;", etat);
    Expect([&] { return obj->ShowFab(true, false); }, "&SHOWFAB=1", etat);
    Expect([&] { return obj->ShowEmailConf(false, false); }, "&SHOWEMAILCONF=0", etat);
    Expect([&] { return obj->ShowFlash(true, false); }, "&SHOWFLASH=1", etat);
    Expect([&] { return obj->ShowEeprom(false, false); }, "&SHOWEEPROM=0", etat);
    Expect([&] { return obj->WriteFlash(wxT("12"), wxT("ab"), false); }, "&WRITE_FLASH=12;ab;",
           etat);
    Expect([&] { return obj->WriteEeprom(wxT("3"), wxT("x y"), false); }, "&WRITE_EEPROM=3;x%20y;",
           etat);
    Expect([&] { return obj->EraseFlashTotal(ZOR_CODE_ACCES, false); }, "&ERASE_FLASH=Wd3kPv;0;",
           etat);
    Expect([&] { return obj->EraseEepromTotal(wxT("c"), false); }, "&ERASE_EEPROM=c;0;", etat);
    Expect([&] { return obj->SetSNUM(uint8_t(0x81), false); }, "&SNUM=10000001", etat);
    Expect([&] { return obj->SetSNUM(wxT("0101"), false); }, "&SNUM=0101", etat);
    Expect([&] { return obj->SetSRELAIS(uint8_t(0xF5), false); }, "&SRELAIS=0101", etat);
    Expect([&] { return obj->SetSRELAIS(wxT("1"), false); }, "&SRELAIS=1", etat);
    Expect([&] { return obj->SetSNUM_SRELAIS(0x0F, 0x18, false); }, "&SNUM=00001111&SRELAIS=1000",
           etat);
    Expect([&] { return obj->SetSANA(1, 200, false); }, "&SANA2=200", etat);
    Expect([&] { return obj->SetSANA(0, 255, false); }, "&SANA1=255", etat);
    Expect([&] { return obj->SetAuto(-3, false); }, "&AUTO=-3", etat);
    Expect([&] { return obj->Blink(false); }, "&BLINK=1", etat);
    Expect([&] { return obj->AppelerPageEtat(false); }, "&ETAT=1", etat);
    Expect(
        [&] {
            return obj->Personnaliser(wxT("nom"), wxT("comm"), wxT("log"), wxT("pw"), wxT("npw"),
                                      false);
        },
        "&PERSO=log;pw;npw;nom;comm;", etat);
    Expect([&] { return obj->WriteFab(wxT("ID7"), 5, 3, 2012, 9, 7, 3, 4, 123, false); },
           "&FAB=ID7;050312;090703;04;123;", etat);
    Expect([&] { return obj->WriteFab(wxT("X"), 1, 1, 1999, 0, 0, 0, 0, 0, false); },
           "&FAB=X;010100;000000;00;00;", etat);
    Expect([&] { return obj->SetHorloge(5, 3, 2012, 9, 7, 3, false); },
           "&DATETIME=05;03;12;09;07;03;", etat);
    Expect([&] { return obj->SetHorloge(31, 12, 1980, 23, 59, 59, false); },
           "&DATETIME=31;12;00;23;59;59;", etat);
}

TEST_F(CommandTest, ProgramAndAcquisitionPages)
{
    const char* automate = "etatautomate.htm";
    const char* enreg = "etatenregistrement.htm";
    Expect([&] { return obj->SetPauseAutomate(true, false); }, "&PAUSE=1", automate);
    Expect([&] { return obj->SetPauseAutomate(false, false); }, "&PAUSE=0", automate);
    Expect([&] { return obj->EraseProgAutomate(7, false); }, "&ERASE_PROG=7", automate);
    Expect([&] { return obj->ResetMemAutomate(ZOR_CODE_ACCES, false); },
           "&RESET_MEM_AUTOMATE=Wd3kPv;", automate);
    Expect([&] { return obj->Inscription(wxT("a"), wxT("b"), wxT("c"), false); },
           "&INSCRIPTION=a;b;c;", enreg);
    Expect([&] { return obj->ResetInscription(false); }, "&RESET_INSCRIPTION", enreg);
    Expect([&] { return obj->StopAcquisition(false); }, "&STOP_ACQ", enreg);
    Expect([&] { return obj->StartAcquisitionToMem(wxT("s"), 10, 4000000000u, false); },
           "&START_ACQ=0;s;10;4000000000;;", enreg);
    Expect([&] { return obj->StartAcquisitionToZorSrv(wxT("s"), 1, 2, wxT("srv"), false); },
           "&START_ACQ=1;s;1;2;srv;", enreg);
    Expect([&] { return obj->ResetMemAcquisition(wxT("k"), false); }, "&RESET_MEM_ACQUISITION=k;",
           enreg);
}

TEST_F(CommandTest, ByIpMethodsTargetTheGivenDeviceOrTheMonitoredOne)
{
    Expect([&] { return obj->BlinkByIp(kIP2, kLocal2, false); }, "&BLINK=1", "etat.htm", kIP2,
           kLocal2);
    Expect([&] { return obj->SetAutoByIp(5, kIP2, kLocal2, false); }, "&AUTO=5", "etat.htm", kIP2,
           kLocal2);
    Expect([&] { return obj->EraseFlashTotalByIp(wxT("c"), kIP2, kLocal2, false); },
           "&ERASE_FLASH=c;0;", "etat.htm", kIP2, kLocal2);
    Expect([&] { return obj->ResetMemAutomateByIp(wxT("c"), kIP2, kLocal2, false); },
           "&RESET_MEM_AUTOMATE=c;", "etatautomate.htm", kIP2, kLocal2);
    Expect(
        [&] {
            return obj->PersonnaliserByIp(kIP2, kLocal2, wxT("N"), wxT("C"), wxT("l"), wxT("p"),
                                          wxT("q"), false);
        },
        "&PERSO=l;p;q;N;C;", "etat.htm", kIP2, kLocal2);
    Expect(
        [&] {
            return obj->SetNewConfigNetworkByIp(kIP2, kLocal2, wxT("l"), wxT("p"),
                                                wxT("192.168.78.30"), wxT("255.255.255.0"),
                                                wxT("192.168.78.254"), true, false);
        },
        "&NETWORK=l;p;192.168.78.30;255.255.255.0;192.168.78.254;1;", "etat.htm", kIP2, kLocal2);
    // Empty IP: the monitored device.
    Expect([&] { return obj->BlinkByIp(wxT(""), wxT(""), false); }, "&BLINK=1", "etat.htm");
    // Unknown IP, or no monitored device: nothing queued.
    Vider();
    EXPECT_FALSE(obj->BlinkByIp(wxT("192.168.77.99"), kLocal, false));
    EXPECT_FALSE(obj->SetSANA(2, 1, false));
    EXPECT_FALSE(obj->SetSANA(-1, 1, false));
    obj->SurveillerAddrMAC(wxT("00-04-A3-00-00-99"));
    EXPECT_FALSE(obj->Blink(false));
    EXPECT_EQ(obj->GetNombreCommandes(), 0u);
}

TEST_F(CommandTest, EmailConfigurationEncodesThePasswordAndChecksLengths)
{
    wxString code;
    ASSERT_TRUE(ZorEncodeEmailPwd(wxT("secret"), &code));
    Expect(
        [&] {
            return obj->WriteEmailConf(ZOR_CODE_ACCES, wxT("smtp.example.org"), wxT("587"),
                                       wxT("moi"), wxT("secret"), true, false);
        },
        ("&EMAILCONF=Wd3kPv;smtp.example.org;587;moi;" + std::string(code.utf8_str()) + ";1;")
            .c_str(),
        "etat.htm");
    Expect(
        [&] {
            return obj->WriteEmailConfByIp(wxT("c"), kIP2, kLocal2, wxT("s"), wxT("25"), wxT("l"),
                                           wxT(""), false, false);
        },
        "&EMAILCONF=c;s;25;l;;0;", "etat.htm", kIP2, kLocal2);

    Vider();
    const wxString s = wxT("s"), p = wxT("25"), l = wxT("l"), pw = wxT("pw");
    EXPECT_FALSE(obj->WriteEmailConf(wxT("c"), s, p, l, wxString('x', 20), false, false));
    EXPECT_FALSE(obj->WriteEmailConf(wxT("c"), wxString('x', 100), p, l, pw, false, false));
    EXPECT_FALSE(obj->WriteEmailConf(wxT("c"), s, wxT("123456"), l, pw, false, false));
    EXPECT_FALSE(obj->WriteEmailConf(wxT("c"), s, p, wxString('x', 50), pw, false, false));
    // A character the device cannot store is refused rather than sent mangled.
    EXPECT_FALSE(obj->WriteEmailConf(wxT("c"), s, p, l, wxString::FromUTF8("p€"), false, false));
    EXPECT_EQ(obj->GetNombreCommandes(), 0u);
    // The longest accepted values pass.
    EXPECT_TRUE(obj->WriteEmailConf(wxT("c"), wxString('x', 99), wxT("12345"), wxString('x', 49),
                                    wxString('x', 19), false, false));
}

TEST(EmailPassword, EncodingFormAndRoundTrip)
{
    wxString code;
    ASSERT_TRUE(ZorEncodeEmailPwd(wxT(""), &code));
    EXPECT_TRUE(code.empty());
    // One byte: n = 1, key index (1 + 25 - 0) % 20 = 6.
    ASSERT_TRUE(ZorEncodeEmailPwd(wxT("A"), &code));
    unsigned char b = 'A' ^ zoremail::kZorCleEmail[6];
    wxString attendu;
    attendu << wxChar(0x40 + (b >> 4)) << wxChar(0x40 + (b & 15));
    EXPECT_EQ(code, attendu);

    for (const wxString& pwd :
         {wxString(wxT("secret")), wxString(wxT("a")), wxString::FromUTF8("éàü ;&="),
          wxString('z', 19), wxString('q', 49)}) {
        ASSERT_TRUE(ZorEncodeEmailPwd(pwd, &code));
        EXPECT_EQ(code.length(), pwd.length() * 2);
        for (wxUniChar c : code)
            EXPECT_TRUE(c >= '@' && c <= 'O') << code;
        wxString back;
        ASSERT_TRUE(ZorDecodeEmailPwd(code, &back));
        EXPECT_EQ(back, pwd);
    }
    // The same byte at different positions or lengths scrambles differently.
    ASSERT_TRUE(ZorEncodeEmailPwd(wxT("aaaa"), &code));
    EXPECT_NE(code.Mid(0, 2), code.Mid(2, 2));
}

TEST(EmailPassword, DecodingRefusesEmptyAndOverlongAndCopiesOddLengths)
{
    wxString out = wxT("untouched");
    EXPECT_FALSE(ZorDecodeEmailPwd(wxT(""), &out));
    EXPECT_FALSE(ZorDecodeEmailPwd(wxString('@', 100), &out));
    EXPECT_EQ(out, wxT("untouched"));
    EXPECT_TRUE(ZorDecodeEmailPwd(wxT("abc"), &out));
    EXPECT_EQ(out, wxT("abc"));
    EXPECT_TRUE(ZorDecodeEmailPwd(wxString('@', 98), &out));
    EXPECT_EQ(out.length(), 49u);
    EXPECT_FALSE(ZorDecodeEmailPwd(wxT("@@"), nullptr));
}

TEST_F(CommandTest, QueueAdmission)
{
    Vider();
    EXPECT_TRUE(obj->Blink(false));
    EXPECT_FALSE(obj->Blink(false));         // not waiting: only on an empty queue
    EXPECT_TRUE(obj->AppelerPageEtat(true)); // waiting: accepted while one is queued
    EXPECT_EQ(obj->GetNombreCommandes(), 2u);

    // A third waiting command waits for room (real time: another thread makes it): taken as
    // soon as one leaves the queue. First in, first out: the oldest leaves.
    ZorTavlinCommande prise;
    std::thread consommateur([&] {
        wxMilliSleep(300);
        obj->PrendreCommande(&prise);
    });
    wxStopWatch sw;
    EXPECT_TRUE(obj->SetAuto(1, true));
    long ms = sw.Time();
    consommateur.join();
    EXPECT_GE(ms, 250);
    EXPECT_EQ(prise.m_zQuery, wxT("&BLINK=1"));
    EXPECT_EQ(Requetes(), (std::vector<wxString>{wxT("&ETAT=1"), wxT("&AUTO=1")}));
    ZorTavlinCommande rien(wxT("x"), kIP, kLocal, wxT("p"));
    EXPECT_FALSE(obj->PrendreCommande(&rien));
    EXPECT_EQ(rien.m_zQuery, wxT("x")) << "untouched on an empty queue";
}

TEST_F(CommandTest, FullQueueWaitsFiveSecondsOnTheClockOrNotAtAll)
{
    ZorManualClock clock;
    obj->SetClock(&clock);
    Vider();
    ASSERT_TRUE(obj->Blink(true));
    ASSERT_TRUE(obj->Blink(true));
    const int64_t t0 = clock.NowMs();
    // Not waiting, or for a device nobody knows: fails without waiting at all.
    EXPECT_FALSE(obj->Blink(false));
    EXPECT_FALSE(obj->BlinkByIp(wxT("192.168.77.99"), kLocal, true));
    EXPECT_EQ(clock.NowMs(), t0);
    // Waiting: 500 waits of 10 ms, then gives up.
    EXPECT_FALSE(obj->Blink(true));
    EXPECT_EQ(clock.NowMs() - t0, 5000);
    EXPECT_EQ(obj->GetNombreCommandes(), 2u);
    obj->SetClock(nullptr);
}

} // namespace

TEST(CommandEncoding, TextsArePercentEncodedByteByByteOutsideTheUnreservedCharacters)
{
    const struct
    {
        std::string in, out;
    } cas[] = {
        {"", ""},
        {"AZaz09-._~", "AZaz09-._~"},
        {"& = % # ? + ; /", "%26%20%3D%20%25%20%23%20%3F%20%2B%20%3B%20%2F"},
        {"\t \r\n", "%09%20%0D%0A"},
        {std::string("a\0b", 3), "a%00b"},
        {"50%41%42", "50%2541%2542"},
        {"x&SRELAIS=1111&z=", "x%26SRELAIS%3D1111%26z%3D"},
        {"\xE9\xFF\x7F\x80", "%E9%FF%7F%80"},
        {std::string(300, 'a'), std::string(300, 'a')},
        {std::string(300, '&'),
         [] {
             std::string z;
             for (int i = 0; i < 300; ++i)
                 z += "%26";
             return z;
         }()},
    };
    for (const auto& c : cas)
        EXPECT_EQ(ZorPourcentEncoder(c.in), c.out) << c.in;

    // From text: ISO 8859-1 bytes; a ";" only refused inside a field; beyond Latin-1 refused.
    wxString z, zRaison;
    EXPECT_TRUE(ZorEncoderTexte(wxString::FromUTF8("été ; ok"), false, &z, &zRaison));
    EXPECT_EQ(z, wxT("%E9t%E9%20%3B%20ok"));
    EXPECT_TRUE(zRaison.empty());
    EXPECT_FALSE(ZorEncoderTexte(wxT("a;b"), true, &z, &zRaison));
    EXPECT_EQ(z, wxT("%E9t%E9%20%3B%20ok")) << "left as it was";
    EXPECT_TRUE(zRaison.Contains(wxString::FromUTF8("« ; » sépare"))) << zRaison;
    EXPECT_FALSE(ZorEncoderTexte(wxString::FromUTF8("5 €"), false, &z, &zRaison));
    EXPECT_TRUE(zRaison.Contains(wxString::FromUTF8("« € »"))) << zRaison;
}

TEST_F(CommandTest, TextsCannotAddParametersAndAFieldCannotHoldItsSeparator)
{
    const char* etat = "etat.htm";
    Expect(
        [&] { return obj->WriteUART(wxT("x&PERSO=admin;tavlin;owned;Pwned;hacked;&z="), false); },
        "&WRITE_UART=x%26PERSO%3Dadmin%3Btavlin%3Bowned%3BPwned%3Bhacked%3B%26z%3D;", etat);
    Expect([&] { return obj->SetSRELAIS(wxT("1&SNUM=11111111"), false); },
           "&SRELAIS=1%26SNUM%3D11111111", etat);
    Expect(
        [&] {
            return obj->Personnaliser(wxT("n&m"), wxString::FromUTF8("Pièce #2"), wxT("a"),
                                      wxT("p"), wxT("q=1"), false);
        },
        "&PERSO=a;p;q%3D1;n%26m;Pi%E8ce%20%232;", etat);
    Expect(
        [&] {
            return obj->WriteEmailConf(wxT("c"), wxT("smtp.x.fr"), wxT("25"), wxT("a@b"), wxT(""),
                                       false, false);
        },
        "&EMAILCONF=c;smtp.x.fr;25;a%40b;;0;", etat);

    // A ";" in any field of a multi-field command, or a character beyond ISO 8859-1: refused,
    // nothing queued.
    Vider();
    EXPECT_FALSE(obj->Personnaliser(wxT("n"), wxT("c;x"), wxT("a"), wxT("p"), wxT("q"), false));
    EXPECT_FALSE(obj->PersonnaliserByIp(kIP2, kLocal2, wxT("n"), wxT("c"), wxT("a;"), wxT("p"),
                                        wxT("q"), false));
    EXPECT_FALSE(obj->SetNewConfigNetworkByIp(kIP2, kLocal2, wxT("l"), wxT("p;1.2.3.4"),
                                              wxT("1.2.3.4"), wxT("255.0.0.0"), wxT(""), false,
                                              false));
    EXPECT_FALSE(
        obj->WriteEmailConf(wxT("c"), wxT("s"), wxT("25"), wxT("l;x"), wxT(""), false, false));
    EXPECT_FALSE(obj->Inscription(wxT("a"), wxT("b;"), wxT("c"), false));
    EXPECT_FALSE(obj->WriteFab(wxT("a;b"), 1, 1, 2020, 0, 0, 0, 0, 0, false));
    EXPECT_FALSE(obj->WriteUART(wxString::FromUTF8("5 €"), false));
    EXPECT_EQ(obj->GetNombreCommandes(), 0u);
}
