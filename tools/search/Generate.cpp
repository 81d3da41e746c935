#include "tools/search/Commands.h"

#include "control/Controleur.h"
#include "tools/files/Files.h"
#include "base/Codes.h"
#include "tools/search/Common.h"
#include "tools/search/Explorer.h"
#include "tools/search/Journeys.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <ostream>

namespace borne::search {

namespace {

namespace fs = std::filesystem;

constexpr RowSet kAllRows = (RowSet{1} << NB_LIGNES_TABLE) - 1;

// The graph of the mode's situations, and which rows each known step reaches.
struct Learnt {
    std::unique_ptr<Explorer> ex;
    std::vector<RowSet> rowsOf; // per step: node * kActionCount + action
    RowSet reachable = 0;
    int mode = 0;
    std::string localCode;
    Explorer::Result result;

    RowSet rowsAt(int node, std::size_t action) const {
        const std::size_t i = static_cast<std::size_t>(node) * kActionCount + action;
        return i < rowsOf.size() ? rowsOf[i] : RowSet{0};
    }
};

// Explores until every row is reached or every journey up to the limit was tried. The explorer keeps
// its graph once the replay it learnt it from is gone; only the graph is asked afterwards.
void learn(const SearchSettings& o, const fs::path& settings, std::ostream& err, Learnt& g) {
    Replay replay(settings, false, o.controller);
    announce(replay, err);
    g.mode = replay.terminal().modeCourant();
    g.localCode = std::string(replay.localCode());
    RowLog rows;
    replay.onBuilt = [&](Controleur& t) { t.observer(&rows); };
    g.ex = std::make_unique<Explorer>(replay, std::vector<PropertyRef>{}, false);
    g.ex->beforeStep = [&] { rows.rows = 0; };
    g.ex->onStep = [&](const Explorer::Step& s) {
        const std::size_t i =
            static_cast<std::size_t>(s.from) * kActionCount + static_cast<std::size_t>(s.action);
        if (g.rowsOf.size() <= i) g.rowsOf.resize(i + 1, 0);
        g.rowsOf[i] = rows.rows;
        g.reachable |= rows.rows;
    };
    g.ex->enough = [&](int) { return g.reachable == kAllRows; };
    g.result = g.ex->run(o.maxTurns, o.maxTurns);
    g.ex->beforeStep = nullptr;
    g.ex->onStep = nullptr;
    g.ex->enough = nullptr;
}

// The nearest step from `here` that reaches a row not in `covered`, and the steps there (that step last).
std::optional<Journey> nextLeg(const Learnt& g, int here, RowSet covered) {
    std::size_t found = 0;
    auto route = g.ex->nearest(here, [&](int node, int) {
        for (std::size_t a = 0; a < static_cast<std::size_t>(kActionCount); ++a)
            if (g.rowsAt(node, a) & ~covered) {
                found = a;
                return true;
            }
        return false;
    });
    if (!route) return std::nullopt;
    route->steps.push_back(static_cast<Action>(found));
    return std::move(route->steps);
}

struct Plan {
    std::vector<Journey> scenarios;
    std::vector<RowSet> rows; // per scenario, the rows it reaches first
    RowSet covered = 0;
};

// Greedy: each scenario walks from start-up to the nearest step that reaches a row not yet covered,
// again and again, until it is long enough or nothing new is within reach.
Plan plan(const Learnt& g, int budget) {
    Plan p;
    while ((p.covered & g.reachable) != g.reachable) {
        Journey journey;
        RowSet mine = 0;
        int here = 0;
        while (const auto leg = nextLeg(g, here, p.covered)) {
            if (!journey.empty() && journey.size() + leg->size() > static_cast<std::size_t>(budget)) break;
            for (Action a : *leg) {
                mine |= g.rowsAt(here, static_cast<std::size_t>(a));
                here = g.ex->successor(here, a);
                journey.push_back(a);
            }
            p.covered |= mine;
        }
        if (journey.empty()) break; // cannot happen: every reachable row was reached by a known step
        p.scenarios.push_back(std::move(journey));
        p.rows.push_back(mine);
    }
    return p;
}

// The rows of a set by name, "1.1 2.3".
std::string rowNames(RowSet rows) {
    std::string names;
    for (int r = 0; r < NB_LIGNES_TABLE; ++r)
        if ((rows >> r) & 1) {
            // Appended piece by piece: GCC 12 at -O3 takes `"literal" + std::string&&` for an
            // overlapping copy (a false -Wrestrict, GCC bug 105651).
            if (!names.empty()) names += ' ';
            names += rowName(r);
        }
    return names;
}

// One scenario folder: the script, the settings beside it and the journal a run of it writes, as the
// runner makes it. False with `failure` set when something cannot be written.
bool writeScenario(Replay& replay, const fs::path& settings, const fs::path& folder, const Journey& journey,
                   RowSet rows, std::string& failure) {
    std::error_code ec;
    if (!fs::create_directories(folder / "expected", ec) && ec) {
        failure = "cannot make " + (folder / "expected").string() + ": " + ec.message();
        return false;
    }
    replay.clearJournal();
    const std::string script = scriptOf(replay, journey,
                                        {"Generated by borne-scenario --generate in " + modeName(replay) +
                                             ": " + plural(static_cast<int>(journey.size()), "turn") + ".",
                                         "Rows of the state table it reaches first: " + rowNames(rows)});
    if (!files::writeWhole(folder / "scenario.scn", script, failure)) return false;
    for (const char* f : {"Config.cfg", "CHIP.INI"}) {
        std::string text;
        if (!fs::is_regular_file(settings / f, ec)) continue;
        if (!files::readWhole(settings / f, text, failure) || !files::writeWhole(folder / f, text, failure))
            return false;
    }
    std::string journal;
    if (std::string why; !files::readWhole(replay.journal(), journal, why)) {
        failure = "cannot read the journal of " + folder.filename().string() + " (" + why + ")";
        return false;
    }
    return files::writeWhole(folder / "expected" / "Log.txt", journal, failure);
}

// Every write is checked: a suite cut short by a full disk would pass later with truncated scripts, so
// on a failure what was written goes and the reason is said.
bool writeFolders(const SearchSettings& o, const fs::path& settings, const fs::path& target, const fs::path& dir,
                  bool existed, const Plan& p, std::ostream& err) {
    std::string failure;
    Replay replay(settings, true, o.controller);
    for (std::size_t i = 0; i < p.scenarios.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "scenario-%02zu", i + 1);
        if (!writeScenario(replay, settings, target / name, p.scenarios[i], p.rows[i], failure)) break;
    }
    if (failure.empty()) return true;
    std::error_code ec;
    if (existed)
        for (const auto& entry : fs::directory_iterator(target, ec))
            fs::remove_all(entry.path(), ec);
    else
        fs::remove_all(target, ec);
    err << "borne-scenario: " << failure << "; the scenario folders written in " << dir.string()
        << " are removed\n";
    return false;
}

// What was covered, and each row the mode does not reach with the reason where one is known.
void tellCoverage(const SearchSettings& o, const fs::path& dir, const Learnt& g, const Plan& p, std::ostream& out) {
    out << "generated " << plural(static_cast<int>(p.scenarios.size()), "scenario folder") << " in "
        << dir.string() << ", covering " << __builtin_popcountll(p.covered) << " of " << NB_LIGNES_TABLE
        << " rows (" << g.result.situations << " distinct situations explored)\n";
    if (g.reachable == kAllRows) return;
    out << "unreachable in mode " << g.mode << " (" << nomModeCode(g.mode) << ") "
        << (g.result.exhausted ? "however long the journey (every situation of the mode explored)"
                               : "within " + plural(o.maxTurns, "turn"))
        << ":\n";
    for (int r = 0; r < NB_LIGNES_TABLE; ++r)
        if (!((g.reachable >> r) & 1)) {
            const std::string reason = reasonFor(r, g.mode, g.localCode);
            out << "  " << rowName(r) << (reason.empty() ? "" : "  " + reason) << "\n";
        }
}

} // namespace

int generate(const SearchSettings& o, const std::filesystem::path& dir, std::ostream& out, std::ostream& err) {
    std::error_code ec;
    const fs::path target = fs::absolute(dir, ec);
    const bool existed = fs::exists(target, ec);
    if (!prepareFolder(target, dir, err)) return 2;
    const fs::path settings = fs::absolute(o.folder, ec);

    Learnt g;
    learn(o, settings, err, g);
    const Plan p = plan(g, std::max(60, o.maxTurns + 20));
    if (!writeFolders(o, settings, target, dir, existed, p, err)) return 1;
    tellCoverage(o, dir, g, p, out);
    return 0;
}

} // namespace borne::search
