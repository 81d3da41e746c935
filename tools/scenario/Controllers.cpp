#include "tools/scenario/Controllers.h"

#include "tools/files/Files.h"
#include "tools/grammar/Show.h"
#include "tools/scenario/Grade.h"
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

// The outputs are known to be writable before anything runs. The grades table is replaced only once it is
// whole, so a stop leaves the previous one as it was; `gradesExisted` says whether there was one.
bool openReports(const ClassSettings& settings, const std::vector<FoundScenario>& folders, JunitWriter& junit,
                 bool& gradesExisted, std::ostream& err) {
    if (const std::string problem =
            refusedOutputs(settings.suite, folders, {{"--grades", settings.gradesPath}});
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
    const std::string& gradesPath = settings.gradesPath;
    struct stat st;
    gradesExisted = !gradesPath.empty() && ::stat(gradesPath.c_str(), &st) == 0;
    if (!gradesPath.empty()) {
        std::FILE* f = std::fopen(gradesPath.c_str(), "ab");
        if (f == nullptr) {
            err << "borne-scenario: cannot write " << gradesPath << ": " << std::strerror(errno) << '\n';
            return false;
        }
        std::fclose(f);
    }
    return true;
}

// Controller after controller, the same folders each time, in one pool; a controller's failures are
// printed under its name as they come. On a failure of the bench, a grades table made for this run goes.
bool runPairs(const ClassSettings& settings, const std::vector<FoundScenario>& folders, bool gradesExisted,
              std::vector<ScenarioOutcome>& outcomes, std::ostream& out, std::ostream& err) {
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
    const std::string& gradesPath = settings.gradesPath;
    if (!gradesPath.empty() && !gradesExisted) ::unlink(gradesPath.c_str());
    // The reader that left asked for nothing more.
    if (suiteInterruption() != SIGPIPE) {
        err << "borne-scenario: " << error;
        for (const std::string* report : {&settings.suite.junitPath, &gradesPath})
            if (!report->empty()) err << ", " << *report << " is left as it was";
        err << '\n';
    }
    return false;
}

struct Tally {
    std::string table = "controller,folder,result,first failure\r\n"; // the grades, as CSV
    std::vector<SuiteReport> reports;                                 // one JUnit suite per controller
    double seconds = 0;
    std::size_t caught = 0; // controllers on which a folder failed
    std::size_t errors = 0; // pairs the bench could not run
    bool allPassed = true;
};

// One summary line per controller and how many the suite catches, with the grades and reports to write.
Tally tally(const std::vector<NamedController>& controllers, const std::vector<FoundScenario>& folders,
            const std::vector<ScenarioOutcome>& outcomes, std::ostream& out) {
    Tally t;
    for (std::size_t c = 0; c < controllers.size(); ++c) {
        SuiteReport& report = t.reports.emplace_back();
        report.name = controllers[c].name;
        std::size_t passed = 0, failed = 0, broken = 0;
        for (std::size_t f = 0; f < folders.size(); ++f) {
            const ScenarioOutcome& o = outcomes[c * folders.size() + f];
            (o.passed ? passed : o.error ? broken : failed)++;
            report.cases.push_back({folders[f].name, o.seconds, o.passed, o.summary, o.details, o.error});
            report.seconds += o.seconds;
            t.table += csvField(controllers[c].name) + ',' + csvField(folders[f].name) + ',' + word(o) + ',' +
                       csvField(o.passed ? std::string() : o.summary) + "\r\n";
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
        << (controllers.size() == 1 ? " controller" : " controllers") << '\n';
    return t;
}

} // namespace

int runControllers(const ClassSettings& settings, std::ostream& out, std::ostream& err) {
    std::vector<FoundScenario> folders;
    std::vector<std::string> skipped;
    if (!collectScenarios(settings.suite.paths, folders, skipped, err)) return 2;
    JunitWriter junit;
    bool gradesExisted = false;
    if (!openReports(settings, folders, junit, gradesExisted, err)) return 2;
    std::vector<ScenarioOutcome> outcomes;
    if (!runPairs(settings, folders, gradesExisted, outcomes, out, err)) return 2;
    for (const std::string& folder : skipped)
        out << "skipped: " << folder << " (no " << kScriptFile << ")\n";

    const Tally t = tally(settings.controllers, folders, outcomes, out);
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
    return t.errors > 0 ? 2 : t.allPassed ? 0 : 1;
}

} // namespace borne::scenario
