#include "tests/support/StalledDisk.h"

#include "journal/FichierJournal.h"
#include "base/Verrou.h"

#include <chrono>
#include <condition_variable>

namespace borne::test {

namespace {

constexpr auto kGuard = std::chrono::seconds(10);

Verrou g_lock;
std::condition_variable_any g_changed;
bool g_held GUARDED_BY(g_lock) = false;
bool g_released GUARDED_BY(g_lock) = false;
bool g_gaveUp GUARDED_BY(g_lock) = false;
StalledDisk::Call g_call = StalledDisk::Call::Write;
FichierJournal::Appels g_system;

void hold() {
    const VerrouPris lock(g_lock);
    g_held = true;
    g_changed.notify_all();
    const auto deadline = std::chrono::steady_clock::now() + kGuard;
    while (!g_released)
        if (g_changed.wait_until(g_lock, deadline) == std::cv_status::timeout) {
            g_gaveUp = !g_released;
            return;
        }
}

int open(const char* name, int flags, mode_t mode) {
    if (g_call == StalledDisk::Call::Open) hold();
    return g_system.ouvrir(name, flags, mode);
}

ssize_t write(int fd, const void* bytes, std::size_t n) {
    if (g_call == StalledDisk::Call::Write) hold();
    return g_system.ecrire(fd, bytes, n);
}

} // namespace

StalledDisk::StalledDisk(Call held) {
    {
        const VerrouPris lock(g_lock);
        g_held = g_released = g_gaveUp = false;
    }
    // Everything the replacements use is set before they are put in: the worker may already be running.
    g_call = held;
    g_system = FichierJournal::appelsSysteme();
    FichierJournal::remplacerAppels({open, write});
}

StalledDisk::~StalledDisk() {
    release();
    FichierJournal::remplacerAppels(g_system);
}

bool StalledDisk::waitUntilHeld() {
    const VerrouPris lock(g_lock);
    const auto deadline = std::chrono::steady_clock::now() + kGuard;
    while (!g_held)
        if (g_changed.wait_until(g_lock, deadline) == std::cv_status::timeout) return g_held;
    return true;
}

void StalledDisk::release() {
    const VerrouPris lock(g_lock);
    g_released = true;
    g_changed.notify_all();
}

bool StalledDisk::gaveUp() const {
    const VerrouPris lock(g_lock);
    return g_gaveUp;
}

} // namespace borne::test
