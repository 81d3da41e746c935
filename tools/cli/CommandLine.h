// borne-scenario's command line, read once: every option of the runner and of the search, and the one
// usage text that names them all.
#pragma once

#include "tools/search/Commands.h"

#include <chrono>
#include <optional>
#include <span>
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
    "       (either, and the searches, with --controller FILE [--sandbox]: that controller, a plug-in or a "
    "program that speaks the protocol, runs instead of the terminal's own; --sandbox: out of process, "
    "sandboxed)\n"
    "       borne-scenario [-C DIR] --suite [--jobs N] [--shard K/N] [--junit FILE] [--grades FILE.csv] "
    "[--gradebook FILE.csv] [--gradescope FILE.json] [--timeout SECONDS] [--no-sandbox] PATH... --controllers "
    "FILE...\n"
    "       (the suite on each controller, each run in a sandbox of its own; a FILE that is a folder stands for "
    "the *.so files in it)\n"
    "       (a script or --suite with --compare --controller FILE: also run on the terminal's own, the first "
    "difference fails)\n"
    "       borne-scenario --grade LAB SUBMISSIONS [--jobs N] [--shard K/N] [--junit FILE] "
    "[--grades FILE.csv] [--gradebook FILE.csv] [--gradescope FILE.json] [--require-expect] "
    "[--timeout SECONDS] [--check RULES]\n"
    "       (--suite, --suite --controllers and --grade with --report DIR: also a report page, DIR/index.html)\n"
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

// What the command line asks for. Options given twice keep the last value, but an output is refused.
struct CommandLine {
    // The runner's commands and switches.
    bool trace = false, traceChanges = false, suite = false, controls = false, grade = false, bless = false,
         tidy = false, compare = false;
    std::optional<std::string> controller;               // --controller: a plug-in's file
    std::optional<std::vector<std::string>> controllers; // --controllers: plug-ins' files, folders of them
    std::optional<std::string> grades, vcd, junit, jobs, shard, timeout, turns, directory, coverage,
        report;
    std::optional<std::string> rules;                 // --check; "" when it came last, without its file
    bool requireExpect = false;                       // --require-expect
    bool sandbox = false, noSandbox = false;          // --sandbox (one's own controller), --no-sandbox (a class)
    std::optional<std::string> gradebook, gradescope; // --gradebook FILE.csv, --gradescope results.json
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

// The commands an option can go with, as its row says (bits, or-ed).
enum Command : unsigned {
    kScript = 1u << 0,   // one SCRIPT
    kSuite = 1u << 1,    // --suite PATH...
    kClass = 1u << 2,    // --suite PATH... --controllers FILE...
    kGrade = 1u << 3,    // --grade LAB SUBMISSIONS
    kBless = 1u << 4,    // --bless PATH...
    kTidy = 1u << 5,     // --tidy SCRIPT
    kControls = 1u << 6, // --controls
    kSearch = 1u << 7,   // --reach, --generate, --explore
};

// One row of the option table: how the option is read, where it goes, and what it writes. Exactly one of
// `on`, `value` and `list` is set.
struct Option {
    std::string_view name;
    bool CommandLine::*on = nullptr;                                      // a switch
    std::optional<std::string> CommandLine::*value = nullptr;             // one value
    std::optional<std::vector<std::string>> CommandLine::*list = nullptr; // names up to the next option
    unsigned in = 0;                // the commands it goes with; any other refuses it
    std::string_view needs = {};    // "--a|--b": it is refused unless one of them is given too
    std::string_view excludes = {}; // an option it cannot be given with
    unsigned file = 0, folder = 0;  // the commands for which its value names a file, a folder, it writes
};

// Every option of the runner (and --check, --controller, shared with the searches), in usage order.
std::span<const Option> optionTable();

// The command a line asks for: the first of --controls, --tidy, --grade, --bless, --suite (with
// --controllers: a class), else a script. Searches are told apart before (CommandLine::search()).
Command commandOf(const CommandLine& c);
// "a script", "--suite", "--suite --controllers", ...
std::string commandName(Command command);
// Whether the line gives the option of `row`.
bool given(const CommandLine& c, const Option& row);

// The first option the line gives out of its place (not for its command, without what it needs, beside
// what it excludes), said in one form per kind of fault; empty when every option is in place.
std::string misplacedOption(const CommandLine& c);

// Reads the arguments (argv[0] included). It never fails: what is wrong is kept in the result, to be
// said in the order the program checks it.
CommandLine readCommandLine(const std::vector<std::string>& arguments);

// --timeout: seconds with up to three decimals, above zero and at most a day.
std::optional<std::chrono::milliseconds> seconds(const std::string& s);

// --jobs: false when it is not a count from 1 to 1024 (leading zeros allowed).
bool jobsFrom(const std::optional<std::string>& given, unsigned& jobs);

} // namespace borne::cli
