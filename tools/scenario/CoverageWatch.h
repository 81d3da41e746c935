// Puts a run's turns into coverage counts: once start-up is over the counts learn the controller's mode
// and become its turn observer, for as long as the controller lives (or, for a controller that tells no
// rows, hear its turns' states from the engine).
#pragma once

#include "control/Controleur.h"
#include "tools/coverage/Coverage.h"
#include "tools/scenario/Engine.h"

namespace borne::scenario {

class CoverageWatch final : public RunObserver {
public:
    explicit CoverageWatch(coverage::Coverage& counts) : counts_(counts) {}
    void started(Engine& engine) override {
        counts_.setMode(engine.controller()->modeCourant());
        if (!engine.rowsTold()) counts_.rowsNotTold();
        engine.listen(counts_);
    }

private:
    coverage::Coverage& counts_;
};

} // namespace borne::scenario
