// The access cycle's state table as data: every row `S.K` with its condition in short words and the
// states its Next column names, and the transitions the table allows, derived once from those rows.
// The controller reports rows by (state, rank); this is the one place that knows how many there are
// and what they say.
#pragma once

#include "control/Codes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace borne::coverage {

struct Row {
    int state = 0;
    int rank = 0;               // counted from 1 within its state, in the table's order
    const char* condition = ""; // short words, as a person reads the table
    // The states the row's Next column names, one bit per state; none when the row does not choose (an
    // "always, first" row, the display row of state 1).
    std::uint32_t next = 0;
};

// The bits of the states a row may choose: goes(2, 3, 1).
template <typename... States> constexpr std::uint32_t goes(States... states) {
    return ((std::uint32_t{1} << states) | ... | 0u);
}

inline constexpr std::size_t ROW_COUNT = 53;

// Every row, grouped by state in increasing order, ranks in order.
const std::array<Row, ROW_COUNT>& rows();

// Index into rows() of `S.K`, or nothing for a pair the table does not have.
std::optional<std::size_t> rowIndex(int state, int rank) noexcept;
// "S.K" of a row.
std::string rowId(const Row& row);
// Parses "S.K" (both whole numbers) into an index, or nothing.
std::optional<std::size_t> rowIndex(std::string_view id) noexcept;

// Whether one turn may start in `from` and end step 6 in `to`: a state some row of `from` names, the
// state itself where the table leaves it unchanged, and ETAT_ALARME from every state. Out of range
// states are not allowed anywhere.
bool allowed(int from, int to) noexcept;
// How many (from, to) pairs are allowed.
int allowedCount() noexcept;

// A state's name as the journal writes it; 15 to 17 by the table's names. "?" outside 0..17.
const char* stateName(int state) noexcept;
// The names of the five modes, "?" outside 0..4.
const char* modeName(int mode) noexcept;

} // namespace borne::coverage
