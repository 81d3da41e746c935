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

namespace borne::report {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

json excerpt(const Excerpt& e) {
    return {{"first", e.first}, {"lines", e.lines}, {"marked", e.marked}};
}

json timeline(const std::optional<Timeline>& t) {
    if (!t) return nullptr;
    json signals = json::array();
    for (std::size_t i = 0; i < t->signals.size(); ++i) {
        json changes = json::array();
        for (const auto& [at, value] : t->changes[i])
            changes.push_back({at, value});
        signals.push_back({{"name", t->signals[i]}, {"changes", std::move(changes)}});
    }
    return {{"end", t->end}, {"signals", std::move(signals)}};
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
    return {{"states", std::move(states)}, {"rowCount", coverage::ROW_COUNT}, {"allowed", std::move(allowed)}};
}

// The SVG without its XML prolog and doctype: the page parses it as it is, fetching nothing.
std::string bareSvg(const std::string& svg) {
    const std::size_t at = svg.find("<svg");
    return at == std::string::npos ? std::string() : svg.substr(at);
}

} // namespace

std::string toJson(const Model& m) {
    json cells = json::array();
    for (const Cell& c : m.cells)
        cells.push_back({c.verdict, c.summary, c.detail});
    json details = json::array();
    for (const Detail& d : m.details)
        details.push_back({{"row", d.row},
                           {"column", d.column},
                           {"verdict", d.verdict},
                           {"summary", d.summary},
                           {"details", d.details},
                           {"script", excerpt(d.script)},
                           {"turnsHeader", d.turnsHeader},
                           {"turns", excerpt(d.turns)},
                           {"expectedName", d.expectedName},
                           {"actualName", d.actualName},
                           {"expected", optional(d.expected)},
                           {"actual", optional(d.actual)},
                           {"reference", timeline(d.reference)},
                           {"run", timeline(d.run)},
                           {"differenceAt", optional(d.differenceAt)}});
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
                    {"details", std::move(details)},
                    {"note", m.note},
                    {"table", table()},
                    {"classCoverage", m.classCoverage ? covered(*m.classCoverage) : json(nullptr)},
                    {"rowCoverage", std::move(rowCoverage)}};
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
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
    return true;
}

} // namespace borne::report
