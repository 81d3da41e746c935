#include "control/Codes.h"
#include "control/tSupervision.h"
#include "tests/support/Sandbox.h"
#include "tests/support/WriteLog.h"
#include "tools/grammar/Grammar.h"

#include <climits>
#include <cstring>
#include <string>
#include <vector>

using namespace borne;
using borne::test::Sandbox;
using borne::test::WriteLog;
using Lignes = std::vector<std::string>;

namespace {

const std::string kGardienAppele = "Gardien appel\xE9";

class Supervision : public Sandbox {
protected:
    tSupervision lien{"192.168.1.10", "5000", "Entree Nord", 7, "192.168.1.1", "6000", MODE_SUPERVISE};
};

} // namespace

// --- Construction -------------------------------------------------------------------------------

TEST_F(Supervision, ConstructionShowsTheIdentityThenHidesTheCarPictures) {
    panel.reinitialiser();
    WriteLog ecritures;
    tSupervision neuf("10.0.0.1", "80", "Sortie Sud", 7, "10.0.0.2", "8080", MODE_TEST);
    EXPECT_EQ(ecritures.lines, (Lignes{"GroupBox14.Visible = 1", "GroupBox14.Caption = Sortie Sud",
                                       "Label5.Caption = 7", "Image6.Visible = 0", "Image7.Visible = 0"}));
}

TEST_F(Supervision, AccessNumberIsShownAsPlainSignedDecimal) {
    const struct {
        int numero;
        const char* texte;
    } cas[] = {{7, "7"}, {0, "0"}, {-12, "-12"}, {123456, "123456"}, {INT_MIN, "-2147483648"}};
    for (const auto& c : cas) {
        SCOPED_TRACE(c.texte);
        tSupervision neuf("", "", "acces", c.numero, "", "", MODE_SUPERVISE);
        EXPECT_EQ(panel.Label5.Caption(), c.texte);
    }
}

TEST_F(Supervision, LongAccessNameIsCutToItsFieldOfThirtyOneCharacters) {
    const std::string nom40 = "0123456789abcdefghijABCDEFGHIJ0123456789";
    ASSERT_EQ(nom40.size(), 40u);
    // The other settings overflow their own fields too; none of that may spill into the name.
    tSupervision neuf("255.255.255.255.255", "655350", nom40.c_str(), 1, "255.255.255.255.255", "6553500",
                      MODE_SUPERVISE);
    EXPECT_EQ(panel.GroupBox14.Caption(), nom40.substr(0, 31));
    EXPECT_TRUE(panel.GroupBox14.Visible());
}

// --- Attendant's inputs -------------------------------------------------------------------------

TEST_F(Supervision, AuthorisationIsTakenOnceAndEmptiesTheCallStatus) {
    lien.AppelerGardien();
    ASSERT_EQ(panel.Label3.Caption(), kGardienAppele);
    panel.CheckBox3.setChecked(true, Auteur::Utilisateur);
    EXPECT_EQ(lien.LireAutorisation(), 1);
    EXPECT_FALSE(panel.CheckBox3.Checked());
    EXPECT_EQ(panel.Label3.Caption(), "");
    EXPECT_EQ(lien.LireAutorisation(), 0);
}

TEST_F(Supervision, NoAuthorisationTouchesNothing) {
    WriteLog ecritures;
    EXPECT_EQ(lien.LireAutorisation(), 0);
    EXPECT_TRUE(ecritures.lines.empty());
    EXPECT_EQ(panel.Label3.Caption(), "Label3");
}

TEST_F(Supervision, AttendantCallDependsOnAPendingAuthorisation) {
    lien.AppelerGardien();
    EXPECT_EQ(panel.Label3.Caption(), kGardienAppele);
    EXPECT_EQ(static_cast<unsigned char>(panel.Label3.Caption().back()), 0xE9);

    panel.CheckBox3.setChecked(true, Auteur::Utilisateur);
    lien.AppelerGardien();
    EXPECT_EQ(panel.Label3.Caption(), "");
    EXPECT_TRUE(panel.CheckBox3.Checked()) << "the call must leave the grant for LireAutorisation";
}

TEST_F(Supervision, LightAndAlarmLastWhileTheirBoxesStayTicked) {
    EXPECT_EQ(lien.LireEclairage(), 0);
    EXPECT_EQ(lien.LireAlarme(), 0);
    panel.CheckBox7.setChecked(true, Auteur::Utilisateur);
    EXPECT_EQ(lien.LireEclairage(), LUMIERE_ACTIVE);
    EXPECT_EQ(lien.LireAlarme(), 0);
    panel.CheckBox8.setChecked(true, Auteur::Utilisateur);
    for (int tour = 0; tour < 2; ++tour) {
        EXPECT_EQ(lien.LireEclairage(), LUMIERE_ACTIVE);
        EXPECT_EQ(lien.LireAlarme(), ALARME_ACTIVE);
    }
    EXPECT_TRUE(panel.CheckBox7.Checked());
    EXPECT_TRUE(panel.CheckBox8.Checked());
}

// --- Message ------------------------------------------------------------------------------------

TEST_F(Supervision, MessageIsCutToTheDestination) {
    panel.MessageGardien.setText("abcdefghijklmnopqrst", Auteur::Utilisateur);
    panel.CheckBox9.setChecked(true, Auteur::Utilisateur);
    char destination[16 + 4];
    std::memset(destination, '#', sizeof destination);
    EXPECT_EQ(lien.LireMessage(destination, 16), MESSAGE_SUPERVISEUR);
    EXPECT_STREQ(destination, "abcdefghijklmno");
    EXPECT_EQ(std::string(destination + 16, 4), "####") << "written past the 16 bytes given";
    EXPECT_TRUE(panel.CheckBox9.Checked());

    char exact[16];
    EXPECT_EQ(lien.LireMessage(exact), MESSAGE_SUPERVISEUR);
    EXPECT_STREQ(exact, "abcdefghijklmno");
}

TEST_F(Supervision, EmptyMessageStillCounts) {
    panel.CheckBox9.setChecked(true, Auteur::Utilisateur);
    char destination[16] = "ancien";
    EXPECT_EQ(lien.LireMessage(destination), MESSAGE_SUPERVISEUR);
    EXPECT_STREQ(destination, "");
}

TEST_F(Supervision, UnsentMessageLeavesTheDestinationAlone) {
    panel.MessageGardien.setText("bonjour", Auteur::Utilisateur);
    char destination[16] = "ancien";
    EXPECT_EQ(lien.LireMessage(destination), 0);
    EXPECT_STREQ(destination, "ancien");
}

// --- Occupancy and passages ---------------------------------------------------------------------

TEST_F(Supervision, OccupancyDisplayFollowsTheCount) {
    const struct Ligne {
        int entrees, sorties;
        int resultat;
        const char* mot;
        Couleur lampe;
        const char* places;
    } table[] = {
        {0, 1, 0, "Libre", clLime, "3"},              // an exit with nobody inside
        {0, 0, 0, "Libre", clLime, "2"},              // empty
        {1, 0, 0, "Libre", clLime, "1"},              // one place left
        {2, 0, PARKING_PLEIN, "COMPLET", clRed, "0"}, // full
        {3, 0, 0, "Libre", clLime, "-1"},             // over capacity is not "full"
        {3, 1, PARKING_PLEIN, "COMPLET", clRed, "0"}, // back to full after an exit
    };
    for (const Ligne& l : table) {
        SCOPED_TRACE(std::to_string(l.entrees) + " in, " + std::to_string(l.sorties) + " out");
        panel.reinitialiser();
        tSupervision s("", "", "", 1, "", "", MODE_SUPERVISE);
        for (int i = 0; i < l.entrees; ++i)
            s.SignalerPassage(ENTREE_VEHICULE);
        for (int i = 0; i < l.sorties; ++i)
            s.SignalerPassage(SORTIE_VEHICULE);
        WriteLog ecritures;
        EXPECT_EQ(s.LireEtatParking(), l.resultat);
        EXPECT_EQ(ecritures.lines, (Lignes{"Shape4.Brush.Color = " + scenario::propertyText(Valeur(l.lampe)),
                                           std::string("Label4.Caption = ") + l.mot,
                                           std::string("PlaceRestantes.Text = ") + l.places}));
    }
}

TEST_F(Supervision, PassagesShowTheirPictures) {
    WriteLog ecritures;
    lien.SignalerPassage(ENTREE_VEHICULE);
    lien.SignalerPassage(SORTIE_VEHICULE);
    EXPECT_EQ(ecritures.lines, (Lignes{"Image6.Visible = 1", "Image7.Visible = 1"}));
}

TEST_F(Supervision, OtherPassageKindsChangeNothing) {
    lien.SignalerPassage(ENTREE_VEHICULE);
    WriteLog ecritures;
    for (int kind : {int{AUTORISATION_OK}, 0, -1, int{CODECLAVIER}})
        lien.SignalerPassage(kind);
    EXPECT_TRUE(ecritures.lines.empty());
    EXPECT_FALSE(panel.Image7.Visible());
    lien.LireEtatParking();
    EXPECT_EQ(panel.PlaceRestantes.Text(), "1") << "the count moved";
}

// --- Codes and faults ---------------------------------------------------------------------------

TEST_F(Supervision, CodeCheckIsExactAndOnlyForKeypadAndCard) {
    const struct Ligne {
        int genre;
        const char* code;
        int resultat;
    } table[] = {
        {CODECLAVIER, "6082", AUTORISATION_OK},
        {CODECARTE, "6082", AUTORISATION_OK},
        {ALARME_ACTIVE, "6082", 0},
        {CODECLAVIER, "608", 0},
        {CODECARTE, "608", 0},
        {CODECLAVIER, "60821", 0},
        {CODECARTE, "60821", 0},
        {CODECLAVIER, "6083", 0},
        {CODECARTE, " 6082", 0},
        {CODECLAVIER, "", 0},
        {AUTORISATION_OK, "6082", 0},
    };
    for (const Ligne& l : table) {
        SCOPED_TRACE(std::to_string(l.genre) + " \"" + l.code + "\"");
        EXPECT_EQ(lien.VerifierCode(l.genre, l.code), l.resultat);
    }
}

TEST_F(Supervision, FaultTextIsShownAsGiven) {
    const std::string oubliee = "carte oubli\xE9"
                                "e";
    lien.AfficherDefaut(oubliee.c_str());
    EXPECT_EQ(panel.Default.Text(), oubliee);
    lien.AfficherDefaut("- 3 Essais max -");
    EXPECT_EQ(panel.Default.Text(), "- 3 Essais max -");
}
