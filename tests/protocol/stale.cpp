// A plug-in built against other headers than this borne's: its entry point carries another fingerprint.
#define BORNE_EMPREINTE_INTERFACE "0123456789ab"
#include "control/Controleur.h"

namespace {
struct tAutresEntetes {
    void Tour() {}
    Etat etatCourant() const { return ETAT_VEHICULE_ABSENT; }
    Mode modeCourant() const { return MODE_SUPERVISE; }
};
} // namespace

BORNE_CONTROLEUR(tAutresEntetes)
