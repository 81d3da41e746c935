// What the stress, soak and robustness tests share: a checker for Log.txt, a fast real clock, a picture
// of the panel, and the seed every randomised test prints.
#pragma once

#include "control/Attente.h"
#include "panel/PanneauOperateur.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace borne::stress {

// The real clock with every wait cut to a hundredth (the 500 ms pause takes 5 ms, a boom pass 20 ms).
// Stopping it is the real clock's own stop: the wait under way and every later one throw ArretDemande.
class HorlogeRapide : public HorlogeReelle {
public:
    void attendre(int ms) override { HorlogeReelle::attendre(ms / 100); }
};

// Checks a whole journal: every line complete (it ends with its line end) and exactly
//   "EtatCourant = \0" STATE ";" 6 spaces "Evenement = \0" EVENT ";" LF
// with STATE and EVENT taken from the journal's own name tables. Returns "" when it is sound, else a
// description of the first fault (with its line number).
std::string verifierJournal(std::string_view contenu, std::size_t* nbLignes = nullptr);
// The length of the line the journal writes for these names, line end included.
std::size_t longueurLigne(std::string_view etat, std::string_view evenement);

std::string contenuDe(const std::string& fichier);

// Every property of every control, as one comparable picture of the panel.
std::map<std::string, Valeur> etatDuPanneau();

// The seed of a randomised test: BORNE_GRAINE if set (to replay a failure), else a fresh one. The test
// prints it so that any failure can be replayed.
std::uint64_t graine();

} // namespace borne::stress
