// tavlin config: a device's name, comment, password, network and e-mail settings changed from a
// shell, through the customisation window's own rules (ZorPersonnalisation): the same password
// guard, the same checks and messages, the same choice of command; then a wait until the device
// shows the change.
#include "cli/ZorCliConfig.h"

#include "cli/ZorCliJson.h"
#include "cli/ZorCliMoteur.h"
#include "cli/ZorCliOutils.h"
#include "device/ZorTavlinObj.h"
#include "infra/ZorTraduction.h"
#include "infra/ZorClock.h"
#include "platform/ZorPlatform.h"
#include "ui/ZorPersonnalisation.h"

#include <fstream>
#include <iostream>

namespace {

constexpr int kRechercheS = 5;      // finding the device
constexpr int kChangementS = 60;    // a change seen, a restart included
constexpr int kLivraisonMs = 10000; // the queued commands delivered

using P = ZorPersonnalisation;

// Lines of a password source: a file, or standard input ("-") read on from where it stands, one
// line a prompt. A person typing at a terminal is asked for each line, and sees neither the
// password nor anything in its place; a pipe is read as it comes, without a word.
bool LireLignes(const std::string& zSource, std::initializer_list<const char*> invites,
                std::vector<std::string>* pLignes)
{
    std::ifstream fichier;
    if (zSource != "-") {
        fichier.open(zSource);
        if (!fichier)
            return false;
    }
    std::istream& in = zSource == "-" ? std::cin : fichier;
    const bool bTerminal = zSource == "-" && ZorPlatform::EntreeInteractive();
    for (const char* zInvite : invites) {
        std::string z;
        bool bLue;
        if (bTerminal) {
            const ZorPlatform::EchoCoupe echo; // off before the prompt shows: nothing typed is seen
            std::cerr << ZorCliTr(zInvite) << std::flush;
            bLue = bool(std::getline(in, z));
            std::cerr << std::endl; // the Enter typed was not shown either
        } else {
            bLue = bool(std::getline(in, z));
        }
        if (!bLue)
            break;
        if (!z.empty() && z.back() == '\r')
            z.pop_back();
        pLignes->push_back(z);
    }
    return !pLignes->empty();
}

bool FiltreAccepte(const wxString& zFiltre, const wxString& zTexte)
{
    for (const wxUniChar c : zTexte)
        if (zFiltre.Find(c) == wxNOT_FOUND)
            return false;
    return true;
}

class Config
{
public:
    Config(const ZorCliOptions& o, ZorTavlinObj& tavlin)
        : m_o(o), m_tavlin(tavlin), m_zQuoi(o.arguments[1])
    {}

    int Executer()
    {
        // The passwords first: a script learns of a missing file before anything is searched.
        std::vector<std::string> pwd, nouveau, smtp;
        if (!LireLignes(m_o.zFichierPwd, {ZOR_N8("Mot de passe actuel : ")}, &pwd))
            return Sortie(ZOR_CLI_USAGE,
                          ZorCliTr("mot de passe actuel illisible : %s", {m_o.zFichierPwd}));
        if (m_zQuoi == "password" && !LireLignes(m_o.zFichierNouveauPwd,
                                                 {ZOR_N8("Nouveau mot de passe : "),
                                                  ZOR_N8("Confirmez le nouveau mot de passe : ")},
                                                 &nouveau))
            return Sortie(ZOR_CLI_USAGE, ZorCliTr("nouveau mot de passe illisible : %s",
                                                  {m_o.zFichierNouveauPwd}));
        if (!m_o.zFichierPwdSMTP.empty() &&
            !LireLignes(m_o.zFichierPwdSMTP, {ZOR_N8("Mot de passe SMTP : ")}, &smtp))
            return Sortie(ZOR_CLI_USAGE,
                          ZorCliTr("mot de passe SMTP illisible : %s", {m_o.zFichierPwdSMTP}));
        if (m_zQuoi == "name" || m_zQuoi == "comment") {
            const wxString z = ZorCliW(m_o.arguments[2]);
            const bool bNom = m_zQuoi == "name";
            // What the window's entries let through.
            if (z.empty() && bNom)
                return Sortie(ZOR_CLI_USAGE, ZorCliTr("le nom ne peut pas être vide"));
            if (!FiltreAccepte(bNom ? ZorFiltreA() : ZorFiltreB(), z))
                return Sortie(ZOR_CLI_USAGE,
                              ZorCliTr(bNom ? ZOR_N8("le nom ne prend que des lettres sans accent "
                                                     "et des chiffres")
                                            : ZOR_N8("le commentaire ne prend que des lettres, des "
                                                     "chiffres, des espaces et ()[]{}-_")));
        }
        if (!nouveau.empty() && !FiltreAccepte(ZorFiltreA(), ZorCliW(nouveau[0])))
            return Sortie(ZOR_CLI_USAGE,
                          ZorCliTr("le mot de passe ne prend que des lettres sans accent et des "
                                   "chiffres"));

        std::string zRaison;
        if (int iCode = ZorCliTrouverJoignable(m_tavlin, m_o.arguments[0], Secondes(kRechercheS),
                                               &m_d, &zRaison))
            return Sortie(iCode, zRaison);
        const std::unique_ptr<P::Appareil> appareil = P::GestionnaireTavlin(&m_tavlin);
        P perso(*appareil, ZorDefaultClock(), m_d.m_zNom, m_d.m_zCommentaire, m_d.m_zPwd,
                m_d.m_zMAC, ZorAdresseIP(m_d.m_zIP), ZorAdresseIP(m_d.m_zIPLocal),
                ZorAdresseIP(m_d.m_zMask), ZorAdresseIP(m_d.m_zGateway), m_d.m_bDHCPEnabled,
                m_d.m_zVersion);
        P::Saisie s = Principale(perso);
        s.zMotDePasse = ZorCliW(pwd[0]);
        P::Reaction r = perso.Ok(s);
        if (!r.zMessage.empty())
            return Abandon(perso, ZOR_CLI_MOT_DE_PASSE, r.zMessage);

        if (m_zQuoi == "password") {
            perso.AllerA(P::PAGE_CHANGER_MDP);
            s.zNouveauPwd = ZorCliW(nouveau[0]);
            s.zConfirmation = ZorCliW(nouveau.size() > 1 ? nouveau[1] : nouveau[0]);
            if (!(r = perso.Ok(s)).zMessage.empty())
                return Abandon(perso, ZOR_CLI_USAGE, r.zMessage);
        } else if (m_zQuoi == "network") {
            perso.AllerA(P::PAGE_RESEAU);
            auto adresse = [](const std::string& z, const ZorAdresseIP& actuelle) {
                return z.empty() ? actuelle : ZorAdresseIP(ZorCliW(z));
            };
            s.ip = adresse(m_o.zIP, perso.GetIP());
            s.masque = adresse(m_o.zMasque, perso.GetMasque());
            s.passerelle = adresse(m_o.zPasserelle, perso.GetPasserelle());
            s.bDHCP = m_o.iDHCP < 0 ? perso.IsDHCP() : m_o.iDHCP == 1;
            perso.Ok(s);
        } else if (m_zQuoi == "email") {
            if (int iCode = Email(perso, s, smtp))
                return iCode;
        }
        s = Principale(perso, s.email);
        if (m_zQuoi == "name" || m_zQuoi == "comment")
            (m_zQuoi == "name" ? s.zNom : s.zCommentaire) = ZorCliW(m_o.arguments[2]);
        perso.Ok(s); // ends the customisation: the e-mail settings written when changed
        return Appliquer(perso);
    }

private:
    int Secondes(int iDefaut) const { return m_o.iSecondes >= 0 ? m_o.iSecondes : iDefaut; }
    int Sortie(int iCode, const std::string& z) const { return ZorCliSortie(m_o, iCode, z); }

    // The main page as it stands: its entries hold the current name and comment.
    static P::Saisie Principale(const P& perso, const P::Email& email = P::Email())
    {
        P::Saisie s;
        s.zNom = perso.GetNom();
        s.zCommentaire = perso.GetCommentaire();
        s.email = email;
        return s;
    }

    int Abandon(P& perso, int iCode, const wxString& zMessage)
    {
        while (perso.Annuler().iFin == 0) {
        }
        Livrer();
        return Sortie(iCode, ZorCliU8(zMessage));
    }

    // The e-mail page: loaded from the device as the window does, then the values given.
    int Email(P& perso, P::Saisie& s, const std::vector<std::string>& smtp)
    {
        if (!perso.IsEmailCapable())
            return Abandon(perso, ZOR_CLI_ECHEC,
                           ZorCliW(ZorCliTr("cette Tavlin (%s) n'envoie pas d'emails",
                                            {ZorCliU8(m_d.m_zVersion)})));
        P::Reaction r;
        if (!Charger(perso, &r))
            return Abandon(perso, ZOR_CLI_ECHEC, r.zMessage);
        m_emailAvant = perso.GetEmail();
        P::Email e = m_emailAvant;
        if (!FiltreAccepte(ZorFiltreC(), ZorCliW(m_o.zServeur)) || !ZorCliW(m_o.zLogin).IsAscii())
            return Abandon(perso, ZOR_CLI_USAGE,
                           ZorCliW(ZorCliTr("le serveur prend des lettres, des chiffres, "
                                            "\"-\", \"_\" et \".\" ; le login de l'ASCII")));
        if (!m_o.zServeur.empty())
            e.zServeur = ZorCliW(m_o.zServeur);
        if (!m_o.zPort.empty())
            e.zPort = ZorCliW(m_o.zPort);
        if (!m_o.zLogin.empty())
            e.zLogin = ZorCliW(m_o.zLogin);
        if (!smtp.empty())
            e.zPwd = e.zConfirmation = ZorCliW(smtp[0]);
        if (m_o.iSSL >= 0)
            e.bSSL = m_o.iSSL == 1;
        perso.MarquerEmailModifie();
        s.email = e;
        if (!(r = perso.Ok(s)).zMessage.empty())
            return Abandon(perso, ZOR_CLI_USAGE, r.zMessage);
        return 0;
    }

    // The window's loading page: the settings asked for, then read from a fresh state.
    static bool Charger(P& perso, P::Reaction* pr)
    {
        *pr = perso.ChargerEmail();
        while (pr->bChargement && pr->zMessage.empty() && !ZorCliInterrompu()) {
            ZorCliPomper(int(P::kChargementPasMs), nullptr);
            *pr = perso.TickChargement();
        }
        return perso.GetPage() == P::PAGE_EMAIL;
    }

    // Every command queued so far delivered to the device.
    bool Livrer()
    {
        return ZorCliPomper(kLivraisonMs, [this] { return m_tavlin.CommandesLivrees(nullptr); });
    }

    // The command the window's caller would send, then the wait until the device shows it.
    int Appliquer(const P& perso)
    {
        const ZorTavlinInfo& d = m_d;
        ZorJson changes = ZorJson::Objet();
        std::vector<std::string> lignes;
        auto noter = [&](const char* zCle, const wxString& zAvant, const wxString& zApres) {
            if (zAvant == zApres)
                return;
            changes.Ajouter(zCle, ZorJson::Objet()
                                      .Ajouter("before", ZorCliU8(zAvant))
                                      .Ajouter("after", ZorCliU8(zApres)));
            lignes.push_back(std::string(zCle) + " : " + ZorCliU8(zAvant) + " -> " +
                             ZorCliU8(zApres));
        };
        auto secret = [&](const char* zCle, bool bChange) {
            if (!bChange)
                return;
            changes.Ajouter(zCle, ZorJson::Objet().Ajouter("changed", true));
            lignes.push_back(std::string(zCle) + " : " + ZorCliTr("changé"));
        };
        const auto oui = [](bool b) { return b ? wxString(wxT("on")) : wxString(wxT("off")); };
        std::function<bool(const ZorTavlinInfo&)> vu;
        bool bEnvoye = true;
        if (m_zQuoi == "network") {
            const wxString zIP = perso.GetIP().ToString(), zMasque = perso.GetMasque().ToString(),
                           zPasserelle = perso.GetPasserelle().ToString();
            noter("ip", d.m_zIP, zIP);
            noter("mask", d.m_zMask, zMasque);
            noter("gateway", d.m_zGateway, zPasserelle);
            noter("dhcp", oui(d.m_bDHCPEnabled), oui(perso.IsDHCP()));
            if (!changes.EstVide())
                bEnvoye = m_tavlin.SetNewConfigNetworkByIp(d.m_zIP, d.m_zIPLocal, d.m_zLogin,
                                                           d.m_zPwd, zIP, zMasque, zPasserelle,
                                                           perso.IsDHCP(), true);
            vu = [=, bDHCP = perso.IsDHCP()](const ZorTavlinInfo& n) {
                return n.m_zIP == zIP && n.m_zMask == zMasque && n.m_zGateway == zPasserelle &&
                       n.m_bDHCPEnabled == bDHCP;
            };
        } else if (m_zQuoi == "email") {
            const P::Email& e = perso.GetEmail();
            noter("smtp_server", m_emailAvant.zServeur, e.zServeur);
            noter("smtp_port", m_emailAvant.zPort, e.zPort);
            noter("smtp_login", m_emailAvant.zLogin, e.zLogin);
            noter("smtp_ssl", oui(m_emailAvant.bSSL), oui(e.bSSL));
            secret("smtp_password", m_emailAvant.zPwd != e.zPwd);
        } else {
            noter("name", d.m_zNom, perso.GetNom());
            noter("comment", d.m_zCommentaire, perso.GetCommentaire());
            secret("password", d.m_zPwd != perso.GetPwd());
            if (!changes.EstVide())
                bEnvoye = m_tavlin.PersonnaliserByIp(d.m_zIP, d.m_zIPLocal, perso.GetNom(),
                                                     perso.GetCommentaire(), d.m_zLogin, d.m_zPwd,
                                                     perso.GetPwd(), true);
            vu = [nom = perso.GetNom(), comm = perso.GetCommentaire(),
                  pwd = perso.GetPwd()](const ZorTavlinInfo& n) {
                return n.m_zNom == nom && n.m_zCommentaire == comm && n.m_zPwd == pwd;
            };
        }
        if (!bEnvoye)
            return Sortie(ZOR_CLI_ECHEC, ZorCliTr("la commande n'a pas pu être mise en file"));
        if (!Livrer())
            return Sortie(ZOR_CLI_ECHEC,
                          ZorCliTr("la Tavlin %s n'a pas pris la commande", {ZorCliU8(d.m_zMAC)}));
        const bool bVu =
            changes.EstVide() || (m_zQuoi == "email" ? EmailVu(perso.GetEmail()) : InfoVue(vu));
        if (!bVu)
            return Sortie(ZOR_CLI_ECHEC, ZorCliTr("la Tavlin %s ne montre pas le changement",
                                                  {ZorCliU8(d.m_zMAC)}));
        if (m_o.bJson || m_o.bJsonLines)
            ZorCliEcrireJson(ZorJson::Objet()
                                 .Ajouter("mac", ZorCliU8(d.m_zMAC))
                                 .Ajouter("ip", ZorCliU8(d.m_zIP))
                                 .Ajouter("changed", changes));
        else if (lignes.empty())
            ZorCliEcrire(ZorCliTr("%s : rien à changer", {ZorCliU8(d.m_zMAC)}));
        else
            for (const std::string& l : lignes)
                ZorCliEcrire(ZorCliU8(d.m_zMAC) + " " + l);
        return ZOR_CLI_OK;
    }

    // Discovery until the device's answer shows the new values (after a restart, perhaps).
    bool InfoVue(const std::function<bool(const ZorTavlinInfo&)>& vu)
    {
        const std::string zMAC = ZorCliU8(m_d.m_zMAC);
        return ZorCliDecouvrir(m_tavlin, Secondes(kChangementS) * 1000, [&] {
            ZorTavlinInfoArray tous;
            m_tavlin.GetLesTavlin(tous);
            ZorTavlinInfo n;
            return ZorCliChercherDans(tous, zMAC, &n) && vu(n);
        });
    }

    // The settings loaded again as the window would load them, until they are the new ones.
    bool EmailVu(const P::Email& voulu)
    {
        const int64_t iFin = ZorDefaultClock().NowMs() + Secondes(kChangementS) * 1000;
        while (ZorDefaultClock().NowMs() < iFin && !ZorCliInterrompu()) {
            const std::unique_ptr<P::Appareil> appareil = P::GestionnaireTavlin(&m_tavlin);
            P relire(*appareil, ZorDefaultClock(), m_d.m_zNom, m_d.m_zCommentaire, m_d.m_zPwd,
                     m_d.m_zMAC, ZorAdresseIP(m_d.m_zIP), ZorAdresseIP(m_d.m_zIPLocal),
                     ZorAdresseIP(m_d.m_zMask), ZorAdresseIP(m_d.m_zGateway), m_d.m_bDHCPEnabled,
                     m_d.m_zVersion);
            P::Saisie s;
            s.zMotDePasse = m_d.m_zPwd;
            relire.Ok(s);
            P::Reaction r;
            const bool bCharge = Charger(relire, &r);
            while (relire.Annuler().iFin == 0) {
            }
            const P::Email& e = relire.GetEmail();
            if (bCharge && e.zServeur == voulu.zServeur && e.zPort == voulu.zPort &&
                e.zLogin == voulu.zLogin && e.zPwd == voulu.zPwd && e.bSSL == voulu.bSSL)
                return Livrer();
        }
        return false;
    }

    const ZorCliOptions& m_o;
    ZorTavlinObj& m_tavlin;
    const std::string m_zQuoi;
    ZorTavlinInfo m_d;
    P::Email m_emailAvant;
};

} // namespace

int ZorCliConfig(const ZorCliOptions& o, ZorTavlinObj& tavlin)
{
    return Config(o, tavlin).Executer();
}
