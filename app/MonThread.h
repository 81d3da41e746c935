// The worker thread: owns the terminal's controller and runs its access cycle.
#pragma once

#include <QThread>

#include <memory>
#include <mutex>

class tGestionBarriere;
namespace borne {
class HorlogeReelle;
}

class MyThread final : public QThread {
public:
    // Builds the controller (reading Config.cfg and CHIP.INI, putting the panel in its start picture)
    // before the worker's first turn; starts the worker at once unless CreateSuspended.
    explicit MyThread(bool CreateSuspended);
    // Stops and joins the worker first: destroying a running thread is not allowed.
    ~MyThread() override;

    // Waits for the worker's end as seen by the standard library, so everything the worker did is visible
    // to the caller (QThread's own join is not a synchronisation the race detector can see).
    void AttendreFin();

    // Stops the worker where it stands, from the window's thread: from the call on, the panel takes no
    // more of its writes and the journal no more of its lines; its current or next wait ends the cycle.
    // Never waits for the worker.
    void Arreter();

    // The controller, for reading only once the worker has ended (or before it starts).
    const tGestionBarriere& gestion() const noexcept { return *gestionBarriere; }

protected:
    void run() override; // the thread's body: Execute

private:
    void Execute();

    std::unique_ptr<tGestionBarriere> gestionBarriere; // touched by the worker alone once it runs
    std::mutex fin_;                                   // held by the body until it returns
    borne::HorlogeReelle* horloge_;                    // the clock the worker waits on, if it is the real one
};

// The one worker, set by the window's constructor and used by its "Quitter" handler.
extern MyThread* threadBarriere;
