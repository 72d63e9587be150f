// What tavlin offers, written once: its verbs, their options and exit codes. The command line is
// checked against it, --help prints it and the manual page is generated from it at build time,
// so that the three cannot disagree.
#pragma once

#include <string>
#include <vector>

struct ZorCliOptionDesc
{
    const char* zNom;    // "--seconds"
    const char* zValeur; // "S", or nullptr for a switch
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

const std::vector<ZorCliVerbeDesc>& ZorCliVerbesDesc();
const std::vector<ZorCliOptionDesc>& ZorCliOptionsDesc();
const std::vector<ZorCliSortieDesc>& ZorCliSortiesDesc();
// The version of the JSON documents' layout ("schema" member of every document).
constexpr int kZorCliSchema = 1;

const ZorCliVerbeDesc* ZorCliVerbe(const std::string& zNom);
const ZorCliOptionDesc* ZorCliOption(const std::string& zNom);
// Whether the verb takes that option (the ones every verb takes included).
bool ZorCliVerbePrend(const ZorCliVerbeDesc& v, const std::string& zOption);
// The manual page: zModele with @VERBS@, @OPTIONS@ and @EXIT@ replaced by roff text, from the
// English paragraphs, or (bFrancais) from the French texts that --help prints.
std::string ZorCliManuel(const std::string& zModele, bool bFrancais = false);
