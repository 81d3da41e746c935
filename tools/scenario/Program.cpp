#include "scenario/Program.h"

#include "scenario/Check.h"
#include "scenario/Engine.h"
#include "scenario/Show.h"
#include "scenario/Suite.h"
#include "scenario/Trace.h"
#include "scenario/Vcd.h"

#include <cstdio>
#include <istream>
#include <optional>
#include <ostream>
#include <sstream>

namespace borne::scenario {

namespace {

constexpr std::string_view kUsage =
    "usage: borne-scenario [--trace] [--vcd FILE] [--timeout SECONDS] SCRIPT   (SCRIPT '-' reads standard "
    "input)\n"
    "       borne-scenario --suite [--jobs N] [--shard K/N] [--junit FILE] [--vcd DIR] [--timeout SECONDS] "
    "PATH...\n"
    "       (either with --check RULES: the safety rules in RULES must hold as well)\n"
    "       borne-scenario --reach TARGET [--within N]\n"
    "       borne-scenario --generate DIR [--within N]\n"
    "       borne-scenario --check RULES --explore [--within N]\n";

constexpr long long kMaxTimeoutMs = 24LL * 3600 * 1000;

struct Options {
    bool trace = false;
    bool suite = false;
    std::optional<std::string> vcd, junit, jobs, shard, timeout, rules;
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

bool readFile(const std::string& name, std::string& content) {
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (f == nullptr) return false;
    char buffer[1 << 16];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        content.append(buffer, n);
    const bool ok = std::ferror(f) == 0; // a folder opens but fails here
    std::fclose(f);
    return ok;
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

int runSuiteFrom(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.trace) return usage(err, "--trace is for one script, not a suite");
    if (o.operands.empty()) return usage(err, "--suite needs at least one PATH");
    SuiteSettings s;
    s.paths = o.operands;
    if (o.jobs) {
        const std::string& j = *o.jobs;
        if (j.empty() || j.size() > 4 || j.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(j) < 1 || std::stoi(j) > 1024)
            return usage(err, "bad --jobs " + quoted(j) + " (a whole number from 1 to 1024)");
        s.jobs = static_cast<unsigned>(std::stoi(j));
    }
    if (o.shard && !parseShard(*o.shard, s.shard, s.shards))
        return usage(err, "bad --shard " + quoted(*o.shard) + " (K/N with 1 <= K <= N)");
    if (o.junit) s.junitPath = *o.junit;
    if (o.vcd) s.vcdFolder = *o.vcd;
    if (o.timeout) s.wallLimit = *seconds(*o.timeout);
    search::RuleSet rules;
    if (o.rules) {
        std::string error;
        if (!loadRules(*o.rules, rules, error)) {
            err << error;
            return 2;
        }
        s.rules = &rules;
        s.rulesName = *o.rules;
    }
    return finish(runSuite(s, out, err), out, err);
}

int runScript(const Options& o, std::istream& in, std::ostream& out, std::ostream& err) {
    if (o.jobs || o.shard || o.junit) return usage(err, "--jobs, --shard and --junit go with --suite");
    if (o.operands.empty()) return usage(err, "no script given");
    if (o.operands.size() > 1) return usage(err, "one script only");
    const std::string& name = o.operands.front();

    std::string text;
    if (name == "-") {
        std::ostringstream all;
        if (in.peek() != std::istream::traits_type::eof()) all << in.rdbuf();
        if (in.bad()) return usage(err, "cannot read standard input");
        text = std::move(all).str();
    } else if (!readFile(name, text)) {
        return usage(err, "cannot read " + name);
    }

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
    std::string error;
    if (o.rules && !loadRules(*o.rules, rules, error)) {
        err << error;
        return 2;
    }

    VcdWriter vcd;
    if (o.vcd && !vcd.open(*o.vcd, error)) {
        err << "borne-scenario: " << error << '\n';
        return 2;
    }

    RunSettings settings;
    settings.scriptName = name;
    if (o.timeout) settings.wallLimit = *seconds(*o.timeout);
    if (o.trace) settings.flushBeforeMessages = &out;
    Engine engine(settings, err);
    TraceWriter trace(out, engine);
    if (o.trace) engine.watch(trace);
    if (o.vcd) engine.watch(vcd);
    RuleObserver ruleCheck(rules);
    if (o.rules) engine.watch(ruleCheck);
    TextSource source(text, panneau());
    const RunResult result = engine.run(source);

    if (o.vcd && !vcd.close(error)) {
        err << "borne-scenario: " << error << '\n';
        return 2;
    }
    std::size_t broken = 0;
    if (o.rules) {
        if (o.trace) out.flush(); // so that a merged output keeps the order of events
        for (const std::string& line : ruleCheck.report(rules, *o.rules)) {
            err << name << ": " << line << '\n';
            ++broken;
        }
        out << "rules: " << rules.rules.size() - broken << " held, " << broken << " broken\n";
    }
    out << "expectations: " << result.passed << " passed, " << result.failed << " failed\n";
    return finish(result.ok() && broken == 0 ? 0 : 1, out, err);
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
        } else if (a == "--suite") {
            o.suite = true;
        } else if (a == "--vcd" || a == "--junit" || a == "--jobs" || a == "--shard" || a == "--timeout" ||
                   a == "--check") {
            auto& into = a == "--vcd"     ? o.vcd
                         : a == "--junit" ? o.junit
                         : a == "--jobs"  ? o.jobs
                         : a == "--shard" ? o.shard
                         : a == "--check" ? o.rules
                                          : o.timeout;
            if (!value(into)) return usage(err, a + " needs a value");
        } else if (a == "-h" || a == "--help") {
            out << kUsage;
            return finish(0, out, err);
        } else if (a.size() > 1 && a[0] == '-') {
            return usage(err, "unknown option " + quoted(a));
        } else {
            o.operands.push_back(a);
        }
    }
    if (o.timeout && !seconds(*o.timeout))
        return usage(err, "bad --timeout " + quoted(*o.timeout) + " (seconds above 0, up to 86400)");
    return o.suite ? runSuiteFrom(o, out, err) : runScript(o, in, out, err);
}

} // namespace borne::scenario
