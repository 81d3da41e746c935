// The numbers the terminal's parts exchange (states, events, modes, keypad results) and the one table of
// their names. They sit in the base layer because the journal names them and the controller acts on them,
// and the journal may not depend on the controller.
#pragma once

#include <string>
#include <string_view>

// States of the access cycle (the controller's `etat`).
enum Etat : int {
    ETAT_VEHICULE_ABSENT = 0,
    ETAT_ATTENTE_AUTORISATION = 1,
    ETAT_VERIFIER_CODECLAVIER = 2,
    ETAT_VERIFIER_CARTE = 3,
    ETAT_APPEL_GARDIEN = 4,
    ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT = 5,
    ETAT_VEHICULE_SUR_BOUCLE_AMONT_SORTANT = 6,
    ETAT_VEHICULE_AU_MILIEU_ENTRANT = 7,
    ETAT_VEHICULE_AU_MILIEU_SORTANT = 8,
    ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT = 9,
    ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT = 10,
    ETAT_ALARME = 11,
    ETAT_VEHICULE_ENTRE = 12,
    ETAT_VEHICULE_SORT = 13,
    ETAT_DEFAUT = 14,
    ETAT_HORS_SERVICE = 15,
    ETAT_HORS_SERVICE_OUVERT = 16,
    ETAT_MODE_TEST = 17,
};
inline constexpr int NB_ETATS = 18;

// Events; 0 to 3 are also the vehicle positions, 4 to 12 the supervision link's results and kinds.
enum Evenement : int {
    VEHICULE_ABSENT = 0,
    VEHICULE_SUR_BOUCLE_AMONT = 1,
    VEHICULE_AU_MILIEU = 2,
    VEHICULE_SUR_BOUCLE_AVAL = 3,
    PARKING_PLEIN = 4,
    CODECLAVIER = 5,
    CODECARTE = 6,
    ALARME_ACTIVE = 7,
    MESSAGE_SUPERVISEUR = 8,
    LUMIERE_ACTIVE = 9,
    ENTREE_VEHICULE = 10,
    SORTIE_VEHICULE = 11,
    AUTORISATION_OK = 12,
};
inline constexpr int NB_EVENEMENTS = 13;

// Keypad results besides the digits 0 to 9.
enum ResultatClavier : int {
    TOUCHE_APPEL_GARDIEN = 12,
    TOUCHE_AUCUNE = 255,
};

// Operating modes (the controller's `mode`).
enum Mode : int {
    MODE_SUPERVISE = 0,
    MODE_HORS_SERVICE = 1,
    MODE_HORS_SERVICE_OUVERT = 2,
    MODE_TEST = 3,
    MODE_LOCAL = 4,
};
inline constexpr int NB_MODES = 5;

// The names, exactly as the constants are written: the journal, the traces and the scenario runner
// all take them from here. Each gives nullptr for a code that has no name.
const char* nomEtatCode(int etat) noexcept;           // 0..17
const char* nomEvenementCode(int evenement) noexcept; // 0..12
const char* nomModeCode(int mode) noexcept;           // 0..4
const char* nomToucheCode(int touche) noexcept;       // "0".."9", TOUCHE_APPEL_GARDIEN, TOUCHE_AUCUNE
int etatDepuisNom(const char* nom) noexcept;          // -1 when unknown
// A state's name, or its number in digits for a code that has none: how every output names a state.
std::string nomEtatOuCode(int etat);
// A state as scripts, rules and targets write it: its number (digits only, 0 to 17) or its name; -1
// otherwise.
int etatDepuisTexte(std::string_view texte) noexcept;
