#include "tests/support/Sandbox.h"
#include "tools/grammar/Grammar.h"

#include "journal/FichierJournal.h"

#include <atomic>
#include <string>
#include <unistd.h>

namespace borne::test {

namespace {
std::atomic<int> g_count{0};
}

Sandbox::Sandbox() {
    panneau().reinitialiser();
    FichierJournal::reprendre();
    previous_ = std::filesystem::current_path();
    folder_ = std::filesystem::temp_directory_path() /
              ("borne-test-" + std::to_string(::getpid()) + "-" + std::to_string(g_count++));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    std::filesystem::current_path(folder_);
}

Sandbox::~Sandbox() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::remove_all(folder_, ec);
}

} // namespace borne::test

#include "tests/support/WriteLog.h"

namespace borne::test {

WriteLog::WriteLog()
    : key_(panneau().ajouterObservateur([this](const Ecriture& e) {
          if (e.auteur == Auteur::Terminal)
              lines.push_back(e.controle.nom() + "." + nomPropriete(e.propriete) + " = " +
                              scenario::propertyText(e.valeur));
      })) {}

WriteLog::~WriteLog() {
    panneau().retirerObservateur(key_);
}

} // namespace borne::test
