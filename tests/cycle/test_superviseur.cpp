// The supervisor's inputs: alarm, light, message, attendant call; and the out-of-service modes.
#include "support/Voie.h"

using namespace borne;
using borne::test::Voie;
using Journal = std::vector<std::string>;

TEST_F(Voie, AnAlarmHoldsTheBoomUpUntilItEndsAndTheLaneClears) {
    demarrer(MODE_SUPERVISE);
    amont();
    tour();
    autoriser();
    tour(3);
    milieu();
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_AU_MILIEU_ENTRANT);
    alarme(true);
    tour();
    EXPECT_EQ(etat(), ETAT_ALARME);
    EXPECT_EQ(p.Evenement.Text(), "ALARME_ACTIVE");
    alarme(false);
    tour(2);
    EXPECT_EQ(etat(), ETAT_ALARME); // a car on both loops keeps the boom up
    EXPECT_TRUE(flecheHaute());
    aval();
    tour();
    EXPECT_EQ(etat(), ETAT_ALARME);
    vide();
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_ABSENT);
    EXPECT_TRUE(flecheBasse());
    tour();
    EXPECT_EQ(p.PlaceRestantes.Text(), "2"); // the passage under way was not reported
}

TEST_F(Voie, AnAlarmEndingWithACarOnTheUpstreamLoopGoesBackToWaiting) {
    demarrer(MODE_SUPERVISE);
    alarme(true);
    tour();
    EXPECT_TRUE(flecheHaute());
    amont();
    tour();
    EXPECT_EQ(etat(), ETAT_ALARME);
    alarme(false);
    tour();
    EXPECT_EQ(etat(), ETAT_ATTENTE_AUTORISATION);
    EXPECT_TRUE(flecheBasse());
}

struct HorsService {
    const char* nom;
    int mode;
    int etat;
};

class HorsServiceTest : public Voie, public ::testing::WithParamInterface<HorsService> {};

TEST_P(HorsServiceTest, OnlyAnAlarmLeavesTheStartStateAndThenNoGreetingIsShown) {
    demarrer(GetParam().mode);
    const std::string l1 = ligne1(), l2 = ligne2();
    amont();
    touche(1);
    carte(true);
    tour(3);
    EXPECT_EQ(etat(), GetParam().etat);
    EXPECT_FALSE(p.CheckBox12.Checked()); // keys are read and ignored
    EXPECT_EQ(p.EtatCourant.Text(), "");  // these states have no name in the journal
    EXPECT_EQ(ligne1(), l1);
    carte(false);
    vide();
    alarme(true);
    tour();
    EXPECT_EQ(etat(), ETAT_ALARME);
    EXPECT_TRUE(flecheHaute());
    alarme(false);
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_ABSENT);
    EXPECT_TRUE(flecheBasse());
    amont();
    tour(3);
    EXPECT_EQ(etat(), ETAT_ATTENTE_AUTORISATION);
    EXPECT_EQ(ligne1(), l1);
    EXPECT_EQ(ligne2(), l2);
    // The first line needs a state name; the out-of-service turns had none.
    EXPECT_EQ(journal(), (Journal{"ETAT_ALARME ALARME_ACTIVE", "ETAT_VEHICULE_ABSENT VEHICULE_ABSENT",
                                  "ETAT_ATTENTE_AUTORISATION VEHICULE_SUR_BOUCLE_AMONT"}));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, HorsServiceTest,
    ::testing::Values(HorsService{"out_of_service", MODE_HORS_SERVICE, ETAT_HORS_SERVICE},
                      HorsService{"raised", MODE_HORS_SERVICE_OUVERT, ETAT_HORS_SERVICE_OUVERT},
                      HorsService{"test", MODE_TEST, ETAT_MODE_TEST}),
    [](const auto& info) { return std::string(info.param.nom); });

TEST_F(Voie, TheLightRequestLightsTheDisplayWhileItLasts) {
    demarrer(MODE_HORS_SERVICE);
    p.CheckBox7.setChecked(true, Auteur::Utilisateur);
    tour();
    EXPECT_EQ(p.Edit1.Color(), clLime);
    EXPECT_EQ(p.Edit2.Color(), clLime);
    EXPECT_EQ(p.Evenement.Text(), "LUMIERE_ACTIVE");
    p.CheckBox7.setChecked(false, Auteur::Utilisateur);
    tour();
    EXPECT_EQ(p.Edit1.Color(), clMoneyGreen);
}

TEST_F(Voie, TheMessageIsRecordedInEveryTurnButNeverShown) {
    demarrer(MODE_SUPERVISE);
    tour();
    p.MessageGardien.setText("Bonjour a tous, barriere en maintenance", Auteur::Utilisateur);
    p.CheckBox9.setChecked(true, Auteur::Utilisateur);
    for (int i = 0; i < 3; ++i) {
        tour();
        EXPECT_EQ(p.Evenement.Text(), "MESSAGE_SUPERVISEUR");
        EXPECT_EQ(ligne1(), "-      Bonjour!      -");
    }
    // The light request comes after the message and replaces it as the turn's event.
    p.CheckBox7.setChecked(true, Auteur::Utilisateur);
    tour();
    EXPECT_EQ(p.Evenement.Text(), "LUMIERE_ACTIVE");
    EXPECT_EQ(journal(), (Journal{"ETAT_VEHICULE_ABSENT VEHICULE_ABSENT"}));
}

TEST_F(Voie, TheAttendantCallShowsUntilTheNextGrant) {
    demarrer(MODE_HORS_SERVICE);
    appel();
    tour();
    EXPECT_FALSE(p.CheckBox6.Checked());
    EXPECT_EQ(p.Label3.Caption(), "Gardien appel\xE9");
    autoriser();
    tour();
    EXPECT_EQ(p.Label3.Caption(), "");
    EXPECT_FALSE(p.CheckBox3.Checked());
}

TEST_F(Voie, AnEmptyLaneWithAFullCarParkKeepsTheTries) {
    demarrer(MODE_SUPERVISE);
    entrerParGardien();
    entrerParGardien(true); // this car fills the car park after a refused code
    EXPECT_EQ(ligne1(), "  --- COMPLET !!!---  ");
    EXPECT_EQ(ligne2(), "-     **********     -");
    tour(2);
    EXPECT_EQ(g->nbEssaisCourant(), 2);
    EXPECT_TRUE(g->codeRefuseCourant());
}
