// A disk that stops answering, as a frozen file system or a hung network share does: the journal's
// open or write is held until the test lets it go. The journal's system calls are replaced for the
// helper's life; one at a time.
#pragma once

#include <chrono>
#include <functional>

namespace borne::test {

class StalledDisk {
public:
    enum class Call { Open, Write };
    explicit StalledDisk(Call held);
    ~StalledDisk(); // lets a held call go, then puts the system calls back
    StalledDisk(const StalledDisk&) = delete;
    StalledDisk& operator=(const StalledDisk&) = delete;

    // Waits until a call is held; false after `limit` (a guard, not a timing).
    bool waitUntilHeld(std::chrono::seconds limit = std::chrono::seconds(10));
    // Runs `action` on this thread while the call is held. Should it not return within `limit`, the
    // disk is let go so that it can, and the test fails rather than hangs: false then.
    bool returnsWhileHeld(const std::function<void()>& action,
                          std::chrono::seconds limit = std::chrono::seconds(10));
    void release();
    int opens() const; // the opens that reached the disk
};

} // namespace borne::test
