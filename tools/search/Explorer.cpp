#include "tools/search/Explorer.h"

#include "control/Controleur.h"

#include <algorithm>
#include <climits>
#include <deque>
#include <stdexcept>

namespace borne::search {

namespace {

// How far the live controller may be driven along known steps to reach an untried one before a replay
// from start-up is preferred; and how many situations that look-around may visit.
constexpr int kWalkRadius = 10;
constexpr std::size_t kWalkVisits = 600;
// When restoring, a walk longer than this is restored at its end rather than followed turn by turn.
constexpr int kWalkFollowed = 3;

std::size_t at(int i) {
    return static_cast<std::size_t>(i);
}

} // namespace

int actionsIn(const Journey& j) {
    return static_cast<int>(std::count_if(j.begin(), j.end(), [](Action a) { return a != Action::Wait; }));
}

Explorer::Explorer(Replay& replay, std::vector<PropertyRef> extra, bool display)
    : replay_(replay), extra_(std::move(extra)), display_(display) {}

Journey Explorer::journeyTo(int node) const {
    Journey j;
    for (int n = node; nodes_[at(n)].parent >= 0; n = nodes_[at(n)].parent)
        j.push_back(nodes_[at(n)].via);
    std::reverse(j.begin(), j.end());
    return j;
}

Journey Explorer::journeyOf(const Step& s) const {
    Journey j = journeyTo(s.from);
    j.push_back(s.action);
    return j;
}

int Explorer::situationHere() {
    const auto [it, inserted] = known_.emplace(replay_.situation(extra_), situations());
    if (inserted) {
        Node n{INT_MAX, INT_MAX, -1, Action::Wait, 0, {}};
        n.next.fill(kUseless);
        for (Action a : alphabet_)
            if (a == Action::Wait ||
                !pressesFor(a, panneau(), replay_.terminal(), replay_.acceptedCode()).empty()) {
                n.next[static_cast<std::size_t>(a)] = kUntried;
                ++n.untried;
            }
        nodes_.push_back(n);
        successors_.emplace_back();
        seen_.push_back(0);
        if (restoring) saved_.push_back(replay_.save());
    }
    return it->second;
}

void Explorer::pend(int node) {
    const Node& n = nodes_[at(node)];
    if (n.untried == 0 || n.turns >= maxTurns_) return;
    if (pending_.size() <= at(n.turns)) pending_.resize(at(n.turns) + 1);
    pending_[at(n.turns)].push_back(node);
}

// A shorter journey to `node` was found: so are shorter ones to what is known to follow it.
void Explorer::relax(int node) {
    std::deque<int> queue = {node};
    while (!queue.empty()) {
        const int n = queue.front();
        queue.pop_front();
        pend(n);
        const Node from = nodes_[at(n)];
        for (std::size_t a = 0; a < from.next.size(); ++a) {
            const int to = from.next[a];
            if (to < 0) continue;
            const int turns = from.turns + 1;
            const int actions = from.actions + (a == 0 ? 0 : 1);
            Node& t = nodes_[at(to)];
            if (turns < t.turns || (turns == t.turns && actions < t.actions)) {
                t.turns = turns;
                t.actions = actions;
                t.parent = n;
                t.via = static_cast<Action>(a);
                queue.push_back(to);
            }
        }
    }
}

// One turn along a known step. The situation is looked up only where asked (at the end of a walk): the
// check that the step leads where it led before costs more than the turn itself.
void Explorer::follow(Action a, bool check) {
    const int expected = nodes_[at(here_)].next[static_cast<std::size_t>(a)];
    replay_.act(a);
    replay_.turn();
    ++turnsRun_;
    here_ = expected;
    if (check && situationHere() != expected)
        throw std::logic_error("the same step led to two situations: the situation misses something that "
                               "changes what happens next");
}

void Explorer::restartTo(int node) {
    if (restoring && replay_.restore(saved_[at(node)])) {
        ++restores_;
        here_ = node;
        return;
    }
    replay_.restart();
    ++restarts_;
    here_ = situationHere();
    if (here_ != 0) throw std::logic_error("start-up led to another situation than the first time");
    const Journey j = journeyTo(node);
    for (std::size_t i = 0; i < j.size(); ++i)
        follow(j[i], i + 1 == j.size());
}

// Drives the live controller, along known steps and within a few turns, to a situation at `level` that
// still has an untried step (or brings it there directly, when restoring: the same situation, sooner).
// False when none is that close.
bool Explorer::walkTo(int level) {
    const auto route = nearest(
        here_,
        [&](int node, int turns) {
            const Node& n = nodes_[at(node)];
            return turns > 0 && n.untried > 0 && n.turns <= level + slack_ && n.turns < maxTurns_;
        },
        kWalkRadius, kWalkVisits);
    if (!route) return false;
    if (restoring && static_cast<int>(route->steps.size()) > kWalkFollowed) {
        restartTo(route->node);
        return true;
    }
    for (std::size_t k = 0; k < route->steps.size(); ++k)
        follow(route->steps[k], k + 1 == route->steps.size());
    return true;
}

std::optional<Explorer::Route> Explorer::nearest(int from, const std::function<bool(int, int)>& wanted,
                                                 int radius, std::size_t visits) {
    ++stamp_;
    visits_.clear();
    visits_.push_back({from, -1, Action::Wait, 0});
    seen_[at(from)] = stamp_;
    for (std::size_t i = 0; i < visits_.size() && visits_.size() < visits; ++i) {
        const Visit v = visits_[i];
        if (wanted(v.node, v.depth)) {
            Route route{v.node, {}};
            for (int k = static_cast<int>(i); visits_[at(k)].back >= 0; k = visits_[at(k)].back)
                route.steps.push_back(visits_[at(k)].via);
            std::reverse(route.steps.begin(), route.steps.end());
            return route;
        }
        if (v.depth == radius) continue;
        for (const auto& [to, a] : successors_[at(v.node)]) {
            if (seen_[at(to)] == stamp_) continue;
            seen_[at(to)] = stamp_;
            visits_.push_back({to, static_cast<int>(i), a, v.depth + 1});
        }
    }
    return std::nullopt;
}

void Explorer::tryStep(Action a) {
    const int from = here_;
    if (beforeStep) beforeStep();
    replay_.act(a);
    const int before = replay_.terminal().etatCourant();
    replay_.turn();
    ++turnsRun_;
    const int after = replay_.terminal().etatCourant();
    here_ = situationHere();
    Node& n = nodes_[at(from)];
    n.next[static_cast<std::size_t>(a)] = here_;
    // Steps are tried in the order of the actions, so the first action met to each successor stays first.
    auto& successors = successors_[at(from)];
    if (std::none_of(successors.begin(), successors.end(), [&](const auto& s) { return s.first == here_; }))
        successors.emplace_back(here_, a);
    --n.untried;
    const int turns = n.turns + 1;
    const int actions = n.actions + (a == Action::Wait ? 0 : 1);
    Node& t = nodes_[at(here_)];
    if (turns < t.turns || (turns == t.turns && actions < t.actions)) {
        t.turns = turns;
        t.actions = actions;
        t.parent = from;
        t.via = a;
        relax(here_);
    }
    if (onStep) onStep({from, a, here_, before, after});
}

Explorer::Result Explorer::run(int maxTurns, int slack) {
    maxTurns_ = maxTurns;
    slack_ = slack;
    nodes_.clear();
    successors_.clear();
    saved_.clear();
    known_.clear();
    pending_.clear();
    seen_.clear();
    turnsRun_ = 0;
    restarts_ = 0;
    restores_ = 0;

    replay_.restart();
    ++restarts_;
    alphabet_ = alphabetFor(replay_.terminal(), display_);
    here_ = situationHere();
    nodes_[0].turns = 0;
    nodes_[0].actions = 0;
    pend(0);

    Result result;
    int level = 0;
    for (;;) {
        // The lowest level with a situation left to expand; those below are complete.
        auto live = [&](int l) {
            auto& list = pending_[at(l)];
            while (!list.empty() &&
                   (nodes_[at(list.back())].turns != l || nodes_[at(list.back())].untried == 0))
                list.pop_back();
            return !list.empty();
        };
        while (level < maxTurns && at(level) < pending_.size() && !live(level)) {
            ++level;
            if (enough && enough(level)) {
                result.turns = level;
                result.situations = situations();
                return result;
            }
        }
        if (level >= maxTurns || at(level) >= pending_.size()) break;

        const Node& h = nodes_[at(here_)];
        if (!(h.untried > 0 && h.turns <= level + slack_ && h.turns < maxTurns) && !walkTo(level))
            restartTo(pending_[at(level)].back());
        const Node& n = nodes_[at(here_)];
        for (std::size_t a = 0; a < n.next.size(); ++a)
            if (n.next[a] == kUntried) {
                tryStep(static_cast<Action>(a));
                break;
            }
    }
    result.situations = situations();
    result.turns = std::min(level, maxTurns);
    result.exhausted = level < maxTurns;
    return result;
}

} // namespace borne::search
