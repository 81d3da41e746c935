// Scenario folders: a folder holding scenario.scn, the settings and files the run starts from
// (Config.cfg, CHIP.INI, an earlier Log.txt...) and optionally expected/Log.txt, the whole journal the
// run must leave. A run happens in a fresh copy of the folder without expected/; the folder itself is
// never written.
#pragma once

#include "tools/scenario/Engine.h"
#include "tools/rules/Rules.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace borne::scenario {

inline constexpr const char* kScriptFile = "scenario.scn";
inline constexpr const char* kExpectedFolder = "expected";
inline constexpr const char* kJournalFile = "Log.txt";

// What a run copies of a scenario folder (expected/ aside): every run gets a fresh copy, so a folder that
// would fill the scratch place is refused before it does.
inline constexpr std::uint64_t kMaxFolderBytes = std::uint64_t{64} << 20;
inline constexpr std::size_t kMaxFolderEntries = 10000;

struct FoundScenario {
    std::string path;    // as found: the root given, then the relative path
    std::string name;    // relative to the root given; the folder's own name when it is the root
    std::string problem; // set when the folder cannot be used (an unreadable folder, ...)
    std::string script;  // the script run in the copy; empty: the folder's own scenario.scn
};

// Every scenario folder at or under `root`, in byte order of their relative paths. A scenario folder is
// not searched further, nor is a link to a folder outside `root`. Folders that cannot be listed are
// returned with a problem. False when `root` cannot be read at all, with a message.
bool findScenarios(const std::string& root, std::vector<FoundScenario>& found, std::string& error);
// The same, and `skipped` gets the folders (as found, root first) that hold files but no scenario.scn and
// no scenario folder below: most often a script saved under another name.
bool findScenarios(const std::string& root, std::vector<FoundScenario>& found,
                   std::vector<std::string>& skipped, std::string& error);

// The last name of a folder given as a PATH ("journeys" for "tests/journeys/", the real name for ".").
std::string ownName(const std::string& root);

struct ScenarioOutcome {
    bool passed = false;
    bool error = false; // the bench failed (no room in the scratch place, ...), not the scenario
    double seconds = 0;
    std::string summary;        // one line: why it failed
    std::string details;        // lines that show it (each ends with a newline); may be empty
    std::string coverage;       // the run's coverage counts, serialised, when asked for
    int expectationsPassed = 0; // as the run counted them (a run stopped early counts fewer)
    int expectationsFailed = 0;
};

struct ScenarioSettings {
    std::chrono::milliseconds wallLimit{0};
    std::string vcdPath; // empty: no waveform
    bool coverage = false;
    const search::RuleSet* rules = nullptr; // safety rules the run must keep; none: no check
    std::string rulesName;                  // the rules file, as the reports name it
    std::string journalCopy;                // set: the run's journal is moved there (when it wrote one)
                                            // instead of being compared with expected/
    const borne::TypeControleur* controller = nullptr; // the controller to run; nullptr: the terminal's own
    bool compare = false; // the script runs on the terminal's own too; the first difference fails it
    RunProgress* progress = nullptr;                   // where the run stands, kept up to date when set
    // Set: the run also leaves PREFIX.turns (its turn log), PREFIX.timeline (its main controls in time)
    // and PREFIX.log (the journal it wrote), for a report that shows why it failed.
    std::string detailPrefix;
};

// A regular file's whole content; anything else is refused unread, so nothing can block on it.
bool readRegularFile(const std::string& path, std::string& content, std::string& error);

// Runs one scenario folder in `scratch`/run (made when missing, emptied before and after) and compares
// what it left with expected/. Never throws; a fault of the folder is a failed outcome, a fault of the
// scratch place an error. A link that leads out of the folder is copied as what it names only when it is
// a regular file the run reads (the script, the settings, an earlier Log.txt); a folder of more than
// kMaxFolderBytes or kMaxFolderEntries is refused.
ScenarioOutcome runScenario(const FoundScenario& scenario, const std::string& scratch,
                            const ScenarioSettings& settings);

// The first line where two journals differ, both versions readable (zero bytes as \x00); empty when they
// are the same bytes, or when an empty journal was expected and none was written. A missing file is told
// as such.
std::string firstDifference(const std::string* expected, const std::string* actual, std::string& summary);

} // namespace borne::scenario
