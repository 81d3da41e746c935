// A controller from outside may crash, throw, call exit() or never return. Wherever it runs unattended it
// runs in a child process: its failure fails the one run it happened in, said in one line that names the
// controller, the turn and the virtual instant, and the runner goes on. What the controller writes on
// its standard output or error goes nowhere: the runner's lines stay the runner's.
#pragma once

#include "tools/scenario/Engine.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

namespace borne::scenario {

// "the controller NAME WHAT in turn N at T ms", or "... during start-up at T ms" for turn 0; one line
// whatever NAME and WHAT hold.
std::string controllerFault(const std::string& controller, const std::string& what, std::uint64_t turn,
                            std::int64_t now);

// Why a process running `controller` ended without reporting, from its wait status: a signal by its name
// ("crashed with SIGSEGV"), an exit by its status, with where the run stood.
std::string controllerDeath(const std::string& controller, int status, const RunProgress& where);
// A run that outlasted its limit inside one turn and was killed.
std::string controllerOutlasted(const std::string& controller, std::chrono::milliseconds limit,
                                const RunProgress& where);

// "SIGSEGV", "SIGABRT"... ("signal N" for one without a name).
std::string nameOfSignal(int signal);

// Progress records in memory shared with the children forked after it is made; nullptr from at() when
// the memory could not be had (the reasons then say less, nothing else changes).
class SharedProgress {
public:
    explicit SharedProgress(std::size_t count);
    ~SharedProgress();
    SharedProgress(const SharedProgress&) = delete;
    SharedProgress& operator=(const SharedProgress&) = delete;
    RunProgress* at(std::size_t i) const noexcept { return records_ != nullptr ? records_ + i : nullptr; }

private:
    RunProgress* records_ = nullptr;
    std::size_t count_ = 0;
};

// Standard output and error of this process go to /dev/null from now on.
void silenceStandardStreams();

// Runs `run` in a forked child whose own standard output and error go nowhere; what `run` writes on the
// two streams it is given comes out here on `out` and `err`, in the order it was flushed there. Returns
// what `run` returned; when the child ends without returning (a crash, exit(), killed after `wallLimit`
// and a grace when wallLimit is set), says "SCRIPT:LINE: reason" on `err` and returns 1.
using ChildRun = std::function<int(std::ostream& out, std::ostream& err, RunProgress& progress)>;
int runInChild(const ChildRun& run, const std::string& scriptName, const std::string& controller,
               std::chrono::milliseconds wallLimit, std::ostream& out, std::ostream& err);

} // namespace borne::scenario
