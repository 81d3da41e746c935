// borne-state-table: prints the page that explains the access cycle's state table, generated from
// control/TableEtats.h (docs/state-table.md). Exit status 2 for an argument or a failed write.
#include "control/TableEtats.h"
#include "tools/coverage/Rows.h"

#include <cctype>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace borne;

// The words the table and coverage.txt use, in the order a reader meets them.
constexpr struct {
    const char* word;
    const char* meaning;
} kGlossary[] = {
    {"turn", "one pass of the access cycle: read the inputs, run the rows of the current state, wait 500 ms, "
             "note the state and the event in the journal. Turns follow each other for ever."},
    {"S.K",
     "row K of state S, counted from 1 in the table's order. A condition with alternatives (\"pos 2 or "
     "3\") is one row; two conditions that lead to different places are two rows."},
    {"pos", "the vehicle's position, read once at the start of the turn from the two loops: 0 no car, 1 a "
            "car on the upstream loop (outside the car park) alone, 2 a car on both loops (under the boom), "
            "3 a car on the downstream loop (inside) alone."},
    {"any pos", "whatever the position."},
    {"guard", "a row that is one of several alternatives: it runs when its condition holds and no "
              "alternative above it in the same state held. At most one alternative runs in a turn."},
    {"always", "a step that runs in every turn of its state (or, for \"pos 1, first\", in every turn with "
               "pos 1), whatever the alternatives do. \"first\" means before the alternatives, \"last\" "
               "after everything else."},
    {"after the rows above", "a step that runs once the alternatives above it are done, and may replace the "
                             "next state they chose (the attendant's authorisation in state 1, the card test "
                             "after a code verification in state 2)."},
    {"after the verification", "after whichever of the four code verification rows ran (2.3 to 2.6)."},
    {"otherwise", "when no row above it held. In states 5 to 10 and 15 to 17, a position that no row lists "
                  "leaves the state as it is: states.dot labels that transition \"otherwise\"."},
    {"next", "the state the row chooses; it takes effect from the next turn. A row with no next changes "
             "nothing. Several next states mean the row's actions choose among them."},
    {"alarm", "the supervisor's alarm switch, read in every turn except in the standalone mode. A turn that "
              "reads it goes to state 11 before the table's step and runs the rows of state 11 instead of "
              "its own; states.dot labels those transitions \"alarm\"."},
    {"alarm off", "the alarm switch was not on in this turn."},
    {"car park full", "the supervision link says the car park is full (etatParking = 4, the event "
                      "PARKING_PLEIN). The standalone terminal never sees it."},
    {"mode", "how the terminal works, read from Config.cfg at start: 0 supervised, 1 out of service, 2 out "
             "of service with the boom raised, 3 test, 4 standalone (no supervision link, a local code)."},
    {"mode != 4", "every mode with a supervision link, which verifies codes and cards."},
    {"mode 4", "the standalone mode, which compares codes and cards with codeLocal."},
    {"nbEssais (the tries)",
     "the number of the keypad code try under way: 1 at the start and when the lane is empty, "
     "one more after each refused code, 0 after an accepted one. At 3 the entry is refused "
     "without verification (state 14, \"3 Essais max\")."},
    {"nbChiffres", "how many digits of the code under way have been typed, 0 to 3 between turns."},
    {"codeSaisi", "the digits typed, at most four."},
    {"codeMasque", "one \"*\" per digit typed, shown on the display after \"Code : \"."},
    {"codeLocal", "the four-digit code of the standalone mode, read from Config.cfg (code=)."},
    {"code accepted, code refused", "what the supervision link answers for the typed code."},
    {"code equal to codeLocal, code different", "the standalone mode's comparison of the typed code."},
    {"card accepted, card refused", "what the supervision link answers for the card's code (every card "
                                    "carries 6082)."},
    {"card equal to codeLocal, card different", "the standalone mode's comparison of the card's code."},
    {"carte", "1 when a card is in the reader at the start of the turn, 0 otherwise."},
    {"carteRefusee, codeRefuse (the flags)",
     "set by a refused card or code; while either is set (or nbEssais is above "
     "1) state 1 shows \"code non valide\" instead of the greeting."},
    {"authorisation test", "row 1.4: whether the attendant authorised the entry in this turn."},
    {"card test", "row 2.7: whether a card is in the reader."},
    {"card forgotten", "the car left the lane while its card was being checked (state 3): state 14 then "
                       "tells the supervisor \"carte oubliée\"."},
    {"backing up", "the car moves back the way it came."},
    {"an exit", "a car on the downstream loop alone in state 0 is leaving: it goes out even when the car "
                "park is full."},
    {"boom stays up", "in state 11 the boom is held up until the alarm is off and the lane empty (pos 0) or "
                      "a car on the upstream loop alone (pos 1)."},
    {"show A / B", "the display's two lines become A and B."},
    {"greeting",
     "the display's welcome, \"-      Bonjour!      -\" in mode 0 and the same ending in L in mode 4; "
     "the other modes show nothing there."},
    {"noted", "the event is noted as the turn's event, as the journal (Log.txt) records it."},
    {"OuvrirBarriere, FermerBarriere", "raise, lower the boom: 2000 ms when it moves, nothing when it is "
                                       "already there."},
    {"LireCarte", "reads the card reader."},
    {"SignalerPassage, AfficherDefaut", "tell the supervision link of a passage, show a fault on the "
                                        "supervisor's display."},
    {"AUTORISATION_OK, ENTREE_VEHICULE, SORTIE_VEHICULE", "the event codes of an accepted code or card, an "
                                                          "entry and an exit."},
    {"turns started", "in coverage.txt: how many turns started in the state."},
    {"<- not covered", "in coverage.txt: no turn reached the row."},
    {"<- not taken", "in coverage.txt: no turn took the transition, which the table allows."},
    {"<- outside the table", "in coverage.txt: a turn took a transition the table does not allow (never, "
                             "unless the controller and the table disagree)."},
    {"rows: N of 53, transitions: N of 66, states: N of 18", "in coverage.txt: how many rows were reached, "
                                                             "allowed transitions taken and states started "
                                                             "in, of all there are."},
};

const char* kindName(SorteLigne s) {
    switch (s) {
    case SorteLigne::Garde: return "guard";
    case SorteLigne::Toujours: return "always";
    case SorteLigne::Apres: return "after the rows above";
    }
    return "?";
}

std::string nextStates(Etats e) {
    std::string out;
    for (int s = 0; s < NB_ETATS; ++s)
        if ((e >> s & 1u) != 0) out += (out.empty() ? "" : ", ") + std::to_string(s);
    return out;
}

// Why some mode never reaches rows of a state, the rows with the same reason together.
struct Note {
    const char* who;
    std::string why;
    std::string rows;
};

std::vector<Note> notesOf(int etat) {
    std::vector<Note> notes;
    auto add = [&notes](const char* who, std::string why, const LigneTable& l) {
        for (Note& n : notes)
            if (std::string_view(n.who) == who && n.why == why) {
                n.rows += ", " + coverage::rowId(l);
                return;
            }
        notes.push_back({who, std::move(why), coverage::rowId(l)});
    };
    for (const LigneTable& l : TABLE_ETATS) {
        if (l.etat != etat) continue;
        if (l.notes.avecLiaison != nullptr)
            add("Modes 0 to 3 never reach", std::string(": ") + l.notes.avecLiaison, l);
        if (l.notes.sansLiaison == nullptr) continue;
        std::string when;
        switch (l.notes.siCodeLocal) {
        case SiCodeLocal::Toujours: break;
        case SiCodeLocal::EgalCarte: when = std::string(" when codeLocal is ") + CODE_CARTE; break;
        case SiCodeLocal::DifferentCarte: when = std::string(" when codeLocal is not ") + CODE_CARTE; break;
        case SiCodeLocal::PasQuatreChiffres: when = " when codeLocal is not four digits"; break;
        }
        add("The standalone mode never reaches", when + ": " + l.notes.sansLiaison, l);
    }
    return notes;
}

std::string page() {
    std::ostringstream out;
    out << "# The state table\n\n"
           "<!-- Generated by borne-state-table from control/TableEtats.h: edit the table, then run\n"
           "     build/tools/statetable/borne-state-table > docs/state-table.md\n"
           "     A test fails while this page and the table differ. -->\n\n"
           "Each turn of the access cycle runs the rows of the state it starts in (those of state 11 "
           "when it reads the alarm), from the top: the steps that always run, the first alternative "
           "whose condition holds, then the steps after the rows above. The state a row chooses takes "
           "effect from the next turn. The controller tags each row with `ligne<ETAT_X, K>()`, coverage "
           "counts them, and the search reaches them by the names `S.K` used here. The words are "
           "explained in the glossary at the end.\n\n"
           "The table has "
        << NB_LIGNES_TABLE << " rows and allows " << NB_TRANSITIONS_PERMISES << " transitions.\n";
    for (int s = 0; s < NB_ETATS; ++s) {
        std::string sens = ETATS_TABLE[s].sens;
        sens[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(sens[0])));
        out << "\n## " << s << " " << nomEtatCode(s) << "\n\n" << sens << ".\n\n";
        if (nbLignes(s) == 0) {
            out << "No rows: nothing happens in this state.\n";
        } else {
            out << "| Row | Kind | Condition | Actions | Next |\n|---|---|---|---|---|\n";
            for (const LigneTable& l : TABLE_ETATS)
                if (l.etat == s)
                    out << "| " << coverage::rowId(l) << " | " << kindName(l.sorte) << " | " << l.condition
                        << " | " << l.actions << " | " << nextStates(l.suivants) << " |\n";
        }
        for (const Note& n : notesOf(s))
            out << "\n" << n.who << " " << n.rows << n.why << ".\n";
        out << "\nTransitions the table allows:";
        const char* separator = " ";
        for (int t = 0; t < NB_ETATS; ++t)
            if (transitionPermise(s, t)) {
                out << separator << "to " << t << " (" << coverage::transitionRows(s, t) << ")";
                separator = ", ";
            }
        out << ".\n";
    }
    out << "\n## Glossary\n\n";
    for (const auto& g : kGlossary)
        out << "- **" << g.word << "**: " << g.meaning << "\n";
    return out.str();
}

} // namespace

int main(int argc, char**) {
    if (argc != 1) {
        std::cerr << "usage: borne-state-table > docs/state-table.md\n";
        return 2;
    }
    std::cout << page();
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "borne-state-table: cannot write the page\n";
        return 2;
    }
    return 0;
}
