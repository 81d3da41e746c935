#include "journal/FichierJournal.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
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

// The stop's flag and the number of calls under way, in one word so that a call cannot begin once the
// stop is seen; nothing is locked, so the stop never waits for a call that the disk holds up.
constexpr std::uint32_t kArrete = 1u << 31;
std::atomic<std::uint32_t> g_etat{0};

// A call begins unless stopped, and is counted only if it begins: once stopped, the count can only fall.
bool commencer() {
    std::uint32_t etat = g_etat.load();
    do {
        if ((etat & kArrete) != 0) return false;
    } while (!g_etat.compare_exchange_weak(etat, etat + 1));
    return true;
}

std::atomic<bool> g_signauxIgnores{false};

std::atomic<int> g_premierEchec{0};

void noterEchec(int erreur) {
    int aucun = 0;
    g_premierEchec.compare_exchange_strong(aucun, erreur != 0 ? erreur : EIO);
}

// Takes back the `n` bytes of a line that could not be written whole. Appending leaves the file's
// offset at their end; they are cut only if they are still the file's last bytes, since a line that
// another writer appended after them is not ours to cut. A pipe or a device keeps no fragment to cut:
// a pipe takes a short line whole or not at all.
void couper(int fd, std::size_t n) {
    struct stat etat {};
    const off_t fin = ::lseek(fd, 0, SEEK_CUR);
    if (fin < static_cast<off_t>(n) || ::fstat(fd, &etat) != 0 || !S_ISREG(etat.st_mode) ||
        etat.st_size != fin)
        return;
    while (::ftruncate(fd, fin - static_cast<off_t>(n)) != 0 && errno == EINTR) {
    }
}

// The whole line, or nothing of it: a short write is continued, and a write that fails after a part
// went out takes that part back, so the next line never lands on a fragment.
bool ecrireTout(int fd, std::string_view ligne) {
    const auto ecrire = g_ecrire.load();
    std::size_t ecrits = 0;
    while (ecrits < ligne.size()) {
        const ssize_t n = ecrire(fd, ligne.data() + ecrits, ligne.size() - ecrits);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            noterEchec(n < 0 ? errno : EIO);
            if (ecrits > 0) couper(fd, ecrits);
            return false;
        }
        ecrits += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

void FichierJournal::ignorerSignaux() noexcept {
    for (const int s : {SIGPIPE, SIGXFSZ}) {
        struct sigaction actuelle {};
        if (::sigaction(s, nullptr, &actuelle) != 0 || (actuelle.sa_flags & SA_SIGINFO) != 0 ||
            actuelle.sa_handler != SIG_DFL)
            continue;
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigemptyset(&ignore.sa_mask);
        ::sigaction(s, &ignore, nullptr);
    }
    g_signauxIgnores.store(true, std::memory_order_release);
}

bool FichierJournal::ajouter(const char* nom, std::string_view ligne) {
    if (!g_signauxIgnores.load(std::memory_order_acquire)) ignorerSignaux();
    if (!commencer()) return false;
    // Without blocking: a pipe with no reader is a journal that cannot take the line.
    const int fd =
        g_ouvrir.load()(nom, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    bool ecrit = false;
    if (fd < 0) noterEchec(errno);
    if (fd >= 0) {
        // A stop that came while the open was held up: the line has not begun, and now never does. Once
        // its write has begun, a line ends whole (or is taken back), whenever the disk lets it.
        if (!ligne.empty() && (g_etat.load() & kArrete) == 0) ecrit = ecrireTout(fd, ligne);
        const bool ferme = ::close(fd) == 0;
        if (!ferme && ecrit) noterEchec(errno);
        ecrit = ecrit && ferme;
    }
    g_etat.fetch_sub(1);
    return ecrit;
}

int FichierJournal::premierEchec() noexcept {
    return g_premierEchec.load();
}

void FichierJournal::oublierEchec() noexcept {
    g_premierEchec.store(0);
}

bool FichierJournal::arreter() noexcept {
    return (g_etat.fetch_or(kArrete) & ~kArrete) != 0;
}

bool FichierJournal::occupe() noexcept {
    return (g_etat.load() & ~kArrete) != 0;
}

void FichierJournal::reprendre() noexcept {
    g_etat.fetch_and(~kArrete);
}

FichierJournal::Appels FichierJournal::appelsSysteme() noexcept {
    return {ouvrirSysteme, ecrireSysteme};
}

FichierJournal::Appels FichierJournal::remplacerAppels(const Appels& a) noexcept {
    return {g_ouvrir.exchange(a.ouvrir), g_ecrire.exchange(a.ecrire)};
}

} // namespace borne
