// A report as a static site: DIR/index.html, its style and script, and the model as data.js (a page
// opened from disk cannot fetch a JSON file, so the data comes as a script that sets one variable). The
// page builds everything from that data as text nodes: nothing of a submission becomes markup.
#pragma once

#include "tools/report/Model.h"

#include <string>

namespace borne::report {

// Whether `dir` can take a report (a folder one can write in, or one that can be made there), before
// anything runs; nothing is made yet. False with the reason.
bool prepareSite(const std::string& dir, std::string& error);

// The model as the page reads it (JSON; bytes that are not UTF-8 become U+FFFD).
std::string toJson(const Model& model);

// Writes the site into `dir` (made when missing, not its parents; each file whole), with the state diagram laid out by Graphviz's dot when it
// is on the PATH. False with the reason when a file cannot be written; a missing dot is said on the page.
bool writeSite(const Model& model, const std::string& dir, std::string& error);

} // namespace borne::report
