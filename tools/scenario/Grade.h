// Grading a class: every student's answer to every exercise of a lab, each run isolated in a scratch copy
// of the teacher's exercise folder (its settings and expected journal, never the student's).
//
//   LAB/E/                 one folder per exercise E: Config.cfg, CHIP.INI, optionally expected/Log.txt,
//                          and the teacher's own scenario.scn, which grading does not run but which makes
//                          the folder an exercise (a folder without one, such as notes/, is ignored)
//   LAB/grading.cfg        optional: the lab's grading settings, one a line (require-expect)
//   SUBMISSIONS/S/         one folder per student S: the answer to E is E.scn or E/scenario.scn
//
// Every (student, exercise) pair is one result: PASS, FAIL (an expectation, the journal, a rule, a
// runaway run, or a script that checks nothing), ERROR (the script is refused or cannot be read, or is a
// link out of the student's folder) or MISSING. What a student left that is not an answer is listed, once
// per student, as ignored.
#pragma once

#include "tools/rules/Rules.h"
#include "tools/scenario/Suite.h"

#include <chrono>
#include <iosfwd>
#include <string>

namespace borne::scenario {

struct GradeSettings {
    std::string lab;
    std::string submissions;
    unsigned jobs = 0; // 0: one per core
    std::chrono::milliseconds wallLimit{10000};
    std::string junitPath;  // empty: no report
    std::string gradesPath; // empty: no CSV
    const search::RuleSet* rules = nullptr;
    std::string rulesName;
    // An answer without expect or until fails even where the exercise has an expected journal (also
    // asked for by the lab's grading.cfg).
    bool requireExpect = false;
    std::string gradebookPath;  // empty: no gradebook
    std::string gradescopePath; // empty: no results.json (one student only)
    // The K-th of N slices of the students: their lines, rows and reports, the lab's and the submissions'
    // ignored entries in the first slice only.
    unsigned shard = 1;
    unsigned shards = 1;
    ResultsReader results; // set: told every pair's result at the end
};

// The lab's grading settings file, in LAB.
inline constexpr const char* kLabSettingsFile = "grading.cfg";

// One line per pair in (student, exercise) order, then one line per student. Returns 0 when every pair
// passed, 1 otherwise, 2 when the lab, its settings, the submissions or a report path cannot be used.
int runGrade(const GradeSettings& settings, std::ostream& out, std::ostream& err);

} // namespace borne::scenario
