// Cars entering and leaving the supervised lane.
#include "tests/support/Lane.h"

using namespace borne;
using borne::test::Lane;
using Journal = std::vector<std::string>;

namespace {
class Entree : public Lane {
protected:
    void SetUp() override { start(MODE_SUPERVISE); }
};
} // namespace

TEST_F(Entree, ByKeypadCodeFromArrivalToTheGreetingAgain) {
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_ABSENT);
    upstream();
    turn();
    EXPECT_EQ(state(), ETAT_ATTENTE_AUTORISATION);
    EXPECT_EQ(line2(), "-     **********     -"); // state 1 shows its display from the next turn
    turn();
    EXPECT_EQ(line1(), "-      Bonjour!      -");
    EXPECT_EQ(line2(), "code : "); // the second line is shown in lower case
    typeCode("608");
    EXPECT_EQ(line2(), "code : ***");
    typeCode("2");
    EXPECT_EQ(state(), ETAT_VERIFIER_CODECLAVIER);
    EXPECT_EQ(line2(), "code : "); // the fourth digit empties the mask in the same turn
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT);
    EXPECT_EQ(line1(), "-  acces autorise    -");
    EXPECT_EQ(line2(), "-  entrez...         -");
    EXPECT_EQ(terminal->nbEssaisCourant(), 0);
    EXPECT_TRUE(boomDown()); // the boom rises in the next turn, as state 5's first action
    const auto avant = clock.maintenant();
    turn();
    EXPECT_EQ(clock.maintenant() - avant, 2500);
    EXPECT_TRUE(boomUp());
    EXPECT_TRUE(panel.Image3.Visible());
    EXPECT_FALSE(panel.Image2.Visible());
    middle();
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_AU_MILIEU_ENTRANT);
    downstream();
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT);
    emptyLane();
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_ENTRE);
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_ABSENT);
    EXPECT_EQ(panel.PlaceRestantes.Text(), "2"); // the occupancy is read before the entry is reported
    EXPECT_TRUE(panel.Image6.Visible());         // the car seen from the rear, until the boom comes down
    turn();
    EXPECT_EQ(panel.PlaceRestantes.Text(), "1");
    EXPECT_TRUE(boomDown());
    EXPECT_FALSE(panel.Image6.Visible());
    EXPECT_EQ(line1(), "-      Bonjour!      -");
    EXPECT_EQ(journalEntries(), (Journal{
                                    "ETAT_VEHICULE_ABSENT VEHICULE_ABSENT",
                                    "ETAT_ATTENTE_AUTORISATION VEHICULE_SUR_BOUCLE_AMONT",
                                    "ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT AUTORISATION_OK",
                                    "ETAT_VEHICULE_AU_MILIEU_ENTRANT VEHICULE_AU_MILIEU",
                                    "ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT VEHICULE_SUR_BOUCLE_AVAL",
                                    "ETAT_VEHICULE_ENTRE VEHICULE_ABSENT",
                                }));
}

TEST_F(Entree, ALeavingCarIsCountedOut) {
    downstream();
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT);
    turn();
    EXPECT_TRUE(boomUp());
    middle();
    turn();
    upstream();
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_SUR_BOUCLE_AMONT_SORTANT);
    emptyLane();
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_SORT);
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_ABSENT);
    EXPECT_TRUE(panel.Image7.Visible());
    turn();
    EXPECT_EQ(panel.PlaceRestantes.Text(), "3"); // nobody came in first: the count goes below zero
}

TEST_F(Entree, AGrantGivenBeforeTheCarWaitsIsLost) {
    authorise();
    upstream();
    turn(2);
    EXPECT_EQ(state(), ETAT_ATTENTE_AUTORISATION);
    EXPECT_FALSE(panel.CheckBox3.Checked());
}

TEST_F(Entree, ACarThatBacksUpFollowsTheArrowsBack) {
    upstream();
    turn();
    authorise();
    turn();
    EXPECT_EQ(state(), ETAT_APPEL_GARDIEN);
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT);
    middle();
    turn(2);
    downstream();
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT);
    middle();
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_AU_MILIEU_ENTRANT);
    upstream();
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT);
    emptyLane();
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_ABSENT); // left the lane: no passage reported
    turn();
    EXPECT_EQ(panel.PlaceRestantes.Text(), "2");
    EXPECT_TRUE(boomDown());
}

TEST_F(Entree, AFullCarParkRefusesArrivalsButLetsCarsOut) {
    entryByAttendant();
    EXPECT_EQ(panel.PlaceRestantes.Text(), "1");
    EXPECT_EQ(line1(), "-      Bonjour!      -");
    entryByAttendant();
    EXPECT_EQ(panel.Label4.Caption(), "COMPLET");
    EXPECT_EQ(panel.Shape4.BrushColor(), clRed);
    EXPECT_EQ(panel.PlaceRestantes.Text(), "0");
    EXPECT_EQ(line1(), "  --- COMPLET !!!---  ");
    upstream();
    turn(3);
    EXPECT_EQ(state(), ETAT_VEHICULE_ABSENT);
    EXPECT_EQ(line1(), "  --- COMPLET !!!---  ");
    emptyLane();
    downstream();
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT);
}

TEST_F(Entree, APartlyTypedCodeIsContinuedByTheNextCar) {
    upstream();
    turn();
    typeCode("60");
    emptyLane();
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_ABSENT);
    EXPECT_EQ(terminal->codeSaisiCourant(), "60");
    upstream();
    turn(2);
    EXPECT_EQ(line2(), "code : **");
    typeCode("82");
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT);
}

TEST_F(Entree, TheCodeWaitsWhileTheCarStandsOnBothLoops) {
    upstream();
    turn();
    typeCode("6082");
    middle();
    turn(3);
    EXPECT_EQ(state(), ETAT_VERIFIER_CODECLAVIER);
    upstream();
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT);
}

TEST_F(Entree, AKeyPressedInAnotherStateIsConsumedAndLost) {
    pressKey(6);
    turn();
    EXPECT_FALSE(panel.CheckBox18.Checked());
    upstream();
    turn(2);
    EXPECT_EQ(line2(), "code : ");
    EXPECT_EQ(terminal->codeSaisiCourant(), "");
}

TEST_F(Entree, ByCardLeftInTheReaderThenWithdrawn) {
    upstream();
    turn();
    card(true);
    turn();
    EXPECT_EQ(state(), ETAT_VERIFIER_CARTE);
    for (int i = 0; i < 3; ++i) {
        turn();
        EXPECT_EQ(state(), ETAT_VERIFIER_CARTE);
        EXPECT_EQ(line1(), "-  acces autorise    -");
        EXPECT_EQ(line2(), "-  retirer carte     -");
        EXPECT_EQ(panel.Evenement.Text(), "AUTORISATION_OK"); // in every turn while the card stays in
        EXPECT_TRUE(boomDown());
    }
    card(false);
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT);
    EXPECT_EQ(line2(), "-  entrez...         -");
}

TEST_F(Entree, ACardForgottenInTheReaderIsReportedOnceTheLaneIsEmpty) {
    upstream();
    turn();
    card(true);
    turn(2);
    emptyLane();
    turn();
    EXPECT_EQ(state(), ETAT_DEFAUT);
    EXPECT_EQ(panel.Default.Text(), "");
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_ABSENT);
    EXPECT_EQ(panel.Default.Text(), "carte oubli\xE9"
                                    "e");
}

TEST_F(Entree, FourthDigitCardAndGrantInOneTurnGoToTheAttendantState) {
    upstream();
    turn();
    typeCode("608");
    pressKey(2);
    card(true);
    authorise();
    turn();
    EXPECT_EQ(state(), ETAT_APPEL_GARDIEN);
    EXPECT_EQ(terminal->codeSaisiCourant(), "6082");
    EXPECT_EQ(terminal->nbChiffresCourant(), 0);
}

TEST_F(Entree, AGrantWhileTheCarLeavesTheUpstreamLoopEndsBackInTheEmptyLane) {
    upstream();
    turn();
    emptyLane();
    authorise();
    turn();
    EXPECT_EQ(state(), ETAT_APPEL_GARDIEN);
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_ABSENT);
}
