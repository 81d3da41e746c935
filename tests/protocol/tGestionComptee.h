// The terminal's own controller that counts, in a static, the start-ups its process saw, and refuses a
// second one: a controller whose verdicts would depend on which folders ran before it in one process.
#pragma once

#include "control/tGestionBarriere.h"

#include <stdexcept>

class tGestionComptee : public tGestionBarriere {
public:
    tGestionComptee() {
        static int demarrages = 0;
        if (++demarrages > 1) throw std::runtime_error("started twice in one process");
    }
};
