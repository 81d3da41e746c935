#include "tools/scenario/Gradebook.h"

#include "tools/files/Csv.h"

#include <nlohmann/json.hpp>

namespace borne::scenario {

std::string gradebookCsv(const Gradebook& book) {
    std::string table = files::csvCell(book.heading);
    for (const std::string& c : book.columns)
        table += ',' + files::csvCell(c);
    table += ",total\r\n";
    for (const Gradebook::Row& row : book.rows) {
        table += files::csvCell(row.name);
        int total = 0;
        for (const Gradebook::Cell& cell : row.cells) {
            const int points = cell.passed ? kPointsPerExercise : 0;
            total += points;
            table += ',' + std::to_string(points);
        }
        table += ',' + std::to_string(total) + "\r\n";
    }
    return table;
}

std::string gradescopeJson(const Gradebook& book, const Gradebook::Row& row) {
    nlohmann::ordered_json tests = nlohmann::ordered_json::array();
    int score = 0;
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
        const Gradebook::Cell& cell = row.cells[i];
        const int points = cell.passed ? kPointsPerExercise : 0;
        score += points;
        tests.push_back({{"name", book.columns[i]},
                         {"score", points},
                         {"max_score", kPointsPerExercise},
                         {"status", cell.passed ? "passed" : "failed"},
                         {"output", cell.result + (cell.output.empty() ? "" : ": " + cell.output)}});
    }
    // Bytes that are not UTF-8 (a Windows-1252 text of the panel) are replaced, not refused.
    return nlohmann::ordered_json{{"score", score}, {"tests", tests}}.dump(
               2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) +
           '\n';
}

std::string cellOutput(const std::string& summary, const std::string& details) {
    if (details.empty() || details == summary + "\n") return summary;
    return summary + "\n" + details;
}

} // namespace borne::scenario
