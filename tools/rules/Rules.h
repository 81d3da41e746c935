// Safety rules on the panel and the controller's state, one a line:
//
//   never EXPR      the panel must never show EXPR
//   always EXPR     the panel must show EXPR at every instant
//
// EXPR combines `NAME.PROPERTY = VALUE`, `NAME.PROPERTY != VALUE`, `etat = STATE` and `etat != STATE`
// with `and`, `or`, `not` and parentheses (not binds tightest, then and, then or). VALUE is written as
// in `expect` (0/1, 0xBBGGRR, texts in UTF-8, the same parser) as one word, or in double quotes when it
// holds spaces or is empty, with \" and \\ inside. `#` starts a comment outside quotes.
//
// A rule is checked on the panel as built and after every write from then on, the terminal's and the
// user's. Before the controller exists (the panel as built, start-up's own writes) there is no state:
// `etat = S` is false and `etat != S` true.
#pragma once

#include "panel/PanneauOperateur.h"
#include "tools/files/Files.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace borne {
class Controleur;
}

namespace borne::search {

// A property of a control, for the rules and the search's situations.
struct PropertyRef {
    const Controle* control;
    Propriete property;
    bool operator==(const PropertyRef&) const = default;
};

struct Expr {
    enum class Kind { Equal, NotEqual, StateIs, StateIsNot, Not, And, Or };
    Kind kind = Kind::Equal;
    int property = 0;      // Equal, NotEqual: index in RuleSet::properties
    Valeur value;          // Equal, NotEqual: bool, colour, or the text in Windows-1252
    bool matchable = true; // false for a text the panel cannot hold: it is never equal
    int state = 0;         // StateIs, StateIsNot
    std::unique_ptr<Expr> a, b;
};

struct Rule {
    std::size_t line = 0;
    bool always = false; // else never
    std::string text;    // the line as written, without its comment
    std::unique_ptr<Expr> expr;
    bool readsState = false;
    std::vector<int> reads; // the properties it reads
};

struct RuleError {
    std::size_t line;
    std::string message;
};

struct RuleSet {
    std::vector<Rule> rules;
    std::vector<RuleError> errors;       // in line order; the rules are usable only when there is none
    std::vector<PropertyRef> properties; // every property some rule reads, each once
};

// What a rules file may hold: a longer line is an error; a larger file is refused whole by its reader.
inline constexpr std::size_t kMaxRuleLine = 64 * 1024;
inline constexpr std::size_t kMaxRulesFile = 1024 * 1024;

// Never throws and never recurses without bound: a rule nested too deep or too long is an error of its
// line.
RuleSet parseRules(std::string_view text, const PanneauOperateur& panel);
// Reads (at most kMaxRulesFile bytes) and parses a rules file on the process-wide panel; false with one
// "RULES:LINE: message" line per error (or "borne-scenario: cannot read RULES: why") in `error`. A named
// pipe waits for its writer until the deadline.
bool loadRules(const std::string& path, RuleSet& rules, std::string& error,
               const files::Deadline& deadline = std::nullopt);

// Is the rule kept by these values of the set's properties and the state given (-1: no controller)?
bool holds(const Rule& rule, const std::vector<Valeur>& values, int state);
// The set's properties as the process-wide panel holds them now.
std::vector<Valeur> currentValues(const RuleSet& set);

// A rule broken: when, and by which write.
struct Violation {
    std::size_t rule;     // index in the set
    std::int64_t instant; // virtual milliseconds since start-up
    std::string write;    // "Edit1.Text = -  acces autorise    - (by the terminal)", or "the panel as built"
};

// Keeps the first violation of each rule, told of each write to the panel as it happens.
class RuleChecker {
public:
    explicit RuleChecker(const RuleSet& rules);

    // The panel was put back into its stored state without telling anyone: read it again.
    void reload();
    void reset(); // forgets the violations
    // Checks every rule on the panel as it stands (`what` names the cause), with this state (-1: none).
    void checkAll(int state, std::int64_t instant, const std::string& what);
    // A write: follows it, and checks the rules it can change (all of them when the state moved).
    void onWrite(const Ecriture& e, int state, std::int64_t instant, bool check = true);

    const std::vector<std::optional<Violation>>& violations() const { return first_; }
    bool any() const;

private:
    const RuleSet& rules_;
    std::vector<Valeur> values_; // the rules' properties as the writes left them
    int lastState_ = -1;         // the state the rules were last checked with
    std::vector<std::optional<Violation>> first_;
};

// What a violation found on the state and panel that start-up leaves says instead of a write.
inline constexpr const char* kAtStartUp = "the state and panel start-up leaves";

// "RULES:LINE: never ...: broken at T ms by WRITE"
std::string describe(const RuleSet& rules, const std::string& rulesName, const Violation& v);

// A RuleChecker on the process-wide panel, for the search: checks while enabled.
class RuleWatch {
public:
    RuleWatch(const RuleSet& rules, std::function<std::int64_t()> now);
    ~RuleWatch();
    RuleWatch(const RuleWatch&) = delete;
    RuleWatch& operator=(const RuleWatch&) = delete;

    void attach(const Controleur* terminal) { terminal_ = terminal; } // nullptr: no controller
    void enable(bool on) { enabled_ = on; }
    void reset() { checker_.reset(); }
    void reload() { checker_.reload(); }
    void check(const std::string& what);
    const std::vector<std::optional<Violation>>& violations() const { return checker_.violations(); }

private:
    int state() const;

    RuleChecker checker_;
    std::function<std::int64_t()> now_;
    const Controleur* terminal_ = nullptr;
    bool enabled_ = true;
    int key_ = 0;
};

} // namespace borne::search
