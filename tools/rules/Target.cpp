#include "tools/rules/Target.h"

#include "base/Codes.h"
#include "control/TableEtats.h"
#include "tools/grammar/Grammar.h"
#include "tools/rules/Rules.h"

#include <string>

namespace borne::search {

namespace {

// A small whole number made of digits only, or -1.
int number(std::string_view s) {
    if (s.empty() || s.size() > 3) return -1;
    int n = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

} // namespace

std::string Target::text() const {
    switch (kind) {
    case Kind::State: return nomEtatCode(state);
    case Kind::Row: return std::to_string(state) + "." + std::to_string(rank);
    case Kind::Transition: return std::string(nomEtatCode(state)) + "->" + nomEtatCode(to);
    }
    return {};
}

std::optional<Target> parseTarget(std::string_view s, std::string& error) {
    s = scenario::trim(s);
    Target t;
    if (const auto arrow = s.find("->"); arrow != std::string_view::npos) {
        t.kind = Target::Kind::Transition;
        t.state = etatDepuisTexte(scenario::trim(s.substr(0, arrow)));
        t.to = etatDepuisTexte(scenario::trim(s.substr(arrow + 2)));
        if (t.state < 0 || t.to < 0) {
            error = "unknown state in the transition";
            return std::nullopt;
        }
        return t;
    }
    if (const auto dot = s.find('.'); dot != std::string_view::npos) {
        t.kind = Target::Kind::Row;
        t.state = number(s.substr(0, dot));
        t.rank = number(s.substr(dot + 1));
        if (indexLigne(t.state, t.rank) < 0) {
            error = "no such row in the state table";
            return std::nullopt;
        }
        return t;
    }
    t.state = etatDepuisTexte(s);
    if (t.state < 0) {
        error = "neither a state, a row nor a transition";
        return std::nullopt;
    }
    return t;
}

} // namespace borne::search
