// State page parsing: keys, conditions, conversions, character references, the serial board
// exchange and the unset clock.
#include "device/ZorTavlinEtat.h"

#include <gtest/gtest.h>

namespace {

const char* const kPage = "/* Tavlin 00-04-A3-12-34-56 */\r\n"
                          "NAME=TAVLIN\r\n"
                          "VERSION=3.12\r\n"
                          "TYPE=2\r\n"
                          "SRELAIS=1010\r\n"
                          "SNUM=10000001\r\n"
                          "SANA1=120\r\n"
                          "SANA2=-7\r\n"
                          "ENUM=01010101\r\n"
                          "EANA1=1023\r\n"
                          "EANA2=0\r\n"
                          "EANA3=512\r\n"
                          "EANA4=4095\r\n"
                          "AUTO=12\r\n"
                          "BOUTON=1\r\n"
                          "DATETIME=05/03/2012_09:07:03\r\n"
                          "COMMENT=Caf&#233; du coin\r\n"
                          "5VUSER=1\r\n"
                          "BLINK=0\r\n"
                          "DATETIMEFAB=\r\n"
                          "SMTPPWD=@AOB\r\n"
                          "UART=hello\r\n";

ZorTavlinData Parse(const wxString& page, bool uart = false, bool* clock = nullptr)
{
    ZorTavlinData d;
    ZorEtatUART u;
    bool c = ZorParseEtat(page, uart, d, u);
    if (clock)
        *clock = c;
    return d;
}

TEST(StatePage, FullPageFillsEveryMember)
{
    bool clock = true;
    ZorTavlinData d = Parse(wxString::FromUTF8(kPage), false, &clock);
    EXPECT_TRUE(d.m_bValide);
    EXPECT_FALSE(clock);
    EXPECT_EQ(d.m_iSRELAIS, 0x0A);
    EXPECT_EQ(d.m_iSNUM, 0x81);
    EXPECT_EQ(d.m_iENUM, 0x55);
    EXPECT_EQ(d.m_iSANA1, 120);
    EXPECT_EQ(d.m_iSANA2, -7);
    EXPECT_EQ(d.m_iEANA1, 1023);
    EXPECT_EQ(d.m_iEANA3, 512);
    EXPECT_EQ(d.m_iEANA4, 4095);
    EXPECT_EQ(d.m_iAUTO, 12);
    EXPECT_TRUE(d.m_bBOUTON);
    EXPECT_EQ(d.m_zDATETIME, wxT("05/03/2012_09:07:03"));
    EXPECT_EQ(d.m_zVERSION, wxT("3.12"));
    EXPECT_EQ(d.m_zCOMMENT, wxString::FromUTF8("Café du coin"));
    EXPECT_EQ(d.m_z5VUSER, wxT("1"));
    EXPECT_EQ(d.m_zTYPE, wxT("2"));
    EXPECT_EQ(d.m_zBLINK, wxT("0"));
    EXPECT_EQ(d.m_zSMTPPWD, wxT("@AOB"));
    EXPECT_EQ(d.m_zUART, wxT("hello"));
    // "DATETIMEFAB=" ends with its "=": skipped, the member stays empty.
    EXPECT_TRUE(d.m_zDATETIMEFAB.empty());
}

TEST(StatePage, EachParseStartsFromABlankRecord)
{
    ZorTavlinData d;
    ZorEtatUART u;
    ZorParseEtat(wxString::FromUTF8(kPage), false, d, u);
    ZorParseEtat(wxT("SNUM=00000010\n"), false, d, u);
    EXPECT_EQ(d.m_iSNUM, 0x02);
    EXPECT_EQ(d.m_iSRELAIS, 0);
    EXPECT_FALSE(d.m_bValide);
    EXPECT_TRUE(d.m_zVERSION.empty());
    EXPECT_EQ(d.m_iAUTO, 0);
}

TEST(StatePage, ValueConditionsRejectMalformedValues)
{
    EXPECT_FALSE(Parse(wxT("SRELAIS=101")).m_bValide);
    EXPECT_EQ(Parse(wxT("SRELAIS=101")).m_iSRELAIS, 0);
    EXPECT_FALSE(Parse(wxT("SRELAIS=10100")).m_bValide);
    EXPECT_EQ(Parse(wxT("SNUM=1000000")).m_iSNUM, 0);
    EXPECT_EQ(Parse(wxT("ENUM=111111111")).m_iENUM, 0);
    EXPECT_EQ(Parse(wxT("AUTO=1234")).m_iAUTO, 0);
    EXPECT_EQ(Parse(wxT("AUTO=-12")).m_iAUTO, -12);
    EXPECT_FALSE(Parse(wxT("BOUTON=10")).m_bBOUTON);
    EXPECT_FALSE(Parse(wxT("BOUTON=0")).m_bBOUTON);
    // Characters other than "1" leave their bit clear, the position still counts.
    EXPECT_EQ(Parse(wxT("SNUM=1x1?0001")).m_iSNUM, 0xA1);
    EXPECT_EQ(Parse(wxT("SRELAIS=abcd")).m_iSRELAIS, 0);
    EXPECT_TRUE(Parse(wxT("SRELAIS=abcd")).m_bValide);
}

TEST(StatePage, DecimalsFollowTheCLibraryConversion)
{
    EXPECT_EQ(Parse(wxT(" SANA1 = 300 \r")).m_iSANA1, 300);
    EXPECT_EQ(Parse(wxT("SANA1=70000")).m_iSANA1, 4464); // low 16 bits
    EXPECT_EQ(Parse(wxT("SANA2=12abc")).m_iSANA2, 12);
    EXPECT_EQ(Parse(wxT("EANA1=abc")).m_iEANA1, 0);
    EXPECT_EQ(Parse(wxT("EANA2=+42")).m_iEANA2, 42);
    EXPECT_EQ(Parse(wxT("EANA3=-32768")).m_iEANA3, -32768);
    EXPECT_EQ(Parse(wxT("EANA4=65535")).m_iEANA4, -1);
    // Saturates like strtol instead of wrapping around.
    EXPECT_EQ(Parse(wxT("SANA1=99999999999999999999999")).m_iSANA1, -1);
    EXPECT_EQ(Parse(wxT("SANA1=-99999999999999999999999")).m_iSANA1, 0);
}

TEST(StatePage, OddLinesAreSkippedOneByOne)
{
    ZorTavlinData d = Parse(wxT("\n\n/* SRELAIS=1111\nSRELAIS\nSNUM=\n=11110000\n")
                                wxT("srelais=1111\nUNKNOWN=1\nSRELAIS=0110\n  \n"));
    EXPECT_TRUE(d.m_bValide);
    EXPECT_EQ(d.m_iSRELAIS, 0x06);
    EXPECT_EQ(d.m_iSNUM, 0);
    // Value keeps its own "=" signs; the key is cut at the first one.
    EXPECT_EQ(Parse(wxT("COMMENT=a=b=")).m_zCOMMENT, wxT("a=b="));
    // No final line feed, a last line still counts.
    EXPECT_EQ(Parse(wxT("VERSION=2.0")).m_zVERSION, wxT("2.0"));
    // A value of blanks only is empty: VERSION needs a value, COMMENT takes it.
    EXPECT_TRUE(Parse(wxT("VERSION=   ")).m_zVERSION.empty());
    // Byte-per-character text: a zero-free Latin-1 reply keeps its characters.
    EXPECT_EQ(Parse(wxString::From8BitData("COMMENT=\xE9t\xE9")).m_zCOMMENT,
              wxString::FromUTF8("été"));
}

TEST(StatePage, InUARTModeTheIOKeysAreIgnored)
{
    ZorTavlinData d =
        Parse(wxT("SRELAIS=1111\nSNUM=11111111\nENUM=11111111\nSANA1=5\nEANA1=5\n"), true);
    EXPECT_TRUE(d.m_bValide);
    EXPECT_EQ(d.m_iSRELAIS, 0x0F);
    EXPECT_EQ(d.m_iSNUM, 0);
    EXPECT_EQ(d.m_iENUM, 0);
    EXPECT_EQ(d.m_iSANA1, 0);
    EXPECT_EQ(d.m_iEANA1, 0);
}

TEST(CommentReferences, DecodeOnlyWellFormedReferences)
{
    EXPECT_EQ(ZorDecodeReferences(wxT("a&#38;b&#0;c&x")), wxT("a&b&#0;c&x"));
    EXPECT_EQ(ZorDecodeReferences(wxT("Caf&#233;")), wxString::FromUTF8("Café"));
    EXPECT_EQ(ZorDecodeReferences(wxT("&#;&#12&#a;&")), wxT("&#;&#12&#a;&"));
    // Ten digits are a reference (low 8 bits of 4294967361 = 0x41), eleven are not.
    EXPECT_EQ(ZorDecodeReferences(wxT("&#4294967361;")), wxT("A"));
    EXPECT_EQ(ZorDecodeReferences(wxT("&#00000000065;")), wxT("&#00000000065;"));
    // 256 has low 8 bits 0: no NUL character enters the text.
    EXPECT_EQ(ZorDecodeReferences(wxT("&#256;x")), wxT("&#256;x"));
}

// One reply of the board through a state page.
void Reply(ZorTavlinData& d, ZorEtatUART& u, const wxString& uart)
{
    // Lines end with CR LF as the device sends them: "UART=" + CR is an empty value, not a
    // line ending with its "=".
    ZorParseEtat(wxT("SRELAIS=0000\r\nUART=") + uart + wxT("\r\n"), true, d, u);
}

TEST(UARTExchange, FullCycleReadsTheBoardAndReleasesTheHeldCommand)
{
    ZorTavlinData d;
    ZorEtatUART u;
    EXPECT_EQ(ZorEtatRequeteUART(u, wxT("&X=1")), wxT("&RAZ_UART=1"));
    EXPECT_EQ(ZorEtatRequeteUART(u, wxT("&X=1")), wxT("")); // nothing until the reply
    Reply(d, u, wxT("KKK"));                                // only K: counts as empty
    EXPECT_EQ(u.m_iEtapeUART, 1);
    EXPECT_EQ(ZorEtatRequeteUART(u, wxT("&X=1")), wxT("&WRITE_UART=I;"));
    Reply(d, u, wxT("SS1F2A"));
    EXPECT_EQ(d.m_iSNUM, 0x1F);
    EXPECT_EQ(d.m_iENUM, 0x2A);
    EXPECT_EQ(u.m_iEtapeUART, 2);
    EXPECT_EQ(ZorEtatRequeteUART(u, wxT("&X=1")), wxT("&RAZ_UART=1"));
    Reply(d, u, wxT("nonvide"));
    EXPECT_EQ(u.m_iEtapeUART, 2); // buffer not clean yet: waits
    EXPECT_EQ(ZorEtatRequeteUART(u, wxT("&X=1")), wxT(""));
    Reply(d, u, wxT(""));
    EXPECT_EQ(u.m_iEtapeUART, 3);
    EXPECT_EQ(ZorEtatRequeteUART(u, wxT("&X=1")), wxT("&WRITE_UART=N;"));
    Reply(d, u, wxT("00A3FF7FF001"));
    EXPECT_EQ(d.m_iEANA1, 0x00A);
    EXPECT_EQ(d.m_iEANA2, 0x3FF);
    EXPECT_EQ(d.m_iEANA3, 0x7FF);
    EXPECT_EQ(d.m_iEANA4, 0x001);
    EXPECT_EQ(u.m_iEtapeUART, 4);
    // Step 4 sends the held command only when one is held.
    EXPECT_EQ(ZorEtatRequeteUART(u, wxT("&X=1")), wxT(""));
    u.m_bEnvoiUART = true;
    u.m_bCommandeUART = true;
    EXPECT_EQ(ZorEtatRequeteUART(u, wxT("&X=1")), wxT("&X=1"));
    Reply(d, u, wxT("whatever"));
    EXPECT_EQ(u.m_iEtapeUART, 0);
    EXPECT_FALSE(u.m_bCommandeUART);
    EXPECT_TRUE(u.m_bEnvoiUART);
}

TEST(UARTExchange, SilentBoardFallsBackToStepZeroAfterTwentyReplies)
{
    ZorTavlinData d;
    ZorEtatUART u;
    u.m_iEtapeUART = 1;
    for (int i = 0; i < 20; ++i)
        Reply(d, u, wxT("ab"));
    EXPECT_EQ(u.m_iEtapeUART, 1);
    Reply(d, u, wxT("ab"));
    EXPECT_EQ(u.m_iEtapeUART, 0);
    EXPECT_TRUE(u.m_bEnvoiUART);

    u = ZorEtatUART();
    u.m_iEtapeUART = 3;
    for (int i = 0; i < 21; ++i)
        Reply(d, u, wxT("12345678901")); // 11 characters: one short
    EXPECT_EQ(u.m_iEtapeUART, 0);
}

TEST(UARTExchange, BoardValuesStayBetweenTheRepliesThatCarryThem)
{
    ZorTavlinData d;
    ZorEtatUART u;
    u.m_iEtapeUART = 1;
    Reply(d, u, wxT("80FF"));
    Reply(d, u, wxT("x")); // step 2, not clean
    EXPECT_EQ(d.m_iSNUM, 0x80);
    EXPECT_EQ(d.m_iENUM, 0xFF);
    // Outside UART mode nothing carries over.
    ZorParseEtat(wxT("SRELAIS=0000\n"), false, d, u);
    EXPECT_EQ(d.m_iSNUM, 0);
}

TEST(UARTExchange, UARTValueIsNotCleanedOutsideUARTMode)
{
    ZorTavlinData d = Parse(wxT("UART=SKSK"));
    EXPECT_EQ(d.m_zUART, wxT("SKSK"));
}

TEST(Clock, UnsetClockIsReported)
{
    bool clock = false;
    Parse(wxT("DATETIME=00/00/2000_00:00:00\r\n"), false, &clock);
    EXPECT_TRUE(clock);
    Parse(wxT("DATETIME=00/00/2000_00:00:01\r\n"), false, &clock);
    EXPECT_FALSE(clock);
}

} // namespace
