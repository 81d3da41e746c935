// The suite: the folders found under its paths, the outputs it refuses to write over its inputs, and
// its report (a line per folder, JUnit, coverage); the folders run in the worker pool (WorkerPool.cpp).
#include "tools/scenario/Suite.h"

#include "tools/files/Files.h"
#include "tools/scenario/WorkerPool.h"

#include "tools/coverage/Report.h"
#include "tools/grammar/Show.h"
#include "tools/scenario/Folder.h"
#include "tools/scenario/Junit.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <ostream>
#include <sched.h>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace borne::scenario {

namespace {

using Clock = std::chrono::steady_clock;

bool parseCount(const std::string& s, unsigned& n) {
    if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return false;
    n = static_cast<unsigned>(std::stoul(s));
    return true;
}

} // namespace

void removeScratch(const std::string& path) {
    // The workers empty their scratch folders; what a killed one left is removed here.
    struct Walk {
        static void remove(const std::string& p) {
            struct stat st;
            if (::lstat(p.c_str(), &st) != 0) return;
            if (S_ISDIR(st.st_mode)) {
                if (DIR* d = ::opendir(p.c_str())) {
                    std::vector<std::string> names;
                    while (const dirent* e = ::readdir(d))
                        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                            names.emplace_back(e->d_name);
                    ::closedir(d);
                    for (const auto& n : names)
                        remove(p + "/" + n);
                }
                ::rmdir(p.c_str());
            } else {
                ::unlink(p.c_str());
            }
        }
    };
    Walk::remove(path);
}

// Where the scratch copies go: TMPDIR when set; otherwise memory (/dev/shm) when it can be written,
// as a scenario makes and removes a few small files, which costs many times more on a disk.
std::string scratchPlace() {
    const char* tmp = std::getenv("TMPDIR");
    if (tmp != nullptr && *tmp != '\0') return tmp;
    struct stat st;
    if (::stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) && ::access("/dev/shm", W_OK | X_OK) == 0)
        return "/dev/shm";
    return "/tmp";
}

namespace {

using files::realPath;

using files::writtenPath;

// The folder of `folders` that holds `path` (or is it); empty when none does.
std::string holder(const std::string& path, const std::set<std::string>& folders) {
    for (std::string p = path; !p.empty();) {
        if (folders.count(p) != 0) return p;
        const auto slash = p.rfind('/');
        if (slash == std::string::npos || p == "/") break;
        p = slash == 0 ? "/" : p.substr(0, slash);
    }
    return {};
}

// The suite's outputs are never among its inputs: a report written over a script (or into a scenario
// folder, which a run must leave as it found it) is refused before anything is written. The message,
// or empty.
std::string outputOverInput(const SuiteSettings& s, const std::vector<FoundScenario>& all,
                            const std::vector<std::pair<std::string, std::string>>& more) {
    std::set<std::string> folders;
    for (const FoundScenario& f : all)
        folders.insert(f.path);
    const std::string rules = s.rules != nullptr ? realPath(s.rulesName) : std::string();
    auto check = [&](const std::string& option, const std::string& name,
                     const std::string& written) -> std::string {
        if (written.empty()) return {};
        if (!rules.empty() && written == rules) return option + " " + name + " is the rules file";
        const std::string folder = holder(written, folders);
        if (folder.empty()) return {};
        return option + " " + name + " would write " + written + " in the scenario folder " + folder +
               ", one of the suite's inputs";
    };
    std::string problem;
    if (!s.junitPath.empty()) problem = check("--junit", s.junitPath, writtenPath(s.junitPath));
    for (const auto& [option, path] : more)
        if (problem.empty() && !path.empty()) problem = check(option, path, writtenPath(path));
    if (problem.empty() && !s.reportFolder.empty())
        problem = check("--report", s.reportFolder, writtenPath(s.reportFolder + "/index.html"));
    // A coverage path that is not a folder is refused as such, and nothing is written there.
    struct stat st;
    if (problem.empty() && !s.coverageFolder.empty() &&
        !(::stat(s.coverageFolder.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)))
        problem = check("--coverage", s.coverageFolder, writtenPath(s.coverageFolder));
    if (!s.vcdFolder.empty()) {
        const std::string folder = writtenPath(s.vcdFolder);
        for (const FoundScenario& f : all) {
            if (!problem.empty() || folder.empty()) break;
            problem = check("--vcd", s.vcdFolder, folder + "/" + f.name + ".vcd");
        }
    }
    return problem;
}

} // namespace

std::string refusedOutputs(const SuiteSettings& settings, const std::vector<FoundScenario>& all,
                           const std::vector<std::pair<std::string, std::string>>& more) {
    if (const std::string problem = outputOverInput(settings, all, more); !problem.empty())
        return problem + ": nothing written";
    // A scratch place inside a suite would be copied into itself, run after run.
    const std::string place = scratchPlace();
    for (const std::string& path : settings.paths) {
        const std::string real = realPath(path);
        if (!real.empty() && !holder(writtenPath(place), {real}).empty())
            return "the scratch place " + place + " is inside " + path +
                   ": set TMPDIR to a folder outside the suite";
    }
    return {};
}

unsigned coreCount() {
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0) {
        const int n = CPU_COUNT(&set);
        if (n > 0) return static_cast<unsigned>(n);
    }
    const unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? n : 1;
}

bool parseShard(const std::string& text, unsigned& k, unsigned& n) {
    const auto slash = text.find('/');
    if (slash == std::string::npos) return false;
    return parseCount(text.substr(0, slash), k) && parseCount(text.substr(slash + 1), n) && k >= 1 && k <= n;
}

void printOutcome(std::ostream& out, const std::string& word, const std::string& name,
                  const ScenarioOutcome& r) {
    // A name or a reason holding a line end or another control byte must not forge a line.
    if (r.passed) {
        out << "PASS " << visible(name) << '\n';
        return;
    }
    // A failure of the bench itself is never the scenario's.
    out << (r.error ? std::string("ERROR") : word) << ' ' << visible(name) << ": " << visible(r.summary)
        << '\n';
    if (r.details.empty() || r.details == r.summary + "\n") return;
    std::size_t at = 0;
    while (at < r.details.size()) {
        const auto end = r.details.find('\n', at);
        out << "    " << r.details.substr(at, end - at) << '\n';
        at = end == std::string::npos ? r.details.size() : end + 1;
    }
}

bool collectScenarios(const std::vector<std::string>& paths, std::vector<FoundScenario>& all,
                      std::vector<std::string>& skipped, std::ostream& err) {
    std::vector<std::string> prefixes; // of each of `all`: its PATH's own name and a slash
    std::size_t contributing = 0;      // PATHs that gave at least one scenario found under them
    std::set<std::string> roots;
    for (const std::string& path : paths) {
        std::string error;
        std::vector<FoundScenario> found;
        if (!findScenarios(path, found, skipped, error)) {
            err << "borne-scenario: " << error << '\n';
            return false;
        }
        if (found.empty()) {
            err << "borne-scenario: no scenario folder (a folder holding " << kScriptFile << ") at or under "
                << path << '\n';
            return false;
        }
        bool contributes = false;
        for (FoundScenario& f : found) {
            // The root itself as a scenario is already named after its own folder.
            const std::string prefix = f.path != path ? ownName(path) + "/" : std::string();
            // Workers move from folder to folder: they need whole paths.
            if (std::string real = realPath(f.path); !real.empty()) f.path = real;
            if (!roots.insert(f.path).second) continue; // a folder given twice runs once
            all.push_back(std::move(f));
            prefixes.push_back(prefix);
            contributes = contributes || !prefix.empty();
        }
        if (contributes) ++contributing;
    }
    // With results found under several PATHs, each is named from its PATH's own name on, so that two
    // PATHs holding the same relative path still give two names.
    if (contributing > 1)
        for (std::size_t i = 0; i < all.size(); ++i)
            all[i].name.insert(0, prefixes[i]);

    // Names that are still the same (two PATHs with the same own name) are told apart by a number, so
    // no result, JUnit case or waveform file stands for two folders.
    std::set<std::string> names;
    for (FoundScenario& f : all) {
        const std::string given = f.name;
        for (int n = 2; !names.insert(f.name).second; ++n)
            f.name = given + " (" + std::to_string(n) + ")";
    }
    return true;
}

namespace {

// The suite's own outputs, made ready before anything runs: the JUnit report (opened, not yet written),
// the waveforms' folder, the coverage folder. False, said on `err`, when one cannot be written.
bool openOutputs(const SuiteSettings& settings, JunitWriter& junit, std::ostream& err) {
    std::string error;
    if (!settings.junitPath.empty() &&
        !junit.open(settings.junitPath, error, Clock::now() + settings.wallLimit)) {
        err << "borne-scenario: " << error << '\n';
        return false;
    }
    if (!settings.vcdFolder.empty()) {
        makeParents(settings.vcdFolder + "/");
        struct stat st;
        if (::stat(settings.vcdFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
            ::access(settings.vcdFolder.c_str(), W_OK) != 0) {
            err << "borne-scenario: cannot write waveforms into " << settings.vcdFolder << '\n';
            return false;
        }
    }

    if (!settings.coverageFolder.empty() && !coverage::prepareFolder(settings.coverageFolder, error)) {
        err << "borne-scenario: --coverage: " << error << '\n';
        return false;
    }

    return true;
}

// The end of a suite that ran whole: the coverage of all its runs, the tally line, the JUnit report. The
// exit status: 0 all passed, 1 a folder failed, 2 the bench failed (a folder's error, a report not written).
int report(const SuiteSettings& settings, const std::vector<FoundScenario>& list,
           const std::vector<std::optional<ScenarioOutcome>>& outcomes, double seconds, JunitWriter& junit,
           std::ostream& out, std::ostream& err) {
    std::string error;
    std::size_t passed = 0, errors = 0;
    std::vector<CaseReport> cases;
    coverage::Coverage counts;
    bool countsWhole = true;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const ScenarioOutcome& o = *outcomes[i];
        if (o.passed) ++passed;
        if (o.error) ++errors;
        cases.push_back({list[i].name, o.seconds, o.passed, o.summary, o.details, o.error});
        if (settings.coverageFolder.empty()) continue;
        // A scenario whose run died sent none: the report then covers the others, and says so.
        if (o.coverage.empty()) {
            countsWhole = false;
            continue;
        }
        if (const auto one = coverage::Coverage::parse(o.coverage, error))
            counts.merge(*one);
        else
            countsWhole = false;
    }
    if (!settings.coverageFolder.empty()) {
        if (!coverage::writeReport(settings.coverageFolder, counts, err)) return 2;
        out << "coverage in " << settings.coverageFolder;
        out << (countsWhole ? ":\n" : " (without the scenarios whose run died):\n");
        out << coverage::summary(counts);
    }
    if (settings.results) {
        RunResults results;
        results.rows.emplace_back();
        results.seconds = seconds;
        for (std::size_t i = 0; i < list.size(); ++i) {
            results.columns.push_back(list[i].name);
            const ScenarioOutcome& o = *outcomes[i];
            results.pairs.push_back(
                {0, i, o.passed ? "PASS" : o.error ? "ERROR" : "FAIL", true, list[i], settings.controller, o});
        }
        settings.results(std::move(results));
    }
    out << "scenarios: " << passed << " passed, " << list.size() - passed - errors << " failed";
    if (errors > 0) out << ", " << errors << (errors == 1 ? " error" : " errors");
    out << '\n';
    if (!settings.junitPath.empty() && !junit.write(cases, seconds, error)) {
        err << "borne-scenario: " << error << '\n';
        return 2;
    }
    return errors > 0 ? 2 : passed == list.size() ? 0 : 1;
}

// The settings as the workers need them: a number of jobs, and waveform paths that hold wherever a worker
// works.
SuiteSettings workerSettings(const SuiteSettings& settings) {
    SuiteSettings s = settings;
    if (s.jobs == 0) s.jobs = coreCount();
    if (!s.vcdFolder.empty() && s.vcdFolder.front() != '/') {
        if (std::string real = realPath(s.vcdFolder); !real.empty()) s.vcdFolder = real;
    }
    return s;
}

// A stopped suite says what stopped it and how far it got, unless the reader that left asked for nothing
// more.
void sayStopped(const SuiteSettings& settings, const std::vector<std::optional<ScenarioOutcome>>& outcomes,
                std::size_t listed, std::ostream& err) {
    const auto finished = static_cast<std::size_t>(
        std::count_if(outcomes.begin(), outcomes.end(), [](const auto& o) { return o.has_value(); }));
    const int signal = suiteInterruption();
    if (signal == SIGPIPE) return;
    err << "borne-scenario: stopped by "
        << (signal != 0 ? signalName(signal) : "an output that cannot be written") << " after " << finished
        << " of " << listed << " scenarios; the scratch folder is removed"
        << (settings.junitPath.empty() ? "" : ", " + settings.junitPath + " is left as it was") << '\n';
}

} // namespace

int runSuite(const SuiteSettings& settings, std::ostream& out, std::ostream& err) {
    std::vector<FoundScenario> all;
    std::vector<std::string> skipped;
    if (!collectScenarios(settings.paths, all, skipped, err)) return 2;

    // The K-th of N equal slices of the list.
    const std::size_t from = all.size() * (settings.shard - 1) / settings.shards;
    const std::size_t to = all.size() * settings.shard / settings.shards;
    const std::vector<FoundScenario> list(all.begin() + static_cast<std::ptrdiff_t>(from),
                                          all.begin() + static_cast<std::ptrdiff_t>(to));

    if (const std::string problem = refusedOutputs(settings, all); !problem.empty()) {
        err << "borne-scenario: " << problem << '\n';
        return 2;
    }
    const std::string place = scratchPlace();

    const StopSignals stops;
    JunitWriter junit;
    if (!openOutputs(settings, junit, err)) return 2;

    std::string scratch = place + "/borne-suite-XXXXXX";
    if (::mkdtemp(scratch.data()) == nullptr) {
        err << "borne-scenario: cannot make a scratch folder " << scratch << ": " << std::strerror(errno)
            << '\n';
        return 2;
    }

    const SuiteSettings s = workerSettings(settings);
    const auto start = Clock::now();
    const OutcomeReader print = [&](std::size_t i, const ScenarioOutcome& o) {
        printOutcome(out, "FAIL", list[i].name, o);
    };
    const PoolOutcomes ran = runPool(s, list, scratch, out, stops.wakeFd(), print);
    const auto& outcomes = ran.outcomes;
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    removeScratch(scratch);
    if (ran.stopped) {
        sayStopped(settings, outcomes, list.size(), err);
        return 2;
    }
    // Folders that look like scenarios but are not one: said, not failed.
    for (const std::string& folder : skipped)
        out << "skipped: " << folder << " (no " << kScriptFile << ")\n";

    return report(settings, list, outcomes, seconds, junit, out, err);
}

} // namespace borne::scenario
