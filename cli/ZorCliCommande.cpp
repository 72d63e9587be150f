#include "cli/ZorCliCommande.h"

#include "cli/ZorCliOutils.h"
#include "infra/ZorTraduction.h"

#include <cctype>
#include <cstdlib>
#include <map>

namespace {

struct Verbe
{
    const char* zUsage;
    const char* zTexte;
};

const std::map<std::string, Verbe>& Verbes()
{
    static const std::map<std::string, Verbe> verbes = {
        {"discover",
         {"tavlin discover [--seconds S] [--watch] [--json|--json-lines]",
          ZOR_N8("Liste les Tavlin trouvées sur chaque carte réseau (attente de S secondes, 3 "
                 "par défaut) ; --watch suit les arrivées et les départs.")}},
        {"status",
         {"tavlin status MAC|IP [--watch] [--seconds S] [--json|--json-lines]",
          ZOR_N8("Affiche l'état de la Tavlin : relais, sorties, entrées, valeurs analogiques, "
                 "bouton, horloge, version, commentaire ; --watch suit les changements.")}},
        {"set",
         {"tavlin set MAC|IP relay N on|off | outputs 0xHH | analog N V | auto N | "
          "clock now | blink | uart write TEXTE | uart read | reboot [--json]",
          ZOR_N8("Envoie une commande à la Tavlin et attend qu'elle soit faite.")}},
        {"readdress",
         {"tavlin readdress MAC [--to ADRESSE] [--seconds S] [--json]",
          ZOR_N8("Donne à la Tavlin une adresse libre du réseau de sa carte (ou ADRESSE) et "
                 "attend qu'elle réponde à sa nouvelle adresse (S secondes, 60 par défaut).")}},
        {"update",
         {"tavlin update MAC...|--all [--folder DOSSIER] [--dry-run] [--json]",
          ZOR_N8("Met à jour les Tavlin l'une après l'autre ; --dry-run vérifie tout sans rien "
                 "envoyer. DOSSIER : un dossier de mise à jour (maj_vN).")}},
        {"export",
         {"tavlin export [--csv|--json] [--seconds S]",
          ZOR_N8("Exporte la liste des Tavlin avec toutes les valeurs connues.")}},
        {"adapters",
         {"tavlin adapters [--json]",
          ZOR_N8("Liste les cartes réseau de l'ordinateur, sur liste noire ou non.")}},
        {"blacklist",
         {"tavlin blacklist add|remove MAC [--json]",
          ZOR_N8("Ajoute une carte réseau à la liste noire ou l'en retire.")}},
    };
    return verbes;
}

bool LireEntier(const std::string& z, long iMin, long iMax, int* pi)
{
    if (z.empty())
        return false;
    // Hexadecimal only with its prefix: a leading zero is not octal here ("010" is ten).
    const bool bHexa = z.size() > 2 && z[0] == '0' && (z[1] == 'x' || z[1] == 'X');
    char* fin = nullptr;
    const long v = std::strtol(z.c_str() + (bHexa ? 2 : 0), &fin, bHexa ? 16 : 10);
    if (*fin != '\0' || v < iMin || v > iMax ||
        !std::isalnum(static_cast<unsigned char>(z[bHexa ? 2 : 0])))
        return false;
    *pi = int(v);
    return true;
}

} // namespace

std::string ZorCliAide(const std::string& zVerbe)
{
    const auto it = Verbes().find(zVerbe);
    if (it != Verbes().end())
        return ZorCliTr("Usage : ") + it->second.zUsage + "\n" + ZorCliTr(it->second.zTexte) + "\n";
    std::string z =
        ZorCliTr("Usage : tavlin VERBE [ARGUMENTS] [--json] [--lang fr|en] [--help]\n\nVerbes :\n");
    for (const auto& v : Verbes())
        z += "  " + std::string(v.second.zUsage) + "\n";
    z += ZorCliTr(
        "\nCodes de sortie : 0 terminé, 1 une Tavlin en échec, 2 mauvais usage, 3 Tavlin "
        "introuvable, 4 réseau indisponible, 5 un autre programme Tavlin reçoit les réponses "
        "(liste peut-être incomplète).\n");
    return z;
}

std::string ZorCliLire(const std::vector<std::string>& args, ZorCliOptions& o)
{
    o = ZorCliOptions();
    bool bFinOptions = false; // after "--", a text may begin with '-' (uart write -- -x)
    for (size_t i = 0; i < args.size(); ++i) {
        std::string a = args[i], zValeur;
        if (!bFinOptions && a == "--") {
            bFinOptions = true;
            continue;
        }
        if (bFinOptions) {
            if (o.zVerbe.empty())
                o.zVerbe = a;
            else
                o.arguments.push_back(a);
            continue;
        }
        bool bValeur = false;
        const size_t egal = a.find('=');
        if (a.rfind("--", 0) == 0 && egal != std::string::npos) {
            zValeur = a.substr(egal + 1);
            a = a.substr(0, egal);
            bValeur = true;
        }
        auto valeur = [&](std::string* pz) {
            if (!bValeur) {
                if (i + 1 >= args.size())
                    return false;
                zValeur = args[++i];
            }
            *pz = zValeur;
            return true;
        };
        static const std::pair<const char*, bool ZorCliOptions::*> interrupteurs[] = {
            {"--help", &ZorCliOptions::bAide},      {"-h", &ZorCliOptions::bAide},
            {"--json", &ZorCliOptions::bJson},      {"--json-lines", &ZorCliOptions::bJsonLines},
            {"--csv", &ZorCliOptions::bCsv},        {"--watch", &ZorCliOptions::bWatch},
            {"--dry-run", &ZorCliOptions::bDryRun}, {"--all", &ZorCliOptions::bTous},
        };
        bool bInterrupteur = false;
        for (const auto& it : interrupteurs)
            if (!bValeur && a == it.first)
                o.*(it.second) = bInterrupteur = true;
        std::string z;
        if (bInterrupteur)
            continue;
        if (a == "--seconds") {
            if (!valeur(&z) || !LireEntier(z, 0, 86400, &o.iSecondes))
                return ZorCliTr("--seconds attend un nombre de secondes entre 0 et 86400");
        } else if (a == "--folder") {
            if (!valeur(&o.zDossier) || o.zDossier.empty())
                return ZorCliTr("--folder attend un dossier");
        } else if (a == "--to") {
            if (!valeur(&o.zVers) || !ZorCliIPv4(o.zVers))
                return ZorCliTr("--to attend une adresse IPv4");
        } else if (a == "--lang") {
            if (!valeur(&o.zLangue) || ZorLangueDemandee(o.zLangue) < 0)
                return ZorCliTr("--lang attend fr ou en");
        } else if (a.size() > 1 && a[0] == '-' &&
                   !(a.size() > 1 && std::isdigit(static_cast<unsigned char>(a[1]))))
            return ZorCliTr("option inconnue : %s", {a});
        else if (o.zVerbe.empty())
            o.zVerbe = a;
        else
            o.arguments.push_back(a);
    }
    if (o.zVerbe.empty())
        return o.bAide ? std::string() : ZorCliTr("aucun verbe donné (tavlin --help)");
    if (!Verbes().count(o.zVerbe))
        return ZorCliTr("verbe inconnu : %s", {o.zVerbe});
    if (o.bAide)
        return std::string();
    if (o.bJson && o.bJsonLines)
        return ZorCliTr("--json et --json-lines s'excluent");
    const size_t n = o.arguments.size();
    const std::string& v = o.zVerbe;
    if ((v == "discover" || v == "export" || v == "adapters") && n > 0)
        return ZorCliTr("argument en trop : %s", {o.arguments[0]});
    if ((v == "status" || v == "readdress") && n != 1)
        return ZorCliTr("%s attend une Tavlin (MAC ou IP)", {v});
    if (v == "readdress" && !ZorCliMAC(o.arguments[0], nullptr))
        return ZorCliTr("readdress attend l'adresse MAC de la Tavlin");
    if (v == "set" && n < 2)
        return ZorCliTr("set attend une Tavlin et une commande");
    if (v == "update" && (o.bTous == (n > 0)))
        return ZorCliTr("update attend des adresses MAC ou --all");
    if (v == "blacklist" && (n != 2 || (o.arguments[0] != "add" && o.arguments[0] != "remove") ||
                             !ZorCliMAC(o.arguments[1], nullptr)))
        return ZorCliTr("blacklist attend add ou remove puis l'adresse MAC d'une carte");
    if (v == "update")
        for (const std::string& m : o.arguments)
            if (!ZorCliMAC(m, nullptr))
                return ZorCliTr("adresse MAC invalide : %s", {m});
    if ((v == "status" || v == "set") && !ZorCliMAC(o.arguments[0], nullptr) &&
        !ZorCliIPv4(o.arguments[0]))
        return ZorCliTr("Tavlin à désigner par son adresse MAC ou IP : %s", {o.arguments[0]});
    if (v == "set") {
        ZorCliReglage r;
        const std::string z = ZorCliLireReglage(
            std::vector<std::string>(o.arguments.begin() + 1, o.arguments.end()), r);
        if (!z.empty())
            return z;
    }
    if (o.bWatch && v != "discover" && v != "status")
        return ZorCliTr("--watch ne vaut que pour discover et status");
    return std::string();
}

bool ZorCliMAC(const std::string& z, std::string* pzMAC)
{
    if (z.size() != 17)
        return false;
    std::string out = z;
    const char sep = z[2];
    if (sep != ':' && sep != '-')
        return false;
    for (size_t i = 0; i < z.size(); ++i) {
        if (i % 3 == 2) {
            if (z[i] != sep)
                return false;
            out[i] = '-';
        } else if (!std::isxdigit(static_cast<unsigned char>(z[i]))) {
            return false;
        } else {
            out[i] = char(std::toupper(static_cast<unsigned char>(z[i])));
        }
    }
    if (pzMAC)
        *pzMAC = out;
    return true;
}

bool ZorCliIPv4(const std::string& z)
{
    int iOctets = 0;
    size_t i = 0;
    while (i <= z.size()) {
        size_t j = i;
        while (j < z.size() && std::isdigit(static_cast<unsigned char>(z[j])))
            ++j;
        if (j == i || j - i > 3 || std::atoi(z.substr(i, j - i).c_str()) > 255)
            return false;
        ++iOctets;
        if (j == z.size())
            break;
        if (z[j] != '.')
            return false;
        i = j + 1;
    }
    return iOctets == 4;
}

std::string ZorCliLireReglage(const std::vector<std::string>& m, ZorCliReglage& r)
{
    r = ZorCliReglage();
    const std::string zQuoi = m.empty() ? std::string() : m[0];
    const size_t n = m.size();
    if (zQuoi == "relay") {
        r.type = ZorCliReglage::RELAIS;
        if (n != 3 || !LireEntier(m[1], 1, 4, &r.iIndex) || (m[2] != "on" && m[2] != "off"))
            return ZorCliTr("usage : set TAVLIN relay N on|off (N de 1 à 4)");
        r.iValeur = m[2] == "on";
    } else if (zQuoi == "outputs") {
        r.type = ZorCliReglage::SORTIES;
        if (n != 2 || !LireEntier(m[1], 0, 255, &r.iValeur))
            return ZorCliTr("usage : set TAVLIN outputs 0xHH (0 à 255)");
    } else if (zQuoi == "analog") {
        r.type = ZorCliReglage::ANALOGIQUE;
        if (n != 3 || !LireEntier(m[1], 1, 2, &r.iIndex) || !LireEntier(m[2], 0, 255, &r.iValeur))
            return ZorCliTr("usage : set TAVLIN analog N V (N 1 ou 2, V de 0 à 255)");
    } else if (zQuoi == "auto") {
        r.type = ZorCliReglage::AUTO;
        if (n != 2 || !LireEntier(m[1], 0, 255, &r.iValeur))
            return ZorCliTr("usage : set TAVLIN auto N (0 arrêt, 1 à 255)");
    } else if (zQuoi == "clock") {
        r.type = ZorCliReglage::HORLOGE;
        if (n != 2 || m[1] != "now")
            return ZorCliTr("usage : set TAVLIN clock now");
    } else if (zQuoi == "blink" || zQuoi == "reboot") {
        r.type = zQuoi == "blink" ? ZorCliReglage::BLINK : ZorCliReglage::REBOOT;
        if (n != 1)
            return ZorCliTr("usage : set TAVLIN %s", {zQuoi});
    } else if (zQuoi == "uart") {
        if (n == 2 && m[1] == "read")
            r.type = ZorCliReglage::UART_LIRE;
        else if (n == 3 && m[1] == "write" && !m[2].empty())
            r.type = ZorCliReglage::UART_ECRIRE, r.zTexte = m[2];
        else
            return ZorCliTr("usage : set TAVLIN uart write TEXTE | uart read");
    } else {
        return ZorCliTr("commande inconnue pour set : %s", {zQuoi});
    }
    return std::string();
}
