#include "app/CrashNotice.h"

#include "base/Texte.h"

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <unistd.h>

namespace borne::crash {

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGFPE, SIGBUS, SIGILL, SIGABRT};
constexpr const char* kNames[] = {"SIGSEGV", "SIGFPE", "SIGBUS", "SIGILL", "SIGABRT"};
constexpr std::size_t kCount = sizeof kSignals / sizeof kSignals[0];
constexpr std::size_t kStackSize = 64 * 1024;

// Written only by watch(), before any of the controller's code runs; read by the handler.
char g_lines[kCount][320];
std::size_t g_lengths[kCount];
struct sigaction g_previous[kCount];
bool g_watching = false;

thread_local volatile std::sig_atomic_t t_inController = 0;

int indexOf(int signal) {
    for (std::size_t i = 0; i < kCount; ++i)
        if (kSignals[i] == signal) return static_cast<int>(i);
    return -1;
}

// Only async-signal-safe calls: write, sigaction, raise.
extern "C" void onCrash(int signal, siginfo_t* info, void*) {
    const int savedErrno = errno;
    const int i = indexOf(signal);
    if (i < 0) return;
    const auto k = static_cast<std::size_t>(i);
    const bool ours = t_inController != 0;
    if (ours) {
        [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, g_lines[k], g_lengths[k]);
    }
    struct sigaction next {};
    if (ours) {
        next.sa_handler = SIG_DFL;
        sigemptyset(&next.sa_mask);
    } else {
        next = g_previous[k];
    }
    ::sigaction(signal, &next, nullptr);
    errno = savedErrno;
    // A fault comes back as soon as the handler returns, to the action now in place. A signal that was
    // sent (raise, abort, kill) does not: send it again, to be delivered on return.
    if (info == nullptr || info->si_code <= 0) ::raise(signal);
}

} // namespace

void watch(const std::string& controller) {
    for (std::size_t i = 0; i < kCount; ++i) {
        const std::string line = "borne: controller " + controller + " crashed: " + kNames[i] + "\n";
        g_lengths[i] = copierBorne(g_lines[i], line);
        if (g_lengths[i] < line.size()) g_lines[i][g_lengths[i] - 1] = '\n'; // cut short, still one line
    }
    if (g_watching) return;
    struct sigaction action {};
    action.sa_sigaction = onCrash;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    for (std::size_t i = 0; i < kCount; ++i)
        ::sigaction(kSignals[i], &action, &g_previous[i]);
    g_watching = true;
}

void unwatch() {
    if (!g_watching) return;
    for (std::size_t i = 0; i < kCount; ++i)
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    g_watching = false;
}

InController::InController(bool active) : active_(active) {
    if (!active_) return;
    stack_ = std::make_unique<char[]>(kStackSize);
    stack_t own{};
    own.ss_sp = stack_.get();
    own.ss_size = kStackSize;
    if (::sigaltstack(&own, &previous_) != 0) stack_.reset(); // the thread's own stack, then
    t_inController = 1;
}

InController::~InController() {
    if (!active_) return;
    t_inController = 0;
    if (stack_) ::sigaltstack(&previous_, nullptr);
}

} // namespace borne::crash
