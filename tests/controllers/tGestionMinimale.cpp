#include "tests/controllers/tGestionMinimale.h"

void tGestionMinimale::Tour() {
    gestion_.Tour();
}

Etat tGestionMinimale::etatCourant() const noexcept {
    return gestion_.etatCourant();
}

Mode tGestionMinimale::modeCourant() const noexcept {
    return gestion_.modeCourant();
}

void tGestionSansLignes::Tour() {
    gestion_.Tour();
}

Etat tGestionSansLignes::etatCourant() const noexcept {
    return gestion_.etatCourant();
}

Mode tGestionSansLignes::modeCourant() const noexcept {
    return gestion_.modeCourant();
}

ValeursTravail tGestionSansLignes::valeurs() const {
    return gestion_.valeurs();
}

bool tGestionSansLignes::installerValeurs(const ValeursTravail& v) {
    return gestion_.installerValeurs(v);
}
