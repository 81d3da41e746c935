// A hostile controller: the terminal's own, driven by a wrapper that adds one attack on the bench that
// runs it (chosen when built, by a HOSTILE_* definition). Each stands for something a class's code may
// do; the bench must keep every verdict, report and file but this controller's own out of its reach.
#pragma once

#include "control/tGestionBarriere.h"

class tHostile {
public:
    tHostile();
    void Tour();
    Etat etatCourant() const noexcept { return terminal_.etatCourant(); }
    Mode modeCourant() const noexcept { return terminal_.modeCourant(); }

private:
    tGestionBarriere terminal_;
    int tours_ = 0;
};
