#include "scenario/Folder.h"

#include "files/Files.h"
#include "scenario/Check.h"
#include "scenario/CoverageWatch.h"
#include "scenario/Show.h"
#include "scenario/Vcd.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace borne::scenario {

namespace {

std::string join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string why() {
    return std::strerror(errno);
}

// The names in a folder, sorted, without "." and "..".
bool list(const std::string& folder, std::vector<std::string>& names) {
    DIR* d = ::opendir(folder.c_str());
    if (d == nullptr) return false;
    errno = 0;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    const bool ok = errno == 0;
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return ok;
}

// A regular file's whole content; anything else (a folder, a pipe, a device) is refused rather than read,
// so nothing here can block or run without end.
bool readRegular(const std::string& path, std::string& content, std::string& error, std::uintmax_t limit = 0,
                 std::string_view what = "a file") {
    return files::readWhole(path, content, error, {limit, what, true, std::nullopt});
}

bool copyFile(const std::string& from, const std::string& to, std::string& error) {
    std::string content;
    if (!readRegular(from, content, error)) return false;
    const int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot write " + to + ": " + why();
        return false;
    }
    const bool ok = files::writeWhole(fd, content);
    if (::close(fd) != 0 || !ok) {
        error = "cannot write " + to + ": " + why();
        return false;
    }
    return true;
}

// Copies the folder's files and subfolders; at the top, expected/ stays behind. Links are followed to
// what they name; a folder already on the way down is not entered again.
bool copyTree(const std::string& from, const std::string& to, bool top,
              std::set<std::pair<dev_t, ino_t>>& seen, std::string& error) {
    std::vector<std::string> names;
    if (!list(from, names)) {
        error = "cannot read folder " + from + ": " + why();
        return false;
    }
    for (const std::string& name : names) {
        if (top && name == kExpectedFolder) continue;
        const std::string source = join(from, name);
        struct stat st;
        if (::stat(source.c_str(), &st) != 0) {
            error = "cannot read " + source + ": " + why();
            return false;
        }
        const std::string target = join(to, name);
        if (S_ISDIR(st.st_mode)) {
            if (!seen.insert({st.st_dev, st.st_ino}).second) continue;
            if (::mkdir(target.c_str(), 0755) != 0) {
                error = "cannot make " + target + ": " + why();
                return false;
            }
            if (!copyTree(source, target, false, seen, error)) return false;
        } else if (!copyFile(source, target, error)) {
            return false;
        }
    }
    return true;
}

// Removes everything in a folder, and the folder too unless `keep`.
void removeTree(const std::string& path, bool keep = false) {
    std::vector<std::string> names;
    list(path, names);
    for (const std::string& name : names) {
        const std::string p = join(path, name);
        struct stat st;
        if (::lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            removeTree(p);
        else
            ::unlink(p.c_str());
    }
    if (!keep) ::rmdir(path.c_str());
}

// Nothing can be named that cannot be looked at: a folder that can be listed but not entered, or a path
// longer than the system takes, is reported, never skipped.
bool unsearchable(int error) {
    return error != ENOENT && error != ENOTDIR;
}

// The reason first: a path too long to be searched is cut in a report, its reason must not be.
std::string cannotSearch(const std::string& path) {
    return "cannot be searched (" + why() + "): " + path;
}

void search(const std::string& folder, const std::string& name, std::vector<FoundScenario>& found,
            std::set<std::pair<dev_t, ino_t>>& seen, std::vector<std::string>* skipped) {
    struct stat st;
    if (::lstat(join(folder, kScriptFile).c_str(), &st) == 0) {
        found.push_back({folder, name, {}, {}});
        return;
    }
    if (unsearchable(errno)) {
        found.push_back({folder, name, cannotSearch(folder), {}});
        return;
    }
    std::vector<std::string> names;
    if (!list(folder, names)) {
        found.push_back({folder, name, "cannot read folder " + folder + ": " + why(), {}});
        return;
    }
    const std::size_t before = found.size();
    bool files = false; // hidden files are the system's or an editor's, not a lost script
    for (const std::string& n : names) {
        const std::string path = join(folder, n);
        const std::string relative = name.empty() ? n : name + "/" + n;
        if (::stat(path.c_str(), &st) != 0) {
            if (unsearchable(errno)) found.push_back({path, relative, cannotSearch(path), {}});
            continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            files = files || n.front() != '.';
            continue;
        }
        if (!seen.insert({st.st_dev, st.st_ino}).second) continue; // a link back up
        search(path, relative, found, seen, skipped);
    }
    if (skipped != nullptr && files && found.size() == before) skipped->push_back(folder);
}

// Journal bytes shown to a person: control bytes and bytes above 0x7F as \xHH, cut to 200 characters.
std::string readable(std::string_view line) {
    std::string r;
    for (char ch : line) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            r += hex;
        } else {
            r += ch;
        }
    }
    return visible(clipped(r, 200));
}

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> r;
    while (!text.empty()) {
        const auto end = text.find('\n');
        r.push_back(text.substr(0, end == std::string_view::npos ? text.size() : end + 1));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return r;
}

std::string shown(const std::vector<std::string_view>& l, std::size_t i) {
    if (i >= l.size()) return "(no such line)";
    std::string_view line = l[i];
    const bool ended = !line.empty() && line.back() == '\n';
    if (ended) line.remove_suffix(1);
    return readable(line) + (ended ? "" : " (no end of line)");
}

// Keeps the first lines of a run's messages and counts the others, so a script that fails a million
// times cannot fill the memory.
class Messages : public std::stringbuf {
public:
    static constexpr int kKept = 50;
    int dropped = 0;

protected:
    int overflow(int c) override {
        if (c == traits_type::eof()) return 0;
        if (kept_ >= kKept) {
            if (c == '\n') ++dropped;
            return c;
        }
        if (c == '\n') ++kept_;
        return std::stringbuf::overflow(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        for (std::streamsize i = 0; i < n; ++i)
            overflow(static_cast<unsigned char>(s[i]));
        return n;
    }

private:
    int kept_ = 0;
};

ScenarioOutcome failed(std::string summary, std::string details = {}) {
    ScenarioOutcome o;
    o.summary = std::move(summary);
    o.details = std::move(details);
    return o;
}

ScenarioOutcome runIn(const FoundScenario& scenario, const std::string& run, const ScenarioSettings& settings,
                      coverage::Coverage& counts, RunResult& result) {
    if (!scenario.problem.empty()) return failed(scenario.problem);
    std::string error;
    std::string text;
    const std::string script = scenario.script.empty() ? join(scenario.path, kScriptFile) : scenario.script;
    const std::string scriptName = script.substr(script.rfind('/') + 1);
    if (!readRegular(script, text, error, kMaxScriptBytes, "a script")) return failed(error);

    const bool wantJournal =
        settings.journalCopy.empty() && ::access(join(scenario.path, kExpectedFolder).c_str(), F_OK) == 0;
    std::string expected;
    if (wantJournal &&
        !readRegular(join(join(scenario.path, kExpectedFolder), kJournalFile), expected, error))
        return failed(error);

    // A faulty script runs nothing.
    const Script checked = check(text, panneau());
    if (checked.errorCount > 0) {
        std::string details;
        for (const ParseError& e : checked.errors)
            details += scriptName + ":" + std::to_string(e.line) + ": " + e.message + "\n";
        if (checked.errorCount > checked.errors.size())
            details += std::to_string(checked.errorCount - checked.errors.size()) + " more errors\n";
        return failed(details.substr(0, details.find('\n')), details);
    }

    std::set<std::pair<dev_t, ino_t>> seen;
    if (!copyTree(scenario.path, run, true, seen, error)) return failed(error);

    VcdWriter vcd;
    const files::Deadline openBy =
        settings.wallLimit.count() > 0
            ? files::Deadline(std::chrono::steady_clock::now() + settings.wallLimit)
            : std::nullopt;
    if (!settings.vcdPath.empty() && !vcd.open(settings.vcdPath, error, openBy)) return failed(error);

    Messages buffer;
    std::ostream messages(&buffer);
    RunSettings runSettings;
    runSettings.scriptName = scriptName;
    runSettings.wallLimit = settings.wallLimit;
    Engine engine(runSettings, messages);
    if (!settings.vcdPath.empty()) engine.watch(vcd);
    CoverageWatch coverageWatch(counts);
    if (settings.coverage) engine.watch(coverageWatch);
    std::optional<RuleObserver> rules;
    if (settings.rules != nullptr) {
        rules.emplace(*settings.rules);
        engine.watch(*rules);
    }

    if (::chdir(run.c_str()) != 0) return failed("cannot enter " + run + ": " + why());
    TextSource source(text, panneau());
    std::string journal;
    bool haveJournal = false;
    try {
        result = engine.run(source);
        haveJournal = readRegular(kJournalFile, journal, error);
    } catch (const std::exception& e) {
        result.failed = -1;
        buffer.sputn(e.what(), static_cast<std::streamsize>(std::strlen(e.what())));
        buffer.sputn("\n", 1);
    }
    if (::chdir("/") != 0) return failed("cannot leave " + run);
    if (!settings.vcdPath.empty() && !vcd.close(error)) return failed(error);

    std::string details = buffer.str();
    if (buffer.dropped > 0) details += std::to_string(buffer.dropped) + " more messages\n";
    if (result.failed < 0) return failed("the run stopped on an error", details);
    // A broken rule fails the scenario like a failed expectation, with its first instant and write.
    const std::vector<std::string> broken =
        rules ? rules->report(*settings.rules, settings.rulesName) : std::vector<std::string>{};
    for (const std::string& line : broken)
        details += line + "\n";
    if (!result.ok()) {
        std::string summary = details.substr(0, details.find('\n'));
        if (result.failed > 1) summary += " (and " + std::to_string(result.failed - 1) + " more)";
        return failed(summary, details);
    }
    if (!broken.empty()) {
        std::string summary = broken.front();
        if (broken.size() > 1) summary += " (and " + std::to_string(broken.size() - 1) + " more)";
        return failed(summary, details);
    }
    if (wantJournal) {
        std::string summary;
        const std::string difference = firstDifference(&expected, haveJournal ? &journal : nullptr, summary);
        // A journal left in the folder (a run made where it stands) is where this run began.
        if (!difference.empty() && ::access(join(scenario.path, kJournalFile).c_str(), F_OK) == 0)
            summary += " (the run started from the folder's own " + std::string(kJournalFile) + ")";
        if (!difference.empty()) return failed(summary, difference);
    }
    if (!settings.journalCopy.empty() && haveJournal &&
        !copyFile(join(run, kJournalFile), settings.journalCopy, error))
        return failed(error);
    ScenarioOutcome o;
    o.passed = true;
    return o;
}

} // namespace

bool readRegularFile(const std::string& path, std::string& content, std::string& error) {
    return readRegular(path, content, error);
}

bool findScenarios(const std::string& root, std::vector<FoundScenario>& found, std::string& error) {
    std::vector<std::string> skipped;
    return findScenarios(root, found, skipped, error);
}

bool findScenarios(const std::string& root, std::vector<FoundScenario>& found,
                   std::vector<std::string>& skipped, std::string& error) {
    struct stat st;
    if (::stat(root.c_str(), &st) != 0) {
        error = "cannot read " + root + ": " + why();
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = root + " is not a folder";
        return false;
    }
    std::set<std::pair<dev_t, ino_t>> seen{{st.st_dev, st.st_ino}};
    const std::size_t before = found.size();
    const std::size_t skippedBefore = skipped.size();
    search(root, "", found, seen, &skipped);
    std::sort(skipped.begin() + static_cast<std::ptrdiff_t>(skippedBefore), skipped.end());
    // Path order: byte order of the relative paths ("a-b" before "a/b"), the same on every machine.
    std::sort(found.begin() + static_cast<std::ptrdiff_t>(before), found.end(),
              [](const FoundScenario& a, const FoundScenario& b) { return a.name < b.name; });
    // The root itself as a scenario: named after its own folder.
    if (found.size() == before + 1 && found.back().name.empty()) found.back().name = ownName(root);
    return true;
}

std::string ownName(const std::string& root) {
    std::string base = root;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    if (base == "." || base == "..") {
        char* real = ::realpath(root.c_str(), nullptr);
        if (real != nullptr) {
            base = real;
            std::free(real);
        }
    }
    const auto slash = base.rfind('/');
    return slash == std::string::npos || base.size() == 1 ? base : base.substr(slash + 1);
}

std::string firstDifference(const std::string* expected, const std::string* actual, std::string& summary) {
    const auto e = lines(*expected);
    // A run stopped before any journal step leaves no file: the same empty journal as an empty one.
    if (actual == nullptr && expected->empty()) return {};
    if (actual == nullptr) {
        summary = std::string(kJournalFile) + " was not written";
        return "expected: " + (e.empty() ? std::string("(an empty file)") : shown(e, 0)) +
               "\nactual:   (no file)\n";
    }
    if (*expected == *actual) return {};
    const auto a = lines(*actual);
    std::size_t i = 0;
    while (i < e.size() && i < a.size() && e[i] == a[i])
        ++i;
    summary = std::string(kJournalFile) + " line " + std::to_string(i + 1) + " differs";
    return "expected: " + shown(e, i) + "\nactual:   " + shown(a, i) + "\n";
}

ScenarioOutcome runScenario(const FoundScenario& scenario, const std::string& scratch,
                            const ScenarioSettings& settings) {
    const auto start = std::chrono::steady_clock::now();
    // One run folder per scratch folder, emptied before and after: making and removing a folder costs
    // more than the files in it.
    const std::string run = join(scratch, "run");
    ScenarioOutcome o;
    coverage::Coverage counts;
    if (::mkdir(run.c_str(), 0755) != 0 && errno != EEXIST) {
        o = failed("cannot make " + run + ": " + why());
    } else {
        removeTree(run, true);
        RunResult result;
        o = runIn(scenario, run, settings, counts, result);
        o.expectationsPassed = result.passed;
        o.expectationsFailed = std::max(result.failed, 0); // -1: the run stopped on an error
        removeTree(run, true);
    }
    if (settings.coverage) o.coverage = counts.serialise(); // what ran counts, passed or not
    o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return o;
}

} // namespace borne::scenario
