// The worker thread: owns the terminal's controller and runs its access cycle.
#pragma once

#include "base/Verrou.h"

#include <QThread>

#include <memory>
#include <string>

namespace borne {
class Controleur;
struct TypeControleur;
class HorlogeReelle;
class HorlogeCadencee;
namespace bench {
class TurnWatch;
}
} // namespace borne

class MyThread final : public QThread {
public:
    // Builds the controller (reading Config.cfg and CHIP.INI, putting the panel in its start picture)
    // before the worker's first turn; starts the worker at once unless CreateSuspended. Blocks for the
    // 2000 ms of the boom's raise in the out-of-service mode with the boom raised.
    // `type`: the controller to run (nullptr: the terminal's own). A controller built apart (any but the
    // terminal's own) is watched: an exception out of its start-up or its turn stops the cycle and shows
    // the error display naming it and its state; the window stays up on the panel as it was. A crash
    // while its code runs names it on standard error before the process dies.
    explicit MyThread(bool CreateSuspended, const borne::TypeControleur* type = nullptr);
    // Stops and joins the worker first: destroying a running thread is not allowed.
    ~MyThread() override;

    // Waits for the worker's end as seen by the standard library, so everything the worker did is visible
    // to the caller (QThread's own join is not a synchronisation the race detector can see). Blocks until
    // the worker ends: call it after Arreter(), or once the worker died.
    void AttendreFin() EXCLUDES(fin_);

    // Stops the worker where it stands, from the window's thread: from the call on, the panel takes no
    // more of its writes and the journal begins no more lines (one under way ends whole, whenever the
    // disk lets it); its current or next wait ends the cycle. Never waits for the worker.
    void Arreter();

    // The controller, for reading only once the worker has ended (or before it starts). There is none
    // when the start-up of a controller built apart failed: controleur() is then nullptr.
    const borne::Controleur& gestion() const noexcept { return *gestionBarriere; }
    const borne::Controleur* controleur() const noexcept { return gestionBarriere.get(); }

    // The paced clock the worker waits on, if the installed clock is one (nullptr otherwise).
    borne::HorlogeCadencee* cadence() const noexcept { return cadence_; }
    // What the worker tells of its turns, for the bench window; lives as long as this object.
    borne::bench::TurnWatch& tours() noexcept { return *tours_; }

protected:
    void run() override EXCLUDES(fin_); // the thread's body: Execute

private:
    // The access cycle until the stop ends it (ArretDemande out of a wait). Any other error ends the
    // worker too: the window stays up, the panel stops changing, and the error's text goes once to
    // standard error.
    void Execute();
    // The error display, later, on the window's thread: "controller NAME stopped in STATE: WHAT".
    void montrerPanne(const std::string& ou, const char* quoi);

    const std::string nom_; // the controller's name, said when it fails
    const bool externe_;    // built apart: its failures are shown, its crashes named
    std::unique_ptr<borne::Controleur> gestionBarriere; // touched by the worker alone once it runs
    // Held by the body until it returns; it guards no data, it only marks the body's end.
    borne::Verrou fin_;
    borne::HorlogeReelle* horloge_;   // the clock the worker waits on, if it is the real one
    borne::HorlogeCadencee* cadence_; // the same, if it is paced
    std::unique_ptr<borne::bench::TurnWatch> tours_;
    int observateurPanneau_ = 0;
};

// The one worker, set by the window's constructor and used by its "Quitter" handler.
extern MyThread* threadBarriere;
