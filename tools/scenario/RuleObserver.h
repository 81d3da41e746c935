// Safety rules checked while a script runs: on the panel as built and after every write, the terminal's
// (start-up included) and the script's. A broken rule fails the run.
#pragma once

#include "tools/files/Files.h"
#include "tools/rules/Rules.h"
#include "tools/scenario/Engine.h"

#include <string>
#include <vector>

namespace borne::scenario {

class RuleObserver final : public RunObserver {
public:
    explicit RuleObserver(const search::RuleSet& rules) : checker_(rules) {}
    void starting(Engine& engine) override;
    void started(Engine& engine) override;
    void wrote(const Ecriture& e, std::int64_t instant) override;
    const std::vector<std::optional<search::Violation>>& violations() const { return checker_.violations(); }
    // One line per broken rule, in the file's order: "RULES:LINE: RULE: broken at T ms by WRITE".
    std::vector<std::string> report(const search::RuleSet& rules, const std::string& rulesName) const;

private:
    search::RuleChecker checker_;
    Engine* engine_ = nullptr;
};

} // namespace borne::scenario
