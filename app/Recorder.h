// Recording a session in the window as a scenario folder that borne-scenario --suite replays exactly.
//
// BORNE_RECORD=DIR borne: DIR (missing or empty) receives the settings the terminal read at start,
// scenario.scn (every tick, untick and typing of the person in the window at its virtual instant, then at
// the stop the whole panel and the controller's state as expectations) and expected/Log.txt (the bytes
// the terminal appended to its journal during the session).
//
// The terminal knows nothing of this: the recorder listens to the panel's user writes and times them
// with the worker's clock. It comes in three parts: the clock (RecordingClock.h), the thread that writes
// the files (RecordingWriter.h), and the recorder here, which turns the user's writes into script lines.
#pragma once

#include "app/RecordingClock.h"
#include "base/Verrou.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace borne {
class Controleur;
struct Ecriture;
} // namespace borne

namespace borne::recording {

// The script lines that let `ms` milliseconds pass: one `wait` each, none longer than a `wait` may be,
// so an idle day between two actions still replays.
std::string waitLines(std::int64_t ms);

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
