// What `--reach` looks for: a state, a row of the state table, or a transition between two states.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace borne::search {

struct Target {
    enum class Kind { State, Row, Transition };
    Kind kind = Kind::State;
    int state = 0; // State: the state; Row: the row's state; Transition: the state the turn starts in
    int rank = 0;  // Row: K of S.K, from 1
    int to = 0;    // Transition: the state the turn chooses
    std::string text() const; // as a person would write it back: "2.3", "ETAT_ALARME", "0->1"
};

// A state, `S.K` or `FROM->TO` (spaces around the arrow allowed); nothing, with `error` saying why.
std::optional<Target> parseTarget(std::string_view s, std::string& error);

inline constexpr const char* kTargetForms =
    "a state (0 to 17 or its name, e.g. ETAT_ALARME), a row S.K of the state table (e.g. 2.3) or a "
    "transition FROM->TO (e.g. 0->10 or ETAT_VEHICULE_ABSENT->ETAT_ALARME)";

} // namespace borne::search
