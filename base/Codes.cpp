#include "base/Codes.h"

#include <cstring>

namespace {

constexpr const char* kNomsEtats[NB_ETATS] = {
    "ETAT_VEHICULE_ABSENT",
    "ETAT_ATTENTE_AUTORISATION",
    "ETAT_VERIFIER_CODECLAVIER",
    "ETAT_VERIFIER_CARTE",
    "ETAT_APPEL_GARDIEN",
    "ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT",
    "ETAT_VEHICULE_SUR_BOUCLE_AMONT_SORTANT",
    "ETAT_VEHICULE_AU_MILIEU_ENTRANT",
    "ETAT_VEHICULE_AU_MILIEU_SORTANT",
    "ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT",
    "ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT",
    "ETAT_ALARME",
    "ETAT_VEHICULE_ENTRE",
    "ETAT_VEHICULE_SORT",
    "ETAT_DEFAUT",
    "ETAT_HORS_SERVICE",
    "ETAT_HORS_SERVICE_OUVERT",
    "ETAT_MODE_TEST",
};

constexpr const char* kNomsEvenements[NB_EVENEMENTS] = {
    "VEHICULE_ABSENT",     "VEHICULE_SUR_BOUCLE_AMONT",
    "VEHICULE_AU_MILIEU",  "VEHICULE_SUR_BOUCLE_AVAL",
    "PARKING_PLEIN",       "CODECLAVIER",
    "CODECARTE",           "ALARME_ACTIVE",
    "MESSAGE_SUPERVISEUR", "LUMIERE_ACTIVE",
    "ENTREE_VEHICULE",     "SORTIE_VEHICULE",
    "AUTORISATION_OK",
};

constexpr const char* kNomsModes[NB_MODES] = {
    "MODE_SUPERVISE", "MODE_HORS_SERVICE", "MODE_HORS_SERVICE_OUVERT", "MODE_TEST", "MODE_LOCAL",
};

constexpr const char* kNomsChiffres[10] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};

template <int N> const char* nomDans(const char* const (&noms)[N], int code) noexcept {
    return code >= 0 && code < N ? noms[code] : nullptr;
}

} // namespace

const char* nomEtatCode(int etat) noexcept {
    return nomDans(kNomsEtats, etat);
}

std::string nomEtatOuCode(int etat) {
    const char* nom = nomEtatCode(etat);
    return nom != nullptr ? nom : std::to_string(etat);
}

const char* nomEvenementCode(int evenement) noexcept {
    return nomDans(kNomsEvenements, evenement);
}

const char* nomModeCode(int mode) noexcept {
    return nomDans(kNomsModes, mode);
}

const char* nomToucheCode(int touche) noexcept {
    if (touche == TOUCHE_APPEL_GARDIEN) return "TOUCHE_APPEL_GARDIEN";
    if (touche == TOUCHE_AUCUNE) return "TOUCHE_AUCUNE";
    return nomDans(kNomsChiffres, touche);
}

int etatDepuisNom(const char* nom) noexcept {
    if (nom == nullptr) return -1;
    for (int i = 0; i < NB_ETATS; ++i)
        if (std::strcmp(kNomsEtats[i], nom) == 0) return i;
    return -1;
}

int etatDepuisTexte(std::string_view texte) noexcept {
    if (!texte.empty() && texte.find_first_not_of("0123456789") == std::string_view::npos) {
        int n = 0;
        for (char c : texte) {
            n = n * 10 + (c - '0');
            if (n >= NB_ETATS) return -1;
        }
        return n;
    }
    for (int i = 0; i < NB_ETATS; ++i)
        if (texte == nomEtatCode(i)) return i;
    return -1;
}
