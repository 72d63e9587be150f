#include "cli/ZorCliDescription.h"

#include "infra/ZorTraduction.h"

#include <algorithm>
#include <sstream>

// The manual's paragraphs are roff: \- is a hyphen, \fB...\fR bold, \fI...\fR italic.
const std::vector<ZorCliVerbeDesc>& ZorCliVerbesDesc()
{
    static const std::vector<ZorCliVerbeDesc> verbes = {
        {"discover", "discover [--seconds S] [--watch] [--json|--json-lines]",
         ZOR_N8("Liste les Tavlin trouvées sur chaque carte réseau (attente de S secondes, 3 par "
                "défaut) ; --watch suit les arrivées, les changements et les départs."),
         "Lists the devices found in \\fIS\\fR seconds (default 3), under a header row: MAC, "
         "address, name, comment, firmware version, the adapter that found it, whether it is "
         "on that adapter's network (\\fBreachable\\fR) and whether an update folder newer than "
         "its version is installed (\\fBupdate_available\\fR).\n.B \\-\\-watch\nprints each "
         "addition, change (address, name, comment or version) and removal as it happens "
         "(\\fB{\"event\":\"added\"|\"changed\"|\"removed\",\"device\":{...}}\\fR, a change "
         "with \\fB\"before\":{...}\\fR), for \\fIS\\fR seconds or until interrupted.",
         "--seconds --watch --json --json-lines"},
        {"status", "status MAC|IP [--watch] [--seconds S] [--json|--json-lines]",
         ZOR_N8(
             "Affiche l'état de la Tavlin : relais, sorties, entrées, valeurs analogiques, bouton, "
             "horloge, version, commentaire ; --watch suit les changements, les silences et les "
             "retours."),
         "The device's state: relays (bit 0 is relay 1), digital outputs and inputs, analog "
         "outputs and inputs, button, automatic program, clock, version, comment and the "
         "serial text received.\n.B \\-\\-watch\nprints the state again each time it changes, "
         "says when the device stops answering (\\fB{\"event\":\"lost\"}\\fR) and when it is "
         "back (\\fB{\"event\":\"back\"}\\fR), for \\fIS\\fR seconds when \\fB\\-\\-seconds\\fR "
         "is given (it then also bounds the search for the device), or until interrupted.",
         "--seconds --watch --json --json-lines"},
        {"set",
         "set MAC|IP relay N on|off | outputs 0xHH | analog N V | auto N | clock now | blink | "
         "uart write TEXTE | uart read | reboot [--wait] [--seconds S] [--json]",
         ZOR_N8(
             "Envoie une commande à la Tavlin et attend qu'elle soit faite ; reboot --wait attend "
             "qu'elle réponde de nouveau (S secondes, 60 par défaut)."),
         "Sends one command and returns once the device has taken it (and, for relays, "
         "outputs and analog outputs, once its state shows the value). Actions: "
         "\\fBrelay\\fR \\fIN\\fR \\fBon\\fR|\\fBoff\\fR (N from 1 to 4, the other relays "
         "kept), \\fBoutputs\\fR \\fI0xHH\\fR, \\fBanalog\\fR \\fIN V\\fR (N 1 or 2, V 0 to "
         "255), \\fBauto\\fR \\fIN\\fR, \\fBclock now\\fR, \\fBblink\\fR (the device flashes "
         "its orange light for as long as its own firmware decides), \\fBuart write\\fR "
         "\\fITEXT\\fR, \\fBuart read\\fR and \\fBreboot\\fR. The \\fITEXT\\fR of \\fBuart "
         "write\\fR reaches the device's serial port exactly as given; it may hold any "
         "character of ISO 8859\\-1, and another character is refused with exit status 2. "
         "\\fBreboot \\-\\-wait\\fR returns once the device answers discovery again (at most "
         "\\fIS\\fR seconds, default 60; exit status 1 if it does not).",
         "--seconds --wait --json"},
        {"config",
         "config MAC|IP name TEXTE | comment TEXTE | password | network [--ip A] [--mask M] "
         "[--gateway G] [--dhcp on|off] | email --server S --port P --ssl on|off --login L "
         "--smtp-password-file F [--password-file F|-] [--new-password-file F|-] [--seconds S] "
         "[--json]",
         ZOR_N8(
             "Personnalise la Tavlin comme la fenêtre de personnalisation (mêmes contrôles, mêmes "
             "messages) et attend qu'elle montre le changement ; son mot de passe actuel est lu "
             "dans --password-file ou sur l'entrée standard."),
         "Customises the device as the customisation window does, with the same checks and "
         "messages, and returns once the device shows the change (at most \\fIS\\fR seconds, "
         "default 60): \\fBname\\fR \\fITEXT\\fR (letters and digits), \\fBcomment\\fR "
         "\\fITEXT\\fR, \\fBpassword\\fR (the new password read from "
         "\\fB\\-\\-new\\-password\\-file\\fR, by default the next line of standard input; a "
         "second line, when present, is its confirmation and must match), \\fBnetwork\\fR "
         "(the values not given are kept; the device restarts), \\fBemail\\fR (devices above "
         "version 1; the SMTP password is read from \\fB\\-\\-smtp\\-password\\-file\\fR). The "
         "device's current password is read from \\fB\\-\\-password\\-file\\fR \\fIF\\fR, or "
         "from the first line of standard input (\\fB\\-\\fR, the default); passwords are "
         "never taken from the command line and never printed. At a terminal, each password "
         "read from standard input is asked for and not shown while typed. A wrong current "
         "password changes nothing and exits with status 6. The output says what changed, each "
         "value before and after.",
         "--password-file --new-password-file --smtp-password-file --ip --mask --gateway "
         "--dhcp --server --port --ssl --login --seconds --json"},
        {"readdress", "readdress MAC [--to ADRESSE] [--seconds S] [--json]",
         ZOR_N8("Donne à la Tavlin une adresse libre du réseau de sa carte (ou ADRESSE) et attend "
                "qu'elle réponde à sa nouvelle adresse (S secondes, 60 par défaut)."),
         "Gives the device a free address on the network of the adapter that found it (each "
         "candidate is checked with an echo request first), or the address \\fIA\\fR when it "
         "is free, sends the address configuration datagram and waits up to \\fIS\\fR seconds "
         "(default 60) until the device answers at its new address.",
         "--to --seconds --json"},
        {"update",
         "update MAC...|--all [--folder DOSSIER] [--dry-run] [--wait] [--seconds S] "
         "[--json|--json-lines]",
         ZOR_N8("Met à jour les Tavlin l'une après l'autre ; --dry-run vérifie tout sans rien "
                "envoyer ; --wait attend qu'une Tavlin en échec réponde de nouveau. DOSSIER : un "
                "dossier de mise à jour (maj_vN)."),
         "Updates the devices one after the other from the update folder \\fIDIR\\fR (a "
         "folder named \\fBmaj_v\\fIN\\fR holding \\fBtavlin.cry\\fR and \\fBtavlin.bin\\fR), "
         "by default the newest installed one. Before anything is sent every device is "
         "checked: a device that does not answer discovery is \\fBskipped\\fR, one outside "
         "the computer's network too (use \\fBreaddress\\fR), one whose version is not older "
         "than the folder's is \\fBcurrent\\fR, and missing or unreadable images fail every "
         "device before any is touched. During an update a progress line per stage goes to "
         "standard error (with \\fB\\-\\-json\\-lines\\fR, "
         "\\fB{\"event\":\"progress\",\"stage\":...,\"percent\":...}\\fR objects to standard "
         "output). The result lists each device with its result (\\fBupdated\\fR, "
         "\\fBcurrent\\fR, \\fBskipped\\fR, \\fBfailed\\fR, or with \\fB\\-\\-dry\\-run\\fR "
         "\\fBwould\\-update\\fR), the versions before and after, and for a failure the update "
         "code and its stage (\\fBpreparation\\fR, \\fBverification\\fR, \\fBbootloader\\fR, "
         "\\fBsearch\\fR, \\fBtransfer\\fR, \\fBcompletion\\fR). A device that comes back "
         "reporting another version than the folder's has \\fBfailed\\fR (code 12, stage "
         "\\fBcompletion\\fR). After a failure in the \\fBbootloader\\fR or \\fBsearch\\fR "
         "stage the next device waits until the failed one answers discovery again (at most "
         "30 s), so that its bootloader cannot answer for another device; one that does not is "
         "reported, in text and JSON, as left in its bootloader "
         "(\\fB\"left_in_bootloader\":true\\fR). With \\fB\\-\\-wait\\fR every failed device "
         "is waited for until it answers again (at most 60 s, "
         "\\fB\"answers\":true\\fR|\\fBfalse\\fR). A failed upload of the web-server image "
         "ends within 60 s (code 6, stage \\fBtransfer\\fR). \\fB\\-\\-dry\\-run\\fR does "
         "every check and sends nothing to any device. \\fB\\-\\-seconds\\fR bounds the search "
         "for the devices (default 5).",
         "--all --folder --dry-run --wait --seconds --json --json-lines"},
        {"export", "export [--csv|--json] [--seconds S]",
         ZOR_N8("Exporte la liste des Tavlin avec toutes les valeurs connues."),
         "The device list with every value the computer holds about each device (JSON by "
         "default, or CSV with a header line). The devices' passwords are left out. A CSV "
         "cell that starts with \\fB=\\fR, \\fB+\\fR, \\fB\\-\\fR, \\fB@\\fR, a tab or a "
         "carriage return gets a leading \\fB\\(aq\\fR so that a spreadsheet shows it as text.",
         "--csv --json --seconds"},
        {"adapters", "adapters [--json]",
         ZOR_N8("Liste les cartes réseau de l'ordinateur, sur liste noire ou non."),
         "The computer's network adapters as the engine sees them, with their black-list "
         "mark.",
         "--json"},
        {"blacklist", "blacklist add|remove MAC [--json]",
         ZOR_N8("Ajoute une carte réseau à la liste noire ou l'en retire."),
         "Puts an adapter on the black list (no discovery through it, for every Tavlin "
         "program of the user) or takes it off.",
         "--json"},
    };
    return verbes;
}

const std::vector<ZorCliMotDesc>& ZorCliMotsDesc()
{
    static const std::vector<ZorCliMotDesc> mots = {
        {"set", "relay", 1, 0, "", "1 2 3 4"},
        {"set", "outputs", 1, 0, "", ""},
        {"set", "analog", 1, 0, "", "1 2"},
        {"set", "auto", 1, 0, "", ""},
        {"set", "clock", 1, 0, "", "now"},
        {"set", "blink", 1, 0, "", ""},
        {"set", "uart", 1, 0, "", "write read"},
        {"set", "reboot", 1, 0, "", ""},
        {"config", "name", 1, 3, "", ""},
        {"config", "comment", 1, 3, "", ""},
        {"config", "password", 1, 2, "--new-password-file", ""},
        {"config", "network", 1, 2, "--ip --mask --gateway --dhcp", ""},
        {"config", "email", 1, 2, "--server --port --ssl --login --smtp-password-file", ""},
        {"blacklist", "add", 0, 2, "", ""},
        {"blacklist", "remove", 0, 2, "", ""},
    };
    return mots;
}

const std::vector<ZorCliOptionDesc>& ZorCliOptionsDesc()
{
    static const std::vector<ZorCliOptionDesc> options = {
        {"--help", nullptr, ZOR_N8("cette aide (celle du verbe après un verbe)"),
         "Prints the usage (of the verb, after a verb) and exits."},
        {"--version", nullptr, ZOR_N8("la version du programme"), "Prints the program's version."},
        {"--quiet", nullptr, ZOR_N8("rien sur la sortie standard en cas de succès en texte"),
         "Writes nothing to standard output in text mode (errors still go to standard error; "
         "JSON output is kept)."},
        {"--lang", "fr|en", ZOR_N8("la langue des textes (sinon celle de la locale)"),
         "The language of the texts for people (labels, result words, stage names, errors): "
         "\\fBfr\\fR or \\fBen\\fR. Without it the locale decides (\\fBLC_ALL\\fR, "
         "\\fBLC_MESSAGES\\fR, \\fBLANG\\fR, then \\fBLANGUAGE\\fR): French for a French "
         "locale (\\fBfr_*\\fR) and when no language is set (\\fBC\\fR, \\fBC.UTF\\-8\\fR, "
         "\\fBPOSIX\\fR), English for any other. JSON member names and values are the same in "
         "every language, except the texts of error messages and reasons."},
        {"--json", nullptr, ZOR_N8("un document JSON"), "One JSON document on standard output."},
        {"--json-lines", nullptr, ZOR_N8("un objet JSON par ligne (flux)"),
         "One JSON object per line, for the verbs that stream."},
        {"--csv", nullptr, ZOR_N8("CSV avec une ligne d'en-tête"), "CSV with a header line."},
        {"--seconds", "S", ZOR_N8("attente en secondes (0 à 86400)"),
         "How long to wait, in seconds (0 to 86400); its default depends on the verb."},
        {"--watch", nullptr, ZOR_N8("suit les changements"), "Streams the changes."},
        {"--dry-run", nullptr, ZOR_N8("vérifie sans rien envoyer"),
         "Checks everything, sends nothing."},
        {"--all", nullptr, ZOR_N8("toutes les Tavlin trouvées"), "Every device found."},
        {"--wait", nullptr, ZOR_N8("attend que la Tavlin réponde de nouveau"),
         "Waits until the device answers again."},
        {"--folder", "DOSSIER", ZOR_N8("un dossier de mise à jour (maj_vN)"),
         "An update folder (maj_vN)."},
        {"--to", "ADRESSE", ZOR_N8("l'adresse voulue"), "The address wanted."},
        {"--password-file", "F",
         ZOR_N8("le mot de passe actuel de la Tavlin (- : entrée standard)"),
         "The device's current password: the first line of file F, or of standard input for "
         "\\fB\\-\\fR (the default)."},
        {"--new-password-file", "F", ZOR_N8("le nouveau mot de passe (- : entrée standard)"),
         "The new password (and optionally its confirmation on the next line) from file F, "
         "or from standard input for \\fB\\-\\fR (the default)."},
        {"--smtp-password-file", "F", ZOR_N8("le mot de passe SMTP (- : entrée standard)"),
         "The SMTP password from the first line of file F, or of standard input for "
         "\\fB\\-\\fR."},
        {"--ip", "A", ZOR_N8("nouvelle adresse IP"), "The new IPv4 address."},
        {"--mask", "M", ZOR_N8("nouveau masque de sous-réseau"), "The new subnet mask."},
        {"--gateway", "G", ZOR_N8("nouvelle passerelle"), "The new gateway."},
        {"--dhcp", "on|off", ZOR_N8("DHCP activé ou non"), "DHCP on or off."},
        {"--server", "S", ZOR_N8("serveur SMTP"), "The SMTP server."},
        {"--port", "P", ZOR_N8("port SMTP (couramment 25)"), "The SMTP port (commonly 25)."},
        {"--ssl", "on|off", ZOR_N8("SSL ou non"), "SSL on or off."},
        {"--login", "L", ZOR_N8("login SMTP"), "The SMTP login."},
    };
    return options;
}

const std::vector<ZorCliSortieDesc>& ZorCliSortiesDesc()
{
    static const std::vector<ZorCliSortieDesc> codes = {
        {0, ZOR_N8("terminé"), "all done"},
        {1, ZOR_N8("une Tavlin en échec"),
         "some device failed, or was skipped (a batch with one failure is 1); or the black "
         "list file could not be written (nothing was changed)"},
        {2, ZOR_N8("mauvais usage"),
         "bad usage, an option that means nothing for the verb, or a value the "
         "customisation window would refuse"},
        {3, ZOR_N8("Tavlin introuvable"), "device not found"},
        {4, ZOR_N8("réseau indisponible"), "network not available (no usable adapter)"},
        {5, ZOR_N8("un autre programme Tavlin reçoit les réponses (liste peut-être incomplète)"),
         "another program on this computer listened on the discovery port (30303) during "
         "\\fBdiscover\\fR or \\fBexport\\fR: a device that answers by unicast reaches only "
         "one of the programs, so the list (still written) may lack devices; run it again "
         "when the other program is done"},
        {6, ZOR_N8("mot de passe incorrect (rien n'est changé)"),
         "\\fBconfig\\fR: the device's current password is wrong (nothing was changed)"},
    };
    return codes;
}

const ZorCliVerbeDesc* ZorCliVerbe(const std::string& zNom)
{
    for (const ZorCliVerbeDesc& v : ZorCliVerbesDesc())
        if (zNom == v.zNom)
            return &v;
    return nullptr;
}

const ZorCliOptionDesc* ZorCliOption(const std::string& zNom)
{
    for (const ZorCliOptionDesc& o : ZorCliOptionsDesc())
        if (zNom == o.zNom)
            return &o;
    return nullptr;
}

bool ZorCliVerbePrend(const ZorCliVerbeDesc& v, const std::string& zOption)
{
    if (zOption == "--help" || zOption == "--quiet" || zOption == "--lang")
        return true;
    std::istringstream mots(v.zOptions);
    for (std::string m; mots >> m;)
        if (m == zOption)
            return true;
    return false;
}

namespace {

std::vector<std::string> Separer(const std::string& z, char cSeparateur = ' ')
{
    std::vector<std::string> mots;
    std::istringstream in(z);
    for (std::string m; std::getline(in, m, cSeparateur);)
        if (!m.empty())
            mots.push_back(m);
    return mots;
}

bool Contient(const char* zListe, const std::string& zMot)
{
    const std::vector<std::string> mots = Separer(zListe);
    return std::find(mots.begin(), mots.end(), zMot) != mots.end();
}

} // namespace

bool ZorCliMotPrend(const ZorCliMotDesc& m, const std::string& zOption)
{
    if (Contient(m.zOptions, zOption))
        return true;
    const ZorCliVerbeDesc* v = ZorCliVerbe(m.zVerbe);
    if (!v || !ZorCliVerbePrend(*v, zOption))
        return false;
    for (const ZorCliMotDesc& autre : ZorCliMotsDesc())
        if (std::string(autre.zVerbe) == m.zVerbe && Contient(autre.zOptions, zOption))
            return false;
    return true;
}

std::string ZorCliCompletion()
{
    // What follows an option: files, folders, one of its choices, or a value to type.
    std::string zAvecValeur, zFichiers, zDossiers, zChoix, zLibres, zHaut;
    auto ajouter = [](std::string& zListe, const std::string& z) {
        zListe += (zListe.empty() ? "" : "|") + z;
    };
    for (const ZorCliOptionDesc& o : ZorCliOptionsDesc()) {
        bool bDUnVerbe = false;
        for (const ZorCliVerbeDesc& v : ZorCliVerbesDesc())
            bDUnVerbe = bDUnVerbe || Contient(v.zOptions, o.zNom);
        if (!bDUnVerbe) // every verb's options, and those of no verb (--version)
            zHaut += std::string(" ") + o.zNom;
        if (!o.zValeur)
            continue;
        const std::string zValeur = o.zValeur;
        ajouter(zAvecValeur, o.zNom);
        if (zValeur == "F")
            ajouter(zFichiers, o.zNom);
        else if (zValeur == "DOSSIER")
            ajouter(zDossiers, o.zNom);
        else if (zValeur.find('|') != std::string::npos) {
            std::string zMots;
            for (const std::string& m : Separer(zValeur, '|'))
                zMots += (zMots.empty() ? "" : " ") + m;
            zChoix += std::string("        ") + o.zNom + ") COMPREPLY=($(compgen -W \"" + zMots +
                      "\" -- \"$cur\")); return ;;\n";
        } else
            ajouter(zLibres, o.zNom);
    }
    std::string zVerbes, zCas;
    for (const ZorCliVerbeDesc& v : ZorCliVerbesDesc()) {
        zVerbes += std::string(v.zNom) + " ";
        std::string zCommunes;
        std::vector<const ZorCliMotDesc*> mots;
        for (const ZorCliMotDesc& m : ZorCliMotsDesc())
            if (std::string(m.zVerbe) == v.zNom)
                mots.push_back(&m);
        for (const ZorCliOptionDesc& o : ZorCliOptionsDesc()) {
            bool bCommune = ZorCliVerbePrend(v, o.zNom);
            for (const ZorCliMotDesc* m : mots)
                bCommune = bCommune && !Contient(m->zOptions, o.zNom);
            if (bCommune)
                zCommunes += std::string(zCommunes.empty() ? "" : " ") + o.zNom;
        }
        zCas += std::string("        ") + v.zNom + ")\n            words=\"" + zCommunes + "\"\n";
        if (!mots.empty()) {
            // The words of the verb's place, and once one is there, what it adds.
            const std::string zPlace = std::to_string(mots[0]->iPlace);
            std::string zMots, zSelonMot;
            for (const ZorCliMotDesc* m : mots) {
                zMots += std::string(" ") + m->zMot;
                std::string zAjouts;
                if (*m->zOptions)
                    zAjouts += std::string(" words+=\" ") + m->zOptions + "\"";
                if (*m->zSuite)
                    zAjouts += std::string(zAjouts.empty() ? "" : ";") +
                               " ((${#args[@]} == " + std::to_string(m->iPlace + 1) +
                               ")) && words+=\" " + m->zSuite + "\"";
                if (!zAjouts.empty())
                    zSelonMot +=
                        std::string("                ") + m->zMot + ")" + zAjouts + " ;;\n";
            }
            zCas += "            ((${#args[@]} == " + zPlace + ")) && words+=\"" + zMots + "\"\n";
            if (!zSelonMot.empty())
                zCas += "            case ${args[" + zPlace + "]} in\n" + zSelonMot +
                        "            esac\n";
        }
        zCas += "            ;;\n";
    }
    return "# bash completion for tavlin, written at build time from the description of its verbs "
           "and\n# options that --help and the manual page print. Device addresses are not "
           "offered (finding\n# them takes a network round: run \"tavlin discover\").\n"
           "_tavlin()\n{\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} verb= words "
           "i\n"
           "    local -a args=()\n"
           "    # The verb and its arguments so far, options and their values (\"--seconds 2\", "
           "\"--seconds=2\")\n    # left out.\n"
           "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
           "        case ${COMP_WORDS[i]} in\n"
           "            " +
           zAvecValeur +
           ") [[ ${COMP_WORDS[i+1]} == = ]] && ((i++)); ((i++)) ;;\n"
           "            -*) ;;\n"
           "            *) if [[ -z $verb ]]; then verb=${COMP_WORDS[i]}; else "
           "args+=(\"${COMP_WORDS[i]}\"); fi ;;\n"
           "        esac\n"
           "    done\n"
           "    [[ $prev == = ]] && prev=${COMP_WORDS[COMP_CWORD-2]}\n"
           "    case $prev in\n"
           "        " +
           zFichiers +
           ") compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n"
           "        " +
           zDossiers +
           ") compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -d -- \"$cur\")); return "
           ";;\n" +
           zChoix + "        " + zLibres +
           ") return ;;\n"
           "    esac\n"
           "    case $verb in\n"
           "        '') words=\"" +
           zVerbes + zHaut.substr(1) + "\" ;;\n" + zCas +
           "        *) return ;;\n"
           "    esac\n"
           "    COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
           "}\n"
           "complete -F _tavlin tavlin\n";
}

namespace {

// A usage line in roff: options bold, the rest as written.
std::string Roff(const std::string& z)
{
    std::string out;
    for (char c : z)
        out += c == '-' ? std::string("\\-") : std::string(1, c);
    return out;
}

} // namespace

std::string ZorCliManuel(const std::string& zModele, bool bFrancais)
{
    std::string zVerbes, zOptions, zSorties;
    for (const ZorCliVerbeDesc& v : ZorCliVerbesDesc())
        zVerbes += ".TP\n.B tavlin " + Roff(v.zUsage) + "\n" +
                   (bFrancais ? Roff(v.zAide) : v.zManuel) + "\n";
    for (const ZorCliOptionDesc& o : ZorCliOptionsDesc())
        zOptions += ".TP\n.B " + Roff(o.zNom) +
                    (o.zValeur ? std::string(" \\fI") + Roff(o.zValeur) + "\\fR" : "") + "\n" +
                    (bFrancais ? Roff(o.zAide) : o.zManuel) + "\n";
    for (const ZorCliSortieDesc& s : ZorCliSortiesDesc())
        zSorties += ".TP\n.B " + std::to_string(s.iCode) + "\n" +
                    (bFrancais ? Roff(s.zAide) : s.zManuel) + "\n";
    std::string z = zModele;
    for (const auto& r : {std::make_pair(std::string("@VERBS@\n"), zVerbes),
                          std::make_pair(std::string("@OPTIONS@\n"), zOptions),
                          std::make_pair(std::string("@EXIT@\n"), zSorties)}) {
        const size_t i = z.find(r.first);
        if (i != std::string::npos)
            z.replace(i, r.first.size(), r.second);
    }
    return z;
}
