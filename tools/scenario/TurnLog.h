// The turn log of `--turns FILE`: one line per turn of the access cycle, as tab-separated values under a
// header (the format: tools/files/TurnLogFormat.h), for what the journal leaves out (it writes a line
// only when the state and the event both change):
//   turn  start_ms  start_state  events  end_state  rows  status
// `events` are the events the turn noted, in order (the terminal's writes of Evenement, escaped), `rows`
// the rows of the state table the turn reached (S.K), each list separated by spaces. `status` is "done", or
// "cut" for the turn the run stopped inside: it is written with what it did so far, and its end state is the
// state the controller held then.
#pragma once

#include "control/ObservateurTour.h"
#include "tools/scenario/Engine.h"

#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace borne::scenario {

class TurnLog final : public RunObserver, public borne::ObservateurTour {
public:
    explicit TurnLog(std::ostream& out) : out_(out) {}

    void started(Engine& engine) override;
    void wrote(const Ecriture& e, std::int64_t at) override;
    void turnEnded(std::int64_t at) override;
    void finished(std::int64_t at) override;

    void debutTour(int etat) noexcept override;
    void ligne(int state, int rank) noexcept override;
    void finDecision(int) noexcept override {}

private:
    void write(const char* status);

    std::ostream& out_;
    Engine* engine_ = nullptr;
    bool inTurn_ = false;
    std::uint64_t number_ = 0;
    std::int64_t start_ = 0;
    int startState_ = 0;
    std::vector<std::string> events_;
    std::vector<std::pair<int, int>> rows_;
};

} // namespace borne::scenario
