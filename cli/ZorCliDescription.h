// What tavlin offers, written once: its verbs, their options and exit codes. The command line is
// checked against it, --help prints it, and the manual page and the bash completion are generated
// from it at build time, so that they cannot disagree.
#pragma once

#include <string>
#include <vector>

struct ZorCliOptionDesc
{
    const char* zNom; // "--seconds"
    // "S", or nullptr for a switch; completion offers files for "F", folders for "DOSSIER" and
    // the choices of "a|b".
    const char* zValeur;
    const char* zAide;   // one French line for --help (translated where printed)
    const char* zManuel; // the English paragraph of the manual page
};

struct ZorCliVerbeDesc
{
    const char* zNom;
    const char* zUsage;   // after "tavlin "
    const char* zAide;    // French, for --help (translated where printed)
    const char* zManuel;  // English, for the manual page
    const char*
        zOptions; // the options it takes, space-separated (--help, --quiet, --lang: every verb)
};

struct ZorCliSortieDesc
{
    int iCode;
    const char* zAide;
    const char* zManuel;
};

// A word a verb takes at a fixed place among its arguments (set's actions, config's changes,
// blacklist's add and remove), with the verb's options that only this word takes.
struct ZorCliMotDesc
{
    const char* zVerbe;
    const char* zMot;
    size_t iPlace;        // its index among the verb's arguments
    size_t nArguments;    // the verb's arguments in all with this word; 0: the verb checks them
    const char* zOptions; // space-separated
    const char* zSuite;   // the words that may come next, space-separated, for completion
};

const std::vector<ZorCliVerbeDesc>& ZorCliVerbesDesc();
const std::vector<ZorCliMotDesc>& ZorCliMotsDesc();
const std::vector<ZorCliOptionDesc>& ZorCliOptionsDesc();
const std::vector<ZorCliSortieDesc>& ZorCliSortiesDesc();
// The version of the JSON documents' layout ("schema" member of every document).
constexpr int kZorCliSchema = 1;

const ZorCliVerbeDesc* ZorCliVerbe(const std::string& zNom);
const ZorCliOptionDesc* ZorCliOption(const std::string& zNom);
// Whether the verb takes that option (the ones every verb takes included).
bool ZorCliVerbePrend(const ZorCliVerbeDesc& v, const std::string& zOption);
// Whether the verb, with this word, takes the option: one of the verb's options that no word of
// the verb owns, or one this word owns.
bool ZorCliMotPrend(const ZorCliMotDesc& m, const std::string& zOption);
// The bash completion script: the verbs, their words and options, and the options' values.
std::string ZorCliCompletion();
// The manual page: zModele with @VERBS@, @OPTIONS@ and @EXIT@ replaced by roff text, from the
// English paragraphs, or (bFrancais) from the French texts that --help prints.
std::string ZorCliManuel(const std::string& zModele, bool bFrancais = false);
