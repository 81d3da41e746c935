// Writing the expected journal of scenario folders from a run: each folder runs in a scratch copy, as in a
// suite, and when its script is accepted and meets every expectation (and every rule, when given), the
// journal it left becomes its expected/Log.txt. Nothing else in the folder is written.
#pragma once

#include "tools/scenario/Suite.h"

#include <iosfwd>
#include <string>
#include <string_view>

namespace borne::scenario {

// One line per folder in path order: "NAME: new", "NAME: same", "NAME: changed: N lines" or
// "NAME: not blessed: WHY". Returns 0 when every folder was blessed, 1 when some was not, 2 on bad paths.
// settings.paths, jobs, wallLimit and rules are used.
int runBless(const SuiteSettings& settings, std::ostream& out, std::ostream& err);

// How many lines differ between two texts: the lines of the longer one that are not in a longest common
// sequence of lines (a line changed, added or removed counts once).
std::size_t changedLines(std::string_view before, std::string_view after);

} // namespace borne::scenario
