#include "tests/support/Sandbox.h"

#include <vector>

using namespace borne;
using borne::test::Sandbox;

namespace {

struct Stocke {
    const char* nom;
    Propriete propriete;
    Valeur valeur;
};

// The window as it is built, before anything writes to it.
const Stocke kStocke[] = {
    {"CheckBox1", Propriete::Checked, false},
    {"CheckBox5", Propriete::Checked, false},
    {"CheckBox3", Propriete::Caption, std::string("Autorisez Acces")},
    {"CheckBox4", Propriete::Caption, std::string("EtatHaut")},
    {"CheckBox16", Propriete::Caption, std::string("7")},
    {"CheckBox17", Propriete::Caption, std::string("5")},
    {"CheckBox6", Propriete::Caption, std::string("CheckBox6")},
    {"Edit1", Propriete::Text, std::string("Edit1")},
    {"Edit1", Propriete::Color, clMoneyGreen},
    {"Edit2", Propriete::Text, std::string("edit2")},
    {"Moteur", Propriete::Text, std::string()},
    {"Shape1", Propriete::BrushColor, clWhite},
    {"Shape3", Propriete::BrushColor, clWhite},
    {"Shape4", Propriete::BrushColor, clLime},
    {"Label3", Propriete::Caption, std::string("Label3")},
    {"Label4", Propriete::Caption, std::string("Label4")},
    {"Label5", Propriete::Caption, std::string("Label5")},
    {"PlaceRestantes", Propriete::Text, std::string()},
    {"GroupBox14", Propriete::Caption, std::string("GroupBox14")},
    {"GroupBox14", Propriete::Visible, false},
    {"GroupBox9", Propriete::Visible, true},
    {"Image6", Propriete::Visible, true},
    {"Image7", Propriete::Visible, true},
    {"StatusBar1", Propriete::SimpleText, std::string()},
    {"Button13", Propriete::Caption, std::string("Quitter")},
    {"Label2", Propriete::Caption, std::string("Decendre")},
    {"GroupBox6", Propriete::Caption, std::string("CapteursLisse")},
};

class Panneau : public Sandbox {};

} // namespace

TEST_F(Panneau, EveryControlStartsInItsStoredState) {
    for (const auto& s : kStocke) {
        SCOPED_TRACE(s.nom);
        Controle* c = panel.trouver(s.nom);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->lire(s.propriete), s.valeur) << nomPropriete(s.propriete);
    }
    EXPECT_EQ(panel.Evenement.etiquette(), "Ev\xE8nement");
}

TEST_F(Panneau, HoldsEveryNamedControlOnce) {
    EXPECT_EQ(panel.controles().size(), 55u);
    for (const Controle* c : panel.controles())
        EXPECT_EQ(panel.trouver(c->nom()), c);
    EXPECT_EQ(panel.trouver("CheckBox11"), nullptr); // the numbering skips it
    EXPECT_EQ(panel.trouver("Keypad"), nullptr);
}

TEST_F(Panneau, AContainerIsListedBeforeWhatItContains) {
    std::vector<std::string> vus;
    for (const Controle* c : panel.controles()) {
        if (!c->parent().empty()) {
            EXPECT_NE(std::find(vus.begin(), vus.end(), c->parent()), vus.end()) << c->nom();
        }
        vus.push_back(c->nom());
    }
    EXPECT_EQ(panel.Label5.parent(), "GroupBox14");
    EXPECT_EQ(panel.GroupBox14.parent(), "GroupBox9");
}

TEST_F(Panneau, Edit2StoresLowerCaseWhoeverWrites) {
    panel.Edit2.setText("- 3 Essais max -");
    EXPECT_EQ(panel.Edit2.Text(), "- 3 essais max -");
    panel.Edit2.setText("\xC9T\xC9", Auteur::Utilisateur);
    EXPECT_EQ(panel.Edit2.Text(), "\xE9t\xE9");
    panel.Edit1.setText("-     Mode Test      -");
    EXPECT_EQ(panel.Edit1.Text(), "-     Mode Test      -");
}

TEST_F(Panneau, AWriteIsNotifiedWithItsAuthorAndTheStoredValue) {
    std::vector<std::tuple<std::string, Propriete, Auteur, Valeur>> vues;
    const int cle = panel.ajouterObservateur([&](const Ecriture& e) {
        // The control's lock is released: reading it back from the observer must not deadlock.
        EXPECT_EQ(e.controle.lire(e.propriete), e.valeur);
        vues.emplace_back(e.controle.nom(), e.propriete, e.auteur, e.valeur);
    });
    panel.Edit2.setText("ABC");
    panel.CheckBox1.setChecked(true, Auteur::Utilisateur);
    panel.Shape4.setBrushColor(clRed);
    panel.Shape4.setBrushColor(clRed); // the same value again still counts as a write
    panel.retirerObservateur(cle);
    panel.Edit1.setText("unseen");
    ASSERT_EQ(vues.size(), 4u);
    EXPECT_EQ(vues[0],
              std::make_tuple(std::string("Edit2"), Propriete::Text, Auteur::Terminal, Valeur("abc")));
    EXPECT_EQ(vues[1], std::make_tuple(std::string("CheckBox1"), Propriete::Checked, Auteur::Utilisateur,
                                       Valeur(true)));
    EXPECT_EQ(std::get<3>(vues[3]), Valeur(clRed));
}

TEST_F(Panneau, WritesOfTheWrongShapeAreRefused) {
    Controle& image = panel.Image3;
    EXPECT_FALSE(image.ecrire(Propriete::Text, std::string("x")));
    EXPECT_FALSE(image.ecrire(Propriete::Visible, std::string("1")));
    EXPECT_TRUE(image.ecrire(Propriete::Visible, false));
    EXPECT_FALSE(panel.Image3.Visible());
    EXPECT_TRUE(proprieteDe(Genre::Forme, Propriete::BrushColor));
    EXPECT_FALSE(proprieteDe(Genre::EditionEtiquetee, Propriete::Color));
}

TEST_F(Panneau, AFrozenPanelTakesNoMoreFromTheTerminalButStillFromTheUser) {
    int notifications = 0;
    const int cle = panel.ajouterObservateur([&](const Ecriture&) { ++notifications; });
    panel.figer();
    panel.Moteur.setText("ON");
    panel.CheckBox5.setChecked(true);
    EXPECT_EQ(notifications, 0);
    panel.CheckBox1.setChecked(true, Auteur::Utilisateur);
    EXPECT_EQ(notifications, 1);
    EXPECT_EQ(panel.Moteur.Text(), "");
    EXPECT_FALSE(panel.CheckBox5.Checked());
    EXPECT_TRUE(panel.CheckBox1.Checked());
    panel.retirerObservateur(cle);
}

TEST_F(Panneau, ResetRestoresTheStoredStateAndThaws) {
    panel.Label4.setCaption("COMPLET");
    panel.GroupBox14.setVisible(true);
    panel.figer();
    panel.reinitialiser();
    EXPECT_EQ(panel.Label4.Caption(), "Label4");
    EXPECT_FALSE(panel.GroupBox14.Visible());
    panel.Moteur.setText("OFF");
    EXPECT_EQ(panel.Moteur.Text(), "OFF");
}

TEST_F(Panneau, AHeldPropertyKeepsItsValueWhoeverWritesUntilReleased) {
    std::vector<Valeur> vues;
    const int cle = panel.ajouterObservateur([&](const Ecriture& e) { vues.push_back(e.valeur); });
    EXPECT_FALSE(panel.CheckBox4.tenir(Propriete::Checked, std::string("1"))); // wrong type: nothing held
    EXPECT_FALSE(panel.CheckBox4.tenir(Propriete::Text, true));                // no such property
    ASSERT_TRUE(panel.CheckBox4.tenir(Propriete::Checked, false));
    panel.CheckBox4.setChecked(true);                             // the terminal
    panel.CheckBox4.setChecked(true, Auteur::Utilisateur);        // the user
    panel.CheckBox4.ecrire(Propriete::Caption, std::string("x")); // another property is not held
    EXPECT_FALSE(panel.CheckBox4.Checked());
    EXPECT_EQ(panel.CheckBox4.Caption(), "x");
    ASSERT_EQ(vues.size(), 3u);
    EXPECT_EQ(vues[0], Valeur(false)); // told with the value held, as stored
    EXPECT_EQ(vues[1], Valeur(false));
    ASSERT_TRUE(panel.CheckBox4.tenir(Propriete::Checked, true)); // a new hold replaces the old
    panel.CheckBox4.setChecked(false);
    EXPECT_TRUE(panel.CheckBox4.Checked());
    panel.CheckBox4.relacher(Propriete::Checked); // the value stays until the next write
    EXPECT_TRUE(panel.CheckBox4.Checked());
    panel.CheckBox4.setChecked(false);
    EXPECT_FALSE(panel.CheckBox4.Checked());
    ASSERT_TRUE(panel.Edit2.tenir(Propriete::Text, std::string("ABC"))); // held as the edit stores it
    panel.Edit2.setText("x");
    EXPECT_EQ(panel.Edit2.Text(), "abc");
    panel.reinitialiser(); // holds nothing afterwards
    panel.Edit2.setText("y");
    EXPECT_EQ(panel.Edit2.Text(), "y");
    panel.retirerObservateur(cle);
}

// The build-time check of PROPRIETES refuses a list that misses a property or holds them out of order.
static_assert(!proprietesDansLOrdre(std::array<Propriete, 6>{Propriete::Checked, Propriete::Caption,
                                                             Propriete::Text, Propriete::Color,
                                                             Propriete::Visible, Propriete::BrushColor}));
static_assert(!proprietesDansLOrdre(std::array<Propriete, 7>{
    Propriete::Caption, Propriete::Checked, Propriete::Text, Propriete::Color, Propriete::Visible,
    Propriete::BrushColor, Propriete::SimpleText}));
