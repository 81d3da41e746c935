#include "tools/report/Site.h"

#include "tools/coverage/Report.h"
#include "tools/coverage/Rows.h"
#include "tools/files/Files.h"
#include "tools/report/Assets.h"

#include <nlohmann/json.hpp>

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <unordered_map>

namespace borne::report {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// Every line and value of the pages once: a class's journals, turn logs and timelines repeat the same
// lines from pair to pair, and the page reads them by number.
class Strings {
public:
    std::size_t operator()(const std::string& text) {
        const auto [it, added] = index_.try_emplace(text, all_.size());
        if (added) all_.push_back(text);
        return it->second;
    }
    json lines(const std::vector<std::string>& lines) {
        json r = json::array();
        for (const std::string& l : lines)
            r.push_back((*this)(l));
        return r;
    }
    const std::vector<std::string>& all() const { return all_; }

private:
    std::unordered_map<std::string, std::size_t> index_;
    std::vector<std::string> all_;
};

json excerpt(const Excerpt& e, Strings& strings) {
    return {{"first", e.first}, {"lines", strings.lines(e.lines)}, {"marked", e.marked}};
}

// A run's main controls in time: [END, [NAME, AT, VALUE, AT, VALUE...]...], names and values by number.
json timeline(const std::optional<Timeline>& t, Strings& strings) {
    if (!t) return nullptr;
    json signals = json::array();
    for (std::size_t i = 0; i < t->signals.size(); ++i) {
        json signal = json::array({strings(t->signals[i])});
        for (const auto& [at, value] : t->changes[i]) {
            signal.push_back(at);
            signal.push_back(strings(value));
        }
        signals.push_back(std::move(signal));
    }
    return json::array({t->end, std::move(signals)});
}

template <class T> json optional(const std::optional<T>& v) {
    return v ? json(*v) : json(nullptr);
}

// What a run covered: turns per state, each transition taken ([from, to, turns]), the rows reached.
json covered(const coverage::Coverage& c) {
    const coverage::Counts counts = c.total();
    json transitions = json::array();
    for (int s = 0; s < NB_ETATS; ++s)
        for (int t = 0; t < NB_ETATS; ++t)
            if (const auto n = counts.transitions[static_cast<std::size_t>(s)][static_cast<std::size_t>(t)])
                transitions.push_back({s, t, n});
    json rows = json::array();
    if (c.rowsTold())
        for (std::size_t i = 0; i < coverage::ROW_COUNT; ++i)
            if (counts.rows[i] != 0) rows.push_back(coverage::rowId(coverage::rows()[i]));
    return {{"states", counts.states}, {"transitions", std::move(transitions)},
            {"rows", c.rowsTold() ? std::move(rows) : json(nullptr)}};
}

json table() {
    json states = json::array();
    for (int s = 0; s < NB_ETATS; ++s)
        states.push_back(coverage::stateName(s));
    json allowed = json::array();
    for (int s = 0; s < NB_ETATS; ++s)
        for (int t = 0; t < NB_ETATS; ++t)
            if (coverage::allowed(s, t)) allowed.push_back({s, t});
    json rows = json::array();
    for (const coverage::Row& r : coverage::rows())
        rows.push_back(coverage::rowId(r));
    return {{"states", std::move(states)}, {"rows", std::move(rows)}, {"allowed", std::move(allowed)}};
}

// The SVG without its XML prolog and doctype: the page parses it as it is, fetching nothing.
std::string bareSvg(const std::string& svg) {
    const std::size_t at = svg.find("<svg");
    return at == std::string::npos ? std::string() : svg.substr(at);
}

} // namespace

namespace {

json detailJson(const Detail& d, Strings& strings) {
    const auto journal = [&](const std::optional<std::vector<std::string>>& lines) {
        return lines ? strings.lines(*lines) : json(nullptr);
    };
    return {{"row", d.row},
            {"column", d.column},
            {"verdict", d.verdict},
            {"summary", strings(d.summary)},
            // Most often the summary and a line break: not said twice.
            {"details", d.details == d.summary + "\n" ? std::string() : d.details},
            {"script", excerpt(d.script, strings)},
            {"turnsHeader", d.turnsHeader},
            {"turns", excerpt(d.turns, strings)},
            {"expectedName", d.expectedName},
            {"actualName", d.actualName},
            {"expected", journal(d.expected)},
            {"actual", journal(d.actual)},
            {"reference", timeline(d.reference, strings)},
            {"run", timeline(d.run, strings)},
            {"differenceAt", optional(d.differenceAt)}};
}

std::string dump(const json& j) {
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

// Each column's pairs that did not pass, in the order of the column's cells: a cell names its pair by its
// place there. A column's pairs share most of their lines (an exercise's expected journal, its turns).
std::vector<std::vector<std::size_t>> pairsOfColumns(const Model& m) {
    std::vector<std::vector<std::size_t>> columns(m.columns.size());
    for (std::size_t r = 0; r < m.rows.size(); ++r)
        for (std::size_t c = 0; c < m.columns.size(); ++c)
            if (const int d = m.cells[r * m.columns.size() + c].detail; d >= 0)
                columns[c].push_back(static_cast<std::size_t>(d));
    return columns;
}

} // namespace

std::string toJson(const Model& m) {
    Strings strings;
    const auto pairs = pairsOfColumns(m);
    std::vector<long long> place(m.details.size(), -1);
    for (const auto& column : pairs)
        for (std::size_t k = 0; k < column.size(); ++k)
            place[column[k]] = static_cast<long long>(k);
    json cells = json::array();
    for (const Cell& c : m.cells)
        cells.push_back({c.verdict, c.summary.empty() ? -1 : static_cast<long long>(strings(c.summary)),
                         c.detail < 0 ? -1 : place[static_cast<std::size_t>(c.detail)]});
    json rowCoverage = json::array();
    for (const coverage::Coverage& c : m.rowCoverage)
        rowCoverage.push_back(covered(c));
    json settings = json::array();
    for (const auto& [name, value] : m.settings)
        settings.push_back({name, value});
    const json j = {{"kind", m.kind},
                    {"rowsAre", m.rowsAre},
                    {"columnsAre", m.columnsAre},
                    {"date", m.date},
                    {"version", m.version},
                    {"sandboxed", optional(m.sandboxed)},
                    {"settings", std::move(settings)},
                    {"rows", m.rows},
                    {"columns", m.columns},
                    {"cells", std::move(cells)},
                    {"strings", strings.all()},
                    {"note", m.note},
                    {"table", table()},
                    {"classCoverage", m.classCoverage ? covered(*m.classCoverage) : json(nullptr)},
                    {"rowCoverage", std::move(rowCoverage)}};
    return dump(j);
}

namespace {

std::string pairsJson(const Model& m, const std::vector<std::size_t>& pairs) {
    Strings strings;
    json details = json::array();
    for (std::size_t d : pairs)
        details.push_back(detailJson(m.details[d], strings));
    return dump({{"details", std::move(details)}, {"strings", strings.all()}});
}

} // namespace

std::string columnJson(const Model& m, std::size_t column) {
    const auto columns = pairsOfColumns(m);
    return pairsJson(m, columns.at(column));
}

bool prepareSite(const std::string& dir, std::string& error) {
    // Checked, not made: a run refused afterwards (a report among the suite's inputs) leaves nothing.
    const fs::path d(dir);
    std::error_code ec;
    const auto status = fs::status(d, ec);
    if (dir.empty()) {
        error = "--report needs a folder";
    } else if (fs::exists(status) && !fs::is_directory(status)) {
        error = "--report: " + dir + " exists and is not a folder";
    } else if (fs::exists(status) && ::access(dir.c_str(), W_OK | X_OK) != 0) {
        error = "--report: cannot write in " + dir + ": " + std::strerror(errno);
    } else if (!fs::exists(status)) {
        std::string name = dir;
        while (name.size() > 1 && name.back() == '/')
            name.pop_back();
        fs::path parent = fs::path(name).parent_path();
        if (parent.empty()) parent = ".";
        if (!fs::is_directory(parent, ec))
            error = "--report: cannot create " + dir + ": no folder " + parent.string();
        else if (::access(parent.c_str(), W_OK | X_OK) != 0)
            error = "--report: cannot create " + dir + ": " + std::strerror(errno);
    }
    return error.empty();
}

bool writeSite(const Model& model, const std::string& dir, std::string& error) {
    const fs::path d(dir);
    std::error_code ec;
    if (!fs::is_directory(d, ec) && !fs::create_directory(d, ec)) {
        error = "cannot create " + dir + ": " + ec.message();
        return false;
    }
    std::string why;
    const auto svg = coverage::toSvg(coverage::plainDot(), dir, why);
    const json diagram = svg ? json(bareSvg(*svg)) : json(nullptr);
    const std::string data = "window.BORNE_REPORT = " + toJson(model) + ";\nwindow.BORNE_DIAGRAM = " +
                             diagram.dump(-1, ' ', false, json::error_handler_t::replace) +
                             ";\nwindow.BORNE_DIAGRAM_MISSING = " + json(why).dump() + ";\n";
    for (const auto& [name, content] : {std::pair<const char*, std::string_view>{"index.html", kIndexHtml},
                                        {"report.css", kReportCss},
                                        {"report.js", kReportJs},
                                        {"data.js", data}})
        if (!files::writeWhole(d / name, content, error)) return false;
    // A pair's page reads its column's file only: the class page loads the grid alone, whatever the class.
    const fs::path pairs = d / "pairs";
    fs::remove_all(pairs, ec);
    if (!fs::create_directory(pairs, ec)) {
        error = "cannot create " + pairs.string() + ": " + ec.message();
        return false;
    }
    const auto columns = pairsOfColumns(model);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].empty()) continue;
        const std::string script = "window.BORNE_PAIRS = window.BORNE_PAIRS || {};\nwindow.BORNE_PAIRS[" +
                                   std::to_string(c) + "] = " + pairsJson(model, columns[c]) + ";\n";
        if (!files::writeWhole(pairs / (std::to_string(c) + ".js"), script, error)) return false;
    }
    return true;
}

} // namespace borne::report
