#include "tools/scenario/WorkerPool.h"

#include "tools/files/Files.h"
#include "tools/scenario/Wire.h"

#include "tools/grammar/Show.h"
#include "tools/scenario/Folder.h"
#include "tools/scenario/Isolation.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <ostream>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// The suite's worker pool: forked workers that each run one scenario folder at a time in a scratch copy,
// a runner that hands them folders, reads their outcomes off the wire and replaces a worker that dies or
// hangs, and the signals that stop it all cleanly.
namespace borne::scenario {

namespace {

using Clock = std::chrono::steady_clock;

// Time a worker gets beyond the scenario's own limit (copying, comparing) before it is killed.
constexpr std::chrono::seconds kGrace{5};

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
        s.coverage = !settings.coverageFolder.empty() || settings.countCoverage;
        if (!settings.journalFolder.empty())
            s.journalCopy = settings.journalFolder + "/" + std::to_string(index);
        if (!settings.detailFolder.empty()) s.detailPrefix = settings.detailFolder + "/" + std::to_string(index);
        if (!s.vcdPath.empty()) makeParents(s.vcdPath);
        const ScenarioOutcome o = runScenario(list[index], scratch, s);
        if (!sendOutcome(results, index, o)) ::_exit(3);
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

// The signals StopSignals takes (see WorkerPool.h), and the first one caught.
constexpr int kStops[StopSignals::kCount] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
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

} // namespace

StopSignals::StopSignals() {
    g_caught = 0;
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
    g_wake = wake_[1];
    struct sigaction a {};
    a.sa_handler = caught;
    ::sigemptyset(&a.sa_mask);
    for (std::size_t i = 0; i < std::size(kStops); ++i) {
        ::sigaction(kStops[i], nullptr, &previous_[i]);
        if (previous_[i].sa_handler != SIG_IGN || kStops[i] == SIGPIPE) ::sigaction(kStops[i], &a, nullptr);
    }
}

StopSignals::~StopSignals() {
    for (std::size_t i = 0; i < std::size(kStops); ++i)
        ::sigaction(kStops[i], &previous_[i], nullptr);
    g_wake = -1;
    for (int fd : wake_)
        if (fd >= 0) ::close(fd);
}

const char* signalName(int signal) {
    switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "a signal";
    }
}

namespace {

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
                if (receiveOutcome(w.results, index, o) && index == *w.busyWith) {
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
        // Built by appending: GCC 12 at -O3 sees an overlapping copy in ":" + std::string&& that is not
        // there.
        std::string fault = script.empty() ? std::string(kScriptFile) : script.substr(script.rfind('/') + 1);
        if (w.progress->turn.load() > 0) {
            fault += ':';
            fault += std::to_string(w.progress->line.load());
        }
        fault += ": ";
        fault += reason;
        return fault;
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

void makeParents(const std::string& file) {
    for (std::size_t slash = file.find('/', 1); slash != std::string::npos; slash = file.find('/', slash + 1))
        ::mkdir(file.substr(0, slash).c_str(), 0755);
}

PoolOutcomes runPool(const SuiteSettings& settings, const std::vector<FoundScenario>& list,
                     std::string scratch, std::ostream& out, int wake, const OutcomeReader& read) {
    Runner runner(settings, list, std::move(scratch), out, wake, read);
    PoolOutcomes ran;
    ran.outcomes = std::move(runner.run());
    ran.stopped = runner.stopped();
    return ran;
}

int suiteInterruption() {
    return g_caught;
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

} // namespace borne::scenario
