#include "tools/report/Gather.h"

#include "tools/files/Files.h"
#include "tools/scenario/Folder.h"
#include "tools/scenario/Timeline.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <map>
#include <ostream>

namespace borne::report {

using scenario::FoundScenario;
using scenario::PairResult;
using scenario::ScenarioOutcome;

namespace {

// Lines shown on each side of the line a page points at.
constexpr std::size_t kAround = 6;
// A journal longer than this shows its first lines only, a timeline its first changes of each signal: a
// report stays readable and small, even for a script of a million turns.
constexpr std::size_t kMaxJournalLines = 400;
constexpr std::size_t kMaxChanges = 2000;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> r;
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t to = text.find('\n', from);
        if (to == std::string::npos) to = text.size();
        r.push_back(text.substr(from, to - from));
        from = to + 1;
    }
    return r;
}

// The whole number at `text`[at...], or nothing.
std::optional<long long> number(std::string_view text, std::size_t at) {
    long long n = 0;
    const auto [end, ec] = std::from_chars(text.data() + at, text.data() + text.size(), n);
    if (ec != std::errc() || end == text.data() + at) return std::nullopt;
    return n;
}

// "NAME:LINE: ..." as the runner words a failed expectation or a refused line: LINE.
std::size_t scriptLine(const std::string& summary) {
    const std::size_t colon = summary.find(':');
    if (colon == std::string::npos) return 0;
    const auto n = number(summary, colon + 1);
    return n && *n > 0 ? static_cast<std::size_t>(*n) : 0;
}

// "NAME: turn N at T ms: ..." (or "start-up at T ms") as a comparison words its first difference.
std::optional<std::pair<std::uint64_t, std::int64_t>> turnAndTime(std::string summary) {
    if (const std::size_t colon = summary.find(": "); colon != std::string::npos) summary.erase(0, colon + 2);
    std::uint64_t turn = 0;
    std::size_t at = 0;
    if (summary.starts_with("turn ")) {
        const auto n = number(summary, 5);
        if (!n) return std::nullopt;
        turn = static_cast<std::uint64_t>(*n);
        at = summary.find(" at ");
    } else if (summary.starts_with("start-up at ")) {
        at = summary.find(" at ");
    } else {
        return std::nullopt;
    }
    if (at == std::string::npos) return std::nullopt;
    const auto ms = number(summary, at + 4);
    if (!ms) return std::nullopt;
    return std::make_pair(turn, static_cast<std::int64_t>(*ms));
}

// The turns a script's line asks for: N for `turn N`, 1 for `turn`, 0 for another command; nothing for
// `until`, whose turns only the run knows.
std::optional<std::uint64_t> turnsOf(std::string_view line) {
    line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
    if (line.starts_with("until")) return std::nullopt;
    if (!line.starts_with("turn") || (line.size() > 4 && line[4] != ' ' && line[4] != '\t')) return 0;
    const std::size_t digits = line.find_first_not_of(" \t", 4);
    const auto n = digits == std::string_view::npos ? std::optional<long long>(1) : number(line, digits);
    return n && *n > 0 ? static_cast<std::uint64_t>(*n) : 1;
}

// The turns a script has ended before its line `line`: the turn an expectation there looks at. 0 when it
// cannot be told (an `until` before it).
std::uint64_t turnsBefore(const std::vector<std::string>& script, std::size_t line) {
    std::uint64_t turns = 0;
    for (std::size_t i = 0; i + 1 < line && i < script.size(); ++i) {
        const auto n = turnsOf(script[i]);
        if (!n) return 0;
        turns += *n;
    }
    return turns;
}

// The script's line whose `turn` runs turn `turn` (from 1): where a comparison's difference happened.
// 0 when it cannot be told.
std::size_t lineOfTurn(const std::vector<std::string>& script, std::uint64_t turn) {
    std::uint64_t turns = 0;
    for (std::size_t i = 0; turn > 0 && i < script.size(); ++i) {
        const auto n = turnsOf(script[i]);
        if (!n) return 0;
        turns += *n;
        if (turns >= turn) return i + 1;
    }
    return 0;
}

Excerpt around(const std::vector<std::string>& all, std::size_t marked) {
    Excerpt e;
    e.marked = marked;
    const std::size_t centre = marked == 0 ? 1 : marked;
    e.first = centre > kAround ? centre - kAround : 1;
    const std::size_t last = std::min(all.size(), centre + kAround);
    for (std::size_t i = e.first; i <= last; ++i)
        e.lines.push_back(all[i - 1]);
    return e;
}

// A journal's lines, its zero bytes shown as \x00 (as the runner's messages show them).
std::vector<std::string> journal(const std::string& bytes) {
    std::string shown;
    for (char ch : bytes)
        if (ch == '\0')
            shown += "\\x00";
        else
            shown += ch;
    std::vector<std::string> r = lines(shown);
    if (r.size() > kMaxJournalLines) r.resize(kMaxJournalLines);
    return r;
}

// A file a run left, or the script it ran; nothing when it is missing or larger than a page should show
// (a runaway script's turn log), so that the report goes on without it.
std::optional<std::string> read(const std::string& path) {
    std::string content, error;
    files::ReadLimits limits;
    limits.maxBytes = std::uintmax_t{16} << 20;
    limits.regularOnly = true;
    if (!files::readWhole(path, content, error, limits)) return std::nullopt;
    return content;
}

std::optional<Timeline> timeline(const std::string& path) {
    const auto text = read(path);
    if (!text) return std::nullopt;
    Timeline t;
    std::map<std::string, std::size_t> index;
    for (const std::string& line : lines(*text)) {
        const std::size_t a = line.find('\t');
        const std::size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
        if (b == std::string::npos) continue;
        const auto at = number(line, 0);
        if (!at) continue;
        const std::string name = line.substr(a + 1, b - a - 1);
        auto [it, added] = index.try_emplace(name, t.signals.size());
        if (added) {
            t.signals.push_back(name);
            t.changes.emplace_back();
        }
        if (t.changes[it->second].size() >= kMaxChanges) continue;
        t.changes[it->second].emplace_back(*at, line.substr(b + 1));
        t.end = std::max<std::int64_t>(t.end, *at);
    }
    // The order a reader expects: the controls as listed, the state last.
    std::vector<std::size_t> order(t.signals.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    const auto rank = [&](std::size_t i) {
        const auto* begin = std::begin(scenario::kTimelineSignals);
        const auto* end = std::end(scenario::kTimelineSignals);
        return static_cast<std::size_t>(std::find(begin, end, t.signals[i]) - begin);
    };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) { return rank(x) < rank(y); });
    Timeline sorted;
    sorted.end = t.end;
    for (std::size_t i : order) {
        sorted.signals.push_back(t.signals[i]);
        sorted.changes.push_back(std::move(t.changes[i]));
    }
    return sorted;
}

// The turn log's lines around turn `turn` (0: from the start).
void turnLog(const std::string& path, std::uint64_t turn, Detail& d) {
    const auto text = read(path);
    if (!text) return;
    std::vector<std::string> all = lines(*text);
    if (all.empty()) return;
    d.turnsHeader = all.front();
    all.erase(all.begin());
    d.turns = around(all, static_cast<std::size_t>(std::min<std::uint64_t>(turn, all.size())));
}

// The pairs' runs again, one worker each as the first time, leaving their details in `folder`.
bool rerun(const std::vector<const PairResult*>& pairs, scenario::SuiteSettings settings, bool terminal,
           const std::string& folder, std::ostream& out, std::string& error) {
    std::vector<FoundScenario> runs;
    settings.controllerOfRun.clear();
    for (const PairResult* p : pairs) {
        runs.push_back(p->run);
        settings.controllerOfRun.push_back(terminal ? nullptr : p->controller);
    }
    settings.compare = false;
    settings.detailFolder = folder;
    settings.results = nullptr;
    std::vector<ScenarioOutcome> outcomes;
    return scenario::runIsolated(runs, settings, out, [](std::size_t, const ScenarioOutcome&) {}, outcomes,
                                 error);
}

std::string today() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &utc);
    return text;
}

} // namespace

Model gather(scenario::RunResults&& results, const Request& request, std::ostream& out) {
    Model m;
    m.kind = request.kind;
    m.rowsAre = request.rowsAre;
    m.columnsAre = request.columnsAre;
    m.settings = request.settings;
    m.sandboxed = request.sandboxed;
    m.date = today();
    m.version = BORNE_VERSION;
    m.rows = std::move(results.rows);
    m.columns = std::move(results.columns);
    m.cells.resize(m.rows.size() * m.columns.size());

    std::vector<const PairResult*> detailed;
    bool counted = false;
    std::vector<coverage::Coverage> rowCoverage(m.rows.size());
    for (const PairResult& p : results.pairs) {
        Cell& c = m.cells[p.row * m.columns.size() + p.column];
        c.verdict = p.verdict;
        if (p.verdict != "PASS") c.summary = p.outcome.summary;
        std::string error;
        if (!p.outcome.coverage.empty())
            if (const auto one = coverage::Coverage::parse(p.outcome.coverage, error)) {
                rowCoverage[p.row].merge(*one);
                counted = true;
            }
        if (p.verdict == "PASS") continue;
        c.detail = static_cast<int>(m.details.size());
        Detail& d = m.details.emplace_back();
        d.row = p.row;
        d.column = p.column;
        d.verdict = p.verdict;
        d.summary = p.outcome.summary;
        d.details = p.outcome.details;
        const std::string script =
            p.run.script.empty() ? p.run.path + "/" + scenario::kScriptFile : p.run.script;
        if (const auto text = p.ran || !p.run.script.empty() ? read(script) : std::nullopt) {
            const std::vector<std::string> all = lines(*text);
            std::size_t line = scriptLine(p.outcome.summary);
            if (const auto parted = turnAndTime(p.outcome.summary); line == 0 && parted)
                line = lineOfTurn(all, parted->first);
            d.script = around(all, line);
            d.turns.marked = static_cast<std::size_t>(turnsBefore(all, d.script.marked));
        }
        if (p.ran) detailed.push_back(&p);
    }
    if (counted) {
        m.classCoverage.emplace();
        for (const coverage::Coverage& c : rowCoverage)
            m.classCoverage->merge(c);
        m.rowCoverage = std::move(rowCoverage);
    }
    if (detailed.empty()) return m;

    const bool compare = request.kind == "compare";
    std::string scratch = scenario::scratchPlace() + "/borne-report-XXXXXX";
    if (::mkdtemp(scratch.data()) == nullptr) {
        m.note = "the failing runs' details could not be gathered: no scratch folder";
        return m;
    }
    std::string error;
    const std::string runs = scratch + "/run", terminal = scratch + "/terminal";
    bool ok = ::mkdir(runs.c_str(), 0700) == 0 && rerun(detailed, request.rerun, false, runs, out, error);
    if (ok && compare)
        ok = ::mkdir(terminal.c_str(), 0700) == 0 && rerun(detailed, request.rerun, true, terminal, out, error);
    if (!ok) m.note = "the failing runs' details could not be gathered: " + error;

    for (std::size_t i = 0; ok && i < detailed.size(); ++i) {
        const PairResult& p = *detailed[i];
        Detail& d = m.details[static_cast<std::size_t>(m.cells[p.row * m.columns.size() + p.column].detail)];
        const std::string name = "/" + std::to_string(i);
        const auto parted = turnAndTime(p.outcome.summary);
        if (parted) d.differenceAt = parted->second;
        turnLog(runs + name + ".turns", parted ? parted->first : d.turns.marked, d);
        d.run = timeline(runs + name + ".timeline");
        if (const auto actual = read(runs + name + ".log")) d.actual = journal(*actual);
        if (compare) {
            d.reference = timeline(terminal + name + ".timeline");
            if (const auto expected = read(terminal + name + ".log")) d.expected = journal(*expected);
            d.expectedName = "the terminal's own";
            d.actualName = "the controller's";
        } else {
            const auto expected = read(p.run.path + "/" + scenario::kExpectedFolder + "/" + scenario::kJournalFile);
            if (expected) d.expected = journal(*expected);
            d.expectedName = "expected";
            d.actualName = "this run's";
        }
    }
    scenario::removeScratch(scratch);
    return m;
}

} // namespace borne::report
