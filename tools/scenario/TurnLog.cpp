#include "tools/scenario/TurnLog.h"

#include "base/Texte.h"
#include "control/Codes.h"
#include "control/Controleur.h"
#include "tools/files/TurnLogFormat.h"

#include <ostream>

namespace borne::scenario {


void TurnLog::started(Engine& engine) {
    engine_ = &engine;
    engine.listen(*this);
    out_ << files::kTurnLogHeader << '\n';
}

void TurnLog::debutTour(int etat) noexcept {
    inTurn_ = true;
    ++number_;
    start_ = engine_->now();
    startState_ = etat;
    events_.clear();
    rows_.clear();
}

void TurnLog::ligne(int state, int rank) noexcept {
    if (!inTurn_) return;
    rows_.emplace_back(state, rank);
}

void TurnLog::wrote(const Ecriture& e, std::int64_t) {
    if (!inTurn_ || e.auteur != Auteur::Terminal || &e.controle != &panneau().Evenement) return;
    if (const auto* name = std::get_if<std::string>(&e.valeur)) events_.push_back(versUtf8(*name));
}

void TurnLog::turnEnded(std::int64_t) {
    if (inTurn_) write("done");
}

void TurnLog::finished(std::int64_t) {
    if (inTurn_) write("cut");
    out_.flush();
}

void TurnLog::write(const char* status) {
    inTurn_ = false;
    const std::string start = nomEtatOuCode(startState_), end = nomEtatOuCode(engine_->controller()->etatCourant());
    out_ << files::turnLogLine({.number = number_,
                                .start = start_,
                                .startState = start,
                                .endState = end,
                                .events = &events_,
                                .rows = &rows_,
                                .status = status})
         << '\n';
    if (!out_) engine_->stop();
}

} // namespace borne::scenario
