// Compiled as a source of the panel: the base's header is found, the controller's is not.
#include "base/Codes.h"
#include "control/Codes.h"

int probe() {
    return DUREE_PAUSE_MS + NB_ETATS;
}
