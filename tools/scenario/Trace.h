// The trace: every write the terminal makes to the panel, one line each, with its virtual instant:
//   2500 Moteur.Text = ON
// Values are written as the panel holds them after the write (a held box shows its held value), texts
// verbatim in UTF-8: the trace is data, not a message, and nothing in it is escaped or cut. With only the
// changes, a write that leaves the value as it was (the terminal rewrites most outputs every turn) is
// left out; the user's writes count for what the value was, but are not traced.
#pragma once

#include "tools/scenario/Engine.h"

#include <iosfwd>
#include <map>
#include <string>
#include <utility>

namespace borne::scenario {

class TraceWriter final : public RunObserver {
public:
    // Stops the run as soon as `out` can take no more.
    TraceWriter(std::ostream& out, Engine& engine, bool changesOnly = false)
        : out_(out), engine_(engine), changesOnly_(changesOnly) {}
    void starting(Engine&) override;
    void wrote(const Ecriture& e, std::int64_t at) override;

private:
    std::ostream& out_;
    Engine& engine_;
    const bool changesOnly_;
    std::map<std::pair<const Controle*, Propriete>, Valeur> held_; // changesOnly_: what each holds now
    std::string line_; // reused: a trace can run to millions of lines
};

} // namespace borne::scenario
