#include "search/Journeys.h"

#include "control/tGestionBarriere.h"
#include "panel/Codes.h"

namespace borne::search {

int rowIndex(int state, int row) {
    int index = 0;
    for (int s = 0; s < state; ++s)
        index += NB_LIGNES_ETAT[s];
    return index + row - 1;
}

std::pair<int, int> rowAt(int index) {
    int s = 0;
    while (index >= NB_LIGNES_ETAT[s])
        index -= NB_LIGNES_ETAT[s++];
    return {s, index + 1};
}

std::string rowName(int index) {
    const auto [s, k] = rowAt(index);
    return std::to_string(s) + "." + std::to_string(k);
}

std::string expectLine(const std::string& control, Propriete property, const Valeur& value) {
    return "expect " + control + "." + nomPropriete(property) + " " + valeurEnTexte(value) + "\n";
}

std::string scriptOf(Replay& replay, const Journey& journey, const std::vector<std::string>& comments) {
    std::string script;
    for (const std::string& c : comments)
        script += "# " + c + "\n";
    replay.restart();
    for (Action a : journey) {
        const std::vector<Press> presses = replay.act(a);
        if (!presses.empty()) script += "# " + std::string(actionName(a)) + "\n";
        for (const Press& p : presses)
            script += std::string(p.checked ? "tick " : "untick ") + p.control + "\n";
        replay.turn();
        script += "turn\nexpect etat ";
        script += nomEtatCode(replay.terminal().etatCourant());
        script += "\n";
    }
    PanneauOperateur& p = panneau();
    script += expectLine("Edit1", Propriete::Text, p.Edit1.lire(Propriete::Text));
    script += expectLine("Edit2", Propriete::Text, p.Edit2.lire(Propriete::Text));
    return script;
}

} // namespace borne::search
