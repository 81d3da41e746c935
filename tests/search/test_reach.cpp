// --reach: each journey it prints, run through the runner, passes its own expectations and reaches its
// target, in as few turns as worked out by hand from the state table.
#include "tests/search/Through.h"
#include "tools/search/Commands.h"
#include "tools/search/Explorer.h"
#include "tools/rules/Target.h"
#include "tests/support/Sandbox.h"

#include "base/Codes.h"

#include <fstream>

using namespace borne;

namespace {

struct Case {
    const char* name;
    int mode;
    const char* target;
    int turns; // the shortest journey, worked out by hand; 0: not pinned
};

// What each journey needs at least: 4.2 arrive, authorise, then the attendant's row; 14.1 arrive, card
// in, leave (3.1 -> 14), then the fault's row; 2.2 arrive, three codes of four digits, two verified and
// refused, the third reaching state 2 with nbEssais at 3.
const Case kCases[] = {
    {"AttendantGrant", 0, "4.2", 3},
    {"ForgottenCard", 0, "14.1", 4},
    {"ThirdCode", 0, "2.2", 16},
    {"ExitReported", 0, "ETAT_VEHICULE_SORT", 4},
    {"AlarmDuringEntry", 0, "7->11", 0},
    {"FullCarPark", 0, "0.2", 0},
    {"LocalCodeAccepted", 4, "2.5", 6},
    {"LocalCardLeft", 4, "3.5", 0},
    {"OutOfServiceAlarm", 1, "ETAT_ALARME->ETAT_ATTENTE_AUTORISATION", 0},
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class Reach : public test::Sandbox, public ::testing::WithParamInterface<Case> {
protected:
    void settings(int mode) {
        std::ofstream("Config.cfg") << "mode=" << mode
                                    << "\nnomacces=Entree Nord\nnumeroacces=2\ncode=6082\n";
        std::ofstream("CHIP.INI") << "ADDRESS=12\n";
    }
    int reach(const std::string& target, int within = search::kDefaultTurns) {
        search::SearchSettings o;
        o.maxTurns = within;
        out.str("");
        err.str("");
        return search::reach(o, target, out, err);
    }
    std::ostringstream out, err;
};

} // namespace

TEST_P(Reach, TheJourneyRunsAndGetsThere) {
    const Case& c = GetParam();
    settings(c.mode);
    ASSERT_EQ(reach(c.target), 0) << err.str();
    EXPECT_FALSE(std::filesystem::exists("Log.txt")) << "the search wrote into the working folder";
    const test::Through run(out.str());
    EXPECT_TRUE(run.result.ok()) << run.messages.str() << out.str();
    EXPECT_EQ(run.result.failed, 0);
    if (c.turns > 0) {
        EXPECT_EQ(run.turns, c.turns) << out.str();
    }

    std::string error;
    const auto t = search::parseTarget(c.target, error);
    ASSERT_TRUE(t);
    switch (t->kind) {
    case search::Target::Kind::State: EXPECT_TRUE(run.states.count(t->state)); break;
    case search::Target::Kind::Row:
        EXPECT_TRUE(run.rows.count(std::pair{t->state, t->rank})) << out.str();
        break;
    case search::Target::Kind::Transition:
        EXPECT_TRUE(run.transitions.count(std::pair{t->state, t->to}));
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, Reach, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Reach, ARowTheModeNeverTakesIsUnreachableWithTheSituationsCounted) {
    settings(0);
    EXPECT_EQ(reach("2.2", 6), 1); // a third code needs 16 turns
    EXPECT_NE(out.str().find("2.2: unreachable in this mode (mode 0 (MODE_SUPERVISE)) within 6 turns; "),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("distinct situations explored"), std::string::npos);
}

// No search where the state table or the mode already answers.
TEST_F(Reach, WhatTheTableOrTheModeRulesOutIsAnsweredAtOnce) {
    settings(0);
    EXPECT_EQ(reach("13->5"), 2);
    EXPECT_NE(err.str().find("no transition ETAT_VEHICULE_SORT->ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT; from "
                             "ETAT_VEHICULE_SORT a turn may end in ETAT_VEHICULE_ABSENT, ETAT_ALARME\n"),
              std::string::npos)
        << err.str();
    const struct {
        int mode;
        const char* target;
        const char* reason;
    } cases[] = {
        {0, "2.5", "compares with the local code: the standalone mode only"},
        {0, "ETAT_MODE_TEST", "no row of the state table leads to it"},
        {4, "ETAT_APPEL_GARDIEN", "the attendant's authorisation comes through the supervision link"},
        {4, "0->11", "ETAT_ALARME: the alarm comes through the supervision link"},
    };
    for (const auto& c : cases) {
        settings(c.mode);
        EXPECT_EQ(reach(c.target), 1) << c.target;
        EXPECT_NE(out.str().find("however long: " + std::string(c.reason)), std::string::npos) << out.str();
        EXPECT_EQ(out.str().find("situations explored"), std::string::npos) << c.target;
    }
}

TEST_F(Reach, ABrokenModeIsSearchedOutOfServiceAndSaysSo) {
    std::ofstream("Config.cfg") << "mode=9\n";
    ASSERT_EQ(reach("ETAT_ALARME"), 0);
    EXPECT_NE(err.str().find("no mode from 0 to 4"), std::string::npos) << err.str();
    EXPECT_NE(out.str().find("mode 1 (MODE_HORS_SERVICE)"), std::string::npos);
}

TEST_F(Reach, UnknownTargetsAreRefusedWithTheValidForms) {
    settings(0);
    for (const char* bad : {"2.9", "18", "ETAT_NULLE_PART", "0->", "1.x"}) {
        EXPECT_EQ(reach(bad), 2) << bad;
        EXPECT_NE(err.str().find("unknown target"), std::string::npos) << bad;
        EXPECT_NE(err.str().find("FROM->TO"), std::string::npos) << bad;
    }
}

TEST_F(Reach, TheStartStateIsReachedWithoutATurn) {
    settings(0);
    ASSERT_EQ(reach("ETAT_VEHICULE_ABSENT"), 0);
    EXPECT_NE(out.str().find(": 0 turns, 0 actions."), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find("\nturn"), std::string::npos);
}

// The graph learnt does not depend on the order the steps were tried in: taking the closest untried step
// at any level finds the same situations as completing each level first.
TEST_F(Reach, TheSituationsFoundDoNotDependOnTheOrderOfTheSearch) {
    for (int mode : {4, 0}) {
        settings(mode);
        int counts[2] = {};
        bool exhausted[2] = {};
        for (int slack : {0, 1}) {
            search::Replay replay(".");
            search::Explorer ex(replay, {}, false);
            const auto r = ex.run(mode == 4 ? search::kDefaultTurns : 9, slack == 0 ? 1 : 40);
            counts[slack] = r.situations;
            exhausted[slack] = r.exhausted;
        }
        EXPECT_EQ(counts[0], counts[1]) << "mode " << mode;
        EXPECT_EQ(exhausted[0], mode == 4) << "mode " << mode; // the standalone mode counts no cars
        EXPECT_EQ(exhausted[1], exhausted[0]);
    }
}

// The walk both the explorer and --generate use: from start-up, every situation learnt is reached along
// known steps in as few turns as the search counted, and none beyond the radius.
TEST_F(Reach, TheNearestRouteIsAShortestOneAlongKnownSteps) {
    settings(0);
    search::Replay replay(".");
    search::Explorer ex(replay, {}, false);
    ex.run(6, 6);
    ASSERT_GT(ex.situations(), 10);
    for (int node = 0; node < ex.situations(); ++node) {
        const auto route = ex.nearest(0, [&](int n, int) { return n == node; });
        ASSERT_TRUE(route) << "situation " << node;
        EXPECT_EQ(static_cast<int>(route->steps.size()), ex.turnsTo(node)) << "situation " << node;
        int at = 0;
        for (search::Action a : route->steps)
            at = ex.successor(at, a);
        EXPECT_EQ(at, node);
        EXPECT_EQ(ex.nearest(
                        0, [&](int n, int) { return n == node; }, 2)
                      .has_value(),
                  ex.turnsTo(node) <= 2);
    }
}
