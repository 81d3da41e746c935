#include "tools/cli/ScriptRun.h"

#include "journal/FichierJournal.h"
#include "tools/cli/Run.h"
#include "tools/coverage/Report.h"
#include "tools/files/Files.h"
#include "tools/grammar/Grammar.h"
#include "tools/scenario/Compare.h"
#include "tools/scenario/CoverageWatch.h"
#include "tools/scenario/Engine.h"
#include "tools/scenario/Folder.h"
#include "tools/scenario/Isolation.h"
#include "tools/scenario/RuleObserver.h"
#include "tools/scenario/Trace.h"
#include "tools/scenario/TurnLog.h"
#include "tools/scenario/Vcd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <istream>
#include <optional>
#include <ostream>

namespace borne::cli {

using namespace borne::scenario;

namespace {

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

// What a script's run writes as it goes (the waveform, the turn log) and the coverage it counts.
struct ScriptOutputs {
    VcdWriter vcd;
    OutputFile turnsFile;
    std::ostream turns{&turnsFile};
    coverage::Coverage counts;

    // Before anything runs; false, said on `err`, when one cannot be written.
    bool open(const CommandLine& o, std::ostream& err) {
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
    bool close(const CommandLine& o, std::ostream& out, std::ostream& err) {
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

// Said, not refused: the run goes on, as starting out of service can be the point of the scenario.
void warnOfSettings(std::ostream& err) {
    std::error_code ignored;
    if (const std::string problem = settingsProblem("Config.cfg"); !problem.empty())
        err << "borne-scenario: no readable Config.cfg in " << std::filesystem::current_path(ignored).string()
            << (problem == "missing" ? "" : " (" + problem + ")") << ": the terminal starts out of service\n";
}

// Each broken rule on `err`, the count on `out`; returns how many broke.
std::size_t reportRules(const CommandLine& o, const std::string& name, const search::RuleSet& rules,
                        const RuleObserver& ruleObserver, std::ostream& out, std::ostream& err) {
    std::size_t broken = 0;
    if (o.trace || o.traceChanges) out.flush(); // so that a merged output keeps the order of events
    for (const std::string& line : ruleObserver.report(rules, *o.rules)) {
        err << name << ": " << line << '\n';
        ++broken;
    }
    out << "rules: " << rules.rules.size() - broken << " held, " << broken << " broken\n";
    return broken;
}

// --compare: the terminal's own runs first, then this one (`engine`, about to run), each in a copy of what
// it reads here. False, said on `err`, when the copies cannot be made.
bool startComparison(std::optional<Comparison>& comparison, const std::string& text,
                     const RunSettings& settings, Engine& engine, std::ostream& err) {
    std::string error;
    comparison.emplace();
    if (!comparison->start(text, settings, error)) {
        err << "borne-scenario: --compare: " << error << '\n';
        return false;
    }
    engine.watch(comparison->controllerRun());
    if (comparison->enter(error)) return true;
    err << "borne-scenario: --compare: " << error << '\n';
    return false;
}

// After the controller's run: the first difference, empty when the runs agree.
bool endComparison(Comparison& comparison, std::string& difference, std::ostream& err) {
    std::string error;
    if (!comparison.leave(error)) {
        err << "borne-scenario: --compare: " << error << '\n';
        return false;
    }
    difference = comparison.difference();
    return true;
}

// The run of a checked script, its outputs and its summary.
int runChecked(const CommandLine& o, const TypeControleur* controller, const std::string& name,
               const std::string& text, search::RuleSet& rules, RunProgress* progress, std::ostream& out,
               std::ostream& err) {
    ScriptOutputs outputs;
    if (!outputs.open(o, err)) return 2;

    warnOfSettings(err);

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
    RuleObserver ruleObserver(rules);
    if (o.rules) engine.watch(ruleObserver);
    std::optional<Comparison> comparison;
    if (o.compare && !startComparison(comparison, text, settings, engine, err)) return 2;
    TextSource source(text, panneau());
    // The terminal goes on without a word when its journal cannot be written: the run then is no pass.
    FichierJournal::oublierEchec();
    const RunResult result = engine.run(source);
    const int journalError = FichierJournal::premierEchec();
    std::string difference;
    if (comparison && !endComparison(*comparison, difference, err)) return 2;

    // An output that cannot be written is said with its reason; the summary still follows.
    const bool lost = !outputs.close(o, out, err);
    const std::size_t broken = o.rules ? reportRules(o, name, rules, ruleObserver, out, err) : 0;
    if (!difference.empty()) {
        out.flush(); // so that a merged output keeps the order of events
        // What decided, then the first event apart: a line each.
        std::size_t from = 0;
        for (std::size_t end; (end = difference.find('\n', from)) != std::string::npos; from = end + 1)
            err << name << ": " << std::string_view(difference).substr(from, end - from) << '\n';
        err << name << ": " << std::string_view(difference).substr(from) << '\n';
    }
    if (o.compare)
        out << "compared with the terminal's own: " << (difference.empty() ? "no difference" : "differs")
            << '\n';
    out << "expectations: " << result.passed << " passed, " << result.failed << " failed\n";
    if (journalError != 0) {
        out.flush(); // so that a merged output ends with the reason
        std::error_code ignored;
        err << "borne-scenario: cannot write the journal "
            << (std::filesystem::current_path(ignored) / kJournalFile).string() << ": "
            << std::strerror(journalError) << '\n';
    }
    const int status = lost || journalError != 0                          ? 2
                       : result.ok() && broken == 0 && difference.empty() ? 0
                                                                          : 1;
    return finish(status, out, err);
}

} // namespace

int runScript(const CommandLine& o, const TypeControleur* controller, std::istream& in, std::ostream& out,
              std::ostream& err) {
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

    // Both sides would start out of service and agree on everything: refused rather than said alike.
    if (o.compare) {
        if (const std::string problem = settingsProblem("Config.cfg"); !problem.empty()) {
            std::error_code ignored;
            err << "borne-scenario: --compare: no readable Config.cfg in "
                << std::filesystem::current_path(ignored).string()
                << (problem == "missing" ? "" : " (" + problem + ")")
                << ": both runs would start out of service; compare where a mode's settings are\n";
            return 2;
        }
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

} // namespace borne::cli
