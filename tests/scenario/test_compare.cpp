// How --compare says the first difference between two recorded runs: one row per rule.
#include "tools/scenario/Compare.h"

#include "control/tGestionBarriere.h"
#include "tests/support/Sandbox.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using borne::scenario::Recording;

// A step of a run: a terminal write (control, property, value) or a journal line, at an instant.
struct Step {
    std::int64_t at;
    const char* control; // nullptr: a journal line, `value` is the line
    borne::Propriete property;
    borne::Valeur value;
};

void play(Recording& r, const std::vector<Step>& steps) {
    for (const Step& s : steps) {
        if (s.control == nullptr) {
            r.journalWrote(std::get<std::string>(s.value));
            continue;
        }
        const borne::Controle& c = *borne::panneau().trouver(s.control);
        r.wrote(borne::Ecriture{c, s.property, borne::Auteur::Terminal, s.value}, s.at);
    }
}

using P = borne::Propriete;
const borne::Valeur kOn = true;
const borne::Valeur kOff = false;
std::string text(const char* s) {
    return s;
}

struct Row {
    const char* rule;
    std::vector<Step> terminal, controller;
    std::string said;
};

TEST(Compare, FirstDifferenceIsSaidOnce) {
    const std::vector<Row> rows = {
        {"the same writes: nothing said",
         {{0, "Edit2", P::Text, text("code : *")}},
         {{0, "Edit2", P::Text, text("code : *")}},
         ""},
        {"one value differs",
         {{0, "Moteur", P::Text, text("ON")}, {0, "Edit2", P::Text, text("code : *")}},
         {{0, "Moteur", P::Text, text("ON")}, {0, "Edit2", P::Text, text("code : ")}},
         "start-up at 0 ms: Edit2.Text: terminal \"code : *\", controller \"code : \""},
        {"a write only the terminal made, earlier than the controller's next",
         {{500, "CheckBox12", P::Checked, kOff}, {1000, "Edit2", P::Text, text("a")}},
         {{1000, "Edit2", P::Text, text("a")}},
         "start-up at 500 ms: CheckBox12.Checked: terminal \"0\", controller (no write)"},
        {"a write only the controller made, at the same instant as another",
         {{500, "Edit2", P::Text, text("a")}},
         {{500, "CheckBox4", P::Checked, kOff}, {500, "Edit2", P::Text, text("a")}},
         "start-up at 500 ms: CheckBox4.Checked: terminal (no write), controller \"0\""},
        {"the same writes of an instant in another order",
         {{500, "CheckBox4", P::Checked, kOn}, {500, "CheckBox5", P::Checked, kOff}},
         {{500, "CheckBox5", P::Checked, kOff}, {500, "CheckBox4", P::Checked, kOn}},
         "start-up at 500 ms: CheckBox4.Checked: terminal \"1\", controller \"1\" (the writes of this "
         "instant in "
         "another order)"},
        {"a journal line, control bytes escaped",
         {{0, nullptr, P::Text, std::string("A\0\0;\n", 5)}},
         {{0, nullptr, P::Text, text("B;\n")}},
         "start-up at 0 ms: Log.txt line 1: terminal \"A\\x00\\x00;\", controller \"B;\""},
        {"texts shown decoded, and said to differ only by their encoding",
         {{0, "Default", P::Text,
           text("carte oubli\xE9"
                "e")}},
         {{0, "Default", P::Text,
           text("carte oubli\xC3\xA9"
                "e")}},
         "start-up at 0 ms: Default.Text: terminal \"carte oubliée\", controller \"carte oubliÃ©e\" (the "
         "controller wrote UTF-8, the terminal Windows-1252)"},
        {"a run that ends first",
         {{0, "Edit1", P::Text, text("x")}, {500, "Edit1", P::Text, text("y")}},
         {{0, "Edit1", P::Text, text("x")}},
         "start-up at 500 ms: Edit1.Text: terminal \"y\", controller (no write)"},
    };
    for (const Row& row : rows) {
        Recording terminal, controller;
        play(terminal, row.terminal);
        play(controller, row.controller);
        EXPECT_EQ(borne::scenario::firstDifference(terminal, controller), row.said) << row.rule;
    }
}

TEST(Compare, WholeJournalsGiveTheirFirstDifferentLine) {
    using borne::scenario::journalDifference;
    EXPECT_EQ(journalDifference("a\nb\n", "a\nb\n"), "");
    EXPECT_EQ(journalDifference("a\nb\n", "a\nc\n"), "Log.txt line 2: terminal \"b\", controller \"c\"");
    EXPECT_EQ(journalDifference("a\n", "a\nb\n"), "Log.txt line 2: terminal (none), controller \"b\"");
    EXPECT_EQ(journalDifference("a\x01\n", ""), "Log.txt line 1: terminal \"a\\x01\", controller (none)");
}

// The terminal's own turned through its required members alone, no rows told, whose state reads
// ETAT_DEFAUT where the terminal's is ETAT_ATTENTE_AUTORISATION.
class EtatDeclareFaux {
public:
    void Tour() { c_.Tour(); }
    Etat etatCourant() const noexcept {
        return c_.etatCourant() == ETAT_ATTENTE_AUTORISATION ? ETAT_DEFAUT : c_.etatCourant();
    }
    Mode modeCourant() const noexcept { return c_.modeCourant(); }

private:
    tGestionBarriere c_;
};

using CompareRuns = borne::test::Sandbox;

} // namespace

TEST_F(CompareRuns, WhatDecidedIsTheTurnsEndStateWhenTheControllerTellsNoRows) {
    std::ofstream("Config.cfg") << "mode=0\n";
    const std::string text = "tick CheckBox1\nturn 2\n";
    const borne::TypeControleur type{
        "etat-faux", [] { return std::make_unique<borne::ControleurDe<EtatDeclareFaux>>(); }, false, false};
    borne::scenario::RunSettings settings;
    settings.controller = &type;
    borne::scenario::Comparison comparison;
    std::string error;
    ASSERT_TRUE(comparison.start(text, settings, error)) << error;
    std::ostringstream messages;
    borne::scenario::Engine engine(settings, messages);
    engine.watch(comparison.controllerRun());
    ASSERT_TRUE(comparison.enter(error)) << error;
    borne::scenario::TextSource source(text, borne::panneau());
    engine.run(source);
    ASSERT_TRUE(comparison.leave(error)) << error;
    // Its end state is all that differs in that turn: said once.
    EXPECT_EQ(comparison.difference(),
              "turn 1 at 0 ms: terminal ends in ETAT_ATTENTE_AUTORISATION, controller ends in ETAT_DEFAUT");
}
