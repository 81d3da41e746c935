// borne-scenario's command line: one script, or a suite of scenario folders.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace borne::scenario {

// The whole program: arguments (argv[0] included), standard input for "-", and the two output streams.
// Returns the exit status: 0 all passed, 1 something failed, 2 bad usage, a faulty script, or output
// that cannot be written.
int runProgram(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
               std::ostream& err);

} // namespace borne::scenario
