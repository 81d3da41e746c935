// The run engine: one script against the real controller, in virtual time, exact to the millisecond.
//
// Control is inverted: the engine turns the access cycle (the controller's Tour) and the script runs
// inside the virtual clock. Each wait of the terminal (the 500 ms pause, a 2000 ms boom pass) asks the
// engine how far time may go; the script's commands run at their instants from there, single-threaded,
// so the same script gives the same trace and journal on every run.
//
// The instant rule: the terminal's work between two waits takes no virtual time; at an instant where a
// wait of the terminal ends, the script's commands for that instant act first. The boundary between two
// turns (after the journal step) is an instant too, of no length.
//   wait N     the terminal runs until now + N: the waits that end before go on; the one that reaches
//              the target is cut there and the script goes on inside it.
//   turn N     the terminal runs until N boundaries have passed (finishing the turn under way counts).
//   until N    checked at once; while it does not hold, the terminal runs to the next boundary (as one
//              turn of `turn`) and it is checked again, N times at most.
//   end        the wait under way throws ArretDemande, as the window's stop does: the turn unwinds, the
//              terminal writes nothing more.
// Start-up (the controller's construction, with its 2000 ms raise in one mode) is over before the first
// command; virtual time runs on from it, starting at 0.
#pragma once

#include "control/Controleur.h"
#include "control/ObservateurTour.h"
#include "tools/grammar/Grammar.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace borne::scenario {

// A `turn` still under way after this much virtual time stops the run (a held sensor can make a boom
// movement repeat for ever).
inline constexpr std::int64_t kTurnLimitMs = 3600000;

// This many turns in a row at one instant stop the run: a controller that never waits would hold
// virtual time still for ever. The terminal's own waits in every turn.
inline constexpr std::uint64_t kStillTurnLimit = 10000;

// Where a run stands, for a process that watches it from outside and outlives it when the controller
// takes the process down: kept in memory both share. Lock-free atomics, so they work across processes.
struct RunProgress {
    std::atomic<std::int64_t> now{0};   // virtual ms
    std::atomic<std::uint64_t> turn{0}; // the turn under way, from 1; 0: start-up
    std::atomic<std::uint64_t> line{0}; // the script's line under way
};

// Where a run's commands come from, one after the other.
class CommandSource {
public:
    virtual ~CommandSource() = default;
    // The next command, valid until the next call; nullptr at the end.
    virtual const Command* next() = 0;
};

class ListSource final : public CommandSource {
public:
    explicit ListSource(const std::vector<Command>& commands) : commands_(commands) {}
    const Command* next() override { return next_ < commands_.size() ? &commands_[next_++] : nullptr; }

private:
    const std::vector<Command>& commands_;
    std::size_t next_ = 0;
};

// A script's text, parsed a line at a time as the run reaches it, so a long script costs no more memory
// than its text. Lines that are not commands are skipped: check() the text first.
class TextSource final : public CommandSource {
public:
    TextSource(std::string_view text, const PanneauOperateur& panel) : lines_(text), panel_(panel) {}
    const Command* next() override;

private:
    LineReader lines_;
    const PanneauOperateur& panel_;
    Command current_;
};

class Engine;

// What a run tells those who watch it; every hook has an empty default. Times are virtual milliseconds.
class RunObserver {
public:
    // The panel is back in its stored state; the controller is about to be built.
    virtual void starting(Engine&) {}
    // Start-up is over; the controller exists (Engine::controller) and no command has run yet.
    virtual void started(Engine&) {}
    // Every write to the panel, the terminal's (start-up included) and the script's, as it happens.
    virtual void wrote(const Ecriture&, std::int64_t) {}
    // The controller's state as first seen after start-up, then each change, seen at the instant it
    // takes effect (no virtual time passes between two waits of the terminal).
    virtual void stateChanged(int, std::int64_t) {}
    // A turn has ended (after its journal step): a turn boundary.
    virtual void turnEnded(std::int64_t) {}
    // The run is over, however it ended.
    virtual void finished(std::int64_t) {}

protected:
    ~RunObserver() = default;
};

struct RunSettings {
    std::string scriptName = "-";                      // prefixes every message: NAME:LINE: ...
    std::chrono::milliseconds wallLimit{0};            // real time after which the run is stopped; 0: none
    std::ostream* flushBeforeMessages = nullptr;       // a trace to flush first, so merged outputs keep order
    const borne::TypeControleur* controller = nullptr; // the controller to run; nullptr: the terminal's own
    RunProgress* progress = nullptr;                   // kept up to date when set
};

struct RunResult {
    int passed = 0; // expectations
    int failed = 0;
    bool turnLimit = false;       // a turn did not end within kTurnLimitMs
    bool wallLimit = false;       // the run outlasted RunSettings::wallLimit
    bool stopped = false;         // an observer asked for the stop
    bool controllerFault = false; // the controller threw, or held virtual time still
    std::int64_t end = 0;         // virtual time when the run ended
    std::uint64_t turns = 0;
    bool ok() const noexcept { return failed == 0 && !turnLimit && !wallLimit && !controllerFault; }
};

class Engine {
public:
    // Failed expectations and limits are reported to `messages`, one line each.
    Engine(RunSettings settings, std::ostream& messages);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    void watch(RunObserver& observer); // before run()
    // The rows of the state table each turn reaches, told to every listener in the order they came. The
    // controller takes one observer, the engine: a watcher that needs the rows listens here (before
    // run(), or from RunObserver::started) rather than installing itself on the controller.
    void listen(borne::ObservateurTour& listener);

    // Puts the panel back into its stored state, builds the controller in the working folder and runs
    // the commands. Not reentrant: the panel and the clock are the process's.
    RunResult run(CommandSource& source);

    // From an observer: the run ends at the current instant (at the terminal's next wait at the latest).
    void stop() noexcept {
        stopRequested_ = true;
        result_.stopped = true;
    }

    std::int64_t now() const noexcept { return now_; }
    // The controller during the run, once start-up is over; nullptr otherwise.
    borne::Controleur* controller() noexcept { return controller_; }
    // Whether the controller tells its rows. One that does not is told for: the listeners hear each
    // turn start in the state it starts in and end (at its boundary) in the state it ended in, no rows.
    bool rowsTold() const noexcept { return rowsTold_; }

private:
    class Clock;
    enum class Pending { None, Wait, Turns, Until, End };

    // The one observer the controller takes: passes each turn's rows on to every listener.
    class TurnFanOut final : public borne::ObservateurTour {
    public:
        std::vector<borne::ObservateurTour*> listeners;
        void debutTour(int etat) noexcept override {
            for (auto* l : listeners)
                l->debutTour(etat);
        }
        void ligne(int state, int rank) noexcept override {
            for (auto* l : listeners)
                l->ligne(state, rank);
        }
        void finDecision(int etat) noexcept override {
            for (auto* l : listeners)
                l->finDecision(etat);
        }
    };

    void reset(CommandSource& source);
    std::unique_ptr<borne::Controleur> build(); // nullptr when the controller failed to start
    void turnWhilePending(borne::Controleur& controller);
    RunResult finish(); // the run's end told to the observers
    void interpret();
    void execute(const Command& c);
    bool startUntil(const Command& c); // false when it is settled at once
    // The value the command names, as a failure line shows it, when it is not the one expected.
    std::optional<std::string> differs(const Command& c) const;
    void onWait(int ms);
    void onBoundary();
    void noteState();
    bool wallLimitReached();
    void report(std::size_t line, const std::string& text);
    void controllerFailed(const std::string& what, std::uint64_t turn); // turn 0: start-up
    void publish() noexcept;
    void fail(const Command& c, std::string_view actual);

    RunSettings settings_;
    std::ostream& messages_;
    std::vector<RunObserver*> observers_;
    TurnFanOut turnFanOut_;

    CommandSource* source_ = nullptr;
    borne::Controleur* controller_ = nullptr;
    bool running_ = false; // start-up is over
    bool rowsTold_ = true;
    bool stopRequested_ = false;
    std::int64_t now_ = 0;
    Pending pending_ = Pending::None;
    std::int64_t target_ = 0;       // Wait: the instant it ends
    std::int64_t remaining_ = 0;    // Turns, Until: boundaries still to pass
    std::int64_t turnDeadline_ = 0; // Turns, Until: the turn under way must end by then
    Command until_;                 // Until: the expectation
    std::size_t pendingLine_ = 0;
    int lastState_ = -1;
    unsigned waitsSinceWallCheck_ = 0;
    std::int64_t stillAt_ = -1;    // the instant of the last turns that did not move time
    std::uint64_t stillTurns_ = 0; // how many
    bool hostThrew_ = false;       // an exception out of a turn came from the engine's side
    std::chrono::steady_clock::time_point wallDeadline_;
    RunResult result_;
};

} // namespace borne::scenario
