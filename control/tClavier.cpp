#include "control/tClavier.h"

#include "control/Codes.h"
#include "panel/PanneauOperateur.h"

#include <array>

int tClavier::LireTouche() {
    auto& p = borne::panneau();
    // Scan order is by key value, not by control name: CheckBox16 is the key "7".
    const std::array<std::pair<borne::CaseACocher*, int>, 11> ordre = {{
        {&p.CheckBox12, 1},
        {&p.CheckBox13, 2},
        {&p.CheckBox14, 3},
        {&p.CheckBox15, 4},
        {&p.CheckBox17, 5},
        {&p.CheckBox18, 6},
        {&p.CheckBox16, 7},
        {&p.CheckBox19, 8},
        {&p.CheckBox20, 9},
        {&p.CheckBox21, 0},
        {&p.CheckBox6, TOUCHE_APPEL_GARDIEN},
    }};
    for (auto [touche, resultat] : ordre) {
        if (touche->Checked()) {
            touche->setChecked(false);
            return resultat;
        }
    }
    return TOUCHE_AUCUNE;
}
