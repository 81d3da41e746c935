// What the bench window shows of the worker, gathered on the worker's side: each turn as the turn log
// writes it (number, instant, start state, events, end state, rows) and, while someone listens, the
// panel's writes with their instants. The worker only appends under a lock held to copy; the window
// takes what came at its own pace. Neither ever waits for the other.
#pragma once

#include "base/Verrou.h"
#include "control/ObservateurTour.h"
#include "panel/PanneauOperateur.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace borne::bench {

struct TurnRecord {
    std::uint64_t number = 0;
    std::int64_t start = 0; // virtual ms
    int startState = 0;
    int endState = 0;
    std::vector<std::string> events;       // the events noted, in order
    std::vector<std::pair<int, int>> rows; // S.K, in the order reached
    // The line `--turns` writes for a finished turn, without its line end.
    std::string line() const;
};

struct PanelWrite {
    std::int64_t at = 0;
    const Controle* control = nullptr;
    Propriete property = Propriete::Checked;
    Auteur author = Auteur::Terminal;
    Valeur value;
};

class TurnWatch final : public ObservateurTour {
public:
    // `instant` gives the worker's virtual instant; called on the worker's thread.
    explicit TurnWatch(std::function<std::int64_t()> instant);

    void debutTour(int etat) noexcept override EXCLUDES(mutex_);
    void ligne(int state, int rank) noexcept override EXCLUDES(mutex_);
    void finDecision(int etat) noexcept override EXCLUDES(mutex_);
    // The turn's journal step is over.
    void turnEnded() noexcept EXCLUDES(mutex_);
    // A panel write, from whichever thread made it.
    void wrote(const Ecriture& e) EXCLUDES(mutex_);

    // Writes are kept only while listening (the bench window is open); turns always.
    void listen(bool on) noexcept { listening_.store(on, std::memory_order_relaxed); }

    struct News {
        std::vector<TurnRecord> turns;
        std::vector<PanelWrite> writes;
        std::uint64_t droppedTurns = 0; // older turns let go because nobody took them
    };
    // What came since the last call.
    News take() EXCLUDES(mutex_);

private:
    const std::function<std::int64_t()> instant_;
    std::atomic<bool> listening_{false};
    Verrou mutex_;
    bool inTurn_ GUARDED_BY(mutex_) = false;
    TurnRecord current_ GUARDED_BY(mutex_);
    std::deque<TurnRecord> turns_ GUARDED_BY(mutex_);
    std::vector<PanelWrite> writes_ GUARDED_BY(mutex_);
    std::uint64_t dropped_ GUARDED_BY(mutex_) = 0;
};

} // namespace borne::bench
