// A class's results as a teacher files them: the gradebook, one row per student (or controller) and one
// column per exercise (or folder) with its points, for a spreadsheet or a learning platform's import;
// and one submission's results as an autograder's results.json.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace borne::scenario {

struct Gradebook {
    struct Cell {
        bool passed = false;
        std::string result; // PASS, FAIL, ERROR, MISSING
        std::string output; // why, when it did not pass: the summary, then the details
    };
    struct Row {
        std::string name;
        std::vector<Cell> cells; // one per column, in the columns' order
    };
    std::string heading;              // the first column's: "student" or "controller"
    std::vector<std::string> columns; // the exercises
    std::vector<Row> rows;
};

// A passed exercise is worth one point, any other result none.
inline constexpr int kPointsPerExercise = 1;

// The gradebook as CSV: a header (the heading, the exercises, "total"), then one row per student with
// the points of each exercise and their total; cells as files::csvCell writes them, lines ending in CR LF.
std::string gradebookCsv(const Gradebook& book);

// One row as results.json: a test per exercise (name, score, max_score, status "passed" or "failed",
// output) and the score.
std::string gradescopeJson(const Gradebook& book, const Gradebook::Row& row);

// The output a cell shows: the result word and the reason, then the lines that show it.
std::string cellOutput(const std::string& summary, const std::string& details);

} // namespace borne::scenario
