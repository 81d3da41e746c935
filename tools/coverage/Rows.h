// The state table as coverage counts it: the rows of control/TableEtats.h by index, their "S.K" names,
// and the transitions the table allows.
#pragma once

#include "control/TableEtats.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace borne::coverage {

using Row = LigneTable;

inline constexpr std::size_t ROW_COUNT = TABLE_ETATS.size();

// Every row, grouped by state in increasing order, ranks in order.
inline const std::array<Row, ROW_COUNT>& rows() {
    return TABLE_ETATS;
}

// Index into rows() of `S.K`, or nothing for a pair the table does not have.
std::optional<std::size_t> rowIndex(int state, int rank) noexcept;
// "S.K" of a row.
std::string rowId(const Row& row);
// Parses "S.K" (both whole numbers) into an index, or nothing.
std::optional<std::size_t> rowIndex(std::string_view id) noexcept;

// Whether one turn may start in `from` and end step 6 in `to` (out of range states: nowhere).
inline bool allowed(int from, int to) noexcept {
    return transitionPermise(from, to);
}
// How many (from, to) pairs are allowed.
inline int allowedCount() noexcept {
    return NB_TRANSITIONS_PERMISES;
}

// What makes a turn go from `from` to `to`, as states.dot labels the transition: the rows of `from` that
// name `to` ("0.2 0.3"), "otherwise" where a position no row lists leaves the state as it is, "alarm"
// for the alarm read in any state; empty for a transition the table does not allow.
std::string transitionRows(int from, int to);

// A state's name as the journal writes it; 15 to 17 by the table's names. "?" outside 0..17.
const char* stateName(int state) noexcept;
// The names of the five modes, "?" outside 0..4.
const char* modeName(int mode) noexcept;

} // namespace borne::coverage
