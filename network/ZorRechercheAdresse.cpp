#include "network/ZorRechercheAdresse.h"

#include "infra/ZorClock.h"
#include "network/ZorDiscoveryFormat.h"
#include "network/ZorPing.h"

#include <wx/arrstr.h>

#include <cstdio>
#include <ctime>
#include <random>

namespace {

const char* const ADRESSE_USINE = "169.254.233.233";
// The echo test: requests, wait for each answer, pause between requests.
const int ECHO_REQUETES = 3;
const char* const ECHO_ATTENTE_MS = "500";
const int64_t ECHO_PAUSE_MS = 1000;
// Steps of the pause, so that stopping is noticed soon.
const int64_t PAS_ARRET_MS = 50;

std::string Pointee(const uint8_t o[4])
{
    char buf[16];
    snprintf(buf, sizeof(buf), "%u.%u.%u.%u", unsigned(o[0]), unsigned(o[1]), unsigned(o[2]),
             unsigned(o[3]));
    return buf;
}

ZorRechercheAdresse::SourceCandidats SourceAleatoire()
{
    // One generator per search: the search thread alone draws from it.
    auto gen = std::make_shared<std::minstd_rand>(unsigned(time(nullptr)));
    return [gen](uint8_t aleatoire[4]) {
        std::uniform_int_distribution<int> d(150, 253);
        for (int i = 0; i < 4; ++i)
            aleatoire[i] = uint8_t(d(*gen));
    };
}

} // namespace

ZorRechercheAdresse::ZorRechercheAdresse() : m_test(&ZorRechercheAdresse::TestEcho) {}

ZorRechercheAdresse::~ZorRechercheAdresse()
{
    Arreter();
}

void ZorRechercheAdresse::SetTestLibre(TestLibre f)
{
    std::lock_guard<std::mutex> l(m_mutex);
    m_test = f ? std::move(f) : TestLibre(&ZorRechercheAdresse::TestEcho);
}

void ZorRechercheAdresse::SetSourceCandidats(SourceCandidats f)
{
    std::lock_guard<std::mutex> l(m_mutex);
    m_source = std::move(f);
}

void ZorRechercheAdresse::Lancer(const Demande& d)
{
    // The echo test's message tables are filled once, here, before any thread reads them.
    ZorPing::TexteErreur(0, 0);
    std::unique_lock<std::mutex> l(m_mutex);
    m_attente.push_back(d);
    if (m_bThreadActif)
        return;
    // The previous thread, if any, has left its loop: joining it is immediate.
    std::thread ancien = std::move(m_thread);
    m_bThreadActif = true;
    m_bArret = false;
    l.unlock();
    if (ancien.joinable())
        ancien.join();
    std::thread nouveau(&ZorRechercheAdresse::Boucle, this);
    l.lock();
    m_thread = std::move(nouveau);
}

std::vector<ZorRechercheAdresse::Resultat> ZorRechercheAdresse::Prendre()
{
    std::lock_guard<std::mutex> l(m_mutex);
    std::vector<Resultat> v;
    v.swap(m_prets);
    return v;
}

void ZorRechercheAdresse::Arreter()
{
    std::thread t;
    {
        std::lock_guard<std::mutex> l(m_mutex);
        m_bArret = true;
        m_attente.clear();
        t = std::move(m_thread);
    }
    if (t.joinable())
        t.join();
    std::lock_guard<std::mutex> l(m_mutex);
    m_prets.clear();
    m_bThreadActif = false;
}

void ZorRechercheAdresse::Boucle()
{
    for (;;)
    {
        Demande d;
        TestLibre test;
        SourceCandidats source;
        {
            std::lock_guard<std::mutex> l(m_mutex);
            if (m_attente.empty() || m_bArret)
            {
                m_bThreadActif = false;
                return;
            }
            d = m_attente.front();
            m_attente.pop_front();
            test = m_test;
            source = m_source ? m_source : SourceAleatoire();
        }
        Resultat r{d.zCle, Chercher(d, test, source)};
        std::lock_guard<std::mutex> l(m_mutex);
        if (m_bArret)
        {
            m_bThreadActif = false;
            return;
        }
        m_prets.push_back(r);
    }
}

std::string ZorRechercheAdresse::Chercher(const Demande& d, TestLibre& test,
                                          SourceCandidats& source)
{
    uint8_t reseau[4];
    for (int i = 0; i < 4; ++i)
        reseau[i] = uint8_t(d.adresse[i] & d.masque[i]);
    const std::string zAdapteur = Pointee(d.adresse);
    for (int iEssai = 0; iEssai < iCandidatsMax && !m_bArret; ++iEssai)
    {
        uint8_t aleatoire[4], octets[4];
        source(aleatoire);
        if (!ZorCandidatAdresse(reseau, d.masque, aleatoire, octets))
            continue;
        const std::string z = Pointee(octets);
        if (z == zAdapteur || z == ADRESSE_USINE)
            continue;
        if (test(z, m_bArret))
            return z;
    }
    return std::string();
}

bool ZorRechercheAdresse::TestEcho(const std::string& zIP, const std::atomic<bool>& bArret)
{
    // One request at a time, so that a stop is seen between them; the wire sees the same three
    // requests and pauses as one run of three.
    ZorClock& horloge = ZorDefaultClock();
    for (int i = 0; i < ECHO_REQUETES && !bArret; ++i)
    {
        if (i > 0)
            for (int64_t t = 0; t < ECHO_PAUSE_MS && !bArret; t += PAS_ARRET_MS)
                horloge.SleepMs(PAS_ARRET_MS);
        ZorPing ping;
        wxArrayString args;
        args.Add(wxT("-n"));
        args.Add(wxT("1"));
        args.Add(wxT("-w"));
        args.Add(ECHO_ATTENTE_MS);
        args.Add(wxString::FromUTF8(zIP.c_str()));
        int iCompletes = 0, iPerdues = 0;
        // A test that cannot run leaves the candidate free, as a lost request does.
        if (ping.Ping(args, &iCompletes, &iPerdues) != 0)
            return true;
        if (iCompletes - iPerdues > 0)
            return false;
    }
    return true;
}
