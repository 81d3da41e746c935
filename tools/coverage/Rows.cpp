#include "coverage/Rows.h"

#include "control/ObservateurTour.h"

#include <charconv>

namespace borne::coverage {

namespace {

// Conditions use the table's own words: pos is the position read in step 1, "full" is etatParking = 4.
constexpr std::array<Row, ROW_COUNT> kRows = {{
    {0, 1, "always, first (FermerBarriere)", 0},
    {0, 2, "pos 0, car park full", goes(0)},
    {0, 3, "pos 0, car park not full (tries and flags reset)", goes(0)},
    {0, 4, "pos 1, car park full", goes(0)},
    {0, 5, "pos 1, car park not full", goes(1)},
    {0, 6, "pos 2", goes(0)},
    {0, 7, "pos 3 (an exit)", goes(10)},

    {1, 1, "pos 0", goes(0)},
    {1, 2, "pos 1 (keypad entry, fourth digit, card)", goes(2, 3, 1)},
    {1, 3, "pos 2 or 3", goes(1)},
    {1, 4, "after the rows above, any pos (authorisation test)", goes(4)},
    {1, 5, "last, any pos (display)", 0},

    {2, 1, "pos 0", goes(0)},
    {2, 2, "pos 1, nbEssais >= 3", goes(14)},
    {2, 3, "pos 1, nbEssais < 3, mode != 4, code accepted", goes(5)},
    {2, 4, "pos 1, nbEssais < 3, mode != 4, code refused", goes(1)},
    {2, 5, "pos 1, nbEssais < 3, mode 4, code equal to codeLocal", goes(5)},
    {2, 6, "pos 1, nbEssais < 3, mode 4, code different", goes(1)},
    {2, 7, "pos 1, nbEssais < 3, after the verification (card test)", goes(3)},
    {2, 8, "pos 2 or 3", goes(2)},

    {3, 1, "pos 0 (card forgotten)", goes(14)},
    {3, 2, "pos 1, first (LireCarte again)", 0},
    {3, 3, "pos 1, mode != 4, card accepted", goes(5, 3)},
    {3, 4, "pos 1, mode != 4, card refused", goes(1, 3)},
    {3, 5, "pos 1, mode 4, card equal to codeLocal", goes(5, 3)},
    {3, 6, "pos 1, mode 4, card different", goes(1, 3)},
    {3, 7, "pos 2 or 3", goes(3)},

    {4, 1, "pos 0", goes(0)},
    {4, 2, "pos 1", goes(5)},
    {4, 3, "pos 2 or 3", goes(4)},

    {5, 1, "always, first (OuvrirBarriere)", 0},
    {5, 2, "pos 0", goes(0)},
    {5, 3, "pos 2", goes(7)},

    {6, 1, "pos 0", goes(13)},
    {6, 2, "pos 2", goes(8)},

    {7, 1, "pos 1 (backing up)", goes(5)},
    {7, 2, "pos 3", goes(9)},

    {8, 1, "pos 1", goes(6)},
    {8, 2, "pos 3 (backing up)", goes(10)},

    {9, 1, "pos 0", goes(12)},
    {9, 2, "pos 2 (backing up)", goes(7)},

    {10, 1, "always, first (OuvrirBarriere)", 0},
    {10, 2, "pos 0", goes(0)},
    {10, 3, "pos 2", goes(8)},

    {11, 1, "always, first (OuvrirBarriere)", 0},
    {11, 2, "pos 0, alarm off", goes(0)},
    {11, 3, "pos 1, alarm off", goes(1)},
    {11, 4, "otherwise (boom stays up)", goes(11)},

    {12, 1, "always (entry reported)", goes(0)},

    {13, 1, "always (exit reported)", goes(0)},

    {14, 1, "pos 0 (card forgotten, told to the supervisor)", goes(0)},
    {14, 2, "pos 1 (3 tries max)", goes(14)},
    {14, 3, "pos 2 or 3", goes(14)},
}};

// Rows numbered without gaps: states in increasing order, ranks from 1 (an element left out of the
// list above would otherwise be a silent {0, 0}).
constexpr bool numbered() {
    int state = 0;
    int rank = 0;
    for (const Row& r : kRows) {
        if (r.state == state + 1 && r.rank == 1)
            state = r.state;
        else if (r.state != state || r.rank != rank + 1)
            return false;
        rank = r.rank;
    }
    return state == ETAT_DEFAUT;
}
static_assert(numbered());

// The same number of rows per state as the controller reports.
constexpr bool sameShapeAsController() {
    std::array<int, NB_ETATS> perState{};
    for (const Row& r : kRows)
        ++perState[static_cast<std::size_t>(r.state)];
    for (int s = 0; s < NB_ETATS; ++s)
        if (perState[static_cast<std::size_t>(s)] != NB_LIGNES_ETAT[s]) return false;
    return ROW_COUNT == NB_LIGNES_TABLE;
}
static_assert(sameShapeAsController());

// States in which a position that no row lists leaves the state as it is (5 to 10), and the three
// start states, which have no row at all.
constexpr std::uint32_t kUnchangedOtherwise = goes(5, 6, 7, 8, 9, 10, 15, 16, 17);

struct Allowed {
    std::array<std::uint32_t, NB_ETATS> to{};
    int count = 0;
};

constexpr Allowed derive() {
    Allowed a;
    for (const Row& r : kRows)
        a.to[static_cast<std::size_t>(r.state)] |= r.next;
    for (int s = 0; s < NB_ETATS; ++s) {
        auto& bits = a.to[static_cast<std::size_t>(s)];
        if (kUnchangedOtherwise & goes(s)) bits |= goes(s);
        bits |= goes(ETAT_ALARME); // the alarm is read whatever the current state
        for (int t = 0; t < NB_ETATS; ++t)
            if (bits & goes(t)) ++a.count;
    }
    return a;
}

constexpr Allowed kAllowed = derive();

} // namespace

const std::array<Row, ROW_COUNT>& rows() {
    return kRows;
}

std::optional<std::size_t> rowIndex(int state, int rank) noexcept {
    for (std::size_t i = 0; i < kRows.size(); ++i)
        if (kRows[i].state == state && kRows[i].rank == rank) return i;
    return std::nullopt;
}

std::string rowId(const Row& row) {
    return std::to_string(row.state) + '.' + std::to_string(row.rank);
}

std::optional<std::size_t> rowIndex(std::string_view id) noexcept {
    const auto point = id.find('.');
    if (point == std::string_view::npos) return std::nullopt;
    int s = 0;
    int k = 0;
    const char* fin = id.data() + id.size();
    const auto a = std::from_chars(id.data(), id.data() + point, s);
    const auto b = std::from_chars(id.data() + point + 1, fin, k);
    if (a.ec != std::errc{} || a.ptr != id.data() + point || b.ec != std::errc{} || b.ptr != fin)
        return std::nullopt;
    return rowIndex(s, k);
}

bool allowed(int from, int to) noexcept {
    if (from < 0 || from >= NB_ETATS || to < 0 || to >= NB_ETATS) return false;
    return (kAllowed.to[static_cast<std::size_t>(from)] & goes(to)) != 0;
}

int allowedCount() noexcept {
    return kAllowed.count;
}

const char* stateName(int state) noexcept {
    const char* nom = nomEtatCode(state);
    return nom != nullptr ? nom : "?";
}

const char* modeName(int mode) noexcept {
    const char* nom = nomModeCode(mode);
    return nom != nullptr ? nom : "?";
}

} // namespace borne::coverage
