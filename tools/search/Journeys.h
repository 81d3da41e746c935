// Journeys written out as scripts for borne-scenario, and the rows each turn reaches.
#pragma once

#include "control/ObservateurTour.h"
#include "control/TableEtats.h"
#include "tools/search/Explorer.h"
#include "tools/search/Replay.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace borne::search {

// Rows of the state table as one bit each, `S.K` in the table's order.
int rowIndex(int state, int rank);    // 0..52, -1 for a row the table has not
std::pair<int, int> rowAt(int index); // (S, K)
std::string rowName(int index);       // "2.3"
using RowSet = std::uint64_t;

// Collects the rows a turn reaches.
class RowLog final : public ObservateurTour {
public:
    void debutTour(int) noexcept override {}
    void ligne(int state, int rank) noexcept override {
        if (const int i = rowIndex(state, rank); i >= 0) rows |= RowSet{1} << i;
    }
    void finDecision(int) noexcept override {}
    RowSet rows = 0;
};

// The script that makes `journey` from start-up: each action's writes, `turn`, and `expect etat` after
// every turn, then the display's two lines. `comments` go first, one per line, each after "# ".
std::string scriptOf(Replay& replay, const Journey& journey, const std::vector<std::string>& comments);

} // namespace borne::search
