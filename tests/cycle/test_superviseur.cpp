// The supervisor's inputs: alarm, light, message, attendant call; and the out-of-service modes.
#include "tests/support/Lane.h"

using namespace borne;
using borne::test::Lane;
using Journal = std::vector<std::string>;

TEST_F(Lane, AnAlarmHoldsTheBoomUpUntilItEndsAndTheLaneClears) {
    start(MODE_SUPERVISE);
    upstream();
    turn();
    authorise();
    turn(3);
    middle();
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_AU_MILIEU_ENTRANT);
    alarm(true);
    turn();
    EXPECT_EQ(state(), ETAT_ALARME);
    EXPECT_EQ(panel.Evenement.Text(), "ALARME_ACTIVE");
    alarm(false);
    turn(2);
    EXPECT_EQ(state(), ETAT_ALARME); // a car on both loops keeps the boom up
    EXPECT_TRUE(boomUp());
    downstream();
    turn();
    EXPECT_EQ(state(), ETAT_ALARME);
    emptyLane();
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_ABSENT);
    EXPECT_TRUE(boomDown());
    turn();
    EXPECT_EQ(panel.PlaceRestantes.Text(), "2"); // the passage under way was not reported
}

TEST_F(Lane, AnAlarmEndingWithACarOnTheUpstreamLoopGoesBackToWaiting) {
    start(MODE_SUPERVISE);
    alarm(true);
    turn();
    EXPECT_TRUE(boomUp());
    upstream();
    turn();
    EXPECT_EQ(state(), ETAT_ALARME);
    alarm(false);
    turn();
    EXPECT_EQ(state(), ETAT_ATTENTE_AUTORISATION);
    EXPECT_TRUE(boomDown());
}

struct HorsService {
    const char* nom;
    int mode;
    int etat;
};

class HorsServiceTest : public Lane, public ::testing::WithParamInterface<HorsService> {};

TEST_P(HorsServiceTest, OnlyAnAlarmLeavesTheStartStateAndThenNoGreetingIsShown) {
    start(GetParam().mode);
    const std::string l1 = line1(), l2 = line2();
    upstream();
    pressKey(1);
    card(true);
    turn(3);
    EXPECT_EQ(state(), GetParam().etat);
    EXPECT_FALSE(panel.CheckBox12.Checked()); // keys are read and ignored
    EXPECT_EQ(panel.EtatCourant.Text(), "");  // these states have no name in the journal
    EXPECT_EQ(line1(), l1);
    card(false);
    emptyLane();
    alarm(true);
    turn();
    EXPECT_EQ(state(), ETAT_ALARME);
    EXPECT_TRUE(boomUp());
    alarm(false);
    turn();
    EXPECT_EQ(state(), ETAT_VEHICULE_ABSENT);
    EXPECT_TRUE(boomDown());
    upstream();
    turn(3);
    EXPECT_EQ(state(), ETAT_ATTENTE_AUTORISATION);
    EXPECT_EQ(line1(), l1);
    EXPECT_EQ(line2(), l2);
    // The first line needs a state name; the out-of-service turns had none.
    EXPECT_EQ(journalEntries(), (Journal{"ETAT_ALARME ALARME_ACTIVE", "ETAT_VEHICULE_ABSENT VEHICULE_ABSENT",
                                         "ETAT_ATTENTE_AUTORISATION VEHICULE_SUR_BOUCLE_AMONT"}));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, HorsServiceTest,
    ::testing::Values(HorsService{"out_of_service", MODE_HORS_SERVICE, ETAT_HORS_SERVICE},
                      HorsService{"raised", MODE_HORS_SERVICE_OUVERT, ETAT_HORS_SERVICE_OUVERT},
                      HorsService{"test", MODE_TEST, ETAT_MODE_TEST}),
    [](const auto& info) { return std::string(info.param.nom); });

TEST_F(Lane, TheLightRequestLightsTheDisplayWhileItLasts) {
    start(MODE_HORS_SERVICE);
    panel.CheckBox7.setChecked(true, Auteur::Utilisateur);
    turn();
    EXPECT_EQ(panel.Edit1.Color(), clLime);
    EXPECT_EQ(panel.Edit2.Color(), clLime);
    EXPECT_EQ(panel.Evenement.Text(), "LUMIERE_ACTIVE");
    panel.CheckBox7.setChecked(false, Auteur::Utilisateur);
    turn();
    EXPECT_EQ(panel.Edit1.Color(), clMoneyGreen);
}

TEST_F(Lane, TheMessageIsRecordedInEveryTurnButNeverShown) {
    start(MODE_SUPERVISE);
    turn();
    panel.MessageGardien.setText("Bonjour a tous, barriere en maintenance", Auteur::Utilisateur);
    panel.CheckBox9.setChecked(true, Auteur::Utilisateur);
    for (int i = 0; i < 3; ++i) {
        turn();
        EXPECT_EQ(panel.Evenement.Text(), "MESSAGE_SUPERVISEUR");
        EXPECT_EQ(line1(), "-      Bonjour!      -");
    }
    // The light request comes after the message and replaces it as the turn's event.
    panel.CheckBox7.setChecked(true, Auteur::Utilisateur);
    turn();
    EXPECT_EQ(panel.Evenement.Text(), "LUMIERE_ACTIVE");
    EXPECT_EQ(journalEntries(), (Journal{"ETAT_VEHICULE_ABSENT VEHICULE_ABSENT"}));
}

TEST_F(Lane, TheAttendantCallShowsUntilTheNextGrant) {
    start(MODE_HORS_SERVICE);
    callAttendant();
    turn();
    EXPECT_FALSE(panel.CheckBox6.Checked());
    EXPECT_EQ(panel.Label3.Caption(), "Gardien appel\xE9");
    authorise();
    turn();
    EXPECT_EQ(panel.Label3.Caption(), "");
    EXPECT_FALSE(panel.CheckBox3.Checked());
}

TEST_F(Lane, AnEmptyLaneWithAFullCarParkKeepsTheTries) {
    start(MODE_SUPERVISE);
    entryByAttendant();
    entryByAttendant(true); // this car fills the car park after a refused code
    EXPECT_EQ(line1(), "  --- COMPLET !!!---  ");
    EXPECT_EQ(line2(), "-     **********     -");
    turn(2);
    EXPECT_EQ(terminal->nbEssaisCourant(), 2);
    EXPECT_TRUE(terminal->codeRefuseCourant());
}
