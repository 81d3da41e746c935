// Recording a session in the window as a scenario folder that borne-scenario --suite replays exactly.
//
// BORNE_RECORD=DIR borne: DIR (missing or empty) receives the settings the terminal read at start,
// scenario.scn (every tick, untick and typing of the person in the window at its virtual instant, then at
// the stop the whole panel and the controller's state as expectations) and expected/Log.txt (the bytes
// the terminal appended to its journal during the session).
//
// The terminal knows nothing of this: the recorder listens to the panel's user writes and times them
// with the worker's clock.
#pragma once

#include "control/Attente.h"
#include "panel/Verrou.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

namespace borne {
class Controleur;
struct Ecriture;
} // namespace borne

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

// The script lines that let `ms` milliseconds pass: one `wait` each, none longer than a `wait` may be,
// so an idle day between two actions still replays.
std::string waitLines(std::int64_t ms);

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

class Writer;

class Recorder {
public:
    // Checks DIR (created when missing; it must then be an empty folder we can write in), copies the
    // settings the terminal is about to read, notes the journal's size and installs the clock for the
    // process. Throws std::runtime_error with a message for the user when DIR cannot be used; the working
    // folder is never touched.
    explicit Recorder(const std::filesystem::path& dir,
                      std::unique_ptr<RecordingClock> clock = std::make_unique<RecordingClock>());
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // BORNE_RECORD's recorder, or none when the variable is unset or empty.
    static std::unique_ptr<Recorder> fromEnvironment();

    RecordingClock& clock() noexcept { return *clock_; }
    const std::filesystem::path& dir() const noexcept { return dir_; }

    // Once the controller is built (its worker may run): the header, then the user's writes as they come.
    void started(const Controleur& gestion);
    // Once the worker has ended: the wait to the stop's instant, the panel and the controller's state as
    // expectations, the rest of the journal; then the files are closed.
    void finish(const Controleur& gestion) EXCLUDES(mutex_);

private:
    void userWrite(const Ecriture& e) EXCLUDES(mutex_);
    void push(std::string lines);

    std::filesystem::path dir_;
    std::unique_ptr<RecordingClock> clock_;
    std::unique_ptr<HorlogeInstallee> installed_;
    std::shared_ptr<Writer> writer_;
    int observer_ = 0;
    Verrou mutex_;
    // The instant of the last command written.
    std::int64_t last_ GUARDED_BY(mutex_) = 0;
    bool finished_ GUARDED_BY(mutex_) = false;
};

} // namespace borne::recording
