// What the recording tests share: a recording clock that holds the worker in each wait until the test
// lets it go, and the replay of a recorded folder by the suite runner.
#pragma once

#include "app/Recorder.h"
#include "tests/support/Common.h"

#include <QProcess>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace borne::test {

// The worker stays inside each of its waits until released, so the test acts while the worker provably
// waits: what gets recorded cannot depend on the machine's speed. Quitter still cuts a held wait short.
class SteppedClock : public recording::RecordingClock {
public:
    // Start-up's waits (not held) ten times shorter; a held wait counts a tenth of a
    // millisecond as one.
    SteppedClock() : RecordingClock(10) {}
    int waitsEntered() const { return entered_.load(); }
    void release() { allowed_.fetch_add(1); }

protected:
    void realWait(int /*ms*/) override {
        const int n = entered_.fetch_add(1) + 1;
        while (allowed_.load() < n)
            HorlogeReelle::attendre(1); // throws once the clock is stopped
    }

private:
    std::atomic<int> entered_{0};
    std::atomic<int> allowed_{0};
};

struct Replay {
    int code;
    std::string output; // standard output and error
};

// `borne-scenario --suite DIR [more]`, as a user would run it on the recording.
inline Replay replay(const std::filesystem::path& dir, const QStringList& more = {}) {
    QProcess runner;
    runner.setProcessChannelMode(QProcess::MergedChannels);
    runner.start(BORNE_SCENARIO, QStringList{"--suite", QString::fromStdString(dir.string())} + more);
    const bool ended = runner.waitForFinished(60000) && runner.exitStatus() == QProcess::NormalExit;
    return {ended ? runner.exitCode() : -1, runner.readAll().toStdString()};
}

} // namespace borne::test
