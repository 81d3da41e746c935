#include "tools/scenario/Engine.h"
#include "tools/grammar/Grammar.h"

#include "control/Attente.h"
#include "control/Codes.h"
#include "control/Controleur.h"
#include "tools/grammar/Controls.h"
#include "tools/grammar/Show.h"
#include "tools/scenario/Isolation.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <ostream>

namespace borne::scenario {

namespace {

// Removes the panel observer however the run ends.
class Observation {
public:
    Observation(PanneauOperateur& p, PanneauOperateur::Observateur o) : panel_(p) {
        key_ = panel_.ajouterObservateur(std::move(o));
    }
    ~Observation() { panel_.retirerObservateur(key_); }
    Observation(const Observation&) = delete;
    Observation& operator=(const Observation&) = delete;

private:
    PanneauOperateur& panel_;
    int key_;
};

bool same(const Valeur& expected, const Valeur& actual) {
    // Texts are compared as the trace shows them, in UTF-8, so a script can only match what it could
    // have read in a trace.
    if (const auto* text = std::get_if<std::string>(&expected)) return propertyText(actual) == *text;
    return expected == actual;
}

// How many of the terminal's waits pass between two looks at the real clock: a look costs about as much
// as a turn, and a turn is a few microseconds.
constexpr unsigned kWaitsPerWallCheck = 256;

} // namespace

const Command* TextSource::next() {
    std::string_view line;
    std::size_t number;
    while (lines_.next(line, number)) {
        ParsedLine parsed = parseLine(line, number, panel_);
        if (auto* c = std::get_if<Command>(&parsed)) {
            current_ = std::move(*c);
            return &current_;
        }
    }
    return nullptr;
}

// The clock installed for the run: every wait of the terminal is a call into the engine.
class Engine::Clock final : public Horloge {
public:
    explicit Clock(Engine& e) : engine_(e) {}
    void attendre(int ms) override {
        try {
            engine_.onWait(ms);
        } catch (const ArretDemande&) {
            throw;
        } catch (...) { // an observer's or the bench's: not the controller's fault
            engine_.hostThrew_ = true;
            throw;
        }
    }

private:
    Engine& engine_;
};

Engine::Engine(RunSettings settings, std::ostream& messages)
    : settings_(std::move(settings)), messages_(messages) {}

Engine::~Engine() = default;

void Engine::watch(RunObserver& observer) {
    observers_.push_back(&observer);
}

void Engine::listen(borne::ObservateurTour& listener) {
    auto& l = turnFanOut_.listeners;
    if (std::find(l.begin(), l.end(), &listener) == l.end()) l.push_back(&listener); // once, run after run
}

// Every run starts from nothing: an engine runs script after script.
void Engine::reset(CommandSource& source) {
    source_ = &source;
    result_ = RunResult{};
    now_ = 0;
    pending_ = Pending::None;
    running_ = false;
    stopRequested_ = false;
    lastState_ = -1;
    stillAt_ = -1;
    stillTurns_ = 0;
    hostThrew_ = false;
    wallDeadline_ = std::chrono::steady_clock::now() + settings_.wallLimit;
}

// Start-up: its waits only move time on. What the controller throws fails the run, said with where it
// happened (nullptr then); what the engine's side throws goes on up.
std::unique_ptr<borne::Controleur> Engine::build() {
    try {
        return (settings_.controller != nullptr ? *settings_.controller : borne::controleurInterne()).creer();
    } catch (const borne::EchecControleur& e) {
        if (hostThrew_) throw;
        controllerFailed(e.what(), 0);
    } catch (const std::exception& e) {
        if (hostThrew_) throw;
        controllerFailed(std::string("threw \"") + e.what() + "\"", 0);
    } catch (...) {
        if (hostThrew_) throw;
        controllerFailed("threw an exception that is not a standard exception", 0);
    }
    return nullptr;
}

// Turn after turn while the script waits on the terminal; a turn that throws ends the run.
void Engine::turnWhilePending(borne::Controleur& controller) {
    while ((pending_ == Pending::Wait || pending_ == Pending::Turns || pending_ == Pending::Until) &&
           !stopRequested_) {
        if (!rowsTold_) turnFanOut_.debutTour(controller.etatCourant());
        try {
            controller.Tour();
        } catch (const ArretDemande&) {
            break; // the script ended, or a limit or an observer stopped the run, inside the turn
        } catch (const borne::EchecControleur& e) {
            if (hostThrew_) throw;
            controllerFailed(e.what(), result_.turns + 1);
            break;
        } catch (const std::exception& e) {
            if (hostThrew_) throw;
            controllerFailed(std::string("threw \"") + e.what() + "\"", result_.turns + 1);
            break;
        } catch (...) {
            if (hostThrew_) throw;
            controllerFailed("threw an exception that is not a standard exception", result_.turns + 1);
            break;
        }
        onBoundary();
    }
}

RunResult Engine::finish() {
    result_.end = now_;
    for (RunObserver* o : observers_)
        o->finished(now_);
    return result_;
}

RunResult Engine::run(CommandSource& source) {
    reset(source);
    PanneauOperateur& panel = panneau();
    panel.reinitialiser(); // a freshly built window
    for (RunObserver* o : observers_)
        o->starting(*this);
    Clock clock(*this);
    HorlogeInstallee installed(clock);
    // Only when someone watches: a panel nobody observes writes without copying its values.
    std::optional<Observation> observation;
    if (!observers_.empty())
        observation.emplace(panel, [this](const Ecriture& e) {
            try {
                for (RunObserver* o : observers_)
                    o->wrote(e, now_);
            } catch (...) {
                hostThrew_ = true;
                throw;
            }
        });

    // However the run ends (an observer may throw), the engine keeps no pointer into it.
    struct Cleared {
        Engine& e;
        ~Cleared() {
            e.controller_ = nullptr;
            e.running_ = false;
            e.source_ = nullptr;
        }
    } cleared{*this};
    publish();
    const std::unique_ptr<borne::Controleur> controller = build();
    if (controller == nullptr) return finish();
    rowsTold_ = controller->observer(&turnFanOut_);
    controller_ = controller.get();
    running_ = true;
    noteState();
    for (RunObserver* o : observers_)
        o->started(*this);

    if (!stopRequested_) interpret(); // the boundary after start-up
    turnWhilePending(*controller);
    return finish();
}

void Engine::interpret() {
    while (const Command* c = source_->next()) {
        switch (c->verb) {
        case Verb::Turn:
            pending_ = Pending::Turns;
            remaining_ = c->count;
            turnDeadline_ = now_ + kTurnLimitMs;
            pendingLine_ = c->line;
            return;
        case Verb::Wait:
            pending_ = Pending::Wait;
            target_ = now_ + c->count;
            pendingLine_ = c->line;
            return;
        case Verb::Until:
        case Verb::UntilState:
            if (startUntil(*c)) return;
            break;
        default: execute(*c); break;
        }
    }
    pending_ = Pending::End;
}

void Engine::execute(const Command& c) {
    PanneauOperateur& panel = panneau();
    const bool onState = c.verb == Verb::ExpectState || c.verb == Verb::UntilState;
    Controle* control = onState ? nullptr : panel.trouver(c.control);
    if (!onState && control == nullptr) {
        ++result_.failed;
        report(c.line, unknownControl(c.control, panel));
        return;
    }
    switch (c.verb) {
    case Verb::Tick:
    case Verb::Untick:
        control->ecrire(Propriete::Checked, Valeur(c.verb == Verb::Tick), Auteur::Utilisateur);
        break;
    case Verb::Type: control->ecrire(Propriete::Text, Valeur(c.text), Auteur::Utilisateur); break;
    case Verb::Force:
        // Held first, so that the user's write already stores the held value.
        control->tenir(Propriete::Checked, Valeur(c.value));
        control->ecrire(Propriete::Checked, Valeur(c.value), Auteur::Utilisateur);
        break;
    case Verb::Release: control->relacher(Propriete::Checked); break;
    case Verb::Expect:
    case Verb::ExpectState:
        if (const auto actual = differs(c))
            fail(c, *actual);
        else
            ++result_.passed;
        break;
    case Verb::Turn:
    case Verb::Wait:
    case Verb::Until:
    case Verb::UntilState: break; // taken by interpret()
    }
}

bool Engine::startUntil(const Command& c) {
    if (c.verb == Verb::Until && panneau().trouver(c.control) == nullptr) {
        ++result_.failed;
        report(c.line, unknownControl(c.control, panneau()));
        return false;
    }
    if (!differs(c)) { // holds already: no turn at all
        ++result_.passed;
        return false;
    }
    until_ = c;
    pending_ = Pending::Until;
    remaining_ = c.count;
    turnDeadline_ = now_ + kTurnLimitMs;
    pendingLine_ = c.line;
    return true;
}

std::optional<std::string> Engine::differs(const Command& c) const {
    if (c.verb == Verb::ExpectState || c.verb == Verb::UntilState) {
        const int state = controller_->etatCourant();
        if (state == c.state) return std::nullopt;
        const char* name = nomEtatCode(state);
        return name != nullptr ? name : std::to_string(state);
    }
    const Valeur actual = panneau().trouver(c.control)->lire(c.property);
    if (same(c.expected, actual)) return std::nullopt;
    return propertyText(actual);
}

void Engine::onWait(int ms) {
    if (ms < 0) ms = 0;
    if (!running_) { // start-up: nobody can act yet
        now_ += ms;
        publish();
        return;
    }
    noteState();
    if (stopRequested_ || wallLimitReached()) throw ArretDemande{};
    const std::int64_t end = now_ + ms;
    for (;;) {
        switch (pending_) {
        case Pending::Wait:
            if (end < target_) {
                now_ = end;
                publish();
                return;
            }
            // The script's commands at this instant act before the terminal resumes.
            now_ = target_;
            pending_ = Pending::None;
            interpret();
            if (stopRequested_) throw ArretDemande{};
            break;
        case Pending::Turns:
        case Pending::Until:
            if (end > turnDeadline_) {
                now_ = turnDeadline_;
                result_.turnLimit = true;
                report(pendingLine_, "turn did not end within " + std::to_string(kTurnLimitMs) + " ms");
                stopRequested_ = true;
                throw ArretDemande{};
            }
            now_ = end;
            publish();
            return;
        case Pending::None:
        case Pending::End: throw ArretDemande{}; // the script is over: stop where the terminal stands
        }
    }
}

void Engine::onBoundary() {
    if (!rowsTold_) turnFanOut_.finDecision(controller_->etatCourant());
    ++result_.turns;
    if (now_ != stillAt_) {
        stillAt_ = now_;
        stillTurns_ = 1;
    } else if (++stillTurns_ >= kStillTurnLimit && !result_.controllerFault) {
        controllerFailed("never waited: virtual time stood still for " + std::to_string(stillTurns_) +
                             " turns",
                         result_.turns);
    }
    for (RunObserver* o : observers_)
        o->turnEnded(now_);
    noteState();
    if (pending_ == Pending::Turns) {
        if (--remaining_ == 0) {
            pending_ = Pending::None;
            if (!stopRequested_) interpret();
        } else {
            turnDeadline_ = now_ + kTurnLimitMs;
        }
    } else if (pending_ == Pending::Until) {
        const auto actual = differs(until_);
        if (actual && --remaining_ > 0) {
            turnDeadline_ = now_ + kTurnLimitMs;
        } else {
            if (actual)
                fail(until_, *actual);
            else
                ++result_.passed;
            pending_ = Pending::None;
            if (!stopRequested_) interpret();
        }
    }
    if (wallLimitReached()) stopRequested_ = true;
    publish();
}

void Engine::noteState() {
    const int state = controller_->etatCourant();
    if (state == lastState_) return;
    lastState_ = state;
    for (RunObserver* o : observers_)
        o->stateChanged(state, now_);
}

bool Engine::wallLimitReached() {
    if (settings_.wallLimit.count() <= 0 || result_.wallLimit) return result_.wallLimit;
    if (++waitsSinceWallCheck_ < kWaitsPerWallCheck) return false;
    waitsSinceWallCheck_ = 0;
    if (std::chrono::steady_clock::now() < wallDeadline_) return false;
    result_.wallLimit = true;
    report(pendingLine_, "stopped: the run took longer than its limit of " + duration(settings_.wallLimit));
    return true;
}

void Engine::report(std::size_t line, const std::string& text) {
    if (settings_.flushBeforeMessages != nullptr) settings_.flushBeforeMessages->flush();
    messages_ << settings_.scriptName << ':' << line << ": " << text << '\n';
    messages_.flush();
}

void Engine::controllerFailed(const std::string& what, std::uint64_t turn) {
    result_.controllerFault = true;
    stopRequested_ = true;
    const auto& type = settings_.controller != nullptr ? *settings_.controller : borne::controleurInterne();
    const std::string reason = controllerFault(type.nom, what, turn, now_);
    if (turn > 0) {
        report(pendingLine_, reason);
        return;
    }
    messages_ << settings_.scriptName << ": " << reason << '\n'; // before any line of the script
    messages_.flush();
}

void Engine::publish() noexcept {
    if (settings_.progress == nullptr) return;
    settings_.progress->now.store(now_, std::memory_order_relaxed);
    settings_.progress->turn.store(running_ ? result_.turns + 1 : 0, std::memory_order_relaxed);
    settings_.progress->line.store(pendingLine_, std::memory_order_relaxed);
}

// A failure line is for reading: both values are cut alike, whatever their size.
void Engine::fail(const Command& c, std::string_view actual) {
    ++result_.failed;
    const bool onState = c.verb == Verb::ExpectState || c.verb == Verb::UntilState;
    std::string line = "expected " +
                       (onState ? std::string("etat") : c.control + "." + nomPropriete(c.property)) + " = " +
                       shownValue(c.text);
    // One form whatever N, so that tools reading the failures need one pattern.
    if (c.verb == Verb::Until || c.verb == Verb::UntilState)
        line += " within " + std::to_string(c.count) + " turns";
    report(c.line, line + ", got " + shownValue(actual));
}

} // namespace borne::scenario
