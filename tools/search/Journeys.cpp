#include "tools/search/Journeys.h"

#include "base/Codes.h"
#include "control/Controleur.h"
#include "tools/grammar/Grammar.h"

namespace borne::search {

int rowIndex(int state, int rank) {
    return indexLigne(state, rank);
}

std::pair<int, int> rowAt(int index) {
    const LigneTable& l = TABLE_ETATS[static_cast<std::size_t>(index)];
    return {l.etat, l.rang};
}

std::string rowName(int index) {
    const auto [state, rank] = rowAt(index);
    return std::to_string(state) + "." + std::to_string(rank);
}

namespace {

// A command as the runner's grammar prints it.
std::string line(const scenario::Command& c) {
    return scenario::print(c).value_or("# (cannot be written on one line)") + "\n";
}

} // namespace

std::string scriptOf(Replay& replay, const Journey& journey, const std::vector<std::string>& comments) {
    std::string script;
    for (const std::string& c : comments)
        script += "# " + c + "\n";
    replay.restart();
    scenario::Command turn;
    turn.verb = scenario::Verb::Turn;
    for (Action a : journey) {
        const std::vector<Press> presses = replay.act(a);
        if (!presses.empty()) script += "# " + std::string(actionName(a)) + "\n";
        for (const Press& p : presses) {
            scenario::Command press;
            press.verb = p.checked ? scenario::Verb::Tick : scenario::Verb::Untick;
            press.control = p.control;
            script += line(press);
        }
        replay.turn();
        script += line(turn);
        script += line(scenario::expectStateCommand(replay.terminal().etatCourant()));
    }
    PanneauOperateur& p = panneau();
    script += line(scenario::expectCommand(p.Edit1, Propriete::Text, p.Edit1.lire(Propriete::Text)));
    script += line(scenario::expectCommand(p.Edit2, Propriete::Text, p.Edit2.lire(Propriete::Text)));
    return script;
}

} // namespace borne::search
