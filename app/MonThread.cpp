#include "app/MonThread.h"

#include "control/Attente.h"
#include "control/tGestionBarriere.h"
#include "journal/FichierJournal.h"
#include "panel/PanneauOperateur.h"

MyThread* threadBarriere = nullptr;

MyThread::MyThread(bool CreateSuspended)
    : gestionBarriere(std::make_unique<tGestionBarriere>()),
      horloge_(dynamic_cast<borne::HorlogeReelle*>(&borne::horlogeInstallee())) {
    if (!CreateSuspended) start();
}

MyThread::~MyThread() {
    Arreter();
    AttendreFin();
}

void MyThread::AttendreFin() {
    wait();
    const std::lock_guard fin(fin_);
}

void MyThread::Arreter() {
    // The panel first: once figer() returns, nothing the worker does can show, even a write that was
    // already under way; then the journal's file, which takes no line begun after it; then the clock,
    // so that its wait no longer returns to the cycle.
    borne::panneau().figer();
    borne::FichierJournal::arreter();
    if (horloge_ != nullptr) horloge_->arreter();
}

void MyThread::run() {
    const std::lock_guard fin(fin_);
    Execute();
}

void MyThread::Execute() {
    try {
        gestionBarriere->Executer();
    } catch (const borne::ArretDemande&) {
        // The normal end: stopped from the window.
    } catch (...) {
        // Anything else ends the worker quietly; the window stays usable.
    }
}
