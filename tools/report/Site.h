// A report as a static site: DIR/index.html, its style and script, the grid as data.js (a page opened
// from disk cannot fetch a JSON file, so the data comes as a script that sets one variable) and each
// column's pairs that did not pass as pairs/COLUMN.js, read when one of their pages is opened. The
// page builds everything from that data as text nodes: nothing of a submission becomes markup.
#pragma once

#include "tools/report/Model.h"

#include <cstddef>
#include <string>

namespace borne::report {

// Whether `dir` can take a report (a folder one can write in, or one that can be made there), before
// anything runs; nothing is made yet. False with the reason.
bool prepareSite(const std::string& dir, std::string& error);

// The model as the class page reads it, and one column's pairs that did not pass as their pages read them
// (JSON; bytes that are not UTF-8 become U+FFFD).
std::string toJson(const Model& model);
std::string columnJson(const Model& model, std::size_t column);

// Writes the site into `dir` (made when missing, not its parents; each file whole), with the state diagram laid out by Graphviz's dot when it
// is on the PATH. False with the reason when a file cannot be written; a missing dot is said on the page.
bool writeSite(const Model& model, const std::string& dir, std::string& error);

} // namespace borne::report
