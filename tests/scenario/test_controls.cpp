// The controls as people see them: `--controls` lists every control of the panel model with what the
// role table says of it, and an unknown name gets the nearest names.
#include "panel/Roles.h"
#include "tools/grammar/Controls.h"
#include "tools/cli/Run.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace borne;
using namespace borne::scenario;

TEST(Controls, TheTableListsEveryControlOfThePanelInItsOrder) {
    std::istringstream in;
    std::ostringstream out, err;
    ASSERT_EQ(cli::run({"borne-scenario", "--controls"}, in, out, err), 0);
    EXPECT_EQ(err.str(), "");
    std::istringstream rows(out.str());
    std::string row;
    std::getline(rows, row);
    EXPECT_EQ(row, "| name | kind | caption | stands for | written by |");
    std::getline(rows, row);
    for (const Controle* c : panneau().controles()) {
        ASSERT_TRUE(std::getline(rows, row)) << "no row for " << c->nom();
        const RoleControle* role = roleDe(c->nom());
        ASSERT_NE(role, nullptr) << c->nom();
        EXPECT_EQ(row.rfind("| `" + c->nom() + "` | " + kindName(c->genre()) + " | ", 0), 0u) << row;
        EXPECT_NE(row.find(std::string(" | ") + role->role + " | " + nomEcritPar(role->ecritPar) + " |"),
                  std::string::npos)
            << row;
    }
    EXPECT_FALSE(std::getline(rows, row)) << "a row for no control: " << row;
    // The captions the window shows, in UTF-8.
    EXPECT_NE(out.str().find("| `CheckBox18` | check box | 6 | key 6 | both |\n"), std::string::npos);
    EXPECT_NE(out.str().find("| `Evenement` | labelled edit | Ev\xC3\xA8nement | "), std::string::npos);
    EXPECT_NE(out.str().find("| `CheckBox1` | check box |  | upstream loop"), std::string::npos);
}

TEST(Controls, AnUnknownNameGetsTheNearestNames) {
    const struct {
        std::string name;
        std::vector<std::string> nearest;
    } cases[] = {
        {"CheckBox30", {"CheckBox20", "CheckBox3"}}, // a key beside, a character more; not CheckBox10
        {"checkbox18", {"CheckBox18"}},              // the letter case
        {"Moteru", {"Moteur"}},                      // two characters swapped
        {"CheckBox", {"CheckBox1", "CheckBox2", "CheckBox3"}}, // three at most
        {"Nope", {}},
        {"", {}},
        {std::string(100000, 'C'), {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(nearestNames(c.name, panneau()), c.nearest) << c.name.substr(0, 20);
    EXPECT_EQ(unknownControl("CheckBox30", panneau()),
              "unknown control \"CheckBox30\" (did you mean CheckBox20, CheckBox3? borne-scenario --controls "
              "lists them)");
    EXPECT_EQ(unknownControl("Nope", panneau()),
              "unknown control \"Nope\" (borne-scenario --controls lists them)");
}
