// A script recorded in the window (BORNE_RECORD), rewritten for people: turns instead of milliseconds
// where the terminal cannot tell the difference, the state after each turn that changed it, and at the
// stop only what differs from the start picture.
#pragma once

#include <iosfwd>
#include <string>

namespace borne::scenario {

// Rewrites the recorded script SCRIPT (wait, tick, untick, type and expect lines) and checks the result
// by running both in a scratch folder holding the script's settings (those beside it, else the working
// folder's): the tidy script is printed on `out` only when it leaves the same journal and the same
// terminal writes at the same instants as the recording. Exit status: 0 printed, 1 refused (said where
// on `err`), 2 a script that is not a recording or cannot be read.
int tidy(const std::string& scriptPath, std::ostream& out, std::ostream& err);

} // namespace borne::scenario
