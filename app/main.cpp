// borne: the car-park access lane terminal on its operator panel. The options pace the terminal's time,
// open the bench window and scale the windows (see lireOptions).
#include "app/Programme.h"

#include <cstdio>

int main(int argc, char** argv) {
    borne::Demarrage d;
    const std::string erreur = borne::lireOptions(argc, argv, d.options);
    if (!erreur.empty()) {
        std::fprintf(stderr, "borne: %s\n%s\n", erreur.c_str(), borne::USAGE_OPTIONS);
        return 2;
    }
    return borne::lancerProgramme(argc, argv, d);
}
