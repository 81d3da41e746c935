#include "tools/sandbox/Sandbox.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace borne::sandbox {

namespace {

// Who a sandbox runs as when the bench is root: the limit on processes is not enforced for root, and a
// user of its own keeps the controller from anything only root may touch. The limit counts every process
// of that user on the machine, so each sandbox has a user of its own, from its process number: one that
// forks all it may leaves its neighbours theirs.
constexpr uid_t kFirstUnprivileged = 200000;
constexpr uid_t kUnprivilegedUsers = 400000;

uid_t unprivileged() {
    return kFirstUnprivileged + static_cast<uid_t>(::getpid()) % kUnprivilegedUsers;
}

// Debian's bubblewrap, or the one BORNE_BUBBLEWRAP names (a machine that keeps it elsewhere; a test that
// must see a machine without one).
const std::string& bubblewrap() {
    static const std::string path = [] {
        const char* given = std::getenv("BORNE_BUBBLEWRAP");
        return std::string(given != nullptr && *given != '\0' ? given : "/usr/bin/bwrap");
    }();
    return path;
}

bool executable(const char* path) {
    return ::access(path, X_OK) == 0;
}

// The runtime every controller may read: the system's programs and libraries, and what a dynamic
// loader or an interpreter looks up in /etc.
const std::vector<std::string>& runtimeViews() {
    static const std::vector<std::string> views = {"/etc/ld.so.cache", "/etc/alternatives",
                                                   "/etc/localtime"};
    return views;
}

std::vector<std::string> bubblewrapArguments(const Launch& launch) {
    std::vector<std::string> a = {bubblewrap(), "--unshare-all", "--die-with-parent", "--new-session",
                                  "--cap-drop", "ALL", "--uid", "65534", "--gid", "65534",
                                  "--ro-bind", "/usr", "/usr",
                                  "--symlink", "usr/bin", "/bin", "--symlink", "usr/lib", "/lib",
                                  "--symlink", "usr/lib64", "/lib64", "--symlink", "usr/sbin", "/sbin",
                                  "--proc", "/proc", "--dev", "/dev", "--chdir", "/", "--clearenv"};
    for (const auto& view : runtimeViews()) {
        a.insert(a.end(), {"--ro-bind-try", view, view});
    }
    for (const auto& view : launch.readOnly) {
        a.insert(a.end(), {"--ro-bind", view, view});
    }
    // Nothing in the sandbox is written: bubblewrap's own root and /dev are made read-only too.
    a.insert(a.end(), {"--remount-ro", "/dev", "--remount-ro", "/"});
    a.insert(a.end(), {"--setenv", "PATH", "/usr/bin:/bin", "--setenv", "HOME", "/", "--setenv",
                       "BORNE_PROTOCOL_FD", "3", "--setenv", "PYTHONDONTWRITEBYTECODE", "1"});
    for (const auto& variable : launch.environment) {
        const auto equals = variable.find('=');
        if (equals == std::string::npos) continue;
        a.insert(a.end(), {"--setenv", variable.substr(0, equals), variable.substr(equals + 1)});
    }
    a.emplace_back("--");
    // The limit on processes is set inside, in the sandbox's own user namespace, where it counts that
    // sandbox's processes only: set on bubblewrap, it would count every process of the person running
    // the bench (a desktop session has more than a controller may), and the namespace could not be made.
    a.insert(a.end(), {"/usr/bin/prlimit", "--nproc=" + std::to_string(launch.limits.processes), "--"});
    a.insert(a.end(), launch.argv.begin(), launch.argv.end());
    return a;
}

// Whether the unprivileged user could reach everything the sandbox shows: a folder only root may enter
// (a checkout under /root) keeps the sandbox root's, in a user namespace without capabilities, and then
// the limit on processes is the one thing root is not held to. Async-signal-safe: a forked child
// checks it, as that user, and reports on a pipe.
bool readableByUnprivileged(const Launch& launch, uid_t user) {
    int report[2];
    if (::pipe(report) != 0) return false;
    const pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        ::close(report[0]);
        char ok = 1;
        if (::setgroups(0, nullptr) != 0 || ::setgid(user) != 0 || ::setuid(user) != 0) ok = 0;
        if (ok != 0 && ::access(launch.argv[0].c_str(), X_OK) != 0) ok = 0;
        for (const auto& view : launch.readOnly) {
            if (ok != 0 && ::access(view.c_str(), R_OK) != 0) ok = 0;
        }
        (void)!::write(report[1], &ok, 1);
        ::_exit(0);
    }
    ::close(report[1]);
    char ok = 0;
    while (::read(report[0], &ok, 1) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return ok == 1;
}

void setLimit(int resource, rlim_t value) {
    const rlimit l{value, value};
    ::setrlimit(resource, &l);
}

// In the child, between fork and exec: only async-signal-safe calls, then exec or _exit.
[[noreturn]] void becomeController(const Launch& launch, const std::vector<char*>& argv,
                                   const std::vector<char*>& envp, int outputWrite) {
    // Out of the way of 0 to 3 first, so that no dup2 below lands on a descriptor still to be moved.
    const int channel = ::fcntl(launch.channel, F_DUPFD_CLOEXEC, 10);
    const int output = ::fcntl(outputWrite, F_DUPFD_CLOEXEC, 10);
    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (channel < 0 || output < 0 || devNull < 0 || ::dup2(devNull, 0) < 0 || ::dup2(output, 1) < 0 ||
        ::dup2(output, 2) < 0 || ::dup2(channel, 3) < 0)
        ::_exit(127);
    // Nothing of the bench's but the channel crosses: every other descriptor closes at exec.
    for (int fd = 4; fd < 1024; ++fd) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    ::setpgid(0, 0);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int s = 1; s < NSIG; ++s) {
        ::signal(s, SIG_DFL);
    }
    if (launch.sandboxed) {
#ifndef BORNE_SANITIZED
        // A sanitizer's runtime maps terabytes of shadow it never touches: under one, no address limit.
        setLimit(RLIMIT_AS, launch.limits.memoryBytes);
#endif
        setLimit(RLIMIT_CPU, launch.limits.cpuSeconds);
        setLimit(RLIMIT_NOFILE, launch.limits.openFiles);
        setLimit(RLIMIT_FSIZE, 0);
        setLimit(RLIMIT_CORE, 0);
        const uid_t user = unprivileged();
        if (::geteuid() == 0 && readableByUnprivileged(launch, user)) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(user) != 0 || ::setuid(user) != 0)
                ::_exit(126);
            // A user of its own: the limit counts this sandbox only, bubblewrap's own processes with it.
            setLimit(RLIMIT_NPROC, launch.limits.processes);
        }
    }
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
}

} // namespace

bool sandboxUser(uid_t user) noexcept {
    return user >= kFirstUnprivileged && user < kFirstUnprivileged + kUnprivilegedUsers;
}

std::optional<std::string> unavailable() {
    static std::once_flag once;
    static std::optional<std::string> why;
    std::call_once(once, [] {
        if (!executable(bubblewrap().c_str())) {
            why = bubblewrap() + " is missing (Debian's bubblewrap)";
            return;
        }
        Launch probe;
        probe.argv = {"/usr/bin/true"};
        int channel[2];
        if (::pipe2(channel, O_CLOEXEC) != 0) {
            why = std::string("no pipe: ") + std::strerror(errno);
            return;
        }
        probe.channel = channel[0];
        std::string error;
        const auto started = start(probe, error);
        ::close(channel[0]);
        ::close(channel[1]);
        if (!started) {
            why = error;
            return;
        }
        std::string said;
        char buffer[512];
        int status = 0;
        while (::waitpid(started->pid, &status, 0) < 0 && errno == EINTR) {
        }
        for (ssize_t n; (n = ::read(started->output, buffer, sizeof buffer)) > 0 && said.size() < 2048;) {
            said.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(started->output);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            while (!said.empty() && (said.back() == '\n' || said.back() == '\r')) said.pop_back();
            why = "bubblewrap cannot make a sandbox here" + (said.empty() ? std::string() : ": " + said);
        }
    });
    return why;
}

std::optional<Started> start(const Launch& launch, std::string& error) {
    if (launch.argv.empty() || launch.argv[0].empty() || launch.argv[0][0] != '/') {
        error = "the controller's program must be named by an absolute path";
        return std::nullopt;
    }
    if (launch.channel < 0) {
        error = "no channel to the controller";
        return std::nullopt;
    }
    const auto strings = launch.sandboxed ? bubblewrapArguments(launch) : launch.argv;
    std::vector<std::string> environment;
    if (!launch.sandboxed) {
        // A variable the launch sets replaces the bench's own (the first of two is the one a program reads).
        const auto replaced = [&launch](const char* e) {
            if (std::strncmp(e, "BORNE_PROTOCOL_FD=", 18) == 0) return true;
            for (const auto& v : launch.environment) {
                const auto equals = v.find('=');
                if (equals != std::string::npos && std::strncmp(e, v.c_str(), equals + 1) == 0) return true;
            }
            return false;
        };
        for (char** e = environ; *e != nullptr; ++e) {
            if (!replaced(*e)) environment.emplace_back(*e);
        }
        environment.insert(environment.end(), launch.environment.begin(), launch.environment.end());
        environment.emplace_back("BORNE_PROTOCOL_FD=3");
    }
    std::vector<char*> argv, envp;
    for (const auto& s : strings) argv.push_back(const_cast<char*>(s.c_str()));
    argv.push_back(nullptr);
    for (const auto& s : environment) envp.push_back(const_cast<char*>(s.c_str()));
    envp.push_back(nullptr);

    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) {
        error = std::string("no pipe for the controller's output: ") + std::strerror(errno);
        return std::nullopt;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        error = std::string("cannot start the controller: ") + std::strerror(errno);
        ::close(output[0]);
        ::close(output[1]);
        return std::nullopt;
    }
    if (pid == 0) becomeController(launch, argv, envp, output[1]);
    ::close(output[1]);
    ::fcntl(output[0], F_SETFL, ::fcntl(output[0], F_GETFL) | O_NONBLOCK);
    return Started{pid, output[0]};
}

} // namespace borne::sandbox
