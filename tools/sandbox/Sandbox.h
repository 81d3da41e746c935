// Starting a controller's process: its program and arguments, the channel it speaks the protocol on as
// descriptor 3, its standard output and error captured, and, when asked, a sandbox made by bubblewrap
// (read-only views of what it needs, no network, a process namespace of its own, limits). What starts
// here is code the bench does not trust: nothing of the bench's files, folders or processes is reachable
// from it but the channel.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace borne::sandbox {

struct Limits {
    std::uint64_t memoryBytes = 512ull << 20; // address space
    unsigned cpuSeconds = 60;                 // CPU time of the whole process
    unsigned processes = 32;                  // processes and threads it may have at once
    unsigned openFiles = 64;
    std::uint64_t outputBytes = 64u << 10;    // what is kept of its standard output and error, each
};

struct Launch {
    std::vector<std::string> argv;     // the program (an absolute path) and its arguments
    std::vector<std::string> readOnly; // files or folders the controller may read, besides the runtime
    std::vector<std::string> environment; // NAME=VALUE, besides BORNE_PROTOCOL_FD=3
    int channel = -1;                  // becomes descriptor 3 in the controller
    bool sandboxed = true;
    Limits limits;
};

struct Started {
    pid_t pid = -1;  // the process to wait for (bubblewrap's, when sandboxed); ends all it started
    int output = -1; // its standard output and error, both, to read without blocking (non-blocking fd)
};

// Starts `launch`; on failure says why in `error` and returns nothing. Never runs anything of the
// controller in this process.
std::optional<Started> start(const Launch& launch, std::string& error);

// Whether `user` is one a sandbox runs as (when the bench is root, each sandbox has its own).
bool sandboxUser(uid_t user) noexcept;

// Why this machine cannot make a sandbox (no bubblewrap, no user namespaces...), or nothing when it can.
// Checked once per process.
std::optional<std::string> unavailable();

} // namespace borne::sandbox
