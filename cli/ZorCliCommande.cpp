#include "cli/ZorCliCommande.h"

#include "cli/ZorCliDescription.h"
#include "cli/ZorCliOutils.h"
#include "infra/ZorTraduction.h"

#include <cctype>
#include <cstdlib>
#include <map>

namespace {

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

// config's change and the options it takes, as the description lists them.
std::string LireConfig(const ZorCliOptions& o)
{
    const std::string& zQuoi = o.arguments[1];
    for (const ZorCliMotDesc& c : ZorCliMotsDesc()) {
        if (std::string(c.zVerbe) != "config" || zQuoi != c.zMot)
            continue;
        if (o.arguments.size() != c.nArguments)
            return c.nArguments == 3 ? ZorCliTr("usage : config TAVLIN %s TEXTE", {c.zMot})
                                     : ZorCliTr("usage : config TAVLIN %s", {c.zMot});
        for (const std::string& z : o.optionsDonnees)
            if (!ZorCliMotPrend(c, z))
                return ZorCliTr("l'option %s ne vaut pas pour config %s", {z, zQuoi});
        if (zQuoi == "network" && o.zIP.empty() && o.zMasque.empty() && o.zPasserelle.empty() &&
            o.iDHCP < 0)
            return ZorCliTr("config network attend --ip, --mask, --gateway ou --dhcp");
        return std::string();
    }
    return ZorCliTr("config change name, comment, password, network ou email, pas : %s", {zQuoi});
}

} // namespace

bool ZorCliOptions::A(const char* zOption) const
{
    for (const std::string& z : optionsDonnees)
        if (z == zOption)
            return true;
    return false;
}

std::string ZorCliAide(const std::string& zVerbe)
{
    if (const ZorCliVerbeDesc* v = ZorCliVerbe(zVerbe)) {
        std::string z = ZorCliTr("Usage : tavlin %s", {v->zUsage}) + "\n" + ZorCliTr(v->zAide) +
                        "\n\n" + ZorCliTr("Options :") + "\n";
        for (const ZorCliOptionDesc& o : ZorCliOptionsDesc())
            if (ZorCliVerbePrend(*v, o.zNom))
                z += ZorCliColonnes({{std::string("  ") + o.zNom +
                                          (o.zValeur ? std::string(" ") + o.zValeur : ""),
                                      26},
                                     {ZorCliTr(o.zAide), 0}}) +
                     "\n";
        return z;
    }
    std::string z = ZorCliTr("Usage : tavlin VERBE [ARGUMENTS] [--json] [--quiet] [--lang fr|en] "
                             "[--help]\n        tavlin --version\n\nVerbes :\n");
    for (const ZorCliVerbeDesc& v : ZorCliVerbesDesc())
        z += std::string("  tavlin ") + v.zUsage + "\n";
    z += "\n" + ZorCliTr("Codes de sortie :") + "\n";
    for (const ZorCliSortieDesc& s : ZorCliSortiesDesc())
        z += "  " + std::to_string(s.iCode) + "  " + ZorCliTr(s.zAide) + "\n";
    return z;
}

namespace {

// A switch (an option without a value) sets its flag.
void LireInterrupteur(const std::string& a, ZorCliOptions& o)
{
    static const std::pair<const char*, bool ZorCliOptions::*> interrupteurs[] = {
        {"--help", &ZorCliOptions::bAide},
        {"--json", &ZorCliOptions::bJson},
        {"--json-lines", &ZorCliOptions::bJsonLines},
        {"--csv", &ZorCliOptions::bCsv},
        {"--watch", &ZorCliOptions::bWatch},
        {"--dry-run", &ZorCliOptions::bDryRun},
        {"--all", &ZorCliOptions::bTous},
        {"--version", &ZorCliOptions::bVersion},
        {"--quiet", &ZorCliOptions::bQuiet},
        {"--wait", &ZorCliOptions::bAttendre},
    };
    for (const auto& it : interrupteurs)
        if (a == it.first)
            o.*(it.second) = true;
}

// An option's value, checked and kept: an error text, or empty.
std::string LireValeur(const std::string& a, const std::string& zValeur, ZorCliOptions& o)
{
    auto marche = [&](int* pi) {
        *pi = zValeur == "on" ? 1 : zValeur == "off" ? 0 : -1;
        return *pi >= 0;
    };
    if (a == "--seconds") {
        if (!LireEntier(zValeur, 0, 86400, &o.iSecondes))
            return ZorCliTr("--seconds attend un nombre de secondes entre 0 et 86400");
    } else if (a == "--folder") {
        if ((o.zDossier = zValeur).empty())
            return ZorCliTr("--folder attend un dossier");
    } else if (a == "--to") {
        if (!ZorCliIPv4(o.zVers = zValeur))
            return ZorCliTr("--to attend une adresse IPv4");
    } else if (a == "--lang") {
        if (ZorLangueDemandee(o.zLangue = zValeur) < 0)
            return ZorCliTr("--lang attend fr ou en");
    } else if (a == "--dhcp" || a == "--ssl") {
        if (!marche(a == "--dhcp" ? &o.iDHCP : &o.iSSL))
            return ZorCliTr("%s attend on ou off", {a});
    } else if (a == "--ip" || a == "--mask" || a == "--gateway") {
        if (!ZorCliIPv4(zValeur))
            return ZorCliTr("%s attend une adresse IPv4", {a});
        (a == "--ip" ? o.zIP : a == "--mask" ? o.zMasque : o.zPasserelle) = zValeur;
    } else if (a == "--port") {
        // The window's port entry takes digits only.
        int iPort = 0;
        if (zValeur.find_first_not_of("0123456789") != std::string::npos ||
            !LireEntier(zValeur, 1, 65535, &iPort))
            return ZorCliTr("--port attend un numéro de port (1 à 65535)");
        o.zPort = zValeur;
    } else if (a.find("password-file") != std::string::npos) {
        if (zValeur.empty())
            return ZorCliTr("%s attend un fichier ou -", {a});
        (a == "--password-file"       ? o.zFichierPwd
         : a == "--new-password-file" ? o.zFichierNouveauPwd
                                      : o.zFichierPwdSMTP) = zValeur;
    } else {
        (a == "--server" ? o.zServeur : o.zLogin) = zValeur;
    }
    return std::string();
}

// Once every word is read: the verb, the options it takes and its arguments.
std::string VerifierVerbe(const ZorCliOptions& o)
{
    if (o.zVerbe.empty())
        return o.bAide || (o.bVersion && o.optionsDonnees.size() == 1)
                   ? std::string()
                   : ZorCliTr("aucun verbe donné (tavlin --help)");
    const ZorCliVerbeDesc* pVerbe = ZorCliVerbe(o.zVerbe);
    if (!pVerbe)
        return ZorCliTr("verbe inconnu : %s", {o.zVerbe});
    if (o.bAide)
        return std::string();
    // An option that means nothing for the verb is refused rather than silently ignored.
    for (const std::string& z : o.optionsDonnees)
        if (!ZorCliVerbePrend(*pVerbe, z))
            return ZorCliTr("l'option %s ne vaut pas pour %s (tavlin %s --help)",
                            {z, o.zVerbe, o.zVerbe});
    if (o.bJson && o.bJsonLines)
        return ZorCliTr("--json et --json-lines s'excluent");
    if (o.bJson && o.bCsv)
        return ZorCliTr("--json et --csv s'excluent");
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
    if (v == "config" && n < 2)
        return ZorCliTr("config attend une Tavlin et ce qu'il faut changer");
    if (v == "update" && (o.bTous == (n > 0)))
        return ZorCliTr("update attend des adresses MAC ou --all");
    if (v == "blacklist" && (n != 2 || (o.arguments[0] != "add" && o.arguments[0] != "remove") ||
                             !ZorCliMAC(o.arguments[1], nullptr)))
        return ZorCliTr("blacklist attend add ou remove puis l'adresse MAC d'une carte");
    if (v == "update")
        for (const std::string& m : o.arguments)
            if (!ZorCliMAC(m, nullptr))
                return ZorCliTr("adresse MAC invalide : %s", {m});
    if ((v == "status" || v == "set" || v == "config") && !ZorCliMAC(o.arguments[0], nullptr) &&
        !ZorCliIPv4(o.arguments[0]))
        return ZorCliTr("Tavlin à désigner par son adresse MAC ou IP : %s", {o.arguments[0]});
    if (v == "set") {
        ZorCliReglage r;
        std::string z = ZorCliLireReglage(
            std::vector<std::string>(o.arguments.begin() + 1, o.arguments.end()), r);
        if (!z.empty())
            return z;
        if (o.bAttendre && r.type != ZorCliReglage::REBOOT)
            return ZorCliTr("--wait ne vaut que pour set reboot");
    }
    if (v == "config")
        return LireConfig(o);
    return std::string();
}

} // namespace

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
        const bool bOption = !bFinOptions && a.size() > 1 && a[0] == '-' &&
                             !std::isdigit(static_cast<unsigned char>(a[1]));
        if (!bOption) {
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
        if (a == "-h")
            a = "--help";
        const ZorCliOptionDesc* d = ZorCliOption(a);
        if (!d || (bValeur && !d->zValeur))
            return ZorCliTr("option inconnue : %s", {args[i]});
        o.optionsDonnees.push_back(a);
        if (!d->zValeur) {
            LireInterrupteur(a, o);
            continue;
        }
        if (!bValeur) {
            if (i + 1 >= args.size())
                return ZorCliTr("%s attend une valeur : %s", {a, d->zValeur});
            zValeur = args[++i];
        }
        std::string zErreur = LireValeur(a, zValeur, o);
        if (!zErreur.empty())
            return zErreur;
    }
    return VerifierVerbe(o);
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
