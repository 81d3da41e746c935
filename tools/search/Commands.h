// The search's commands of borne-scenario: --reach, --generate and --check RULES --explore.
#pragma once

#include "control/Controleur.h"

#include <filesystem>
#include <iosfwd>
#include <string>

namespace borne::search {

inline constexpr int kDefaultTurns = 40;

struct SearchSettings {
    std::filesystem::path folder = ".";         // the working folder: its Config.cfg decides the mode
    int maxTurns = kDefaultTurns;               // journeys of up to this many turns
    std::filesystem::path save;                 // --explore: one scenario folder per broken rule here
    const TypeControleur* controller = nullptr; // the controller searched; nullptr: the terminal's own
};

// Each returns the exit status: 0 found (or every rule holds), 1 not found (or a rule broken),
// 2 bad usage; messages go to `err`, scripts and reports to `out`.
int reach(const SearchSettings& o, const std::string& target, std::ostream& out, std::ostream& err);
int generate(const SearchSettings& o, const std::filesystem::path& dir, std::ostream& out, std::ostream& err);
int explore(const SearchSettings& o, const std::string& rulesFile, std::ostream& out, std::ostream& err);

} // namespace borne::search
