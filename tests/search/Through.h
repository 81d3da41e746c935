// A script run through the runner's engine, with what its turns did: the rows they reached, their
// transitions and the states they ended in.
#pragma once

#include "control/ObservateurTour.h"
#include "control/tGestionBarriere.h"
#include "tools/scenario/Engine.h"

#include <set>
#include <sstream>
#include <string>
#include <utility>

namespace borne::test {

struct Through final : scenario::RunObserver, ObservateurTour {
    std::set<std::pair<int, int>> rows, transitions;
    std::set<int> states;
    int start = -1, turns = 0;
    scenario::RunResult result;
    std::ostringstream messages;

    explicit Through(const std::string& script) {
        scenario::Engine engine(scenario::RunSettings{}, messages);
        engine.watch(*this);
        scenario::TextSource source(script, panneau());
        result = engine.run(source);
    }
    void started(scenario::Engine& e) override {
        e.controller()->observer(this);
        states.insert(e.controller()->etatCourant());
    }
    void debutTour(int etat) noexcept override { start = etat; }
    void ligne(int state, int rank) noexcept override { rows.insert({state, rank}); }
    void finDecision(int etat) noexcept override {
        transitions.insert({start, etat});
        states.insert(etat);
        ++turns;
    }
};

} // namespace borne::test
