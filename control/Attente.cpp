#include "control/Attente.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>

namespace borne {

void HorlogeReelle::attendre(int ms) {
    const auto echeance = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
    bool arret = false;
    {
        VerrouPris pris(verrou_);
        // The wait gives the lock back while it sleeps and holds it again whenever it returns.
        while (!arret_ && reveil_.wait_until(verrou_, echeance) == std::cv_status::no_timeout) {
        }
        arret = arret_;
    }
    if (arret) throw ArretDemande{};
}

void HorlogeReelle::arreter() {
    {
        VerrouPris pris(verrou_);
        arret_ = true;
    }
    reveil_.notify_all();
}

bool HorlogeReelle::arretee() const {
    VerrouPris pris(verrou_);
    return arret_;
}

HorlogeCadencee::HorlogeCadencee() : ancreReelle_(std::chrono::steady_clock::now()) {}

std::int64_t HorlogeCadencee::ecouleNs(std::chrono::steady_clock::time_point t) const {
    if (pause_) return ancreNs_;
    const auto reel = std::chrono::duration_cast<std::chrono::nanoseconds>(t - ancreReelle_).count();
    // At speed 1 the count stays whole: real time exactly.
    return ancreNs_ +
           (vitesse_ == 1 ? reel : static_cast<std::int64_t>(static_cast<double>(reel) * vitesse_));
}

void HorlogeCadencee::reancrer() {
    const auto t = std::chrono::steady_clock::now();
    ancreNs_ = ecouleNs(t);
    ancreReelle_ = t;
}

void HorlogeCadencee::signaler() const {
    if (surChangement_) surChangement_();
}

void HorlogeCadencee::attendre(int ms) {
    if (ms < 0) ms = 0;
    bool arret = false;
    bool demarrage = false;
    {
        VerrouPris pris(verrou_);
        if (!cycle_) {
            demarrage = true;
        } else {
            const std::int64_t debut = ecouleNs(std::chrono::steady_clock::now());
            const std::int64_t fin = debut + std::int64_t{ms} * 1'000'000;
            enAttente_ = true;
            longueur_ = ms;
            debutAttenteNs_ = debut;
            // Every change of pace or pause wakes the wait, which then measures again what is left.
            while (!arret_) {
                const auto t = std::chrono::steady_clock::now();
                const std::int64_t reste = fin - ecouleNs(t);
                if (reste <= 0) break;
                if (pause_) {
                    reveil_.wait(verrou_);
                } else {
                    const auto reel = std::chrono::nanoseconds(
                        vitesse_ == 1
                            ? reste
                            : static_cast<std::int64_t>(std::ceil(static_cast<double>(reste) / vitesse_)));
                    reveil_.wait_until(verrou_, t + reel);
                }
            }
            arret = arret_;
            if (!arret) {
                termine_ += ms;
                enAttente_ = false;
            }
        }
    }
    if (demarrage) return HorlogeReelle::attendre(ms);
    if (arret) throw ArretDemande{};
}

void HorlogeCadencee::avantTour() {
    bool pauseVenue = false;
    {
        VerrouPris pris(verrou_);
        cycle_ = true;
        if (commences_ > 0) ++finis_;
        if (pauseApres_ >= 0 && finis_ >= pauseApres_) {
            pauseApres_ = -1;
            if (!pause_) {
                reancrer();
                pause_ = true;
                pauseVenue = true;
            }
        }
    }
    if (pauseVenue) signaler();
    bool arret;
    {
        VerrouPris pris(verrou_);
        while (pause_ && !arret_)
            reveil_.wait(verrou_);
        arret = arret_;
        if (!arret) ++commences_;
    }
    if (arret) throw ArretDemande{};
}

void HorlogeCadencee::mettreEnPause() {
    poserPause(true);
}

void HorlogeCadencee::reprendre() {
    poserPause(false);
}

void HorlogeCadencee::poserPause(bool pause) {
    {
        VerrouPris pris(verrou_);
        pauseApres_ = -1;
        if (pause_ == pause) return;
        reancrer();
        pause_ = pause;
    }
    reveil_.notify_all();
    signaler();
}

void HorlogeCadencee::unTour() {
    {
        VerrouPris pris(verrou_);
        pauseApres_ = finis_ + 1;
        if (pause_) {
            reancrer();
            pause_ = false;
        }
    }
    reveil_.notify_all();
    signaler();
}

void HorlogeCadencee::changerVitesse(double vitesse) {
    if (std::isnan(vitesse)) return;
    vitesse = std::clamp(vitesse, VITESSES.front(), VITESSES.back());
    {
        VerrouPris pris(verrou_);
        if (vitesse == vitesse_) return;
        reancrer();
        vitesse_ = vitesse;
    }
    reveil_.notify_all();
    signaler();
}

bool HorlogeCadencee::enPause() const {
    VerrouPris pris(verrou_);
    return pause_;
}

double HorlogeCadencee::vitesse() const {
    VerrouPris pris(verrou_);
    return vitesse_;
}

double HorlogeCadencee::vitessePlus(double vitesse) noexcept {
    for (const double v : VITESSES)
        if (v > vitesse) return v;
    return VITESSES.back();
}

double HorlogeCadencee::vitesseMoins(double vitesse) noexcept {
    for (auto it = VITESSES.rbegin(); it != VITESSES.rend(); ++it)
        if (*it < vitesse) return *it;
    return VITESSES.front();
}

std::chrono::nanoseconds HorlogeCadencee::ecoule() const {
    VerrouPris pris(verrou_);
    return std::chrono::nanoseconds(ecouleNs(std::chrono::steady_clock::now()));
}

std::int64_t HorlogeCadencee::instant() const {
    VerrouPris pris(verrou_);
    if (!enAttente_) return termine_;
    const std::int64_t fait = (ecouleNs(std::chrono::steady_clock::now()) - debutAttenteNs_) / 1'000'000;
    return termine_ + std::min<std::int64_t>(fait, longueur_);
}

std::int64_t HorlogeCadencee::tours() const {
    VerrouPris pris(verrou_);
    return commences_;
}

void HorlogeVirtuelle::attendre(int ms) {
    ++attentes_;
    const std::int64_t debut = maintenant_;
    const std::int64_t fin = debut + (ms < 0 ? 0 : ms);
    // Actions tied to this wait become ordinary planned actions at their instant.
    auto prochaine = std::move(prochaine_);
    prochaine_.clear();
    for (auto& [delai, action] : prochaine) {
        if (debut + delai < fin)
            planifiees_.emplace(debut + delai, std::move(action));
        else
            prochaine_.emplace(delai, std::move(action));
    }
    while (!planifiees_.empty() && planifiees_.begin()->first <= fin) {
        auto noeud = planifiees_.extract(planifiees_.begin());
        if (noeud.key() > maintenant_) maintenant_ = noeud.key();
        noeud.mapped()();
    }
    maintenant_ = fin;
}

void HorlogeVirtuelle::planifier(std::int64_t instant, std::function<void()> action) {
    planifiees_.emplace(instant, std::move(action));
}

void HorlogeVirtuelle::pendantProchaineAttente(int delai, std::function<void()> action) {
    prochaine_.emplace(delai, std::move(action));
}

namespace {
HorlogeReelle& horlogeParDefaut() {
    static HorlogeReelle h;
    return h;
}
std::atomic<Horloge*> g_horloge{nullptr};
} // namespace

Horloge& horlogeInstallee() {
    Horloge* h = g_horloge.load(std::memory_order_acquire);
    return h != nullptr ? *h : horlogeParDefaut();
}

void attendre(int ms) {
    horlogeInstallee().attendre(ms);
}

HorlogeInstallee::HorlogeInstallee(Horloge& h)
    : precedente_(g_horloge.exchange(&h, std::memory_order_acq_rel)) {}
HorlogeInstallee::~HorlogeInstallee() {
    g_horloge.store(precedente_, std::memory_order_release);
}

} // namespace borne
