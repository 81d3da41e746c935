// What a coverage folder receives: coverage.json for programs, coverage.txt for people (the state table
// with a count per row), states.dot for Graphviz and, when Graphviz's `dot` is on the PATH, states.svg.
#pragma once

#include "tools/coverage/Coverage.h"

#include <iosfwd>
#include <optional>
#include <string>

namespace borne::coverage {

std::string toJson(const Coverage& coverage);
std::string toText(const Coverage& coverage);
std::string toDot(const Coverage& coverage);
// A few lines to print after a run: one per mode that ran and one for the total, each "rows N of M,
// transitions N of M, states N of M", indented by two spaces.
std::string summary(const Coverage& coverage);

// Every state and every transition the table allows, as Graphviz reads them (states s0... labelled with
// their names, transitions with their rows), uncoloured: for a page that colours them itself.
std::string plainDot();
// `dot` laid out as SVG by Graphviz's dot, through scratch files in `folder`; nothing, with the reason in
// `why`, when dot is not on the PATH or fails.
std::optional<std::string> toSvg(const std::string& dot, const std::string& folder, std::string& why);

// Makes sure `dir` is a folder one can write in, creating it (not its parents) when it is missing, so
// that a run can refuse a bad folder before it starts. False with the reason in `error`.
bool prepareFolder(const std::string& dir, std::string& error);

// Writes the files into `dir`, each whole or not at all, and nothing outside it. False (with the reason
// on `messages`) when one of the three text files could not be written; a missing or failing `dot` is
// told on `messages` but is not a failure.
bool writeReport(const std::string& dir, const Coverage& coverage, std::ostream& messages);

} // namespace borne::coverage
