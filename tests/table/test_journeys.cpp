// Whole journeys through the lane with the turn observer installed, each turn's rows counted by hand
// from the table: "START: rows -> NEXT".
#include "tests/support/Lane.h"
#include "tests/table/TurnPaths.h"

using namespace borne;
using borne::test::Lane;
using borne::test::TurnPaths;
using Turns = std::vector<std::string>;

namespace {
class Journey : public Lane {
protected:
    TurnPaths paths;
    void begin(int mode, const std::string& extra = "") {
        start(mode, extra);
        terminal->observer(&paths);
    }
};
} // namespace

TEST_F(Journey, EntryByKeypadCode) {
    begin(MODE_SUPERVISE);
    turn();
    upstream();
    turn(2);
    typeCode("6082");
    turn();
    driveThrough();
    EXPECT_EQ(paths.turns, (Turns{
                               "0: 0.1 0.3 -> 0",
                               "0: 0.1 0.5 -> 1",
                               "1: 1.2 1.4 1.5 -> 1",
                               "1: 1.2 1.4 1.5 -> 1",
                               "1: 1.2 1.4 1.5 -> 1",
                               "1: 1.2 1.4 1.5 -> 1",
                               "1: 1.2 1.4 1.5 -> 2",
                               "2: 2.3 2.7 -> 5",
                               "5: 5.1 5.3 -> 7",
                               "7: 7.2 -> 9",
                               "9: 9.1 -> 12",
                               "12: 12.1 -> 0",
                               "0: 0.1 0.3 -> 0",
                           }));
}

// The standalone terminal is the one where a card can be refused: the card's code is not the local one.
TEST_F(Journey, RefusedCard) {
    begin(MODE_LOCAL, "code=1234\n");
    upstream();
    turn();
    card(true);
    turn(3);
    card(false);
    turn(2);
    emptyLane();
    turn(2);
    EXPECT_EQ(line1(), "-      Bonjour!      L");
    EXPECT_EQ(paths.turns, (Turns{
                               "0: 0.1 0.5 -> 1",
                               "1: 1.2 1.4 1.5 -> 3",
                               "3: 3.2 3.6 -> 3",
                               "3: 3.2 3.6 -> 3",
                               "3: 3.2 3.6 -> 1",
                               "1: 1.2 1.4 1.5 -> 1",
                               "1: 1.1 1.4 1.5 -> 0",
                               "0: 0.1 0.3 -> 0",
                           }));
}

TEST_F(Journey, ThirdWrongCode) {
    begin(MODE_SUPERVISE);
    upstream();
    turn();
    for (const char* code : {"1111", "2222", "3333"}) {
        typeCode(code);
        turn();
    }
    turn();
    emptyLane();
    turn(2);
    const std::string entry = "1: 1.2 1.4 1.5 -> 1";
    EXPECT_EQ(paths.turns, (Turns{
                               "0: 0.1 0.5 -> 1",
                               entry,
                               entry,
                               entry,
                               "1: 1.2 1.4 1.5 -> 2",
                               "2: 2.4 2.7 -> 1",
                               entry,
                               entry,
                               entry,
                               "1: 1.2 1.4 1.5 -> 2",
                               "2: 2.4 2.7 -> 1",
                               entry,
                               entry,
                               entry,
                               "1: 1.2 1.4 1.5 -> 2",
                               "2: 2.2 -> 14",
                               "14: 14.2 -> 14",
                               "14: 14.1 -> 0",
                               "0: 0.1 0.3 -> 0",
                           }));
}

TEST_F(Journey, AlarmOutOfService) {
    begin(MODE_HORS_SERVICE);
    turn();
    alarm(true);
    turn(2);
    alarm(false);
    upstream();
    turn(2);
    EXPECT_EQ(line1(), "     HORS SERVICE     "); // supervised from now on, without the greeting
    EXPECT_EQ(paths.turns, (Turns{
                               "15: -> 15",
                               "15: 11.1 11.4 -> 11",
                               "11: 11.1 11.4 -> 11",
                               "11: 11.1 11.3 -> 1",
                               "1: 1.2 1.4 1.5 -> 1",
                           }));
}
