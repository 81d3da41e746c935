// A crash inside a controller built apart (a plug-in), named on standard error before the process dies:
// "borne: controller alice.so crashed: SIGSEGV". Whoever reads the terminal's output then knows whose code
// it was, even though nothing else can be said once memory may be broken.
#pragma once

#include <csignal>
#include <memory>
#include <string>

namespace borne::crash {

// Prepares the line for each crash signal (SIGSEGV, SIGFPE, SIGBUS, SIGILL, SIGABRT) naming `controller`
// and installs the handlers, keeping the ones they replace. Call on one thread, before any of the
// controller's code runs and while none runs.
void watch(const std::string& controller);
// Puts the replaced handlers back (nothing when not watching). Call once the controller's code no
// longer runs.
void unwatch();

// While one lives, the calling thread runs the controller's code: a crash signal on this thread writes
// its line (one write(2) of a line prepared by watch()) and then takes the default action, so the
// process dies as it would. A crash on another thread, or outside such a scope, goes to the handler that
// was there before, as if nothing had been installed. The handler runs on a stack of its own, so a
// controller that recurses without end is named too.
class InController {
public:
    explicit InController(bool active = true);
    ~InController();
    InController(const InController&) = delete;
    InController& operator=(const InController&) = delete;

private:
    bool active_;
    std::unique_ptr<char[]> stack_;
    stack_t previous_{};
};

} // namespace borne::crash
