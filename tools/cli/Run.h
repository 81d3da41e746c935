// borne-scenario: one script, a suite of scenario folders, a lab's grades, or a search.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace borne::cli {

// The whole program: arguments (argv[0] included), standard input for "-", and the two output streams.
// Returns the exit status: 0 all passed (or found), 1 something failed (or not found), 2 bad usage, a
// faulty script, or output that cannot be written.
int run(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out, std::ostream& err);

// A refused command line: the problem, then the usage, on `err`; returns 2.
int usage(std::ostream& err, const std::string& problem);

// Output that could not be written is a failure, not a success: `status`, or 2 when `out` failed.
int finish(int status, std::ostream& out, std::ostream& err);

} // namespace borne::cli
