#include "control/Codes.h"

#include "journal/tDebug.h"

#include <cstring>

namespace {
// The journal names states 0 to 14; these three have no journal name but still need one on screen.
constexpr const char* kNomsHorsJournal[] = {"ETAT_HORS_SERVICE", "ETAT_HORS_SERVICE_OUVERT",
                                            "ETAT_MODE_TEST"};
} // namespace

const char* nomEtatCode(int etat) noexcept {
    if (etat >= ETAT_VEHICULE_ABSENT && etat <= ETAT_DEFAUT)
        return tDebug::NomEtat(static_cast<unsigned>(etat));
    if (etat >= ETAT_HORS_SERVICE && etat <= ETAT_MODE_TEST)
        return kNomsHorsJournal[etat - ETAT_HORS_SERVICE];
    return nullptr;
}

int etatDepuisNom(const char* nom) noexcept {
    if (nom == nullptr) return -1;
    for (int i = 0; i < NB_ETATS; ++i)
        if (std::strcmp(nomEtatCode(i), nom) == 0) return i;
    return -1;
}
