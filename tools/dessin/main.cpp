// borne-dessin: draws the panel's seven pictures and the icon and writes them as files.
// Usage: borne-dessin [folder]   (default: the source tree's panel/images)
#include "Ecriture.h"
#include "Scenes.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

bool ecrireFichier(const std::filesystem::path& chemin, const void* donnees, std::size_t taille) {
    std::ofstream f(chemin, std::ios::binary | std::ios::trunc);
    f.write(static_cast<const char*>(donnees), static_cast<std::streamsize>(taille));
    f.close();
    if (!f) {
        std::fprintf(stderr, "borne-dessin: cannot write %s\n", chemin.string().c_str());
        return false;
    }
    std::printf("%s (%zu bytes)\n", chemin.string().c_str(), taille);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    using namespace borne::dessin;
    const std::filesystem::path dossier = argc > 1 ? argv[1] : BORNE_DOSSIER_IMAGES;
    std::error_code erreur;
    std::filesystem::create_directories(dossier, erreur);
    bool ok = true;
    for (int n = 1; n <= 7; ++n) {
        const auto jpeg = encoderJpeg(dessinerImage(n));
        ok &= ecrireFichier(dossier / ("Image" + std::to_string(n) + ".jpg"), jpeg.data(), jpeg.size());
    }
    const Icone icone = dessinerIcone();
    const std::string xpm = versXpm(icone, "borne");
    ok &= ecrireFichier(dossier / "borne.xpm", xpm.data(), xpm.size());
    const auto ico = versIco(icone);
    ok &= ecrireFichier(dossier / "borne.ico", ico.data(), ico.size());
    return ok ? 0 : 1;
}
