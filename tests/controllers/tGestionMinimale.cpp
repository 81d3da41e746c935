#include "tGestionMinimale.h"

void tGestionMinimale::Tour() {
    gestion_.Tour();
}

Etat tGestionMinimale::etatCourant() const noexcept {
    return gestion_.etatCourant();
}

Mode tGestionMinimale::modeCourant() const noexcept {
    return gestion_.modeCourant();
}
