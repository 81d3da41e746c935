#include "support/StalledDisk.h"

#include "journal/FichierJournal.h"

#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

namespace borne::test {

namespace {

std::mutex g_lock;
std::condition_variable g_changed;
bool g_held = false;     // guarded by g_lock
bool g_released = false; // guarded by g_lock
int g_opens = 0;         // guarded by g_lock
StalledDisk::Call g_call = StalledDisk::Call::Write;
FichierJournal::Appels g_system;

void hold() {
    std::unique_lock lock(g_lock);
    g_held = true;
    g_changed.notify_all();
    g_changed.wait(lock, [] { return g_released; });
}

int open(const char* name, int flags, mode_t mode) {
    {
        const std::lock_guard lock(g_lock);
        ++g_opens;
    }
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
        g_held = g_released = false;
        g_opens = 0;
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

bool StalledDisk::waitUntilHeld(std::chrono::seconds limit) {
    std::unique_lock lock(g_lock);
    return g_changed.wait_for(lock, limit, [] { return g_held; });
}

bool StalledDisk::returnsWhileHeld(const std::function<void()>& action, std::chrono::seconds limit) {
    std::promise<void> returned;
    bool letGo = false;
    std::thread guard([&, done = returned.get_future()] {
        if (done.wait_for(limit) == std::future_status::ready) return;
        letGo = true;
        release();
    });
    action();
    returned.set_value();
    guard.join();
    return !letGo;
}

void StalledDisk::release() {
    const std::lock_guard lock(g_lock);
    g_released = true;
    g_changed.notify_all();
}

int StalledDisk::opens() const {
    const std::lock_guard lock(g_lock);
    return g_opens;
}

} // namespace borne::test
