#include "tests/support/JournalCheck.h"

#include "journal/tDebug.h"

namespace borne::test {

namespace {

const std::string kHead("EtatCourant = \0", 15);
const std::string kMiddle(";      Evenement = \0", 20);

bool known(std::string_view name, const char* (*table)(unsigned)) {
    for (unsigned code = 0;; ++code) {
        const char* entry = table(code);
        if (entry == nullptr) return false;
        if (name == entry) return true;
    }
}

std::string shown(std::string_view line) {
    std::string r;
    for (char c : line.substr(0, 120))
        r += (c == '\0') ? std::string("\\0") : std::string(1, c);
    return r;
}

} // namespace

std::optional<std::pair<std::string_view, std::string_view>> splitJournalLine(std::string_view line) {
    const std::size_t middle = line.find(kMiddle);
    if (line.substr(0, kHead.size()) != kHead || middle == std::string_view::npos || line.empty() ||
        line.back() != ';')
        return std::nullopt;
    return std::pair{line.substr(kHead.size(), middle - kHead.size()),
                     line.substr(middle + kMiddle.size(), line.size() - 1 - middle - kMiddle.size())};
}

std::string checkJournal(std::string_view content, std::size_t* lines) {
    std::size_t number = 0;
    while (!content.empty()) {
        ++number;
        const std::size_t end = content.find('\n');
        if (end == std::string_view::npos)
            return "line " + std::to_string(number) + " is cut short (no line end): " + shown(content);
        const std::string_view line = content.substr(0, end);
        content.remove_prefix(end + 1);
        const auto names = splitJournalLine(line);
        if (!names) return "line " + std::to_string(number) + " is malformed: " + shown(line);
        if (!known(names->first, tDebug::NomEtat))
            return "line " + std::to_string(number) + " names an unknown state: " + shown(line);
        if (!known(names->second, tDebug::NomEvenement))
            return "line " + std::to_string(number) + " names an unknown event: " + shown(line);
    }
    if (lines != nullptr) *lines = number;
    return "";
}

std::size_t journalLineLength(std::string_view state, std::string_view event) {
    return kHead.size() + state.size() + kMiddle.size() + event.size() + 2;
}

} // namespace borne::test
