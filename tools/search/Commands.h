// The search's commands of borne-scenario: --reach, --generate and --check RULES --explore.
#pragma once

#include "control/Controleur.h"

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace borne::search {

inline constexpr int kDefaultTurns = 40;

struct Options {
    std::filesystem::path folder = "."; // the working folder: its Config.cfg decides the mode
    int maxTurns = kDefaultTurns;       // journeys of up to this many turns
    std::filesystem::path save;         // --explore: one scenario folder per broken rule here
    const TypeControleur* controller = nullptr; // the controller searched; nullptr: the terminal's own
};

// Each returns the exit status: 0 found (or every rule holds), 1 not found (or a rule broken),
// 2 bad usage; messages go to `err`, scripts and reports to `out`.
int reach(const Options& o, const std::string& target, std::ostream& out, std::ostream& err);
int generate(const Options& o, const std::filesystem::path& dir, std::ostream& out, std::ostream& err);
int explore(const Options& o, const std::string& rulesFile, std::ostream& out, std::ostream& err);

// The command line of the search, when `arguments` asks for one of them (--reach, --generate, or
// --check with --explore); `handled` says whether it did.
int searchMain(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
               bool& handled);

inline constexpr const char* kSearchUsage =
    "       borne-scenario --reach TARGET [--within N]\n"
    "       borne-scenario --generate DIR [--within N]\n"
    "       borne-scenario --check RULES --explore [--within N] [--save DIR]\n";

} // namespace borne::search
