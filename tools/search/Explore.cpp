#include "tools/search/Commands.h"

#include "control/Controleur.h"
#include "tools/files/Files.h"
#include "tools/search/Common.h"
#include "tools/search/Explorer.h"
#include "tools/search/Journeys.h"
#include "tools/rules/Rules.h"

#include <algorithm>
#include <climits>
#include <ostream>
#include <sstream>

namespace borne::search {

namespace {

namespace fs = std::filesystem;

// The replay the rules watch: each reset reloads them, and while `checkBuilt` is on, the panel as built
// and what start-up leaves are checked too.
struct WatchedReplay {
    WatchedReplay(const SearchSettings& o, const RuleSet& rules, std::ostream& err)
        : replay(o.folder, false, o.controller), watch(rules, [this] { return replay.now(); }) {
        announce(replay, err);
        replay.onReset = [this] {
            watch.attach(nullptr);
            watch.reload();
            if (checkBuilt) watch.check("the panel as built");
        };
        replay.onBuilt = [this](Controleur& t) {
            watch.attach(&t);
            // What start-up leaves counts before any step, even when no write follows.
            if (checkBuilt) watch.check(kAtStartUp);
        };
    }
    WatchedReplay(const WatchedReplay&) = delete;
    WatchedReplay& operator=(const WatchedReplay&) = delete;

    // Start-up, watched once: its violations need no journey.
    std::vector<std::optional<Violation>> startUp() {
        watch.enable(true);
        replay.restart();
        auto found = watch.violations();
        watch.enable(false);
        checkBuilt = false;
        return found;
    }

    // `journey` run once more, watched from start-up, as a script.
    std::string rerun(const Journey& journey) {
        watch.reset();
        watch.enable(true);
        checkBuilt = true;
        std::string script = scriptOf(replay, journey, {});
        checkBuilt = false;
        watch.enable(false);
        return script;
    }

    Replay replay;
    RuleWatch watch;
    bool checkBuilt = true;
};

// The lighting and message switches change only the display's background and the journal's event (and
// show on their own boxes): they are worth trying only when a rule reads one of those.
bool readsDisplay(const RuleSet& rules) {
    bool display = false;
    for (const PropertyRef& p : rules.properties) {
        const std::string& name = p.control->nom();
        display = display || (p.property == Propriete::Color && (name == "Edit1" || name == "Edit2")) ||
                  name == "Evenement" || name == "CheckBox7" || name == "CheckBox9";
    }
    return display;
}

// Every rule's breaking steps (none for a rule start-up already breaks), until each rule is broken by a
// journey no shorter one can beat, or every journey up to `maxTurns` was tried.
struct Breaks {
    std::vector<std::optional<Violation>> atStart;
    std::vector<std::vector<Hit>> hits;
    bool settled(std::size_t r) const { return atStart[r] || !hits[r].empty(); }
};

Explorer::Result findBreaks(Explorer& ex, RuleWatch& watch, Breaks& breaks, int maxTurns) {
    const std::size_t n = breaks.atStart.size();
    breaks.hits.assign(n, {});
    std::vector<int> shortest(n, INT_MAX);
    ex.beforeStep = [&] {
        watch.reset();
        watch.enable(true);
    };
    ex.onStep = [&](const Explorer::Step& s) {
        watch.enable(false);
        for (std::size_t r = 0; r < n; ++r)
            if (watch.violations()[r]) {
                breaks.hits[r].push_back({s.from, s.action});
                shortest[r] = std::min(shortest[r], bound(ex, breaks.hits[r].back()));
            }
    };
    ex.enough = [&](int turns) {
        for (std::size_t r = 0; r < n; ++r)
            if (!breaks.settled(r) || (!breaks.atStart[r] && turns < shortest[r])) return false;
        return true;
    };
    // A rule that holds is only known to once every journey has been tried: the walks may then take
    // whatever untried step is closest, whatever its level.
    return ex.run(maxTurns, maxTurns);
}

// The line for a rule that no journey broke.
void tellHolds(std::ostream& out, const std::string& where, const Rule& rule, const Explorer::Result& result,
               int maxTurns) {
    if (result.exhausted)
        out << "# " << where << ": holds for every journey (all " << result.situations
            << " situations the mode has were explored): " << rule.text << "\n";
    else
        out << "# " << where << ": holds for every journey of up to " << plural(maxTurns, "turn") << " ("
            << result.situations << " distinct situations explored): " << rule.text << "\n";
}

// The script that breaks rule `r`, headed by when and how it breaks it.
std::string breakingScript(WatchedReplay& watched, const Journey& journey, std::size_t r,
                           const std::string& where, const Rule& rule, const std::string& rulesFile) {
    // Run once more, watched, for the instant and the write that break the rule.
    const std::string script = watched.rerun(journey);
    const auto& v = watched.watch.violations()[r];
    std::ostringstream head;
    head << "Breaks " << where << " (" << rule.text << ") in " << modeName(watched.replay) << " after "
         << plural(static_cast<int>(journey.size()), "turn") << ", " << plural(actionsIn(journey), "action");
    if (v) head << "; first at " << v->instant << " ms, by " << v->write;
    return "# " + head.str() + ".\n# Run it with --check " + rulesFile + " to see it fail.\n" + script;
}

// Where --save puts the scenario folders, and what goes beside each script; taken before the replay
// moves into a scratch folder of its own.
struct SavePlace {
    fs::path to;
    fs::path rules;
    fs::path settings;
};

// A scenario folder that --suite --check runs as it stands: the rules file goes beside it.
bool saveFolder(const SavePlace& place, const Rule& rule, const std::string& text, std::ostream& err) {
    std::error_code ec;
    const fs::path folder = place.to / ("rule-" + std::to_string(rule.line));
    fs::create_directories(folder, ec);
    copySettings(place.settings, folder);
    fs::copy_file(place.rules, folder / place.rules.filename(), ec);
    if (std::string error; !files::writeWhole(folder / "scenario.scn", text, error)) {
        err << "borne-scenario: " << error << "\n";
        return false;
    }
    return true;
}

} // namespace

int explore(const SearchSettings& o, const std::string& rulesFile, std::ostream& out, std::ostream& err) {
    RuleSet rules;
    std::string error;
    if (!loadRules(rulesFile, rules, error)) {
        err << error;
        return 2;
    }
    std::error_code ec;
    const SavePlace place{o.save.empty() ? fs::path() : fs::absolute(o.save, ec), fs::absolute(rulesFile, ec),
                          fs::absolute(o.folder, ec)};
    if (!o.save.empty() && !prepareFolder(place.to, o.save, err)) return 2;

    WatchedReplay watched(o, rules, err);
    Breaks breaks{watched.startUp(), {}};
    Explorer ex(watched.replay, rules.properties, readsDisplay(rules));
    const Explorer::Result result = findBreaks(ex, watched.watch, breaks, o.maxTurns);

    int broken = 0;
    for (std::size_t r = 0; r < rules.rules.size(); ++r) {
        const Rule& rule = rules.rules[r];
        const std::string where = rulesFile + ":" + std::to_string(rule.line);
        if (!breaks.settled(r)) {
            tellHolds(out, where, rule, result, o.maxTurns);
            continue;
        }
        ++broken;
        const Journey journey = breaks.atStart[r] ? Journey{} : best(ex, breaks.hits[r]);
        const std::string text = breakingScript(watched, journey, r, where, rule, rulesFile);
        out << text << "\n";
        if (!o.save.empty() && !saveFolder(place, rule, text, err)) return 2;
    }
    if (!o.save.empty())
        out << "# saved " << plural(broken, "scenario folder") << " in " << o.save.string()
            << (broken > 0 ? ": borne-scenario --suite --check " + rulesFile + " " + o.save.string() : "")
            << "\n";
    return broken == 0 ? 0 : 1;
}

} // namespace borne::search
