#include "tools/scenario/Controllers.h"

#include "tools/files/Csv.h"
#include "tools/files/Files.h"
#include "tools/grammar/Show.h"
#include "tools/scenario/Gradebook.h"
#include "tools/scenario/Junit.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <ostream>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace borne::scenario {

namespace {

bool isFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The *.so files of a folder (hidden ones left out), in byte order; false with a message when it cannot
// be read.
bool pluginsIn(const std::string& folder, std::vector<std::string>& files, std::string& error) {
    DIR* d = ::opendir(folder.c_str());
    if (d == nullptr) {
        error = "cannot read folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n.front() != '.' && n.size() > 3 && n.ends_with(".so") && !isFolder(folder + "/" + n))
            names.push_back(n);
    }
    const int failure = errno;
    ::closedir(d);
    if (failure != 0) {
        error = "cannot read folder " + folder + ": " + std::strerror(failure);
        return false;
    }
    std::sort(names.begin(), names.end());
    const std::string prefix = folder.ends_with('/') ? folder : folder + "/";
    for (const std::string& n : names)
        files.push_back(prefix + n);
    return true;
}

std::string ownFileName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

const char* word(const ScenarioOutcome& o) {
    return o.passed ? "PASS" : o.error ? "ERROR" : "FAIL";
}

} // namespace

bool loadControllers(const std::vector<std::string>& files, std::vector<NamedController>& into,
                     std::string& error, const protocol::Settings& settings) {
    std::vector<std::string> all;
    for (const std::string& f : files) {
        if (!isFolder(f)) {
            all.push_back(f);
            continue;
        }
        const std::size_t before = all.size();
        if (!pluginsIn(f, all, error)) return false;
        if (all.size() == before) {
            error = f + ": a folder without any *.so file";
            return false;
        }
    }
    std::set<std::string> seen;
    std::set<std::string> names;
    for (const std::string& f : all) {
        // The same library twice would be the same results twice.
        const std::string real = files::realPath(f);
        if (!real.empty() && !seen.insert(real).second) continue;
        protocol::Settings outside = settings;
        outside.outOfProcess = true;
        auto type = protocol::loadController(f, outside, error);
        if (!type) return false;
        std::string name = ownFileName(f);
        const std::string given = name;
        for (int n = 2; !names.insert(name).second; ++n)
            name = given + " (" + std::to_string(n) + ")";
        into.push_back({name, std::move(*type)});
    }
    return true;
}

namespace {

// The outputs are known to be writable before anything runs. The tables are replaced only once they are
// whole, so a stop leaves the previous ones as they were; `made` gets those this run creates.
bool openReports(const ClassSettings& settings, const std::vector<FoundScenario>& folders, JunitWriter& junit,
                 std::vector<std::string>& made, std::ostream& err) {
    if (const std::string problem = refusedOutputs(settings.suite, folders,
                                                   {{"--grades", settings.gradesPath},
                                                    {"--gradebook", settings.gradebookPath},
                                                    {"--gradescope", settings.gradescopePath}});
        !problem.empty()) {
        err << "borne-scenario: " << problem << '\n';
        return false;
    }
    std::string error;
    if (!settings.suite.junitPath.empty() &&
        !junit.open(settings.suite.junitPath, error,
                    std::chrono::steady_clock::now() + settings.suite.wallLimit)) {
        err << "borne-scenario: " << error << '\n';
        return false;
    }
    for (const std::string* path :
         {&settings.gradesPath, &settings.gradebookPath, &settings.gradescopePath}) {
        if (path->empty()) continue;
        struct stat st;
        const bool existed = ::stat(path->c_str(), &st) == 0;
        std::FILE* f = std::fopen(path->c_str(), "ab");
        if (f == nullptr) {
            err << "borne-scenario: cannot write " << *path << ": " << std::strerror(errno) << '\n';
            return false;
        }
        std::fclose(f);
        if (!existed) made.push_back(*path);
    }
    return true;
}

// Controller after controller, the same folders each time, in one pool; a controller's failures are
// printed under its name as they come. On a failure of the bench, the tables made for this run go.
bool runPairs(const ClassSettings& settings, const std::vector<FoundScenario>& folders,
              const std::vector<std::string>& made, std::vector<ScenarioOutcome>& outcomes, std::ostream& out,
              std::ostream& err) {
    const std::vector<NamedController>& controllers = settings.controllers;
    std::vector<FoundScenario> runs;
    SuiteSettings suite = settings.suite;
    suite.controllerOfRun.clear();
    for (const NamedController& c : controllers)
        for (const FoundScenario& f : folders) {
            runs.push_back(f);
            suite.controllerOfRun.push_back(&c.type);
        }
    const auto read = [&](std::size_t i, const ScenarioOutcome& o) {
        if (i % folders.size() == 0) out << "== " << visible(controllers[i / folders.size()].name) << '\n';
        printOutcome(out, "FAIL", folders[i % folders.size()].name, o);
    };
    std::string error;
    if (runIsolated(runs, suite, out, read, outcomes, error)) return true;
    for (const std::string& path : made)
        ::unlink(path.c_str());
    // The reader that left asked for nothing more.
    if (suiteInterruption() != SIGPIPE) {
        err << "borne-scenario: " << error;
        for (const std::string* report : {&settings.suite.junitPath, &settings.gradesPath,
                                          &settings.gradebookPath, &settings.gradescopePath})
            if (!report->empty()) err << ", " << *report << " is left as it was";
        err << '\n';
    }
    return false;
}

struct Tally {
    std::string table = "controller,folder,result,first failure\r\n"; // the grades, as CSV
    std::vector<SuiteReport> reports;                                 // one JUnit suite per controller
    Gradebook book{"controller", {}, {}};
    double seconds = 0;
    std::size_t caught = 0; // controllers on which a folder failed
    std::size_t errors = 0; // pairs the bench could not run
    bool allPassed = true;
};

// One summary line per controller and how many the suite catches, with the grades and reports to write.
Tally tally(const ClassSettings& settings, const std::vector<FoundScenario>& folders,
            const std::vector<ScenarioOutcome>& outcomes, std::ostream& out) {
    const std::vector<NamedController>& controllers = settings.controllers;
    Tally t;
    // A class run without a sandbox says so in every report, a column of its own in the grades.
    const std::string unsandboxed = settings.sandboxed ? "" : ",no";
    if (!settings.sandboxed) t.table = "controller,folder,result,first failure,sandboxed\r\n";
    for (const FoundScenario& f : folders)
        t.book.columns.push_back(f.name);
    for (std::size_t c = 0; c < controllers.size(); ++c) {
        SuiteReport& report = t.reports.emplace_back();
        report.name = controllers[c].name;
        if (!settings.sandboxed) report.properties.emplace_back("sandboxed", "no");
        Gradebook::Row& row = t.book.rows.emplace_back();
        row.name = controllers[c].name;
        std::size_t passed = 0, failed = 0, broken = 0;
        for (std::size_t f = 0; f < folders.size(); ++f) {
            const ScenarioOutcome& o = outcomes[c * folders.size() + f];
            (o.passed ? passed : o.error ? broken : failed)++;
            report.cases.push_back({folders[f].name, o.seconds, o.passed, o.summary, o.details, o.error});
            report.seconds += o.seconds;
            row.cells.push_back(
                {o.passed, word(o), o.passed ? std::string() : cellOutput(o.summary, o.details)});
            t.table += files::csvCell(controllers[c].name) + ',' + files::csvCell(folders[f].name) + ',' +
                       word(o) + ',' + files::csvCell(o.passed ? std::string() : o.summary) + unsandboxed + "\r\n";
        }
        t.seconds += report.seconds;
        if (failed > 0) ++t.caught;
        t.errors += broken;
        t.allPassed = t.allPassed && passed == folders.size();
        out << visible(controllers[c].name) << ": " << passed << " passed, " << failed << " failed";
        if (broken > 0) out << ", " << broken << (broken == 1 ? " error" : " errors");
        out << '\n';
    }
    out << "the suite catches " << t.caught << " of " << controllers.size()
        << (controllers.size() == 1 ? " controller" : " controllers");
    if (settings.suite.shards > 1)
        out << " in shard " << settings.suite.shard << '/' << settings.suite.shards;
    out << '\n';
    if (!settings.sandboxed) out << "not sandboxed: the controllers ran with the bench's rights (--no-sandbox)\n";
    return t;
}

} // namespace

int runControllers(const ClassSettings& whole, std::ostream& out, std::ostream& err) {
    if (!whole.gradescopePath.empty() && whole.controllers.size() != 1) {
        err << "borne-scenario: --gradescope writes one submission's results, and --controllers names "
            << whole.controllers.size() << " controllers\n";
        return 2;
    }
    // The K-th of N slices of the controllers, as --suite slices its folders.
    ClassSettings settings = whole;
    const std::size_t count = whole.controllers.size();
    const std::size_t first = count * (whole.suite.shard - 1) / whole.suite.shards;
    settings.controllers.assign(
        whole.controllers.begin() + static_cast<std::ptrdiff_t>(first),
        whole.controllers.begin() +
            static_cast<std::ptrdiff_t>(count * whole.suite.shard / whole.suite.shards));
    std::vector<FoundScenario> folders;
    std::vector<std::string> skipped;
    if (!collectScenarios(settings.suite.paths, folders, skipped, err)) return 2;
    JunitWriter junit;
    std::vector<std::string> made;
    if (!openReports(settings, folders, junit, made, err)) return 2;
    std::vector<ScenarioOutcome> outcomes;
    if (!settings.controllers.empty() && !runPairs(settings, folders, made, outcomes, out, err)) return 2;
    // Said once, by the first slice.
    for (const std::string& folder : skipped)
        if (settings.suite.shard == 1) out << "skipped: " << folder << " (no " << kScriptFile << ")\n";

    const Tally t = tally(settings, folders, outcomes, out);
    if (settings.suite.results) {
        RunResults results;
        results.seconds = t.seconds;
        for (const FoundScenario& f : folders)
            results.columns.push_back(f.name);
        for (std::size_t c = 0; c < settings.controllers.size(); ++c) {
            results.rows.push_back(settings.controllers[c].name);
            for (std::size_t f = 0; f < folders.size(); ++f) {
                const ScenarioOutcome& o = outcomes[c * folders.size() + f];
                // The caller's controller, which outlives this slice of them.
                results.pairs.push_back({c, f, word(o), true, folders[f], &whole.controllers[first + c].type, o});
            }
        }
        settings.suite.results(std::move(results));
    }
    const std::string& gradesPath = settings.gradesPath;
    std::string unwritten; // the message names the file alone, as it always has
    if (!gradesPath.empty() && !files::writeWhole(gradesPath, t.table, unwritten)) {
        err << "borne-scenario: cannot write " << gradesPath << '\n';
        return 2;
    }
    std::string error;
    if (!settings.suite.junitPath.empty() && !junit.write(t.reports, t.seconds, error)) {
        err << "borne-scenario: " << error << '\n';
        return 2;
    }
    if (!settings.gradebookPath.empty() &&
        !files::writeWhole(settings.gradebookPath, gradebookCsv(t.book), error)) {
        err << "borne-scenario: " << error << '\n';
        return 2;
    }
    if (!settings.gradescopePath.empty() &&
        !files::writeWhole(settings.gradescopePath, gradescopeJson(t.book, t.book.rows.front()), error)) {
        err << "borne-scenario: " << error << '\n';
        return 2;
    }
    return t.errors > 0 ? 2 : t.allPassed ? 0 : 1;
}

} // namespace borne::scenario
