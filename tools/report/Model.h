// What a report page shows of a run of many folders: the grid of verdicts, and for each pair that did not
// pass what the page needs to say why. Gathered by gather() (Gather.h), written by writeSite() (Site.h).
#pragma once

#include "tools/coverage/Coverage.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace borne::report {

// Some lines of a longer text, numbered from `first` (1 for the text's first line); `marked` is the
// number of the line the page points at, 0 for none.
struct Excerpt {
    std::size_t first = 1;
    std::vector<std::string> lines;
    std::size_t marked = 0;
};

// A run's main controls in time (see tools/scenario/Timeline.h): each signal's changes, from 0 ms.
struct Timeline {
    std::vector<std::string> signals; // "Edit1.Text", ..., "etat"
    std::vector<std::vector<std::pair<std::int64_t, std::string>>> changes;
    std::int64_t end = 0; // the last change's instant
};

struct Detail {
    std::size_t row = 0, column = 0;
    std::string verdict, summary, details;
    Excerpt script;
    std::string turnsHeader;
    Excerpt turns; // the turn log's lines, marked: the turn where the run parted from what was expected
    std::string expectedName, actualName;
    std::optional<std::vector<std::string>> expected, actual; // the journals, line by line
    std::optional<Timeline> reference, run; // reference: the terminal's own, in a comparison
    std::optional<std::int64_t> differenceAt; // a comparison's first difference, ms
};

struct Cell {
    std::string verdict; // PASS, FAIL, ERROR, MISSING
    std::string summary; // empty for a pass
    int detail = -1;     // index into Model::details, -1: none
};

struct Model {
    std::string kind;                 // "suite", "grade", "controllers", "compare"
    std::string rowsAre, columnsAre;  // "student", "exercise"...
    std::string date, version;
    std::optional<bool> sandboxed;    // whether the controllers ran in a sandbox; nothing: not known
    std::vector<std::pair<std::string, std::string>> settings;
    std::vector<std::string> rows, columns;
    std::vector<Cell> cells;          // row by row
    std::vector<Detail> details;
    std::string note;                 // what the report could not gather, said on the page
    // What the run covered of the state table: the class's, and each row's; empty when not counted.
    std::optional<coverage::Coverage> classCoverage;
    std::vector<coverage::Coverage> rowCoverage;
};

} // namespace borne::report
