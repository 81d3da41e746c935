#include "tools/scenario/Program.h"

#include "tools/coverage/Report.h"
#include "tools/files/Files.h"
#include "tools/grammar/Controls.h"
#include "tools/grammar/Grammar.h"
#include "tools/grammar/Show.h"
#include "tools/scenario/Bless.h"
#include "tools/scenario/Check.h"
#include "tools/scenario/Compare.h"
#include "tools/scenario/Controllers.h"
#include "tools/scenario/CoverageWatch.h"
#include "tools/scenario/Engine.h"
#include "tools/scenario/Grade.h"
#include "tools/scenario/Isolation.h"
#include "tools/scenario/Suite.h"
#include "tools/scenario/Tidy.h"
#include "tools/scenario/Trace.h"
#include "tools/scenario/TurnLog.h"
#include "tools/scenario/Vcd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <optional>
#include <ostream>
#include <sstream>

namespace borne::scenario {

namespace {

constexpr std::string_view kUsage =
    "usage: borne-scenario [-C DIR] [--trace | --trace-changes] [--turns FILE] [--vcd FILE] [--timeout "
    "SECONDS] "
    "SCRIPT\n"
    "           (SCRIPT '-' reads standard input)\n"
    "       borne-scenario [-C DIR] --suite [--jobs N] [--shard K/N] [--junit FILE] [--vcd DIR] "
    "[--timeout SECONDS] PATH...\n"
    "       either with --coverage DIR: the state table's coverage (coverage.json, coverage.txt, states.dot, "
    "states.svg)\n"
    "       (either with --check RULES: the safety rules in RULES must hold as well)\n"
    "       (either, and the searches, with --controller FILE: that controller, a plug-in, runs instead of "
    "the terminal's own)\n"
    "       borne-scenario [-C DIR] --suite [--jobs N] [--junit FILE] [--grades FILE.csv] "
    "[--timeout SECONDS] PATH... --controllers FILE...\n"
    "       (the suite on each controller; a FILE that is a folder stands for the *.so files in it)\n"
    "       (a script or --suite with --compare --controller FILE: also run on the terminal's own, the first "
    "difference fails)\n"
    "       borne-scenario --grade LAB SUBMISSIONS [--jobs N] [--junit FILE] [--grades FILE.csv] "
    "[--timeout SECONDS] [--check RULES]\n"
    "       borne-scenario --bless [--jobs N] [--timeout SECONDS] PATH...   (writes each expected/Log.txt)\n"
    "       borne-scenario --controls   (every control a script can name)\n"
    "       borne-scenario [-C DIR] --tidy SCRIPT   (a recorded script rewritten for people, checked)\n"
    "       borne-scenario --reach TARGET [--within N]\n"
    "       borne-scenario --generate DIR [--within N]\n"
    "       borne-scenario --check RULES --explore [--within N] [--save DIR]\n";

constexpr long long kMaxTimeoutMs = 24LL * 3600 * 1000;

struct Options {
    bool trace = false;
    bool traceChanges = false;
    bool suite = false;
    bool controls = false;
    bool grade = false;
    bool bless = false;
    bool tidy = false;
    std::optional<std::string> controller;               // a plug-in's file
    std::optional<std::vector<std::string>> controllers; // plug-ins' files and folders of them
    bool compare = false;
    std::optional<std::string> grades, vcd, junit, jobs, shard, timeout, turns, directory, coverage, rules;
    std::vector<std::string> operands;
};

// Seconds with up to three decimals, above zero.
std::optional<std::chrono::milliseconds> seconds(const std::string& s) {
    long long ms = 0;
    int decimals = -1;
    for (char c : s) {
        if (c == '.' && decimals < 0) {
            decimals = 0;
            continue;
        }
        if (c < '0' || c > '9' || decimals >= 3) return std::nullopt;
        ms = ms * 10 + (c - '0');
        if (decimals >= 0) ++decimals;
        if (ms > kMaxTimeoutMs * 1000) return std::nullopt;
    }
    if (s.empty() || s == ".") return std::nullopt;
    for (int d = decimals < 0 ? 0 : decimals; d < 3; ++d)
        ms *= 10;
    if (ms <= 0 || ms > kMaxTimeoutMs) return std::nullopt;
    return std::chrono::milliseconds(ms);
}

// A file the run writes as it goes (the turn log). Its first failed write is kept with its reason, to be
// said at the end; what follows is dropped rather than held in memory.
class OutputFile final : public std::streambuf {
public:
    OutputFile() = default;
    ~OutputFile() override {
        if (fd_ >= 0) ::close(fd_);
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool open(const std::string& path) {
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        setp(buffer_, buffer_ + sizeof buffer_);
        return fd_ >= 0;
    }
    // Everything written, or the reason it was not (0 when it was).
    int close() {
        drain();
        if (fd_ >= 0 && ::close(fd_) != 0 && error_ == 0) error_ = errno;
        fd_ = -1;
        return error_;
    }

protected:
    int overflow(int c) override {
        drain();
        if (c != traits_type::eof()) {
            *pptr() = static_cast<char>(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override {
        drain();
        return error_ == 0 ? 0 : -1;
    }

private:
    void drain() {
        const char* p = pbase();
        while (error_ == 0 && p < pptr()) {
            const ssize_t n = ::write(fd_, p, static_cast<std::size_t>(pptr() - p));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0)
                error_ = n < 0 ? errno : EIO;
            else
                p += n;
        }
        setp(buffer_, buffer_ + sizeof buffer_);
    }

    int fd_ = -1;
    int error_ = 0;
    char buffer_[1 << 16];
};
// Why the terminal will not read its settings here (it then starts out of service), as its reader
// decides: only a regular file of at most 1 MiB is read. Empty when it will read them; "missing" for
// no file at all.
std::string settingsProblem(const char* name) {
    constexpr std::uintmax_t kSettingsMax = 1024 * 1024;
    const int fd = ::open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return errno == ENOENT ? "missing" : std::strerror(errno);
    struct stat st {};
    const bool known = ::fstat(fd, &st) == 0;
    ::close(fd);
    if (!known) return std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return "a folder";
    if (S_ISFIFO(st.st_mode)) return "a named pipe";
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return "a device";
    if (!S_ISREG(st.st_mode)) return "not a regular file";
    if (static_cast<std::uintmax_t>(st.st_size) > kSettingsMax) return "larger than 1 MiB";
    return {};
}

int usage(std::ostream& err, const std::string& problem) {
    err << "borne-scenario: " << problem << '\n' << kUsage;
    return 2;
}

// Output that could not be written is a failure, not a success.
int finish(int status, std::ostream& out, std::ostream& err) {
    out.flush();
    if (!out) {
        err << "borne-scenario: cannot write standard output\n";
        return 2;
    }
    return status;
}

// --jobs: false when it is not a count.
bool jobsFrom(const Options& o, unsigned& jobs) {
    if (!o.jobs) return true;
    // Leading zeros are a way of writing the number, not a bigger one.
    const std::string& given = *o.jobs;
    const std::string j = given.substr(std::min(given.find_first_not_of('0'), given.size()));
    if (given.empty() || j.empty() || j.size() > 4 ||
        given.find_first_not_of("0123456789") != std::string::npos || std::stoi(j) < 1 || std::stoi(j) > 1024)
        return false;
    jobs = static_cast<unsigned>(std::stoi(j));
    return true;
}

int badJobs(const Options& o, std::ostream& err) {
    return usage(err, "bad --jobs " + scenario::quoted(*o.jobs) + " (a whole number from 1 to 1024)");
}

// The --check rules of a run of many folders, read before anything runs: a named pipe with no writer holds
// it no longer than one scenario's limit. False (said on `err`) when they cannot be read or are faulty.
bool rulesFor(const Options& o, std::chrono::milliseconds wallLimit, search::RuleSet& rules,
              const search::RuleSet*& into, std::string& name, std::ostream& err) {
    if (!o.rules) return true;
    std::string error;
    if (!search::loadRules(*o.rules, rules, error, std::chrono::steady_clock::now() + wallLimit)) {
        err << error;
        return false;
    }
    into = &rules;
    name = *o.rules;
    return true;
}

int runGradeFrom(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.suite || o.bless) return usage(err, "--grade, --suite or --bless, one of them");
    if (o.trace || o.traceChanges || o.turns || o.vcd || o.coverage || o.shard)
        return usage(err, "--grade takes --jobs, --junit, --grades, --timeout and --check only");
    if (o.operands.size() != 2) return usage(err, "--grade needs LAB and SUBMISSIONS");
    GradeSettings g;
    g.lab = o.operands[0];
    g.submissions = o.operands[1];
    if (!jobsFrom(o, g.jobs)) return badJobs(o, err);
    if (o.junit) g.junitPath = *o.junit;
    if (o.grades) g.gradesPath = *o.grades;
    if (o.timeout) g.wallLimit = *seconds(*o.timeout);
    search::RuleSet rules;
    if (!rulesFor(o, g.wallLimit, rules, g.rules, g.rulesName, err)) return 2;
    return finish(runGrade(g, out, err), out, err);
}

int runBlessFrom(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.suite) return usage(err, "--suite or --bless, not both");
    if (o.trace || o.traceChanges || o.turns || o.vcd || o.coverage || o.shard || o.junit)
        return usage(err, "--bless takes --jobs, --timeout and --check only");
    if (o.operands.empty()) return usage(err, "--bless needs at least one PATH");
    SuiteSettings s;
    s.paths = o.operands;
    if (!jobsFrom(o, s.jobs)) return badJobs(o, err);
    if (o.timeout) s.wallLimit = *seconds(*o.timeout);
    search::RuleSet rules;
    if (!rulesFor(o, s.wallLimit, rules, s.rules, s.rulesName, err)) return 2;
    return finish(runBless(s, out, err), out, err);
}

// A plain suite, or with controllers the same suite on each of them.
int runSuiteFrom(const Options& o, const TypeControleur* controller, std::vector<NamedController> controllers,
                 std::ostream& out, std::ostream& err) {
    if (o.trace || o.traceChanges || o.turns)
        return usage(err, "--trace, --trace-changes and --turns are for one script, not a suite");
    if (o.operands.empty()) return usage(err, "--suite needs at least one PATH");
    SuiteSettings s;
    s.paths = o.operands;
    if (!jobsFrom(o, s.jobs)) return badJobs(o, err);
    if (o.shard && !parseShard(*o.shard, s.shard, s.shards))
        return usage(err, "bad --shard " + scenario::quoted(*o.shard) + " (K/N with 1 <= K <= N)");
    if (o.junit) s.junitPath = *o.junit;
    if (o.vcd) s.vcdFolder = *o.vcd;
    if (o.timeout) s.wallLimit = *seconds(*o.timeout);
    if (o.coverage) s.coverageFolder = *o.coverage;
    s.controller = controller;
    s.compare = o.compare;
    search::RuleSet rules;
    if (!rulesFor(o, s.wallLimit, rules, s.rules, s.rulesName, err)) return 2;
    const int status = controllers.empty()
                           ? runSuite(s, out, err)
                           : runControllers({s, std::move(controllers), o.grades.value_or("")}, out, err);
    // Stopped by a signal: what could be said was said as it went.
    return suiteInterruption() != 0 ? status : finish(status, out, err);
}

int runChecked(const Options& o, const TypeControleur* controller, const std::string& name,
               const std::string& text, search::RuleSet& rules, RunProgress* progress, std::ostream& out,
               std::ostream& err);

int runScript(const Options& o, const TypeControleur* controller, std::istream& in, std::ostream& out,
              std::ostream& err) {
    if (o.jobs || o.shard || o.junit) return usage(err, "--jobs, --shard and --junit go with --suite");
    if (o.trace && o.traceChanges) return usage(err, "--trace or --trace-changes, not both");
    if (o.operands.empty()) return usage(err, "no script given");
    if (o.operands.size() > 1) return usage(err, "one script only");
    const std::string& name = o.operands.front();

    // Refused whole beyond its limit, never cut: a script that lost its end would pass for whole.
    std::string text, error;
    const files::ReadLimits limits{kMaxScriptBytes, "a script", false, std::nullopt};
    if (name == "-" ? !files::readWhole(in, "standard input", text, error, limits)
                    : !files::readWhole(name, text, error, limits))
        return usage(err, error);

    // The whole script is checked before anything runs.
    const Script checked = check(text, panneau());
    if (checked.errorCount > 0) {
        for (const ParseError& e : checked.errors)
            err << name << ':' << e.line << ": " << e.message << '\n';
        if (checked.errorCount > checked.errors.size())
            err << name << ": " << checked.errorCount - checked.errors.size() << " more errors\n";
        return 2;
    }

    // So are the rules, when there are some.
    search::RuleSet rules;
    if (o.rules && !search::loadRules(*o.rules, rules, error)) {
        err << error;
        return 2;
    }

    // A controller from outside runs in a child process: whatever it does, this one reports it.
    if (controller == nullptr) return runChecked(o, controller, name, text, rules, nullptr, out, err);
    const std::chrono::milliseconds limit = o.timeout ? *seconds(*o.timeout) : std::chrono::milliseconds(0);
    const int status = runInChild(
        [&](std::ostream& childOut, std::ostream& childErr, RunProgress& progress) {
            return runChecked(o, controller, name, text, rules, &progress, childOut, childErr);
        },
        name, controller->nom, limit, out, err);
    return finish(status, out, err);
}

// What a script's run writes as it goes (the waveform, the turn log) and the coverage it counts.
struct ScriptOutputs {
    VcdWriter vcd;
    OutputFile turnsFile;
    std::ostream turns{&turnsFile};
    coverage::Coverage counts;

    // Before anything runs; false, said on `err`, when one cannot be written.
    bool open(const Options& o, std::ostream& err) {
        std::string error;
        if (o.vcd && !vcd.open(*o.vcd, error)) {
            err << "borne-scenario: " << error << '\n';
            return false;
        }
        if (o.coverage && !coverage::prepareFolder(*o.coverage, error)) {
            err << "borne-scenario: --coverage: " << error << '\n';
            return false;
        }
        if (o.turns && !turnsFile.open(*o.turns)) {
            err << "borne-scenario: cannot write " << *o.turns << ": " << std::strerror(errno) << '\n';
            return false;
        }
        return true;
    }

    // After the run: an output that cannot be written is said with its reason (false); the coverage's
    // summary goes to `out`.
    bool close(const Options& o, std::ostream& out, std::ostream& err) {
        std::string error;
        bool whole = true;
        if (o.vcd && !vcd.close(error)) {
            err << "borne-scenario: " << error << '\n';
            whole = false;
        }
        if (o.turns) {
            turns.flush();
            if (const int e = turnsFile.close(); e != 0) {
                err << "borne-scenario: cannot write " << *o.turns << ": " << std::strerror(e) << '\n';
                whole = false;
            }
        }
        if (o.coverage) {
            if (coverage::writeReport(*o.coverage, counts, err))
                out << "coverage in " << *o.coverage << ":\n" << coverage::summary(counts);
            else
                whole = false;
        }
        return whole;
    }
};

// The run of a checked script, its outputs and its summary.
int runChecked(const Options& o, const TypeControleur* controller, const std::string& name,
               const std::string& text, search::RuleSet& rules, RunProgress* progress, std::ostream& out,
               std::ostream& err) {
    std::string error;
    ScriptOutputs outputs;
    if (!outputs.open(o, err)) return 2;

    // The run goes on: starting out of service can be the point of the scenario.
    std::error_code ignored;
    if (const std::string problem = settingsProblem("Config.cfg"); !problem.empty())
        err << "borne-scenario: no readable Config.cfg in " << std::filesystem::current_path(ignored).string()
            << (problem == "missing" ? "" : " (" + problem + ")") << ": the terminal starts out of service\n";

    RunSettings settings;
    settings.scriptName = name;
    if (o.timeout) settings.wallLimit = *seconds(*o.timeout);
    if (o.trace || o.traceChanges) settings.flushBeforeMessages = &out;
    settings.controller = controller;
    settings.progress = progress;
    Engine engine(settings, err);
    TraceWriter trace(out, engine, o.traceChanges);
    if (o.trace || o.traceChanges) engine.watch(trace);
    if (o.vcd) engine.watch(outputs.vcd);
    CoverageWatch coverageWatch(outputs.counts);
    if (o.coverage) engine.watch(coverageWatch);
    TurnLog turnLog(outputs.turns);
    if (o.turns) engine.watch(turnLog);
    RuleObserver ruleCheck(rules);
    if (o.rules) engine.watch(ruleCheck);
    // --compare: the terminal's own runs first, then this one, each in a copy of what it reads here.
    std::optional<Comparison> comparison;
    if (o.compare) {
        comparison.emplace();
        if (!comparison->start(text, settings, error)) {
            err << "borne-scenario: --compare: " << error << '\n';
            return 2;
        }
        engine.watch(comparison->controllerRun());
        if (!comparison->enter(error)) {
            err << "borne-scenario: --compare: " << error << '\n';
            return 2;
        }
    }
    TextSource source(text, panneau());
    const RunResult result = engine.run(source);
    std::string difference;
    if (comparison) {
        if (!comparison->leave(error)) {
            err << "borne-scenario: --compare: " << error << '\n';
            return 2;
        }
        difference = comparison->difference();
    }

    // An output that cannot be written is said with its reason; the summary still follows.
    const bool lost = !outputs.close(o, out, err);
    std::size_t broken = 0;
    if (o.rules) {
        if (o.trace || o.traceChanges) out.flush(); // so that a merged output keeps the order of events
        for (const std::string& line : ruleCheck.report(rules, *o.rules)) {
            err << name << ": " << line << '\n';
            ++broken;
        }
        out << "rules: " << rules.rules.size() - broken << " held, " << broken << " broken\n";
    }
    if (!difference.empty()) {
        out.flush(); // so that a merged output keeps the order of events
        err << name << ": " << difference << '\n';
    }
    if (o.compare)
        out << "compared with the terminal's own: " << (difference.empty() ? "no difference" : "differs")
            << '\n';
    out << "expectations: " << result.passed << " passed, " << result.failed << " failed\n";
    return finish(lost ? 2 : result.ok() && broken == 0 && difference.empty() ? 0 : 1, out, err);
}

} // namespace

int runProgram(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
               std::ostream& err) {
    Options o;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        auto value = [&](std::optional<std::string>& into) {
            if (i + 1 >= arguments.size()) return false;
            into = arguments[++i];
            return true;
        };
        if (a == "--trace") {
            o.trace = true;
        } else if (a == "--trace-changes") {
            o.traceChanges = true;
        } else if (a == "--suite") {
            o.suite = true;
        } else if (a == "--controls") {
            o.controls = true;
        } else if (a == "--grade") {
            o.grade = true;
        } else if (a == "--bless") {
            o.bless = true;
        } else if (a == "--tidy") {
            o.tidy = true;
        } else if (a == "--compare") {
            o.compare = true;
        } else if (a == "--vcd" || a == "--junit" || a == "--jobs" || a == "--shard" || a == "--timeout" ||
                   a == "--turns" || a == "-C" || a == "--coverage" || a == "--check" || a == "--grades" ||
                   a == "--controller") {
            auto& into = a == "--grades"       ? o.grades
                         : a == "--controller" ? o.controller
                         : a == "--vcd"        ? o.vcd
                         : a == "--junit"      ? o.junit
                         : a == "--jobs"       ? o.jobs
                         : a == "--shard"      ? o.shard
                         : a == "--turns"      ? o.turns
                         : a == "-C"           ? o.directory
                         : a == "--coverage"   ? o.coverage
                         : a == "--check"      ? o.rules
                                               : o.timeout;
            if (!value(into)) return usage(err, a + " needs a value");
        } else if (a == "--controllers") {
            // Every name up to the next option.
            auto& files = o.controllers.emplace();
            while (i + 1 < arguments.size() && !(arguments[i + 1].size() > 1 && arguments[i + 1][0] == '-'))
                files.push_back(arguments[++i]);
            if (files.empty()) return usage(err, a + " needs at least one FILE");
        } else if (a == "-h" || a == "--help") {
            out << kUsage;
            return finish(0, out, err);
        } else if (a.size() > 1 && a[0] == '-') {
            return usage(err, "unknown option " + scenario::quoted(a));
        } else {
            o.operands.push_back(a);
        }
    }
    if (o.controls) {
        printControls(panneau(), out);
        return finish(0, out, err);
    }
    if (o.timeout && !seconds(*o.timeout))
        return usage(err, "bad --timeout " + scenario::quoted(*o.timeout) +
                              " (seconds above 0, up to 86400, to the millisecond: 0.001 at least)");
    // As make -C: every other name on the command line is then taken from DIR.
    if (o.directory && ::chdir(o.directory->c_str()) != 0) {
        err << "borne-scenario: cannot enter " << *o.directory << ": " << std::strerror(errno) << '\n';
        return 2;
    }
    // A controller that will not load is refused before anything runs; it is loaded after -C, as the
    // other names, and lives as long as the process.
    if (o.controller && o.controllers) return usage(err, "--controller or --controllers, not both");
    std::optional<TypeControleur> controller;
    if (o.controller) {
        std::string why;
        controller = chargerControleur(*o.controller, why);
        if (!controller) {
            err << "borne-scenario: --controller " << why << '\n';
            return 2;
        }
        if (o.tidy || o.grade || o.bless) return usage(err, "--controller goes with a script or --suite");
    }
    // So are a class's controllers, all of them.
    std::vector<NamedController> classControllers;
    if (o.controllers) {
        if (!o.suite || o.tidy || o.grade || o.bless) return usage(err, "--controllers goes with --suite");
        if (o.vcd || o.coverage || o.shard)
            return usage(err,
                         "--suite with --controllers takes --jobs, --junit, --grades, --timeout and --check");
        std::string why;
        if (!loadControllers(*o.controllers, classControllers, why)) {
            err << "borne-scenario: --controllers " << why << '\n';
            return 2;
        }
    }
    if (o.compare && !o.controller && !o.controllers)
        return usage(err, "--compare needs --controller FILE (or --controllers), the controller compared");
    if (o.compare && (o.tidy || o.grade || o.bless))
        return usage(err, "--compare goes with a script or --suite");
    if (o.tidy) {
        if (o.suite || o.grade || o.bless || o.operands.size() != 1)
            return usage(err, "--tidy takes one recorded SCRIPT");
        return finish(tidy(o.operands.front(), out, err), out, err);
    }
    if (o.grade) return runGradeFrom(o, out, err);
    if (o.bless) return runBlessFrom(o, out, err);
    if (o.grades && !o.controllers) return usage(err, "--grades goes with --grade or --controllers");
    const TypeControleur* type = controller ? &*controller : nullptr;
    return o.suite ? runSuiteFrom(o, type, std::move(classControllers), out, err)
                   : runScript(o, type, in, out, err);
}

} // namespace borne::scenario
