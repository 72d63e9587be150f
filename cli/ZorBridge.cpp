#include "cli/ZorBridge.h"

#include "cli/ZorBridgeFormat.h"
#include "cli/ZorCliOutils.h"
#include "cli/ZorMqtt.h"
#include "device/ZorPollerFlotte.h"
#include "device/ZorTavlinObj.h"
#include "firmware/ZorMAJTavlin.h"
#include "infra/ZorClock.h"
#include "infra/ZorPompe.h"
#include "infra/ZorConfiguration.h"
#include "infra/ZorTraduction.h"

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>
#include <wx/socket.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace {

constexpr const char* kConfigDefaut = "/etc/tavlin/bridge.conf";
constexpr int kRegistreMs = 1000; // the registry compared with what is published
constexpr int kPassesInfo = 10;   // every device's info made again on one pass in this many
constexpr int kHelloMs = 10000;   // a discovery hello, so devices switched on later are found
constexpr size_t kFileMax = 256;  // commands waiting for the main thread at most
constexpr int kAttenteBoucleMs = 100; // the main loop's longest sleep between two looks

// Translated where printed.
const char* const kAide = ZOR_N8(
    "usage : tavlin bridge --site SITE [--broker mqtt[s]://HÔTE[:PORT]] [--config FICHIER]\n"
    "        [--prefix tavlin] [--homeassistant|--no-homeassistant] [--ha-prefix homeassistant]\n"
    "        [--username NOM --password-file FICHIER] [--ca-file CA.pem]\n"
    "        [--cert-file CERT.pem --key-file CLE.pem] [--client-id ID] [--period-ms 1000]\n"
    "        [--in-flight 8] [--seconds N] [--lang fr|en]\n"
    "Publie chaque Tavlin trouvée sur le broker MQTT et exécute les commandes reçues.\n"
    "Le mot de passe se lit dans un fichier seulement (--password-file).\n");

bool LireOui(const std::string& z, bool* pb)
{
    if (z == "1" || z == "yes" || z == "true" || z == "on")
        return *pb = true, true;
    if (z == "0" || z == "no" || z == "false" || z == "off")
        return *pb = false, true;
    return false;
}

bool LireBorne(const std::string& z, int iMin, int iMax, int* pi)
{
    char* fin = nullptr;
    const long v = std::strtol(z.c_str(), &fin, 10);
    if (z.empty() || *fin != '\0' || v < iMin || v > iMax)
        return false;
    *pi = int(v);
    return true;
}

// One setting, from the file or the command line. Empty, or the message.
std::string Regler(const std::string& k, const std::string& v, ZorBridgeOptions& o)
{
    if (k == "password")
        return ZorCliTr("le mot de passe ne se donne jamais en clair : password-file FICHIER");
    if (k == "lang")
        return ZorLangueDemandee(o.zLangue = v) < 0 ? ZorCliTr("lang : fr ou en") : "";
    std::string* texte = k == "broker"          ? &o.zBroker
                         : k == "site"          ? &o.zSite
                         : k == "prefix"        ? &o.zPrefixe
                         : k == "ha-prefix"     ? &o.zPrefixeHA
                         : k == "username"      ? &o.zUtilisateur
                         : k == "password-file" ? &o.zFichierMotDePasse
                         : k == "ca-file"       ? &o.zCA
                         : k == "cert-file"     ? &o.zCertificat
                         : k == "key-file"      ? &o.zCle
                         : k == "client-id"     ? &o.zClient
                                                : nullptr;
    if (texte)
        return *texte = v, std::string();
    if (k == "homeassistant")
        return LireOui(v, &o.bHomeAssistant) ? "" : ZorCliTr("homeassistant : yes ou no");
    if (k == "period-ms")
        return LireBorne(v, 100, 60000, &o.iPeriodeMs) ? ""
                                                       : ZorCliTr("period-ms : de 100 à 60000");
    if (k == "in-flight")
        return LireBorne(v, 1, 64, &o.iEnVolMax) ? "" : ZorCliTr("in-flight : de 1 à 64");
    if (k == "seconds")
        return LireBorne(v, 0, 1 << 30, &o.iSecondes) ? "" : ZorCliTr("seconds : un nombre");
    return ZorCliTr("réglage inconnu : %s", {k});
}

std::string Blancs(const std::string& z)
{
    const size_t a = z.find_first_not_of(" \t\r");
    const size_t b = z.find_last_not_of(" \t\r");
    return a == std::string::npos ? std::string() : z.substr(a, b - a + 1);
}

std::string LireFichierConfig(const std::string& zChemin, ZorBridgeOptions& o)
{
    std::ifstream f(zChemin);
    if (!f)
        return ZorCliTr("configuration illisible : %s", {zChemin});
    std::string ligne;
    for (int n = 1; std::getline(f, ligne); ++n) {
        ligne = Blancs(ligne);
        if (ligne.empty() || ligne[0] == '#')
            continue;
        const size_t egal = ligne.find('=');
        const std::string z = egal == std::string::npos ? ZorCliTr("KEY = VALUE attendu")
                                                        : Regler(Blancs(ligne.substr(0, egal)),
                                                                 Blancs(ligne.substr(egal + 1)), o);
        if (!z.empty())
            return zChemin + ":" + std::to_string(n) + " : " + z;
    }
    return std::string();
}

} // namespace

std::string ZorBridgeLireOptions(const std::vector<std::string>& args, ZorBridgeOptions& o)
{
    std::string zConfig;
    bool bConfigDonnee = false;
    for (size_t i = 1; i + 1 < args.size(); ++i)
        if (args[i] == "--config")
            zConfig = args[i + 1], bConfigDonnee = true;
    if (!bConfigDonnee && std::ifstream(kConfigDefaut))
        zConfig = kConfigDefaut;
    if (!zConfig.empty()) {
        std::string z = LireFichierConfig(zConfig, o);
        if (!z.empty())
            return z;
    }
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h")
            return "aide";
        if (a == "--homeassistant" || a == "--no-homeassistant") {
            o.bHomeAssistant = a == "--homeassistant";
            continue;
        }
        if (a.compare(0, 2, "--") != 0)
            return ZorCliTr("argument inattendu : %s", {a});
        if (i + 1 >= args.size())
            return ZorCliTr("%s demande une valeur", {a});
        const std::string& v = args[++i];
        if (a == "--config")
            continue;
        std::string z = Regler(a.substr(2), v, o);
        if (!z.empty())
            return z;
    }
    if (o.zSite.empty())
        return ZorCliTr("--site est obligatoire (un nom par site, pour que plusieurs ponts "
                        "partagent un broker)");
    for (const std::string* p : {&o.zSite, &o.zPrefixe, &o.zPrefixeHA})
        if (!ZorBridgeNomValide(*p))
            return ZorCliTr("nom invalide : « %s » (lettres, chiffres, - _ . ; 64 au plus)", {*p});
    if (!o.zFichierMotDePasse.empty() && o.zUtilisateur.empty())
        return ZorCliTr("--password-file demande --username");
    return std::string();
}

namespace {

// What the broker already holds about one device, to republish after a reconnection and to
// remove when the device leaves the registry.
struct Publie
{
    // The registry fields its info document was made from.
    struct Source
    {
        wxString zIP, zNom, zCommentaire, zVersion, zIPLocal, zMaskLocal;
        Source() = default;
        explicit Source(const ZorTavlinInfo& d)
            : zIP(d.m_zIP), zNom(d.m_zNom), zCommentaire(d.m_zCommentaire), zVersion(d.m_zVersion),
              zIPLocal(d.m_zIPLocal), zMaskLocal(d.m_zMaskLocal)
        {}
        bool Meme(const ZorTavlinInfo& d) const
        {
            return zIP == d.m_zIP && zNom == d.m_zNom && zCommentaire == d.m_zCommentaire &&
                   zVersion == d.m_zVersion && zIPLocal == d.m_zIPLocal &&
                   zMaskLocal == d.m_zMaskLocal;
        }
    };
    std::string zInfo, zEtat, zDispo, zNom, zVersion;
    ZorTavlinData etat;
    bool bEtat = false;
    bool bVu = false; // in the registry at this pass
    wxString zIP, zIPLocal;
    Source source;
};

class Pont : public ZorFlotteSink, public ZorMqtt::Sink
{
public:
    Pont(ZorTavlinObj& tavlin, const ZorBridgeOptions& o)
        : m_tavlin(tavlin), m_o(o), m_mqtt(*this), m_poller(*this, ZorDefaultClock(), Reglages(o)),
          m_aJour(ZorMAJTavlin().TestAJour())
    {
        m_s.zPrefixe = o.zPrefixe;
        m_s.zSite = o.zSite;
        m_s.zPrefixeHA = o.zPrefixeHA;
    }

    int Executer()
    {
        ZorMqtt::Reglages r;
        std::string z;
        if (!ZorMqtt::LireURL(m_o.zBroker, &r, &z))
            return Erreur(ZOR_CLI_USAGE, z);
        if (!m_o.zFichierMotDePasse.empty() && !LireMotDePasse(&r.zMotDePasse, &z))
            return Erreur(ZOR_CLI_USAGE, z);
        r.zUtilisateur = m_o.zUtilisateur;
        r.zCA = m_o.zCA, r.zCertificat = m_o.zCertificat, r.zCle = m_o.zCle;
        r.zClient = m_o.zClient.empty() ? "tavlin-bridge-" + m_o.zSite : m_o.zClient;
        r.zSujetTestament = m_s.Bridge("status");
        r.zTestament = "offline";
        if (r.bTLS && r.zCA.empty())
            return Erreur(ZOR_CLI_USAGE, ZorCliTr("mqtts:// demande --ca-file"));
        if (!m_mqtt.Connecter(r, &z))
            return Erreur(ZOR_CLI_RESEAU, z);
        m_poller.Demarrer();
        int64_t iProchainRegistre = 0, iProchainHello = 0;
        const int iMs = m_o.iSecondes > 0 ? m_o.iSecondes * 1000 : INT32_MAX;
        // The loop runs at once for a command or a refusal (their threads wake it) and for the
        // engine's timers; otherwise a look every 100 ms is enough for the once-a-second work,
        // and a hundred wake-ups a second of a service that mostly waits are not.
        ZorCliPomper(
            iMs,
            [&] {
                const int64_t t = ZorDefaultClock().NowMs();
                if (t >= iProchainHello) {
                    m_tavlin.Decouvrir();
                    iProchainHello = t + kHelloMs;
                }
                if (t >= iProchainRegistre) {
                    Registre();
                    iProchainRegistre = t + kRegistreMs;
                }
                Commandes();
                return !m_mqtt.ErreurDefinitive().empty();
            },
            kAttenteBoucleMs);
        const std::string zFatale = m_mqtt.ErreurDefinitive();
        m_poller.Arreter();
        // Said before leaving, so subscribers need not wait for the broker's keep-alive.
        m_mqtt.Publier(m_s.Bridge("status"), "offline", true);
        m_mqtt.Arreter();
        return zFatale.empty() ? int(ZOR_CLI_OK) : Erreur(ZOR_CLI_RESEAU, zFatale);
    }

    // --- MQTT side (network thread) ----------------------------------------------------------
    void OnConnexion(int iCode, const std::string& zRaison) override
    {
        if (iCode != 0) {
            // A refusal for good ends the run, and is told then.
            if (m_mqtt.ErreurDefinitive().empty())
                std::fprintf(stderr, "tavlin bridge: %s\n",
                             ZorCliTr("le broker refuse la connexion : %s", {zRaison}).c_str());
            else
                wxWakeUpIdle(); // the main thread ends the run now
            return;
        }
        std::fprintf(stderr, "tavlin bridge: %s\n",
                     ZorCliTr("connecté au broker %s", {m_o.zBroker}).c_str());
        m_mqtt.Abonner(m_s.Commandes());
        m_mqtt.Publier(m_s.Bridge("status"), "online", true);
        // A broker restarted without persistence has lost every retained message.
        std::lock_guard<std::mutex> l(m_m);
        for (const auto& kv : m_publies)
            Republier(kv.first, kv.second);
    }
    void OnDeconnexion(int iCode) override
    {
        if (iCode != 0)
            std::fprintf(stderr, "tavlin bridge: %s\n",
                         ZorCliTr("connexion au broker perdue, nouvel essai").c_str());
    }
    void OnMessage(const std::string& zSujet, const std::string& zCharge) override
    {
        std::lock_guard<std::mutex> l(m_m);
        if (m_file.size() >= kFileMax)
            m_mqtt.Publier(m_s.Bridge("error"),
                           ZorBridgeJsonErreur(zSujet, "trop de commandes en "
                                                       "attente"),
                           false);
        else
            // Enough of an oversized payload to refuse it, not a copy of it.
            m_file.emplace_back(zSujet, zCharge.substr(0, kZorBridgeChargeMax + 1));
        wxWakeUpIdle(); // the main thread runs it now, not at its next look
    }

    // --- Poller side (pool threads) ----------------------------------------------------------
    void OnEtatFlotte(const wxString& zMAC, const ZorTavlinData& etat) override
    {
        const std::string mac = ZorCliU8(zMAC);
        const std::string z = ZorCliJsonEtat(etat).Texte();
        std::lock_guard<std::mutex> l(m_m);
        auto it = m_publies.find(mac);
        if (it == m_publies.end())
            return;
        it->second.zEtat = z;
        it->second.etat.CopyFrom(etat);
        it->second.bEtat = true;
        m_mqtt.Publier(m_s.Device(mac, "state"), z, true);
    }
    void OnDisponibiliteFlotte(const wxString& zMAC, bool bDisponible) override
    {
        const std::string mac = ZorCliU8(zMAC);
        std::lock_guard<std::mutex> l(m_m);
        auto it = m_publies.find(mac);
        if (it == m_publies.end())
            return;
        it->second.zDispo = bDisponible ? "online" : "offline";
        m_mqtt.Publier(m_s.Device(mac, "availability"), it->second.zDispo, true);
    }

private:
    ZorTavlinObj& m_tavlin;
    static ZorPollerFlotte::Reglages Reglages(const ZorBridgeOptions& o)
    {
        ZorPollerFlotte::Reglages r;
        r.iPeriodeMs = o.iPeriodeMs;
        r.iEnVolMax = o.iEnVolMax;
        return r;
    }
    static int Erreur(int iCode, const std::string& z)
    {
        std::fprintf(stderr, "tavlin bridge: %s\n", z.c_str());
        return iCode;
    }
    bool LireMotDePasse(std::string* pz, std::string* pzErreur) const
    {
        std::ifstream f(m_o.zFichierMotDePasse);
        if (!f || !std::getline(f, *pz))
            return *pzErreur =
                       ZorCliTr("fichier de mot de passe illisible : %s", {m_o.zFichierMotDePasse}),
                   false;
        while (!pz->empty() && (pz->back() == '\r' || pz->back() == '\n'))
            pz->pop_back();
        return true;
    }

    // With m_m held.
    void Republier(const std::string& mac, const Publie& p)
    {
        m_mqtt.Publier(m_s.Device(mac, "info"), p.zInfo, true);
        if (!p.zDispo.empty())
            m_mqtt.Publier(m_s.Device(mac, "availability"), p.zDispo, true);
        if (p.bEtat)
            m_mqtt.Publier(m_s.Device(mac, "state"), p.zEtat, true);
        if (m_o.bHomeAssistant)
            for (const auto& c : ZorBridgeConfigsHA(m_s, {mac, p.zNom, p.zVersion}))
                m_mqtt.Publier(c.first, c.second, true);
    }
    void Effacer(const std::string& mac, const Publie& p)
    {
        for (const char* f : {"info", "state", "availability"})
            m_mqtt.Publier(m_s.Device(mac, f), "", true);
        if (m_o.bHomeAssistant)
            for (const auto& c : ZorBridgeConfigsHA(m_s, {mac, p.zNom, p.zVersion}))
                m_mqtt.Publier(c.first, "", true);
    }

    // The registry against what is published: new and changed devices out, dropped ones
    // removed, and the poller given the list when it changed. Runs every second over the whole
    // fleet, so a device whose registry fields are as last time costs a few comparisons: its
    // info is formatted again only on every kPassesInfo-th pass (the adapter's name and the
    // update check read more than its fields).
    void Registre()
    {
        ZorTavlinInfoArray tous;
        m_tavlin.GetLesTavlin(tous);
        const bool bToutes = m_iPasse++ % kPassesInfo == 0;
        bool bCibles = tous.GetCount() != m_cibles.size();
        {
            std::lock_guard<std::mutex> l(m_m);
            for (auto& kv : m_publies)
                kv.second.bVu = false;
            m_cibles.resize(tous.GetCount());
            for (size_t i = 0; i < tous.GetCount(); ++i) {
                const ZorTavlinInfo& d = tous[i];
                ZorCibleFlotte& c = m_cibles[i];
                if (c.zMAC != d.m_zMAC || c.zIP != d.m_zIP || c.zIPLocal != d.m_zIPLocal) {
                    c = {d.m_zMAC, d.m_zIP, d.m_zIPLocal};
                    bCibles = true;
                }
                const std::string mac = ZorCliU8(d.m_zMAC);
                Publie& p = m_publies[mac];
                p.bVu = true;
                if (!bToutes && !p.zInfo.empty() && p.source.Meme(d))
                    continue;
                p.source = Publie::Source(d);
                p.zIP = d.m_zIP, p.zIPLocal = d.m_zIPLocal;
                const std::string zInfo = ZorCliJsonDevice(m_tavlin, d, false, m_aJour).Texte();
                const bool bNomChange = p.zNom != ZorCliU8(d.m_zNom) ||
                                        p.zVersion != ZorCliU8(d.m_zVersion) || p.zInfo.empty();
                p.zNom = ZorCliU8(d.m_zNom), p.zVersion = ZorCliU8(d.m_zVersion);
                if (zInfo != p.zInfo) {
                    p.zInfo = zInfo;
                    m_mqtt.Publier(m_s.Device(mac, "info"), zInfo, true);
                }
                if (bNomChange && m_o.bHomeAssistant)
                    for (const auto& c : ZorBridgeConfigsHA(m_s, {mac, p.zNom, p.zVersion}))
                        m_mqtt.Publier(c.first, c.second, true);
            }
            for (auto it = m_publies.begin(); it != m_publies.end();)
                if (it->second.bVu) {
                    ++it;
                } else {
                    Effacer(it->first, it->second);
                    it = m_publies.erase(it);
                }
        }
        // Outside our lock: the poller's threads take it (in the sink) while holding theirs.
        if (bCibles)
            m_poller.SetCibles(m_cibles);
    }

    void Resultat(const ZorBridgeCommande& c, const char* zResultat, const std::string& z)
    {
        m_mqtt.Publier(m_s.Bridge("result"),
                       ZorBridgeJsonResultat(c.zMAC, c.zCommande, zResultat, z), false);
    }

    // The commands received, on the main thread (the command catalogue's thread).
    void Commandes()
    {
        std::deque<std::pair<std::string, std::string>> file;
        {
            std::lock_guard<std::mutex> l(m_m);
            file.swap(m_file);
        }
        for (const auto& m : file) {
            ZorBridgeCommande c;
            std::string z;
            const ZorBridgeLecture l = ZorBridgeLireCommande(m_s, m.first, m.second, &c, &z);
            if (l == ZorBridgeLecture::Erreur)
                m_mqtt.Publier(m_s.Bridge("error"), ZorBridgeJsonErreur(m.first, z), false);
            if (l == ZorBridgeLecture::Commande)
                Executer(c);
        }
    }

    void Executer(const ZorBridgeCommande& c)
    {
        Publie p;
        {
            std::lock_guard<std::mutex> l(m_m);
            auto it = m_publies.find(c.zMAC);
            if (it == m_publies.end())
                return Resultat(c, "absent", "aucune Tavlin " + c.zMAC + " sur ce site");
            p = it->second;
        }
        // Never kept for later: an old command reaching a device that comes back is a surprise.
        if (p.zDispo != "online" || !p.bEtat)
            return Resultat(c, "offline", "la Tavlin ne répond pas : commande refusée");
        // The catalogue's commands go to the watched device: this one, for this command.
        m_tavlin.SurveillerAddrMAC(ZorCliW(c.zMAC));
        uint8_t iRelais = p.etat.m_iSRELAIS;
        const bool bOk = ZorCliEnvoyer(m_tavlin, c.reglage, iRelais, p.zIP, &iRelais);
        if (bOk && c.reglage.type == ZorCliReglage::RELAIS) {
            // A second relay command before the next poll builds on this one.
            std::lock_guard<std::mutex> l(m_m);
            auto it = m_publies.find(c.zMAC);
            if (it != m_publies.end())
                it->second.etat.m_iSRELAIS = iRelais;
        }
        Resultat(c, bOk ? "queued" : "refused",
                 bOk ? "" : "la commande n'a pas pu être mise en file");
    }

    const ZorBridgeOptions m_o;
    ZorBridgeSujets m_s;
    ZorMqtt m_mqtt;
    ZorPollerFlotte m_poller;
    std::function<bool(const wxString&)> m_aJour;
    std::mutex m_m;
    std::map<std::string, Publie> m_publies; // by MAC
    std::vector<ZorCibleFlotte> m_cibles;    // as last handed to the poller (main thread)
    unsigned m_iPasse = 0;                   // registry passes (main thread)
    std::deque<std::pair<std::string, std::string>> m_file;
};

} // namespace

int ZorBridgeMain(const char* zProgramme, const std::vector<std::string>& args)
{
    // A console application: timers and sockets need the toolkit's event loop, never a display.
    // Made first: the language's catalogue is looked for beside the program, through the
    // toolkit's paths.
    wxAppConsole::SetInstance(new wxAppConsole());
    ZorBridgeOptions o;
    // The language first (--lang, else the locale), so that even a mistake is told in it.
    ZorBridgeLireOptions(args, o);
    ZorConfiguration::iZorLangue = std::max(0, ZorLangueDemandee(o.zLangue));
    o = ZorBridgeOptions();
    const std::string z = ZorBridgeLireOptions(args, o);
    if (z == "aide") {
        std::fputs(ZorCliTr(kAide).c_str(), stdout);
        return ZOR_CLI_OK;
    }
    if (!z.empty()) {
        std::fprintf(stderr, "tavlin bridge: %s\n%s", z.c_str(), ZorCliTr(kAide).c_str());
        return ZOR_CLI_USAGE;
    }
    int wxArgc = 1;
    char* wxArgv[] = {const_cast<char*>(zProgramme), nullptr};
    if (!wxEntryStart(wxArgc, wxArgv))
        return ZOR_CLI_RESEAU;
    wxAppConsole::GetInstance()->CallOnInit();
    wxLog::EnableLogging(false);
    ZorPomper(0, nullptr); // the loop the engine's worker wakes, made before the worker starts
    ZorCliSuivreInterruptions();
    int iCode = ZOR_CLI_RESEAU;
    wxSocketBase::Initialize();
    if (ZorTavlinObj::CreateTavlinObj()) {
        ZorTavlinObj& tavlin = *gpTheTavlin; // the one manager of the run, handed from here on
        // Devices are never moved by the bridge: no automatic addressing.
        tavlin.SetModeAdresseAutomatique(1);
        if (tavlin.Start(wxT("tavlin"), false)) {
            std::unique_ptr<Pont> pont(new Pont(tavlin, o));
            iCode = pont->Executer();
        } else {
            std::fprintf(stderr, "tavlin bridge: %s\n",
                         ZorCliTr("le réseau n'est pas disponible").c_str());
        }
        tavlin.Stop();
        ZorTavlinObj::DeleteTavlinObj();
    }
    wxSocketBase::Shutdown();
    wxEntryCleanup();
    return iCode;
}
