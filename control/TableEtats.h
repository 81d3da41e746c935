// The access cycle's state table, once, as data: every row `S.K` (state S, its K-th row counted from 1
// in the table's order, a condition with alternatives split into one row per alternative) with its
// kind, its condition and its actions in short words, the states it may choose, and why a mode never
// reaches it where the mode decides. The controller tags each row's branch with ligne<S, K>(), checked
// here when compiled; the row counts, the transitions the table allows, coverage, the search and
// docs/state-table.md all read this table.
#pragma once

#include "control/Codes.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace borne {

// How a row runs among the rows of its state.
enum class SorteLigne {
    Garde,    // an alternative: runs when its condition holds and no alternative above it did
    Toujours, // a step that runs whenever the turn gets there, whatever the alternatives
    Apres,    // runs after the alternatives above it and may override the state they chose
};

// A set of states, one bit each.
using Etats = std::uint32_t;
template <typename... E> constexpr Etats vers(E... etats) {
    return ((Etats{1} << static_cast<int>(etats)) | ... | Etats{0});
}

// For which local codes the standalone mode's note holds.
enum class SiCodeLocal { Toujours, EgalCarte, DifferentCarte, PasQuatreChiffres };

// Why a mode never reaches a row; nullptr where it can.
struct NotesMode {
    const char* avecLiaison = nullptr; // modes 0 to 3, which have the supervision link
    const char* sansLiaison = nullptr; // the standalone mode
    SiCodeLocal siCodeLocal = SiCodeLocal::Toujours;
};

struct LigneTable {
    Etat etat;
    int rang; // K, counted from 1 within its state
    SorteLigne sorte;
    const char* condition; // as coverage.txt prints it
    const char* actions;
    Etats suivants; // the states its Next column names; none when the row does not choose
    NotesMode notes;
};

// What each state is, and whether a position that no row of it lists leaves it as it is.
struct EtatTable {
    const char* sens;
    bool resteSinon;
};

inline constexpr EtatTable ETATS_TABLE[NB_ETATS] = {
    {"lane empty, boom kept down, greeting or car-park-full text shown", false},
    {"a car on the upstream loop, waiting for a code, a card or the attendant", false},
    {"four digits typed: the keypad code is verified", false},
    {"card inserted: its code is verified in every turn until it is withdrawn", false},
    {"the attendant has authorised the entry", false},
    {"entering car on the upstream loop, boom raised", true},
    {"leaving car on the upstream loop", true},
    {"entering car on both loops", true},
    {"leaving car on both loops", true},
    {"entering car on the downstream loop", true},
    {"leaving car on the downstream loop, boom raised", true},
    {"alarm: the boom held up", false},
    {"an entry is over and reported", false},
    {"an exit is over and reported", false},
    {"fault: too many tries, or a card forgotten", false},
    {"out of service (start state of mode 1); only an alarm leaves it", true},
    {"out of service, boom raised (start state of mode 2); only an alarm leaves it", true},
    {"test mode (start state of mode 3); only an alarm leaves it", true},
};

namespace table {

using enum SorteLigne;
inline constexpr const char* kLocalSeulement = "compares with the local code: the standalone mode only";
inline constexpr const char* kDemandeLiaison = "asks the supervision link, which the standalone mode has not";

} // namespace table

// Rows grouped by state in increasing order, ranks in order. Conditions use the table's own words: pos
// is the position read in the turn's first step, "full" is etatParking = 4.
inline constexpr std::array<LigneTable, 53> TABLE_ETATS = [] {
    using namespace table;
    constexpr Etat E0 = ETAT_VEHICULE_ABSENT, E1 = ETAT_ATTENTE_AUTORISATION, E2 = ETAT_VERIFIER_CODECLAVIER,
                   E3 = ETAT_VERIFIER_CARTE, E4 = ETAT_APPEL_GARDIEN,
                   E5 = ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT, E6 = ETAT_VEHICULE_SUR_BOUCLE_AMONT_SORTANT,
                   E7 = ETAT_VEHICULE_AU_MILIEU_ENTRANT, E8 = ETAT_VEHICULE_AU_MILIEU_SORTANT,
                   E9 = ETAT_VEHICULE_SUR_BOUCLE_AVAL_ENTRANT, E10 = ETAT_VEHICULE_SUR_BOUCLE_AVAL_SORTANT,
                   E11 = ETAT_ALARME, E12 = ETAT_VEHICULE_ENTRE, E13 = ETAT_VEHICULE_SORT, E14 = ETAT_DEFAUT;
    constexpr const char* aucune = "none";
    constexpr const char* leve = "OuvrirBarriere (the boom rises, 2000 ms, when it is down)";
    constexpr const char* refuseCode = "nbEssais + 1, codeRefuse = 1, codeSaisi emptied";
    constexpr const char* accepteCarte =
        "AUTORISATION_OK noted; show \"acces autorise\" / \"retirer carte\"; "
        "once the card is out: next 5 and show \"entrez...\"";
    constexpr const char* refuseCarte =
        "carteRefusee = 1; show \"Acces refuse !\" / \"retirer carte\"; once the card is out: next 1";
    constexpr NotesMode liaison{nullptr, kDemandeLiaison};
    constexpr NotesMode jamaisPlein{nullptr, "the standalone terminal never sees the car park full"};
    constexpr NotesMode gardien{
        nullptr, "the attendant's authorisation comes through the supervision link, absent standalone"};
    constexpr NotesMode alarme{nullptr, "the alarm comes through the supervision link, absent standalone"};
    // clang-format off
    return std::array<LigneTable, 53>{{
        {E0, 1, Toujours, "always, first (FermerBarriere)",
         "FermerBarriere (the boom comes down, 2000 ms, when it is up)", 0, {}},
        {E0, 2, Garde, "pos 0, car park full", "show \"COMPLET\"", vers(E0), jamaisPlein},
        {E0, 3, Garde, "pos 0, car park not full (tries and flags reset)",
         "nbEssais = 1, carteRefusee = 0, codeRefuse = 0; modes 0 and 4: show the greeting", vers(E0), {}},
        {E0, 4, Garde, "pos 1, car park full", "none: the car waits", vers(E0), jamaisPlein},
        {E0, 5, Garde, "pos 1, car park not full", aucune, vers(E1), {}},
        {E0, 6, Garde, "pos 2", aucune, vers(E0), {}},
        {E0, 7, Garde, "pos 3 (an exit)", "none: an exit goes out even when the car park is full", vers(E10),
         {}},

        {E1, 1, Garde, "pos 0", aucune, vers(E0), {}},
        {E1, 2, Garde, "pos 1 (keypad entry, fourth digit, card)",
         "a digit key adds to codeSaisi and codeMasque; at the fourth digit nbChiffres = 0, codeMasque "
         "emptied, next 2; a card in the reader: next 3",
         vers(E2, E3, E1), {}},
        {E1, 3, Garde, "pos 2 or 3", aucune, vers(E1), {}},
        {E1, 4, Apres, "after the rows above, any pos (authorisation test)",
         "the attendant's authorisation: next 4, over any state chosen above", vers(E4), {}},
        {E1, 5, Toujours, "last, any pos (display)",
         "modes 0 and 4: show \"code non valide\" after a refusal, the greeting otherwise, over \"Code : \" "
         "and codeMasque",
         0, {}},

        {E2, 1, Garde, "pos 0", aucune, vers(E0), {}},
        {E2, 2, Garde, "pos 1, nbEssais >= 3", "codeRefuse = 0; no verification, no card test", vers(E14),
         {}},
        {E2, 3, Garde, "pos 1, nbEssais < 3, mode != 4, code accepted",
         "AUTORISATION_OK noted; show \"acces autorise\" / \"entrez...\"; nbEssais = 0, codeRefuse = 0",
         vers(E5), liaison},
        {E2, 4, Garde, "pos 1, nbEssais < 3, mode != 4, code refused", refuseCode, vers(E1), liaison},
        {E2, 5, Garde, "pos 1, nbEssais < 3, mode 4, code equal to codeLocal",
         "show \"acces autorise\" / \"entrez...\"; codeRefuse = 0 (no event noted, nbEssais kept)", vers(E5),
         {kLocalSeulement, "the local code is not four digits: no typed code can equal it",
          SiCodeLocal::PasQuatreChiffres}},
        {E2, 6, Garde, "pos 1, nbEssais < 3, mode 4, code different", refuseCode, vers(E1),
         {kLocalSeulement}},
        {E2, 7, Apres, "pos 1, nbEssais < 3, after the verification (card test)",
         "a card in the reader: next 3, over 5 or 1", vers(E3), {}},
        {E2, 8, Garde, "pos 2 or 3", aucune, vers(E2), {}},

        {E3, 1, Garde, "pos 0 (card forgotten)", aucune, vers(E14), {}},
        {E3, 2, Toujours, "pos 1, first (LireCarte again)",
         "LireCarte again; carte keeps the turn's first reading", 0, {}},
        {E3, 3, Garde, "pos 1, mode != 4, card accepted", accepteCarte, vers(E5, E3), liaison},
        {E3, 4, Garde, "pos 1, mode != 4, card refused", refuseCarte, vers(E1, E3),
         {"the card carries 6082, which the supervision link always accepts", kDemandeLiaison}},
        {E3, 5, Garde, "pos 1, mode 4, card equal to codeLocal", accepteCarte, vers(E5, E3),
         {kLocalSeulement, "the card carries 6082, which is not the local code",
          SiCodeLocal::DifferentCarte}},
        {E3, 6, Garde, "pos 1, mode 4, card different", refuseCarte, vers(E1, E3),
         {kLocalSeulement, "the card carries 6082, the local code: always accepted", SiCodeLocal::EgalCarte}},
        {E3, 7, Garde, "pos 2 or 3", aucune, vers(E3), {}},

        {E4, 1, Garde, "pos 0", aucune, vers(E0), gardien},
        {E4, 2, Garde, "pos 1", "show \"acces autorise\" / \"entrez...\"", vers(E5), gardien},
        {E4, 3, Garde, "pos 2 or 3", aucune, vers(E4), gardien},

        {E5, 1, Toujours, "always, first (OuvrirBarriere)", leve, 0, {}},
        {E5, 2, Garde, "pos 0", "none: the car left the lane, no passage", vers(E0), {}},
        {E5, 3, Garde, "pos 2", aucune, vers(E7), {}},

        {E6, 1, Garde, "pos 0", aucune, vers(E13), {}},
        {E6, 2, Garde, "pos 2", "none: the car backs up", vers(E8), {}},

        {E7, 1, Garde, "pos 1 (backing up)", aucune, vers(E5), {}},
        {E7, 2, Garde, "pos 3", aucune, vers(E9), {}},

        {E8, 1, Garde, "pos 1", aucune, vers(E6), {}},
        {E8, 2, Garde, "pos 3 (backing up)", aucune, vers(E10), {}},

        {E9, 1, Garde, "pos 0", aucune, vers(E12), {}},
        {E9, 2, Garde, "pos 2 (backing up)", aucune, vers(E7), {}},

        {E10, 1, Toujours, "always, first (OuvrirBarriere)", leve, 0, {}},
        {E10, 2, Garde, "pos 0", "none: the car left the lane, no passage", vers(E0), {}},
        {E10, 3, Garde, "pos 2", aucune, vers(E8), {}},

        {E11, 1, Toujours, "always, first (OuvrirBarriere)", leve, 0, alarme},
        {E11, 2, Garde, "pos 0, alarm off", "FermerBarriere, once the next state is set", vers(E0), alarme},
        {E11, 3, Garde, "pos 1, alarm off", "FermerBarriere, once the next state is set", vers(E1), alarme},
        {E11, 4, Garde, "otherwise (boom stays up)", aucune, vers(E11), alarme},

        {E12, 1, Toujours, "always (entry reported)", "modes 0 to 3: SignalerPassage(ENTREE_VEHICULE)",
         vers(E0), {}},

        {E13, 1, Toujours, "always (exit reported)", "modes 0 to 3: SignalerPassage(SORTIE_VEHICULE)",
         vers(E0), {}},

        {E14, 1, Garde, "pos 0 (card forgotten, told to the supervisor)",
         "modes 0 to 3: AfficherDefaut(\"carte oubliée\")", vers(E0), {}},
        {E14, 2, Garde, "pos 1 (3 tries max)",
         "show \"Acces refuse !\" / \"3 Essais max\"; modes 0 to 3: AfficherDefaut(\"- 3 Essais max -\")",
         vers(E14), {}},
        {E14, 3, Garde, "pos 2 or 3", aucune, vers(E14), {}},
    }};
    // clang-format on
}();

inline constexpr int NB_LIGNES_TABLE = static_cast<int>(TABLE_ETATS.size());

// Index of `S.K` in TABLE_ETATS, or -1 for a pair the table does not have.
constexpr int indexLigne(int etat, int rang) noexcept {
    for (std::size_t i = 0; i < TABLE_ETATS.size(); ++i)
        if (TABLE_ETATS[i].etat == etat && TABLE_ETATS[i].rang == rang) return static_cast<int>(i);
    return -1;
}

// How many rows a state has (none for 15 to 17, and outside 0..17).
constexpr int nbLignes(int etat) noexcept {
    int n = 0;
    for (const LigneTable& l : TABLE_ETATS)
        n += l.etat == etat ? 1 : 0;
    return n;
}

// The states one turn may end step 6 in when it starts in `depuis`: a state some row of it names, the
// state itself where a position no row lists leaves it unchanged, and ETAT_ALARME from every state
// (the alarm is read whatever the state). None outside 0..17.
constexpr Etats transitionsDepuis(int depuis) noexcept {
    if (depuis < 0 || depuis >= NB_ETATS) return 0;
    Etats e = vers(ETAT_ALARME);
    for (const LigneTable& l : TABLE_ETATS)
        if (l.etat == depuis) e |= l.suivants;
    if (ETATS_TABLE[depuis].resteSinon) e |= vers(depuis);
    return e;
}

constexpr bool transitionPermise(int depuis, int cible) noexcept {
    return cible >= 0 && cible < NB_ETATS && (transitionsDepuis(depuis) >> cible & 1u) != 0;
}

inline constexpr int NB_TRANSITIONS_PERMISES = [] {
    int n = 0;
    for (int s = 0; s < NB_ETATS; ++s)
        n += std::popcount(transitionsDepuis(s));
    return n;
}();

// Why `mode` never reaches the row (the standalone mode's note may depend on its local code); nullptr
// where nothing in the mode keeps the row out of reach.
constexpr const char* horsDePortee(const LigneTable& l, int mode, std::string_view codeLocal) noexcept {
    if (mode != MODE_LOCAL) return l.notes.avecLiaison;
    const bool quatreChiffres =
        codeLocal.size() == 4 && codeLocal.find_first_not_of("0123456789") == std::string_view::npos;
    switch (l.notes.siCodeLocal) {
    case SiCodeLocal::Toujours: return l.notes.sansLiaison;
    case SiCodeLocal::EgalCarte: return codeLocal == CODE_CARTE ? l.notes.sansLiaison : nullptr;
    case SiCodeLocal::DifferentCarte: return codeLocal != CODE_CARTE ? l.notes.sansLiaison : nullptr;
    case SiCodeLocal::PasQuatreChiffres: return quatreChiffres ? nullptr : l.notes.sansLiaison;
    }
    return nullptr;
}

namespace table {

// Rows numbered without gaps: states in increasing order, ranks from 1.
constexpr bool numerotee() {
    int etat = 0, rang = 0;
    for (const LigneTable& l : TABLE_ETATS) {
        if (l.etat == etat + 1 && l.rang == 1)
            etat = l.etat;
        else if (l.etat != etat || l.rang != rang + 1)
            return false;
        rang = l.rang;
    }
    return etat == ETAT_DEFAUT;
}
static_assert(numerotee(), "rows out of order or missing");
static_assert(NB_TRANSITIONS_PERMISES == 66);

} // namespace table

} // namespace borne
