// The one wait facility: every blocking wait of the terminal (the turn's pause, a boom movement) goes
// through attendre(), which asks the clock installed for the process.
#pragma once

#include "base/Verrou.h"

#include <array>
#include <chrono>
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

protected:
    // A clock built on this one waits on the same lock and wake-up, so that the stop reaches its waits.
    mutable Verrou verrou_;
    std::condition_variable_any reveil_;
    bool arret_ GUARDED_BY(verrou_) = false;
};

// Real time at the pace a person sets, for the window's worker: a wait of `ms` lasts ms / speed of real
// time and none of it passes while paused. At speed 1, never paused, it is the real clock. Its own time
// (ecoule()) passes at speed x real time and stands still in a pause; the worker's instant is the sum of
// the waits it made since its cycle began, as a script counts it.
class HorlogeCadencee : public HorlogeReelle {
public:
    // The speeds + and - step through.
    static constexpr std::array<double, 7> VITESSES = {0.1, 0.25, 0.5, 1, 2, 5, 10};

    HorlogeCadencee();

    // Before the cycle's first turn (start-up, on the window's thread) a wait is a plain real one: a
    // pause cannot hold the window. From then on it is paced and a pause holds it where it stands.
    void attendre(int ms) override EXCLUDES(verrou_);

    // The worker, before each turn (so after the previous turn's journal step): holds it while paused; a
    // one-turn request pauses here once its turn is over. Throws ArretDemande once stopped.
    void avantTour() EXCLUDES(verrou_);

    void mettreEnPause() EXCLUDES(verrou_);
    void reprendre() EXCLUDES(verrou_);
    // Runs until the next turn's journal step is over, then pauses.
    void unTour() EXCLUDES(verrou_);
    // Any speed from the first step to the last; outside them the nearest, not a number changes nothing.
    void changerVitesse(double vitesse) EXCLUDES(verrou_);
    bool enPause() const EXCLUDES(verrou_);
    double vitesse() const EXCLUDES(verrou_);
    // The next step above / below `vitesse` (the last / first step at the ends).
    static double vitessePlus(double vitesse) noexcept;
    static double vitesseMoins(double vitesse) noexcept;

    // This clock's own time since it was built.
    std::chrono::nanoseconds ecoule() const EXCLUDES(verrou_);
    // The worker's instant, virtual ms: its waits since the cycle began, the one under way as far as it went.
    std::int64_t instant() const EXCLUDES(verrou_);
    // Turns begun.
    std::int64_t tours() const EXCLUDES(verrou_);

    // Told after every change of pause or speed, on the thread that made it (the worker's when a one-turn
    // run ends in a pause), without any lock held; must not block. Set before the worker starts.
    void surChangement(std::function<void()> f) { surChangement_ = std::move(f); }

private:
    std::int64_t ecouleNs(std::chrono::steady_clock::time_point t) const REQUIRES(verrou_);
    // The time so far becomes the new anchor: called before the speed or the pause changes.
    // Pauses or resumes (a pending one-turn step is dropped either way).
    void poserPause(bool pause) EXCLUDES(verrou_);
    void reancrer() REQUIRES(verrou_);
    void signaler() const;

    std::chrono::steady_clock::time_point ancreReelle_ GUARDED_BY(verrou_);
    std::int64_t ancreNs_ GUARDED_BY(verrou_) = 0;
    double vitesse_ GUARDED_BY(verrou_) = 1;
    bool pause_ GUARDED_BY(verrou_) = false;
    bool cycle_ GUARDED_BY(verrou_) = false; // avantTour() was called: waits are paced and counted
    std::int64_t commences_ GUARDED_BY(verrou_) = 0;
    std::int64_t finis_ GUARDED_BY(verrou_) = 0;
    std::int64_t pauseApres_ GUARDED_BY(verrou_) = -1; // pause once this many turns are over
    std::int64_t termine_ GUARDED_BY(verrou_) = 0;     // virtual ms of the waits completed
    bool enAttente_ GUARDED_BY(verrou_) = false;
    int longueur_ GUARDED_BY(verrou_) = 0;
    std::int64_t debutAttenteNs_ GUARDED_BY(verrou_) = 0;
    std::function<void()> surChangement_;
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
