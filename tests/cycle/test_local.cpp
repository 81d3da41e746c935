// The standalone terminal: its own code, no supervision link at all.
#include "support/Voie.h"

using namespace borne;
using borne::test::Voie;
using Journal = std::vector<std::string>;

TEST_F(Voie, StandaloneAcceptsItsLocalCodeWithoutEventOrTryReset) {
    demarrer(MODE_LOCAL, "code=4321\n");
    amont();
    tour(2);
    EXPECT_EQ(ligne1(), "-      Bonjour!      L");
    taper("6082");
    tour();
    EXPECT_EQ(etat(), ETAT_ATTENTE_AUTORISATION); // the supervisor's code means nothing here
    EXPECT_EQ(g->nbEssaisCourant(), 2);
    taper("4321");
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT);
    EXPECT_EQ(g->nbEssaisCourant(), 2); // left alone on acceptance
    EXPECT_EQ(p.Evenement.Text(), "VEHICULE_SUR_BOUCLE_AMONT");
    milieu();
    tour(2);
    aval();
    tour();
    vide();
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_ENTRE);
    tour(2);
    EXPECT_EQ(etat(), ETAT_VEHICULE_ABSENT);
    // Nothing of the supervisor's side ever changes.
    EXPECT_EQ(p.PlaceRestantes.Text(), "");
    EXPECT_EQ(p.Label4.Caption(), "Label4");
    EXPECT_EQ(p.Shape4.BrushColor(), clLime);
    EXPECT_FALSE(p.GroupBox14.Visible());
    EXPECT_FALSE(p.Image6.Visible()); // hidden by the boom's movements, never shown again
}

TEST_F(Voie, StandaloneRefusesTheCardUnlessItsCodeIsTheLocalOne) {
    demarrer(MODE_LOCAL, "code=1234\n");
    amont();
    tour();
    carte(true);
    tour(2);
    EXPECT_EQ(etat(), ETAT_VERIFIER_CARTE);
    EXPECT_EQ(ligne1(), "-  Acces refuse !    -");
    EXPECT_EQ(ligne2(), "-  retirer carte     -");
    carte(false);
    tour();
    EXPECT_EQ(etat(), ETAT_ATTENTE_AUTORISATION);
    tour();
    EXPECT_EQ(ligne1(), "-  code non valide   -");
}

TEST_F(Voie, StandaloneWithTheCardsCodeAcceptsTheCard) {
    demarrer(MODE_LOCAL, "code=6082\n");
    amont();
    tour();
    carte(true);
    tour(2);
    EXPECT_EQ(ligne1(), "-  acces autorise    -");
    EXPECT_EQ(p.Evenement.Text(), "AUTORISATION_OK");
    carte(false);
    tour();
    EXPECT_EQ(etat(), ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT);
}

TEST_F(Voie, StandaloneIgnoresEverySupervisorControl) {
    demarrer(MODE_LOCAL, "code=6082\n");
    alarme(true);
    appel();
    p.CheckBox7.setChecked(true, Auteur::Utilisateur);
    p.CheckBox9.setChecked(true, Auteur::Utilisateur);
    amont();
    tour();
    autoriser();
    tour(2);
    EXPECT_EQ(etat(), ETAT_ATTENTE_AUTORISATION);
    EXPECT_TRUE(p.CheckBox3.Checked()); // nobody reads the grant
    EXPECT_EQ(p.Label3.Caption(), "Label3");
    EXPECT_EQ(p.Edit1.Color(), clMoneyGreen);
    EXPECT_TRUE(p.Image6.Visible()); // nothing hid the car pictures yet
    EXPECT_EQ(journal(), (Journal{"ETAT_ATTENTE_AUTORISATION VEHICULE_SUR_BOUCLE_AMONT"}));
}

TEST_F(Voie, StandaloneWithoutALocalCodeAcceptsNothing) {
    demarrer(MODE_LOCAL);
    amont();
    tour();
    taper("6082");
    tour();
    EXPECT_EQ(etat(), ETAT_ATTENTE_AUTORISATION);
    carte(true);
    tour(2);
    EXPECT_EQ(ligne1(), "-  Acces refuse !    -");
}
