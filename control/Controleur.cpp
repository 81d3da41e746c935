#include "control/Controleur.h"

#include "control/tGestionBarriere.h"

#include <dlfcn.h>
#include <filesystem>
#include <fstream>

namespace borne {

const TypeControleur& controleurInterne() {
    using Interne = ControleurDe<tGestionBarriere>;
    static const TypeControleur interne{"tGestionBarriere",
                                        [] { return std::unique_ptr<Controleur>(new Interne()); },
                                        Interne::AVEC_LIGNES, Interne::AVEC_VALEURS};
    return interne;
}

const char* empreinteInterface() noexcept {
    return BORNE_EMPREINTE_INTERFACE;
}

std::optional<TypeControleur> chargerControleur(const std::string& chemin, std::string& erreur) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status statut = fs::status(chemin, ec);
    if (!fs::exists(statut)) {
        erreur = chemin + ": no such file";
        return std::nullopt;
    }
    if (!fs::is_regular_file(statut)) {
        erreur = chemin + ": not a shared library (not a file)";
        return std::nullopt;
    }
    // The loader would say "invalid ELF header" or "file too short"; a person who passed a source or a
    // script gets it in plain words.
    char magique[4] = {};
    std::ifstream(chemin, std::ios::binary).read(magique, sizeof magique);
    if (std::string_view(magique, sizeof magique) != std::string_view("\x7f"
                                                                      "ELF",
                                                                      4)) {
        erreur = chemin + ": not a shared library";
        return std::nullopt;
    }
    // A bare name would make the loader search its own folders: the path is the file the person named.
    const std::string fichier = chemin.find('/') == std::string::npos ? "./" + chemin : chemin;
    void* bibliotheque = ::dlopen(fichier.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (bibliotheque == nullptr) {
        const char* message = ::dlerror();
        erreur = chemin + ": does not load: " + (message != nullptr ? message : "unknown error");
        return std::nullopt;
    }
    using Entree = const EntreeControleur* (*)();
    auto entree = reinterpret_cast<Entree>(::dlsym(bibliotheque, NOM_ENTREE_CONTROLEUR));
    if (entree == nullptr) {
        erreur = chemin + ": not a borne controller (no " + NOM_ENTREE_CONTROLEUR + " entry point)";
        return std::nullopt;
    }
    const EntreeControleur* e = entree();
    if (e == nullptr || e->creer == nullptr) {
        erreur = chemin + ": not a borne controller (its entry point gives no controller)";
        return std::nullopt;
    }
    if (e->version != VERSION_CONTROLEUR) {
        erreur = chemin + ": built for version " + std::to_string(e->version) +
                 " of the controller interface; this borne takes version " +
                 std::to_string(VERSION_CONTROLEUR) + ": build it again against this borne";
        return std::nullopt;
    }
    if (e->empreinte == nullptr || std::string_view(e->empreinte) != empreinteInterface()) {
        erreur = chemin + ": built against the controller interface " +
                 (e->empreinte != nullptr ? std::string(e->empreinte).substr(0, 40) : std::string("(none)")) +
                 "; this borne's is " + empreinteInterface() + ": build it again against this borne";
        return std::nullopt;
    }
    auto creer = e->creer;
    return TypeControleur{fs::path(chemin).filename().string(),
                          [creer] { return std::unique_ptr<Controleur>(creer()); }, e->ditLignes,
                          e->decritValeurs};
}

} // namespace borne
