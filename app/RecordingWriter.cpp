#include "app/RecordingWriter.h"

#include "tools/files/Files.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace borne::recording {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

bool appendWhole(int fd, off_t& size, std::string_view bytes) {
    if (!files::writeWhole(fd, bytes)) {
        const int error = errno;
        if (::ftruncate(fd, size) == 0) ::lseek(fd, size, SEEK_SET);
        errno = error;
        return false;
    }
    size += static_cast<off_t>(bytes.size());
    return true;
}

off_t regularSize(const fs::path& p) {
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    return st.st_size;
}

int createFile(const fs::path& p) {
    return ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
}

Writer::Writer(fs::path dir, int scenario, int expected, fs::path journal, off_t journalStart)
    : dir_(std::move(dir)), scenario_(scenario), expected_(expected), journal_(std::move(journal)),
      copied_(journalStart) {}

Writer::~Writer() {
    ::close(scenario_);
    ::close(expected_);
}

void Writer::start() {
    thread_ = std::thread([self = shared_from_this()] { self->run(); });
}

void Writer::push(std::string lines) {
    {
        const VerrouPris lock(mutex_);
        if (closing_) return;
        pending_.push_back(std::move(lines));
    }
    wake_.notify_all(); // the writer and a closer may both wait on it
}

void Writer::close(std::chrono::milliseconds limit) {
    {
        const VerrouPris lock(mutex_);
        closing_ = true;
    }
    wake_.notify_all(); // the writer and a closer may both wait on it
    if (!thread_.joinable()) return;
    bool finished;
    {
        const VerrouPris lock(mutex_);
        const auto deadline = Clock::now() + limit;
        // The wait gives the lock back while it sleeps and holds it again whenever it returns.
        while (!done_ && wake_.wait_until(mutex_, deadline) == std::cv_status::no_timeout) {
        }
        finished = done_;
    }
    if (finished) {
        thread_.join();
    } else {
        std::fprintf(stderr, "borne: the recording in %s is still being written; it may be incomplete\n",
                     dir_.c_str());
        thread_.detach();
    }
}

void Writer::run() {
    // The journal is looked at this often while nothing else comes.
    constexpr auto kJournalPoll = std::chrono::milliseconds(200);
    for (;;) {
        std::deque<std::string> batches;
        bool closing;
        {
            const VerrouPris lock(mutex_);
            const auto deadline = Clock::now() + kJournalPoll;
            while (pending_.empty() && !closing_ &&
                   wake_.wait_until(mutex_, deadline) == std::cv_status::no_timeout) {
            }
            batches.swap(pending_);
            closing = closing_;
        }
        for (const std::string& batch : batches)
            if (!failed_ && !appendWhole(scenario_, scenarioSize_, batch)) fail();
        copyJournal(closing);
        if (closing) {
            const VerrouPris lock(mutex_);
            if (pending_.empty()) {
                done_ = true;
                break;
            }
        }
    }
    wake_.notify_all();
}

// Appends to expected/Log.txt what the terminal added to its journal since the last look. While the
// terminal runs, whole lines only: the bytes after the last line end may be a line that the disk did not
// take whole, which the journal then cuts back. At the end (the worker gone) everything.
void Writer::copyJournal(bool toTheEnd) {
    if (failed_ || regularSize(journal_) <= copied_) return;
    const int fd = ::open(journal_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return;
    std::array<char, 1 << 15> buffer;
    for (;;) {
        const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), copied_);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        std::string_view read(buffer.data(), static_cast<std::size_t>(n));
        if (!toTheEnd) read = read.substr(0, read.rfind('\n') + 1); // npos + 1: nothing
        if (read.empty()) break;
        if (!appendWhole(expected_, expectedSize_, read)) {
            fail();
            break;
        }
        copied_ += static_cast<off_t>(read.size());
    }
    ::close(fd);
}

void Writer::fail() {
    std::fprintf(stderr, "borne: recording in %s stopped: %s; the terminal goes on without it\n",
                 dir_.c_str(), std::strerror(errno));
    failed_ = true;
}

} // namespace borne::recording
