#include "scenario/Check.h"

#include "control/tGestionBarriere.h"

#include <fstream>
#include <sstream>

namespace borne::scenario {

bool loadRules(const std::string& path, search::RuleSet& rules, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    if (!in || in.bad()) {
        error = "borne-scenario: cannot read " + path + "\n";
        return false;
    }
    rules = search::parseRules(text.str(), panneau());
    for (const search::RuleError& e : rules.errors)
        error += path + ":" + std::to_string(e.line) + ": " + e.message + "\n";
    return rules.errors.empty();
}

void RuleObserver::starting(Engine& engine) {
    engine_ = &engine;
    checker_.reset();
    checker_.checkAll(-1, engine.now(), "the panel as built");
}

void RuleObserver::wrote(const Ecriture& e, std::int64_t instant) {
    const tGestionBarriere* c = engine_ != nullptr ? engine_->controller() : nullptr;
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
