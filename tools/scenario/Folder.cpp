#include "tools/scenario/Folder.h"
#include "tools/scenario/Compare.h"

#include "tools/files/Files.h"
#include "tools/grammar/Show.h"
#include "tools/scenario/CoverageWatch.h"
#include "tools/scenario/RuleObserver.h"
#include "tools/scenario/Timeline.h"
#include "tools/scenario/TurnLog.h"
#include "tools/scenario/Vcd.h"

#include "journal/FichierJournal.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <optional>
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
// so nothing here can block or run without end, and so is a file larger than `limit` (0: no limit).
bool readRegular(const std::string& path, std::string& content, std::string& error, std::uintmax_t limit = 0,
                 std::string_view what = "a file") {
    return files::readWhole(path, content, error, {limit, what, true, std::nullopt});
}

using files::realPath;

bool within(const std::string& path, const std::string& folder) {
    return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                              (folder.back() == '/' || path[folder.size()] == '/'));
}

// A scratch copy under way. Faults of the folder fail the scenario; faults of the scratch place (no
// room, a size limit) are the bench's.
struct Copy {
    std::string root; // the scenario folder's real path
    std::set<std::pair<dev_t, ino_t>> seen;
    std::uint64_t bytes = 0;
    std::size_t entries = 0;
    std::string error;
    bool benchFault = false;

    bool refuse(std::string why) {
        error = std::move(why);
        return false;
    }
    bool scratchFailed(std::string why) {
        benchFault = true;
        return refuse(std::move(why) + ": " + scenario::why());
    }
    bool count(std::uint64_t size) {
        bytes += size;
        if (++entries > kMaxFolderEntries)
            return refuse("the scenario folder " + root + " holds more than " +
                          std::to_string(kMaxFolderEntries) + " files and folders, the most a run copies");
        if (bytes > kMaxFolderBytes)
            return refuse("the scenario folder " + root + " holds more than " +
                          std::to_string(kMaxFolderBytes >> 20) + " MiB, the most a run copies");
        return true;
    }
};

// Streams a regular file: neither its size nor holes in it cost memory, and its size counts against the
// folder's before a byte is read.
bool copyFile(const std::string& from, const std::string& to, Copy& copy) {
    const int in = ::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (in < 0) return copy.refuse("cannot read " + from + ": " + why());
    struct stat st;
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        return copy.refuse("cannot read " + from + ": not a regular file");
    }
    if (!copy.count(static_cast<std::uint64_t>(st.st_size))) {
        ::close(in);
        return false;
    }
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        ::close(in);
        return copy.scratchFailed("cannot write " + to);
    }
    char buffer[1 << 16];
    std::uint64_t copied = 0;
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ok = copy.refuse("cannot read " + from + ": " + why());
            break;
        }
        if (n == 0) break;
        copied += static_cast<std::uint64_t>(n);
        if (copied > static_cast<std::uint64_t>(st.st_size) && !copy.count(static_cast<std::uint64_t>(n))) {
            ok = false; // a file that grows while it is copied counts as it grows
            break;
        }
        if (!files::writeWhole(out, std::string_view(buffer, static_cast<std::size_t>(n)))) {
            ok = copy.scratchFailed("cannot write " + to);
            break;
        }
    }
    ::close(in);
    if (::close(out) != 0 && ok) ok = copy.scratchFailed("cannot write " + to);
    return ok;
}

// What a link that leads out of the scenario folder may be: a file the run reads, at the top.
bool readByTheRun(const std::string& name) {
    return name == kScriptFile || name == kJournalFile || name == "Config.cfg" || name == "CHIP.INI";
}

// Copies the folder's files and subfolders; at the top, expected/ stays behind. Links within the folder
// are followed to what they name, a folder already on the way down is not entered again; links out of
// it are followed only to a file the run reads.
bool copyTree(const std::string& from, const std::string& to, bool top, Copy& copy) {
    std::vector<std::string> names;
    if (!list(from, names)) return copy.refuse("cannot read folder " + from + ": " + why());
    for (const std::string& name : names) {
        if (top && name == kExpectedFolder) continue;
        const std::string source = join(from, name);
        struct stat st;
        if (::lstat(source.c_str(), &st) != 0) return copy.refuse("cannot read " + source + ": " + why());
        const bool link = S_ISLNK(st.st_mode);
        if (link && ::stat(source.c_str(), &st) != 0)
            return copy.refuse("cannot read " + source + ": " + why());
        if (link) {
            const std::string target = realPath(source);
            if (!within(target, copy.root) && !(top && readByTheRun(name) && S_ISREG(st.st_mode)))
                return copy.refuse(source + " is a link out of the scenario folder (to " + target +
                                   "): only the script, the settings and an earlier " + kJournalFile +
                                   " may be");
        }
        const std::string target = join(to, name);
        if (S_ISDIR(st.st_mode)) {
            if (!copy.seen.insert({st.st_dev, st.st_ino}).second) continue;
            if (!copy.count(0)) return false;
            if (::mkdir(target.c_str(), 0755) != 0) return copy.scratchFailed("cannot make " + target);
            if (!copyTree(source, target, false, copy)) return false;
        } else if (!copyFile(source, target, copy)) {
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

void search(const std::string& folder, const std::string& name, const std::string& root,
            std::vector<FoundScenario>& found, std::set<std::pair<dev_t, ino_t>>& seen,
            std::vector<std::string>* skipped) {
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
        if (::lstat(path.c_str(), &st) != 0) {
            if (unsearchable(errno)) found.push_back({path, relative, cannotSearch(path), {}});
            continue;
        }
        if (S_ISLNK(st.st_mode)) {
            if (::stat(path.c_str(), &st) != 0) continue;
            // A link to a folder elsewhere (to /, into /proc) is not part of the suite.
            if (S_ISDIR(st.st_mode) && !within(realPath(path), root)) continue;
        }
        if (!S_ISDIR(st.st_mode)) {
            files = files || n.front() != '.';
            continue;
        }
        if (!seen.insert({st.st_dev, st.st_ino}).second) continue; // a link back up
        search(path, relative, root, found, seen, skipped);
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

ScenarioOutcome benchError(std::string summary) {
    ScenarioOutcome o = failed(std::move(summary));
    o.error = true;
    return o;
}

// One scenario's run as it goes: what is read before it, what it leaves to be judged on.
struct Attempt {
    std::string text; // the script
    std::string scriptName;
    bool wantJournal = false; // the folder holds an expected journal to compare with
    std::string expected;
    std::optional<Recording> terminalRun, controllerRun; // --compare
    std::string terminalJournal;
    std::string details;             // the run's messages
    std::vector<std::string> broken; // the rules' lines, when a rule broke
    std::string journal;             // the Log.txt the run wrote
    bool haveJournal = false;
};

// The script and, when the folder expects one, the journal to compare with.
std::optional<ScenarioOutcome> readInputs(const FoundScenario& scenario, const ScenarioSettings& settings,
                                          Attempt& a) {
    std::string error;
    const std::string script = scenario.script.empty() ? join(scenario.path, kScriptFile) : scenario.script;
    a.scriptName = script.substr(script.rfind('/') + 1);
    if (!readRegular(script, a.text, error, kMaxScriptBytes, "a script")) return failed(error);
    a.wantJournal =
        settings.journalCopy.empty() && ::access(join(scenario.path, kExpectedFolder).c_str(), F_OK) == 0;
    if (a.wantJournal && !readRegular(join(join(scenario.path, kExpectedFolder), kJournalFile), a.expected,
                                      error, kMaxFolderBytes, "an expected journal"))
        return failed(error);
    return std::nullopt;
}

// A faulty script runs nothing: each error on a line of its own, the first one as the summary.
ScenarioOutcome refused(const Script& checked, const std::string& scriptName) {
    std::string details;
    for (const ParseError& e : checked.errors)
        details += scriptName + ":" + std::to_string(e.line) + ": " + e.message + "\n";
    if (checked.errorCount > checked.errors.size())
        details += std::to_string(checked.errorCount - checked.errors.size()) + " more errors\n";
    return failed(details.substr(0, details.find('\n')), details);
}

// --compare: the terminal's own run first, in a copy of its own beside the run folder, recorded.
std::optional<ScenarioOutcome> runTerminalFirst(const FoundScenario& scenario, const std::string& run,
                                                const Copy& copy, const ScenarioSettings& settings,
                                                Attempt& a) {
    const std::string other = run + "-terminal";
    Copy second;
    second.root = copy.root;
    second.seen.insert(copy.seen.begin(), copy.seen.end());
    if (::mkdir(other.c_str(), 0755) != 0 && errno != EEXIST)
        return benchError("cannot make " + other + ": " + why());
    removeTree(other, true);
    if (!copyTree(scenario.path, other, true, second))
        return second.benchFault ? benchError(second.error) : failed(second.error);
    RunSettings terminal;
    terminal.scriptName = a.scriptName;
    terminal.wallLimit = settings.wallLimit;
    a.terminalRun.emplace();
    std::string error;
    const bool ran = runOnTerminal(a.text, other, terminal, *a.terminalRun, error);
    if (ran && !readRegular(join(other, kJournalFile), a.terminalJournal, error)) a.terminalJournal.clear();
    removeTree(other, true);
    if (!ran) return benchError(error);
    a.controllerRun.emplace();
    return std::nullopt;
}

// Runs the script in the run folder under every watcher asked for (the waveform, the recording to compare,
// coverage, the rules) and keeps its messages, the broken rules and the journal it wrote.
std::optional<ScenarioOutcome> runWatched(const std::string& run, const ScenarioSettings& settings,
                                          coverage::Coverage& counts, RunResult& result, Attempt& a) {
    std::string error;
    VcdWriter vcd;
    const files::Deadline openBy =
        settings.wallLimit.count() > 0
            ? files::Deadline(std::chrono::steady_clock::now() + settings.wallLimit)
            : std::nullopt;
    if (!settings.vcdPath.empty() && !vcd.open(settings.vcdPath, error, openBy)) return benchError(error);

    Messages buffer;
    std::ostream messages(&buffer);
    RunSettings runSettings;
    runSettings.scriptName = a.scriptName;
    runSettings.wallLimit = settings.wallLimit;
    runSettings.controller = settings.controller;
    runSettings.progress = settings.progress;
    Engine engine(runSettings, messages);
    if (!settings.vcdPath.empty()) engine.watch(vcd);
    std::ofstream turns, timeline;
    std::optional<TurnLog> turnLog;
    std::optional<TimelineWriter> timelineWriter;
    if (!settings.detailPrefix.empty()) {
        turns.open(settings.detailPrefix + ".turns", std::ios::binary | std::ios::trunc);
        timeline.open(settings.detailPrefix + ".timeline", std::ios::binary | std::ios::trunc);
        if (!turns || !timeline) return benchError("cannot write " + settings.detailPrefix + ".*: " + why());
        engine.watch(turnLog.emplace(turns));
        engine.watch(timelineWriter.emplace(timeline));
    }
    if (a.controllerRun) engine.watch(*a.controllerRun);
    CoverageWatch coverageWatch(counts);
    if (settings.coverage) engine.watch(coverageWatch);
    std::optional<RuleObserver> rules;
    if (settings.rules != nullptr) {
        rules.emplace(*settings.rules);
        engine.watch(*rules);
    }

    if (::chdir(run.c_str()) != 0) return benchError("cannot enter " + run + ": " + why());
    TextSource source(a.text, panneau());
    int journalError = 0;
    try {
        std::optional<Recording::Tap> tap;
        if (a.controllerRun) tap.emplace(*a.controllerRun);
        // The terminal goes on without a word when its journal cannot be written (a full disk, a folder
        // in Log.txt's place): the run is then no pass, whoever's fault it is.
        FichierJournal::oublierEchec();
        result = engine.run(source);
        journalError = FichierJournal::premierEchec();
        a.haveJournal = readRegular(kJournalFile, a.journal, error);
    } catch (const std::exception& e) {
        result.failed = -1;
        buffer.sputn(e.what(), static_cast<std::streamsize>(std::strlen(e.what())));
        buffer.sputn("\n", 1);
    }
    if (::chdir("/") != 0) return benchError("cannot leave " + run);
    if (!settings.vcdPath.empty() && !vcd.close(error)) return benchError(error);
    if (!settings.detailPrefix.empty() && (!turns.flush() || !timeline.flush()))
        return benchError("cannot write " + settings.detailPrefix + ".*");
    if (journalError != 0)
        return benchError("cannot write " + join(run, kJournalFile) + ": " + std::strerror(journalError));

    a.details = buffer.str();
    if (buffer.dropped > 0) a.details += std::to_string(buffer.dropped) + " more messages\n";
    if (rules && result.failed >= 0) a.broken = rules->report(*settings.rules, settings.rulesName);
    return std::nullopt;
}

// The first reason to fail, in this order: an error that stopped the run, a difference with the terminal's
// own, a failed expectation, a broken rule, the expected journal. A broken rule's lines join the details
// of whatever fails the run.
std::optional<ScenarioOutcome> judge(const FoundScenario& scenario, const RunResult& result, Attempt& a) {
    std::string& details = a.details;
    if (result.failed < 0) return failed("the run stopped on an error", details);
    for (const std::string& line : a.broken)
        details += line + "\n";
    if (a.controllerRun) {
        std::string difference = firstDifference(*a.terminalRun, *a.controllerRun);
        if (difference.empty())
            difference = journalDifference(a.terminalJournal, a.haveJournal ? a.journal : std::string());
        if (!difference.empty()) {
            // The folder's line says what decided; the details hold each line, the script's name first.
            std::string lines;
            std::size_t from = 0;
            for (std::size_t end; (end = difference.find('\n', from)) != std::string::npos; from = end + 1)
                lines += a.scriptName + ": " + difference.substr(from, end - from) + "\n";
            lines += a.scriptName + ": " + difference.substr(from) + "\n";
            return failed(lines.substr(0, lines.find('\n')), details + lines);
        }
    }
    if (!result.ok()) {
        std::string summary = details.substr(0, details.find('\n'));
        if (result.failed > 1) summary += " (and " + std::to_string(result.failed - 1) + " more)";
        return failed(summary, details);
    }
    if (!a.broken.empty()) {
        std::string summary = a.broken.front();
        if (a.broken.size() > 1) summary += " (and " + std::to_string(a.broken.size() - 1) + " more)";
        return failed(summary, details);
    }
    if (a.wantJournal) {
        std::string summary;
        const std::string difference =
            firstDifference(&a.expected, a.haveJournal ? &a.journal : nullptr, summary);
        // A journal left in the folder (a run made where it stands) is where this run began.
        if (!difference.empty() && ::access(join(scenario.path, kJournalFile).c_str(), F_OK) == 0)
            summary += " (the run started from the folder's own " + std::string(kJournalFile) + ")";
        if (!difference.empty()) return failed(summary, difference);
    }
    return std::nullopt;
}

ScenarioOutcome runIn(const FoundScenario& scenario, const std::string& run, const ScenarioSettings& settings,
                      coverage::Coverage& counts, RunResult& result) {
    if (!scenario.problem.empty()) return failed(scenario.problem);
    Attempt a;
    if (auto refusal = readInputs(scenario, settings, a)) return *refusal;
    const Script checked = check(a.text, panneau());
    if (checked.errorCount > 0) return refused(checked, a.scriptName);

    Copy copy;
    copy.root = realPath(scenario.path);
    struct stat top;
    if (::stat(scenario.path.c_str(), &top) == 0) copy.seen.insert({top.st_dev, top.st_ino});
    if (!copyTree(scenario.path, run, true, copy))
        return copy.benchFault ? benchError(copy.error) : failed(copy.error);
    if (settings.compare) {
        if (auto fault = runTerminalFirst(scenario, run, copy, settings, a)) return *fault;
    }
    if (auto fault = runWatched(run, settings, counts, result, a)) return *fault;
    std::string error;
    if (!settings.detailPrefix.empty() && a.haveJournal &&
        !files::writeWhole(settings.detailPrefix + ".log", a.journal, error))
        return benchError(error);
    if (auto failure = judge(scenario, result, a)) return *failure;

    if (!settings.journalCopy.empty() && a.haveJournal) {
        Copy journalCopy;
        journalCopy.root = run;
        if (!copyFile(join(run, kJournalFile), settings.journalCopy, journalCopy))
            return failed(journalCopy.error);
    }
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
    search(root, "", realPath(root), found, seen, &skipped);
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
        if (std::string real = realPath(root); !real.empty()) base = real;
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
