// --compare: one script run twice in the same settings, once on a controller and once on the terminal's
// own, each in a fresh copy of its folder, and the first difference between the two runs in virtual time.
//
// A run is recorded as a stream of events, in the order they happen: every write the terminal makes to the
// panel (start-up included), each line it adds to Log.txt, and its state at the end of each turn. The
// script's own writes are inputs, the same in both runs, and are not recorded. Beside them, each turn's
// start, the rows it reached (when the controller tells them) and the state it ended in, to name the turn
// that decided. Nothing inside a controller is looked at. Turns are numbered from 1, as --turns numbers
// them; 0 is the start-up.
#pragma once

#include "control/ObservateurTour.h"
#include "tools/scenario/Engine.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace borne::scenario {

// Beyond this many events a recording keeps no more (a script of millions of turns); the comparison then
// covers the events recorded, and Log.txt as a whole.
inline constexpr std::size_t kMaxRecordedEvents = std::size_t{1} << 21;

class Recording final : public RunObserver, public borne::ObservateurTour {
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

    void debutTour(int etat) noexcept override;
    void ligne(int state, int rank) noexcept override;
    void finDecision(int) noexcept override {}

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

    // A turn as --turns shows it: where it started, the rows it reached, the state it ended in.
    struct Turn {
        std::int64_t start;
        std::uint32_t rowsFrom; // its rows in rows_, [rowsFrom, rowsTo)
        std::uint32_t rowsTo;
        int end = -1; // -1: the run stopped inside it
    };
    struct Row {
        std::uint8_t state;
        std::uint8_t rank;
        bool operator==(const Row&) const = default;
    };

private:
    friend std::string firstEventDifference(const Recording&, const Recording&, std::uint32_t&);
    friend std::string decidingTurn(const Recording&, const Recording&, std::uint32_t&);
    void add(const Event& e, std::string_view bytes = {});

    Engine* engine_ = nullptr;
    std::vector<Event> events_;
    std::string text_;
    std::uint32_t turn_ = 0; // the turn under way, from 1; 0 during start-up
    std::vector<Turn> turns_;
    std::vector<Row> rows_;
    bool rowsTold_ = true;    // the controller tells its rows
    std::uint32_t lines_ = 0; // lines in Log.txt so far
    std::int64_t now_ = 0;
    bool cut_ = false;
    std::string partial_; // a journal write that did not end its line yet
};

// The first difference between the terminal's run and the controller's, without the script's name. When
// a turn ended in another state, or reached other rows, on the two sides, the first such turn comes first,
// on a line of its own: "turn 13 at 6000 ms: terminal row 2.4 -> ETAT_ATTENTE_AUTORISATION, controller
// row 2.2 -> ETAT_DEFAUT" (its instant is the turn's start); then the first event that differs: "turn 4
// at 1500 ms: Edit2.Text: terminal "code : *", controller "code : 6"", unless it is only that turn's end
// state. Texts are shown decoded to UTF-8; two texts apart only by their encoding are said to be. Empty
// when the recordings are the same.
std::string firstDifference(const Recording& terminal, const Recording& controller);
// Its two parts: the first event apart (`stateTurn`: the turn, when that event is a turn's end state), and
// the first turn apart (`number`: that turn; 0 and empty when none).
std::string firstEventDifference(const Recording& terminal, const Recording& controller,
                                 std::uint32_t& stateTurn);
std::string decidingTurn(const Recording& terminal, const Recording& controller, std::uint32_t& number);

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
