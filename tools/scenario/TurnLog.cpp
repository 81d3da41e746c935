#include "tools/scenario/TurnLog.h"

#include "base/Texte.h"
#include "control/Codes.h"
#include "control/Controleur.h"

#include <ostream>

namespace borne::scenario {

namespace {

void append(std::string& list, std::string_view item) {
    if (!list.empty()) list += ' ';
    list += item;
}

} // namespace

void TurnLog::started(Engine& engine) {
    engine_ = &engine;
    engine.listen(*this);
    out_ << "turn\tstart_ms\tstart_state\tevents\tend_state\trows\tstatus\n";
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
    append(rows_, std::to_string(state) + "." + std::to_string(rank));
}

void TurnLog::wrote(const Ecriture& e, std::int64_t) {
    if (!inTurn_ || e.auteur != Auteur::Terminal || &e.controle != &panneau().Evenement) return;
    if (const auto* name = std::get_if<std::string>(&e.valeur)) append(events_, versUtf8(*name));
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
    line_ = std::to_string(number_);
    line_ += '\t';
    line_ += std::to_string(start_);
    line_ += '\t';
    line_ += nomEtatOuCode(startState_);
    line_ += '\t';
    line_ += events_;
    line_ += '\t';
    line_ += nomEtatOuCode(engine_->controller()->etatCourant());
    line_ += '\t';
    line_ += rows_;
    line_ += '\t';
    line_ += status;
    line_ += '\n';
    out_ << line_;
    if (!out_) engine_->stop();
}

} // namespace borne::scenario
