#include "tools/search/Commands.h"

#include "base/Codes.h"
#include "control/Controleur.h"
#include "tools/coverage/Rows.h"
#include "tools/rules/Target.h"
#include "tools/search/Common.h"
#include "tools/search/Explorer.h"
#include "tools/search/Journeys.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <ostream>

namespace borne::search {

namespace {

// Why the mode cannot reach `t` at all, where the table and the mode say so without a search: a row
// with a known reason; a state none of whose rows the mode can take (or that no row leads to); a
// transition from or to such a state. Empty when only a search can tell.
std::string knownReason(const Target& t, int mode, std::string_view localCode, int startState) {
    const auto stateReason = [&](int state) -> std::string {
        if (state == startState) return {};
        bool named = false;
        for (const LigneTable& r : TABLE_ETATS)
            named = named || (r.etat != state && (r.suivants & vers(state)) != 0);
        if (!named && state != ETAT_ALARME)
            return "no row of the state table leads to it: only the start-up of its own mode does";
        std::string reason;
        for (int rank = 1; rank <= nbLignes(state); ++rank) {
            const std::string r = reasonFor(rowIndex(state, rank), mode, localCode);
            if (r.empty()) return {};
            if (reason.empty()) reason = r;
        }
        return reason;
    };
    switch (t.kind) {
    case Target::Kind::Row: return reasonFor(rowIndex(t.state, t.rank), mode, localCode);
    case Target::Kind::State: return stateReason(t.state);
    case Target::Kind::Transition: {
        const std::string from = stateReason(t.state);
        if (!from.empty()) return std::string(nomEtatCode(t.state)) + ": " + from;
        const std::string to = t.to == t.state ? std::string() : stateReason(t.to);
        return to.empty() ? to : std::string(nomEtatCode(t.to)) + ": " + to;
    }
    }
    return {};
}

// The states the table allows a turn to end in from `from`, by name.
std::string allowedFrom(int from) {
    std::string list;
    for (int to = 0; to < NB_ETATS; ++to)
        if (coverage::allowed(from, to)) {
            if (!list.empty()) list += ", ";
            list += nomEtatCode(to);
        }
    return list;
}

// The shortest journey from start-up that reaches `target`; none, said on `out`, when no journey within
// the limit does.
std::optional<Journey> shortestJourney(const SearchSettings& o, const Target& target, Replay& replay, RowLog& rows,
                                       std::ostream& out) {
    Explorer ex(replay, {}, false);
    std::vector<Hit> hits;
    int shortest = INT_MAX;
    ex.beforeStep = [&] { rows.rows = 0; };
    ex.onStep = [&](const Explorer::Step& s) {
        bool hit = false;
        switch (target.kind) {
        case Target::Kind::State: hit = s.after == target.state; break;
        case Target::Kind::Row: hit = (rows.rows >> rowIndex(target.state, target.rank)) & 1; break;
        case Target::Kind::Transition: hit = s.before == target.state && s.after == target.to; break;
        }
        if (!hit) return;
        hits.push_back({s.from, s.action});
        shortest = std::min(shortest, bound(ex, hits.back()));
    };
    // Every journey as short as the shortest found has been tried: none can beat it.
    ex.enough = [&](int turns) { return !hits.empty() && turns >= shortest; };
    const Explorer::Result result = ex.run(o.maxTurns, 1);
    if (hits.empty()) {
        out << target.text() << ": unreachable in this mode (" << modeName(replay) << ") within "
            << plural(o.maxTurns, "turn") << "; " << result.situations << " distinct situations explored"
            << (result.exhausted ? ", which are all the mode has: unreachable however long" : "") << "\n";
        return std::nullopt;
    }
    return best(ex, hits);
}

} // namespace

int reach(const SearchSettings& o, const std::string& text, std::ostream& out, std::ostream& err) {
    std::string why;
    const auto target = parseTarget(text, why);
    if (!target) {
        err << "borne-scenario: unknown target \"" << text << "\": " << why << "\n  TARGET is "
            << kTargetForms << "\n";
        return 2;
    }
    // Rows and transitions are seen through the turn observer; a state through the state alone.
    if (o.controller != nullptr && !o.controller->ditLignes && target->kind != Target::Kind::State) {
        err << "borne-scenario: --controller " << o.controller->nom
            << ": the controller does not tell its rows to a turn observer (observer()), so a search cannot "
               "see a row or a transition taken; it can reach a state\n";
        return 2;
    }
    // The table says at once what no journey can do.
    if (target->kind == Target::Kind::Transition && !coverage::allowed(target->state, target->to)) {
        err << "borne-scenario: the state table has no transition " << target->text() << "; from "
            << nomEtatCode(target->state) << " a turn may end in " << allowedFrom(target->state) << "\n";
        return 2;
    }
    Replay replay(o.folder, false, o.controller);
    announce(replay, err);
    RowLog rows;
    replay.onBuilt = [&](Controleur& t) { t.observer(&rows); };

    const int start = replay.terminal().etatCourant();
    if (const std::string why =
            knownReason(*target, replay.terminal().modeCourant(), replay.localCode(), start);
        !why.empty()) {
        out << target->text() << ": unreachable in this mode (" << modeName(replay)
            << "), however long: " << why << "\n";
        return 1;
    }

    const bool atStart = target->kind == Target::Kind::State && start == target->state;
    const std::optional<Journey> journey =
        atStart ? Journey{} : shortestJourney(o, *target, replay, rows, out);
    if (!journey) return 1;
    out << scriptOf(replay, *journey,
                    {"Reaches " + target->text() + " in " + modeName(replay) + ": " +
                         plural(static_cast<int>(journey->size()), "turn") + ", " +
                         plural(actionsIn(*journey), "action") + ".",
                     "Made by borne-scenario --reach from start-up; one action at most per turn."});
    return 0;
}

} // namespace borne::search
