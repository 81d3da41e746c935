// The script parser: what each command becomes, what is refused with which line, and that no input
// whatever can crash it.
#include "control/Codes.h"
#include "scenario/Scenario.h"

#include <gtest/gtest.h>
#include <string>

using namespace borne;
using namespace borne::scenario;

namespace {

Commande seule(std::string_view texte) {
    const Script s = analyser(texte);
    EXPECT_TRUE(s.erreurs.empty()) << texte << ": " << (s.erreurs.empty() ? "" : s.erreurs[0].message);
    EXPECT_EQ(s.commandes.size(), 1u) << texte;
    return s.commandes.empty() ? Commande{} : s.commandes[0];
}

std::string erreurSeule(std::string_view texte) {
    const Script s = analyser(texte);
    EXPECT_TRUE(s.commandes.empty()) << texte;
    EXPECT_EQ(s.erreurs.size(), 1u) << texte;
    return s.erreurs.empty() ? std::string() : s.erreurs[0].message;
}

} // namespace

TEST(Analyse, TickUntickNameACheckBox) {
    Commande c = seule("tick CheckBox21");
    EXPECT_EQ(c.verbe, Verbe::Cocher);
    EXPECT_EQ(c.controle, "CheckBox21");
    c = seule("untick CheckBox10");
    EXPECT_EQ(c.verbe, Verbe::Decocher);
    EXPECT_EQ(c.controle, "CheckBox10");
}

TEST(Analyse, TurnCountsFromOneToTheLimit) {
    EXPECT_EQ(seule("turn").tours, 1);
    EXPECT_EQ(seule("turn 1").tours, 1);
    EXPECT_EQ(seule("turn 250").tours, 250);
    EXPECT_EQ(seule("turn 100000000").tours, TOURS_MAX);
}

TEST(Analyse, TypeTakesTheRestOfTheLineVerbatimInWindows1252) {
    Commande c = seule("type MessageGardien  Ouvrez  é ");
    EXPECT_EQ(c.verbe, Verbe::Taper);
    EXPECT_EQ(c.controle, "MessageGardien");
    EXPECT_EQ(c.texte, " Ouvrez  \xE9 "); // the one space after the name is the separator
    EXPECT_EQ(seule("type Edit1").texte, "");
    EXPECT_EQ(seule("type Edit1 ").texte, "");
    EXPECT_EQ(seule("type Edit2 a\xC4\x81z").texte, "a?z"); // U+0101 has no Windows-1252 byte
    EXPECT_EQ(seule("type Moteur tab\there").texte, "tab\there");
}

TEST(Analyse, ExpectReadsEachKindOfValue) {
    Commande c = seule("expect CheckBox5.Checked 1");
    EXPECT_EQ(c.verbe, Verbe::Verifier);
    EXPECT_EQ(c.propriete, Propriete::Checked);
    EXPECT_EQ(c.attendu, Valeur(true));
    EXPECT_EQ(seule("expect Image3.Visible 0").attendu, Valeur(false));
    EXPECT_EQ(seule("expect Shape4.Brush.Color 0x0000fF").attendu, Valeur(Couleur{0x0000FF}));
    EXPECT_EQ(seule("expect Edit1.Color 0xc0DCC0").attendu, Valeur(Couleur{0xC0DCC0}));
    c = seule("expect Edit1.Text   --- COMPLET !!!---  ");
    EXPECT_EQ(c.attendu, Valeur(std::string("  --- COMPLET !!!---  ")));
    EXPECT_EQ(c.texte, "  --- COMPLET !!!---  ");
    EXPECT_EQ(seule("expect Default.Text").attendu, Valeur(std::string()));
    EXPECT_EQ(seule("expect Label3.Caption Gardien appelé").attendu, Valeur(std::string("Gardien appelé")));
    EXPECT_EQ(seule("expect StatusBar1.SimpleText pas de Vehicule").propriete, Propriete::SimpleText);
    EXPECT_EQ(seule("expect Button13.Caption Quitter").propriete, Propriete::Caption);
    EXPECT_EQ(seule("expect GroupBox14.Visible 1").propriete, Propriete::Visible);
}

TEST(Analyse, ExpectEtatTakesANumberOrAName) {
    for (int e = 0; e < NB_ETATS; ++e) {
        EXPECT_EQ(seule("expect etat " + std::to_string(e)).etat, e);
        EXPECT_EQ(seule(std::string("expect etat ") + nomEtatCode(e)).etat, e);
    }
    const Commande c = seule("expect etat ETAT_MODE_TEST");
    EXPECT_EQ(c.verbe, Verbe::VerifierEtat);
    EXPECT_EQ(c.texte, "ETAT_MODE_TEST");
}

TEST(Analyse, CommentsBlankLinesAndIndentationAreSkipped) {
    const Script s = analyser("# a comment\n\n   \t\n\t  # indented comment\n \t turn 3\n  tick CheckBox1\n");
    ASSERT_TRUE(s.erreurs.empty());
    ASSERT_EQ(s.commandes.size(), 2u);
    EXPECT_EQ(s.commandes[0].ligne, 5u);
    EXPECT_EQ(s.commandes[0].tours, 3);
    EXPECT_EQ(s.commandes[1].ligne, 6u);
}

TEST(Analyse, CrLfEndsALineLikeLf) {
    const Script s = analyser("turn\r\nexpect Edit1.Text abc\r\ntick CheckBox1\r\n");
    ASSERT_TRUE(s.erreurs.empty());
    ASSERT_EQ(s.commandes.size(), 3u);
    EXPECT_EQ(s.commandes[1].attendu, Valeur(std::string("abc")));
    EXPECT_EQ(s.commandes[2].ligne, 3u);
}

// Each faulty line alone, with the words its message must hold.
struct Faute {
    const char* ligne;
    const char* message;
};
class Fautes : public ::testing::TestWithParam<Faute> {};

TEST_P(Fautes, AreRefusedWithAMessage) {
    const std::string m = erreurSeule(GetParam().ligne);
    EXPECT_NE(m.find(GetParam().message), std::string::npos) << "got: " << m;
}

INSTANTIATE_TEST_SUITE_P(
    Analyse, Fautes,
    ::testing::Values(
        Faute{"jump", "unknown command \"jump\""}, Faute{"Turn", "unknown command \"Turn\""},
        Faute{"turn\t2", "unknown command"}, Faute{"tick CheckBox99", "unknown control \"CheckBox99\""},
        Faute{"tick", "missing control name"}, Faute{"tick ", "missing control name"},
        Faute{"tick CheckBox1 x", "unexpected text after CheckBox1"},
        Faute{"tick Edit1", "tick takes a check box; Edit1 is an edit"},
        Faute{"untick Image2", "Image2 is a picture"},
        Faute{"type CheckBox1 x", "type takes an edit or a labelled edit; CheckBox1 is a check box"},
        Faute{"type Label3 x", "Label3 is a label"}, Faute{"type", "missing control name"},
        Faute{"turn 0", "malformed count \"0\""}, Faute{"turn -1", "malformed count"},
        Faute{"turn +3", "malformed count"}, Faute{"turn 2 ", "malformed count"},
        Faute{"turn ", "malformed count"}, Faute{"turn 100000001", "malformed count"},
        Faute{"turn 99999999999999999999999999999", "malformed count"},
        Faute{"expect", "missing NAME.PROPERTY"}, Faute{"expect Edit1", "neither NAME.PROPERTY nor etat"},
        Faute{"expect Nope.Text x", "unknown control \"Nope\""},
        Faute{"expect Edit1.Colour 0xC0DCC0", "unknown property \"Colour\""},
        Faute{"expect Edit1.Checked 1", "Edit1 is an edit, which has no property Checked"},
        Faute{"expect Moteur.Color 0xFFFFFF", "no property Color"},
        Faute{"expect Image1.Caption x", "no property Caption"},
        Faute{"expect CheckBox1.Checked", "malformed value \"\""},
        Faute{"expect CheckBox1.Checked 2", "(0 or 1)"},
        Faute{"expect CheckBox1.Checked 1 ", "malformed value"},
        Faute{"expect Shape1.Brush.Color FFFFFF", "six hex digits"},
        Faute{"expect Shape1.Brush.Color 0XFFFFFF", "six hex digits"},
        Faute{"expect Shape1.Brush.Color 0xFFFFFFF", "six hex digits"},
        Faute{"expect Shape1.Brush.Color 0xFFFFFG", "six hex digits"},
        Faute{"expect etat 18", "malformed state \"18\""}, Faute{"expect etat -1", "malformed state"},
        Faute{"expect etat etat_alarme", "malformed state"}, Faute{"expect etat", "malformed state \"\""}));

TEST(Analyse, EveryErrorIsReportedWithItsLineAndNothingElseIsLost) {
    const Script s = analyser("turn\n# comment\ntick CheckBox99\r\n\nturn 0\nexpect etat 3\nfoo\n");
    ASSERT_EQ(s.erreurs.size(), 3u);
    EXPECT_EQ(s.erreurs[0].ligne, 3u);
    EXPECT_EQ(s.erreurs[1].ligne, 5u);
    EXPECT_EQ(s.erreurs[2].ligne, 7u);
    EXPECT_EQ(s.commandes.size(), 2u);
}

TEST(Analyse, MessagesShowControlBytesEscapedAndLongWordsCut) {
    const std::string m = erreurSeule(std::string("tick Check\0Box1\x1b", 16));
    EXPECT_NE(m.find("\"Check\\x00Box1\\x1B\""), std::string::npos) << m;
    const std::string longue = erreurSeule("x" + std::string(100000, 'y'));
    EXPECT_LT(longue.size(), 200u);
    EXPECT_NE(longue.find("...\""), std::string::npos);
}

TEST(Analyse, ArbitraryBytesNeverCrash) {
    std::string brut;
    for (int i = 0; i < 256; ++i)
        brut += static_cast<char>(i);
    const std::string entrees[] = {
        brut,
        brut + "\n" + brut,
        std::string(1 << 20, 'a'),
        std::string(1 << 16, '\n'),
        std::string(1 << 16, '\r'),
        "type MessageGardien \xFF\xFE\xC3\x28\xE2\x82",
        "expect MessageGardien.Text \xC3\x28",
        "expect etat \xFF",
        "turn " + std::string(5000, '9'),
        std::string("tick\0CheckBox1", 14),
        "\r",
        "turn\r",
        "expect Shape4.Brush.Color 0x",
        ".",
        "expect .",
        "expect .Text",
        "expect Edit1.",
    };
    for (const std::string& e : entrees) {
        const Script s = analyser(e);
        for (const Commande& c : s.commandes)
            EXPECT_GE(c.tours, 1);
    }
    // A run of newlines numbers every line.
    const Script s = analyser(std::string(70000, '\n') + "bad");
    ASSERT_EQ(s.erreurs.size(), 1u);
    EXPECT_EQ(s.erreurs[0].ligne, 70001u);
}
