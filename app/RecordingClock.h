// The recording's clock: the worker's waits counted in the terminal's virtual time, and the mapping
// from a real instant inside a wait to its virtual instant.
#pragma once

#include "control/Attente.h"
#include "base/Verrou.h"

#include <chrono>
#include <cstdint>
#include <thread>

namespace borne::recording {

// Where the worker is in its time: the sum of the waits it completed since start-up ended, and the wait
// under way if any.
struct ClockState {
    std::int64_t completed = 0; // virtual ms
    bool inWait = false;
    int length = 0; // virtual ms of the wait under way
};

// The virtual instant of something done `elapsed` (real time) into the wait under way, every real wait
// being `divisor` times shorter than its virtual length. Inside a wait it is rounded up and never the
// wait's first instant: that instant belongs to the worker's logic just before the wait, which has already
// run. Never past the wait's end. Outside a wait (the worker's logic, microseconds): the last wait's end.
std::int64_t virtualInstant(const ClockState& state, std::chrono::nanoseconds elapsed, int divisor);

// The worker's clock, counting virtual time. A paced real clock (MyThread stops it like the plain one);
// the waits of start-up, made on the thread that built the clock, are not counted: the recording's time
// 0 is the worker's start, as a script's is. Time inside a wait is the paced clock's own, so an action
// is stamped where the worker stands whatever the speed and however long a pause held it.
class RecordingClock : public HorlogeCadencee {
public:
    explicit RecordingClock(int divisor = 1);

    void attendre(int ms) override EXCLUDES(mutex_);

    // The virtual instant now. The lock is held only to copy the state: never waits for the worker.
    std::int64_t instant() const EXCLUDES(mutex_);
    // Once the worker has stopped: the instant it was stopped at (inside the wait it was cut from, or
    // the end of its last wait when the stop came between two waits).
    std::int64_t stopInstant() const EXCLUDES(mutex_);
    ClockState state() const EXCLUDES(mutex_);
    int divisor() const noexcept { return divisor_; }

protected:
    // The real wait behind a worker's wait of `ms` virtual ms; throws ArretDemande once stopped.
    virtual void realWait(int ms);

private:
    const int divisor_;
    const std::thread::id startupThread_;
    mutable Verrou mutex_;
    ClockState state_ GUARDED_BY(mutex_);
    std::chrono::nanoseconds waitStart_ GUARDED_BY(mutex_){0}; // on the paced clock's own time
    std::int64_t stoppedAt_ GUARDED_BY(mutex_) = -1;
};

} // namespace borne::recording
