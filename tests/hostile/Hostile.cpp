#include "Hostile.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <new>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// A process the attack leaves behind is named so: none may be found once the bench has ended.
constexpr const char* kSurvivor = "borne-survivor";

// The port a test listens on, on the loopback: reaching it means the controller has a network.
constexpr int kListenerPort = 47823;

[[maybe_unused]] void writeEverywhere(const void* bytes, std::size_t n) {
    for (int fd = 0; fd < 256; ++fd) {
        (void)!::write(fd, bytes, n);
    }
}

[[maybe_unused]] [[noreturn]] void survive() {
    ::prctl(PR_SET_NAME, kSurvivor);
    std::signal(SIGTERM, SIG_IGN);
    std::signal(SIGHUP, SIG_IGN);
    for (;;) ::pause();
}

// Every file reachable under `folder` (the system's own trees left out), at most `depth` folders down.
[[maybe_unused]] void walk(const std::string& folder, int depth, std::vector<std::string>& found) {
    if (depth < 0 || folder == "/usr" || folder == "/proc" || folder == "/sys" || folder == "/dev") return;
    DIR* d = ::opendir(folder.c_str());
    if (d == nullptr) return;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = (folder == "/" ? "" : folder) + "/" + name;
        struct stat s{};
        if (::lstat(path.c_str(), &s) != 0) continue;
        if (S_ISDIR(s.st_mode))
            walk(path, depth - 1, found);
        else
            found.push_back(path);
    }
    ::closedir(d);
}

#if defined(HOSTILE_INIT_EXIT)
struct AtLoad {
    AtLoad() { std::exit(0); }
} atLoad;
#elif defined(HOSTILE_INIT_CRASH)
struct AtLoad {
    AtLoad() { std::raise(SIGSEGV); }
} atLoad;
#elif defined(HOSTILE_INIT_THROW)
struct AtLoad {
    AtLoad() { throw 42; }
} atLoad;
#elif defined(HOSTILE_INIT_SLEEP)
struct AtLoad {
    AtLoad() {
        for (;;) ::sleep(1000);
    }
} atLoad;
#elif defined(HOSTILE_ATEXIT_GRADES)
// At the process's end, every report named on any command line it can see is rewritten to a pass.
void forgeReports() {
    DIR* d = ::opendir("/proc");
    while (d != nullptr) {
        const dirent* e = ::readdir(d);
        if (e == nullptr) break;
        const std::string cmdline = std::string("/proc/") + e->d_name + "/cmdline";
        const int fd = ::open(cmdline.c_str(), O_RDONLY);
        if (fd < 0) continue;
        char buffer[8192];
        const ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
        ::close(fd);
        for (ssize_t i = 0; i < n;) {
            const std::string argument(buffer + i);
            i += static_cast<ssize_t>(argument.size()) + 1;
            if (argument.ends_with(".csv") || argument.ends_with(".xml")) {
                const std::string at = std::string("/proc/") + e->d_name + "/cwd/" + argument;
                for (const auto& path : {argument, at}) {
                    if (FILE* f = std::fopen(path.c_str(), "w")) {
                        std::fputs("EVERYONE,ALL,PASS\n", f);
                        std::fclose(f);
                    }
                }
            }
        }
    }
    if (d != nullptr) ::closedir(d);
}
struct AtLoad {
    AtLoad() { std::atexit(forgeReports); }
} atLoad;
#elif defined(HOSTILE_DOUBLE_FORK)
// A process of its own session, deaf to SIGTERM, meant to outlive the bench.
struct AtLoad {
    AtLoad() {
        if (::fork() == 0) {
            ::setsid();
            if (::fork() == 0) survive();
            ::_exit(0);
        }
    }
} atLoad;
#elif defined(HOSTILE_STATIC_COUNTER)
int folders = 0; // how many start-ups this process has seen
#endif

} // namespace

tHostile::tHostile() {
#if defined(HOSTILE_STATIC_COUNTER)
    // A process reused for a second folder would carry this count; a fresh one per folder never does.
    if (folders++ > 0) throw std::runtime_error("a second folder in one process");
#elif defined(HOSTILE_GARBAGE)
    const unsigned char garbage[8] = {0xde, 0xad, 0xbe, 0xef, 0x00, 0xff, 0x0a, 0x0a};
    writeEverywhere(garbage, sizeof garbage);
#elif defined(HOSTILE_READ_ANSWERS)
    std::vector<std::string> files;
    walk("/", 8, files);
    for (const auto& f : files) {
        if (f.ends_with("/expected/Log.txt") || f.ends_with("/scenario.scn") || f.ends_with(".csv"))
            throw std::runtime_error("read " + f);
    }
#elif defined(HOSTILE_WRITE_FILES)
    std::vector<std::string> folders = {"/", "/tmp", ".", "/proc/self/cwd", "/proc/1/cwd", "/dev/shm"};
    std::vector<std::string> files;
    walk("/", 4, files);
    for (const auto& f : files) {
        folders.push_back(f.substr(0, f.rfind('/')));
    }
    for (const auto& folder : folders) {
        const std::string path = folder + "/borne-hostile-was-here";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            ::close(fd);
            throw std::runtime_error("wrote " + path);
        }
    }
#elif defined(HOSTILE_MEMORY)
    // Far more than any controller needs, touched so that it is really taken.
    const std::size_t size = std::size_t{8} << 30;
    char* p = static_cast<char*>(std::malloc(size));
    if (p == nullptr) throw std::bad_alloc();
    for (std::size_t i = 0; i < size; i += 4096) p[i] = 1;
#elif defined(HOSTILE_FORK_BOMB)
    // Well past the sandbox's limit, yet harmless should a machine run it without one.
    for (int i = 0; i < 500; ++i) {
        const pid_t pid = ::fork();
        if (pid < 0) break;
        if (pid == 0) survive();
    }
#elif defined(HOSTILE_NETWORK)
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    if (s >= 0) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(kListenerPort);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool reached = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(s);
        if (reached) throw std::runtime_error("reached the network");
    }
#endif
}

void tHostile::Tour() {
    ++tours_;
#if defined(HOSTILE_FORGE_RECORD)
    // A made-up pass on every descriptor, then the controller's own failure in the third turn.
    const char forged[] = "PASS\tentry-by-code\t22 passed, 0 failed\n";
    if (tours_ == 1) writeEverywhere(forged, sizeof forged - 1);
    if (tours_ == 3) throw std::runtime_error("the third turn");
#elif defined(HOSTILE_FORK_IN_TURN)
    if (tours_ == 2 && ::fork() == 0) survive();
#elif defined(HOSTILE_KILL_GROUP)
    if (tours_ == 2) ::kill(0, SIGKILL);
#elif defined(HOSTILE_KILL_PARENT)
    if (tours_ == 1) {
        ::kill(::getppid(), SIGKILL);
        ::kill(1, SIGKILL);
        ::kill(0, SIGTERM);
    }
#elif defined(HOSTILE_THREAD_AFTER_TURN)
    // A thread that goes on driving the display after its turn has ended.
    if (tours_ == 1) {
        std::thread([] {
            tSystemeBarriere systeme;
            for (;;) systeme.Afficher("-   pirate           -", "-   pirate           -");
        }).detach();
    }
#endif
    terminal_.Tour();
}
