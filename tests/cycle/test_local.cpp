// The standalone terminal: its own code, no supervision link at all.
#include "tests/support/Lane.h"

using namespace borne;
using borne::test::Lane;
using Journal = std::vector<std::string>;

TEST_F(Lane, StandaloneAcceptsItsLocalCodeWithoutEventOrTryReset) {
    start(MODE_LOCAL, "code=4321\n");
    upstream();
    turn(2);
    EXPECT_EQ(line1(), "-      Bonjour!      L");
    typeCode("6082");
    turn();
    EXPECT_EQ(state(), ETAT_ATTENTE_AUTORISATION); // the supervisor's code means nothing here
    EXPECT_EQ(terminal->nbEssaisCourant(), 2);
    typeCode("4321");
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT);
    EXPECT_EQ(terminal->nbEssaisCourant(), 2); // left alone on acceptance
    EXPECT_EQ(panel.Evenement.Text(), "VEHICULE_SUR_BOUCLE_AMONT");
    middle();
    turn(2);
    downstream();
    turn();
    emptyLane();
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_ENTRE);
    turn(2);
    EXPECT_EQ(state(), ETAT_VEHICULE_ABSENT);
    // Nothing of the supervisor's side ever changes.
    EXPECT_EQ(panel.PlaceRestantes.Text(), "");
    EXPECT_EQ(panel.Label4.Caption(), "Label4");
    EXPECT_EQ(panel.Shape4.BrushColor(), clLime);
    EXPECT_FALSE(panel.GroupBox14.Visible());
    EXPECT_FALSE(panel.Image6.Visible()); // hidden by the boom's movements, never shown again
}

TEST_F(Lane, StandaloneRefusesTheCardUnlessItsCodeIsTheLocalOne) {
    start(MODE_LOCAL, "code=1234\n");
    upstream();
    turn();
    card(true);
    turn(2);
    EXPECT_EQ(state(), ETAT_VERIFIER_CARTE);
    EXPECT_EQ(line1(), "-  Acces refuse !    -");
    EXPECT_EQ(line2(), "-  retirer carte     -");
    card(false);
    turn();
    EXPECT_EQ(state(), ETAT_ATTENTE_AUTORISATION);
    turn();
    EXPECT_EQ(line1(), "-  code non valide   -");
}

TEST_F(Lane, StandaloneWithTheCardsCodeAcceptsTheCard) {
    start(MODE_LOCAL, "code=6082\n");
    upstream();
    turn();
    card(true);
    turn(2);
    EXPECT_EQ(line1(), "-  acces autorise    -");
    EXPECT_EQ(panel.Evenement.Text(), "AUTORISATION_OK");
    card(false);
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT);
}

TEST_F(Lane, StandaloneIgnoresEverySupervisorControl) {
    start(MODE_LOCAL, "code=6082\n");
    alarm(true);
    callAttendant();
    panel.CheckBox7.setChecked(true, Auteur::Utilisateur);
    panel.CheckBox9.setChecked(true, Auteur::Utilisateur);
    upstream();
    turn();
    authorise();
    turn(2);
    EXPECT_EQ(state(), ETAT_ATTENTE_AUTORISATION);
    EXPECT_TRUE(panel.CheckBox3.Checked()); // nobody reads the grant
    EXPECT_EQ(panel.Label3.Caption(), "Label3");
    EXPECT_EQ(panel.Edit1.Color(), clMoneyGreen);
    EXPECT_TRUE(panel.Image6.Visible()); // nothing hid the car pictures yet
    EXPECT_EQ(journalEntries(), (Journal{"ETAT_ATTENTE_AUTORISATION VEHICULE_SUR_BOUCLE_AMONT"}));
}

TEST_F(Lane, StandaloneWithoutALocalCodeAcceptsNothing) {
    start(MODE_LOCAL);
    upstream();
    turn();
    typeCode("6082");
    turn();
    EXPECT_EQ(state(), ETAT_ATTENTE_AUTORISATION);
    card(true);
    turn(2);
    EXPECT_EQ(line1(), "-  Acces refuse !    -");
}
