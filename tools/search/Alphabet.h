// What a person can do at the panel between two turns, as the search sees it: at most one action per
// turn, each a few check-box writes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace borne {
class Controleur;
class PanneauOperateur;
} // namespace borne

namespace borne::search {

enum class Action : std::uint8_t {
    Wait,       // nothing: the turn runs on the panel as it is
    Place0,     // the car leaves the loops
    Place1,     // the car on the upstream loop alone
    Place2,     // the car on both loops
    Place3,     // the car on the downstream loop alone
    CardIn,     // a card into the slot
    CardOut,    // the card out of the slot
    RightDigit, // the key of the accepted code's next digit
    WrongDigit, // a key that is not the accepted code's next digit
    Call,       // the attendant-call button
    Authorise,  // the attendant lets the car in
    AlarmOn,
    AlarmOff,
    LightOn,
    LightOff,
    MessageOn,
    MessageOff,
};
inline constexpr int kActionCount = 17;

// One check-box write of an action.
struct Press {
    const char* control;
    bool checked;
};

// The writes that make `action` on the panel as it is, or nothing when the action would change nothing
// there (ticking a box already ticked, placing the car where it stands). `code` is the accepted code.
std::vector<Press> pressesFor(Action action, const PanneauOperateur& panel, const Controleur& terminal,
                              std::string_view code);

// The actions worth trying from here: the supervision station's controls only when the terminal has a
// supervision link (nothing else reads them).
std::vector<Action> alphabetFor(const Controleur& terminal, bool display);

std::string_view actionName(Action action); // "place 1", "card in", ...

// The check box of a digit key ("CheckBox21" for 0: the names do not follow the digits).
const char* keyControl(int digit);

} // namespace borne::search
