// What the search's commands (--reach, --generate, --explore) share: how they name the mode, pick the
// shortest of the journeys found, count in words and prepare the folders they write.
#pragma once

#include "tools/search/Explorer.h"
#include "tools/search/Replay.h"

#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace borne::search {

// "mode 2 (NAME)", the mode the replay's terminal runs in.
std::string modeName(const Replay& r);

// Says on `err` when the settings give no mode: the search then explores the out-of-service start.
void announce(const Replay& r, std::ostream& err);

// A step that reached what a command looks for.
struct Hit {
    int from;
    Action action;
};

// The shortest of the journeys found: fewest turns, then fewest actions, then the first found.
Journey best(const Explorer& ex, const std::vector<Hit>& hits);

// The turns of the journey through a hit: no shorter one can reach it.
int bound(const Explorer& ex, const Hit& h);

// "1 turn", "3 turns".
std::string plural(int n, const char* word);

// A one-line reason for a row (by index) that the mode cannot reach, where one is known; empty otherwise.
std::string reasonFor(int row, int mode, std::string_view localCode);

// A folder to write into: new or empty, and writable; false with the reason told.
bool prepareFolder(const std::filesystem::path& target, const std::filesystem::path& asGiven,
                   std::ostream& err);

// The working folder's settings, into a scenario folder.
void copySettings(const std::filesystem::path& from, const std::filesystem::path& to);

} // namespace borne::search
