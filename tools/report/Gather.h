// From a run's results to a report's model: the grid, each row's coverage, and for every pair that ran
// and did not pass a second run of it, alone, that leaves its turn log, its journal and its main controls
// in time (in a comparison, on the terminal's own as well).
#pragma once

#include "tools/report/Model.h"
#include "tools/scenario/Suite.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace borne::report {

struct Request {
    std::string kind;                // "suite", "grade", "controllers", "compare"
    std::string rowsAre, columnsAre; // what a row and a column stand for
    std::vector<std::pair<std::string, std::string>> settings; // the run's settings, as the page lists them
    scenario::SuiteSettings rerun;   // jobs, limits and rules the pairs ran with
    std::optional<bool> sandboxed;   // whether the controllers ran in a sandbox; nothing: not known
};

// `out` is flushed before the second runs start (their workers are forked).
Model gather(scenario::RunResults&& results, const Request& request, std::ostream& out);

} // namespace borne::report
