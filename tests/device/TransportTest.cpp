// The HTTP transport on its own: URL checks, the exact request target, reply text, errors,
// size and time bounds, and aborting from another thread.
#include "device/ZorHttpGet.h"
#include "network/ZorCurlRunner.h"
#include "tests/device/FakeDevice.h"

#include <gtest/gtest.h>
#include <wx/stopwatch.h>
#include <wx/utils.h>

#include <map>
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

// The state GET and the firmware post share one runner: a POST with its headers, its reply
// bounded, and the same handle then making a plain GET again (no option of the POST left over).
TEST_F(TransportTest, OneRunnerPostsThenGets)
{
    ASSERT_TRUE(dev.Start(kIP, 80, [](const std::string& t) {
        return zortest::FakeDevice::Page(std::string(t == "/mpfsupload" ? 5000 : 2, 'x'));
    }));
    ZorCurlRunner runner;
    const std::string corps = "0123456789";
    ZorCurlRunner::Requete post;
    post.zURL = "http://127.0.0.20/mpfsupload";
    post.zIPLocal = "127.0.0.1";
    post.pCorps = &corps;
    post.entetes = {"Content-type: multipart/form-data; boundary=b",
                    "Expect:", "Connection: close"};
    std::string reponse;
    EXPECT_EQ(runner.Executer(post, reponse), ZorCurlRunner::Fin::OK);
    EXPECT_EQ(reponse, std::string(5000, 'x'));
    runner.SetTailleMax(4096);
    EXPECT_EQ(runner.Executer(post, reponse), ZorCurlRunner::Fin::TROP_LONG);
    EXPECT_TRUE(reponse.empty());
    ZorCurlRunner::Requete get;
    get.zURL = "http://127.0.0.20/";
    get.zCible = "/etat.htm";
    get.bHttp10 = true;
    EXPECT_EQ(runner.Executer(get, reponse), ZorCurlRunner::Fin::OK);
    EXPECT_EQ(reponse, "xx");
    const std::vector<std::string> req = dev.Requests();
    ASSERT_EQ(req.size(), 3u);
    EXPECT_EQ(req[0].rfind("POST /mpfsupload HTTP/1.1\r\n", 0), 0u) << req[0];
    EXPECT_NE(req[0].find("Content-type: multipart/form-data; boundary=b\r\n"), std::string::npos);
    EXPECT_NE(req[0].find("Content-Length: 10\r\n"), std::string::npos);
    EXPECT_EQ(req[0].find("100-continue"), std::string::npos);
    EXPECT_EQ(req[2].rfind("GET /etat.htm HTTP/1.0\r\n", 0), 0u) << req[2];
    EXPECT_EQ(req[2].find("Content-"), std::string::npos) << req[2];
}

// The fleet's transport: several exchanges in flight on one thread, each told once with its own
// outcome; a silent device holds back nobody; slots are bounded, and reused after a cancel.
TEST(CurlMulti, ExchangesAtOnceEachToldOnceWithItsOutcome)
{
    zortest::FakeDevice rapide, muet;
    ASSERT_TRUE(rapide.Start("127.0.0.21", 80, [](const std::string& t) {
        return zortest::FakeDevice::Page(t == "/gros" ? std::string(300, 'x') : t);
    }));
    ASSERT_TRUE(muet.Start("127.0.0.22", 80, [](const std::string&) { return std::string(); }));
    ZorCurlMulti multi(4, 200);
    const auto get = [](const char* ip, const char* cible) {
        ZorCurlRunner::Requete r;
        r.zURL = std::string("http://") + ip + "/";
        r.zCible = cible;
        r.bHttp10 = true;
        r.iTotalMs = 20000;
        return r;
    };
    EXPECT_TRUE(multi.Lancer(get("127.0.0.22", "/etat.htm"), 1));
    EXPECT_TRUE(multi.Lancer(get("127.0.0.21", "/etat.htm"), 2));
    EXPECT_TRUE(multi.Lancer(get("127.0.0.21", "/gros"), 3));
    EXPECT_TRUE(multi.Lancer(get("127.0.0.23", "/etat.htm"), 4)); // nobody there
    EXPECT_FALSE(multi.Lancer(get("127.0.0.21", "/etat.htm"), 5)) << "every slot busy";
    std::map<uint64_t, std::pair<ZorCurlRunner::Fin, std::string>> fins;
    int nFois = 0;
    const auto noter = [&](const ZorCurlMulti::Fini& f) {
        ++nFois;
        fins[f.iJeton] = {f.fin, f.reponse};
    };
    for (int i = 0; i < 200 && fins.size() < 3; ++i) // at most 10 s
        multi.Avancer(50, noter);
    ASSERT_EQ(fins.size(), 3u);
    EXPECT_EQ(nFois, 3);
    EXPECT_EQ(fins[2].first, ZorCurlRunner::Fin::OK);
    EXPECT_NE(fins[2].second.find("/etat.htm"), std::string::npos);
    EXPECT_EQ(fins[3].first, ZorCurlRunner::Fin::TROP_LONG);
    EXPECT_EQ(fins[3].second, "");
    EXPECT_EQ(fins[4].first, ZorCurlRunner::Fin::CONNEXION);
    EXPECT_EQ(multi.EnVol(), 1u) << "the silent device is still waited for";

    // Woken from another thread while only the silent device is in flight; then cancelled:
    // nothing more is told, and the freed slots serve new exchanges.
    std::thread t([&] { multi.Reveiller(); });
    multi.Avancer(20000, noter);
    t.join();
    multi.Annuler();
    EXPECT_EQ(multi.EnVol(), 0u);
    EXPECT_EQ(nFois, 3);
    for (uint64_t j = 10; j < 14; ++j)
        EXPECT_TRUE(multi.Lancer(get("127.0.0.21", "/etat.htm"), j));
    for (int i = 0; i < 200 && fins.size() < 7; ++i)
        multi.Avancer(50, noter);
    EXPECT_EQ(fins.size(), 7u);
    EXPECT_EQ(fins[13].first, ZorCurlRunner::Fin::OK);
    EXPECT_EQ(rapide.Connections(), 6) << "one connection per request";
}

} // namespace
