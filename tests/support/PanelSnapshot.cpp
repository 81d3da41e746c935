#include "support/PanelSnapshot.h"

namespace borne::test {

std::map<std::string, Valeur> panelSnapshot() {
    std::map<std::string, Valeur> snapshot;
    for (const Controle* c : panneau().controles())
        for (Propriete pr : {Propriete::Checked, Propriete::Caption, Propriete::Text, Propriete::Color,
                             Propriete::Visible, Propriete::BrushColor, Propriete::SimpleText})
            if (proprieteDe(c->genre(), pr)) snapshot[c->nom() + "." + nomPropriete(pr)] = c->lire(pr);
    return snapshot;
}

} // namespace borne::test
