#include "tools/files/Csv.h"

namespace borne::files {

std::string_view csvGuard(char first) {
    switch (first) {
    case '=':
    case '+':
    case '-':
    case '@':
    case '\t':
    case '\r': return "'";
    default: return {};
    }
}

std::string csvCell(std::string_view text) {
    std::string cell(text.empty() ? std::string_view() : csvGuard(text.front()));
    cell += text;
    if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
    std::string quoted = "\"";
    for (char c : cell) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace borne::files
