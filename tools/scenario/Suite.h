// Suites: every scenario folder at or under some paths, run isolated and in parallel, reported one line
// each in path order, with an optional JUnit report and one waveform per scenario.
//
// Isolation: the panel is process-wide and the working folder decides the settings, so scenarios run in
// worker processes forked from the runner, each scenario in a fresh scratch copy of its folder. A worker
// runs scenario after scenario (no exec, little per-scenario work); one that dies or hangs is replaced
// and its scenario reported failed.
#pragma once

#include "tools/scenario/Folder.h"
#include "tools/rules/Rules.h"

#include <chrono>
#include <functional>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace borne::scenario {

// One pair of a run of many folders (a folder, a student's exercise, a controller's folder) as a report
// shows it: where it sits in the grid, its verdict word as the run printed it, and what ran.
struct PairResult {
    std::size_t row = 0, column = 0;
    std::string verdict; // PASS, FAIL, ERROR, MISSING
    bool ran = false;    // `run` ran (a missing or refused answer did not)
    FoundScenario run;
    const borne::TypeControleur* controller = nullptr; // nullptr: the terminal's own
    ScenarioOutcome outcome;
};
struct RunResults {
    std::vector<std::string> rows, columns; // rows: students, controllers; columns: exercises, folders
    std::vector<PairResult> pairs;
    double seconds = 0;
};
// Given the results of a run that ended whole, before its exit status is known.
using ResultsReader = std::function<void(RunResults&&)>;

struct SuiteSettings {
    std::vector<std::string> paths;
    unsigned jobs = 0; // 0: one per core
    unsigned shard = 1;
    unsigned shards = 1;
    std::string junitPath;                      // empty: no report
    std::string vcdFolder;                      // empty: no waveforms
    std::chrono::milliseconds wallLimit{10000}; // per scenario
    std::string coverageFolder;                 // empty: no coverage
    const search::RuleSet* rules = nullptr;     // safety rules every scenario must keep
    std::string rulesName;
    std::string journalFolder; // set: each run's journal is kept there, named by its index in the list
    const borne::TypeControleur* controller = nullptr; // the controller every folder runs; nullptr: ours
    // Set: the controller of each folder of runIsolated's list, in list order, in place of `controller`
    // (a class's controllers run in one pool).
    std::vector<const borne::TypeControleur*> controllerOfRun;
    bool compare = false; // each folder runs on the terminal's own too; the first difference fails it
    bool countCoverage = false; // each outcome carries its run's coverage, with or without a folder for it
    std::string detailFolder;   // set: each run leaves there INDEX.turns, INDEX.timeline and INDEX.log
    ResultsReader results;      // set: told every pair's result at the end
    std::string reportFolder;   // --report's folder: refused among the inputs as the other outputs are
};

// "K/N" with 1 <= K <= N.
bool parseShard(const std::string& text, unsigned& k, unsigned& n);

// The number of cores this process may run on.
unsigned coreCount();

// Runs the suite; returns the exit status: 0 all passed, 1 some failed, 2 bad paths, nothing found, an
// output over an input, a failure of the bench itself (said as an ERROR line: no room to copy a folder,
// no worker process), or a stop.
//
// SIGINT, SIGTERM, SIGHUP and SIGPIPE stop a suite, as does an output that can no longer be written:
// the workers are killed, the scratch folder removed, and the JUnit report (written beside its path and
// renamed over it at the end) is left as it was.
int runSuite(const SuiteSettings& settings, std::ostream& out, std::ostream& err);

// Every scenario folder at or under each path, whole paths, a folder given twice once; `skipped` gets the
// folders that hold files but no script. False, said on `err`, when a path cannot be read or holds none.
bool collectScenarios(const std::vector<std::string>& paths, std::vector<FoundScenario>& all,
                      std::vector<std::string>& skipped, std::ostream& err);

// Why a run of `all` must not start: an output among the inputs (a report over a script or into a scenario
// folder, the rules file; `settings`' own outputs and `more`, pairs of option and path), or a scratch place
// inside one of the paths. The message, or empty.
std::string refusedOutputs(const SuiteSettings& settings, const std::vector<FoundScenario>& all,
                           const std::vector<std::pair<std::string, std::string>>& more = {});

// Where scratch folders go, and how one is removed with all it holds.
std::string scratchPlace();
void removeScratch(const std::string& path);

// Each outcome of runIsolated, in list order, as soon as it and all before it are known.
using OutcomeReader = std::function<void(std::size_t index, const ScenarioOutcome& outcome)>;

// The suite's way of running folders (whole paths): forked workers, each folder in a scratch copy,
// settings.wallLimit each; settings.paths, shards, JUnit and coverage folder are the caller's business.
// `out` is flushed before each fork. False when no scratch folder can be made, with a message.
bool runIsolated(const std::vector<FoundScenario>& list, const SuiteSettings& settings, std::ostream& out,
                 const OutcomeReader& read, std::vector<ScenarioOutcome>& outcomes, std::string& error);

// "PASS NAME", or "WORD NAME: summary" and the details indented below.
void printOutcome(std::ostream& out, const std::string& word, const std::string& name,
                  const ScenarioOutcome& outcome);

// The signal that stopped the last suite, 0 if none: the program then ends by it, as the one who sent it
// expects.
int suiteInterruption();

} // namespace borne::scenario
