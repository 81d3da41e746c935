#include "app/MonThread.h"

#include "app/TurnWatch.h"
#include "control/Attente.h"
#include "control/Controleur.h"
#include "journal/FichierJournal.h"
#include "panel/PanneauOperateur.h"

#include <cstdio>
#include <exception>
#include <string>

MyThread* threadBarriere = nullptr;

namespace {
// One line, in one write, so it is not mixed with another thread's output.
void signalerMort(const char* texte) {
    const std::string ligne =
        std::string("borne: the terminal stopped on an unexpected error: ") + texte + "\n";
    std::fwrite(ligne.data(), 1, ligne.size(), stderr);
    std::fflush(stderr);
}
} // namespace

MyThread::MyThread(bool CreateSuspended, const borne::TypeControleur* type)
    : gestionBarriere((type != nullptr ? *type : borne::controleurInterne()).creer()),
      horloge_(dynamic_cast<borne::HorlogeReelle*>(&borne::horlogeInstallee())),
      cadence_(dynamic_cast<borne::HorlogeCadencee*>(horloge_)),
      tours_(std::make_unique<borne::bench::TurnWatch>(
          [c = cadence_]() -> std::int64_t { return c != nullptr ? c->instant() : 0; })) {
    // Installed before the cycle runs; it only copies what it hears, under a lock held for the copy.
    gestionBarriere->observer(tours_.get());
    observateurPanneau_ =
        borne::panneau().ajouterObservateur([t = tours_.get()](const borne::Ecriture& e) { t->wrote(e); });
    if (!CreateSuspended) start();
}

MyThread::~MyThread() {
    Arreter();
    AttendreFin();
    borne::panneau().retirerObservateur(observateurPanneau_);
}

void MyThread::AttendreFin() {
    wait();
    const borne::VerrouPris fin(fin_);
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
    const borne::VerrouPris fin(fin_);
    Execute();
}

void MyThread::Execute() {
    try {
        // The controller's own cycle, turn after turn, with the paced clock's hold between two turns and
        // the end of each turn told once its journal step is over.
        for (;;) {
            if (cadence_ != nullptr) cadence_->avantTour();
            gestionBarriere->Tour();
            tours_->turnEnded();
        }
    } catch (const borne::ArretDemande&) {
        // The normal end: stopped from the window.
    } catch (const std::exception& e) {
        signalerMort(e.what());
    } catch (...) {
        signalerMort("not a standard exception");
    }
}
