#include "control/Codes.h"
#include "control/tSystemeBarriere.h"
#include "tests/support/Sandbox.h"
#include "tests/support/WriteLog.h"

using namespace borne;
using borne::test::Sandbox;
using borne::test::WriteLog;
using Lignes = std::vector<std::string>;

namespace {

class Systeme : public Sandbox {
protected:
    void poser(bool amont, bool aval) {
        panel.CheckBox1.setChecked(amont, Auteur::Utilisateur);
        panel.CheckBox2.setChecked(aval, Auteur::Utilisateur);
    }
    tSystemeBarriere systeme;
};

struct Position {
    bool amont, aval;
    int resultat;
    const char* texte;
};

const Position kPositions[] = {
    {false, false, VEHICULE_ABSENT, "pas de Vehicule"},
    {true, false, VEHICULE_SUR_BOUCLE_AMONT, "Vehicule sur boucle amont"},
    {true, true, VEHICULE_AU_MILIEU, "Vehicule au milieu"},
    {false, true, VEHICULE_SUR_BOUCLE_AVAL, "Vehicule sur boucle aval"},
};

} // namespace

TEST_F(Systeme, ConstructionPutsTheBoomDownAndDrivesNothingElse) {
    panel.reinitialiser();
    WriteLog ecritures;
    tSystemeBarriere neuf;
    EXPECT_EQ(ecritures.lines, (Lignes{"CheckBox5.Checked = 1", "Image2.Visible = 1", "Image3.Visible = 0",
                                        "Image5.Visible = 0"}));
}

TEST_F(Systeme, PositionFromTheTwoLoops) {
    for (const auto& pos : kPositions) {
        SCOPED_TRACE(pos.texte);
        poser(pos.amont, pos.aval);
        WriteLog ecritures;
        EXPECT_EQ(systeme.LirePositionVehicule(), pos.resultat);
        EXPECT_EQ(ecritures.lines, Lignes{std::string("StatusBar1.SimpleText = ") + pos.texte});
    }
}

TEST_F(Systeme, ALoopThatChangesBetweenTwoTestsLetsTheLastTestThatHoldsDecide) {
    // The car reaches the upstream loop just after the first test saw the lane empty.
    const int cle = panel.ajouterObservateur([&](const Ecriture& e) {
        if (&e.controle == &panel.StatusBar1 && std::get<std::string>(e.valeur) == "pas de Vehicule")
            panel.CheckBox1.setChecked(true, Auteur::Utilisateur);
    });
    WriteLog ecritures;
    EXPECT_EQ(systeme.LirePositionVehicule(), VEHICULE_SUR_BOUCLE_AMONT);
    panel.retirerObservateur(cle);
    EXPECT_EQ(ecritures.lines, (Lignes{"StatusBar1.SimpleText = pas de Vehicule",
                                        "StatusBar1.SimpleText = Vehicule sur boucle amont"}));
}

TEST_F(Systeme, ARaiseDoesEveryStepInOrder) {
    WriteLog ecritures;
    systeme.OuvrirBarriere();
    EXPECT_EQ(clock.maintenant(), 2000);
    EXPECT_EQ(ecritures.lines, (Lignes{
                                    "CheckBox5.Checked = 0",
                                    "Shape1.Brush.Color = 0x008000",
                                    "Moteur.Text = ON",
                                    "Shape3.Brush.Color = 0x00FFFF",
                                    "CheckBox4.Checked = 1",
                                    "Image3.Visible = 1",
                                    "Image5.Visible = 1",
                                    "Image2.Visible = 0",
                                    "Image6.Visible = 0",
                                    "Image7.Visible = 0",
                                    "Shape1.Brush.Color = 0xFFFFFF",
                                    "Shape2.Brush.Color = 0xFFFFFF",
                                    "Moteur.Text = OFF",
                                    "Shape3.Brush.Color = 0xFFFFFF",
                                }));
}

TEST_F(Systeme, ALoweringShowsTheBoomDownPictureFirst) {
    systeme.OuvrirBarriere();
    WriteLog ecritures;
    systeme.FermerBarriere();
    EXPECT_EQ(clock.maintenant(), 4000);
    EXPECT_EQ(ecritures.lines, (Lignes{
                                    "CheckBox4.Checked = 0",
                                    "Shape2.Brush.Color = 0x008000",
                                    "Moteur.Text = ON",
                                    "Shape3.Brush.Color = 0x00FFFF",
                                    "CheckBox5.Checked = 1",
                                    "Image2.Visible = 1",
                                    "Image5.Visible = 0",
                                    "Image3.Visible = 0",
                                    "Image6.Visible = 0",
                                    "Image7.Visible = 0",
                                    "Shape1.Brush.Color = 0xFFFFFF",
                                    "Shape2.Brush.Color = 0xFFFFFF",
                                    "Moteur.Text = OFF",
                                    "Shape3.Brush.Color = 0xFFFFFF",
                                }));
}

TEST_F(Systeme, ASensorTickedAgainDuringTheRaiseMeansASecondPass) {
    clock.pendantProchaineAttente(1000, [&] { panel.CheckBox5.setChecked(true, Auteur::Utilisateur); });
    systeme.OuvrirBarriere();
    EXPECT_EQ(clock.maintenant(), 4000);
    EXPECT_EQ(clock.nombreAttentes(), 2);
    EXPECT_TRUE(panel.CheckBox4.Checked());
    EXPECT_FALSE(panel.CheckBox5.Checked());
    EXPECT_EQ(panel.Moteur.Text(), "OFF");
}

TEST_F(Systeme, DuringAPassTheMotorRunsAndBothSensorsAreClear) {
    bool vu = false;
    clock.pendantProchaineAttente(1, [&] {
        vu = true;
        EXPECT_FALSE(panel.CheckBox4.Checked());
        EXPECT_FALSE(panel.CheckBox5.Checked());
        EXPECT_EQ(panel.Moteur.Text(), "ON");
        EXPECT_EQ(panel.Shape1.BrushColor(), clGreen);
        EXPECT_EQ(panel.Shape3.BrushColor(), clYellow);
    });
    systeme.OuvrirBarriere();
    EXPECT_TRUE(vu);
}

TEST_F(Systeme, ALoweringThatFindsTheBoomDownOnlyStopsTheMotorAndTheLight) {
    panel.Image6.setVisible(true);
    panel.Shape3.setBrushColor(clYellow);
    panel.Moteur.setText("ON");
    WriteLog ecritures;
    systeme.FermerBarriere();
    EXPECT_EQ(clock.maintenant(), 0);
    EXPECT_TRUE(panel.Image6.Visible());
    EXPECT_TRUE(panel.CheckBox5.Checked());
    EXPECT_EQ(ecritures.lines, (Lignes{"Shape1.Brush.Color = 0xFFFFFF", "Shape2.Brush.Color = 0xFFFFFF",
                                        "Moteur.Text = OFF", "Shape3.Brush.Color = 0xFFFFFF"}));
}

TEST_F(Systeme, ARaiseWithTheDownSensorClearDoesNoPass) {
    panel.CheckBox5.setChecked(false, Auteur::Utilisateur);
    panel.Shape3.setBrushColor(clYellow);
    systeme.OuvrirBarriere();
    EXPECT_EQ(clock.maintenant(), 0);
    EXPECT_FALSE(panel.CheckBox4.Checked());
    EXPECT_TRUE(panel.Image2.Visible());
    EXPECT_EQ(panel.Shape3.BrushColor(), clWhite);
}

TEST_F(Systeme, ARaiseWithBothSensorsTickedTakesOnePass) {
    panel.CheckBox4.setChecked(true, Auteur::Utilisateur);
    systeme.OuvrirBarriere();
    EXPECT_EQ(clock.nombreAttentes(), 1);
    EXPECT_TRUE(panel.CheckBox4.Checked());
    EXPECT_FALSE(panel.CheckBox5.Checked());
}

TEST_F(Systeme, TheCardCodeIsWrittenOnEveryCallAndTheCardStaysIn) {
    char code[12] = "xxxxxxxxxxx";
    EXPECT_EQ(systeme.LireCarte(code), 0);
    EXPECT_STREQ(code, "6082");
    panel.CheckBox10.setChecked(true, Auteur::Utilisateur);
    EXPECT_EQ(systeme.LireCarte(code), 1);
    EXPECT_EQ(systeme.LireCarte(code), 1);
    EXPECT_TRUE(panel.CheckBox10.Checked());
    char court[3];
    systeme.LireCarte(court); // a short destination is cut, never overrun
    EXPECT_STREQ(court, "60");
}

TEST_F(Systeme, DisplayAndBacklight) {
    systeme.Afficher("-     Mode Test      -", "-     Mode Test      -");
    EXPECT_EQ(panel.Edit1.Text(), "-     Mode Test      -");
    EXPECT_EQ(panel.Edit2.Text(), "-     mode test      -");
    systeme.AllumerAfficheur();
    EXPECT_EQ(panel.Edit1.Color(), clLime);
    EXPECT_EQ(panel.Edit2.Color(), clLime);
    systeme.EteindreAfficheur();
    EXPECT_EQ(panel.Edit1.Color(), clMoneyGreen);
    EXPECT_EQ(panel.Edit2.Color(), clMoneyGreen);
    EXPECT_EQ(panel.Edit1.Text(), "-     Mode Test      -");
}
