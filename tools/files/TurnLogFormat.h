// The turn log's format, one for every writer of it (borne-scenario --turns, the bench window) and every
// reader: one line per turn, tab-separated fields under a header. Events come from a controller and may
// hold any byte: each is escaped so that it never holds a separator (a tab, a line end, the space between
// two events).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace borne::files {

inline constexpr std::string_view kTurnLogHeader =
    "turn\tstart_ms\tstart_state\tevents\tend_state\trows\tstatus";

struct TurnLogLine {
    std::uint64_t number = 0;
    std::int64_t start = 0; // virtual ms
    std::string_view startState, endState;
    const std::vector<std::string>* events = nullptr;       // UTF-8, as the controller wrote them
    const std::vector<std::pair<int, int>>* rows = nullptr; // S.K, in the order reached
    std::string_view status;                                // "done", or "cut"
};

// The line, without its line end.
std::string turnLogLine(const TurnLogLine& line);

// One text as a field holds it: \\ for a backslash, \t, \n, \r, and \s for a space.
void appendTurnLogText(std::string& to, std::string_view text);

// The events of an `events` field, escapes undone.
std::vector<std::string> turnLogEvents(std::string_view field);

} // namespace borne::files
