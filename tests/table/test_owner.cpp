// Every row a turn reports belongs to the state the turn started in, or to ETAT_ALARME's in a turn that
// read the alarm: a tag pasted into another state's function is caught by the first turn that passes it,
// over every turn of the project's scenario suite and of a random soak in each mode.
#include "control/ObservateurTour.h"
#include "tests/support/Common.h"
#include "tests/support/Sandbox.h"
#include "tests/support/Soak.h"
#include "tools/scenario/Engine.h"
#include "tools/scenario/Folder.h"

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace borne;
namespace fs = std::filesystem;

namespace {

class Owner final : public ObservateurTour {
public:
    // The alarm is read in the turn's fifth step, before any row, and noted as the turn's event.
    Owner()
        : key_(panneau().ajouterObservateur([this](const Ecriture& e) {
              const auto* name = std::get_if<std::string>(&e.valeur);
              if (e.auteur == Auteur::Terminal && &e.controle == &panneau().Evenement && name != nullptr &&
                  *name == nomEvenementCode(ALARME_ACTIVE))
                  alarm_ = true;
          })) {}
    ~Owner() { panneau().retirerObservateur(key_); }

    void debutTour(int etat) noexcept override {
        start_ = etat;
        alarm_ = false;
        ++turns;
    }
    void ligne(int state, int rank) noexcept override {
        ++rows;
        alarmRows += alarm_ && start_ != ETAT_ALARME ? 1 : 0;
        const int owner = alarm_ ? ETAT_ALARME : start_;
        if (state == owner || faults.size() >= 5) return;
        faults.push_back(where + ": a turn started in " + nomEtatCode(start_) +
                         (alarm_ ? " that read the alarm" : "") + " reported row " + std::to_string(state) +
                         "." + std::to_string(rank));
    }
    void finDecision(int) noexcept override {}

    std::string where;
    long turns = 0, rows = 0, alarmRows = 0;
    std::vector<std::string> faults;

private:
    int key_;
    int start_ = -1;
    bool alarm_ = false;
};

using Owners = test::Sandbox;

} // namespace

TEST_F(Owners, EveryTurnOfTheScenarioSuite) {
    Owner owner;
    std::vector<scenario::FoundScenario> found;
    std::string error;
    for (const char* root : {"journeys", "timing"})
        ASSERT_TRUE(scenario::findScenarios(std::string(BORNE_SCENARIOS) + "/" + root, found, error))
            << error;
    ASSERT_GT(found.size(), 20u);
    for (const auto& s : found) {
        const fs::path run = folder() / "run";
        fs::remove_all(run);
        fs::copy(s.path, run, fs::copy_options::recursive);
        fs::current_path(run);
        std::ostringstream messages;
        const std::string script =
            test::readFile(scenario::kScriptFile); // read in place: it must outlive the run
        owner.where = s.name;
        const long before = owner.turns;
        scenario::Engine engine({}, messages);
        engine.listen(owner);
        scenario::TextSource source(script, panneau());
        EXPECT_TRUE(engine.run(source).ok()) << s.name << ": " << messages.str();
        fs::current_path(folder());
        EXPECT_GT(owner.turns, before) << s.name;
    }
    EXPECT_GT(owner.alarmRows, 0);
    EXPECT_EQ(owner.faults, std::vector<std::string>{});
}

TEST_F(Owners, EveryTurnOfARandomSoak) {
    Owner owner;
    for (int mode = MODE_SUPERVISE; mode <= MODE_LOCAL; ++mode) {
        owner.where = "soak in mode " + std::to_string(mode);
        const auto report = test::soak(mode, 10000, 19u + static_cast<unsigned>(mode), {}, 0, &owner);
        EXPECT_EQ(report.violations, 0) << report.first;
    }
    EXPECT_EQ(owner.turns, 5 * 10000);
    EXPECT_GT(owner.alarmRows, 0);
    EXPECT_EQ(owner.faults, std::vector<std::string>{});
}
