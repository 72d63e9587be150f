#include "cli/ZorCliMoteur.h"

#include "cli/ZorCliConfig.h"
#include "cli/ZorCliJson.h"
#include "cli/ZorCliOutils.h"
#include "device/ZorTavlinCommandes.h"
#include "device/ZorTavlinObj.h"
#include "firmware/ZorMAJTavlin.h"
#include "infra/ZorClock.h"
#include "infra/ZorTraduction.h"

#include <wx/app.h>
#include <wx/datetime.h>
#include <wx/socket.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>

namespace {

// How long verbs wait, in ms unless said otherwise.
constexpr int kDecouverteS = 3;     // discover and export without --seconds
constexpr int kRechercheS = 5;      // finding the device a verb names
constexpr int kReadresseS = 60;     // readdress: search, datagram, restart, answer
constexpr int kEtatMs = 6000;       // a fresh state page
constexpr int kCommandeMs = 10000;  // a command delivered and seen in the state
constexpr int kRedemarrageS = 60;   // set reboot --wait: the device answers again
constexpr int kSilenceMs = 3000;    // status --watch: no state for this long, the device is lost

// The device manager for one run. Automatic addressing is off: a command that reads must not
// move devices; only readdress does, on request.
class Session
{
public:
    ~Session()
    {
        if (m_pTavlin) {
            m_pTavlin->Stop();
            ZorTavlinObj::DeleteTavlinObj();
        }
        wxSocketBase::Shutdown();
    }
    // The one manager of the run, handed to every verb (valid once Demarrer succeeded).
    ZorTavlinObj& Tavlin() const { return *m_pTavlin; }
    // 0, or the exit code of what went wrong (its message in *pz).
    int Demarrer(bool bReseauRequis, std::string* pz)
    {
        wxSocketBase::Initialize();
        if (!ZorTavlinObj::CreateTavlinObj()) {
            *pz = ZorCliTr("le gestionnaire de Tavlin ne peut pas être créé");
            return ZOR_CLI_RESEAU;
        }
        m_pTavlin = gpTheTavlin;
        m_pTavlin->SetModeAdresseAutomatique(kSansAdressage);
        if (!m_pTavlin->Start(wxT("tavlin"), false)) {
            *pz = ZorCliTr("le réseau n'est pas disponible (le gestionnaire ne démarre pas)");
            return ZOR_CLI_RESEAU;
        }
        if (bReseauRequis && CartesUtilisables() == 0) {
            *pz = ZorCliTr("le réseau n'est pas disponible (aucune carte réseau utilisable)");
            return ZOR_CLI_RESEAU;
        }
        return 0;
    }
    size_t CartesUtilisables() const
    {
        size_t n = 0;
        for (ZorCarteEth* c : m_pTavlin->GetArrayCarteEth())
            n += !c->m_bLoopback && !c->m_bBlackList && !c->m_zIP.empty();
        return n;
    }

private:
    static constexpr int kSansAdressage = 1; // neither factory nor foreign addresses handled
    ZorTavlinObj* m_pTavlin = nullptr;
};

// The text columns of a device, their header and the widths a stream keeps (a stream cannot
// measure rows to come: the widths are those of the devices' longest usual texts).
std::vector<std::string> EnTeteDevice()
{
    return {"MAC",
            "IP",
            ZorCliTr("NOM"),
            ZorCliTr("COMMENTAIRE"),
            ZorCliTr("VERSION"),
            ZorCliTr("CARTE"),
            ZorCliTr("RÉSEAU"),
            ZorCliTr("MISE À JOUR")};
}
std::vector<std::string> CellulesDevice(ZorTavlinObj& tavlin, const ZorTavlinInfo& d,
                                        const std::function<bool(const wxString&)>& aJour)
{
    const ZorCarteEth* c = ZorCliCarteDe(tavlin, d);
    return {ZorCliU8(d.m_zMAC),
            ZorCliU8(d.m_zIP),
            ZorCliU8(d.m_zNom),
            ZorCliU8(d.m_zCommentaire),
            ZorCliU8(d.m_zVersion),
            c ? ZorCliU8(c->m_zNomInterface) : "?",
            ZorCliTr(ZorCliJoignable(d) ? ZOR_N8("joignable") : ZOR_N8("injoignable")),
            aJour(d.m_zVersion) ? "" : ZorCliTr("disponible")};
}
std::string LigneFlux(const std::string& zMarque, const std::vector<std::string>& cellules)
{
    static const int largeurs[] = {17, 15, 16, 20, 10, 8, 11, 0};
    std::vector<std::pair<std::string, int>> l = {{zMarque, 1}};
    for (size_t i = 0; i < cellules.size(); ++i)
        l.emplace_back(cellules[i], largeurs[i]);
    return ZorCliColonnes(l);
}

std::string TexteEtat(const ZorTavlinData& e)
{
    std::string zRelais;
    for (int i = 0; i < 4; ++i)
        zRelais +=
            std::to_string(i + 1) + (e.m_iSRELAIS >> i & 1 ? ":on" : ":off") + (i < 3 ? " " : "");
    char buf[2048]; // device texts may come escaped, four characters a byte
    std::snprintf(
        buf, sizeof buf,
        ZorTrU8("relais             %s\nsorties            0x%02X\nentrées            0x%02X\n"
                "sorties analog.    %d %d\nentrées analog.    %d %d %d %d\nbouton             %s\n"
                "automate           %d\nhorloge            %s\nversion            %s\n"
                "commentaire        %s")
            .c_str(),
        zRelais.c_str(), e.m_iSNUM, e.m_iENUM, e.m_iSANA1, e.m_iSANA2, e.m_iEANA1, e.m_iEANA2,
        e.m_iEANA3, e.m_iEANA4,
        ZorCliTr(e.m_bBOUTON ? ZOR_N8("appuyé") : ZOR_N8("relâché")).c_str(), int(e.m_iAUTO),
        ZorCliSur(ZorCliU8(e.m_zDATETIME)).c_str(), ZorCliSur(ZorCliU8(e.m_zVERSION)).c_str(),
        ZorCliSur(ZorCliU8(e.m_zCOMMENT)).c_str());
    return buf;
}

// Our own line breaks stay; each line is written (and its device texts escaped) on its own, so a
// line feed inside a device's text cannot start a false line.
void EcrireLignes(const std::string& z)
{
    size_t debut = 0;
    for (size_t fin; (fin = z.find('\n', debut)) != std::string::npos; debut = fin + 1)
        ZorCliEcrire(z.substr(debut, fin - debut));
    ZorCliEcrire(z.substr(debut));
}

// --- Verbs ------------------------------------------------------------------------------

class Verbes
{
public:
    explicit Verbes(const ZorCliOptions& o) : m_o(o), m_aJour(ZorMAJTavlin().TestAJour()) {}

    int Executer()
    {
        const std::string& v = m_o.zVerbe;
        std::string z;
        const int iCode = m_session.Demarrer(v != "adapters" && v != "blacklist", &z);
        if (iCode != 0)
            return ZorCliSortie(m_o, iCode, z);
        if (v == "discover")
            return m_o.bWatch ? DiscoverWatch() : Discover(false);
        if (v == "export")
            return Discover(true);
        if (v == "status")
            return Status();
        if (v == "set")
            return Set();
        if (v == "adapters")
            return Adapters();
        if (v == "blacklist")
            return Blacklist();
        if (v == "readdress")
            return Readdress();
        if (v == "config")
            return ZorCliConfig(m_o, Tavlin());
        return ZorCliMiseAJour(Tavlin(), m_o);
    }

private:
    ZorTavlinObj& Tavlin() const { return m_session.Tavlin(); }
    bool Json() const { return m_o.bJson || m_o.bJsonLines; }
    int Secondes(int iDefaut) const { return m_o.iSecondes >= 0 ? m_o.iSecondes : iDefaut; }
    int Sortie(int iCode, const std::string& z) const { return ZorCliSortie(m_o, iCode, z); }

    ZorTavlinInfoArray Liste(int iSecondes)
    {
        ZorCliDecouvrir(Tavlin(), iSecondes * 1000, [this] {
            SurveillerPort();
            return false;
        });
        SurveillerPort(true);
        ZorTavlinInfoArray tous;
        Tavlin().GetLesTavlin(tous);
        return tous;
    }

    // Another program on the discovery port takes the devices' unicast answers for itself: a
    // list heard meanwhile may lack devices, and must not pass for complete. Looked at every
    // half second of a discovery (and at its end), from the first moment our sockets exist.
    bool SurveillerPort(bool bMaintenant = false)
    {
        const int64_t iMs = ZorDefaultClock().NowMs();
        if (bMaintenant || iMs >= m_iProchainRegardPortMs) {
            m_iProchainRegardPortMs = iMs + kRegardPortMs;
            m_bPortPartage = m_bPortPartage || ZorTavlinNetwork::AutresProgrammesDecouverte() > 0;
        }
        return m_bPortPartage;
    }
    static std::string TextePortPartage()
    {
        return ZorCliTr(
            "un autre programme Tavlin reçoit les réponses des Tavlin sur cet ordinateur (port "
            "30303) : "
            "la liste peut être incomplète, relancez quand il aura fini");
    }

    int Discover(bool bExport)
    {
        const ZorTavlinInfoArray tous = Liste(Secondes(kDecouverteS));
        if (bExport && m_o.bCsv) {
            ZorCliEcrire(
                "mac,ip,name,comment,version,adapter_ip,adapter_name,adapter_mask,adapter_gateway,"
                "reachable,update_available,mask,gateway,dhcp,login,last_seen,presence,"
                "multiple_adapters");
            for (size_t i = 0; i < tous.GetCount(); ++i) {
                const ZorTavlinInfo& d = tous[i];
                const ZorCarteEth* c = ZorCliCarteDe(Tavlin(), d);
                std::string l;
                for (const std::string& f :
                     {ZorCliU8(d.m_zMAC), ZorCliU8(d.m_zIP), ZorCliU8(d.m_zNom),
                      ZorCliU8(d.m_zCommentaire), ZorCliU8(d.m_zVersion), ZorCliU8(d.m_zIPLocal),
                      c ? ZorCliU8(c->m_zNomInterface) : std::string(), ZorCliU8(d.m_zMaskLocal),
                      ZorCliU8(d.m_zGatewayLocal), std::string(ZorCliJoignable(d) ? "1" : "0"),
                      std::string(m_aJour(d.m_zVersion) ? "0" : "1"), ZorCliU8(d.m_zMask),
                      ZorCliU8(d.m_zGateway), std::string(d.m_bDHCPEnabled ? "1" : "0"),
                      ZorCliU8(d.m_zLogin), std::to_string(d.m_iTimeLastSeen),
                      std::to_string(d.m_iEtatPresence),
                      std::string(d.m_bMultipleCarte ? "1" : "0")})
                    l += (l.empty() ? "" : ",") + ZorCliCsv(f);
                ZorCliEcrire(l);
            }
            return FinListe();
        }
        if (Json() || bExport) {
            ZorJson liste = ZorJson::Tableau();
            for (size_t i = 0; i < tous.GetCount(); ++i)
                liste.Ajouter(ZorCliJsonDevice(Tavlin(), tous[i], bExport, m_aJour));
            // One document: the devices heard, and the error beside them when the list may be short.
            ZorJson doc = ZorJson::Objet().Ajouter("devices", liste);
            if (m_bPortPartage)
                doc.Ajouter("error", ZorJson::Objet()
                                         .Ajouter("code", int(ZOR_CLI_PARTAGE))
                                         .Ajouter("message", TextePortPartage()));
            ZorCliEcrireJson(doc);
            return FinListe();
        }
        std::vector<std::vector<std::string>> lignes = {EnTeteDevice()};
        for (size_t i = 0; i < tous.GetCount(); ++i)
            lignes.push_back(CellulesDevice(Tavlin(), tous[i], m_aJour));
        for (const std::string& l : ZorCliTableau(lignes))
            ZorCliEcrire(l);
        ZorCliEcrire(ZorCliTr("%s Tavlin trouvée(s)", {std::to_string(tous.GetCount())}));
        return FinListe();
    }

    // After the list: its exit code, and the reason on standard error when it may be short.
    int FinListe() const
    {
        if (!m_bPortPartage)
            return ZOR_CLI_OK;
        std::fprintf(stderr, "tavlin: %s\n", TextePortPartage().c_str());
        return ZOR_CLI_PARTAGE;
    }

    // Streams additions, changes (address, name, comment, version) and removals until
    // --seconds (or an interrupt).
    int DiscoverWatch()
    {
        if (!Json())
            ZorCliEcrire(LigneFlux(" ", EnTeteDevice()));
        std::map<std::string, ZorTavlinInfo> connus;
        auto comparer = [&] {
            ZorTavlinInfoArray tous;
            Tavlin().GetLesTavlin(tous);
            std::map<std::string, ZorTavlinInfo> maintenant;
            for (size_t i = 0; i < tous.GetCount(); ++i)
                maintenant[ZorCliU8(tous[i].m_zMAC)] = tous[i];
            for (const auto& m : maintenant) {
                const auto avant = connus.find(m.first);
                if (avant == connus.end())
                    Evenement("added", m.second);
                else if (Visible(avant->second) != Visible(m.second))
                    Evenement("changed", m.second, &avant->second);
            }
            for (const auto& m : connus)
                if (!maintenant.count(m.first))
                    Evenement("removed", m.second);
            connus.swap(maintenant);
            // Said once, as soon as seen: a stream may run for hours.
            if (!m_bPortPartage && SurveillerPort())
                ZorCliSortie(m_o, ZOR_CLI_PARTAGE, TextePortPartage());
            return false;
        };
        const int iSecondes = Secondes(0);
        ZorCliDecouvrir(Tavlin(), iSecondes > 0 ? iSecondes * 1000 : INT32_MAX, comparer);
        return m_bPortPartage ? ZOR_CLI_PARTAGE : ZOR_CLI_OK;
    }

    // What a watcher of the list sees change in a device.
    static std::vector<wxString> Visible(const ZorTavlinInfo& d)
    {
        return {d.m_zIP, d.m_zNom, d.m_zCommentaire, d.m_zVersion};
    }

    void Evenement(const char* zQuoi, const ZorTavlinInfo& d, const ZorTavlinInfo* pAvant = nullptr)
    {
        if (Json()) {
            ZorJson j = ZorJson::Objet()
                            .Ajouter("event", zQuoi)
                            .Ajouter("device", ZorCliJsonDevice(Tavlin(), d, false, m_aJour));
            if (pAvant)
                j.Ajouter("before", ZorJson::Objet()
                                        .Ajouter("ip", ZorCliU8(pAvant->m_zIP))
                                        .Ajouter("name", ZorCliU8(pAvant->m_zNom))
                                        .Ajouter("comment", ZorCliU8(pAvant->m_zCommentaire))
                                        .Ajouter("version", ZorCliU8(pAvant->m_zVersion)));
            ZorCliEcrireJson(j);
        } else {
            ZorCliEcrire(LigneFlux(zQuoi[0] == 'a'   ? "+"
                                   : zQuoi[0] == 'c' ? "~"
                                                     : "-",
                                   CellulesDevice(Tavlin(), d, m_aJour)));
        }
    }

    // Finds the device named on the command line and makes it the monitored one, with a fresh
    // state page read. 0, or the exit code (reported).
    int Surveiller(const std::string& zCible, ZorTavlinInfo* pInfo)
    {
        std::string zRaison;
        if (int iCode =
                ZorCliTrouverJoignable(Tavlin(), zCible, Secondes(kRechercheS), pInfo, &zRaison))
            return Sortie(iCode, zRaison);
        if (!EtatFrais(pInfo->m_zMAC))
            return Sortie(ZOR_CLI_ECHEC,
                          ZorCliTr("la Tavlin %s ne répond pas", {ZorCliU8(pInfo->m_zMAC)}));
        return 0;
    }

    // A valid state fetched after this call (zMAC: the device to watch from now on; empty, the
    // one watched).
    bool EtatFrais(const wxString& zMAC = wxEmptyString)
    {
        const uint64_t iAttendu = Tavlin().DemanderEtatFrais(zMAC, false);
        return ZorCliPomper(kEtatMs, [this, iAttendu] {
            ZorTavlinData etat;
            uint64_t iSequence = 0;
            Tavlin().GetEtat(etat, &iSequence);
            return iSequence > iAttendu && etat.m_bValide;
        });
    }

    int Status()
    {
        ZorTavlinInfo d;
        if (int iCode = Surveiller(m_o.arguments[0], &d))
            return iCode;
        ZorTavlinData e;
        Tavlin().GetEtat(e);
        auto montrer = [&](const ZorTavlinData& etat) {
            if (Json())
                ZorCliEcrireJson(ZorCliJsonEtat(etat)
                                     .Ajouter("mac", ZorCliU8(d.m_zMAC))
                                     .Ajouter("ip", ZorCliU8(d.m_zIP)));
            else
                EcrireLignes(TexteEtat(etat) + (m_o.bWatch ? "\n" : ""));
        };
        montrer(e);
        if (!m_o.bWatch)
            return ZOR_CLI_OK;
        std::string zAvant = ZorCliJsonEtat(e).Texte();
        const int iSecondes = Secondes(0);
        // Silence: the worker polls the device many times a second; no state for a while is a
        // device that stopped answering, and the next state is its return.
        int64_t iDernierEtatMs = ZorDefaultClock().NowMs();
        bool bPerdue = false;
        auto signaler = [&](const char* zQuoi, const char* zTexte) {
            if (Json())
                ZorCliEcrireJson(ZorJson::Objet()
                                     .Ajouter("event", zQuoi)
                                     .Ajouter("mac", ZorCliU8(d.m_zMAC))
                                     .Ajouter("ip", ZorCliU8(d.m_zIP)));
            else
                ZorCliEcrire(ZorCliU8(d.m_zMAC) + " " + ZorCliTr(zTexte));
        };
        uint64_t iVu = 0;
        ZorCliPomper(iSecondes > 0 ? iSecondes * 1000 : INT32_MAX, [&] {
            const int64_t iMaintenant = ZorDefaultClock().NowMs();
            ZorTavlinData maintenant;
            uint64_t iSequence = 0;
            Tavlin().GetEtat(maintenant, &iSequence);
            if (iSequence <= iVu) {
                if (!bPerdue && iMaintenant - iDernierEtatMs > kSilenceMs) {
                    bPerdue = true;
                    signaler("lost", ZOR_N8("ne répond plus"));
                }
                return false;
            }
            iVu = iSequence;
            iDernierEtatMs = iMaintenant;
            if (bPerdue) {
                bPerdue = false;
                signaler("back", ZOR_N8("répond de nouveau"));
            }
            const std::string z = ZorCliJsonEtat(maintenant).Texte();
            if (maintenant.m_bValide && z != zAvant) {
                zAvant = z;
                montrer(maintenant);
            }
            return false;
        });
        return ZOR_CLI_OK;
    }

    int Set()
    {
        ZorCliReglage r;
        ZorCliLireReglage(std::vector<std::string>(m_o.arguments.begin() + 1, m_o.arguments.end()),
                          r);
        if (r.type == ZorCliReglage::UART_ECRIRE) {
            // Refused before any device is looked for, so the user learns why at once.
            wxString zRaison;
            const wxString zTexte = ZorCliW(r.zTexte);
            if (zTexte.empty())
                return Sortie(ZOR_CLI_USAGE,
                              ZorCliTr("uart write : le texte n'est pas de l'UTF-8 valide"));
            if (!ZorEncoderTexte(zTexte, false, nullptr, &zRaison))
                return Sortie(ZOR_CLI_USAGE, ZorCliTr("uart write : %s", {ZorCliU8(zRaison)}));
        }
        ZorTavlinInfo d;
        if (int iCode = Surveiller(m_o.arguments[0], &d))
            return iCode;
        ZorTavlinData e;
        Tavlin().GetEtat(e);
        // What the state must show once the command was applied (nothing for the others).
        std::function<bool(const ZorTavlinData&)> attendu;
        if (r.type == ZorCliReglage::REBOOT) {
            if (!ZorCliEnvoyer(Tavlin(), r, e.m_iSRELAIS, d.m_zIP))
                return Sortie(ZOR_CLI_ECHEC,
                              ZorCliTr("le redémarrage de la Tavlin %s n'a pas pu être envoyé",
                                       {ZorCliU8(d.m_zMAC)}));
            // The datagram leaves on the next turn of the loop; the device then goes silent.
            ZorCliPomper(200, [] { return false; });
            if (m_o.bAttendre &&
                !ZorCliAttendreRetour(Tavlin(), d.m_zMAC, Secondes(kRedemarrageS) * 1000))
                return Sortie(ZOR_CLI_ECHEC,
                              ZorCliTr("la Tavlin %s ne répond pas après son redémarrage",
                                       {ZorCliU8(d.m_zMAC)}));
            return Resultat(d, "reboot", nullptr);
        }
        const bool bQueued = ZorCliEnvoyer(Tavlin(), r, e.m_iSRELAIS, d.m_zIP);
        if (r.type == ZorCliReglage::RELAIS) {
            attendu = [bit = uint8_t(1u << (r.iIndex - 1)), on = r.iValeur != 0](
                          const ZorTavlinData& s) { return bool(s.m_iSRELAIS & bit) == on; };
        } else if (r.type == ZorCliReglage::SORTIES) {
            attendu = [v = r.iValeur](const ZorTavlinData& s) { return s.m_iSNUM == v; };
        } else if (r.type == ZorCliReglage::ANALOGIQUE) {
            attendu = [i = r.iIndex, v = r.iValeur](const ZorTavlinData& s) {
                return (i == 1 ? s.m_iSANA1 : s.m_iSANA2) == v;
            };
        }
        if (!bQueued)
            return Sortie(ZOR_CLI_ECHEC, ZorCliTr("la commande n'a pas pu être mise en file"));
        // Delivered: the worker took the command, then a state fetched after that (so after
        // the command's own reply).
        const bool bLivre =
            ZorCliPomper(kCommandeMs, [this] { return Tavlin().CommandesLivrees(nullptr); }) &&
            EtatFrais();
        if (!bLivre)
            return Sortie(ZOR_CLI_ECHEC,
                          ZorCliTr("la Tavlin %s n'a pas pris la commande", {ZorCliU8(d.m_zMAC)}));
        if (attendu) {
            const bool bVu = ZorCliPomper(kCommandeMs, [&] {
                ZorTavlinData s;
                Tavlin().GetEtat(s);
                return attendu(s);
            });
            if (!bVu)
                return Sortie(ZOR_CLI_ECHEC,
                              ZorCliTr("la Tavlin %s ne montre pas la valeur demandée",
                                       {ZorCliU8(d.m_zMAC)}));
        }
        ZorTavlinData apres;
        Tavlin().GetEtat(apres);
        return Resultat(d, m_o.arguments[1], &apres);
    }

    int Resultat(const ZorTavlinInfo& d, const std::string& zAction, const ZorTavlinData* pEtat)
    {
        if (Json()) {
            ZorJson j = ZorJson::Objet()
                            .Ajouter("mac", ZorCliU8(d.m_zMAC))
                            .Ajouter("ip", ZorCliU8(d.m_zIP));
            j.Ajouter("action", zAction).Ajouter("done", true);
            if (pEtat)
                j.Ajouter("state", ZorCliJsonEtat(*pEtat));
            ZorCliEcrireJson(j);
        } else if (zAction == "uart" && m_o.arguments.size() > 2 && m_o.arguments[2] == "read") {
            ZorCliEcrire(ZorCliU8(pEtat->m_zUART));
        } else {
            ZorCliEcrire(ZorCliTr("%s : fait (%s)", {zAction, ZorCliU8(d.m_zMAC)}));
        }
        return ZOR_CLI_OK;
    }

    int Adapters()
    {
        ZorJson liste = ZorJson::Tableau();
        std::vector<std::vector<std::string>> lignes = {
            {ZorCliTr("CARTE"), "MAC", "IP", ZorCliTr("MASQUE"), ZorCliTr("LISTE NOIRE")}};
        for (ZorCarteEth* c : Tavlin().GetArrayCarteEth()) {
            // The loopback record serves the library alone: it is no adapter of the PC.
            if (c->m_bLoopback)
                continue;
            if (Json()) {
                liste.Ajouter(ZorJson::Objet()
                                  .Ajouter("name", ZorCliU8(c->m_zNomInterface))
                                  .Ajouter("description", ZorCliU8(c->m_zDescription))
                                  .Ajouter("mac", ZorCliU8(c->m_zMAC))
                                  .Ajouter("ip", ZorCliU8(c->m_zIP))
                                  .Ajouter("mask", ZorCliU8(c->m_zMask))
                                  .Ajouter("gateway", ZorCliU8(c->m_zGateway))
                                  .Ajouter("dhcp", c->m_bDhcp)
                                  .Ajouter("loopback", c->m_bLoopback)
                                  .Ajouter("blacklisted", c->m_bBlackList));
                continue;
            }
            lignes.push_back({ZorCliU8(c->m_zNomInterface), ZorCliU8(c->m_zMAC), ZorCliU8(c->m_zIP),
                              ZorCliU8(c->m_zMask), c->m_bBlackList ? ZorCliTr("oui") : ""});
        }
        // No adapter, no table: an empty output says so to a script.
        if (!Json() && lignes.size() > 1)
            for (const std::string& l : ZorCliTableau(lignes))
                ZorCliEcrire(l);
        if (Json())
            ZorCliEcrireJson(ZorJson::Objet().Ajouter("adapters", liste));
        return ZOR_CLI_OK;
    }

    int Blacklist()
    {
        std::string zMAC;
        ZorCliMAC(m_o.arguments[1], &zMAC);
        const bool bAjouter = m_o.arguments[0] == "add";
        if (!Tavlin().WriteListeCarteBlackList(bAjouter, ZorCliW(zMAC)))
            return Sortie(ZOR_CLI_ECHEC,
                          ZorCliTr(bAjouter ? ZOR_N8("la liste noire des cartes n'a pas pu être "
                                                     "enregistrée : %s n'y est pas ajoutée")
                                            : ZOR_N8("la liste noire des cartes n'a pas pu être "
                                                     "enregistrée : %s n'en est pas retirée"),
                                   {zMAC}));
        if (Json())
            ZorCliEcrireJson(
                ZorJson::Objet().Ajouter("mac", zMAC).Ajouter("blacklisted", bAjouter));
        else
            ZorCliEcrire(ZorCliTr(bAjouter ? ZOR_N8("%s : sur liste noire")
                                           : ZOR_N8("%s : retirée de la liste noire"),
                                  {zMAC}));
        return ZOR_CLI_OK;
    }

    int Readdress()
    {
        std::string zMAC;
        ZorCliMAC(m_o.arguments[0], &zMAC);
        ZorTavlinInfo d;
        if (!ZorCliTrouver(Tavlin(), zMAC, kRechercheS, &d))
            return Sortie(ZOR_CLI_INTROUVABLE, ZorCliTr("Tavlin introuvable : %s", {zMAC}));
        const wxString zAncienne = d.m_zIP;
        std::shared_ptr<std::atomic<bool>> pOccupee = std::make_shared<std::atomic<bool>>(false);
        if (!m_o.zVers.empty()) {
            const wxString zVers = ZorCliW(m_o.zVers);
            if (!Tavlin().ReadresserVers(d, zVers, pOccupee))
                return Sortie(
                    ZOR_CLI_USAGE,
                    ZorCliTr("%s n'est pas une adresse libre du réseau de la carte %s/%s",
                             {m_o.zVers, ZorCliU8(d.m_zIPLocal), ZorCliU8(d.m_zMaskLocal)}));
        } else {
            Tavlin().ConfigureAdresseTavlin(d.m_zMAC, d.m_zLogin, d.m_zPwd, d.m_zIPLocal,
                                            d.m_zMaskLocal, d.m_zGatewayLocal);
        }
        ZorTavlinInfo nouvelle;
        ZorIssueAdresse eEchec = ZorIssueAdresse::Trouvee;
        const bool bDeplacee = [&] {
            bool bOk = false;
            ZorCliDecouvrir(Tavlin(), Secondes(kReadresseS) * 1000, [&] {
                ZorTavlinInfoArray tous;
                Tavlin().GetLesTavlin(tous);
                bOk = ZorCliChercherDans(tous, zMAC, &nouvelle) && nouvelle.m_zIP != zAncienne &&
                      ZorCliJoignable(nouvelle) &&
                      (m_o.zVers.empty() || ZorCliU8(nouvelle.m_zIP) == m_o.zVers);
                return bOk || pOccupee->load() ||
                       Tavlin().EchecConfigurationAdresse(d.m_zMAC, &eEchec);
            });
            return bOk;
        }();
        if (pOccupee->load())
            return Sortie(ZOR_CLI_ECHEC, ZorCliTr("l'adresse %s est déjà utilisée", {m_o.zVers}));
        if (eEchec == ZorIssueAdresse::TestImpossible)
            return Sortie(ZOR_CLI_ECHEC,
                          ZorCliTr("la Tavlin %s n'a pas été déplacée : cet ordinateur ne peut "
                                   "vérifier qu'aucun appareil n'occupe une adresse (écho ICMP "
                                   "refusé : droits insuffisants ou net.ipv4.ping_group_range)",
                                   {zMAC}));
        if (eEchec == ZorIssueAdresse::AucuneLibre)
            return Sortie(ZOR_CLI_ECHEC,
                          ZorCliTr("la Tavlin %s n'a pas été déplacée : aucune adresse libre "
                                   "trouvée sur le réseau de la carte %s",
                                   {zMAC, ZorCliU8(d.m_zIPLocal)}));
        if (!bDeplacee)
            return Sortie(ZOR_CLI_ECHEC,
                          ZorCliTr("la Tavlin %s ne répond pas à une nouvelle adresse", {zMAC}));
        if (Json())
            ZorCliEcrireJson(ZorJson::Objet()
                                 .Ajouter("mac", zMAC)
                                 .Ajouter("old_ip", ZorCliU8(zAncienne))
                                 .Ajouter("ip", ZorCliU8(nouvelle.m_zIP))
                                 .Ajouter("adapter", ZorCliU8(nouvelle.m_zIPLocal)));
        else
            ZorCliEcrire(zMAC + " : " + ZorCliU8(zAncienne) + " -> " + ZorCliU8(nouvelle.m_zIP));
        return ZOR_CLI_OK;
    }

    static constexpr int64_t kRegardPortMs = 500;
    const ZorCliOptions& m_o;
    Session m_session;
    bool m_bPortPartage = false;
    int64_t m_iProchainRegardPortMs = 0;
    std::function<bool(const wxString&)> m_aJour;
};

} // namespace

int ZorCliSortie(const ZorCliOptions& o, int iCode, const std::string& zMessage)
{
    std::fprintf(stderr, "tavlin: %s\n", ZorCliSur(zMessage).c_str());
    if (o.bJson || o.bJsonLines)
        ZorCliEcrireJson(ZorJson::Objet().Ajouter(
            "error", ZorJson::Objet().Ajouter("code", iCode).Ajouter("message", zMessage)));
    return iCode;
}

int ZorCliExecuter(const ZorCliOptions& o)
{
    ZorCliSuivreInterruptions();
    return Verbes(o).Executer();
}
