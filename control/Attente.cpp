#include "control/Attente.h"

#include <atomic>
#include <chrono>

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
