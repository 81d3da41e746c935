#include "support/StalledDisk.h"

#include "journal/FichierJournal.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace borne::test {

namespace {

constexpr auto kGuard = std::chrono::seconds(10);

std::mutex g_lock;
std::condition_variable g_changed;
bool g_held = false, g_released = false, g_gaveUp = false; // guarded by g_lock
StalledDisk::Call g_call = StalledDisk::Call::Write;
FichierJournal::Appels g_system;

void hold() {
    std::unique_lock lock(g_lock);
    g_held = true;
    g_changed.notify_all();
    if (!g_changed.wait_for(lock, kGuard, [] { return g_released; })) g_gaveUp = true;
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
        const std::lock_guard lock(g_lock);
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
    std::unique_lock lock(g_lock);
    return g_changed.wait_for(lock, kGuard, [] { return g_held; });
}

void StalledDisk::release() {
    const std::lock_guard lock(g_lock);
    g_released = true;
    g_changed.notify_all();
}

bool StalledDisk::gaveUp() const {
    const std::lock_guard lock(g_lock);
    return g_gaveUp;
}

} // namespace borne::test
