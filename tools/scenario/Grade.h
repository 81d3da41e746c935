// Grading a class: every student's answer to every exercise of a lab, each run isolated in a scratch copy
// of the teacher's exercise folder (its settings and expected journal, never the student's).
//
//   LAB/E/                 one folder per exercise E: Config.cfg, CHIP.INI, optionally expected/Log.txt
//                          (and the teacher's own scenario.scn, which grading does not use)
//   SUBMISSIONS/S/         one folder per student S: the answer to E is E.scn or E/scenario.scn
//
// Every (student, exercise) pair is one result: PASS, FAIL (an expectation, the journal, a rule, a
// runaway run, or a script that checks nothing), ERROR (the script is refused or cannot be read) or
// MISSING. What a student left that is not an answer is listed, once per student, as ignored.
#pragma once

#include "tools/rules/Rules.h"

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
};

// One line per pair in (student, exercise) order, then one line per student. Returns 0 when every pair
// passed, 1 otherwise, 2 when the lab, the submissions or a report path cannot be used.
int runGrade(const GradeSettings& settings, std::ostream& out, std::ostream& err);

// A CSV field as RFC 4180 writes it: in double quotes (doubled inside) when it holds a comma, a double
// quote, CR or LF; as it is otherwise.
std::string csvField(const std::string& text);

} // namespace borne::scenario
