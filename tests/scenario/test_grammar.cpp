// The script grammar: what each line becomes, what is refused with which line, that no input whatever
// can crash the parser, and that a printed command reads back as itself.
#include "control/Codes.h"
#include "tools/grammar/Grammar.h"

#include <gtest/gtest.h>
#include <string>

using namespace borne;
using namespace borne::scenario;

namespace {

Command only(std::string_view text) {
    const Script s = parse(text);
    EXPECT_TRUE(s.errors.empty()) << text << ": " << (s.errors.empty() ? "" : s.errors[0].message);
    EXPECT_EQ(s.commands.size(), 1u) << text;
    return s.commands.empty() ? Command{} : s.commands[0];
}

std::string onlyError(std::string_view text) {
    const Script s = parse(text);
    EXPECT_TRUE(s.commands.empty()) << text;
    EXPECT_EQ(s.errors.size(), 1u) << text;
    return s.errors.empty() ? std::string() : s.errors[0].message;
}

} // namespace

TEST(Grammar, TickUntickNameACheckBox) {
    Command c = only("tick CheckBox21");
    EXPECT_EQ(c.verb, Verb::Tick);
    EXPECT_EQ(c.control, "CheckBox21");
    c = only("untick CheckBox10");
    EXPECT_EQ(c.verb, Verb::Untick);
    EXPECT_EQ(c.control, "CheckBox10");
}

TEST(Grammar, TurnCountsFromOneToTheLimit) {
    EXPECT_EQ(only("turn").count, 1);
    EXPECT_EQ(only("turn 1").count, 1);
    EXPECT_EQ(only("turn 250").count, 250);
    EXPECT_EQ(only("turn 100000000").count, kMaxCount);
}

TEST(Grammar, WaitForceAndRelease) {
    EXPECT_EQ(only("wait 1").count, 1);
    EXPECT_EQ(only("wait 1999").verb, Verb::Wait);
    EXPECT_EQ(only("wait 100000000").count, kMaxCount);
    Command c = only("force CheckBox5 1");
    EXPECT_EQ(c.verb, Verb::Force);
    EXPECT_EQ(c.control, "CheckBox5");
    EXPECT_TRUE(c.value);
    EXPECT_FALSE(only("force CheckBox4 0").value);
    c = only("release CheckBox4");
    EXPECT_EQ(c.verb, Verb::Release);
    EXPECT_EQ(c.control, "CheckBox4");
}

TEST(Grammar, TypeTakesTheRestOfTheLineVerbatimInWindows1252) {
    Command c = only("type MessageGardien  Ouvrez  é ");
    EXPECT_EQ(c.verb, Verb::Type);
    EXPECT_EQ(c.control, "MessageGardien");
    EXPECT_EQ(c.text, " Ouvrez  \xE9 "); // the one space after the name is the separator
    EXPECT_EQ(only("type Edit1").text, "");
    EXPECT_EQ(only("type Edit1 ").text, "");
    EXPECT_EQ(only("type Edit2 a\xC4\x81z").text, "a?z"); // U+0101 has no Windows-1252 byte
    EXPECT_EQ(only("type Moteur tab\there").text, "tab\there");
}

TEST(Grammar, ExpectReadsEachKindOfValue) {
    Command c = only("expect CheckBox5.Checked 1");
    EXPECT_EQ(c.verb, Verb::Expect);
    EXPECT_EQ(c.property, Propriete::Checked);
    EXPECT_EQ(c.expected, Valeur(true));
    EXPECT_EQ(only("expect Image3.Visible 0").expected, Valeur(false));
    EXPECT_EQ(only("expect Shape4.Brush.Color 0x0000fF").expected, Valeur(Couleur{0x0000FF}));
    EXPECT_EQ(only("expect Edit1.Color 0xc0DCC0").expected, Valeur(Couleur{0xC0DCC0}));
    c = only("expect Edit1.Text   --- COMPLET !!!---  ");
    EXPECT_EQ(c.expected, Valeur(std::string("  --- COMPLET !!!---  ")));
    EXPECT_EQ(c.text, "  --- COMPLET !!!---  ");
    EXPECT_EQ(only("expect Default.Text").expected, Valeur(std::string()));
    EXPECT_EQ(only("expect Label3.Caption Gardien appelé").expected, Valeur(std::string("Gardien appelé")));
    EXPECT_EQ(only("expect StatusBar1.SimpleText pas de Vehicule").property, Propriete::SimpleText);
    EXPECT_EQ(only("expect Button13.Caption Quitter").property, Propriete::Caption);
    EXPECT_EQ(only("expect GroupBox14.Visible 1").property, Propriete::Visible);
}

TEST(Grammar, ExpectEtatTakesANumberOrAName) {
    for (int e = 0; e < NB_ETATS; ++e) {
        EXPECT_EQ(only("expect etat " + std::to_string(e)).state, e);
        EXPECT_EQ(only(std::string("expect etat ") + nomEtatCode(e)).state, e);
    }
    const Command c = only("expect etat ETAT_MODE_TEST");
    EXPECT_EQ(c.verb, Verb::ExpectState);
    EXPECT_EQ(c.text, "ETAT_MODE_TEST");
}

TEST(Grammar, UntilIsAnExpectationWithACountOfTurns) {
    Command c = only("until 4 Edit2.Text code : ");
    EXPECT_EQ(c.verb, Verb::Until);
    EXPECT_EQ(c.count, 4);
    EXPECT_EQ(c.control, "Edit2");
    EXPECT_EQ(c.expected, Valeur(std::string("code : "))); // the rest of the line, its blanks kept
    c = only("until 100000000 etat ETAT_DEFAUT");
    EXPECT_EQ(c.verb, Verb::UntilState);
    EXPECT_EQ(c.state, ETAT_DEFAUT);
    EXPECT_EQ(c.count, kMaxCount);
}

// Blanks nobody sees at the end of a line whose last word is a name or a number.
TEST(Grammar, TrailingBlanksEndOnlyTheLinesWithoutText) {
    const std::pair<const char*, const char*> lines[] = {{"tick CheckBox1 \t ", "tick CheckBox1"},
                                                         {"untick CheckBox1\t", "untick CheckBox1"},
                                                         {"force CheckBox5 1  ", "force CheckBox5 1"},
                                                         {"release CheckBox5 ", "release CheckBox5"},
                                                         {"turn ", "turn"},
                                                         {"turn\t", "turn"},
                                                         {"turn 3 \t", "turn 3"},
                                                         {"wait 250 ", "wait 250"}};
    for (const auto& [with, without] : lines)
        EXPECT_EQ(only(with), only(without)) << with;
    EXPECT_EQ(only("type Edit1 x ").text, "x ");
    EXPECT_EQ(only("expect Edit1.Text x\t").text, "x\t");
    EXPECT_EQ(only("until 2 Edit1.Text x ").text, "x ");
}

TEST(Grammar, CommentsBlankLinesAndIndentationAreSkipped) {
    const Script s = parse("# a comment\n\n   \t\n\t  # indented comment\n \t turn 3\n  tick CheckBox1\n");
    ASSERT_TRUE(s.errors.empty());
    ASSERT_EQ(s.commands.size(), 2u);
    EXPECT_EQ(s.commands[0].line, 5u);
    EXPECT_EQ(s.commands[0].count, 3);
    EXPECT_EQ(s.commands[1].line, 6u);
}

TEST(Grammar, CrLfEndsALineLikeLf) {
    const Script s = parse("turn\r\nexpect Edit1.Text abc\r\ntick CheckBox1\r\n");
    ASSERT_TRUE(s.errors.empty());
    ASSERT_EQ(s.commands.size(), 3u);
    EXPECT_EQ(s.commands[1].expected, Valeur(std::string("abc")));
    EXPECT_EQ(s.commands[2].line, 3u);
}

// Each faulty line alone, with the words its message must hold.
struct Fault {
    const char* line;
    const char* message;
};
class BadLines : public ::testing::TestWithParam<Fault> {};

TEST_P(BadLines, AreRefusedWithAMessage) {
    const std::string m = onlyError(GetParam().line);
    EXPECT_NE(m.find(GetParam().message), std::string::npos) << "got: " << m;
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, BadLines,
    ::testing::Values(
        Fault{"jump",
              "unknown command \"jump\" (tick, untick, type, turn, wait, expect, until, force, release)"},
        Fault{"Turn", "unknown command \"Turn\""}, Fault{"turn\t2", "unknown command"},
        Fault{"tick CheckBox99",
              "unknown control \"CheckBox99\" (did you mean CheckBox9? borne-scenario --controls"},
        Fault{"tick", "missing control name"}, Fault{"tick ", "missing control name"},
        Fault{"tick CheckBox1 x", "unexpected text after CheckBox1"},
        Fault{"tick Edit1", "tick takes a check box; Edit1 is an edit"},
        Fault{"untick Image2", "Image2 is a picture"},
        Fault{"type CheckBox1 x", "type takes an edit or a labelled edit; CheckBox1 is a check box"},
        Fault{"type Label3 x", "Label3 is a label"}, Fault{"type", "missing control name"},
        Fault{"turn 0", "malformed count \"0\""}, Fault{"turn -1", "malformed count"},
        Fault{"turn +3", "malformed count"}, Fault{"turn 2 x", "malformed count"},
        Fault{"turn 100000001", "malformed count"},
        Fault{"turn 99999999999999999999999999999", "malformed count"},
        Fault{"wait", "malformed duration \"\""},
        Fault{"wait 0", "malformed duration \"0\" (a whole number of"},
        Fault{"wait 100000001", "malformed duration"}, Fault{"wait 1.5", "malformed duration"},
        Fault{"wait 5 5", "malformed duration"}, Fault{"force", "force: missing control name"},
        Fault{"force CheckBox5", "malformed value \"\" for force CheckBox5 (0 or 1)"},
        Fault{"force CheckBox5 2", "(0 or 1)"}, Fault{"force CheckBox5 1 1", "malformed value"},
        Fault{"force Edit1 1", "force takes a check box; Edit1 is an edit"},
        Fault{"force Nope 1", "unknown control \"Nope\""}, Fault{"release", "release: missing control name"},
        Fault{"release CheckBox5 1", "release: unexpected text after CheckBox5"},
        Fault{"release Shape1", "release takes a check box; Shape1 is a shape"},
        Fault{"expect", "missing NAME.PROPERTY"}, Fault{"expect Edit1", "neither NAME.PROPERTY nor etat"},
        Fault{"expect Nope.Text x", "unknown control \"Nope\" (borne-scenario --controls lists them)"},
        Fault{"until", "malformed count \"\" for until"}, Fault{"until 0 etat 3", "malformed count \"0\""},
        Fault{"until 3", "until: missing NAME.PROPERTY or etat"},
        Fault{"until 3 etat", "malformed state \"\""}, Fault{"until 100000001 etat 3", "malformed count"},
        Fault{"until 2 Edit1.Checked 1", "no property Checked"},
        Fault{"until 2 Edti1.Text x", "did you mean Edit1?"},
        Fault{"until 2 Edit1", "until: \"Edit1\" is neither"},
        Fault{"expect Edit1.Colour 0xC0DCC0", "unknown property \"Colour\""},
        Fault{"expect Edit1.Checked 1", "Edit1 is an edit, which has no property Checked"},
        Fault{"expect Moteur.Color 0xFFFFFF", "no property Color"},
        Fault{"expect Image1.Caption x", "no property Caption"},
        Fault{"expect CheckBox1.Checked", "malformed value \"\""},
        Fault{"expect CheckBox1.Checked 2", "(0 or 1)"},
        Fault{"expect CheckBox1.Checked 1 ", "malformed value"},
        Fault{"expect Shape1.Brush.Color FFFFFF", "six hex digits"},
        Fault{"expect Shape1.Brush.Color 0XFFFFFF", "six hex digits"},
        Fault{"expect Shape1.Brush.Color 0xFFFFFFF", "six hex digits"},
        Fault{"expect Shape1.Brush.Color 0xFFFFFG", "six hex digits"},
        Fault{"expect etat 18", "malformed state \"18\""}, Fault{"expect etat -1", "malformed state"},
        Fault{"expect etat etat_alarme", "malformed state"}, Fault{"expect etat", "malformed state \"\""},
        Fault{"expect etat ETAT_VEHICULE_ENTRANT", "(did you mean ETAT_VEHICULE_ENTRE? 0 to 17"},
        Fault{"expect etat ETAT_ATTENTE", "(did you mean ETAT_ATTENTE_AUTORISATION? 0 to 17"},
        Fault{"expect Edit2.Text \"code : ", "unterminated quoted text \"\\\"code : \""},
        Fault{"until 2 Edit2.Text \"code\" :", "unexpected \" :\" after the quoted text"}));

// Values as the rules write them: in quotes blanks survive an editor; unquoted, the rest of the line.
TEST(Grammar, QuotedValuesAreUnquotedAndOthersStayVerbatim) {
    const std::pair<const char*, const char*> cases[] = {
        {"expect Edit2.Text \"code : \"", "code : "},
        {"expect Edit2.Text \"code : \" \t", "code : "},
        {"expect Edit1.Text \"say \\\"hi\\\" \\\\ \\n\"", "say \"hi\" \\ \\n"},
        {"until 4 Edit1.Text \"\"", ""},
        {"expect Edit1.Text a \"b\" ", "a \"b\" "},
        {"expect CheckBox1.Checked \"1\"", "1"},
    };
    for (const auto& [line, text] : cases)
        EXPECT_EQ(only(line).text, text) << line;
    EXPECT_EQ(only("expect CheckBox1.Checked \"1\"").expected, Valeur(true));
    EXPECT_EQ(only("until 2 etat \"ETAT_ALARME\"").state, ETAT_ALARME);
}

TEST(Grammar, AByteOrderMarkAndCrLfLineEndsAreNoPartOfTheScript) {
    const Script s = parse("\xEF\xBB\xBFtick CheckBox1\r\nexpect Edit2.Text \"code : \"\r\n");
    ASSERT_EQ(s.errorCount, 0u) << s.errors[0].message;
    ASSERT_EQ(s.commands.size(), 2u);
    EXPECT_EQ(s.commands[0].control, "CheckBox1");
    EXPECT_EQ(s.commands[1].text, "code : ");
}

TEST(Grammar, EveryErrorIsReportedWithItsLineAndNothingElseIsLost) {
    const Script s = parse("turn\n# comment\ntick CheckBox99\r\n\nturn 0\nexpect etat 3\nfoo\n");
    ASSERT_EQ(s.errors.size(), 3u);
    EXPECT_EQ(s.errors[0].line, 3u);
    EXPECT_EQ(s.errors[1].line, 5u);
    EXPECT_EQ(s.errors[2].line, 7u);
    EXPECT_EQ(s.commands.size(), 2u);
}

TEST(Grammar, MessagesShowControlBytesEscapedAndLongWordsCut) {
    const std::string m = onlyError(std::string("tick Check\0Box1\x1b", 16));
    EXPECT_NE(m.find("\"Check\\x00Box1\\x1B\""), std::string::npos) << m;
    const std::string longOne = onlyError("x" + std::string(100000, 'y'));
    EXPECT_LT(longOne.size(), 200u);
    EXPECT_NE(longOne.find("...\""), std::string::npos);
}

TEST(Grammar, ArbitraryBytesNeverCrash) {
    std::string raw;
    for (int i = 0; i < 256; ++i)
        raw += static_cast<char>(i);
    const std::string inputs[] = {
        raw,
        raw + "\n" + raw,
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
    for (const std::string& e : inputs) {
        const Script s = parse(e);
        for (const Command& c : s.commands)
            EXPECT_GE(c.count, 1);
    }
    // A run of newlines numbers every line.
    const Script s = parse(std::string(70000, '\n') + "bad");
    ASSERT_EQ(s.errors.size(), 1u);
    EXPECT_EQ(s.errors[0].line, 70001u);
}

// Every kind of line, printed back from what it parses to, reads the same; canonical lines print as
// themselves. The window's recorder prints what the runner will read.
TEST(Print, EveryCommandReadsBackAsItself) {
    const char* lines[] = {"tick CheckBox1",
                           "untick CheckBox10",
                           "turn",
                           "turn 250",
                           "wait 1",
                           "wait 1999",
                           "force CheckBox5 1",
                           "force CheckBox4 0",
                           "release CheckBox4",
                           "type MessageGardien  Ouvrez  é ",
                           "type Edit1",
                           "type Moteur tab\there",
                           "type Edit2 a\rb",
                           "expect CheckBox5.Checked 1",
                           "expect Shape4.Brush.Color 0x0000fF",
                           "expect Edit1.Text \"  --- COMPLET !!!---  \"",
                           "expect Default.Text \"\"",
                           "expect Edit1.Text \"\\\"quoted\\\" \\\\ \"",
                           "expect Edit1.Text a \"b\"",
                           "expect etat ETAT_MODE_TEST",
                           "expect etat 05",
                           "until 3 Edit2.Text \"code : \"",
                           "until 1 CheckBox4.Checked 1",
                           "until 12 etat ETAT_VEHICULE_ENTRE"};
    for (const char* line : lines) {
        const Command c = only(line);
        const auto printed = print(c);
        ASSERT_TRUE(printed) << line;
        EXPECT_EQ(*printed, line);
        EXPECT_EQ(only(*printed), c) << line;
    }
    // Windows-1252 bytes that UTF-8 writes in two or three bytes survive the trip.
    Command t = only("type Edit1 x");
    t.text = "\x80\x81\xE9\xFF";
    EXPECT_EQ(only(*print(t)).text, t.text);
}

TEST(Print, ProgramMadeCommandsUseTheTraceSpelling) {
    const PanneauOperateur& p = panneau();
    EXPECT_EQ(*print(expectCommand(p.Shape1, Propriete::BrushColor, Valeur(Couleur{0x008000}))),
              "expect Shape1.Brush.Color 0x008000");
    EXPECT_EQ(*print(expectCommand(p.Edit1, Propriete::Text, Valeur(std::string("caf\xE9")))),
              "expect Edit1.Text café");
    EXPECT_EQ(only("expect Edit1.Text café"), [] {
        Command c = expectCommand(panneau().Edit1, Propriete::Text, Valeur(std::string("caf\xE9")));
        c.line = 1;
        return c;
    }());
    EXPECT_EQ(*print(expectStateCommand(ETAT_ALARME)), "expect etat ETAT_ALARME");
}

TEST(Print, ATextThatCannotBeOneLineIsRefused) {
    Command c = only("type Edit1 x");
    c.text = "two\nlines";
    EXPECT_FALSE(print(c));
    c.text = "ends with CR\r";
    EXPECT_FALSE(print(c));
}

TEST(Grammar, ErrorsBeyondTheFirstTwentyAreCountedNotKept) {
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "bad\nturn\n";
    const Script s = check(text, panneau());
    EXPECT_EQ(s.errorCount, 3000u);
    EXPECT_EQ(s.errors.size(), kMaxErrorsKept);
    EXPECT_EQ(s.errors.back().line, 2 * kMaxErrorsKept - 1);
    EXPECT_TRUE(s.commands.empty()); // check() keeps no command
}
