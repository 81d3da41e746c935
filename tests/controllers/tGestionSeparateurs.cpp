#include "tests/controllers/tGestionSeparateurs.h"

#include "panel/PanneauOperateur.h"

namespace {
// Windows-1252, as the panel holds text: 0xE9 is "é".
constexpr const char* TEXTE = "a\tb\nc \"d<e&f\\g\xE9";
} // namespace

void tGestionSeparateurs::Tour() {
    gestion_.Tour();
    // After the turn, so that the terminal's own display is not written over them before an expectation.
#ifdef SEPARATEURS_HEBERGES
    // Out of the bench's process a controller reaches the display through the terminal's classes only.
    static tSystemeBarriere systeme;
    systeme.Afficher(TEXTE, "");
#else
    borne::panneau().Evenement.setText(TEXTE);
    borne::panneau().Edit1.setText(TEXTE);
#endif
}

Etat tGestionSeparateurs::etatCourant() const noexcept {
    return gestion_.etatCourant();
}

Mode tGestionSeparateurs::modeCourant() const noexcept {
    return gestion_.modeCourant();
}

void tGestionSeparateurs::observer(borne::ObservateurTour* o) noexcept {
    relais_.suite = o;
    gestion_.observer(o != nullptr ? &relais_ : nullptr);
}

void tGestionSeparateurs::Relais::debutTour(int etat) noexcept {
    if (suite != nullptr) suite->debutTour(etat);
#ifndef SEPARATEURS_HEBERGES
    borne::panneau().Evenement.setText(TEXTE);
#endif
}

void tGestionSeparateurs::Relais::ligne(int etat, int rang) noexcept {
    if (suite != nullptr) suite->ligne(etat, rang);
}

void tGestionSeparateurs::Relais::finDecision(int etat) noexcept {
    if (suite != nullptr) suite->finDecision(etat);
}
