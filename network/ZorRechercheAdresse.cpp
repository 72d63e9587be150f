#include "network/ZorRechercheAdresse.h"

#include "infra/ZorClock.h"
#include "network/ZorDiscoveryFormat.h"
#include "network/ZorPing.h"
#include "platform/ZorPlatform.h"

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
// How long a host has to answer address resolution (on a LAN it takes milliseconds, and the
// echo requests before have usually resolved it already).
const int VOISIN_ATTENTE_MS = 1000;

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

ZorRechercheAdresse::TestLibre DefautTest()
{
    return [](const std::string& zIP, const std::atomic<bool>& bArret) {
        return ZorRechercheAdresse::TestAdresse(zIP, bArret);
    };
}

} // namespace

ZorRechercheAdresse::ZorRechercheAdresse() : m_test(DefautTest()) {}

ZorRechercheAdresse::~ZorRechercheAdresse()
{
    Arreter();
}

void ZorRechercheAdresse::SetTestLibre(TestLibre f)
{
    std::lock_guard<std::mutex> l(m_mutex);
    m_test = f ? std::move(f) : DefautTest();
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
    for (;;) {
        Demande d;
        TestLibre test;
        SourceCandidats source;
        {
            std::lock_guard<std::mutex> l(m_mutex);
            if (m_attente.empty() || m_bArret) {
                m_bThreadActif = false;
                return;
            }
            d = m_attente.front();
            m_attente.pop_front();
            test = m_test;
            source = m_source ? m_source : SourceAleatoire();
        }
        Resultat r = Chercher(d, test, source);
        std::lock_guard<std::mutex> l(m_mutex);
        if (m_bArret) {
            m_bThreadActif = false;
            return;
        }
        m_prets.push_back(r);
    }
}

ZorRechercheAdresse::Resultat ZorRechercheAdresse::Chercher(const Demande& d, TestLibre& test,
                                                            SourceCandidats& source)
{
    Resultat r;
    r.zCle = d.zCle;
    uint8_t reseau[4];
    for (int i = 0; i < 4; ++i)
        reseau[i] = uint8_t(d.adresse[i] & d.masque[i]);
    const std::string zAdapteur = Pointee(d.adresse);
    for (int iEssai = 0; iEssai < iCandidatsMax && !m_bArret; ++iEssai) {
        uint8_t aleatoire[4], octets[4];
        source(aleatoire);
        if (!ZorCandidatAdresse(reseau, d.masque, aleatoire, octets))
            continue;
        const std::string z = Pointee(octets);
        if (z == zAdapteur || z == ADRESSE_USINE)
            continue;
        const Verdict v = test(z, m_bArret);
        if (v == Verdict::Intestable) {
            // The next candidate could not be tested either: never hand out a guess.
            r.eIssue = ZorIssueAdresse::TestImpossible;
            return r;
        }
        if (v == Verdict::Libre) {
            r.zAdresse = z;
            r.eIssue = ZorIssueAdresse::Trouvee;
            return r;
        }
    }
    return r;
}

ZorRechercheAdresse::Verdict ZorRechercheAdresse::TestAdresse(const std::string& zIP,
                                                              const std::atomic<bool>& bArret,
                                                              const TestLibre& echo,
                                                              const TestLibre& voisin)
{
    const Verdict v = echo(zIP, bArret);
    if (!(v == Verdict::Libre) || bArret)
        return v;
    return voisin(zIP, bArret);
}

ZorRechercheAdresse::Verdict ZorRechercheAdresse::TestVoisin(const std::string& zIP,
                                                             const std::atomic<bool>& bArret)
{
    uint32_t iAdresse = 0;
    if (!ZorPlatform::ResoudreIPv4(zIP, &iAdresse, nullptr))
        return Verdict::Intestable;
    switch (ZorPlatform::ChercherVoisin(iAdresse, VOISIN_ATTENTE_MS, &bArret)) {
    case ZorPlatform::ZorVoisin::Present:
        return Verdict::Occupee;
    case ZorPlatform::ZorVoisin::Absent:
        return Verdict::Libre;
    case ZorPlatform::ZorVoisin::Inconnu:
        break;
    }
    return Verdict::Intestable;
}

ZorRechercheAdresse::Verdict ZorRechercheAdresse::TestEcho(const std::string& zIP,
                                                           const std::atomic<bool>& bArret)
{
    // One request at a time, so that a stop is seen between them; the wire sees the same three
    // requests and pauses as one run of three.
    ZorClock& horloge = ZorDefaultClock();
    for (int i = 0; i < ECHO_REQUETES && !bArret; ++i) {
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
        // The candidate is dotted: a run that fails could open no echo socket.
        if (ping.Ping(args, &iCompletes, &iPerdues) != 0)
            return Verdict::Intestable;
        if (iCompletes - iPerdues > 0)
            return Verdict::Occupee;
    }
    return Verdict::Libre;
}
