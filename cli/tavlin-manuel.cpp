// Writes tavlin's manual page: the template given with the verbs, options and exit codes of the
// one description filled in.
#include "cli/ZorCliDescription.h"

#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: tavlin-manuel TEMPLATE OUTPUT\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    std::stringstream modele;
    modele << in.rdbuf();
    std::ofstream out(argv[2]);
    out << ZorCliManuel(modele.str());
    return in && out ? 0 : 1;
}
