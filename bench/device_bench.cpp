// Device runtime figures, each beside a baseline measured in the same run:
//  - state page parsing against a plain split of the same text into key/value pairs;
//  - our HTTP transport and the whole worker poll loop (states per second at the default 50 ms
//    spacing and at 0 ms, and the worker's time under the library-wide lock per poll) against a bare libcurl GET with a new connection per request, all on
//    an emulated device of the test network;
//  - command latency: from SetSNUM returning to the device receiving the request, p50 and p99,
//    measured on a web server of our own on a loopback address (microsecond clock of this
//    process), which the worker polls at the default spacing;
//  - CPU time of the whole process per second of wall time, while watching one emulated device
//    and while started with no device to watch.
//
//   tools/bench.sh [benchmark options]      (runs it inside tools/testnet.sh --lan)
//
// The network part runs only inside the test network (it starts the emulator there).
#include "bench/ZorBenchConsole.h"
#include "device/ZorHttpGet.h"
#include "device/ZorTavlinEtat.h"
#include "device/ZorTavlinObj.h"
#include "device/ZorTavlinThread.h"
#include "infra/ZorLibraryFlags.h"
#include "tests/common/ZorEmu.h"
#include "tests/common/ZorTestSupport.h"
#include "tests/device/FakeDevice.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace zortest {
void SetTestHome(const std::string& home);
}

namespace {

const char* const kIP = "192.168.77.10";
const char* const kLocal = "192.168.77.1";

// A state page as the emulated device serves it.
std::string Page()
{
    return "/* Tavlin 02-54-56-4D-0A-00 */\r\nNAME=Tavlin1\r\nMAC=02-54-56-4D-0A-00\r\n"
           "IP=192.168.77.10\r\nVERSION=3.4\r\nTYPE=1\r\nSRELAIS=0101\r\nSNUM=10100001\r\n"
           "SANA1=0\r\nSANA2=200\r\nENUM=00000101\r\nEANA1=512\r\nEANA2=1024\r\nEANA3=2048\r\n"
           "EANA4=3000\r\nAUTO=0\r\nBOUTON=0\r\nDATETIME=09/12/2026_03:57:09\r\n"
           "COMMENT=Atelier Caf&#233;\r\n5VUSER=1\r\nBLINK=0\r\nDATETIMEFAB=\r\nBANCFAB=\r\n"
           "IDFAB=\r\nSERIEFAB=\r\nSMTPSERVER=\r\nSMTPPORT=\r\nSMTPLOGIN=\r\nSMTPPWD=\r\n"
           "SMTPSSL=\r\nUART=\r\nFLASH=\r\nEEPROM=\r\n";
}

void BM_ParseEtat(benchmark::State& state)
{
    const wxString page = wxString::From8BitData(Page().c_str());
    ZorTavlinData d;
    ZorEtatUART u;
    for (auto _ : state) {
        ZorParseEtat(page, false, d, u);
        benchmark::DoNotOptimize(d.m_iSRELAIS);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(page.length()));
}
BENCHMARK(BM_ParseEtat);

// Baseline: the same text cut into lines and key/value strings, nothing interpreted.
void BM_LineSplitBaseline(benchmark::State& state)
{
    const wxString page = wxString::From8BitData(Page().c_str());
    std::vector<std::pair<wxString, wxString>> paires;
    for (auto _ : state) {
        paires.clear();
        size_t debut = 0;
        while (debut < page.length()) {
            size_t fin = page.find('\n', debut);
            if (fin == wxString::npos)
                fin = page.length();
            wxString ligne = page.substr(debut, fin - debut);
            size_t eq = ligne.find('=');
            if (eq != wxString::npos)
                paires.emplace_back(ligne.substr(0, eq), ligne.substr(eq + 1));
            debut = fin + 1;
        }
        benchmark::DoNotOptimize(paires.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(page.length()));
}
BENCHMARK(BM_LineSplitBaseline);

zortest::Emu* gEmu = nullptr;

void BM_TransportGet(benchmark::State& state)
{
    if (!gEmu) {
        state.SkipWithError("needs the test network and the emulator");
        return;
    }
    ZorHttpGet http;
    std::string body;
    const wxString url = wxString(wxT("http://")) + kIP + wxT("/etat.htm?date=1");
    for (auto _ : state) {
        if (http.Get(url, kLocal, body) != ZorHttpGet::ZOR_HTTP_OK) {
            state.SkipWithError("request failed");
            break;
        }
    }
    state.counters["req/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TransportGet)->UseRealTime()->MinTime(2.0);

size_t Ecrire(char*, size_t size, size_t n, void*)
{
    return size * n;
}

// Baseline: a bare blocking libcurl GET of the same page (HTTP/1.0 like ours), new handle and
// connection each time.
void BM_RawCurlGet(benchmark::State& state)
{
    if (!gEmu) {
        state.SkipWithError("needs the test network and the emulator");
        return;
    }
    const std::string url = std::string("http://") + kIP + "/etat.htm?date=1";
    for (auto _ : state) {
        CURL* e = curl_easy_init();
        curl_easy_setopt(e, CURLOPT_URL, url.c_str());
        curl_easy_setopt(e, CURLOPT_NOPROXY, "*");
        curl_easy_setopt(e, CURLOPT_HTTP_VERSION, (long)CURL_HTTP_VERSION_1_0);
        curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Ecrire);
        CURLcode c = curl_easy_perform(e);
        curl_easy_cleanup(e);
        if (c != CURLE_OK) {
            state.SkipWithError("request failed");
            break;
        }
    }
    state.counters["req/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RawCurlGet)->UseRealTime()->MinTime(2.0);

// The whole poll loop: worker, transport, parser and publication. One iteration waits for the
// next published state. Argument: poll spacing in ms (50 is the default, 0 polls back to back).
void BM_WorkerPoll(benchmark::State& state)
{
    if (!gEmu) {
        state.SkipWithError("needs the test network and the emulator");
        return;
    }
    ZorTavlinObj::CreateTavlinObj();
    ZorTavlinObj* obj = gpTheTavlin;
    obj->SetDefaultTimeSurveillanceMs(int(state.range(0)));
    obj->AddTavlin(wxString::FromUTF8(kIP), wxT("T"), wxT("02-00-00-00-00-01"), wxT(""), wxT(""),
                   wxT(""), wxT("255.255.255.0"), wxT(""), false, wxString::FromUTF8(kLocal),
                   wxT("255.255.255.0"), wxT(""), wxT("3.4"));
    obj->SurveillerAddrMAC(wxT("02-00-00-00-00-01"));
    obj->SetTimeAlive(-1);
    if (!obj->Start(wxT("bench"), false)) {
        state.SkipWithError("start failed");
        ZorTavlinObj::DeleteTavlinObj();
        return;
    }
    // The worker needs no event loop: wait with a fine sleep, not the 10 ms event pump.
    uint64_t iVu = 0;
    auto attendre = [&] {
        for (int i = 0; i < 50000; ++i) {
            const uint64_t iSequence = obj->GetSequenceEtat();
            if (iSequence > iVu) {
                iVu = iSequence;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        return false;
    };
    attendre();
    ZorTavlinThread::MesureVerrou& verrou = ZorTavlinThread::Mesure();
    verrou.Raz();
    verrou.bActive = true;
    for (auto _ : state) {
        if (!attendre()) {
            state.SkipWithError("no state published");
            break;
        }
    }
    state.counters["states/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    // The worker's time under the library-wide lock: per state page fetched (every hold of
    // the passes in between counted) and the longest single hold.
    verrou.bActive = false;
    const double polls = double(std::max<int64_t>(1, verrou.iPolls.load()));
    state.counters["lock_us/poll"] = double(verrou.iTotalNs.load()) / 1e3 / polls;
    state.counters["holds/poll"] = double(verrou.iPrises.load()) / polls;
    state.counters["lock_max_us"] = double(verrou.iMaxNs.load()) / 1e3;
    obj->Stop();
    ZorTavlinObj::DeleteTavlinObj();
}
BENCHMARK(BM_WorkerPoll)->Arg(50)->Arg(0)->UseRealTime()->MinTime(2.0);

using Horloge = std::chrono::steady_clock;

// Waits (finely, the worker needs no event loop) until done() or timeoutMs.
template <class F> bool Attendre(F done, int timeoutMs)
{
    const auto fin = Horloge::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (Horloge::now() > fin)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    return true;
}

ZorTavlinObj* DemarrerSur(const char* ip, const char* local, bool bSurveiller)
{
    ZorTavlinObj::CreateTavlinObj();
    ZorTavlinObj* obj = gpTheTavlin;
    obj->SetTimeAlive(-1);
    obj->AddTavlin(wxString::FromUTF8(ip), wxT("T"), wxT("02-00-00-00-00-02"), wxT(""), wxT(""),
                   wxT(""), wxT("255.0.0.0"), wxT(""), false, wxString::FromUTF8(local),
                   wxT("255.0.0.0"), wxT(""), wxT("3.4"));
    if (bSurveiller)
        obj->SurveillerAddrMAC(wxT("02-00-00-00-00-02"));
    if (!obj->Start(wxT("bench"), false)) {
        ZorTavlinObj::DeleteTavlinObj();
        return nullptr;
    }
    return obj;
}

double Percentile(std::vector<double> v, double q)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    size_t i = std::min(v.size() - 1, size_t(q * double(v.size() - 1) + 0.5));
    return v[i];
}

// Commands sent one after another at random moments of the worker's cycle; latency from the
// return of SetSNUM to the arrival of the request at the device, in microseconds.
void CommandLatency()
{
    const char* const ip = "127.0.0.20";
    std::atomic<long long> recu{0};
    zortest::FakeDevice dev;
    const std::string page = zortest::FakeDevice::Page(Page());
    if (!dev.Start(ip, 80, [&](const std::string& cible) {
            if (cible.find("&SNUM=") != std::string::npos)
                recu = std::chrono::duration_cast<std::chrono::microseconds>(
                           Horloge::now().time_since_epoch())
                           .count();
            return page;
        })) {
        printf("command latency: cannot listen on %s:80\n", ip);
        return;
    }
    ZorTavlinObj* obj = DemarrerSur(ip, "127.0.0.1", true);
    if (!obj) {
        printf("command latency: start failed\n");
        return;
    }
    Attendre([&] { return obj->IsEtatValide(); }, 3000);
    std::mt19937 alea(7);
    std::uniform_int_distribution<int> decalage(0, 20000);
    std::vector<double> us;
    const int n = 300;
    for (int i = 0; i < n; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(decalage(alea)));
        recu = 0;
        if (!obj->SetSNUM(uint8_t(i), true))
            continue;
        const long long t0 =
            std::chrono::duration_cast<std::chrono::microseconds>(Horloge::now().time_since_epoch())
                .count();
        if (!Attendre([&] { return recu.load() != 0; }, 2000))
            continue;
        us.push_back(double(std::max(0LL, recu.load() - t0)));
    }
    obj->Stop();
    ZorTavlinObj::DeleteTavlinObj();
    dev.Stop();
    printf("command latency (SetSNUM returned -> request at the device, 50 ms poll spacing, "
           "%zu/%d commands): p50 %.0f us, p99 %.0f us, max %.0f us\n",
           us.size(), n, Percentile(us, 0.5), Percentile(us, 0.99), Percentile(us, 1.0));
}

double CpuMs()
{
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return double(r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1e3 +
           double(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e3;
}

// CPU milliseconds per second of wall time over a few seconds of a started device manager. The
// main thread only sleeps, so this is the worker (and the process's idle threads).
void CpuUse(const char* quoi, bool bSurveiller)
{
    ZorTavlinObj* obj = DemarrerSur(kIP, kLocal, bSurveiller);
    if (!obj) {
        printf("cpu %s: start failed\n", quoi);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double c0 = CpuMs();
    const auto t0 = Horloge::now();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const double c1 = CpuMs();
    const double s = std::chrono::duration<double>(Horloge::now() - t0).count();
    ZorTavlinData etat;
    obj->GetEtat(etat);
    obj->Stop();
    ZorTavlinObj::DeleteTavlinObj();
    printf("cpu %s: %.2f ms per second (%.2f %% of one core)%s\n", quoi, (c1 - c0) / s,
           (c1 - c0) / s / 10.0, bSurveiller && !etat.m_bValide ? " [no state received]" : "");
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const std::string home = zorbench::DemarrerConsole(argv[0]);
    if (home.empty())
        return 3;
    gbAppHote = false;

    zortest::Emu emu;
    if (zortest::InTestNetwork() &&
        emu.Start(zortest::EnvOr("TAVLIN_NS_LAN1", ""), {"--first-ip", kIP}))
        gEmu = &emu;
    else
        fprintf(stderr, "device_bench: not in the test network, network benchmarks skipped\n");

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (gEmu) {
        CommandLatency();
        CpuUse("watching one device", true);
        CpuUse("idle (started, nothing to watch)", false);
    }
    fflush(stdout);

    emu.Stop();
    zorbench::Terminer(home);
    return 0;
}
