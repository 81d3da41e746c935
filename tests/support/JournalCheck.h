// The journal's line, known once for every test:
//   "EtatCourant = \0" STATE ";" 6 spaces "Evenement = \0" EVENT ";" LF
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace borne::test {

// The state and event names of a line (its end of line taken off); nothing when the line's fixed parts
// are not there.
std::optional<std::pair<std::string_view, std::string_view>> splitJournalLine(std::string_view line);

// Checks a whole journal: every line complete (it ends with its line end), well formed, and naming a
// state and an event of the journal's own name tables. Returns "" when it is sound, else a description
// of the first fault (with its line number); `lines` receives the count of lines.
std::string checkJournal(std::string_view content, std::size_t* lines = nullptr);

// The length of the line the journal writes for these names, line end included.
std::size_t journalLineLength(std::string_view state, std::string_view event);

} // namespace borne::test
