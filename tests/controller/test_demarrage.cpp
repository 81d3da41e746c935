// The controller's start-up: the picture of each mode on the panel, and the state the cycle starts in.
#include "tests/support/Lane.h"
#include "tests/support/WriteLog.h"

using namespace borne;
using borne::test::Lane;

namespace {

struct Depart {
    const char* nom;
    std::string config; // Config.cfg's content
    int etat;
    const char* ligne1;
    const char* ligne2;
    bool leveeAuDepart; // boom up at the end of construction
    Couleur eclairage;
    bool supervision; // GroupBox14 shown with the identity
    int attenteMs;    // virtual time spent in construction
};

const std::string kIdentite = "IPsuperviseur=192.0.2.10\nPORTsuperviseur=4000\nportserver=4001\n"
                              "nomacces=Entree Nord\nnumeroacces=2\ncode=6082\n";

const Depart kDeparts[] = {
    {"supervised", "mode=0\n" + kIdentite, ETAT_VEHICULE_ABSENT, "-      Bonjour!      -",
     "-     **********     -", false, clWhite, true, 0},
    {"out_of_service", "mode=1\n" + kIdentite, ETAT_HORS_SERVICE, "     HORS SERVICE     ",
     "  ..................  ", false, clWhite, true, 0},
    {"out_of_service_raised", "mode=2\n" + kIdentite, ETAT_HORS_SERVICE_OUVERT, "     HORS SERVICE     ",
     "  ..................  ", true, clWhite, true, 2000},
    {"test", "mode=3\n" + kIdentite, ETAT_MODE_TEST, "     HORS SERVICE     ", "-     mode test      -",
     false, clYellow, true, 0},
    {"standalone", "mode=4\n" + kIdentite, ETAT_VEHICULE_ABSENT, "-      Bonjour!      L",
     "-     **********     -", false, clWhite, false, 0},
    // A lane whose settings cannot say how it works starts out of service.
    {"mode_5", "mode=5\n" + kIdentite, ETAT_HORS_SERVICE, "     HORS SERVICE     ", "  ..................  ",
     false, clWhite, true, 0},
    {"mode_negative", "mode=-1\n" + kIdentite, ETAT_HORS_SERVICE, "     HORS SERVICE     ",
     "  ..................  ", false, clWhite, true, 0},
    {"mode_empty", "mode=\n" + kIdentite, ETAT_HORS_SERVICE, "     HORS SERVICE     ",
     "  ..................  ", false, clWhite, true, 0},
    {"no_mode_line", kIdentite, ETAT_HORS_SERVICE, "     HORS SERVICE     ", "  ..................  ", false,
     clWhite, true, 0},
};

class Demarrage : public Lane, public ::testing::WithParamInterface<Depart> {};

} // namespace

TEST_P(Demarrage, StartPictureOfTheMode) {
    const Depart& d = GetParam();
    configure(d.config);
    build();
    EXPECT_EQ(state(), d.etat);
    EXPECT_EQ(line1(), d.ligne1);
    EXPECT_EQ(line2(), d.ligne2);
    EXPECT_EQ(clock.maintenant(), d.attenteMs);
    EXPECT_EQ(d.leveeAuDepart ? boomUp() : boomDown(), true);
    EXPECT_EQ(panel.Image2.Visible(), !d.leveeAuDepart);
    EXPECT_EQ(panel.Image3.Visible(), d.leveeAuDepart);
    EXPECT_EQ(panel.Image5.Visible(), d.leveeAuDepart);
    EXPECT_EQ(panel.Shape3.BrushColor(), d.eclairage);
    EXPECT_EQ(panel.Edit1.Color(), clMoneyGreen);
    EXPECT_EQ(panel.GroupBox14.Visible(), d.supervision);
    EXPECT_EQ(panel.GroupBox14.Caption(), d.supervision ? "Entree Nord" : "GroupBox14");
    EXPECT_EQ(panel.Label5.Caption(), d.supervision ? "2" : "Label5");
    // Without a link nothing hides the car pictures before the first boom movement.
    EXPECT_EQ(panel.Image6.Visible(), !d.supervision);
    EXPECT_EQ(panel.Image7.Visible(), !d.supervision);
    EXPECT_EQ(terminal->aUneSupervision(), d.supervision);
    EXPECT_EQ(terminal->nbEssaisCourant(), 1);
    EXPECT_FALSE(terminal->carteRefuseeCourante());
    EXPECT_FALSE(terminal->codeRefuseCourant());
    EXPECT_EQ(terminal->codeSaisiCourant(), "");
    EXPECT_EQ(terminal->codeMasqueCourant(), "");
    // The start-up writes nothing to the journal; its first line comes from the first turn.
    EXPECT_FALSE(std::filesystem::exists(folder() / "Log.txt"));
}

INSTANTIATE_TEST_SUITE_P(Modes, Demarrage, ::testing::ValuesIn(kDeparts),
                         [](const auto& info) { return std::string(info.param.nom); });

TEST_F(Lane, TheLocalCodeIsReadOnlyInTheStandaloneMode) {
    start(MODE_SUPERVISE, "code=1234\n");
    EXPECT_EQ(terminal->codeLocalCourant(), "");
    terminal.reset();
    panel.reinitialiser();
    start(MODE_LOCAL, "code=1234\n");
    EXPECT_EQ(terminal->codeLocalCourant(), "1234");
    EXPECT_EQ(terminal->nomAccesCourant(), "Entree Nord"); // the other settings are still read and kept
}

TEST_F(Lane, WithoutAnySettingsTheLaneIsOutOfServiceWithAnEmptyIdentity) {
    build();
    EXPECT_EQ(state(), ETAT_HORS_SERVICE);
    EXPECT_EQ(terminal->modeCourant(), MODE_HORS_SERVICE);
    EXPECT_TRUE(panel.GroupBox14.Visible());
    EXPECT_EQ(panel.GroupBox14.Caption(), "");
    EXPECT_EQ(panel.Label5.Caption(), "0");
}

TEST_F(Lane, OverlongSettingsAreCutToTheirFields) {
    configure("mode=4\nnomacces=" + std::string(80, 'N') + "\ncode=" + std::string(30, '7') + "\n");
    build();
    EXPECT_EQ(terminal->nomAccesCourant(), std::string(49, 'N'));
    EXPECT_EQ(terminal->codeLocalCourant(), std::string(9, '7'));
}

TEST_F(Lane, StartUpDrivesTheDevicesInTheOrderOfThePicture) {
    configure("mode=0\nnomacces=A\nnumeroacces=-3\n");
    test::WriteLog ecritures;
    build();
    const std::vector<std::string> attendu = {
        // the devices are created: boom down
        "CheckBox5.Checked = 1", "Image2.Visible = 1", "Image3.Visible = 0", "Image5.Visible = 0",
        // the supervision link
        "GroupBox14.Visible = 1", "GroupBox14.Caption = A", "Label5.Caption = -3", "Image6.Visible = 0",
        "Image7.Visible = 0",
        // the display, then the boom (already down: only the motor stops) and the backlight
        "Edit1.Text = -      Bonjour!      -", "Edit2.Text = -     **********     -",
        "Shape1.Brush.Color = 0xFFFFFF", "Shape2.Brush.Color = 0xFFFFFF", "Moteur.Text = OFF",
        "Shape3.Brush.Color = 0xFFFFFF", "Edit1.Color = 0xC0DCC0", "Edit2.Color = 0xC0DCC0"};
    EXPECT_EQ(ecritures.lines, attendu);
}
