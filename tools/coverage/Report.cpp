#include "tools/coverage/Report.h"

#include "tools/files/Files.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <ostream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace borne::coverage {

namespace fs = std::filesystem;

namespace {

std::string pad(std::string s, std::size_t width) {
    if (s.size() < width) s.append(width - s.size(), ' ');
    return s;
}

std::string padLeft(const std::string& s, std::size_t width) {
    return s.size() < width ? std::string(width - s.size(), ' ') + s : s;
}

std::uint64_t taken(const Counts& c, int from, int to) {
    return c.transitions[static_cast<std::size_t>(from)][static_cast<std::size_t>(to)];
}

// The transitions a report lists: every one the table allows, and any other that was taken.
template <typename F> void forEachTransition(const Counts& c, F f) {
    for (int s = 0; s < NB_ETATS; ++s)
        for (int t = 0; t < NB_ETATS; ++t)
            if (allowed(s, t) || taken(c, s, t) != 0) f(s, t, taken(c, s, t));
}

std::string transitionName(int from, int to) {
    return std::string(stateName(from)) + " -> " + stateName(to);
}

// What a report says in place of row counts for a controller that does not tell its rows.
constexpr const char* kRowsNotTold = "not told by this controller";

// One set of counts as JSON: the states, the transitions a report lists, and the rows (or why there are
// none).
nlohmann::ordered_json jsonCounts(const Counts& c, bool rowsTold) {
    nlohmann::ordered_json states = nlohmann::ordered_json::object();
    for (int s = 0; s < NB_ETATS; ++s)
        states[stateName(s)] = c.states[static_cast<std::size_t>(s)];
    nlohmann::ordered_json transitions = nlohmann::ordered_json::object();
    forEachTransition(c, [&](int s, int t, std::uint64_t n) { transitions[transitionName(s, t)] = n; });
    nlohmann::ordered_json rowCounts = kRowsNotTold;
    if (rowsTold) {
        rowCounts = nlohmann::ordered_json::object();
        for (std::size_t i = 0; i < ROW_COUNT; ++i)
            rowCounts[rowId(rows()[i])] = c.rows[i];
    }
    return {{"states", std::move(states)},
            {"transitions", std::move(transitions)},
            {"rows", std::move(rowCounts)}};
}

void summaryLines(std::string& out, const Counts& c, bool rowsTold) {
    out += "rows: " +
           (rowsTold ? std::to_string(c.rowsCovered()) + " of " + std::to_string(ROW_COUNT) : kRowsNotTold) +
           '\n';
    out += "transitions: " + std::to_string(c.allowedTransitionsCovered()) + " of " +
           std::to_string(allowedCount()) + " that the table allows";
    const int outside = c.transitionsOutsideTable();
    if (outside != 0) out += ", and " + std::to_string(outside) + " outside the table";
    out += '\n';
    out += "states: " + std::to_string(c.statesCovered()) + " of " + std::to_string(NB_ETATS) + '\n';
}

void textSection(std::string& out, const std::string& title, const Counts& c, bool rowsTold) {
    out += "== " + title + "\n";
    constexpr std::size_t kCondition = 58;
    std::size_t r = 0;
    for (int s = 0; s < NB_ETATS; ++s) {
        out += "\n" + std::to_string(s) + "  " + stateName(s) +
               "  (turns started: " + std::to_string(c.states[static_cast<std::size_t>(s)]) + ")\n";
        if (r == ROW_COUNT || rows()[r].etat != s) out += "     (no rows: nothing happens in this state)\n";
        for (; r < ROW_COUNT && rows()[r].etat == s; ++r) {
            if (!rowsTold) continue; // the rows' counts would be zeros that mean nothing
            out += "   " + pad(rowId(rows()[r]), 6) + pad(rows()[r].condition, kCondition) +
                   padLeft(std::to_string(c.rows[r]), 8);
            if (c.rows[r] == 0) out += "  <- not covered";
            out += '\n';
        }
        for (int t = 0; t < NB_ETATS; ++t) {
            const auto n = taken(c, s, t);
            if (!allowed(s, t) && n == 0) continue;
            out += "   -> " + pad(std::to_string(t) + ' ' + stateName(t), kCondition + 3) +
                   padLeft(std::to_string(n), 8);
            if (!allowed(s, t))
                out += "  <- outside the table";
            else if (n == 0)
                out += "  <- not taken";
            out += '\n';
        }
    }
    out += '\n';
    summaryLines(out, c, rowsTold);
}

// The counts of one file, written beside it first and renamed over it, so a reader never sees half.
bool writeFile(const fs::path& dir, const char* name, const std::string& content, std::ostream& messages) {
    const fs::path final = dir / name;
    const fs::path temporary = dir / (std::string(".") + name + ".tmp");
    std::string error;
    bool ok = files::writeWhole(temporary, content, error);
    if (ok && std::rename(temporary.c_str(), final.c_str()) != 0) {
        ok = false;
        error = "cannot write " + final.string() + ": " + std::strerror(errno);
    }
    if (!ok) {
        std::remove(temporary.c_str());
        messages << "coverage: " << error << '\n';
    }
    return ok;
}

std::optional<std::string> onPath(const char* program) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return std::nullopt;
    std::string_view rest(path);
    while (true) {
        const auto colon = rest.find(':');
        std::string folder(rest.substr(0, colon));
        if (folder.empty()) folder = ".";
        const std::string candidate = folder + '/' + program;
        if (::access(candidate.c_str(), X_OK) == 0 && fs::is_regular_file(candidate)) return candidate;
        if (colon == std::string_view::npos) return std::nullopt;
        rest.remove_prefix(colon + 1);
    }
}

// Renders states.dot into states.svg with Graphviz; what dot says on failure is passed on.
// Runs dot on `input` into `output`: what it prints goes to `said` (its first 4 KiB), why it failed to
// `failure` (left empty when it did not). False when no pipe can be made (errno says why).
bool runDot(const std::string& dot, const std::string& input, const std::string& output, std::string& failure,
            std::string& said) {
    int tube[2];
    if (::pipe(tube) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, tube[1], 1);
    posix_spawn_file_actions_adddup2(&actions, tube[1], 2);
    posix_spawn_file_actions_addclose(&actions, tube[0]);
    posix_spawn_file_actions_addclose(&actions, tube[1]);
    std::string a0 = "dot", a1 = "-Tsvg", a2 = "-o", a3 = output, a4 = input;
    char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data(), a4.data(), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, dot.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(tube[1]);

    char buffer[4096];
    ssize_t n;
    while ((n = ::read(tube[0], buffer, sizeof buffer)) != 0) {
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (said.size() < 4096) said.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(tube[0]);

    if (spawned != 0) {
        failure = std::string("cannot run ") + dot + ": " + std::strerror(spawned);
        return true;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
        failure = dot + " failed with exit status " + std::to_string(WEXITSTATUS(status));
    else if (WIFSIGNALED(status))
        failure = dot + " was killed by signal " + std::to_string(WTERMSIG(status));
    return true;
}

void render(const fs::path& dir, std::ostream& messages) {
    const auto dot = onPath("dot");
    if (!dot) {
        messages << "coverage: states.svg not written: Graphviz's dot is not on the PATH (on Debian: "
                    "apt-get install graphviz); the other files are complete\n";
        return;
    }
    const std::string temporary = (dir / ".states.svg.tmp").string();
    const std::string final = (dir / "states.svg").string();
    std::string failure, said;
    if (!runDot(*dot, (dir / "states.dot").string(), temporary, failure, said)) {
        messages << "coverage: states.svg not written: " << std::strerror(errno) << '\n';
        return;
    }
    if (failure.empty() && std::rename(temporary.c_str(), final.c_str()) != 0)
        failure = "cannot write " + final + ": " + std::strerror(errno);
    if (!failure.empty()) {
        std::remove(temporary.c_str());
        messages << "coverage: states.svg not written: " << failure << "; the other files are complete\n";
        while (!said.empty() && said.back() == '\n')
            said.pop_back();
        if (!said.empty()) messages << "dot said: " << said << '\n';
    }
}

} // namespace

std::string toJson(const Coverage& coverage) {
    nlohmann::ordered_json modes = nlohmann::ordered_json::object();
    for (int m = 0; m < MODE_COUNT; ++m)
        if (coverage.ran(m)) modes[std::to_string(m)] = jsonCounts(coverage.counts(m), coverage.rowsTold());
    const nlohmann::ordered_json report = {{"modes", std::move(modes)},
                                           {"total", jsonCounts(coverage.total(), coverage.rowsTold())}};
    return report.dump(2) + '\n';
}

std::string toText(const Coverage& coverage) {
    std::string out = "Coverage of the access cycle's state table.\n"
                      "A row counts once in each turn in which the cycle reached it; a transition runs from "
                      "the state a\nturn started in to the state chosen at the end of the table's step.\n\n";
    if (!coverage.rowsTold())
        out += "Rows are not told by this controller: only its turns' states and transitions are counted, a\n"
               "transition once its turn has ended.\n\n";
    std::string modes;
    for (int m = 0; m < MODE_COUNT; ++m)
        if (coverage.ran(m)) modes += (modes.empty() ? "" : ", ") + std::to_string(m);
    textSection(out, "total, modes " + (modes.empty() ? std::string("none") : modes), coverage.total(),
                coverage.rowsTold());
    for (int m = 0; m < MODE_COUNT; ++m) {
        if (!coverage.ran(m)) continue;
        out += '\n';
        textSection(out, "mode " + std::to_string(m) + " (" + modeName(m) + ")", coverage.counts(m),
                    coverage.rowsTold());
    }
    return out;
}

std::string toDot(const Coverage& coverage) {
    const Counts c = coverage.total();
    std::string out =
        "// The access cycle's states: every transition the table allows, labelled with the rows that take\n"
        "// it, solid with its count when some turn took it, dashed and grey when none did.\n"
        "digraph states {\n"
        "  node [shape=box, style=rounded, fontname=\"Helvetica\", fontsize=10];\n"
        "  edge [fontname=\"Helvetica\", fontsize=9];\n";
    for (int s = 0; s < NB_ETATS; ++s) {
        const auto n = c.states[static_cast<std::size_t>(s)];
        out += "  s" + std::to_string(s) + " [label=\"" + std::to_string(s) + " " + stateName(s) + "\\n" +
               std::to_string(n) + (n == 1 ? " turn" : " turns") + "\"";
        if (n == 0) out += ", color=grey, fontcolor=grey";
        out += "];\n";
    }
    // The start states side by side at the top.
    out += "  { rank=same; s0; s15; s16; s17; }\n";
    forEachTransition(c, [&](int s, int t, std::uint64_t n) {
        out += "  s" + std::to_string(s) + " -> s" + std::to_string(t);
        if (!allowed(s, t))
            out += " [label=\"" + std::to_string(n) + " (outside the table)\", color=red, fontcolor=red]";
        else if (n == 0)
            out += " [label=\"" + transitionRows(s, t) + "\", style=dashed, color=grey, fontcolor=grey]";
        else
            out += " [label=\"" + transitionRows(s, t) + "\\n" + std::to_string(n) + "\"]";
        out += ";\n";
    });
    out += "}\n";
    return out;
}

std::string plainDot() {
    std::string out = "digraph states {\n"
                      "  node [shape=box, style=rounded, fontname=\"Helvetica\", fontsize=10];\n"
                      "  edge [fontname=\"Helvetica\", fontsize=9];\n";
    for (int s = 0; s < NB_ETATS; ++s)
        out += "  s" + std::to_string(s) + " [label=\"" + std::to_string(s) + " " + stateName(s) + "\"];\n";
    out += "  { rank=same; s0; s15; s16; s17; }\n";
    forEachTransition(Counts{}, [&](int s, int t, std::uint64_t) {
        out += "  s" + std::to_string(s) + " -> s" + std::to_string(t) + " [label=\"" + transitionRows(s, t) +
               "\"];\n";
    });
    return out + "}\n";
}

std::optional<std::string> toSvg(const std::string& dotText, const std::string& folder, std::string& why) {
    const auto dot = onPath("dot");
    if (!dot) {
        why = "Graphviz's dot is not on the PATH (on Debian: apt-get install graphviz)";
        return std::nullopt;
    }
    const fs::path dir(folder);
    const std::string input = (dir / ".states.dot.tmp").string(), output = (dir / ".states.svg.tmp").string();
    std::string failure, said;
    if (!files::writeWhole(input, dotText, why)) return std::nullopt;
    const bool ran = runDot(*dot, input, output, failure, said);
    std::remove(input.c_str());
    std::string svg;
    if (ran && failure.empty()) files::readWhole(output, svg, failure);
    std::remove(output.c_str());
    if (!ran) failure = std::strerror(errno);
    if (!failure.empty()) {
        why = failure;
        return std::nullopt;
    }
    return svg;
}

std::string summary(const Coverage& coverage) {
    auto line = [told = coverage.rowsTold()](const Counts& c) {
        std::string r =
            "rows " +
            (told ? std::to_string(c.rowsCovered()) + " of " + std::to_string(ROW_COUNT) : kRowsNotTold) +
            ", transitions " + std::to_string(c.allowedTransitionsCovered()) + " of " +
            std::to_string(allowedCount()) + ", states " + std::to_string(c.statesCovered()) + " of " +
            std::to_string(NB_ETATS);
        if (const int outside = c.transitionsOutsideTable())
            r += ", " + std::to_string(outside) + " transitions outside the table";
        return r + '\n';
    };
    std::string out;
    for (int m = 0; m < MODE_COUNT; ++m)
        if (coverage.ran(m))
            out += "  mode " + std::to_string(m) + " (" + modeName(m) + "): " + line(coverage.counts(m));
    out += "  total: " + line(coverage.total());
    return out;
}

bool prepareFolder(const std::string& folder, std::string& error) {
    const fs::path dir(folder);
    std::error_code ec;
    if (dir.empty()) {
        error = "no coverage folder given";
        return false;
    }
    const auto status = fs::status(dir, ec);
    if (fs::exists(status) && !fs::is_directory(status)) {
        error = dir.string() + " exists and is not a folder";
        return false;
    }
    if (!fs::exists(status) && !fs::create_directory(dir, ec)) {
        error = "cannot create " + dir.string() + ": " + ec.message();
        return false;
    }
    // A probe, so that a folder one may not write in is refused before the run rather than after it.
    const fs::path probe = dir / ".coverage-probe";
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) {
        error = "cannot write in " + dir.string() + ": " + std::strerror(errno);
        return false;
    }
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

bool writeReport(const std::string& folder, const Coverage& coverage, std::ostream& messages) {
    const fs::path dir(folder);
    bool ok = writeFile(dir, "coverage.json", toJson(coverage), messages);
    ok = writeFile(dir, "coverage.txt", toText(coverage), messages) && ok;
    const bool dotWritten = writeFile(dir, "states.dot", toDot(coverage), messages);
    if (dotWritten) render(dir, messages);
    return ok && dotWritten;
}

} // namespace borne::coverage
