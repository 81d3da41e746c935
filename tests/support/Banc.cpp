#include "support/Banc.h"

#include <atomic>
#include <string>
#include <unistd.h>

namespace borne::test {

namespace {
std::atomic<int> g_compteur{0};
}

Banc::Banc() {
    panneau().reinitialiser();
    ancien_ = std::filesystem::current_path();
    dossier_ = std::filesystem::temp_directory_path() /
               ("borne-test-" + std::to_string(::getpid()) + "-" + std::to_string(g_compteur++));
    std::filesystem::remove_all(dossier_);
    std::filesystem::create_directories(dossier_);
    std::filesystem::current_path(dossier_);
}

Banc::~Banc() {
    std::error_code ec;
    std::filesystem::current_path(ancien_, ec);
    std::filesystem::remove_all(dossier_, ec);
}

} // namespace borne::test

#include "support/Journaliseur.h"

#include <cstdio>

namespace borne::test {

std::string enTexte(const Valeur& v) {
    if (const bool* b = std::get_if<bool>(&v)) return *b ? "1" : "0";
    if (const Couleur* c = std::get_if<Couleur>(&v)) {
        char tampon[16];
        std::snprintf(tampon, sizeof tampon, "0x%06X", static_cast<unsigned>(*c));
        return tampon;
    }
    return std::get<std::string>(v);
}

Journaliseur::Journaliseur()
    : cle_(panneau().ajouterObservateur([this](const Ecriture& e) {
          if (e.auteur == Auteur::Terminal)
              lignes.push_back(e.controle.nom() + "." + nomPropriete(e.propriete) + " = " +
                               enTexte(e.valeur));
      })) {}

Journaliseur::~Journaliseur() {
    panneau().retirerObservateur(cle_);
}

} // namespace borne::test
