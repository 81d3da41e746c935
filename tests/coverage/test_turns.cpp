// The rows and transitions the real controller reports, for a few journeys counted by hand against the
// state table, and a random soak in every mode that never takes a transition the table does not allow.
#include "tools/coverage/Coverage.h"
#include "tests/support/Lane.h"

#include <random>
#include <string>

using namespace borne;
using namespace borne::coverage;

namespace {

// The counts that are not zero, in the table's order: "0.1:3 0.3:2 ..." and "0->0:2 0->1:1 ...".
std::string rowsTaken(const Counts& c) {
    std::string r;
    for (std::size_t i = 0; i < ROW_COUNT; ++i)
        if (c.rows[i] != 0) r += (r.empty() ? "" : " ") + rowId(rows()[i]) + ':' + std::to_string(c.rows[i]);
    return r;
}

std::string transitionsTaken(const Counts& c) {
    std::string r;
    for (int s = 0; s < NB_ETATS; ++s)
        for (int t = 0; t < NB_ETATS; ++t)
            if (const auto n = c.transitions[static_cast<std::size_t>(s)][static_cast<std::size_t>(t)])
                r += (r.empty() ? "" : " ") + std::to_string(s) + "->" + std::to_string(t) + ':' +
                     std::to_string(n);
    return r;
}

class Turns : public borne::test::Lane {
protected:
    void begin(int mode, const std::string& extra = "") {
        start(mode, extra);
        coverage.setMode(terminal->modeCourant());
        terminal->observer(&coverage);
    }
    const Counts& counted() const { return coverage.counts(terminal->modeCourant()); }

    Coverage coverage;
};

} // namespace

TEST_F(Turns, AnEntryByCode) {
    begin(MODE_SUPERVISE);
    turn();
    upstream();
    turn();
    typeCode("6082");
    turn(); // verified and accepted
    middle();
    turn();
    downstream();
    turn();
    emptyLane();
    turn(3); // entered, reported, idle
    EXPECT_EQ(rowsTaken(counted()),
              "0.1:3 0.3:2 0.5:1 1.2:4 1.4:4 1.5:4 2.3:1 2.7:1 5.1:1 5.3:1 7.2:1 9.1:1 12.1:1");
    EXPECT_EQ(transitionsTaken(counted()),
              "0->0:2 0->1:1 1->1:3 1->2:1 2->5:1 5->7:1 7->9:1 9->12:1 12->0:1");
}

TEST_F(Turns, ARefusedCard) {
    begin(MODE_LOCAL, "code=1234\n");
    turn();
    upstream();
    turn();
    card(true);
    turn(2); // to the card check, then refused with the card still in
    card(false);
    turn(2); // refused again and back to state 1, then waiting there
    emptyLane();
    turn(2);
    EXPECT_EQ(rowsTaken(counted()), "0.1:3 0.3:2 0.5:1 1.1:1 1.2:2 1.4:3 1.5:3 3.2:2 3.6:2");
    EXPECT_EQ(transitionsTaken(counted()), "0->0:2 0->1:1 1->0:1 1->1:1 1->3:1 3->1:1 3->3:1");
}

TEST_F(Turns, TheThirdWrongCode) {
    begin(MODE_SUPERVISE);
    turn();
    upstream();
    turn();
    for (const char* code : {"1111", "2222", "6082"}) {
        typeCode(code);
        turn();
    }
    turn(); // the fault shown
    emptyLane();
    turn(2);
    EXPECT_EQ(rowsTaken(counted()), "0.1:3 0.3:2 0.5:1 1.2:12 1.4:12 1.5:12 2.2:1 2.4:2 2.7:2 14.1:1 14.2:1");
    EXPECT_EQ(transitionsTaken(counted()), "0->0:2 0->1:1 1->1:9 1->2:3 2->1:2 2->14:1 14->0:1 14->14:1");
}

TEST_F(Turns, AnAlarmOutOfService) {
    begin(MODE_HORS_SERVICE);
    turn();
    alarm(true);
    turn(2); // the turn that reads it acts by the alarm's rows
    alarm(false);
    turn(2);
    EXPECT_EQ(rowsTaken(counted()), "0.1:1 0.3:1 11.1:3 11.2:1 11.4:2");
    EXPECT_EQ(transitionsTaken(counted()), "0->0:1 11->0:1 11->11:1 15->11:1 15->15:1");
    EXPECT_EQ(counted().states[ETAT_HORS_SERVICE], 2u);
}

// Random hands on every input for many turns, in each mode: every turn ends in a state the table
// allows and reports only rows the table has.
TEST_F(Turns, RandomTurnsStayInsideTheTable) {
    std::mt19937 random(14);
    for (int mode = MODE_SUPERVISE; mode <= MODE_LOCAL; ++mode) {
        begin(mode, mode == MODE_LOCAL ? "code=6082\n" : "");
        for (int i = 0; i < 20000; ++i) {
            switch (random() % 12) {
            case 0: emptyLane(); break;
            case 1: upstream(); break;
            case 2: middle(); break;
            case 3: downstream(); break;
            case 4: card(random() % 2 == 0); break;
            case 5: authorise(); break;
            case 6: alarm(random() % 8 == 0); break;
            case 7: panel.CheckBox9.setChecked(random() % 2 == 0, Auteur::Utilisateur); break; // a message
            case 8: callAttendant(); break;
            default: pressKey(static_cast<int>(random() % 10)); break;
            }
            turn();
        }
        EXPECT_EQ(counted().transitionsOutsideTable(), 0) << "mode " << mode;
    }
    EXPECT_EQ(coverage.ignored(), 0u);
}
