#include "tools/scenario/Suite.h"
#include "tools/files/Files.h"

#include "tools/coverage/Report.h"
#include "tools/scenario/Folder.h"
#include "tools/scenario/Isolation.h"
#include "tools/scenario/Junit.h"
#include "tools/grammar/Show.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <ostream>
#include <poll.h>
#include <sched.h>
#include <set>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace borne::scenario {

namespace {

using Clock = std::chrono::steady_clock;

// Time a worker gets beyond the scenario's own limit (copying, comparing) before it is killed.
constexpr std::chrono::seconds kGrace{5};
// What a worker sends back is cut to this: a report, not a dump.
constexpr std::size_t kMaxSummary = 4096;
constexpr std::size_t kMaxDetails = 65536;
constexpr std::size_t kMaxCoverage = 1 << 20; // far above the counts of one run (a few kilobytes)

bool readAll(int fd, void* data, std::size_t size) {
    auto* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::read(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

struct Record {
    std::uint32_t index;
    std::uint32_t passed; // 0 failed, 1 passed, 2 the bench failed
    double seconds;
    std::uint32_t summary;
    std::uint32_t details;
    std::uint32_t coverage;
    std::int32_t expectationsPassed;
    std::int32_t expectationsFailed;
};

bool send(int fd, std::uint32_t index, const ScenarioOutcome& o) {
    const std::string_view summary = std::string_view(o.summary).substr(0, kMaxSummary);
    const std::string_view details = std::string_view(o.details).substr(0, kMaxDetails);
    // Counts are never cut: a part of them would be wrong counts.
    const std::string_view coverage = o.coverage.size() <= kMaxCoverage ? o.coverage : std::string_view();
    const Record r{index,
                   o.passed  ? 1u
                   : o.error ? 2u
                             : 0u,
                   o.seconds,
                   static_cast<std::uint32_t>(summary.size()),
                   static_cast<std::uint32_t>(details.size()),
                   static_cast<std::uint32_t>(coverage.size()),
                   o.expectationsPassed,
                   o.expectationsFailed};
    std::string message(reinterpret_cast<const char*>(&r), sizeof r);
    message.append(summary).append(details).append(coverage);
    return files::writeWhole(fd, message);
}

bool receive(int fd, std::uint32_t& index, ScenarioOutcome& o) {
    Record r;
    if (!readAll(fd, &r, sizeof r) || r.summary > kMaxSummary || r.details > kMaxDetails ||
        r.coverage > kMaxCoverage)
        return false;
    o.summary.resize(r.summary);
    o.details.resize(r.details);
    o.coverage.resize(r.coverage);
    if (!readAll(fd, o.summary.data(), r.summary) || !readAll(fd, o.details.data(), r.details) ||
        !readAll(fd, o.coverage.data(), r.coverage))
        return false;
    index = r.index;
    o.passed = r.passed == 1;
    o.error = r.passed == 2;
    o.seconds = r.seconds;
    o.expectationsPassed = r.expectationsPassed;
    o.expectationsFailed = r.expectationsFailed;
    return true;
}

struct Worker {
    pid_t pid = -1;
    int jobs = -1;    // the parent writes scenario numbers here
    int results = -1; // and reads outcomes here
    std::optional<std::uint32_t> busyWith;
    Clock::time_point deadline;
    RunProgress* progress = nullptr; // where its run stands, in memory it shares with the runner
};

std::string vcdPathFor(const SuiteSettings& s, const FoundScenario& f) {
    if (s.vcdFolder.empty()) return {};
    return s.vcdFolder + "/" + f.name + ".vcd";
}

// Makes every folder on the way to `file`.
void makeParents(const std::string& file) {
    for (std::size_t slash = file.find('/', 1); slash != std::string::npos; slash = file.find('/', slash + 1))
        ::mkdir(file.substr(0, slash).c_str(), 0755);
}

[[noreturn]] void workerMain(int jobs, int results, const std::vector<FoundScenario>& list,
                             const SuiteSettings& settings, const std::string& scratch, pid_t runner,
                             RunProgress* progress) {
    // The runner stops the workers itself when it is interrupted; a worker outlives it by nothing.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, SIG_IGN);
    // A broken pipe or a file-size limit is then a failed write, said as such, as the journal expects.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != runner) ::_exit(3);
    // What a controller from outside prints must not mix into the runner's lines.
    if (settings.controller != nullptr || !settings.controllerOfRun.empty()) silenceStandardStreams();
    if (::mkdir(scratch.c_str(), 0700) != 0) ::_exit(3);
    std::uint32_t index;
    while (readAll(jobs, &index, sizeof index)) {
        if (index >= list.size()) ::_exit(3);
        ScenarioSettings s;
        s.wallLimit = settings.wallLimit;
        s.rules = settings.rules;
        s.rulesName = settings.rulesName;
        s.controller =
            settings.controllerOfRun.empty() ? settings.controller : settings.controllerOfRun[index];
        s.compare = settings.compare;
        s.progress = progress;
        if (progress != nullptr) { // until the run says where it is: before its start-up
            progress->now.store(0);
            progress->turn.store(0);
            progress->line.store(0);
        }
        s.vcdPath = vcdPathFor(settings, list[index]);
        s.coverage = !settings.coverageFolder.empty();
        if (!settings.journalFolder.empty())
            s.journalCopy = settings.journalFolder + "/" + std::to_string(index);
        if (!s.vcdPath.empty()) makeParents(s.vcdPath);
        const ScenarioOutcome o = runScenario(list[index], scratch, s);
        if (!send(results, index, o)) ::_exit(3);
    }
    ::_exit(0);
}

void closeWorker(Worker& w) {
    if (w.jobs >= 0) ::close(w.jobs);
    if (w.results >= 0) ::close(w.results);
    w.jobs = w.results = -1;
}

std::string death(int status) {
    if (WIFSIGNALED(status)) return "the run died of signal " + std::to_string(WTERMSIG(status));
    return "the run ended with status " + std::to_string(WEXITSTATUS(status));
}

bool parseCount(const std::string& s, unsigned& n) {
    if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return false;
    n = static_cast<unsigned>(std::stoul(s));
    return true;
}

// Ctrl-C, SIGTERM (a `timeout`, a shutdown), SIGHUP and SIGPIPE (the reader of the output gone) stop a
// suite cleanly: its workers are killed, its scratch removed and its report left as it was; the program
// then ends by the same signal (suiteInterruption). A signal that was ignored when the suite began stays
// ignored, SIGPIPE aside: every program that journals ignores it for its journal's sake, and a reader
// that leaves must still stop the suite.
constexpr int kStops[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
volatile std::sig_atomic_t g_caught = 0;
int g_wake = -1; // written by the handler, so that the runner's wait ends at once

void caught(int signal) {
    if (g_caught == 0) g_caught = signal;
    const int saved = errno;
    const char byte = 0;
    if (g_wake >= 0 && ::write(g_wake, &byte, 1) < 0) {
    }
    errno = saved;
}

class StopSignals {
public:
    StopSignals() {
        g_caught = 0;
        if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
        g_wake = wake_[1];
        struct sigaction a {};
        a.sa_handler = caught;
        ::sigemptyset(&a.sa_mask);
        for (std::size_t i = 0; i < std::size(kStops); ++i) {
            ::sigaction(kStops[i], nullptr, &previous_[i]);
            if (previous_[i].sa_handler != SIG_IGN || kStops[i] == SIGPIPE)
                ::sigaction(kStops[i], &a, nullptr);
        }
    }
    ~StopSignals() {
        for (std::size_t i = 0; i < std::size(kStops); ++i)
            ::sigaction(kStops[i], &previous_[i], nullptr);
        g_wake = -1;
        for (int fd : wake_)
            if (fd >= 0) ::close(fd);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    int wakeFd() const { return wake_[0]; }

private:
    int wake_[2];
    struct sigaction previous_[std::size(kStops)];
};

const char* signalName(int signal) {
    switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "a signal";
    }
}

class Runner {
public:
    Runner(const SuiteSettings& s, const std::vector<FoundScenario>& list, std::string scratch,
           std::ostream& out, int wake, const OutcomeReader& read)
        : settings_(s), list_(list), scratch_(std::move(scratch)), out_(out), wake_(wake), read_(read),
          outcomes_(list.size()) {}

    // Every outcome, or, when the suite was stopped (a signal, an output that went away), those that
    // ended before.
    std::vector<std::optional<ScenarioOutcome>>& run() {
        const unsigned jobs = std::min<std::size_t>(settings_.jobs, list_.size());
        if (settings_.controller != nullptr || !settings_.controllerOfRun.empty()) progress_.emplace(jobs);
        for (unsigned i = 0; i < jobs; ++i) {
            Worker w;
            if (progress_) w.progress = progress_->at(i);
            if (!spawn(w)) break;
            workers_.push_back(w);
        }
        if (workers_.empty()) {
            for (std::size_t i = 0; i < list_.size(); ++i)
                finish(i, error("cannot start a worker process: " + spawnError_));
            return outcomes_;
        }
        for (Worker& w : workers_)
            give(w);
        while (done_ < list_.size() && !stopped())
            step();
        for (Worker& w : workers_) {
            if (stopped() && w.pid > 0) ::kill(w.pid, SIGKILL);
            stopWorker(w);
        }
        return outcomes_;
    }

    bool stopped() const { return g_caught != 0 || !out_; }

private:
    static ScenarioOutcome failure(std::string why) {
        ScenarioOutcome o;
        o.summary = std::move(why);
        return o;
    }
    // The bench, not the scenario, failed.
    static ScenarioOutcome error(std::string why) {
        ScenarioOutcome o = failure(std::move(why));
        o.error = true;
        return o;
    }

    bool spawn(Worker& w) {
        // Jobs go over a socket, sent without SIGPIPE: a worker that died is a failed scenario, and only
        // a reader of the output that leaves is the signal that stops the suite.
        int jobs[2], results[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, jobs) != 0) {
            spawnError_ = std::strerror(errno);
            return false;
        }
        if (::pipe2(results, O_CLOEXEC) != 0) {
            spawnError_ = std::strerror(errno);
            ::close(jobs[0]);
            ::close(jobs[1]);
            return false;
        }
        out_.flush(); // a child must not inherit unwritten output
        const std::string scratch = scratch_ + "/w" + std::to_string(spawned_++);
        const pid_t runner = ::getpid();
        const pid_t pid = ::fork();
        if (pid < 0) {
            spawnError_ = std::strerror(errno);
            for (int fd : {jobs[0], jobs[1], results[0], results[1]})
                ::close(fd);
            return false;
        }
        if (pid == 0) {
            // Only this worker's ends stay open, so the parent sees the end of any other worker's pipe.
            for (Worker& other : workers_)
                closeWorker(other);
            ::close(jobs[1]);
            ::close(results[0]);
            workerMain(jobs[0], results[1], list_, settings_, scratch, runner, w.progress);
        }
        ::close(jobs[0]);
        ::close(results[1]);
        w.pid = pid;
        w.jobs = jobs[1];
        w.results = results[0];
        w.busyWith.reset();
        return true;
    }

    void give(Worker& w) {
        if (next_ >= list_.size()) {
            closeWorker(w); // the worker ends at the end of its pipe
            return;
        }
        const auto index = static_cast<std::uint32_t>(next_++);
        w.busyWith = index;
        w.deadline = Clock::now() + settings_.wallLimit + kGrace;
        if (::send(w.jobs, &index, sizeof index, MSG_NOSIGNAL) != static_cast<ssize_t>(sizeof index))
            replace(w, "cannot reach the worker process");
    }

    void stopWorker(Worker& w) {
        closeWorker(w);
        if (w.pid > 0) {
            int status;
            while (::waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
        w.pid = -1;
    }

    // The worker died or hung with a scenario: that scenario fails, a new worker takes over.
    void replace(Worker& w, const std::string& why) {
        const auto index = *w.busyWith;
        if (w.pid > 0) ::kill(w.pid, SIGKILL);
        int status = 0;
        closeWorker(w);
        if (w.pid > 0)
            while (::waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {
            }
        w.pid = -1;
        w.busyWith.reset();
        finish(index, failure(why.empty() ? death(status) : why));
        if (next_ < list_.size() && !stopped()) {
            if (spawn(w)) give(w);
        }
    }

    void step() {
        std::vector<pollfd> fds;
        std::vector<Worker*> owners;
        auto wake = Clock::time_point::max();
        for (Worker& w : workers_)
            if (w.busyWith) {
                fds.push_back({w.results, POLLIN, 0});
                owners.push_back(&w);
                wake = std::min(wake, w.deadline);
            }
        if (fds.empty()) { // every worker lost and none could be started again
            const std::string why = "no worker process left to run it: " + spawnError_;
            while (next_ < list_.size())
                finish(next_++, error(why));
            return;
        }
        if (wake_ >= 0) fds.push_back({wake_, POLLIN, 0});
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(wake - Clock::now()).count();
        const int n =
            ::poll(fds.data(), fds.size(), static_cast<int>(std::clamp<long long>(wait + 1, 0, 60000)));
        if (n < 0 && errno != EINTR) return;
        if (wake_ >= 0 && fds.back().revents != 0) {
            char drained[64];
            while (::read(wake_, drained, sizeof drained) > 0) {
            }
        }
        // A worker that the same Ctrl-C reached is not a failed scenario: the suite stops instead.
        if (stopped()) return;
        for (std::size_t i = 0; i < owners.size(); ++i) {
            Worker& w = *owners[i];
            if (fds[i].revents != 0) {
                std::uint32_t index;
                ScenarioOutcome o;
                if (receive(w.results, index, o) && index == *w.busyWith) {
                    w.busyWith.reset();
                    finish(index, std::move(o));
                    give(w);
                } else {
                    int status = 0;
                    ::waitpid(w.pid, &status, 0);
                    w.pid = -1;
                    replace(w, w.progress != nullptr
                                   ? faultOf(w, controllerDeath(name(w), status, *w.progress))
                                   : death(status));
                }
            } else if (Clock::now() >= w.deadline) {
                replace(w,
                        w.progress != nullptr
                            ? faultOf(w, controllerOutlasted(name(w), settings_.wallLimit, *w.progress))
                            : "did not finish within " + duration(settings_.wallLimit) + " and was killed");
            }
        }
    }

    // A controller from outside that took its worker down: said as the run would have said it.
    std::string name(const Worker& w) const {
        const borne::TypeControleur* c =
            settings_.controllerOfRun.empty() ? settings_.controller : settings_.controllerOfRun[*w.busyWith];
        return c != nullptr ? c->nom : borne::controleurInterne().nom;
    }
    std::string faultOf(const Worker& w, const std::string& reason) const {
        const std::string& script = list_[*w.busyWith].script;
        const std::string line =
            w.progress->turn.load() > 0 ? ":" + std::to_string(w.progress->line.load()) : std::string();
        return (script.empty() ? std::string(kScriptFile) : script.substr(script.rfind('/') + 1)) + line +
               ": " + reason;
    }

    void finish(std::size_t index, ScenarioOutcome o) {
        outcomes_[index] = std::move(o);
        ++done_;
        // In path order whatever order they end in.
        while (printed_ < list_.size() && outcomes_[printed_]) {
            read_(printed_, *outcomes_[printed_]);
            ++printed_;
        }
        out_.flush(); // as it goes, for whoever watches; a reader gone stops the suite
    }

    const SuiteSettings& settings_;
    const std::vector<FoundScenario>& list_;
    const std::string scratch_;
    std::ostream& out_;
    const int wake_;
    const OutcomeReader& read_;
    std::vector<std::optional<ScenarioOutcome>> outcomes_;
    std::vector<Worker> workers_;
    std::optional<SharedProgress> progress_; // one record per worker, for a controller from outside
    std::size_t next_ = 0;
    std::size_t done_ = 0;
    std::size_t printed_ = 0;
    unsigned spawned_ = 0;
    std::string spawnError_; // why the last worker could not be started
};

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

// Where a name would be once written, links followed: the real path of its nearest existing folder,
// then the rest of the name. Empty when no part of it can be resolved.
std::string resolved(const std::string& name) {
    std::string head = name.empty() ? "." : name;
    std::string rest;
    for (;;) {
        if (std::string real = realPath(head); !real.empty())
            return rest.empty() ? real : (real == "/" ? "" : real) + "/" + rest;
        const auto slash = head.find_last_not_of('/') == std::string::npos
                               ? std::string::npos
                               : head.rfind('/', head.find_last_not_of('/'));
        const std::string last = head.substr(slash == std::string::npos ? 0 : slash + 1);
        rest = rest.empty() ? last : last + "/" + rest;
        // Filled and cut in place: GCC 12 at -O3 takes `head = "."` here for an overlapping copy (a false
        // -Wrestrict, GCC bug 105651).
        if (slash == std::string::npos)
            head.assign(1, '.');
        else if (slash == 0)
            head.assign(1, '/');
        else
            head.resize(slash);
        if (last.empty()) return {};
    }
}

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
    if (!s.junitPath.empty()) problem = check("--junit", s.junitPath, resolved(s.junitPath));
    for (const auto& [option, path] : more)
        if (problem.empty() && !path.empty()) problem = check(option, path, resolved(path));
    // A coverage path that is not a folder is refused as such, and nothing is written there.
    struct stat st;
    if (problem.empty() && !s.coverageFolder.empty() &&
        !(::stat(s.coverageFolder.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)))
        problem = check("--coverage", s.coverageFolder, resolved(s.coverageFolder));
    if (!s.vcdFolder.empty()) {
        const std::string folder = resolved(s.vcdFolder);
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
        if (!real.empty() && !holder(resolved(place), {real}).empty())
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

int suiteInterruption() {
    return g_caught;
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

bool runIsolated(const std::vector<FoundScenario>& list, const SuiteSettings& settings, std::ostream& out,
                 const OutcomeReader& read, std::vector<ScenarioOutcome>& outcomes, std::string& error) {
    const StopSignals stops;
    std::string scratch = scratchPlace() + "/borne-suite-XXXXXX";
    if (::mkdtemp(scratch.data()) == nullptr) {
        error = "cannot make a scratch folder " + scratch + ": " + std::strerror(errno);
        return false;
    }
    SuiteSettings s = settings;
    if (s.jobs == 0) s.jobs = coreCount();
    Runner runner(s, list, scratch, out, stops.wakeFd(), read);
    auto& ran = runner.run();
    removeScratch(scratch);
    if (runner.stopped()) {
        error = std::string("stopped by ") +
                (g_caught != 0 ? signalName(g_caught) : "an output that cannot be written") +
                "; the scratch folder is removed";
        return false;
    }
    outcomes.clear();
    for (auto& o : ran)
        outcomes.push_back(std::move(*o));
    return true;
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
    std::string error;
    if (!settings.junitPath.empty() &&
        !junit.open(settings.junitPath, error, Clock::now() + settings.wallLimit)) {
        err << "borne-scenario: " << error << '\n';
        return 2;
    }
    if (!settings.vcdFolder.empty()) {
        makeParents(settings.vcdFolder + "/");
        struct stat st;
        if (::stat(settings.vcdFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
            ::access(settings.vcdFolder.c_str(), W_OK) != 0) {
            err << "borne-scenario: cannot write waveforms into " << settings.vcdFolder << '\n';
            return 2;
        }
    }

    if (!settings.coverageFolder.empty() && !coverage::prepareFolder(settings.coverageFolder, error)) {
        err << "borne-scenario: --coverage: " << error << '\n';
        return 2;
    }

    std::string scratch = place + "/borne-suite-XXXXXX";
    if (::mkdtemp(scratch.data()) == nullptr) {
        err << "borne-scenario: cannot make a scratch folder " << scratch << ": " << std::strerror(errno)
            << '\n';
        return 2;
    }

    SuiteSettings s = settings;
    if (s.jobs == 0) s.jobs = coreCount();
    // Waveform paths are opened by workers that work elsewhere.
    if (!s.vcdFolder.empty() && s.vcdFolder.front() != '/') {
        if (std::string real = realPath(s.vcdFolder); !real.empty()) s.vcdFolder = real;
    }

    const auto start = Clock::now();
    const OutcomeReader print = [&](std::size_t i, const ScenarioOutcome& o) {
        printOutcome(out, "FAIL", list[i].name, o);
    };
    Runner runner(s, list, scratch, out, stops.wakeFd(), print);
    const auto& outcomes = runner.run();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    removeScratch(scratch);
    if (runner.stopped()) {
        const auto ran = static_cast<std::size_t>(
            std::count_if(outcomes.begin(), outcomes.end(), [](const auto& o) { return o.has_value(); }));
        // The reader that left asked for nothing more.
        if (g_caught != SIGPIPE)
            err << "borne-scenario: stopped by "
                << (g_caught != 0 ? signalName(g_caught) : "an output that cannot be written") << " after "
                << ran << " of " << list.size() << " scenarios; the scratch folder is removed"
                << (settings.junitPath.empty() ? "" : ", " + settings.junitPath + " is left as it was")
                << '\n';
        return 2;
    }
    // Folders that look like scenarios but are not one: said, not failed.
    for (const std::string& folder : skipped)
        out << "skipped: " << folder << " (no " << kScriptFile << ")\n";

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
    out << "scenarios: " << passed << " passed, " << list.size() - passed - errors << " failed";
    if (errors > 0) out << ", " << errors << (errors == 1 ? " error" : " errors");
    out << '\n';
    if (!settings.junitPath.empty() && !junit.write(cases, seconds, error)) {
        err << "borne-scenario: " << error << '\n';
        return 2;
    }
    return errors > 0 ? 2 : passed == list.size() ? 0 : 1;
}

} // namespace borne::scenario
