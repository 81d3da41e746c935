// The situations the terminal can be brought into from start-up, one turn at a time, each turn after at
// most one action, learnt as a graph: a situation (told apart by Replay::situation(), not by the way it
// was reached) and an action lead to one next situation. Each step (situation, action) is tried once on
// the real controller; the controller is driven live from step to step along known steps and, when the
// next untried step is not that close, brought back to its situation as saved when first reached (or
// replayed from start-up, when restoring is off or the controller refuses the saved values).
//
// Steps are tried level by level: all the steps of the situations reachable in d turns before any
// of a situation that needs more, so the shortest journeys (fewest turns, then fewest actions) are
// known for every level completed.
#pragma once

#include "tools/search/Alphabet.h"
#include "tools/search/Replay.h"

#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace borne::search {

// A journey: one action per turn (Wait for a turn without one).
using Journey = std::vector<Action>;

int actionsIn(const Journey& j); // the turns that are not Wait

class Explorer {
public:
    // `display`: also try the lighting and message switches (they change the display's background and
    // the journal's event, never a state).
    Explorer(Replay& replay, std::vector<PropertyRef> extra, bool display);

    // A step tried for the first time; the replay stands right after its turn.
    struct Step {
        int from;      // the situation it starts from
        Action action; // what was done before the turn
        int to;        // the situation it leads to
        int before;    // the state the turn started in
        int after;     // the state once the turn is over
    };

    // Called before a new step's action (to clear what the step will collect), and after its turn.
    std::function<void()> beforeStep;
    std::function<void(const Step&)> onStep;
    // Told each time every journey of up to `turns` turns has been tried: true ends the search there.
    std::function<bool(int turns)> enough;

    struct Result {
        int situations = 0;     // distinct situations found
        int turns = 0;          // every journey of up to this many turns was tried
        bool exhausted = false; // no situation within the limit is left with an untried step
    };
    // `slack`: how many levels ahead of the lowest incomplete one a step may be tried when the live
    // controller stands close to it. A search that stops early wants little; one that goes to the end
    // loses nothing by taking whatever is closest.
    Result run(int maxTurns, int slack);

    // The shortest known journey to a situation (0 is start-up), and through a step.
    Journey journeyTo(int node) const;
    Journey journeyOf(const Step& s) const;
    int turnsTo(int node) const { return nodes_[static_cast<std::size_t>(node)].turns; }
    int actionsTo(int node) const { return nodes_[static_cast<std::size_t>(node)].actions; }
    int situations() const { return static_cast<int>(nodes_.size()); }
    // Where a known step leads, or -1 when it was not tried (or writes nothing there).
    int successor(int node, Action a) const {
        const int to = nodes_[static_cast<std::size_t>(node)].next[static_cast<std::size_t>(a)];
        return to >= 0 ? to : -1;
    }
    // The nearest situation from `from`, along known steps, that `wanted(node, turns)` accepts, and the
    // steps there: breadth-first, each successor once by the first action that leads there, so the
    // route has the fewest turns and, among those, comes first in the actions' order. None when no
    // situation within `radius` turns (and among the first `visits` met) is wanted.
    struct Route {
        int node;
        Journey steps;
    };
    std::optional<Route> nearest(int from, const std::function<bool(int node, int turns)>& wanted,
                                 int radius = INT_MAX, std::size_t visits = SIZE_MAX);
    long turnsRun() const { return turnsRun_; }
    long restarts() const { return restarts_; }
    long restores() const { return restores_; }

    // Situations are restored rather than replayed (the default); off, every one is replayed.
    bool restoring = true;

private:
    static constexpr int kUntried = -1;
    static constexpr int kUseless = -2; // the action writes nothing there

    struct Node {
        int turns;
        int actions;
        int parent;
        Action via;
        int untried; // how many actions are still to try
        std::array<int, kActionCount> next;
    };

    int situationHere(); // the live situation's node, added if new
    void relax(int node);
    void restartTo(int node);
    bool walkTo(int level);
    void follow(Action a, bool check);
    void tryStep(Action a);
    void pend(int node);

    Replay& replay_;
    std::vector<PropertyRef> extra_;
    bool display_;
    int maxTurns_ = 0;
    int slack_ = 0;
    std::vector<Action> alphabet_;
    std::vector<Node> nodes_;
    std::vector<Replay::Saved> saved_; // per node, as first reached
    // Per node, each known successor once, with the first action (in the actions' order) that leads there.
    std::vector<std::vector<std::pair<int, Action>>> successors_;
    std::unordered_map<std::string, int> known_;
    std::vector<std::vector<int>> pending_; // per level, nodes with untried steps (some stale)
    int here_ = -1;                         // the live situation
    long turnsRun_ = 0;
    long restarts_ = 0;
    long restores_ = 0;
    struct Visit {
        int node;
        int back; // index of the visit it came from
        Action via;
        int depth;
    };
    std::vector<Visit> visits_;
    std::vector<int> seen_;
    int stamp_ = 0;
};

} // namespace borne::search
