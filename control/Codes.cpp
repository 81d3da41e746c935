#include "control/Codes.h"

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
} // namespace

const char* nomEtatCode(int etat) noexcept {
    return etat >= 0 && etat < NB_ETATS ? kNomsEtats[etat] : nullptr;
}

int etatDepuisNom(const char* nom) noexcept {
    for (int i = 0; i < NB_ETATS; ++i)
        if (std::strcmp(kNomsEtats[i], nom) == 0) return i;
    return -1;
}
