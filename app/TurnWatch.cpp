#include "app/TurnWatch.h"

#include "base/Texte.h"
#include "control/Codes.h"
#include "tools/files/TurnLogFormat.h"

namespace borne::bench {

namespace {

// Turns kept for a window that does not take them (closed, or its thread busy); beyond, the oldest go.
constexpr std::size_t kKeptTurns = 10000;
// Writes kept between two takes: a window that stops taking stops costing memory.
constexpr std::size_t kKeptWrites = 100000;

} // namespace

std::string TurnRecord::line() const {
    const std::string first = nomEtatOuCode(startState), last = nomEtatOuCode(endState);
    return files::turnLogLine({.number = number,
                               .start = start,
                               .startState = first,
                               .endState = last,
                               .events = &events,
                               .rows = &rows,
                               .status = "done"});
}

TurnWatch::TurnWatch(std::function<std::int64_t()> instant) : instant_(std::move(instant)) {}

void TurnWatch::debutTour(int etat) noexcept {
    const std::int64_t t = instant_ ? instant_() : 0;
    VerrouPris pris(mutex_);
    const std::uint64_t number = current_.number + 1;
    current_ = TurnRecord{};
    current_.number = number;
    current_.start = t;
    current_.startState = etat;
    current_.endState = etat;
    inTurn_ = true;
}

void TurnWatch::ligne(int state, int rank) noexcept {
    VerrouPris pris(mutex_);
    if (inTurn_) current_.rows.emplace_back(state, rank);
}

void TurnWatch::finDecision(int etat) noexcept {
    VerrouPris pris(mutex_);
    if (inTurn_) current_.endState = etat;
}

void TurnWatch::turnEnded() noexcept {
    VerrouPris pris(mutex_);
    if (!inTurn_) return;
    inTurn_ = false;
    if (turns_.size() >= kKeptTurns) {
        turns_.pop_front();
        ++dropped_;
    }
    turns_.push_back(current_);
}

void TurnWatch::wrote(const Ecriture& e) {
    const bool listening = listening_.load(std::memory_order_relaxed);
    const bool event = e.auteur == Auteur::Terminal && &e.controle == &panneau().Evenement;
    if (!listening && !event) return;
    const std::int64_t t = instant_ ? instant_() : 0;
    VerrouPris pris(mutex_);
    if (event && inTurn_) {
        if (const auto* name = std::get_if<std::string>(&e.valeur)) {
            current_.events.push_back(versUtf8(*name));
        }
    }
    if (listening && writes_.size() < kKeptWrites)
        writes_.push_back({t, &e.controle, e.propriete, e.auteur, e.valeur});
}

TurnWatch::News TurnWatch::take() {
    News n;
    VerrouPris pris(mutex_);
    n.turns.assign(std::make_move_iterator(turns_.begin()), std::make_move_iterator(turns_.end()));
    turns_.clear();
    n.writes.swap(writes_);
    n.droppedTurns = dropped_;
    dropped_ = 0;
    return n;
}

} // namespace borne::bench
