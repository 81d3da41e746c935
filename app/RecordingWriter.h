// The recording's files, written on a thread of their own, and the few file operations the recorder
// shares with it.
#pragma once

#include "base/Verrou.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include <sys/types.h>

namespace borne::recording {

// One whole buffer at the end of a file, or nothing: a short write (a full disk) is cut back to where
// the buffer began, so that every file holds whole lines. Sets errno on failure.
bool appendWhole(int fd, off_t& size, std::string_view bytes);

// The size of a regular file, 0 when it is missing or not a regular file.
off_t regularSize(const std::filesystem::path& p);

// A new file for writing; -1 (errno set) when it exists or cannot be made.
int createFile(const std::filesystem::path& p);

// Writes the recording's files on a thread of its own, so that neither the window nor the worker ever
// waits for the disk. Each block of lines goes out in one write as soon as it comes (a crash keeps what
// was recorded), and the journal's new bytes are copied as they appear. The first failure (a full disk)
// is told once on standard error and ends the recording; the terminal goes on.
class Writer : public std::enable_shared_from_this<Writer> {
public:
    // Takes the two files (closed when it goes); the journal's bytes from `journalStart` on are copied.
    Writer(std::filesystem::path dir, int scenario, int expected, std::filesystem::path journal,
           off_t journalStart);
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    void start();
    void push(std::string lines) EXCLUDES(mutex_);
    // Writes what is pending and the rest of the journal, then ends the thread. A disk that stalls is
    // waited for `limit` at most; the thread then finishes alone.
    void close(std::chrono::milliseconds limit) EXCLUDES(mutex_);

private:
    void run() EXCLUDES(mutex_);
    void copyJournal(bool toTheEnd);
    void fail();

    const std::filesystem::path dir_;
    const int scenario_;
    const int expected_;
    const std::filesystem::path journal_;
    // The writer thread's own.
    off_t copied_;
    off_t scenarioSize_ = 0;
    off_t expectedSize_ = 0;
    bool failed_ = false;

    std::thread thread_;
    Verrou mutex_;
    std::condition_variable_any wake_;
    std::deque<std::string> pending_ GUARDED_BY(mutex_);
    bool closing_ GUARDED_BY(mutex_) = false;
    bool done_ GUARDED_BY(mutex_) = false;
};

} // namespace borne::recording
