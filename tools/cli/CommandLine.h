// borne-scenario's command line, read once: every option of the runner and of the search, and the one
// usage text that names them all.
#pragma once

#include "tools/search/Commands.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace borne::cli {

inline constexpr std::string_view kUsage =
    "usage: borne-scenario [-C DIR] [--trace | --trace-changes] [--turns FILE] [--vcd FILE] [--timeout "
    "SECONDS] "
    "SCRIPT\n"
    "           (SCRIPT '-' reads standard input)\n"
    "       borne-scenario [-C DIR] --suite [--jobs N] [--shard K/N] [--junit FILE] [--vcd DIR] "
    "[--timeout SECONDS] PATH...\n"
    "       either with --coverage DIR: the state table's coverage (coverage.json, coverage.txt, states.dot, "
    "states.svg)\n"
    "       (either with --check RULES: the safety rules in RULES must hold as well)\n"
    "       (either, and the searches, with --controller FILE: that controller, a plug-in, runs instead of "
    "the terminal's own)\n"
    "       borne-scenario [-C DIR] --suite [--jobs N] [--junit FILE] [--grades FILE.csv] "
    "[--timeout SECONDS] PATH... --controllers FILE...\n"
    "       (the suite on each controller; a FILE that is a folder stands for the *.so files in it)\n"
    "       (a script or --suite with --compare --controller FILE: also run on the terminal's own, the first "
    "difference fails)\n"
    "       borne-scenario --grade LAB SUBMISSIONS [--jobs N] [--junit FILE] [--grades FILE.csv] "
    "[--timeout SECONDS] [--check RULES]\n"
    "       borne-scenario --bless [--jobs N] [--timeout SECONDS] PATH...   (writes each expected/Log.txt)\n"
    "       borne-scenario --controls   (every control a script can name)\n"
    "       borne-scenario [-C DIR] --tidy SCRIPT   (a recorded script rewritten for people, checked)\n"
    "       borne-scenario --reach TARGET [--within N]\n"
    "       borne-scenario --generate DIR [--within N]\n"
    "       borne-scenario --check RULES --explore [--within N] [--save DIR]\n";

// What --help adds to the usage: what the program does, the options every program has, the exit status.
inline constexpr std::string_view kHelp =
    "Replays scripts against the car-park terminal's controller, without a window and in virtual time: one\n"
    "script, a suite of scenario folders, a lab's grades, or a search of the journeys a person could make.\n"
    "The terminal reads its settings (Config.cfg, CHIP.INI) in the current folder and appends its\n"
    "journal to Log.txt there.\n"
    "\n"
    "  -h, --help     print this help and exit\n"
    "  --version      print the version and the controller interface version, and exit\n"
    "\n"
    "Exit status: 0 every expectation met; 1 an expectation failed (or a scenario, a rule, a comparison);\n"
    "2 bad usage, a file that cannot be read or written (Log.txt included), an error of the bench.\n";

// The searches' lines of the usage, which a refused search repeats.
inline constexpr std::string_view kSearchUsage = kUsage.substr(kUsage.find("       borne-scenario --reach"));

// What the command line asks for. Options given twice keep the last value.
struct CommandLine {
    // The runner's commands and switches.
    bool trace = false, traceChanges = false, suite = false, controls = false, grade = false, bless = false,
         tidy = false, compare = false;
    std::optional<std::string> controller;               // --controller: a plug-in's file
    std::optional<std::vector<std::string>> controllers; // --controllers: plug-ins' files, folders of them
    std::optional<std::string> grades, vcd, junit, jobs, shard, timeout, turns, directory, coverage;
    std::optional<std::string> rules; // --check; "" when it came last, without its file
    std::vector<std::string> operands;

    // The searches: --reach TARGET, --generate DIR, --explore (with --check RULES), and their options.
    bool reach = false, generate = false, explore = false;
    std::string reachTarget, generateFolder, save;
    int within = search::kDefaultTurns;
    // What a search does not take, as written: the first one is named when a search is asked for.
    std::vector<std::string> notForSearch;

    // A search option without its value (or --within out of range) is refused whatever the command.
    std::optional<std::string> searchRefusal;
    // The first of: an unknown option, an option without its value, --help, --version. Said when no
    // search is asked.
    enum class Stop { none, help, version, refusal };
    Stop stop = Stop::none;
    std::string stopMessage;

    bool search() const { return reach || generate || explore; }
};

// Reads the arguments (argv[0] included). It never fails: what is wrong is kept in the result, to be
// said in the order the program checks it.
CommandLine readCommandLine(const std::vector<std::string>& arguments);

// --timeout: seconds with up to three decimals, above zero and at most a day.
std::optional<std::chrono::milliseconds> seconds(const std::string& s);

// --jobs: false when it is not a count from 1 to 1024 (leading zeros allowed).
bool jobsFrom(const std::optional<std::string>& given, unsigned& jobs);

} // namespace borne::cli
