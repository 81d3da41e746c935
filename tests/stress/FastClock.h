// The real clock with every wait cut to a hundredth (the 500 ms pause takes 5 ms, a boom pass 20 ms), for
// the stop stress. Stopping it is the real clock's own stop: the wait under way and every later one
// throw ArretDemande.
#pragma once

#include "control/Attente.h"

namespace borne::test {

class FastClock : public HorlogeReelle {
public:
    void attendre(int ms) override { HorlogeReelle::attendre(ms / 100); }
};

} // namespace borne::test
