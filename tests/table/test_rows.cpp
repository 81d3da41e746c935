// Every row of the access cycle's table, tested from its own state: the controller is given the row's
// working values, the panel the row's inputs, and one turn must reach exactly the row's tags, choose
// its next state and show what the row shows. One table per state, one case per row or alternative.
#include "control/TableEtats.h"
#include "tests/support/Lane.h"
#include "tests/table/TurnPaths.h"

#include <sstream>

// Each case names only the columns that matter to its row; the others keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace borne;
using borne::test::Lane;
using borne::test::TurnPaths;

namespace {

// What the turn leaves; nullptr / 0 / -1 where the row does not care.
struct Seen {
    const char* line1 = nullptr;
    const char* line2 = nullptr; // as the display shows it, in lower case
    const char* event = nullptr;
    const char* fault = nullptr; // the supervisor's fault display
    char boom = 0;               // 'U' up, 'D' down
    int nbEssais = -1;
    const char* codeSaisi = nullptr;
    int carteRefusee = -1;
    int codeRefuse = -1;
    int nbVehicules = -1;
};

struct Case {
    const char* name;
    ValeursTravail before;
    // Words: pos0..pos3 (the loops, pos0 if none), card, key0..key9, call (the attendant button),
    // alarm, grant (the attendant's authorisation), up (the boom raised before the turn).
    const char* inputs;
    const char* rows; // the rows the turn reaches, in order
    int next;
    Seen seen;
    Mode mode = MODE_SUPERVISE;
    const char* localCode = "6082";
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

// Checks a column of Seen unless the row leaves it unset.
void expectIf(const char* want, const std::string& actual, const char* what) {
    if (want == nullptr) return;
    EXPECT_EQ(actual, want) << what;
}
void expectIf(int want, int actual, const char* what) {
    if (want < 0) return;
    EXPECT_EQ(actual, want) << what;
}
void expectIf(char want, char actual, const char* what) {
    if (want == 0) return;
    EXPECT_EQ(actual, want) << what;
}

// The state of every case of one table.
std::vector<Case> from(Etat etat, std::vector<Case> cases) {
    for (auto& c : cases)
        c.before.etat = etat;
    return cases;
}

class Row : public Lane, public ::testing::WithParamInterface<Case> {
protected:
    void give(const std::string& inputs) {
        std::istringstream mots(inputs);
        for (std::string m; mots >> m;) {
            if (m == "pos1")
                upstream();
            else if (m == "pos2")
                middle();
            else if (m == "pos3")
                downstream();
            else if (m == "card")
                card(true);
            else if (m.rfind("key", 0) == 0)
                pressKey(std::stoi(m.substr(3)));
            else if (m == "call")
                callAttendant();
            else if (m == "alarm")
                alarm(true);
            else if (m == "grant")
                authorise();
            else if (m == "up") {
                panel.CheckBox5.setChecked(false, Auteur::Utilisateur);
                panel.CheckBox4.setChecked(true, Auteur::Utilisateur);
            } else
                ASSERT_EQ(m, "pos0") << "unknown input word";
        }
    }
};

const char* const BONJOUR = "-      Bonjour!      -";
const char* const BONJOUR_L = "-      Bonjour!      L";
const char* const HORS_SERVICE = "     HORS SERVICE     ";
const char* const AUTORISE = "-  acces autorise    -";
const char* const REFUSE = "-  Acces refuse !    -";
const char* const NON_VALIDE = "-  code non valide   -";
const char* const ENTREZ = "-  entrez...         -";
const char* const RETIRER = "-  retirer carte     -";

} // namespace

TEST_P(Row, ReachesItsRowsChoosesItsStateAndShowsItsEffect) {
    const Case& c = GetParam();
    start(c.mode, std::string("code=") + c.localCode + "\n");
    ASSERT_TRUE(terminal->installerValeurs(c.before));
    TurnPaths paths;
    terminal->observer(&paths);
    give(c.inputs);
    turn();

    const std::string rows = *c.rows ? std::string(" ") + c.rows : std::string();
    ASSERT_EQ(paths.turns.size(), 1u);
    EXPECT_EQ(paths.turns[0], std::to_string(c.before.etat) + ":" + rows + " -> " + std::to_string(c.next));
    EXPECT_EQ(state(), c.next);

    const Seen& s = c.seen;
    const ValeursTravail v = terminal->valeurs();
    expectIf(s.line1, line1(), "line 1");
    expectIf(s.line2, line2(), "line 2");
    expectIf(s.event, panel.Evenement.Text(), "event");
    expectIf(s.fault, panel.Default.Text(), "fault");
    expectIf(s.boom, boomUp() ? 'U' : boomDown() ? 'D' : '?', "boom");
    expectIf(s.nbEssais, v.nbEssais, "nbEssais");
    expectIf(s.codeSaisi, v.codeSaisi, "codeSaisi");
    expectIf(s.carteRefusee, v.carteRefusee ? 1 : 0, "carteRefusee");
    expectIf(s.codeRefuse, v.codeRefuse ? 1 : 0, "codeRefuse");
    expectIf(s.nbVehicules, v.nbVehicules, "nbVehicules");
}

#define ROWS(Suite, etat, ...)                                                                               \
    INSTANTIATE_TEST_SUITE_P(Suite, Row, ::testing::ValuesIn(from(etat, __VA_ARGS__)),                       \
                             [](const auto& info) { return std::string(info.param.name); })

// clang-format off
ROWS(State0, ETAT_VEHICULE_ABSENT, {
    {"pos0_full_keeps_tries", {.nbEssais = 2, .codeRefuse = true, .nbVehicules = 2}, "pos0", "0.1 0.2", 0,
     {.line1 = "  --- COMPLET !!!---  ", .nbEssais = 2, .codeRefuse = 1}},
    {"pos0_free_lowers_boom_and_resets", {.nbEssais = 2, .carteRefusee = true, .codeRefuse = true}, "up",
     "0.1 0.3", 0, {.line1 = BONJOUR, .boom = 'D', .nbEssais = 1, .carteRefusee = 0, .codeRefuse = 0}},
    {"pos0_free_standalone", {}, "pos0", "0.1 0.3", 0, {.line1 = BONJOUR_L}, MODE_LOCAL},
    {"pos0_free_out_of_service_shows_nothing", {.nbEssais = 2}, "pos0", "0.1 0.3", 0,
     {.line1 = HORS_SERVICE, .nbEssais = 1}, MODE_HORS_SERVICE},
    {"pos1_full_waits", {.nbVehicules = 2}, "pos1", "0.1 0.4", 0},
    {"pos1_free", {}, "pos1", "0.1 0.5", 1},
    {"pos2", {}, "pos2", "0.1 0.6", 0},
    {"pos3_leaves_even_when_full", {.nbVehicules = 2}, "pos3", "0.1 0.7", 10},
});

ROWS(State1, ETAT_ATTENTE_AUTORISATION, {
    {"pos0_keeps_the_partial_code", {.nbChiffres = 2, .codeSaisi = "12", .codeMasque = "**"}, "pos0",
     "1.1 1.4 1.5", 0, {.line1 = BONJOUR, .line2 = "code : **", .codeSaisi = "12"}},
    {"pos1_digit", {.nbChiffres = 2, .codeSaisi = "12", .codeMasque = "**"}, "pos1 key7", "1.2 1.4 1.5", 1,
     {.line2 = "code : ***", .codeSaisi = "127"}},
    {"pos1_fourth_digit", {.nbChiffres = 3, .codeSaisi = "608", .codeMasque = "***"}, "pos1 key2",
     "1.2 1.4 1.5", 2, {.line2 = "code : ", .codeSaisi = "6082"}},
    {"pos1_card", {}, "pos1 card", "1.2 1.4 1.5", 3},
    {"pos1_fourth_digit_card_and_grant", {.nbChiffres = 3, .codeSaisi = "608", .codeMasque = "***"},
     "pos1 card key2 grant", "1.2 1.4 1.5", 4, {.codeSaisi = "6082"}},
    {"pos2_ignores_a_digit", {}, "pos2 key5", "1.3 1.4 1.5", 1, {.codeSaisi = ""}},
    {"pos3_grant", {}, "pos3 grant", "1.3 1.4 1.5", 4},
    {"pos0_grant_while_leaving", {}, "grant", "1.1 1.4 1.5", 4},
    {"refused_before_shows_not_valid", {.carteRefusee = true}, "pos1", "1.2 1.4 1.5", 1,
     {.line1 = NON_VALIDE, .line2 = "code : "}},
    {"standalone_greeting", {}, "pos1", "1.2 1.4 1.5", 1, {.line1 = BONJOUR_L}, MODE_LOCAL},
    {"out_of_service_shows_nothing", {}, "pos1 key4", "1.2 1.4 1.5", 1,
     {.line1 = HORS_SERVICE, .codeSaisi = "4"}, MODE_HORS_SERVICE},
});

ROWS(State2, ETAT_VERIFIER_CODECLAVIER, {
    {"pos0", {.codeSaisi = "6082"}, "pos0", "2.1", 0},
    {"pos1_third_entry_not_verified", {.nbEssais = 3, .codeRefuse = true, .codeSaisi = "6082"}, "pos1 card",
     "2.2", 14, {.event = "VEHICULE_SUR_BOUCLE_AMONT", .codeRefuse = 0}},
    {"pos1_link_accepts", {.codeRefuse = true, .codeSaisi = "6082"}, "pos1", "2.3 2.7", 5,
     {.line1 = AUTORISE, .event = "AUTORISATION_OK", .nbEssais = 0, .codeRefuse = 0}},
    {"pos1_link_refuses", {.codeSaisi = "1111"}, "pos1", "2.4 2.7", 1,
     {.nbEssais = 2, .codeSaisi = "", .codeRefuse = 1}},
    {"pos1_standalone_equal", {.nbEssais = 2, .codeSaisi = "6082"}, "pos1", "2.5 2.7", 5,
     {.line2 = ENTREZ, .event = "VEHICULE_SUR_BOUCLE_AMONT", .nbEssais = 2}, MODE_LOCAL},
    {"pos1_standalone_different", {.codeSaisi = "1111"}, "pos1", "2.6 2.7", 1,
     {.nbEssais = 2, .codeSaisi = "", .codeRefuse = 1}, MODE_LOCAL},
    {"pos1_accepted_then_card", {.codeSaisi = "6082"}, "pos1 card", "2.3 2.7", 3},
    {"pos1_refused_then_card", {.codeSaisi = "1111"}, "pos1 card", "2.4 2.7", 3},
    {"pos2_waits", {.codeSaisi = "6082"}, "pos2", "2.8", 2},
    {"pos3_waits", {.codeSaisi = "6082"}, "pos3", "2.8", 2},
});

// Row 3.4 has no case: the card always carries the one code the supervision link accepts.
ROWS(State3, ETAT_VERIFIER_CARTE, {
    {"pos0_card_forgotten", {}, "pos0", "3.1", 14},
    {"pos1_accepted_card_still_in", {}, "pos1 card", "3.2 3.3", 3,
     {.line1 = AUTORISE, .line2 = RETIRER, .event = "AUTORISATION_OK"}},
    {"pos1_accepted_card_out", {.carteRefusee = true}, "pos1", "3.2 3.3", 5,
     {.line2 = ENTREZ, .carteRefusee = 0}},
    {"pos1_standalone_equal_keeps_the_flag", {.carteRefusee = true}, "pos1", "3.2 3.5", 5,
     {.line2 = ENTREZ, .event = "AUTORISATION_OK", .carteRefusee = 1}, MODE_LOCAL},
    {"pos1_standalone_different_card_in", {}, "pos1 card", "3.2 3.6", 3,
     {.line1 = REFUSE, .line2 = RETIRER, .carteRefusee = 1}, MODE_LOCAL, "1234"},
    {"pos1_standalone_different_card_out", {}, "pos1", "3.2 3.6", 1, {.line1 = REFUSE, .carteRefusee = 1},
     MODE_LOCAL, "1234"},
    {"pos2_waits", {}, "pos2 card", "3.7", 3},
});

ROWS(State4, ETAT_APPEL_GARDIEN, {
    {"pos0", {}, "pos0", "4.1", 0},
    {"pos1", {}, "pos1", "4.2", 5, {.line2 = ENTREZ}},
    {"pos3_waits", {}, "pos3", "4.3", 4},
});

// In states 5 to 10 a position the table does not list leaves the state as it is, and reaches no row
// but the "always" one.
ROWS(State5, ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT, {
    {"pos0_left_without_passage", {}, "pos0", "5.1 5.2", 0, {.boom = 'U'}},
    {"pos1_stays", {}, "pos1", "5.1", 5, {.boom = 'U'}},
    {"pos2", {}, "pos2", "5.1 5.3", 7},
    {"pos3_stays", {}, "pos3", "5.1", 5},
});

ROWS(State6, ETAT_VEHICULE_SUR_BOUCLE_AMONT_SORTANT, {
    {"pos0", {}, "pos0", "6.1", 13},
    {"pos2_backs_up", {}, "pos2", "6.2", 8},
    {"pos1_stays", {}, "pos1", "", 6},
});

ROWS(State7, ETAT_VEHICULE_AU_MILIEU_ENTRANT, {
    {"pos1_backs_up", {}, "pos1", "7.1", 5},
    {"pos3", {}, "pos3", "7.2", 9},
    {"pos0_stays_boom_not_moved", {}, "pos0", "", 7, {.boom = 'D'}},
});

ROWS(State8, ETAT_VEHICULE_AU_MILIEU_SORTANT, {
    {"pos1", {}, "pos1", "8.1", 6},
    {"pos3_backs_up", {}, "pos3", "8.2", 10},
    {"pos2_stays", {}, "pos2", "", 8},
});

ROWS(State9, ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT, {
    {"pos0", {}, "pos0", "9.1", 12},
    {"pos2_backs_up", {}, "pos2", "9.2", 7},
    {"pos3_stays", {}, "pos3", "", 9},
});

ROWS(State10, ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT, {
    {"pos0_left_without_passage", {}, "pos0", "10.1 10.2", 0, {.boom = 'U'}},
    {"pos2", {}, "pos2", "10.1 10.3", 8},
    {"pos3_stays", {}, "pos3", "10.1", 10, {.boom = 'U'}},
});

ROWS(State11, ETAT_ALARME, {
    {"pos0_alarm_over", {}, "pos0", "11.1 11.2", 0, {.boom = 'D'}},
    {"pos1_alarm_over", {}, "pos1", "11.1 11.3", 1, {.boom = 'D'}},
    {"pos2_alarm_over_boom_stays_up", {}, "pos2", "11.1 11.4", 11, {.boom = 'U'}},
    {"pos0_alarm_on", {}, "alarm", "11.1 11.4", 11, {.event = "ALARME_ACTIVE", .boom = 'U'}},
});

ROWS(State12, ETAT_VEHICULE_ENTRE, {
    {"counts_the_entry", {}, "pos0", "12.1", 0, {.nbVehicules = 1}},
    {"standalone_reports_nothing", {}, "pos0", "12.1", 0, {.nbVehicules = 0}, MODE_LOCAL},
});

ROWS(State13, ETAT_VEHICULE_SORT, {
    {"counts_the_exit", {.nbVehicules = 1}, "pos0", "13.1", 0, {.nbVehicules = 0}},
});

ROWS(State14, ETAT_DEFAUT, {
    {"pos0_card_forgotten", {}, "pos0", "14.1", 0, {.fault = "carte oubli\xE9" "e"}},
    {"pos0_standalone_sends_nothing", {}, "pos0", "14.1", 0, {.fault = ""}, MODE_LOCAL},
    {"pos1_three_tries", {}, "pos1", "14.2", 14,
     {.line1 = REFUSE, .line2 = "- 3 essais max -", .fault = "- 3 Essais max -"}},
    {"pos2_waits", {}, "pos2", "14.3", 14},
});

// No rows: nothing happens but the alarm, whose turn takes the alarm's rows whatever the state held.
ROWS(OutOfTable, ETAT_HORS_SERVICE, {
    {"out_of_service", {}, "pos1 key3", "", 15, {}, MODE_HORS_SERVICE},
    {"alarm_from_out_of_service", {}, "alarm", "11.1 11.4", 11, {.boom = 'U'}, MODE_HORS_SERVICE},
});

ROWS(AlarmFromAnyState, ETAT_VERIFIER_CODECLAVIER, {
    {"alarm_before_the_code_is_verified", {.codeSaisi = "6082"}, "pos1 alarm", "11.1 11.4", 11,
     {.event = "ALARME_ACTIVE", .nbEssais = 1}},
});

// A state no turn can reach, should one be held, puts the lane out of service without a row.
ROWS(OffTheTable, static_cast<Etat>(42), {
    {"goes_out_of_service", {}, "pos1", "", ETAT_HORS_SERVICE},
});
// clang-format on

namespace {
class Installation : public Lane {};
} // namespace

TEST_F(Installation, RefusesWhatWouldOverrunAFieldAndChangesNothing) {
    start(MODE_SUPERVISE);
    const ValeursTravail avant = terminal->valeurs();
    for (const ValeursTravail& v :
         {ValeursTravail{.nbChiffres = 4}, ValeursTravail{.nbChiffres = -1},
          ValeursTravail{.codeSaisi = "12345"}, ValeursTravail{.codeMasque = "*****"}}) {
        EXPECT_FALSE(terminal->installerValeurs(v));
        EXPECT_EQ(terminal->valeurs().etat, avant.etat);
        EXPECT_EQ(terminal->valeurs().nbEssais, avant.nbEssais);
    }
}

// Why a mode never reaches a row: the standalone mode's notes on the card and the local code hold only
// for the local codes they name.
TEST(ModeNotes, DependOnTheModeAndTheLocalCode) {
    const struct {
        int state, rank, mode;
        const char* codeLocal;
        const char* starts; // the note's first words; nullptr: none
    } cases[] = {
        {0, 5, MODE_SUPERVISE, "", nullptr},
        {0, 2, MODE_SUPERVISE, "", nullptr},
        {0, 2, MODE_LOCAL, "1234", "the standalone terminal never sees"},
        {2, 5, MODE_TEST, "", "compares with the local code"},
        {2, 5, MODE_LOCAL, "1234", nullptr},
        {2, 5, MODE_LOCAL, "12a4", "the local code is not four digits"},
        {2, 5, MODE_LOCAL, "123", "the local code is not four digits"},
        {3, 4, MODE_SUPERVISE, "", "the card carries 6082, which the supervision link"},
        {3, 4, MODE_LOCAL, "1234", "asks the supervision link"},
        {3, 5, MODE_LOCAL, "1234", "the card carries 6082, which is not the local code"},
        {3, 5, MODE_LOCAL, "6082", nullptr},
        {3, 6, MODE_LOCAL, "6082", "the card carries 6082, the local code"},
        {3, 6, MODE_LOCAL, "1234", nullptr},
    };
    for (const auto& c : cases) {
        const char* note = horsDePortee(TABLE_ETATS[static_cast<std::size_t>(indexLigne(c.state, c.rank))],
                                        c.mode, c.codeLocal);
        const std::string row = std::to_string(c.state) + "." + std::to_string(c.rank) + " in mode " +
                                std::to_string(c.mode) + " with " + c.codeLocal;
        if (c.starts == nullptr)
            EXPECT_EQ(note, nullptr) << row;
        else
            EXPECT_EQ(std::string(note != nullptr ? note : "").rfind(c.starts, 0), 0u) << row;
    }
}
