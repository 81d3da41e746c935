// A CSV cell as every table borne writes holds it: RFC 4180 quoting, and a text that a spreadsheet would
// take for a formula (a leading =, +, -, @, tab or carriage return) kept as text by a leading quote.
#pragma once

#include <string>
#include <string_view>

namespace borne::files {

// "'" when a cell starting with this byte would be read as a formula by a spreadsheet, "" otherwise. For
// writers that stream a cell and cannot hand it over whole.
std::string_view csvGuard(char first);

// The cell: guarded as above, then in double quotes (doubled inside) when it holds a comma, a double
// quote, CR or LF; as it is otherwise.
std::string csvCell(std::string_view text);

} // namespace borne::files
