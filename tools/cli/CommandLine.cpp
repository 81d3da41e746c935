#include "tools/cli/CommandLine.h"

#include "tools/grammar/Show.h"
#include "tools/rules/Target.h"

#include <algorithm>
#include <utility>

namespace borne::cli {

namespace {

constexpr long long kMaxTimeoutMs = 24LL * 3600 * 1000;

constexpr unsigned kRuns = kScript | kSuite | kClass | kGrade | kBless; // what runs scenarios

// The option table. A new option is one row: its name, the member it fills, the commands it goes with,
// and, when it writes, the commands for which its value is a file or a folder (so that no two outputs
// and no output and input share a path). The check, the reader and the collisions of outputs all read
// it; the usage text (kUsage) says the same to people.
constexpr Option kOptions[] = {
    {.name = "-C", .value = &CommandLine::directory, .in = kRuns | kTidy},
    {.name = "--trace", .on = &CommandLine::trace, .in = kScript, .excludes = "--trace-changes"},
    {.name = "--trace-changes", .on = &CommandLine::traceChanges, .in = kScript, .excludes = "--trace"},
    {.name = "--turns", .value = &CommandLine::turns, .in = kScript, .file = kScript},
    {.name = "--vcd", .value = &CommandLine::vcd, .in = kScript | kSuite, .file = kScript, .folder = kSuite},
    {.name = "--timeout", .value = &CommandLine::timeout, .in = kRuns},
    {.name = "--suite", .on = &CommandLine::suite, .in = kSuite | kClass},
    {.name = "--jobs", .value = &CommandLine::jobs, .in = kSuite | kClass | kGrade | kBless},
    {.name = "--shard", .value = &CommandLine::shard, .in = kSuite | kClass | kGrade},
    {.name = "--junit",
     .value = &CommandLine::junit,
     .in = kSuite | kClass | kGrade,
     .file = kSuite | kClass | kGrade},
    {.name = "--coverage",
     .value = &CommandLine::coverage,
     .in = kScript | kSuite,
     .folder = kScript | kSuite},
    {.name = "--check", .value = &CommandLine::rules, .in = kRuns | kSearch},
    {.name = "--controller",
     .value = &CommandLine::controller,
     .in = kScript | kSuite | kSearch,
     .excludes = "--controllers"},
    {.name = "--controllers", .list = &CommandLine::controllers, .in = kClass, .excludes = "--controller"},
    // One's own controller out of the bench's process, sandboxed; a class's only so, unless refused.
    {.name = "--sandbox", .on = &CommandLine::sandbox, .in = kScript | kSuite | kSearch, .needs = "--controller"},
    {.name = "--no-sandbox", .on = &CommandLine::noSandbox, .in = kClass},
    {.name = "--grades", .value = &CommandLine::grades, .in = kClass | kGrade, .file = kClass | kGrade},
    // A gradebook and an autograder's results.json; the latter is one submission's, never a shard's.
    {.name = "--gradebook", .value = &CommandLine::gradebook, .in = kClass | kGrade, .file = kClass | kGrade},
    {.name = "--gradescope",
     .value = &CommandLine::gradescope,
     .in = kClass | kGrade,
     .excludes = "--shard",
     .file = kClass | kGrade},
    {.name = "--require-expect", .on = &CommandLine::requireExpect, .in = kGrade},
    // A report page of the run, a folder of files.
    {.name = "--report", .value = &CommandLine::report, .in = kSuite | kClass | kGrade, .folder = kSuite | kClass | kGrade},
    {.name = "--compare",
     .on = &CommandLine::compare,
     .in = kScript | kSuite | kClass,
     .needs = "--controller|--controllers"},
    {.name = "--grade", .on = &CommandLine::grade, .in = kGrade},
    {.name = "--bless", .on = &CommandLine::bless, .in = kBless},
    {.name = "--controls", .on = &CommandLine::controls, .in = kControls},
    {.name = "--tidy", .on = &CommandLine::tidy, .in = kTidy},
};

const Option* row(std::string_view name) {
    for (const Option& o : kOptions)
        if (o.name == name) return &o;
    return nullptr;
}

// "a script, --suite or --grade"
std::string commandNames(unsigned commands) {
    std::vector<std::string> names;
    for (unsigned bit = 1; bit <= kSearch; bit <<= 1)
        if ((commands & bit) != 0) names.push_back(commandName(static_cast<Command>(bit)));
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return text;
}

// "--a|--b" as people read it: "--a or --b".
std::string alternatives(std::string_view needs) {
    std::string text(needs);
    for (std::size_t at = 0; (at = text.find('|', at)) != std::string::npos;)
        text.replace(at, 1, " or ");
    return text;
}

bool givenByName(const CommandLine& c, std::string_view name) {
    const Option* o = row(name);
    return o != nullptr && given(c, *o);
}

bool isOption(const std::string& a) {
    return a.size() > 1 && a[0] == '-';
}

// Reads one argument and the values it takes, from arguments[i]; `i` ends on the last one read.
class Reader {
public:
    Reader(const std::vector<std::string>& arguments, CommandLine& c) : arguments_(arguments), c_(c) {}

    void read(std::size_t& i) {
        i_ = &i;
        const std::string& a = arguments_[i];
        if (readSearch(a)) return;
        // What follows is the runner's: a search takes none of it.
        const std::size_t first = i;
        readRunner(a);
        if (const Option* o = row(a); o != nullptr && (o->in & kSearch) != 0) return;
        for (std::size_t k = first; k <= i; ++k)
            c_.notForSearch.push_back(arguments_[k]);
    }

private:
    // The next argument as the value of the current one, whatever it looks like.
    bool value(std::string& into) {
        if (*i_ + 1 >= arguments_.size()) return false;
        into = arguments_[++*i_];
        return true;
    }
    void refuseSearch(std::string message) {
        if (!c_.searchRefusal) c_.searchRefusal = std::move(message);
    }
    void stop(CommandLine::Stop kind, std::string message = {}) {
        if (c_.stop != CommandLine::Stop::none) return;
        c_.stop = kind;
        c_.stopMessage = std::move(message);
    }
    void unknown(const std::string& a) {
        std::string message = "unknown option ";
        message += scenario::quoted(a);
        stop(CommandLine::Stop::refusal, std::move(message));
    }

    // The searches' arguments and those the searches share with the runner (--check, --controller). A
    // search's own options are unknown to the runner: said in their place when no search is asked for.
    bool readSearch(const std::string& a) {
        std::string v;
        if (a == "--reach") {
            c_.reach = true;
            unknown(a);
            if (!value(c_.reachTarget))
                refuseSearch(std::string("--reach needs a TARGET: ") + search::kTargetForms);
        } else if (a == "--generate") {
            c_.generate = true;
            unknown(a);
            if (!value(c_.generateFolder)) refuseSearch("--generate needs a folder");
        } else if (a == "--explore") {
            c_.explore = true;
            unknown(a);
        } else if (a == "--check") {
            const bool given = value(v);
            c_.rules = v;
            if (!given) stop(CommandLine::Stop::refusal, a + " needs a value");
        } else if (a == "--controller") {
            if (value(v)) {
                c_.controller = v;
            } else {
                refuseSearch(a + " needs a value");
            }
        } else if (a == "--save") {
            unknown(a);
            if (!value(c_.save)) refuseSearch("--save needs a folder");
        } else if (a == "--within") {
            unknown(a);
            const bool ok = value(v) && !v.empty() && v.size() <= 4 &&
                            v.find_first_not_of("0123456789") == std::string::npos && std::stoi(v) >= 1;
            if (ok)
                c_.within = std::stoi(v);
            else
                refuseSearch("--within needs a number of turns from 1 to 9999");
        } else {
            return false;
        }
        return true;
    }

    void readRunner(const std::string& a) {
        const Option* o = row(a);
        if (o != nullptr && o->on != nullptr) {
            c_.*(o->on) = true;
        } else if (o != nullptr && o->value != nullptr) {
            // An output named twice would be written twice over: it is named once.
            if ((o->file | o->folder) != 0 && (c_.*(o->value)).has_value())
                stop(CommandLine::Stop::refusal, a + " given twice (an output is named once)");
            std::string v;
            if (value(v))
                c_.*(o->value) = v;
            else
                stop(CommandLine::Stop::refusal, a + " needs a value");
        } else if (o != nullptr && o->list != nullptr) {
            // Every name up to the next option.
            auto& files = (c_.*(o->list)).emplace();
            while (*i_ + 1 < arguments_.size() && !isOption(arguments_[*i_ + 1]))
                files.push_back(arguments_[++*i_]);
            if (files.empty()) stop(CommandLine::Stop::refusal, a + " needs at least one FILE");
        } else if (a == "-h" || a == "--help") {
            stop(CommandLine::Stop::help);
        } else if (a == "--version") {
            stop(CommandLine::Stop::version);
        } else if (isOption(a)) {
            unknown(a);
        } else {
            c_.operands.push_back(a);
        }
    }

    const std::vector<std::string>& arguments_;
    CommandLine& c_;
    std::size_t* i_ = nullptr;
};

} // namespace

std::span<const Option> optionTable() {
    return kOptions;
}

Command commandOf(const CommandLine& c) {
    if (c.controls) return kControls;
    if (c.tidy) return kTidy;
    if (c.grade) return kGrade;
    if (c.bless) return kBless;
    if (c.suite) return c.controllers ? kClass : kSuite;
    return kScript;
}

std::string commandName(Command command) {
    switch (command) {
    case kScript: return "a script";
    case kSuite: return "--suite";
    case kClass: return "--suite --controllers";
    case kGrade: return "--grade";
    case kBless: return "--bless";
    case kTidy: return "--tidy";
    case kControls: return "--controls";
    case kSearch: return "a search";
    }
    return {};
}

bool given(const CommandLine& c, const Option& o) {
    if (o.on != nullptr) return c.*(o.on);
    if (o.value != nullptr) return (c.*(o.value)).has_value();
    return o.list != nullptr && (c.*(o.list)).has_value();
}

std::string misplacedOption(const CommandLine& c) {
    const Command command = commandOf(c);
    for (const Option& o : kOptions)
        if (given(c, o) && !o.excludes.empty() && givenByName(c, o.excludes))
            return std::string(o.name) + " or " + std::string(o.excludes) + ", not both";
    for (const Option& o : kOptions)
        if (given(c, o) && (o.in & command) == 0)
            return std::string(o.name) + " does not go with " + commandName(command) + " (it goes with " +
                   commandNames(o.in) + ")";
    for (const Option& o : kOptions) {
        if (!given(c, o) || o.needs.empty()) continue;
        bool met = false;
        for (std::size_t at = 0; at <= o.needs.size() && !met;) {
            const std::size_t bar = std::min(o.needs.find('|', at), o.needs.size());
            met = givenByName(c, o.needs.substr(at, bar - at));
            at = bar + 1;
        }
        if (!met) return std::string(o.name) + " needs " + alternatives(o.needs);
    }
    return {};
}

CommandLine readCommandLine(const std::vector<std::string>& arguments) {
    CommandLine c;
    Reader reader(arguments, c);
    for (std::size_t i = 1; i < arguments.size(); ++i)
        reader.read(i);
    return c;
}

std::optional<std::chrono::milliseconds> seconds(const std::string& s) {
    long long ms = 0;
    int decimals = -1;
    for (char ch : s) {
        if (ch == '.' && decimals < 0) {
            decimals = 0;
            continue;
        }
        if (ch < '0' || ch > '9' || decimals >= 3) return std::nullopt;
        ms = ms * 10 + (ch - '0');
        if (decimals >= 0) ++decimals;
        if (ms > kMaxTimeoutMs * 1000) return std::nullopt;
    }
    if (s.empty() || s == ".") return std::nullopt;
    for (int d = decimals < 0 ? 0 : decimals; d < 3; ++d)
        ms *= 10;
    if (ms <= 0 || ms > kMaxTimeoutMs) return std::nullopt;
    return std::chrono::milliseconds(ms);
}

bool jobsFrom(const std::optional<std::string>& given, unsigned& jobs) {
    if (!given) return true;
    // Leading zeros are a way of writing the number, not a bigger one.
    const std::string& g = *given;
    const std::string j = g.substr(std::min(g.find_first_not_of('0'), g.size()));
    if (g.empty() || j.empty() || j.size() > 4 || g.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(j) < 1 || std::stoi(j) > 1024)
        return false;
    jobs = static_cast<unsigned>(std::stoi(j));
    return true;
}

} // namespace borne::cli
