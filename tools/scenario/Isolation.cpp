#include "tools/scenario/Isolation.h"

#include "tools/files/Files.h"
#include "tools/grammar/Show.h"
#include "tools/scenario/Wire.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <new>
#include <optional>
#include <ostream>
#include <poll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace borne::scenario {

namespace {

using Clock = std::chrono::steady_clock;

// Time a child gets beyond the run's own limit before it is killed: the engine stops a run that waits
// at its limit by itself, so only a turn that never returns is still going then.
constexpr std::chrono::seconds kGrace{2};

// The child's two streams share one pipe, in frames: a tag, a length, the bytes.
enum Tag : char { kOut = 1, kErr = 2, kEnd = 3 };
constexpr std::size_t kFrame = 1 << 16;

std::string frame(char tag, std::string_view bytes) {
    const auto size = static_cast<std::uint32_t>(bytes.size());
    std::string f(1, tag);
    f.append(reinterpret_cast<const char*>(&size), sizeof size);
    f.append(bytes);
    return f;
}

// A stream of the child: each flush goes to the parent as one frame.
class FrameBuffer final : public std::streambuf {
public:
    FrameBuffer(int fd, char tag) : fd_(fd), tag_(tag) { setp(buffer_, buffer_ + sizeof buffer_); }

protected:
    int overflow(int c) override {
        if (!send()) return traits_type::eof();
        if (c != traits_type::eof()) {
            *pptr() = static_cast<char>(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return send() ? 0 : -1; }

private:
    bool send() {
        const std::string_view pending(pbase(), static_cast<std::size_t>(pptr() - pbase()));
        setp(buffer_, buffer_ + sizeof buffer_);
        return pending.empty() || files::writeWhole(fd_, frame(tag_, pending));
    }

    int fd_;
    char tag_;
    char buffer_[kFrame];
};

int waitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

[[noreturn]] void childMain(const ChildRun& run, int fd, RunProgress& progress) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    silenceStandardStreams();
    int status = 2;
    {
        FrameBuffer outBuffer(fd, kOut), errBuffer(fd, kErr);
        std::ostream out(&outBuffer), err(&errBuffer);
        try {
            status = run(out, err, progress);
        } catch (const std::exception& e) { // the bench's own, as the program says it
            out.flush();
            err << "borne-scenario: " << e.what() << '\n';
        }
        out.flush();
        err.flush();
    }
    const auto code = static_cast<std::int32_t>(status);
    files::writeWhole(fd, frame(kEnd, std::string_view(reinterpret_cast<const char*>(&code), sizeof code)));
    ::_exit(0);
}

// How the child's frames ended: with the status it returned, or killed at the deadline, or neither (it
// died, or the pipe broke).
struct Relayed {
    std::optional<int> returned;
    bool killed = false;
};

// Passes the child's frames on to `out` and `err` as they come, until its end frame, a broken pipe or
// the deadline (then the child is killed).
Relayed relay(int fd, pid_t pid, std::chrono::milliseconds wallLimit, std::ostream& out, std::ostream& err) {
    const bool limited = wallLimit.count() > 0;
    const auto deadline = Clock::now() + wallLimit + kGrace;
    Relayed r;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        int timeout = -1;
        if (limited) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            timeout = static_cast<int>(std::clamp<long long>(left.count() + 1, 0, 60000));
        }
        const int n = ::poll(&p, 1, timeout);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) {
            if (Clock::now() < deadline) continue;
            ::kill(pid, SIGKILL);
            r.killed = true;
            return r;
        }
        char tag;
        std::uint32_t size;
        if (n < 0 || !readAll(fd, &tag, 1) || !readAll(fd, &size, sizeof size) || size > kFrame) return r;
        std::string bytes(size, '\0');
        if (!readAll(fd, bytes.data(), size)) return r;
        if (tag == kOut) {
            out << bytes;
            out.flush();
        } else if (tag == kErr) {
            err << bytes;
            err.flush();
        } else if (tag == kEnd && size == sizeof(std::int32_t)) {
            std::int32_t code;
            std::memcpy(&code, bytes.data(), sizeof code);
            r.returned = code;
            return r;
        } else {
            return r;
        }
    }
}

std::string where(std::uint64_t turn, std::int64_t now) {
    return (turn == 0 ? std::string("during start-up") : "in turn " + std::to_string(turn)) + " at " +
           std::to_string(now) + " ms";
}

} // namespace

std::string controllerFault(const std::string& controller, const std::string& what, std::uint64_t turn,
                            std::int64_t now) {
    constexpr std::size_t kShown = 200;
    return "the controller " + visible(clipped(controller, kShown)) + " " + visible(clipped(what, kShown)) +
           " " + where(turn, now);
}

std::string nameOfSignal(int signal) {
    if (const char* abbreviation = ::sigabbrev_np(signal)) return std::string("SIG") + abbreviation;
    return "signal " + std::to_string(signal);
}

std::string controllerDeath(const std::string& controller, int status, const RunProgress& p) {
    const std::string what =
        WIFSIGNALED(status) ? "crashed with " + nameOfSignal(WTERMSIG(status))
                            : "ended the process (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
    return controllerFault(controller, what, p.turn.load(), p.now.load());
}

std::string controllerOutlasted(const std::string& controller, std::chrono::milliseconds limit,
                                const RunProgress& p) {
    return controllerFault(controller,
                           "did not return within the limit of " + duration(limit) + " and was stopped",
                           p.turn.load(), p.now.load());
}

SharedProgress::SharedProgress(std::size_t count) : count_(count) {
    void* memory = ::mmap(nullptr, std::max<std::size_t>(count, 1) * sizeof(RunProgress),
                          PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return;
    records_ = static_cast<RunProgress*>(memory);
    for (std::size_t i = 0; i < count; ++i)
        new (records_ + i) RunProgress();
}

SharedProgress::~SharedProgress() {
    if (records_ != nullptr) ::munmap(records_, std::max<std::size_t>(count_, 1) * sizeof(RunProgress));
}

void silenceStandardStreams() {
    const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nowhere < 0) return;
    ::dup2(nowhere, STDOUT_FILENO);
    ::dup2(nowhere, STDERR_FILENO);
    ::close(nowhere);
}

int runInChild(const ChildRun& run, const std::string& scriptName, const std::string& controller,
               std::chrono::milliseconds wallLimit, std::ostream& out, std::ostream& err) {
    SharedProgress shared(1);
    RunProgress unshared;
    RunProgress& progress = shared.at(0) != nullptr ? *shared.at(0) : unshared;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        err << "borne-scenario: cannot make a pipe to the run: " << std::strerror(errno) << '\n';
        return 2;
    }
    out.flush(); // a child must not inherit unwritten output
    err.flush();
    const pid_t pid = ::fork();
    if (pid < 0) {
        err << "borne-scenario: cannot start the run's process: " << std::strerror(errno) << '\n';
        ::close(fds[0]);
        ::close(fds[1]);
        return 2;
    }
    if (pid == 0) {
        ::close(fds[0]);
        childMain(run, fds[1], progress);
    }
    ::close(fds[1]);

    const Relayed relayed = relay(fds[0], pid, wallLimit, out, err);
    ::close(fds[0]);
    const int status = waitFor(pid);
    if (relayed.returned) return *relayed.returned;
    const std::string reason = relayed.killed ? controllerOutlasted(controller, wallLimit, progress)
                                              : controllerDeath(controller, status, progress);
    out.flush();
    err << scriptName;
    if (progress.turn.load() > 0) err << ':' << progress.line.load();
    err << ": " << reason << '\n';
    return 1;
}

} // namespace borne::scenario
