#include "control/tSystemeBarriere.h"

#include "control/Attente.h"
#include "control/Codes.h"
#include "panel/PanneauOperateur.h"
#include "base/Texte.h"

using borne::panneau;

tSystemeBarriere::tSystemeBarriere() {
    auto& p = panneau();
    p.CheckBox5.setChecked(true);
    clavier = std::make_unique<tClavier>();
    positionVehicule = VEHICULE_ABSENT;
    p.Image2.setVisible(true);
    p.Image3.setVisible(false);
    p.Image5.setVisible(false);
}

tSystemeBarriere::~tSystemeBarriere() = default;

int tSystemeBarriere::LirePositionVehicule() {
    auto& p = panneau();
    positionVehicule = VEHICULE_ABSENT;
    // Four independent tests, each reading the loops afresh: a loop that changes between two tests can
    // make more than one hold, and the last one that holds decides.
    if (!p.CheckBox1.Checked() && !p.CheckBox2.Checked()) {
        p.StatusBar1.setSimpleText("pas de Vehicule");
        positionVehicule = VEHICULE_ABSENT;
    }
    if (p.CheckBox1.Checked() && !p.CheckBox2.Checked()) {
        p.StatusBar1.setSimpleText("Vehicule sur boucle amont");
        positionVehicule = VEHICULE_SUR_BOUCLE_AMONT;
    }
    if (p.CheckBox1.Checked() && p.CheckBox2.Checked()) {
        p.StatusBar1.setSimpleText("Vehicule au milieu");
        positionVehicule = VEHICULE_AU_MILIEU;
    }
    if (!p.CheckBox1.Checked() && p.CheckBox2.Checked()) {
        p.StatusBar1.setSimpleText("Vehicule sur boucle aval");
        positionVehicule = VEHICULE_SUR_BOUCLE_AVAL;
    }
    return positionVehicule;
}

void tSystemeBarriere::Afficher(const char* ligne1, const char* ligne2) {
    auto& p = panneau();
    p.Edit1.setText(ligne1 != nullptr ? ligne1 : "");
    p.Edit2.setText(ligne2 != nullptr ? ligne2 : "");
}

void tSystemeBarriere::AllumerEclairage() {
    panneau().Shape3.setBrushColor(borne::clYellow);
}

void tSystemeBarriere::EteindreEclairage() {
    panneau().Shape3.setBrushColor(borne::clWhite);
}

void tSystemeBarriere::OuvrirBarriere() {
    auto& p = panneau();
    // The sensor is tested before each pass: one ticked again during the wait means another pass.
    while (p.CheckBox5.Checked()) {
        p.CheckBox5.setChecked(false);
        p.Shape1.setBrushColor(borne::clGreen);
        p.Moteur.setText("ON");
        AllumerEclairage();
        borne::attendre(DUREE_MOUVEMENT_MS); // blocks 2000 ms; a stop ends the pass here
        p.CheckBox4.setChecked(true);
        p.Image3.setVisible(true);
        p.Image5.setVisible(true);
        p.Image2.setVisible(false);
        p.Image6.setVisible(false);
        p.Image7.setVisible(false);
    }
    ArreterMoteur();
    EteindreEclairage();
}

void tSystemeBarriere::FermerBarriere() {
    auto& p = panneau();
    while (p.CheckBox4.Checked()) {
        p.CheckBox4.setChecked(false);
        p.Shape2.setBrushColor(borne::clGreen);
        p.Moteur.setText("ON");
        AllumerEclairage();
        borne::attendre(DUREE_MOUVEMENT_MS); // blocks 2000 ms; a stop ends the pass here
        p.CheckBox5.setChecked(true);
        p.Image2.setVisible(true);
        p.Image5.setVisible(false);
        p.Image3.setVisible(false);
        p.Image6.setVisible(false);
        p.Image7.setVisible(false);
    }
    ArreterMoteur();
    EteindreEclairage();
}

void tSystemeBarriere::ArreterMoteur() {
    auto& p = panneau();
    p.Shape1.setBrushColor(borne::clWhite);
    p.Shape2.setBrushColor(borne::clWhite);
    p.Moteur.setText("OFF");
}

void tSystemeBarriere::AllumerAfficheur() {
    auto& p = panneau();
    p.Edit1.setColor(borne::clLime);
    p.Edit2.setColor(borne::clLime);
}

void tSystemeBarriere::EteindreAfficheur() {
    auto& p = panneau();
    p.Edit1.setColor(borne::clMoneyGreen);
    p.Edit2.setColor(borne::clMoneyGreen);
}

int tSystemeBarriere::LireClavier() {
    return clavier->LireTouche();
}

int tSystemeBarriere::LireCarte(char* codeCarte, std::size_t capacite) {
    borne::copierBorne(codeCarte, capacite, CODE_CARTE);
    return panneau().CheckBox10.Checked() ? 1 : 0;
}
