#include "control/tClavier.h"

#include "control/Codes.h"
#include "panel/PanneauOperateur.h"

int tClavier::LireTouche() {
    auto& p = borne::panneau();
    // Scan order is by key value, not by control name (CheckBox16 is the key "7"), then the attendant.
    for (const int resultat : {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, int{TOUCHE_APPEL_GARDIEN}}) {
        borne::CaseACocher* touche = resultat == TOUCHE_APPEL_GARDIEN ? &p.CheckBox6 : p.touche(resultat);
        if (touche->Checked()) {
            touche->setChecked(false);
            return resultat;
        }
    }
    return TOUCHE_AUCUNE;
}
