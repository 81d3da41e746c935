// A controller whose plug-in ends the process that loads it, from a static initialiser.
#pragma once

#include "base/Codes.h"

class tGestionSortie {
public:
    void Tour() {}
    Etat etatCourant() const { return ETAT_VEHICULE_ABSENT; }
    Mode modeCourant() const { return MODE_SUPERVISE; }
};
