// A turn observer that keeps each turn's path through the state table as "START: S.K S.K -> NEXT", the
// rows in the order reached. Not the search's RowLog, which keeps only the set of rows reached.
#pragma once

#include "control/ObservateurTour.h"

#include <string>
#include <vector>

namespace borne::test {

class TurnPaths final : public ObservateurTour {
public:
    void debutTour(int etat) noexcept override { turns.push_back(std::to_string(etat) + ":"); }
    void ligne(int state, int rank) noexcept override {
        turns.back() += " " + std::to_string(state) + "." + std::to_string(rank);
    }
    void finDecision(int etat) noexcept override { turns.back() += " -> " + std::to_string(etat); }

    std::vector<std::string> turns;
};

} // namespace borne::test
