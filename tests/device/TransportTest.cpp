// The HTTP transport on its own: URL checks, the exact request target, reply text, errors,
// size and time bounds, and aborting from another thread.
#include "device/ZorHttpGet.h"
#include "tests/device/FakeDevice.h"

#include <gtest/gtest.h>
#include <wx/stopwatch.h>
#include <wx/utils.h>

#include <thread>

namespace {

const char* const kIP = "127.0.0.20";

TEST(HttpUrl, OnlyPlainHttpUrlsWithASaneHost)
{
    std::string h, t;
    EXPECT_TRUE(ZorHttpGet::DecouperURL(wxT("http://192.168.1.2/etat.htm?date=1A&X=1"), &h, &t));
    EXPECT_EQ(h, "192.168.1.2");
    EXPECT_EQ(t, "/etat.htm?date=1A&X=1");
    EXPECT_TRUE(ZorHttpGet::DecouperURL(wxT("http://10.0.0.1"), &h, &t));
    EXPECT_EQ(t, "/");
    EXPECT_FALSE(ZorHttpGet::DecouperURL(wxT("https://10.0.0.1/"), &h, &t));
    EXPECT_FALSE(ZorHttpGet::DecouperURL(wxT("http:///etat.htm"), &h, &t));
    EXPECT_FALSE(ZorHttpGet::DecouperURL(wxT("http://user@host/x"), &h, &t));
}

TEST(HttpUrl, RequestTargetKeepsParametersAndEscapesOnlyWhatALineCannotCarry)
{
    EXPECT_EQ(ZorHttpGet::CibleRequete(wxT("/p?a=1&b=x;y#z%41+/")), "/p?a=1&b=x;y#z%41+/");
    EXPECT_EQ(ZorHttpGet::CibleRequete(wxT("/p?a=x y\r\nHost: evil")),
              "/p?a=x%20y%0D%0AHost:%20evil");
    EXPECT_EQ(ZorHttpGet::CibleRequete(wxString::FromUTF8("/é\x7F")), "/%E9%7F");
    EXPECT_EQ(ZorHttpGet::CibleRequete(wxString::FromUTF8("/€")), "/%3F");
}

TEST(HttpText, OneCharacterPerByteUpToTheFirstZero)
{
    EXPECT_EQ(ZorHttpGet::Texte(std::string("ab\xE9\0cd", 6)), wxString::FromUTF8("abé"));
    EXPECT_EQ(ZorHttpGet::Texte(std::string()), wxString());
}

class TransportTest : public testing::Test
{
protected:
    void TearDown() override { dev.Stop(); }
    zortest::FakeDevice dev;
    ZorHttpGet http;
    std::string body;
};

TEST_F(TransportTest, GetsTheBodyWithOneConnectionPerRequest)
{
    ASSERT_TRUE(dev.Start(
        kIP, 80, [](const std::string&) { return zortest::FakeDevice::Page("SRELAIS=1010\r\n"); }));
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(http.Get(wxT("http://127.0.0.20/etat.htm?date=1&A=b c"), wxT("127.0.0.1"), body),
                  ZorHttpGet::ZOR_HTTP_OK);
        EXPECT_EQ(body, "SRELAIS=1010\r\n");
    }
    EXPECT_EQ(dev.Connections(), 3);
    EXPECT_EQ(dev.Targets()[0], "/etat.htm?date=1&A=b%20c");
    std::string req = dev.Requests()[0];
    EXPECT_EQ(req.rfind("GET /etat.htm?date=1&A=b%20c HTTP/1.", 0), 0u) << req;
}

TEST_F(TransportTest, ErrorStatusRefusedConnectionAndUnusableLocalAddress)
{
    ASSERT_TRUE(dev.Start(kIP, 80, [](const std::string& t) {
        if (t.find("absent") != std::string::npos)
            return std::string("HTTP/1.0 404 Not Found\r\n\r\nnope");
        return zortest::FakeDevice::Page("ok");
    }));
    EXPECT_EQ(http.Get(wxT("http://127.0.0.20/absent.htm"), wxT(""), body),
              ZorHttpGet::ZOR_HTTP_STATUT);
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(http.GetStatut(), 404);
    EXPECT_EQ(http.Get(wxT("http://127.0.0.21/etat.htm"), wxT(""), body),
              ZorHttpGet::ZOR_HTTP_CONNEXION);
    // A local address this machine does not have.
    EXPECT_NE(http.Get(wxT("http://127.0.0.20/etat.htm"), wxT("192.0.2.77"), body),
              ZorHttpGet::ZOR_HTTP_OK);
    EXPECT_EQ(http.Get(wxT("not a url"), wxT(""), body), ZorHttpGet::ZOR_HTTP_URL);
    // Still usable afterwards.
    EXPECT_EQ(http.Get(wxT("http://127.0.0.20/etat.htm"), wxT(""), body), ZorHttpGet::ZOR_HTTP_OK);
    EXPECT_EQ(body, "ok");
}

TEST_F(TransportTest, OversizedReplyIsRefused)
{
    ASSERT_TRUE(dev.Start(kIP, 80, [](const std::string&) {
        return zortest::FakeDevice::Page(std::string(5000, 'x'));
    }));
    http.SetTailleMax(4096);
    EXPECT_EQ(http.Get(wxT("http://127.0.0.20/etat.htm"), wxT(""), body),
              ZorHttpGet::ZOR_HTTP_TROP_LONG);
    EXPECT_TRUE(body.empty());
}

TEST_F(TransportTest, SilentServerTimesOut)
{
    ASSERT_TRUE(dev.Start(kIP, 80, [](const std::string&) { return std::string(); }));
    http.SetDelais(500, 700);
    wxStopWatch sw;
    EXPECT_EQ(http.Get(wxT("http://127.0.0.20/etat.htm"), wxT(""), body),
              ZorHttpGet::ZOR_HTTP_DELAI);
    EXPECT_GE(sw.Time(), 600);
}

TEST_F(TransportTest, AbortFromAnotherThreadEndsTheWaitAtOnce)
{
    ASSERT_TRUE(dev.Start(kIP, 80, [](const std::string&) { return std::string(); }));
    // Far longer delays than the test can take: only the abort ends this wait.
    http.SetDelais(600000, 600000);
    std::thread t([&] {
        wxMilliSleep(300);
        http.Abort();
    });
    EXPECT_EQ(http.Get(wxT("http://127.0.0.20/etat.htm"), wxT(""), body),
              ZorHttpGet::ZOR_HTTP_ARRET);
    t.join();
    // Stays aborted until reset.
    EXPECT_EQ(http.Get(wxT("http://127.0.0.20/etat.htm"), wxT(""), body),
              ZorHttpGet::ZOR_HTTP_ARRET);
    http.Reset();
    dev.Stop();
    ASSERT_TRUE(
        dev.Start(kIP, 80, [](const std::string&) { return zortest::FakeDevice::Page("x"); }));
    EXPECT_EQ(http.Get(wxT("http://127.0.0.20/etat.htm"), wxT(""), body), ZorHttpGet::ZOR_HTTP_OK);
}

} // namespace
