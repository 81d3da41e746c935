#include "tools/search/Alphabet.h"

#include "control/Controleur.h"
#include "panel/PanneauOperateur.h"

namespace borne::search {

namespace {

bool checked(const PanneauOperateur& panel, const char* name) {
    const Valeur v = panel.trouver(name)->lire(Propriete::Checked);
    return std::get<bool>(v);
}

// Ticks or unticks one box, or nothing when it is already so.
std::vector<Press> set(const PanneauOperateur& panel, const char* name, bool on) {
    if (checked(panel, name) == on) return {};
    return {{name, on}};
}

std::vector<Press> place(const PanneauOperateur& panel, bool upstream, bool downstream) {
    auto presses = set(panel, "CheckBox1", upstream);
    for (const Press& p : set(panel, "CheckBox2", downstream))
        presses.push_back(p);
    return presses;
}

// The accepted code's digit at the position the terminal will fill next, or -1 if the code has none
// there (a local code that is not four digits accepts nothing, and any key is then as good as another).
int nextDigit(const Controleur& terminal, std::string_view code) {
    const auto i = static_cast<std::size_t>(terminal.valeurs().nbChiffres);
    if (i >= code.size() || code[i] < '0' || code[i] > '9') return -1;
    return code[i] - '0';
}

} // namespace

const char* keyControl(int digit) {
    const CaseACocher* key = panneau().touche(digit);
    return key != nullptr ? key->nom().c_str() : nullptr;
}

std::vector<Press> pressesFor(Action action, const PanneauOperateur& panel, const Controleur& terminal,
                              std::string_view code) {
    switch (action) {
    case Action::Wait: return {};
    case Action::Place0: return place(panel, false, false);
    case Action::Place1: return place(panel, true, false);
    case Action::Place2: return place(panel, true, true);
    case Action::Place3: return place(panel, false, true);
    case Action::CardIn: return set(panel, "CheckBox10", true);
    case Action::CardOut: return set(panel, "CheckBox10", false);
    case Action::RightDigit: {
        const int d = nextDigit(terminal, code);
        return d < 0 ? std::vector<Press>{} : set(panel, keyControl(d), true);
    }
    case Action::WrongDigit: {
        // The lowest digit that is not the right one: 1, or 2 when 1 is right.
        const int d = nextDigit(terminal, code) == 1 ? 2 : 1;
        return set(panel, keyControl(d), true);
    }
    case Action::Call: return set(panel, "CheckBox6", true);
    case Action::Authorise: return set(panel, "CheckBox3", true);
    case Action::AlarmOn: return set(panel, "CheckBox8", true);
    case Action::AlarmOff: return set(panel, "CheckBox8", false);
    case Action::LightOn: return set(panel, "CheckBox7", true);
    case Action::LightOff: return set(panel, "CheckBox7", false);
    case Action::MessageOn: return set(panel, "CheckBox9", true);
    case Action::MessageOff: return set(panel, "CheckBox9", false);
    }
    return {};
}

std::vector<Action> alphabetFor(const Controleur& terminal, bool display) {
    std::vector<Action> actions = {Action::Wait,       Action::Place0, Action::Place1,  Action::Place2,
                                   Action::Place3,     Action::CardIn, Action::CardOut, Action::RightDigit,
                                   Action::WrongDigit, Action::Call};
    if (terminal.modeCourant() != MODE_LOCAL)
        for (Action a : {Action::Authorise, Action::AlarmOn, Action::AlarmOff})
            actions.push_back(a);
    if (terminal.modeCourant() != MODE_LOCAL && display)
        for (Action a : {Action::LightOn, Action::LightOff, Action::MessageOn, Action::MessageOff})
            actions.push_back(a);
    return actions;
}

std::string_view actionName(Action action) {
    switch (action) {
    case Action::Wait: return "wait";
    case Action::Place0: return "car off the loops";
    case Action::Place1: return "car on the upstream loop";
    case Action::Place2: return "car on both loops";
    case Action::Place3: return "car on the downstream loop";
    case Action::CardIn: return "card in";
    case Action::CardOut: return "card out";
    case Action::RightDigit: return "right digit";
    case Action::WrongDigit: return "wrong digit";
    case Action::Call: return "call the attendant";
    case Action::Authorise: return "authorise";
    case Action::AlarmOn: return "alarm on";
    case Action::AlarmOff: return "alarm off";
    case Action::LightOn: return "light on";
    case Action::LightOff: return "light off";
    case Action::MessageOn: return "message on";
    case Action::MessageOff: return "message off";
    }
    return "?";
}

} // namespace borne::search
