// The scenario runner: a written scenario replayed against the real controller, headless and in
// virtual time. analyser() turns a script into commands (or errors) without touching anything;
// executer() runs commands against the process-wide panel and a controller built in the working folder.
#pragma once

#include "panel/PanneauOperateur.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace borne::scenario {

// Above this a count is taken for a typing slip, not a wish: at a few microseconds a turn it would
// already run for minutes.
inline constexpr std::int64_t TOURS_MAX = 100000000;

enum class Verbe {
    Cocher,       // tick NAME
    Decocher,     // untick NAME
    Taper,        // type NAME TEXT
    Tourner,      // turn [N]
    Verifier,     // expect NAME.PROPERTY VALUE
    VerifierEtat, // expect etat VALUE
};

struct Commande {
    std::size_t ligne = 0; // counted from 1
    Verbe verbe = Verbe::Tourner;
    std::string controle;                  // tick, untick, type, expect on a property
    Propriete propriete = Propriete::Text; // expect on a property
    std::string texte;                     // type: the text in Windows-1252; expect: VALUE as written
    Valeur attendu;                        // expect on a property: bool, colour, or the UTF-8 text
    int etat = 0;                          // expect etat
    std::int64_t tours = 1;                // turn
};

struct Erreur {
    std::size_t ligne;
    std::string message;
};

struct Script {
    std::vector<Commande> commandes;
    std::vector<Erreur> erreurs; // in line order; the script runs only when there is none
};

// Checks the whole text. Any bytes are accepted as input; what is not a command becomes an error.
// Control names and kinds come from the panel given (the process-wide one unless a test says otherwise).
Script analyser(std::string_view texte);
Script analyser(std::string_view texte, const PanneauOperateur& panneau);

struct Bilan {
    int reussies = 0;
    int echouees = 0;
};

// Puts the panel back into its stored state, installs a virtual clock starting at 0, builds the
// controller in the working folder and runs the commands. With `trace`, every write that the terminal
// makes to the panel goes to `sortie` as it happens; failed expectations go to `erreurs` prefixed with
// "nomScript:LINE: ". The summary line is not written here.
Bilan executer(const std::vector<Commande>& commandes, std::string_view nomScript, bool trace,
               std::ostream& sortie, std::ostream& erreurs);

// The whole program: arguments (argv[0] included), standard input for "-", and the two output streams.
// Returns the exit status: 0 all expectations met, 1 some failed, 2 bad usage or a faulty script.
int principal(const std::vector<std::string>& arguments, std::istream& entree, std::ostream& sortie,
              std::ostream& erreurs);

} // namespace borne::scenario
