#include "search/Commands.h"

#include "control/Controleur.h"
#include "coverage/Rows.h"
#include "files/Files.h"
#include "panel/Codes.h"
#include "scenario/Check.h"
#include "search/Explorer.h"
#include "search/Journeys.h"
#include "search/Rules.h"
#include "search/Target.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <ostream>
#include <sstream>

namespace borne::search {

namespace {

std::string modeName(const Replay& r) {
    const int m = r.terminal().modeCourant();
    return "mode " + std::to_string(m) + " (" + nomModeCode(m) + ")";
}

// A broken configuration starts the terminal out of service; the search does as the terminal does.
void announce(const Replay& r, std::ostream& err) {
    if (!r.configuredMode())
        err << "borne-scenario: Config.cfg gives no mode from 0 to 4; the terminal then starts out of "
               "service, "
               "and the search explores that start: "
            << modeName(r) << "\n";
}

struct Hit {
    int from;
    Action action;
};

// The shortest of the journeys found: fewest turns, then fewest actions, then the first found.
Journey best(const Explorer& ex, const std::vector<Hit>& hits) {
    const Hit* chosen = nullptr;
    std::pair<int, int> length{INT_MAX, INT_MAX};
    for (const Hit& h : hits) {
        const std::pair<int, int> l{ex.turnsTo(h.from) + 1,
                                    ex.actionsTo(h.from) + (h.action == Action::Wait ? 0 : 1)};
        if (l < length) {
            length = l;
            chosen = &h;
        }
    }
    Journey j = ex.journeyTo(chosen->from);
    j.push_back(chosen->action);
    return j;
}

int bound(const Explorer& ex, const Hit& h) {
    return ex.turnsTo(h.from) + 1;
}

std::string plural(int n, const char* word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

// A one-line reason for a row that the mode cannot reach, where one is known.
std::string reasonFor(int row, int mode, std::string_view localCode) {
    const char* why = horsDePortee(TABLE_ETATS[static_cast<std::size_t>(row)], mode, localCode);
    return why != nullptr ? why : "";
}

// A folder to write into: new or empty, and writable; false with the reason told.
bool prepareFolder(const std::filesystem::path& target, const std::filesystem::path& asGiven,
                   std::ostream& err) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::exists(target, ec) && !(fs::is_directory(target, ec) && fs::is_empty(target, ec))) {
        err << "borne-scenario: " << asGiven.string() << " exists and is not an empty folder\n";
        return false;
    }
    fs::create_directories(target, ec);
    std::string probeError;
    if (ec || !files::writeWhole(target / ".write-test", "x", probeError)) {
        err << "borne-scenario: cannot write into " << asGiven.string() << "\n";
        return false;
    }
    fs::remove(target / ".write-test", ec);
    return true;
}

// The working folder's settings, into a scenario folder.
void copySettings(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code ec;
    for (const char* f : {"Config.cfg", "CHIP.INI"})
        if (std::filesystem::is_regular_file(from / f, ec)) std::filesystem::copy_file(from / f, to / f, ec);
}

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
        for (int k = 1; k <= nbLignes(state); ++k) {
            const std::string r = reasonFor(rowIndex(state, k), mode, localCode);
            if (r.empty()) return {};
            if (reason.empty()) reason = r;
        }
        return reason;
    };
    switch (t.kind) {
    case Target::Kind::Row: return reasonFor(rowIndex(t.state, t.row), mode, localCode);
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

} // namespace

int reach(const Options& o, const std::string& text, std::ostream& out, std::ostream& err) {
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

    Explorer ex(replay, {}, false);
    std::vector<Hit> hits;
    int shortest = INT_MAX;
    const bool atStart = target->kind == Target::Kind::State && start == target->state;
    Explorer::Result result;
    if (!atStart) {
        ex.beforeStep = [&] { rows.rows = 0; };
        ex.onStep = [&](const Explorer::Step& s) {
            bool hit = false;
            switch (target->kind) {
            case Target::Kind::State: hit = s.after == target->state; break;
            case Target::Kind::Row: hit = (rows.rows >> rowIndex(target->state, target->row)) & 1; break;
            case Target::Kind::Transition: hit = s.before == target->state && s.after == target->to; break;
            }
            if (!hit) return;
            hits.push_back({s.from, s.action});
            shortest = std::min(shortest, bound(ex, hits.back()));
        };
        // Every journey as short as the shortest found has been tried: none can beat it.
        ex.enough = [&](int turns) { return !hits.empty() && turns >= shortest; };
        result = ex.run(o.maxTurns, 1);
        if (hits.empty()) {
            out << target->text() << ": unreachable in this mode (" << modeName(replay) << ") within "
                << plural(o.maxTurns, "turn") << "; " << result.situations << " distinct situations explored"
                << (result.exhausted ? ", which are all the mode has: unreachable however long" : "") << "\n";
            return 1;
        }
    }
    const Journey journey = atStart ? Journey{} : best(ex, hits);
    out << scriptOf(replay, journey,
                    {"Reaches " + target->text() + " in " + modeName(replay) + ": " +
                         plural(static_cast<int>(journey.size()), "turn") + ", " +
                         plural(actionsIn(journey), "action") + ".",
                     "Made by borne-scenario --reach from start-up; one action at most per turn."});
    return 0;
}

int explore(const Options& o, const std::string& rulesFile, std::ostream& out, std::ostream& err) {
    RuleSet rules;
    std::string error;
    if (!loadRules(rulesFile, rules, error)) {
        err << error;
        return 2;
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    // Taken now: the replay works in a scratch folder of its own.
    const fs::path saveTo = o.save.empty() ? fs::path() : fs::absolute(o.save, ec);
    const fs::path rulesPath = fs::absolute(rulesFile, ec);
    const fs::path settings = fs::absolute(o.folder, ec);
    if (!o.save.empty() && !prepareFolder(saveTo, o.save, err)) return 2;

    Replay replay(o.folder, false, o.controller);
    announce(replay, err);
    RuleWatch watch(rules, [&] { return replay.now(); });
    bool checkBuilt = true;
    replay.onReset = [&] {
        watch.attach(nullptr);
        watch.reload();
        if (checkBuilt) watch.check("the panel as built");
    };
    replay.onBuilt = [&](Controleur& t) {
        watch.attach(&t);
        // What start-up leaves counts before any step, even when no write follows.
        if (checkBuilt) watch.check(kAtStartUp);
    };

    // Start-up, watched once: its violations need no journey.
    watch.enable(true);
    replay.restart();
    const auto atStart = watch.violations();
    watch.enable(false);
    checkBuilt = false;

    const std::size_t n = rules.rules.size();
    std::vector<std::vector<Hit>> hits(n);
    std::vector<int> shortest(n, INT_MAX);
    auto settled = [&](std::size_t r) { return atStart[r] || !hits[r].empty(); };
    // The lighting and message switches change only the display's background and the journal's event
    // (and show on their own boxes): they are tried only when a rule reads one of those.
    bool display = false;
    for (const PropertyRef& p : rules.properties) {
        const std::string& name = p.control->nom();
        display = display || (p.property == Propriete::Color && (name == "Edit1" || name == "Edit2")) ||
                  name == "Evenement" || name == "CheckBox7" || name == "CheckBox9";
    }
    Explorer ex(replay, rules.properties, display);
    ex.beforeStep = [&] {
        watch.reset();
        watch.enable(true);
    };
    ex.onStep = [&](const Explorer::Step& s) {
        watch.enable(false);
        for (std::size_t r = 0; r < n; ++r)
            if (watch.violations()[r]) {
                hits[r].push_back({s.from, s.action});
                shortest[r] = std::min(shortest[r], bound(ex, hits[r].back()));
            }
    };
    ex.enough = [&](int turns) {
        for (std::size_t r = 0; r < n; ++r)
            if (!settled(r) || (!atStart[r] && turns < shortest[r])) return false;
        return true;
    };
    // A rule that holds is only known to once every journey has been tried: the walks may then take
    // whatever untried step is closest, whatever its level.
    const Explorer::Result result = ex.run(o.maxTurns, o.maxTurns);

    int broken = 0;
    for (std::size_t r = 0; r < n; ++r) {
        const Rule& rule = rules.rules[r];
        const std::string where = rulesFile + ":" + std::to_string(rule.line);
        if (!settled(r)) {
            if (result.exhausted)
                out << "# " << where << ": holds for every journey (all " << result.situations
                    << " situations the mode has were explored): " << rule.text << "\n";
            else
                out << "# " << where << ": holds for every journey of up to " << plural(o.maxTurns, "turn")
                    << " (" << result.situations << " distinct situations explored): " << rule.text << "\n";
            continue;
        }
        ++broken;
        const Journey journey = atStart[r] ? Journey{} : best(ex, hits[r]);
        // Run it once more, watched, for the instant and the write that break the rule.
        watch.reset();
        watch.enable(true);
        checkBuilt = true;
        std::string script = scriptOf(replay, journey, {});
        checkBuilt = false;
        watch.enable(false);
        const auto& v = watch.violations()[r];
        std::ostringstream head;
        head << "Breaks " << where << " (" << rule.text << ") in " << modeName(replay) << " after "
             << plural(static_cast<int>(journey.size()), "turn") << ", "
             << plural(actionsIn(journey), "action");
        if (v) head << "; first at " << v->instant << " ms, by " << v->write;
        const std::string text =
            "# " + head.str() + ".\n# Run it with --check " + rulesFile + " to see it fail.\n" + script;
        out << text << "\n";
        if (!o.save.empty()) {
            // A scenario folder that --suite --check runs as it stands: the rules file goes beside it.
            const fs::path folder = saveTo / ("rule-" + std::to_string(rule.line));
            fs::create_directories(folder, ec);
            copySettings(settings, folder);
            fs::copy_file(rulesPath, folder / rulesPath.filename(), ec);
            if (std::string error; !files::writeWhole(folder / "scenario.scn", text, error)) {
                err << "borne-scenario: " << error << "\n";
                return 2;
            }
        }
    }
    if (!o.save.empty())
        out << "# saved " << plural(broken, "scenario folder") << " in " << o.save.string()
            << (broken > 0 ? ": borne-scenario --suite --check " + rulesFile + " " + o.save.string() : "")
            << "\n";
    return broken == 0 ? 0 : 1;
}

int generate(const Options& o, const std::filesystem::path& dir, std::ostream& out, std::ostream& err) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path target = fs::absolute(dir, ec);
    const bool existed = fs::exists(target, ec);
    if (!prepareFolder(target, dir, err)) return 2;
    const fs::path settings = fs::absolute(o.folder, ec);

    // 1. Learn the graph and which rows each step reaches.
    std::vector<RowSet> rowsOf; // per step: node * kActionCount + action
    RowSet reachable = 0;
    const RowSet all = (RowSet{1} << NB_LIGNES_TABLE) - 1;
    int mode = 0;
    std::string localCode;
    Explorer::Result result;
    std::unique_ptr<Explorer> ex;
    {
        Replay replay(settings, false, o.controller);
        announce(replay, err);
        mode = replay.terminal().modeCourant();
        localCode = std::string(replay.localCode());
        RowLog rows;
        replay.onBuilt = [&](Controleur& t) { t.observer(&rows); };
        ex = std::make_unique<Explorer>(replay, std::vector<PropertyRef>{}, false);
        ex->beforeStep = [&] { rows.rows = 0; };
        ex->onStep = [&](const Explorer::Step& s) {
            const std::size_t i =
                static_cast<std::size_t>(s.from) * kActionCount + static_cast<std::size_t>(s.action);
            if (rowsOf.size() <= i) rowsOf.resize(i + 1, 0);
            rowsOf[i] = rows.rows;
            reachable |= rows.rows;
        };
        ex->enough = [&](int) { return reachable == all; };
        result = ex->run(o.maxTurns, o.maxTurns);
    }
    auto rowsAt = [&](int node, std::size_t a) {
        const std::size_t i = static_cast<std::size_t>(node) * kActionCount + a;
        return i < rowsOf.size() ? rowsOf[i] : RowSet{0};
    };

    // 2. Greedy: each scenario walks from start-up to the nearest step that reaches a row not yet
    // covered, again and again, until it is long enough or nothing new is within reach.
    const int budget = std::max(60, o.maxTurns + 20);
    RowSet covered = 0;
    std::vector<Journey> scenarios;
    std::vector<RowSet> scenarioRows;
    while ((covered & reachable) != reachable) {
        Journey journey;
        RowSet mine = 0;
        int here = 0;
        for (;;) {
            // Breadth-first over the known steps from `here`.
            std::vector<int> back(static_cast<std::size_t>(ex->situations()), -2);
            std::vector<Action> via(back.size(), Action::Wait);
            std::deque<int> queue = {here};
            back[static_cast<std::size_t>(here)] = -1;
            int foundNode = -1;
            std::size_t foundAction = 0;
            while (!queue.empty() && foundNode < 0) {
                const int n = queue.front();
                queue.pop_front();
                for (std::size_t a = 0; a < static_cast<std::size_t>(kActionCount); ++a) {
                    if (rowsAt(n, a) & ~covered) {
                        foundNode = n;
                        foundAction = a;
                        break;
                    }
                    const int to = ex->successor(n, static_cast<Action>(a));
                    if (to < 0 || back[static_cast<std::size_t>(to)] != -2) continue;
                    back[static_cast<std::size_t>(to)] = n;
                    via[static_cast<std::size_t>(to)] = static_cast<Action>(a);
                    queue.push_back(to);
                }
            }
            if (foundNode < 0) break;
            Journey path;
            for (int n = foundNode; back[static_cast<std::size_t>(n)] >= 0;
                 n = back[static_cast<std::size_t>(n)])
                path.push_back(via[static_cast<std::size_t>(n)]);
            std::reverse(path.begin(), path.end());
            path.push_back(static_cast<Action>(foundAction));
            if (!journey.empty() && journey.size() + path.size() > static_cast<std::size_t>(budget)) break;
            int n = here;
            for (Action a : path) {
                mine |= rowsAt(n, static_cast<std::size_t>(a));
                n = ex->successor(n, a);
                journey.push_back(a);
            }
            covered |= mine;
            here = n;
        }
        if (journey.empty()) break; // cannot happen: every reachable row was reached by a known step
        scenarios.push_back(std::move(journey));
        scenarioRows.push_back(mine);
    }

    // 3. Write each scenario folder, its journal taken from a run as the runner makes it. Every write is
    // checked: a suite cut short by a full disk would pass later with truncated scripts, so on a failure
    // what was written goes and the reason is said.
    {
        std::string failure;
        auto writeFile = [&](const fs::path& path, const std::string& text) {
            return files::writeWhole(path, text, failure);
        };
        Replay replay(settings, true, o.controller);
        for (std::size_t i = 0; i < scenarios.size() && failure.empty(); ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "scenario-%02zu", i + 1);
            const fs::path folder = target / name;
            if (!fs::create_directories(folder / "expected", ec) && ec) {
                failure = "cannot make " + (folder / "expected").string() + ": " + ec.message();
                break;
            }
            std::string covers;
            for (int r = 0; r < NB_LIGNES_TABLE; ++r)
                if ((scenarioRows[i] >> r) & 1) {
                    // Appended piece by piece: GCC 12 at -O3 takes `"literal" + std::string&&` for an
                    // overlapping copy (a false -Wrestrict, GCC bug 105651).
                    if (!covers.empty()) covers += ' ';
                    covers += rowName(r);
                }
            replay.clearJournal();
            const std::string script =
                scriptOf(replay, scenarios[i],
                         {"Generated by borne-scenario --generate in " + modeName(replay) + ": " +
                              plural(static_cast<int>(scenarios[i].size()), "turn") + ".",
                          "Rows of the state table it reaches first: " + covers});
            if (!writeFile(folder / "scenario.scn", script)) break;
            bool copied = true;
            for (const char* f : {"Config.cfg", "CHIP.INI"}) {
                std::string text;
                if (!fs::is_regular_file(settings / f, ec)) continue;
                if (!files::readWhole(settings / f, text, failure)) {
                    copied = false;
                    break;
                }
                if (!(copied = writeFile(folder / f, text))) break;
            }
            if (!copied) break;
            std::string journal;
            if (std::string why; !files::readWhole(replay.journal(), journal, why)) {
                failure = "cannot read the journal of " + std::string(name) + " (" + why + ")";
                break;
            }
            if (!writeFile(folder / "expected" / "Log.txt", journal)) break;
        }
        if (!failure.empty()) {
            if (existed)
                for (const auto& entry : fs::directory_iterator(target, ec))
                    fs::remove_all(entry.path(), ec);
            else
                fs::remove_all(target, ec);
            err << "borne-scenario: " << failure << "; the scenario folders written in " << dir.string()
                << " are removed\n";
            return 1;
        }
    }

    out << "generated " << plural(static_cast<int>(scenarios.size()), "scenario folder") << " in "
        << dir.string() << ", covering " << __builtin_popcountll(covered) << " of " << NB_LIGNES_TABLE
        << " rows (" << result.situations << " distinct situations explored)\n";
    if (reachable != all) {
        out << "unreachable in mode " << mode << " (" << nomModeCode(mode) << ") "
            << (result.exhausted ? "however long the journey (every situation of the mode explored)"
                                 : "within " + plural(o.maxTurns, "turn"))
            << ":\n";
        for (int r = 0; r < NB_LIGNES_TABLE; ++r)
            if (!((reachable >> r) & 1)) {
                const std::string reason = reasonFor(r, mode, localCode);
                out << "  " << rowName(r) << (reason.empty() ? "" : "  " + reason) << "\n";
            }
    }
    return 0;
}

int searchMain(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
               bool& handled) {
    handled = false;
    std::string reachTarget, generateDir, rulesFile;
    bool wantReach = false, wantGenerate = false, wantExplore = false, wantCheck = false;
    Options o;
    std::optional<std::string> controllerFile;
    std::vector<std::string> rest;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= arguments.size()) return false;
            into = arguments[++i];
            return true;
        };
        if (a == "--reach") {
            wantReach = true;
            if (!value(reachTarget)) {
                handled = true;
                err << "borne-scenario: --reach needs a TARGET: " << kTargetForms << "\n";
                return 2;
            }
        } else if (a == "--generate") {
            wantGenerate = true;
            if (!value(generateDir)) {
                handled = true;
                err << "borne-scenario: --generate needs a folder\n";
                return 2;
            }
        } else if (a == "--check") {
            wantCheck = true;
            if (!value(rulesFile)) rulesFile.clear();
        } else if (a == "--explore") {
            wantExplore = true;
        } else if (a == "--controller") {
            std::string file;
            if (!value(file)) {
                handled = true;
                err << "borne-scenario: --controller needs a value\n";
                return 2;
            }
            controllerFile = file;
        } else if (a == "--save") {
            std::string dir;
            if (!value(dir)) {
                handled = true;
                err << "borne-scenario: --save needs a folder\n";
                return 2;
            }
            o.save = dir;
        } else if (a == "--within") {
            std::string n;
            const bool ok = value(n) && !n.empty() && n.size() <= 4 &&
                            n.find_first_not_of("0123456789") == std::string::npos && std::stoi(n) >= 1;
            if (!ok) {
                handled = true;
                err << "borne-scenario: --within needs a number of turns from 1 to 9999\n";
                return 2;
            }
            o.maxTurns = std::stoi(n);
        } else {
            rest.push_back(a);
        }
    }
    if (!wantReach && !wantGenerate && !wantExplore) return 0;
    handled = true;
    const int commands = wantReach + wantGenerate + wantExplore;
    std::string problem;
    if (commands > 1 || (wantCheck && !wantExplore))
        problem = "one search at a time (--check RULES goes with --explore, or with a script)";
    else if (wantExplore && !wantCheck)
        problem = "--explore goes with --check RULES";
    else if (!o.save.empty() && !wantExplore)
        problem = "--save goes with --check RULES --explore";
    else if (!rest.empty())
        problem = "unexpected " + rest.front() + " (a search takes no script)";
    if (!problem.empty()) {
        err << "borne-scenario: " << problem << "\nusage:\n" << kSearchUsage;
        return 2;
    }
    if (wantExplore && rulesFile.empty()) {
        err << "borne-scenario: --check needs a RULES file\n";
        return 2;
    }
    // A search tells situations apart by the controller's working values: one that does not describe
    // them cannot be searched.
    std::optional<TypeControleur> controller;
    if (controllerFile) {
        std::string why;
        controller = chargerControleur(*controllerFile, why);
        if (!controller) {
            err << "borne-scenario: --controller " << why << '\n';
            return 2;
        }
        if (!controller->decritValeurs) {
            err << "borne-scenario: --controller " << *controllerFile
                << ": the controller does not describe its working values (valeurs() and "
                   "installerValeurs()), "
                   "so a search cannot tell its situations apart\n";
            return 2;
        }
        if (wantGenerate && !controller->ditLignes) {
            err << "borne-scenario: --controller " << *controllerFile
                << ": the controller does not tell its rows to a turn observer (observer()), so --generate "
                   "cannot see which rows its journeys reach\n";
            return 2;
        }
        o.controller = &*controller;
    }
    if (wantReach) return reach(o, reachTarget, out, err);
    if (wantGenerate) return generate(o, generateDir, out, err);
    return explore(o, rulesFile, out, err);
}

} // namespace borne::search
