// The outputs of one command line, checked together before anything is written: no two of them name
// one file, and none names something the run reads.
#pragma once

#include "tools/cli/CommandLine.h"

#include <string>

namespace borne::cli {

// Why the outputs cannot be written as asked (an output over another, over an input, or into a lab's or
// the submissions' folder), or empty. Names are taken from the current folder (after -C) and compared
// once links are followed; devices (/dev/null, /dev/full) may be named more than once.
std::string collidingOutputs(const CommandLine& c);

} // namespace borne::cli
