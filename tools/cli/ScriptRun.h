// One script run from the command line, with the outputs it asks for.
#pragma once

#include "control/Controleur.h"
#include "tools/cli/CommandLine.h"

#include <iosfwd>

namespace borne::cli {

// The script named by the one operand ("-": `in`), checked whole before it runs; `controller` nullptr
// for the terminal's own, else a plug-in, run in a child process.
int runScript(const CommandLine& c, const TypeControleur* controller, std::istream& in, std::ostream& out,
              std::ostream& err);

} // namespace borne::cli
