// A controller with only what every controller must have: the terminal's own cycle turned through its
// required members alone. It tells no rows to a turn observer and does not describe its working values,
// so the tools that need either have to say they cannot.
#pragma once

#include "control/tGestionBarriere.h"

class tGestionMinimale {
public:
    void Tour();
    Etat etatCourant() const noexcept;
    Mode modeCourant() const noexcept;

private:
    tGestionBarriere gestion_;
};

// The same with the working values described, and still no turn observer: searched, but not for rows.
class tGestionSansLignes {
public:
    void Tour();
    Etat etatCourant() const noexcept;
    Mode modeCourant() const noexcept;
    ValeursTravail valeurs() const;
    bool installerValeurs(const ValeursTravail& v);

private:
    tGestionBarriere gestion_;
};
