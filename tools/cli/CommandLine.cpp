#include "tools/cli/CommandLine.h"

#include "tools/grammar/Show.h"
#include "tools/rules/Target.h"

#include <algorithm>
#include <utility>

namespace borne::cli {

namespace {

constexpr long long kMaxTimeoutMs = 24LL * 3600 * 1000;

// The runner's switches, and its options that take a value, with where each goes.
constexpr std::pair<std::string_view, bool CommandLine::*> kSwitches[] = {
    {"--trace", &CommandLine::trace}, {"--trace-changes", &CommandLine::traceChanges},
    {"--suite", &CommandLine::suite}, {"--controls", &CommandLine::controls},
    {"--grade", &CommandLine::grade}, {"--bless", &CommandLine::bless},
    {"--tidy", &CommandLine::tidy},   {"--compare", &CommandLine::compare},
};
constexpr std::pair<std::string_view, std::optional<std::string> CommandLine::*> kValues[] = {
    {"--grades", &CommandLine::grades},   {"--vcd", &CommandLine::vcd},
    {"--junit", &CommandLine::junit},     {"--jobs", &CommandLine::jobs},
    {"--shard", &CommandLine::shard},     {"--turns", &CommandLine::turns},
    {"-C", &CommandLine::directory},      {"--coverage", &CommandLine::coverage},
    {"--timeout", &CommandLine::timeout},
};

// The member `option` names in `table`, or nullptr.
template <class Member, std::size_t N>
Member find(const std::pair<std::string_view, Member> (&table)[N], const std::string& option) {
    for (const auto& [name, member] : table)
        if (name == option) return member;
    return nullptr;
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
        if (const auto on = find(kSwitches, a)) {
            c_.*on = true;
        } else if (const auto into = find(kValues, a)) {
            std::string v;
            if (value(v))
                c_.*into = v;
            else
                stop(CommandLine::Stop::refusal, a + " needs a value");
        } else if (a == "--controllers") {
            // Every name up to the next option.
            auto& files = c_.controllers.emplace();
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
