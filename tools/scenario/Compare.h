// --compare: one script run twice in the same settings, once on a controller and once on the terminal's
// own, each in a fresh copy of its folder, and the first difference between the two runs in virtual time.
//
// A run is recorded as a stream of events, in the order they happen: every write the terminal makes to the
// panel (start-up included), each line it adds to Log.txt, and its state at the end of each turn. The
// script's own writes are inputs, the same in both runs, and are not recorded. Nothing inside a controller
// is looked at.
#pragma once

#include "tools/scenario/Engine.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace borne::scenario {

// Beyond this many events a recording keeps no more (a script of millions of turns); the comparison then
// covers the events recorded, and Log.txt as a whole.
inline constexpr std::size_t kMaxRecordedEvents = std::size_t{1} << 21;

class Recording final : public RunObserver {
public:
    Recording();
    ~Recording();
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

    void starting(Engine&) override;
    void started(Engine&) override;
    void wrote(const Ecriture& e, std::int64_t at) override;
    void turnEnded(std::int64_t at) override;
    void finished(std::int64_t at) override;

    bool cut() const noexcept { return cut_; } // events were left out: kMaxRecordedEvents reached
    // Bytes the journal has just written to its file (through a Tap).
    void journalWrote(std::string_view bytes);

    // The lines the journal adds are recorded while a Tap lives: make it before the run, in the folder
    // the run works in, and before anything else that replaces the journal's calls.
    class Tap {
    public:
        explicit Tap(Recording& into);
        ~Tap();
        Tap(const Tap&) = delete;
        Tap& operator=(const Tap&) = delete;
    };

    enum class Kind : std::uint8_t { Write, Line, State };
    struct Event {
        std::int64_t at;
        std::uint32_t turn; // 0: start-up
        Kind kind;
        Propriete property;
        std::uint8_t type;        // Write: the index of the value's type in Valeur
        const Controle* control;  // Write
        std::uint32_t number;     // Write: a flag or a colour; Line: its number in Log.txt; State: the state
        std::uint32_t offset = 0; // Write of a text, Line: the bytes, in text_
        std::uint32_t size = 0;
    };

private:
    friend std::string firstDifference(const Recording&, const Recording&);
    void add(const Event& e, std::string_view bytes = {});

    Engine* engine_ = nullptr;
    std::vector<Event> events_;
    std::string text_;
    std::uint32_t turn_ = 0;
    std::uint32_t lines_ = 0; // lines in Log.txt so far
    std::int64_t now_ = 0;
    bool cut_ = false;
    std::string partial_; // a journal write that did not end its line yet
};

// The first difference between the terminal's run and the controller's, as one line without the script's
// name: "turn 3 at 1500 ms: Edit2.Text: terminal "code : *", controller "code : "". Empty when the
// recordings are the same.
std::string firstDifference(const Recording& terminal, const Recording& controller);

// The first line where two whole journals differ, for runs whose recordings are the same (a controller
// that writes Log.txt by other means than the journal): "Log.txt line 4: terminal "...", controller "..."".
// Empty when they are the same bytes.
std::string journalDifference(const std::string& terminal, const std::string& controller);

// Runs `text` (already checked) on the terminal's own controller in `folder`, recorded into `into`; the
// working folder is the caller's again on return. Its expectations are not counted: the script is judged on
// the controller compared. False, with the reason, when the folder cannot be entered or left.
bool runOnTerminal(std::string_view text, const std::string& folder, RunSettings settings, Recording& into,
                   std::string& error);

// A script compared from the working folder: what the terminal reads there (Config.cfg, CHIP.INI and an
// earlier Log.txt) copied into two scratch folders, the terminal's own run made in one, the controller's in
// the other; the working folder itself is never written. The scratch folders go with the object.
class Comparison {
public:
    Comparison() = default;
    ~Comparison();
    Comparison(const Comparison&) = delete;
    Comparison& operator=(const Comparison&) = delete;

    // Makes both copies and runs `text` (checked) on the terminal's own. False, with the reason, when the
    // scratch place cannot take them.
    bool start(std::string_view text, const RunSettings& settings, std::string& error);
    // What the controller's run is watched by.
    Recording& controllerRun() noexcept { return controller_; }
    // The controller's run happens between these two: in its folder, its journal tapped.
    bool enter(std::string& error);
    bool leave(std::string& error);
    // The first difference (see firstDifference), or the journals' first; empty when the runs agree.
    std::string difference() const;

private:
    std::string scratch_;
    Recording terminal_;
    Recording controller_;
    std::optional<Recording::Tap> tap_;
    int back_ = -1;
};

} // namespace borne::scenario
