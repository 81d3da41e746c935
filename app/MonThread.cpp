#include "app/MonThread.h"

#include "app/CrashNotice.h"
#include "app/Programme.h"
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
constexpr const char* PAS_STANDARD = "not a standard exception";

std::string nomEtat(Etat e) {
    const char* nom = nomEtatCode(e);
    return nom != nullptr ? nom : "state " + std::to_string(static_cast<int>(e));
}
} // namespace

MyThread::MyThread(bool CreateSuspended, const borne::TypeControleur* type)
    : nom_((type != nullptr ? *type : borne::controleurInterne()).nom),
      externe_(type != nullptr && type != &borne::controleurInterne()),
      horloge_(dynamic_cast<borne::HorlogeReelle*>(&borne::horlogeInstallee())),
      cadence_(dynamic_cast<borne::HorlogeCadencee*>(horloge_)),
      tours_(std::make_unique<borne::bench::TurnWatch>(
          [c = cadence_]() -> std::int64_t { return c != nullptr ? c->instant() : 0; })) {
    if (!externe_) {
        gestionBarriere = borne::controleurInterne().creer(); // what it throws stops the program's start
    } else {
        // Someone else's start-up: what it throws stops only this controller, and the window stays.
        borne::crash::watch(nom_);
        try {
            const borne::crash::InController dedans;
            gestionBarriere = type->creer();
        } catch (const std::exception& e) {
            signalerMort(e.what());
            montrerPanne("its start-up", e.what());
        } catch (...) {
            signalerMort(PAS_STANDARD);
            montrerPanne("its start-up", PAS_STANDARD);
        }
    }
    // Installed before the cycle runs; they only copy what they hear, under a lock held for the copy.
    observateurPanneau_ =
        borne::panneau().ajouterObservateur([t = tours_.get()](const borne::Ecriture& e) { t->wrote(e); });
    if (gestionBarriere == nullptr) return; // no cycle to run
    gestionBarriere->observer(tours_.get());
    if (!CreateSuspended) start();
}

MyThread::~MyThread() {
    Arreter();
    AttendreFin();
    borne::panneau().retirerObservateur(observateurPanneau_);
    if (externe_) borne::crash::unwatch();
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
    const borne::crash::InController dedans(externe_);
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
        if (externe_) montrerPanne(nomEtat(gestionBarriere->etatCourant()), e.what());
    } catch (...) {
        signalerMort(PAS_STANDARD);
        if (externe_) montrerPanne(nomEtat(gestionBarriere->etatCourant()), PAS_STANDARD);
    }
}

void MyThread::montrerPanne(const std::string& ou, const char* quoi) {
    std::string texte = "controller " + nom_ + " stopped in " + ou + ": " + quoi;
    // Queued to this object, which lives on the window's thread; dropped if the worker goes first.
    QMetaObject::invokeMethod(
        this, [texte = std::move(texte)] { borne::montrerErreur(texte.c_str()); }, Qt::QueuedConnection);
}
