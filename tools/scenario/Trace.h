// The trace: every write the terminal makes to the panel, one line each, with its virtual instant:
//   2500 Moteur.Text = ON
// Values are written as the panel holds them after the write (a held box shows its held value), texts
// verbatim in UTF-8: the trace is data, not a message, and nothing in it is escaped or cut.
#pragma once

#include "scenario/Engine.h"

#include <iosfwd>
#include <string>

namespace borne::scenario {

class TraceWriter final : public RunObserver {
public:
    // Stops the run as soon as `out` can take no more.
    TraceWriter(std::ostream& out, Engine& engine) : out_(out), engine_(engine) {}
    void wrote(const Ecriture& e, std::int64_t at) override;

private:
    std::ostream& out_;
    Engine& engine_;
    std::string line_; // reused: a trace can run to millions of lines
};

} // namespace borne::scenario
