// The role table against the panel and against what the terminal really writes: a control added,
// renamed or given to the terminal shows up here before a tooltip or a listing tells people wrong.
#include "panel/Roles.h"
#include "tests/support/Lane.h"
#include "tests/support/WriteLog.h"

#include <set>
#include <string>

using namespace borne;
using borne::test::Lane;

TEST(Roles, OneEntryPerControlInTheWindowsStoredOrder) {
    const auto roles = rolesControles();
    const auto& controles = panneau().controles();
    ASSERT_EQ(roles.size(), controles.size());
    for (std::size_t i = 0; i < roles.size(); ++i) {
        EXPECT_EQ(controles[i]->nom(), roles[i].nom) << "entry " << i;
        EXPECT_EQ(roleDe(roles[i].nom), &roles[i]);
        EXPECT_FALSE(std::string(roles[i].role).empty()) << roles[i].nom;
    }
    EXPECT_EQ(roleDe("CheckBox11"), nullptr) << "the numbering skips it";
    EXPECT_STREQ(roleDe("CheckBox18")->role, "key 6");
    // A key's role names the digit the keypad reads from it, which the window's digit keys tick too.
    for (int digit = 0; digit <= 9; ++digit)
        EXPECT_EQ(roleDe(panneau().touche(digit)->nom())->role, "key " + std::to_string(digit));
}

// Journeys that make the terminal write every control it ever writes: entries by code and by the
// attendant until the car park is full, a car leaving, an attendant call, a code refused three times.
TEST_F(Lane, TheControlsTheTerminalWritesAreThoseTheTableGivesIt) {
    test::WriteLog ecrits;
    start(MODE_SUPERVISE);
    entryByCode("6082");
    upstream();
    turn();
    callAttendant();
    turn(2);
    entryByAttendant();
    downstream();
    turn(2);
    middle();
    turn();
    upstream();
    turn();
    emptyLane();
    turn(3);
    upstream();
    turn(2);
    for (const char* faux : {"1345", "7913", "4579"}) { // with 6082 above, every key once at least
        typeCode(faux);
        turn(2);
    }
    turn(3);

    std::set<std::string> ecritsParLeTerminal;
    for (const std::string& ligne : ecrits.lines)
        ecritsParLeTerminal.insert(ligne.substr(0, ligne.find('.')));
    for (const RoleControle& r : rolesControles()) {
        const bool parLeTerminal = r.ecritPar == EcritPar::Terminal || r.ecritPar == EcritPar::LesDeux;
        EXPECT_EQ(ecritsParLeTerminal.count(r.nom) == 1, parLeTerminal)
            << r.nom << " is written by " << nomEcritPar(r.ecritPar) << " in the table";
    }
}
