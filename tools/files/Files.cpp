#include "tools/files/Files.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <thread>

namespace borne::files {

namespace {

using Clock = std::chrono::steady_clock;

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

std::string tooLarge(const ReadLimits& limits) {
    return "larger than " + sizeText(limits.maxBytes) + ", the limit for " + std::string(limits.what);
}

void blocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

int remainingMs(const Deadline& deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60000));
}

} // namespace

bool readWhole(const std::filesystem::path& path, std::string& content, std::string& error,
               const ReadLimits& limits) {
    const auto fail = [&](const std::string& why) {
        error = "cannot read " + path.string() + ": " + why;
        return false;
    };
    const bool timed = limits.deadline.has_value();
    int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY;
    // Without waiting: a named pipe's open would wait for its writer, whatever the limits say.
    if (limits.regularOnly || timed) flags |= O_NONBLOCK;
    int raw;
    do
        raw = ::open(path.c_str(), flags);
    while (raw < 0 && errno == EINTR);
    if (raw < 0) return fail(std::strerror(errno));
    const Descriptor fd(raw);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return fail(std::strerror(errno));
    if (limits.regularOnly && !S_ISREG(st.st_mode)) return fail("not a regular file");
    if (S_ISREG(st.st_mode) && limits.maxBytes > 0 &&
        static_cast<std::uintmax_t>(st.st_size) > limits.maxBytes)
        return fail(tooLarge(limits));
    // A pipe is read within the deadline; anything else reads as it would have blocking.
    const bool watched = timed && S_ISFIFO(st.st_mode);
    if (!watched) blocking(fd.get());

    content.clear();
    if (S_ISREG(st.st_mode)) content.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[1 << 16];
    for (;;) {
        if (watched) {
            pollfd p{fd.get(), POLLIN, 0};
            const int ready = ::poll(&p, 1, remainingMs(limits.deadline));
            if (ready < 0 && errno == EINTR) continue;
            if (ready < 0) return fail(std::strerror(errno));
            if (ready == 0) return fail("a named pipe whose writer did not come and finish in time");
        }
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || (watched && errno == EAGAIN))) continue;
        if (n < 0) return fail(std::strerror(errno));
        if (n == 0) break;
        if (limits.maxBytes > 0 && content.size() + static_cast<std::size_t>(n) > limits.maxBytes)
            return fail(tooLarge(limits));
        content.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

bool readWhole(std::istream& in, std::string_view name, std::string& content, std::string& error,
               const ReadLimits& limits) {
    content.clear();
    char buffer[1 << 16];
    while (in) {
        in.read(buffer, sizeof buffer);
        const auto n = static_cast<std::size_t>(in.gcount());
        if (n == 0) break;
        if (limits.maxBytes > 0 && content.size() + n > limits.maxBytes) {
            error = "cannot read " + std::string(name) + ": " + tooLarge(limits);
            return false;
        }
        content.append(buffer, n);
    }
    if (in.bad()) {
        error = "cannot read " + std::string(name);
        return false;
    }
    return true;
}

bool writeWhole(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool writeWhole(const std::filesystem::path& path, std::string_view data, std::string& error) {
    const int fd = openForWriting(path, std::nullopt, error);
    if (fd < 0) return false;
    const bool written = writeWhole(fd, data);
    int reason = errno;
    const bool closed = ::close(fd) == 0;
    if (written && closed) return true;
    if (written) reason = errno;
    error = "cannot write " + path.string() + ": " + std::strerror(reason);
    return false;
}

int openForWriting(const std::filesystem::path& path, const Deadline& deadline, std::string& error) {
    constexpr int kFlags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY;
    for (;;) {
        // With a deadline, a named pipe without a reader fails at once (ENXIO) and is tried again.
        const int fd = ::open(path.c_str(), deadline ? kFlags | O_NONBLOCK : kFlags, 0644);
        if (fd >= 0) {
            if (deadline) blocking(fd);
            return fd;
        }
        if (errno == EINTR) continue;
        if (errno == ENXIO && deadline && Clock::now() < *deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        error =
            "cannot write " + path.string() + ": " +
            (errno == ENXIO ? std::string("a named pipe that nobody read in time") : std::strerror(errno));
        return -1;
    }
}

std::string realPath(const std::filesystem::path& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) return {};
    std::string r = real;
    std::free(real);
    return r;
}

// Where a name would be once written, links followed: the real path of its nearest existing folder,
// then the rest of the name. Empty when no part of it can be resolved.
std::string writtenPath(const std::string& name) {
    std::string head = name.empty() ? "." : name;
    // A link to what does not exist yet is written through: where it leads is the name (as the kernel
    // follows at most 40 links).
    for (int links = 0; links < 40 && realPath(head).empty(); ++links) {
        std::error_code e;
        const std::filesystem::path target = std::filesystem::read_symlink(head, e);
        if (e) break;
        head = (target.is_absolute() ? target : std::filesystem::path(head).parent_path() / target).string();
    }
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

std::string sizeText(std::uintmax_t bytes) {
    constexpr std::uintmax_t kKiB = 1024, kMiB = kKiB * 1024;
    if (bytes >= kMiB && bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
    if (bytes >= kKiB && bytes % kKiB == 0) return std::to_string(bytes / kKiB) + " KiB";
    return std::to_string(bytes) + " bytes";
}

} // namespace borne::files
