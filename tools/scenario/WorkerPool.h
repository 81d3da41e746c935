// The suite's worker pool: forked workers that each run one scenario folder at a time in a scratch copy,
// handed folders by a runner that reads their outcomes off the wire (Wire.h) and replaces a worker that
// dies or hangs; and the signals that stop it all cleanly.
#pragma once

#include "tools/scenario/Suite.h"

#include <csignal>
#include <optional>
#include <string>
#include <vector>

namespace borne::scenario {

// Ctrl-C, SIGTERM (a `timeout`, a shutdown), SIGHUP and SIGPIPE (the reader of the output gone) stop a
// suite cleanly while one of these lives: its workers are killed, its scratch removed and its report left
// as it was; the program then ends by the same signal (suiteInterruption). A signal that was ignored when
// the suite began stays ignored, SIGPIPE aside: every program that journals ignores it for its journal's
// sake, and a reader that leaves must still stop the suite.
class StopSignals {
public:
    static constexpr int kCount = 4;
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    // Readable once a stop signal came, so that a wait for the workers ends at once.
    int wakeFd() const { return wake_[0]; }

private:
    int wake_[2];
    struct sigaction previous_[kCount];
};

// "SIGINT", "SIGTERM", "SIGHUP", or "a signal".
const char* signalName(int signal);

// Makes every folder on the way to `file`.
void makeParents(const std::string& file);

struct PoolOutcomes {
    std::vector<std::optional<ScenarioOutcome>> outcomes; // all, or those that ended before a stop
    bool stopped = false;                                 // by a signal, or an output that went away
};

// Runs `list` in settings.jobs forked workers (at least one), each folder in `scratch`/wN, telling each
// outcome to `read` in list order as soon as it and all before it are known. `wake`: StopSignals' wakeFd.
PoolOutcomes runPool(const SuiteSettings& settings, const std::vector<FoundScenario>& list,
                     std::string scratch, std::ostream& out, int wake, const OutcomeReader& read);

} // namespace borne::scenario
