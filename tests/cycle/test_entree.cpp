// Cars entering and leaving the supervised lane.
#include "support/Voie.h"

using namespace borne;
using borne::test::Voie;
using Journal = std::vector<std::string>;

namespace {
class Entree : public Voie {
protected:
    void SetUp() override { demarrer(MODE_SUPERVISE); }
};
} // namespace

TEST_F(Entree, ByKeypadCodeFromArrivalToTheGreetingAgain) {
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_ABSENT);
    amont();
    tour();
    EXPECT_EQ(etat(), ETAT_ATTENTE_AUTORISATION);
    EXPECT_EQ(ligne2(), "-     **********     -"); // state 1 shows its display from the next turn
    tour();
    EXPECT_EQ(ligne1(), "-      Bonjour!      -");
    EXPECT_EQ(ligne2(), "code : "); // the second line is shown in lower case
    taper("608");
    EXPECT_EQ(ligne2(), "code : ***");
    taper("2");
    EXPECT_EQ(etat(), ETAT_VERIFIER_CODECLAVIER);
    EXPECT_EQ(ligne2(), "code : "); // the fourth digit empties the mask in the same turn
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT);
    EXPECT_EQ(ligne1(), "-  acces autorise    -");
    EXPECT_EQ(ligne2(), "-  entrez...         -");
    EXPECT_EQ(g->nbEssaisCourant(), 0);
    EXPECT_TRUE(flecheBasse()); // the boom rises in the next turn, as state 5's first action
    const auto avant = horloge.maintenant();
    tour();
    EXPECT_EQ(horloge.maintenant() - avant, 2500);
    EXPECT_TRUE(flecheHaute());
    EXPECT_TRUE(p.Image3.Visible());
    EXPECT_FALSE(p.Image2.Visible());
    milieu();
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_AU_MILIEU_ENTRANT);
    aval();
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT);
    vide();
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_ENTRE);
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_ABSENT);
    EXPECT_EQ(p.PlaceRestantes.Text(), "2"); // the occupancy is read before the entry is reported
    EXPECT_TRUE(p.Image6.Visible());         // the car seen from the rear, until the boom comes down
    tour();
    EXPECT_EQ(p.PlaceRestantes.Text(), "1");
    EXPECT_TRUE(flecheBasse());
    EXPECT_FALSE(p.Image6.Visible());
    EXPECT_EQ(ligne1(), "-      Bonjour!      -");
    EXPECT_EQ(journal(), (Journal{
                             "ETAT_VEHICULE_ABSENT VEHICULE_ABSENT",
                             "ETAT_ATTENTE_AUTORISATION VEHICULE_SUR_BOUCLE_AMONT",
                             "ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT AUTORISATION_OK",
                             "ETAT_VEHICULE_AU_MILIEU_ENTRANT VEHICULE_AU_MILIEU",
                             "ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT VEHICULE_SUR_BOUCLE_AVAL",
                             "ETAT_VEHICULE_ENTRE VEHICULE_ABSENT",
                         }));
}

TEST_F(Entree, ALeavingCarIsCountedOut) {
    aval();
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT);
    tour();
    EXPECT_TRUE(flecheHaute());
    milieu();
    tour();
    amont();
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_SUR_BOUCLE_AMONT_SORTANT);
    vide();
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_SORT);
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_ABSENT);
    EXPECT_TRUE(p.Image7.Visible());
    tour();
    EXPECT_EQ(p.PlaceRestantes.Text(), "3"); // nobody came in first: the count goes below zero
}

TEST_F(Entree, AGrantGivenBeforeTheCarWaitsIsLost) {
    autoriser();
    amont();
    tour(2);
    EXPECT_EQ(etat(), ETAT_ATTENTE_AUTORISATION);
    EXPECT_FALSE(p.CheckBox3.Checked());
}

TEST_F(Entree, ACarThatBacksUpFollowsTheArrowsBack) {
    amont();
    tour();
    autoriser();
    tour();
    EXPECT_EQ(etat(), ETAT_APPEL_GARDIEN);
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT);
    milieu();
    tour(2);
    aval();
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT);
    milieu();
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_AU_MILIEU_ENTRANT);
    amont();
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT);
    vide();
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_ABSENT); // left the lane: no passage reported
    tour();
    EXPECT_EQ(p.PlaceRestantes.Text(), "2");
    EXPECT_TRUE(flecheBasse());
}

TEST_F(Entree, AFullCarParkRefusesArrivalsButLetsCarsOut) {
    entrerParGardien();
    EXPECT_EQ(p.PlaceRestantes.Text(), "1");
    EXPECT_EQ(ligne1(), "-      Bonjour!      -");
    entrerParGardien();
    EXPECT_EQ(p.Label4.Caption(), "COMPLET");
    EXPECT_EQ(p.Shape4.BrushColor(), clRed);
    EXPECT_EQ(p.PlaceRestantes.Text(), "0");
    EXPECT_EQ(ligne1(), "  --- COMPLET !!!---  ");
    amont();
    tour(3);
    EXPECT_EQ(etat(), ETAT_VEHICULE_ABSENT);
    EXPECT_EQ(ligne1(), "  --- COMPLET !!!---  ");
    vide();
    aval();
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT);
}

TEST_F(Entree, APartlyTypedCodeIsContinuedByTheNextCar) {
    amont();
    tour();
    taper("60");
    vide();
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_ABSENT);
    EXPECT_EQ(g->codeSaisiCourant(), "60");
    amont();
    tour(2);
    EXPECT_EQ(ligne2(), "code : **");
    taper("82");
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT);
}

TEST_F(Entree, TheCodeWaitsWhileTheCarStandsOnBothLoops) {
    amont();
    tour();
    taper("6082");
    milieu();
    tour(3);
    EXPECT_EQ(etat(), ETAT_VERIFIER_CODECLAVIER);
    amont();
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT);
}

TEST_F(Entree, AKeyPressedInAnotherStateIsConsumedAndLost) {
    touche(6);
    tour();
    EXPECT_FALSE(p.CheckBox18.Checked());
    amont();
    tour(2);
    EXPECT_EQ(ligne2(), "code : ");
    EXPECT_EQ(g->codeSaisiCourant(), "");
}

TEST_F(Entree, ByCardLeftInTheReaderThenWithdrawn) {
    amont();
    tour();
    carte(true);
    tour();
    EXPECT_EQ(etat(), ETAT_VERIFIER_CARTE);
    for (int i = 0; i < 3; ++i) {
        tour();
        EXPECT_EQ(etat(), ETAT_VERIFIER_CARTE);
        EXPECT_EQ(ligne1(), "-  acces autorise    -");
        EXPECT_EQ(ligne2(), "-  retirer carte     -");
        EXPECT_EQ(p.Evenement.Text(), "AUTORISATION_OK"); // in every turn while the card stays in
        EXPECT_TRUE(flecheBasse());
    }
    carte(false);
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT);
    EXPECT_EQ(ligne2(), "-  entrez...         -");
}

TEST_F(Entree, ACardForgottenInTheReaderIsReportedOnceTheLaneIsEmpty) {
    amont();
    tour();
    carte(true);
    tour(2);
    vide();
    tour();
    EXPECT_EQ(etat(), ETAT_DEFAUT);
    EXPECT_EQ(p.Default.Text(), "");
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_ABSENT);
    EXPECT_EQ(p.Default.Text(), "carte oubli\xE9"
                                "e");
}

TEST_F(Entree, FourthDigitCardAndGrantInOneTurnGoToTheAttendantState) {
    amont();
    tour();
    taper("608");
    touche(2);
    carte(true);
    autoriser();
    tour();
    EXPECT_EQ(etat(), ETAT_APPEL_GARDIEN);
    EXPECT_EQ(g->codeSaisiCourant(), "6082");
    EXPECT_EQ(g->nbChiffresCourant(), 0);
}

TEST_F(Entree, AGrantWhileTheCarLeavesTheUpstreamLoopEndsBackInTheEmptyLane) {
    amont();
    tour();
    vide();
    autoriser();
    tour();
    EXPECT_EQ(etat(), ETAT_APPEL_GARDIEN);
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_ABSENT);
}
