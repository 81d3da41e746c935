#include "support/Sandbox.h"

#include "journal/FichierJournal.h"

#include <atomic>
#include <string>
#include <unistd.h>

namespace borne::test {

namespace {
std::atomic<int> g_compteur{0};
}

Sandbox::Sandbox() {
    panneau().reinitialiser();
    FichierJournal::reprendre();
    ancien_ = std::filesystem::current_path();
    dossier_ = std::filesystem::temp_directory_path() /
               ("borne-test-" + std::to_string(::getpid()) + "-" + std::to_string(g_compteur++));
    std::filesystem::remove_all(dossier_);
    std::filesystem::create_directories(dossier_);
    std::filesystem::current_path(dossier_);
}

Sandbox::~Sandbox() {
    std::error_code ec;
    std::filesystem::current_path(ancien_, ec);
    std::filesystem::remove_all(dossier_, ec);
}

} // namespace borne::test

#include "support/WriteLog.h"

namespace borne::test {

WriteLog::WriteLog()
    : cle_(panneau().ajouterObservateur([this](const Ecriture& e) {
          if (e.auteur == Auteur::Terminal)
              lignes.push_back(e.controle.nom() + "." + nomPropriete(e.propriete) + " = " +
                               valeurEnTexte(e.valeur));
      })) {}

WriteLog::~WriteLog() {
    panneau().retirerObservateur(cle_);
}

} // namespace borne::test
