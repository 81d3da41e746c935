#include "journal/FichierJournal.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace borne {

namespace {

int ouvrirSysteme(const char* nom, int drapeaux, mode_t droits) {
    return ::open(nom, drapeaux, droits);
}
ssize_t ecrireSysteme(int fd, const void* octets, std::size_t n) {
    return ::write(fd, octets, n);
}

std::atomic<decltype(FichierJournal::Appels::ouvrir)> g_ouvrir{ouvrirSysteme};
std::atomic<decltype(FichierJournal::Appels::ecrire)> g_ecrire{ecrireSysteme};

std::atomic<bool> g_arrete{false};
std::atomic<int> g_enCours{0};
std::mutex g_portillon; // held while a line is written, and by the stop

// The whole line in one write, so a stop between two writes can never leave half of it; a short
// write is only continued, never restarted.
bool ecrireTout(int fd, std::string_view octets) {
    const auto ecrire = g_ecrire.load();
    while (!octets.empty()) {
        const ssize_t n = ecrire(fd, octets.data(), octets.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        octets.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

bool FichierJournal::ajouter(const char* nom, std::string_view ligne) {
    if (g_arrete.load()) return false;
    ++g_enCours;
    // Opened outside the stop's gate and without blocking, so a journal that cannot take a line at once
    // (a pipe with no reader) never holds up the stop.
    const int fd = g_ouvrir.load()(nom, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    bool ecrit = false;
    if (fd >= 0) {
        if (!ligne.empty()) {
            // Once stopped nothing more is appended; a line under way is finished first.
            const std::lock_guard portillon(g_portillon);
            ecrit = !g_arrete.load() && ecrireTout(fd, ligne);
        }
        const bool ferme = ::close(fd) == 0;
        ecrit = ecrit && ferme;
    }
    --g_enCours;
    return ecrit;
}

bool FichierJournal::arreter() {
    const std::lock_guard portillon(g_portillon);
    g_arrete.store(true);
    return g_enCours.load() != 0;
}

bool FichierJournal::occupe() noexcept {
    return g_enCours.load() != 0;
}

void FichierJournal::reprendre() {
    const std::lock_guard portillon(g_portillon);
    g_arrete.store(false);
}

FichierJournal::Appels FichierJournal::appelsSysteme() noexcept {
    return {ouvrirSysteme, ecrireSysteme};
}

FichierJournal::Appels FichierJournal::remplacerAppels(const Appels& a) noexcept {
    return {g_ouvrir.exchange(a.ouvrir), g_ecrire.exchange(a.ecrire)};
}

} // namespace borne
