#include "tools/scenario/Bless.h"

#include "tools/files/Files.h"
#include "tools/scenario/Folder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace borne::scenario {

namespace {

// Beyond this many differences the count is the larger remaining side: a bound, found at once.
constexpr std::size_t kMaxEdits = 4000;

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> r;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::size_t n = end == std::string_view::npos ? text.size() : end + 1;
        r.push_back(text.substr(0, n));
        text.remove_prefix(n);
    }
    return r;
}

// The journal reaches the folder whole or not at all: written beside it, then renamed over it.
bool writeJournal(const std::string& folder, const std::string& content, std::string& error) {
    const std::string expected = folder + "/" + kExpectedFolder;
    if (::mkdir(expected.c_str(), 0755) != 0 && errno != EEXIST) {
        error = "cannot make " + expected + ": " + std::strerror(errno);
        return false;
    }
    const std::string target = expected + "/" + kJournalFile;
    const std::string temporary = expected + "/." + kJournalFile + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot write " + target + ": " + std::strerror(errno);
        return false;
    }
    const int failure = files::writeWhole(fd, content) ? 0 : errno;
    if (::close(fd) != 0 || failure != 0 || ::rename(temporary.c_str(), target.c_str()) != 0) {
        error = "cannot write " + target + ": " + std::strerror(failure != 0 ? failure : errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

std::size_t changedLines(std::string_view before, std::string_view after) {
    std::vector<std::string_view> a = splitLines(before), b = splitLines(after);
    // What both begin and end with is not a change.
    std::size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head])
        ++head;
    std::size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head &&
           a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    const long n = static_cast<long>(a.size() - head - tail), m = static_cast<long>(b.size() - head - tail);
    // The fewest lines removed and added (greedy forward search along diagonals), up to kMaxEdits.
    const long limit = std::min<long>(n + m, kMaxEdits);
    std::vector<long> v(static_cast<std::size_t>(2 * limit + 3), 0);
    const long offset = limit + 1;
    const auto at = [&](long diagonal) -> long& { return v[static_cast<std::size_t>(diagonal + offset)]; };
    for (long d = 0; d <= limit; ++d) {
        for (long k = -d; k <= d; k += 2) {
            long x = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? at(k + 1) : at(k - 1) + 1;
            long y = x - k;
            while (x < n && y < m &&
                   a[head + static_cast<std::size_t>(x)] == b[head + static_cast<std::size_t>(y)])
                ++x, ++y;
            at(k) = x;
            if (x >= n && y >= m) {
                const long common = (n + m - d) / 2;
                return static_cast<std::size_t>(std::max(n, m) - common);
            }
        }
    }
    return static_cast<std::size_t>(std::max(n, m));
}

namespace {

// What blessing did, folder by folder.
struct Blessed {
    std::size_t fresh = 0, same = 0, changed = 0, refused = 0;
};

// A passed run's journal (its copy in the scratch folder) in place of the folder's expected one, when that
// differs; `before` and `had` say what the folder held. Sets `why` when it cannot be done.
void replaceJournal(const FoundScenario& f, const std::string& copy, std::string& journal,
                    std::string& before, bool& had, std::string& why) {
    std::string error;
    // No copy: the run stopped before the terminal's first journal step, an empty journal.
    if (::access(copy.c_str(), F_OK) == 0 && !readRegularFile(copy, journal, error)) why = error;
    ::unlink(copy.c_str());
    const std::string expected = f.path + "/" + kExpectedFolder + "/" + kJournalFile;
    struct stat st;
    had = ::lstat(expected.c_str(), &st) == 0;
    if (had && !readRegularFile(expected, before, error)) why = error;
    if (why.empty() && (!had || before != journal) && !writeJournal(f.path, journal, error)) why = error;
}

// One folder's line: what became of its journal, or why it was not blessed with the run's messages below.
void blessOne(const FoundScenario& f, const ScenarioOutcome& o, const std::string& copy, Blessed& count,
              std::ostream& out) {
    std::string why = o.summary, details = o.details, journal, before;
    bool had = false;
    if (o.passed) {
        replaceJournal(f, copy, journal, before, had, why);
        if (!why.empty()) details.clear();
    }
    out << f.name << ": ";
    if (!o.passed || !why.empty()) {
        ++count.refused;
        out << "not blessed: " << why << '\n';
        if (details == why + "\n") details.clear();
        for (std::size_t at = 0; at < details.size();) {
            const auto end = details.find('\n', at);
            out << "    " << details.substr(at, end - at) << '\n';
            at = end == std::string::npos ? details.size() : end + 1;
        }
        return;
    }
    if (!had) {
        ++count.fresh;
        out << "new";
    } else if (before == journal) {
        ++count.same;
        out << "same";
    } else {
        ++count.changed;
        const std::size_t n = changedLines(before, journal);
        out << "changed: " << n << (n == 1 ? " line" : " lines");
    }
    if (::access((f.path + "/" + kJournalFile).c_str(), F_OK) == 0)
        out << " (the run started from the folder's own " << kJournalFile << ")";
    out << '\n';
}

} // namespace

int runBless(const SuiteSettings& settings, std::ostream& out, std::ostream& err) {
    std::vector<FoundScenario> list;
    std::vector<std::string> skipped;
    if (!collectScenarios(settings.paths, list, skipped, err)) return 2;

    std::string journals = scratchPlace() + "/borne-bless-XXXXXX";
    if (::mkdtemp(journals.data()) == nullptr) {
        err << "borne-scenario: cannot make a scratch folder " << journals << ": " << std::strerror(errno)
            << '\n';
        return 2;
    }
    SuiteSettings s = settings;
    s.journalFolder = journals;

    Blessed count;
    const auto read = [&](std::size_t i, const ScenarioOutcome& o) {
        blessOne(list[i], o, journals + "/" + std::to_string(i), count, out);
    };
    std::vector<ScenarioOutcome> outcomes;
    std::string error;
    const bool ran = runIsolated(list, s, out, read, outcomes, error);
    removeScratch(journals);
    if (!ran) {
        err << "borne-scenario: " << error << '\n';
        return 2;
    }
    for (const std::string& folder : skipped)
        out << "skipped: " << folder << " (no " << kScriptFile << ")\n";
    out << "blessed: " << count.fresh << " new, " << count.changed << " changed, " << count.same << " same; "
        << count.refused << " not blessed\n";
    return count.refused == 0 ? 0 : 1;
}

} // namespace borne::scenario
