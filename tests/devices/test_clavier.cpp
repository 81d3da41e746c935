#include "control/Codes.h"
#include "control/tSystemeBarriere.h"
#include "tests/support/Sandbox.h"
#include "tests/support/WriteLog.h"

using namespace borne;
using borne::test::Sandbox;

namespace {

struct Touche {
    const char* controle;
    int resultat;
};

// Scan order: 1 to 9, then 0, then the attendant call; not the order of the names.
const Touche kOrdre[] = {
    {"CheckBox12", 1},
    {"CheckBox13", 2},
    {"CheckBox14", 3},
    {"CheckBox15", 4},
    {"CheckBox17", 5},
    {"CheckBox18", 6},
    {"CheckBox16", 7},
    {"CheckBox19", 8},
    {"CheckBox20", 9},
    {"CheckBox21", 0},
    {"CheckBox6", TOUCHE_APPEL_GARDIEN},
};

class Clavier : public Sandbox {
protected:
    void cocher(const char* nom) {
        panel.trouver(nom)->ecrire(Propriete::Checked, true, Auteur::Utilisateur);
    }
    bool coche(const char* nom) { return std::get<bool>(panel.trouver(nom)->lire(Propriete::Checked)); }
    tClavier clavier;
};

} // namespace

TEST_F(Clavier, EachKeyAloneGivesItsValueAndSpringsBack) {
    for (const auto& t : kOrdre) {
        SCOPED_TRACE(t.controle);
        cocher(t.controle);
        EXPECT_EQ(clavier.LireTouche(), t.resultat);
        EXPECT_FALSE(coche(t.controle));
        EXPECT_EQ(clavier.LireTouche(), TOUCHE_AUCUNE);
    }
}

TEST_F(Clavier, AllKeysTogetherComeOutOneAReadingInScanOrder) {
    for (const auto& t : kOrdre)
        cocher(t.controle);
    for (const auto& t : kOrdre) {
        EXPECT_EQ(clavier.LireTouche(), t.resultat);
        EXPECT_FALSE(coche(t.controle));
    }
    EXPECT_EQ(clavier.LireTouche(), TOUCHE_AUCUNE);
}

TEST_F(Clavier, SevenAndFiveTogetherGiveFiveFirst) {
    cocher("CheckBox16"); // "7"
    cocher("CheckBox17"); // "5"
    EXPECT_EQ(clavier.LireTouche(), 5);
    EXPECT_TRUE(coche("CheckBox16"));
    EXPECT_EQ(clavier.LireTouche(), 7);
}

TEST_F(Clavier, NothingPressedChangesNothing) {
    test::WriteLog ecritures;
    EXPECT_EQ(clavier.LireTouche(), TOUCHE_AUCUNE);
    EXPECT_TRUE(ecritures.lines.empty());
}

TEST_F(Clavier, TheDevicesHandOnTheKeypadsResult) {
    tSystemeBarriere systeme;
    cocher("CheckBox21");
    cocher("CheckBox6");
    EXPECT_EQ(systeme.LireClavier(), 0);
    EXPECT_EQ(systeme.LireClavier(), TOUCHE_APPEL_GARDIEN);
    EXPECT_EQ(systeme.LireClavier(), TOUCHE_AUCUNE);
}
