// borne: the car-park access lane terminal on its operator panel. The options pace the terminal's time,
// open the bench window and scale the windows (see lireOptions); --help and --version only print.
#include "app/Programme.h"
#include "tools/version/Version.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    borne::Demarrage d;
    const std::string erreur = borne::lireOptions(argc, argv, d.options);
    if (!erreur.empty()) {
        std::fprintf(stderr, "borne: %s\n%s\n", erreur.c_str(), borne::USAGE_OPTIONS);
        return 2;
    }
    if (d.options.aide || d.options.version) {
        const std::string texte = d.options.aide ? borne::AIDE : borne::versionText("borne");
        const bool ecrit = std::fputs(texte.c_str(), stdout) >= 0 && std::fflush(stdout) == 0;
        if (!ecrit) std::fprintf(stderr, "borne: cannot write the output\n");
        return ecrit ? 0 : 2;
    }
    return borne::lancerProgramme(argc, argv, d);
}
