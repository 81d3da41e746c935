// Safety rules: the grammar and its errors, a script that breaks a rule failing at the instant it breaks,
// and the search finding the shortest journey that breaks a rule (worked out by hand) or telling that a
// rule holds.
#include "tests/search/Through.h"
#include "tools/cli/Run.h"
#include "tools/search/Commands.h"
#include "tools/rules/Rules.h"
#include "tests/support/Common.h"
#include "tests/support/Sandbox.h"

#include <fstream>

using namespace borne;

namespace {

class Rules : public test::Sandbox {
protected:
    void settings(int mode) {
        std::ofstream("Config.cfg") << "mode=" << mode << "\nnomacces=Entree Nord\nnumeroacces=2\n";
        std::ofstream("CHIP.INI") << "ADDRESS=12\n";
    }
    void file(const std::string& name, const std::string& text) {
        std::ofstream(name, std::ios::binary) << text;
    }
    int run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "borne-scenario");
        std::istringstream in;
        out.str("");
        err.str("");
        return cli::run(arguments, in, out, err);
    }
    int explore(const std::string& rules, int within) {
        search::SearchSettings o;
        o.maxTurns = within;
        out.str("");
        err.str("");
        return search::explore(o, rules, out, err);
    }
    std::ostringstream out, err;
};

} // namespace

TEST_F(Rules, EachBadLineIsReportedWithItsNumber) {
    const search::RuleSet set = search::parseRules("# comment\n"
                                                   "never CheckBox1.Checked = 1\n"
                                                   "sometimes etat = 0\n"
                                                   "never CheckBox99.Checked = 1\n"
                                                   "never Edit1.Checked = 1\n"
                                                   "never CheckBox1.Checked = 2\n"
                                                   "never Shape1.Brush.Color = green\n"
                                                   "never etat = 18\n"
                                                   "never (etat = 0 and CheckBox1.Checked = 1\n"
                                                   "never Edit1.Text = \"unterminated\n"
                                                   "always\n"
                                                   "never etat 0\n"
                                                   "never etat = 0 CheckBox1.Checked = 1\n"
                                                   "never etat = ETAT_VEHICULE_ENTRANT\n",
                                                   panneau());
    EXPECT_EQ(set.rules.size(), 1u);
    const std::vector<std::pair<std::size_t, std::string>> expected = {
        {3, "a rule starts with never or always"},
        {4, "unknown control \"CheckBox99\""},
        {5, "Edit1 has no property Checked"},
        {6, "(0 or 1)"},
        {7, "0xBBGGRR"},
        {8, "unknown state \"18\""},
        {9, "missing ')'"},
        {10, "unterminated quoted text"},
        {11, "missing condition after always"},
        {12, "expected = or != after etat"},
        {13, "unexpected 'CheckBox1.Checked' after the rule"},
        {14, "(did you mean ETAT_VEHICULE_ENTRE? 0 to 17"},
    };
    ASSERT_EQ(set.errors.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(set.errors[i].line, expected[i].first);
        EXPECT_NE(set.errors[i].message.find(expected[i].second), std::string::npos) << set.errors[i].message;
    }
}

TEST_F(Rules, OperatorsQuotesAndStatesEvaluateAsWritten) {
    panneau().Edit1.setText("-  acces autorise    -");
    panneau().CheckBox1.setChecked(true);
    const struct {
        const char* rule;
        int state;
        bool holds;
    } cases[] = {
        {"never CheckBox1.Checked = 1", 0, false},
        {"always CheckBox1.Checked = 1 and CheckBox2.Checked != 1", 0, true},
        {"never not CheckBox1.Checked = 1 or CheckBox2.Checked = 1", 0, true},
        {"never Edit1.Text = \"-  acces autorise    -\" and etat = ETAT_VEHICULE_ABSENT", 0, false},
        {"never Edit1.Text = \"-  acces autorise    -\" and etat = 0", -1, true}, // no controller yet
        {"always etat != 5 # a comment with \"quotes\"", -1, true},
        {"never (etat = 1 or etat = 2) and CheckBox1.Checked = 1", 2, false},
        {"never Edit1.Text = \"\\\"quoted\\\" and \\\\\"", 0, true},
        {"always Shape3.Brush.Color = 0xFFFFFF or Shape3.Brush.Color = 0x00ffff", 0, true},
        {"\xEF\xBB\xBFnever Edit1.Text = \"-  acces autorise    -\"\r\n", 0, false}, // as an editor saves it
    };
    for (const auto& c : cases) {
        const search::RuleSet set = search::parseRules(c.rule, panneau());
        ASSERT_TRUE(set.errors.empty()) << c.rule << ": " << set.errors.front().message;
        EXPECT_EQ(search::holds(set.rules[0], search::currentValues(set), c.state), c.holds) << c.rule;
    }
}

TEST_F(Rules, AScriptFailsAtTheInstantTheRuleBreaksAndOnTheWriteThatBrokeIt) {
    settings(0);
    file("r.rules", "# the display\n"
                    "never Edit1.Text = \"-  acces autorise    -\" and etat = ETAT_VEHICULE_ABSENT\n"
                    "never CheckBox1.Checked = 1 and CheckBox2.Checked = 1\n"
                    "never Shape1.Brush.Color = 0x008000 and Shape2.Brush.Color = 0x008000\n");
    // Let in by the attendant, the car backs off the loop while the boom rises: state 0 at 4000 ms (three
    // pauses and the 2000 ms raise), "acces autorise" still shown. Then both loops at once, by the script.
    file("s.scn", "tick CheckBox1\nturn\ntick CheckBox3\nturn 2\nuntick CheckBox1\nturn\nexpect etat 0\n"
                  "tick CheckBox1\ntick CheckBox2\n");
    EXPECT_EQ(run({"--check", "r.rules", "s.scn"}), 1);
    EXPECT_NE(
        err.str().find("s.scn: r.rules:2: never Edit1.Text = \"-  acces autorise    -\" and etat = "
                       "ETAT_VEHICULE_ABSENT: broken at 4000 ms by EtatCourant.Text = ETAT_VEHICULE_ABSENT "
                       "(by the terminal)"),
        std::string::npos)
        << err.str();
    EXPECT_NE(
        err.str().find("r.rules:3: never CheckBox1.Checked = 1 and CheckBox2.Checked = 1: broken at 4000 ms "
                       "by CheckBox2.Checked = 1 (by the script)"),
        std::string::npos)
        << err.str();
    EXPECT_NE(out.str().find("rules: 1 held, 2 broken\nexpectations: 1 passed, 0 failed\n"),
              std::string::npos);

    // The same rules on a journey that keeps them.
    file("ok.scn", "tick CheckBox2\nturn 3\n");
    EXPECT_EQ(run({"--check", "r.rules", "ok.scn"}), 0) << err.str();
}

TEST_F(Rules, ABadRulesFileStopsEverythingBeforeItRuns) {
    settings(0);
    file("bad.rules", "never CheckBox1.Checked = 1\nnever Moteur.Text ON\n");
    file("s.scn", "turn\n");
    EXPECT_EQ(run({"--check", "bad.rules", "s.scn"}), 2);
    EXPECT_EQ(err.str(), "bad.rules:2: expected = or != after Moteur.Text, found 'ON'\n");
    EXPECT_EQ(explore("bad.rules", 3), 2);
    EXPECT_EQ(err.str(), "bad.rules:2: expected = or != after Moteur.Text, found 'ON'\n");
    EXPECT_EQ(explore("absent.rules", 3), 2);
    EXPECT_FALSE(std::filesystem::exists("Log.txt"));
}

TEST_F(Rules, TheSearchFindsTheShortestJourneyThatBreaksARule) {
    settings(0);
    // "code non valide" needs a refused code: the car arrives (1), four digits (4), the code is refused
    // in state 2 (1), and state 1 shows the refusal in the next turn (1): 7 turns, 5 actions, the
    // refusal written during the seventh turn, after six pauses.
    file("r.rules", "never Edit1.Text = \"-  code non valide   -\"\n");
    ASSERT_EQ(explore("r.rules", 8), 1) << err.str();
    EXPECT_NE(
        out.str().find("after 7 turns, 5 actions; first at 3000 ms, by Edit1.Text = -  code non valide   - "
                       "(by the terminal)"),
        std::string::npos)
        << out.str();
    // What it prints is the script as it stands, and it fails, run with the rules, at the same instant.
    file("journey.scn", out.str());
    EXPECT_EQ(run({"--check", "r.rules", "journey.scn"}), 1);
    EXPECT_NE(err.str().find("broken at 3000 ms by Edit1.Text"), std::string::npos) << err.str();
    EXPECT_NE(out.str().find("expectations: 9 passed, 0 failed"), std::string::npos) << out.str();
}

// --save: each broken rule's journey as a scenario folder that a suite checked with the rules fails on.
TEST_F(Rules, TheJourneysThatBreakRulesAreSavedAsScenarioFolders) {
    settings(0);
    file("r.rules", "never CheckBox5.Checked = 0 and Shape2.Brush.Color = 0x008000\n"
                    "never Shape1.Brush.Color = 0x008000 and Shape2.Brush.Color = 0x008000\n"
                    "never Edit1.Text = \"-  code non valide   -\"\n");
    search::SearchSettings o;
    o.maxTurns = 8;
    o.save = "saved";
    ASSERT_EQ(search::explore(o, "r.rules", out, err), 1) << err.str();
    EXPECT_NE(out.str().find("# saved 2 scenario folders in saved"), std::string::npos) << out.str();
    EXPECT_EQ(test::readFile("saved/rule-3/r.rules"), test::readFile("r.rules"));
    EXPECT_EQ(test::readFile("saved/rule-1/Config.cfg"), test::readFile("Config.cfg"));
    EXPECT_FALSE(std::filesystem::exists("saved/rule-2"));
    EXPECT_EQ(run({"--suite", "--check", "r.rules", "saved"}), 1);
    EXPECT_NE(out.str().find("scenarios: 0 passed, 2 failed"), std::string::npos) << out.str();
    // A folder that holds something already is refused before the search.
    EXPECT_EQ(search::explore(o, "r.rules", out, err), 2);
}

TEST_F(Rules, TheSearchReportsARuleThatHolds) {
    settings(0);
    file("r.rules", "never Shape1.Brush.Color = 0x008000 and Shape2.Brush.Color = 0x008000\n");
    EXPECT_EQ(explore("r.rules", 6), 0);
    EXPECT_NE(out.str().find("r.rules:1: holds for every journey of up to 6 turns ("), std::string::npos)
        << out.str();
}

TEST_F(Rules, ARuleThePanelBreaksAsBuiltNeedsNoJourney) {
    settings(0);
    file("r.rules", "always CheckBox5.Checked = 1 # the boom down: not yet, as built\n");
    ASSERT_EQ(explore("r.rules", 4), 1);
    EXPECT_NE(out.str().find("after 0 turns, 0 actions; first at 0 ms, by the panel as built"),
              std::string::npos)
        << out.str();
}

namespace {
std::string repeat(const std::string& s, int n) {
    std::string r;
    r.reserve(s.size() * static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        r += s;
    return r;
}
} // namespace

// Rules nested or long enough to exhaust the stack are errors of their line; at the limits a rule is
// still read and checked.
TEST_F(Rules, DeepOrLongRulesAreRefusedOnTheirLineNamingTheLimit) {
    const std::string atom = "etat = 0";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {repeat("(", 30000) + atom + repeat(")", 30000), "nested deeper than 100 levels"},
        {repeat("not ", 70000) + atom, "a line longer than 64 KiB, the limit for a rule"},
        {atom + repeat(" and " + atom, 199999), "a line longer than 64 KiB, the limit for a rule"},
        {repeat("not ", 101) + atom, "nested deeper than 100 levels (parentheses and not), the limit"},
        {atom + repeat(" or " + atom, 1000), "more than 1000 conditions, the limit for a rule"},
    };
    for (const auto& [rule, message] : cases) {
        const search::RuleSet set = search::parseRules("# deep\nnever " + rule + "\n", panneau());
        ASSERT_EQ(set.errors.size(), 1u) << message;
        EXPECT_EQ(set.errors[0].line, 2u);
        EXPECT_NE(set.errors[0].message.find(message), std::string::npos) << set.errors[0].message;
    }
    const search::RuleSet limits =
        search::parseRules("never " + repeat("(", 50) + repeat("not ", 50) + atom + repeat(")", 50) +
                               "\nnever " + atom + repeat(" and " + atom, 999) + "\n",
                           panneau());
    ASSERT_TRUE(limits.errors.empty()) << limits.errors[0].message;
    EXPECT_FALSE(search::holds(limits.rules[0], {}, 0)); // fifty times not: etat = 0 again
    EXPECT_TRUE(search::holds(limits.rules[0], {}, 1));
    EXPECT_FALSE(search::holds(limits.rules[1], {}, 0));
    EXPECT_TRUE(search::holds(limits.rules[1], {}, 1));

    // Through every command that reads rules, before anything runs.
    settings(0);
    file("deep.rules", "never " + cases[0].first + "\n");
    file("big.rules", std::string(search::kMaxRulesFile + 1, '#'));
    file("s.scn", "turn\n");
    for (const char* rules : {"deep.rules", "big.rules"}) {
        EXPECT_EQ(run({"--check", rules, "s.scn"}), 2) << rules;
        EXPECT_EQ(run({"--suite", "--check", rules, "."}), 2) << rules;
        EXPECT_EQ(explore(rules, 3), 2) << rules;
    }
    EXPECT_EQ(err.str(),
              "borne-scenario: cannot read big.rules: larger than 1 MiB, the limit for a rules file\n");
    EXPECT_FALSE(std::filesystem::exists("Log.txt"));
}

// A rule is checked on what start-up leaves, before the first command, even when no write follows.
TEST_F(Rules, WhatStartUpLeavesBreaksARuleBeforeAnyCommand) {
    settings(0);
    file("r.rules", "never etat = ETAT_VEHICULE_ABSENT\n");
    file("s.scn", "expect etat 0\n");
    EXPECT_EQ(run({"--check", "r.rules", "s.scn"}), 1);
    EXPECT_EQ(err.str(),
              "s.scn: r.rules:1: never etat = ETAT_VEHICULE_ABSENT: broken at 0 ms by the state and "
              "panel start-up leaves\n");
    EXPECT_EQ(out.str(), "rules: 0 held, 1 broken\nexpectations: 1 passed, 0 failed\n");
    settings(1);
    file("o.rules", "never etat = ETAT_HORS_SERVICE\n");
    ASSERT_EQ(explore("o.rules", 3), 1);
    EXPECT_NE(
        out.str().find("after 0 turns, 0 actions; first at 0 ms, by the state and panel start-up leaves"),
        std::string::npos)
        << out.str();
}
