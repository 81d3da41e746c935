// The one wait facility: every blocking wait of the terminal (the turn's pause, a boom movement) goes
// through attendre(), which asks the clock installed for the process.
#pragma once

#include "panel/Verrou.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>

namespace borne {

class Horloge {
public:
    virtual ~Horloge() = default;
    // Blocks for `ms` (real clock) or only advances time (virtual clock); may end by ArretDemande.
    virtual void attendre(int ms) = 0;
};

// Thrown out of a wait of the real clock once the clock is stopped: the waiting cycle never resumes.
struct ArretDemande {};

// The real clock. arreter() cuts short the wait under way and every later one, from any thread.
class HorlogeReelle : public Horloge {
public:
    // Blocks the caller for `ms` milliseconds; throws ArretDemande at once, or as soon as arreter() is
    // called during the wait.
    void attendre(int ms) override EXCLUDES(verrou_);
    void arreter() EXCLUDES(verrou_);
    bool arretee() const EXCLUDES(verrou_);

private:
    mutable Verrou verrou_;
    std::condition_variable_any reveil_;
    bool arret_ GUARDED_BY(verrou_) = false;
};

// Virtual time for tests and the scenario runner: a wait returns at once and advances the time; actions
// planned for an instant run when a wait passes over it, so a test can act "during" a boom movement.
class HorlogeVirtuelle : public Horloge {
public:
    void attendre(int ms) override;
    std::int64_t maintenant() const noexcept { return maintenant_; }
    // Runs `action` when the virtual time reaches `instant` inside a wait (at once if already past, at
    // the next wait). Actions at the same instant run in the order planned.
    void planifier(std::int64_t instant, std::function<void()> action);
    // Runs `action` `delai` ms into the next wait that lasts longer than that.
    void pendantProchaineAttente(int delai, std::function<void()> action);
    int nombreAttentes() const noexcept { return attentes_; }

private:
    std::int64_t maintenant_ = 0;
    int attentes_ = 0;
    std::multimap<std::int64_t, std::function<void()>> planifiees_;
    std::multimap<int, std::function<void()>> prochaine_;
};

// Waits `ms` milliseconds on the installed clock (the real one unless a test installed another).
// Blocks the caller for that time on the real clock; ends by ArretDemande once that clock is stopped.
void attendre(int ms);

Horloge& horlogeInstallee();

// Installs a clock for the process for as long as the object lives.
class HorlogeInstallee {
public:
    explicit HorlogeInstallee(Horloge& h);
    ~HorlogeInstallee();
    HorlogeInstallee(const HorlogeInstallee&) = delete;
    HorlogeInstallee& operator=(const HorlogeInstallee&) = delete;

private:
    Horloge* precedente_;
};

} // namespace borne
