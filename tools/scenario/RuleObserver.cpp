#include "tools/scenario/RuleObserver.h"

#include "control/Controleur.h"

namespace borne::scenario {

void RuleObserver::starting(Engine& engine) {
    engine_ = &engine;
    checker_.reset();
    checker_.checkAll(-1, engine.now(), "the panel as built");
}

// Start-up is over: the rules hold on the state and the panel it leaves, before the first command, even
// when no write follows.
void RuleObserver::started(Engine& engine) {
    const borne::Controleur* c = engine.controller();
    checker_.checkAll(c != nullptr ? c->etatCourant() : -1, engine.now(), search::kAtStartUp);
}

void RuleObserver::wrote(const Ecriture& e, std::int64_t instant) {
    const borne::Controleur* c = engine_ != nullptr ? engine_->controller() : nullptr;
    checker_.onWrite(e, c != nullptr ? c->etatCourant() : -1, instant);
}

std::vector<std::string> RuleObserver::report(const search::RuleSet& rules,
                                              const std::string& rulesName) const {
    std::vector<std::string> lines;
    for (const auto& v : checker_.violations())
        if (v) lines.push_back(search::describe(rules, rulesName, *v));
    return lines;
}

} // namespace borne::scenario
