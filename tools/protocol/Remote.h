// A controller in a process of its own, reached over the protocol (docs/protocol.md): any executable that
// speaks it, or a plug-in hosted by borne-host. The bench executes each request against the terminal's
// real classes in its own process, so the panel, the journal and the clock stay the bench's; what the
// controller sends is checked like any input, and whatever it does wrong (a malformed or out-of-order
// line, an end, a crash, silence past the limit) ends its session as an EchecControleur naming it.
#pragma once

#include "control/Controleur.h"
#include "tools/sandbox/Sandbox.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace borne::protocol {

struct Settings {
    // A plug-in is hosted out of process too (always for a class; for --controller with --sandbox).
    bool outOfProcess = false;
    bool sandboxed = false;
    sandbox::Limits limits;
    // The longest the bench waits for the controller's next line, and for it to end once told to.
    std::chrono::milliseconds silence{10000};
    // Requests in one start-up or turn before the controller is stopped as endless.
    std::size_t requestsPerCommand = 100000;
    // When the controller cannot even say hello: false refuses it at load (the error names it); true
    // gives a type whose every start-up fails with that reason, so a class goes on with the others.
    bool failEachRun = false;
};

// The controller in `path`: a shared library (its first bytes say ELF) is loaded in process by
// chargerControleur unless settings.outOfProcess, else hosted by borne-host; any other executable file is
// run as it is. The controller's features come from a first session that only says hello. Refused with
// `error` naming the file and why.
std::optional<TypeControleur> loadController(const std::string& path, const Settings& settings,
                                             std::string& error);

// borne-host: BORNE_HOST when set, else beside the running program, else where the build put it.
std::string hostProgram();

} // namespace borne::protocol
