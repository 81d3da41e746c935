// A disk that stops answering, as a frozen file system or a hung network share does: the journal's
// open or write is held until the test lets it go, or for 10 s should it never do so, so that a test
// that waits for the disk fails instead of hanging. One at a time.
#pragma once

namespace borne::test {

class StalledDisk {
public:
    enum class Call { Open, Write };
    explicit StalledDisk(Call held);
    ~StalledDisk(); // lets the held call go, then puts the system calls back
    StalledDisk(const StalledDisk&) = delete;
    StalledDisk& operator=(const StalledDisk&) = delete;

    bool waitUntilHeld(); // false when no call comes within 10 s
    void release();
    bool gaveUp() const; // the 10 s ran out: whatever waited for the disk waited that long
};

} // namespace borne::test
