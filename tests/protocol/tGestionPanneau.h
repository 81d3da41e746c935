// A controller that writes on the operator panel itself instead of through the terminal's classes.
#pragma once

#include "base/Codes.h"

class tGestionPanneau {
public:
    void Tour();
    Etat etatCourant() const { return ETAT_VEHICULE_ABSENT; }
    Mode modeCourant() const { return MODE_SUPERVISE; }
};
