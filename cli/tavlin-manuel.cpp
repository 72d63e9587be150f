// Writes tavlin's manual page (the template given with the verbs, options and exit codes of the
// one description filled in, in English or in French), or its bash completion script.
#include "cli/ZorCliDescription.h"

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--completion") {
        std::ofstream out(argv[2]);
        out << ZorCliCompletion();
        return out ? 0 : 1;
    }
    const std::string zLangue = argc == 4 ? argv[3] : "";
    if (zLangue != "en" && zLangue != "fr") {
        std::cerr << "usage: tavlin-manuel TEMPLATE OUTPUT en|fr | --completion OUTPUT\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    std::stringstream modele;
    modele << in.rdbuf();
    std::ofstream out(argv[2]);
    out << ZorCliManuel(modele.str(), zLangue == "fr");
    return in && out ? 0 : 1;
}
