#include "tools/rules/Rules.h"

#include "base/Codes.h"
#include "base/Texte.h"
#include "control/Controleur.h"
#include "tools/files/Files.h"
#include "tools/grammar/Grammar.h"
#include "tools/rules/Target.h"

#include <algorithm>
#include <array>

namespace borne::search {

namespace {

// A rule is read and checked by recursion: these bound its depth, so no rule can exhaust the stack.
constexpr int kMaxDepth = 100;       // parentheses and `not` inside one another
constexpr int kMaxConditions = 1000; // NAME.PROPERTY = VALUE and etat = STATE in one rule

struct Token {
    enum class Kind { Word, Quoted, Open, Close, Equal, NotEqual, End } kind;
    std::string text;
};

// Splits a rule's line; false (with the message) on an unterminated quote.
bool tokenize(std::string_view line, std::vector<Token>& tokens, std::string& error) {
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '(' || c == ')') {
            tokens.push_back({c == '(' ? Token::Kind::Open : Token::Kind::Close, std::string(1, c)});
            ++i;
        } else if (c == '=') {
            tokens.push_back({Token::Kind::Equal, "="});
            ++i;
        } else if (c == '!' && i + 1 < line.size() && line[i + 1] == '=') {
            tokens.push_back({Token::Kind::NotEqual, "!="});
            i += 2;
        } else if (c == '"') {
            std::size_t end = 0;
            auto text = scenario::unquote(line.substr(i), end);
            if (!text) {
                error = "unterminated quoted text";
                return false;
            }
            tokens.push_back({Token::Kind::Quoted, std::move(*text)});
            i += end;
        } else {
            std::size_t j = i;
            while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '(' && line[j] != ')' &&
                   line[j] != '=' && line[j] != '"' && line[j] != '#' &&
                   !(line[j] == '!' && j + 1 < line.size() && line[j + 1] == '='))
                ++j;
            tokens.push_back({Token::Kind::Word, std::string(line.substr(i, j - i))});
            i = j;
        }
    }
    tokens.push_back({Token::Kind::End, ""});
    return true;
}

class Parser {
public:
    Parser(std::vector<Token> tokens, const PanneauOperateur& panel, RuleSet& set, Rule& rule)
        : tokens_(std::move(tokens)), panel_(panel), set_(set), rule_(rule) {}

    std::string error;

    std::unique_ptr<Expr> rule() {
        auto e = orExpr();
        if (e && peek().kind != Token::Kind::End)
            return fail("unexpected " + shown(peek()) + " after the rule");
        return e;
    }

private:
    const Token& peek() const { return tokens_[pos_]; }
    const Token& next() { return tokens_[pos_ < tokens_.size() - 1 ? pos_++ : pos_]; }
    bool keyword(const char* k) const { return peek().kind == Token::Kind::Word && peek().text == k; }

    static std::string shown(const Token& t) {
        if (t.kind == Token::Kind::End) return "end of line";
        if (t.kind == Token::Kind::Quoted) return "\"" + t.text + "\"";
        return "'" + t.text + "'";
    }

    std::unique_ptr<Expr> fail(std::string message) {
        if (error.empty()) error = std::move(message);
        return nullptr;
    }

    static std::unique_ptr<Expr> join(Expr::Kind k, std::unique_ptr<Expr> a, std::unique_ptr<Expr> b) {
        auto e = std::make_unique<Expr>();
        e->kind = k;
        e->a = std::move(a);
        e->b = std::move(b);
        return e;
    }

    std::unique_ptr<Expr> orExpr() {
        auto e = andExpr();
        while (e && keyword("or")) {
            next();
            auto b = andExpr();
            if (!b) return nullptr;
            e = join(Expr::Kind::Or, std::move(e), std::move(b));
        }
        return e;
    }

    std::unique_ptr<Expr> andExpr() {
        auto e = unary();
        while (e && keyword("and")) {
            next();
            auto b = unary();
            if (!b) return nullptr;
            e = join(Expr::Kind::And, std::move(e), std::move(b));
        }
        return e;
    }

    std::unique_ptr<Expr> unary() {
        if (depth_ > kMaxDepth) // the condition itself is not a level
            return fail("nested deeper than " + std::to_string(kMaxDepth) +
                        " levels (parentheses and not), the limit for a rule");
        ++depth_;
        auto e = nested();
        --depth_;
        return e;
    }

    std::unique_ptr<Expr> nested() {
        if (keyword("not")) {
            next();
            auto a = unary();
            return a ? join(Expr::Kind::Not, std::move(a), nullptr) : nullptr;
        }
        if (peek().kind == Token::Kind::Open) {
            next();
            auto e = orExpr();
            if (!e) return nullptr;
            if (peek().kind != Token::Kind::Close) return fail("missing ')' before " + shown(peek()));
            next();
            return e;
        }
        return atom();
    }

    std::unique_ptr<Expr> atom() {
        if (++conditions_ > kMaxConditions)
            return fail("more than " + std::to_string(kMaxConditions) + " conditions, the limit for a rule");
        const Token subject = next();
        if (subject.kind != Token::Kind::Word)
            return fail("expected NAME.PROPERTY or etat, found " + shown(subject));
        const Token op = next();
        if (op.kind != Token::Kind::Equal && op.kind != Token::Kind::NotEqual)
            return fail("expected = or != after " + subject.text + ", found " + shown(op));
        const Token value = next();
        if (value.kind != Token::Kind::Word && value.kind != Token::Kind::Quoted)
            return fail("missing value after " + subject.text + " " + op.text);
        const bool equal = op.kind == Token::Kind::Equal;

        auto e = std::make_unique<Expr>();
        if (subject.text == "etat") {
            e->kind = equal ? Expr::Kind::StateIs : Expr::Kind::StateIsNot;
            e->state = etatDepuisTexte(value.text);
            if (e->state < 0)
                return fail("unknown state \"" + value.text + "\" " + scenario::stateChoices(value.text));
            rule_.readsState = true;
            return e;
        }
        const auto dot = subject.text.find('.');
        if (dot == std::string::npos)
            return fail("\"" + subject.text + "\" is neither NAME.PROPERTY nor etat");
        const std::string name = subject.text.substr(0, dot);
        const std::string propName = subject.text.substr(dot + 1);
        const Controle* control = panel_.trouver(name);
        if (control == nullptr) return fail("unknown control \"" + name + "\"");
        std::optional<Propriete> prop;
        for (Propriete p : PROPRIETES)
            if (propName == nomPropriete(p)) prop = p;
        if (!prop) return fail("unknown property \"" + propName + "\"");
        if (!proprieteDe(control->genre(), *prop)) return fail(name + " has no property " + propName);

        e->kind = equal ? Expr::Kind::Equal : Expr::Kind::NotEqual;
        std::string why;
        auto parsed = scenario::propertyValue(*prop, value.text, subject.text, why);
        if (!parsed) return fail(why);
        if (auto* text = std::get_if<std::string>(&*parsed)) {
            // Compared as the panel holds it; a character it cannot hold never matches.
            std::string held = depuisUtf8(*text);
            e->matchable = versUtf8(held) == *text;
            e->value = std::move(held);
        } else {
            e->value = std::move(*parsed);
        }
        const PropertyRef ref{control, *prop};
        auto it = std::find(set_.properties.begin(), set_.properties.end(), ref);
        if (it == set_.properties.end()) it = set_.properties.insert(set_.properties.end(), ref);
        e->property = static_cast<int>(it - set_.properties.begin());
        if (std::find(rule_.reads.begin(), rule_.reads.end(), e->property) == rule_.reads.end())
            rule_.reads.push_back(e->property);
        return e;
    }

    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    int depth_ = 0;
    int conditions_ = 0;
    const PanneauOperateur& panel_;
    RuleSet& set_;
    Rule& rule_;
};

bool eval(const Expr& e, const std::vector<Valeur>& values, int state) {
    switch (e.kind) {
    case Expr::Kind::Equal: return e.matchable && values[static_cast<std::size_t>(e.property)] == e.value;
    case Expr::Kind::NotEqual:
        return !(e.matchable && values[static_cast<std::size_t>(e.property)] == e.value);
    case Expr::Kind::StateIs: return state >= 0 && state == e.state;
    case Expr::Kind::StateIsNot: return !(state >= 0 && state == e.state);
    case Expr::Kind::Not: return !eval(*e.a, values, state);
    case Expr::Kind::And: return eval(*e.a, values, state) && eval(*e.b, values, state);
    case Expr::Kind::Or: return eval(*e.a, values, state) || eval(*e.b, values, state);
    }
    return false;
}

} // namespace

RuleSet parseRules(std::string_view text, const PanneauOperateur& panel) {
    RuleSet set;
    scenario::LineReader lines(text); // the scripts' own line ends and byte order mark
    std::string_view line;
    std::size_t number = 0;
    while (lines.next(line, number)) {
        if (line.size() > kMaxRuleLine) {
            set.errors.push_back({number, "a line longer than " + std::to_string(kMaxRuleLine / 1024) +
                                              " KiB, the limit for a rule"});
            continue;
        }

        std::vector<Token> tokens;
        std::string error;
        if (!tokenize(line, tokens, error)) {
            set.errors.push_back({number, error});
            continue;
        }
        if (tokens.front().kind == Token::Kind::End) continue; // blank or comment
        Rule rule;
        rule.line = number;
        if (tokens.front().kind != Token::Kind::Word ||
            (tokens.front().text != "never" && tokens.front().text != "always")) {
            set.errors.push_back({number, "a rule starts with never or always"});
            continue;
        }
        rule.always = tokens.front().text == "always";
        const auto hash = [&] {
            // The line without its comment, for the reports: the first # outside quotes.
            bool quoted = false;
            for (std::size_t i = 0; i < line.size(); ++i) {
                if (line[i] == '\\' && quoted)
                    ++i;
                else if (line[i] == '"')
                    quoted = !quoted;
                else if (line[i] == '#' && !quoted)
                    return i;
            }
            return line.size();
        }();
        rule.text = std::string(scenario::trim(line.substr(0, hash)));
        tokens.erase(tokens.begin());
        if (tokens.front().kind == Token::Kind::End) {
            set.errors.push_back(
                {number, "missing condition after " + std::string(rule.always ? "always" : "never")});
            continue;
        }
        Parser parser(std::move(tokens), panel, set, rule);
        rule.expr = parser.rule();
        if (!rule.expr) {
            set.errors.push_back({number, parser.error});
            continue;
        }
        set.rules.push_back(std::move(rule));
    }
    return set;
}

bool loadRules(const std::string& path, RuleSet& rules, std::string& error, const files::Deadline& deadline) {
    std::string text;
    std::string why;
    if (!files::readWhole(path, text, why, {kMaxRulesFile, "a rules file", false, deadline})) {
        error = "borne-scenario: " + why + "\n";
        return false;
    }
    rules = parseRules(text, panneau());
    for (const RuleError& e : rules.errors)
        error += path + ":" + std::to_string(e.line) + ": " + e.message + "\n";
    return rules.errors.empty();
}

bool holds(const Rule& rule, const std::vector<Valeur>& values, int state) {
    const bool v = eval(*rule.expr, values, state);
    return rule.always ? v : !v;
}

std::vector<Valeur> currentValues(const RuleSet& set) {
    std::vector<Valeur> values;
    for (const PropertyRef& r : set.properties)
        values.push_back(r.control->lire(r.property));
    return values;
}

RuleChecker::RuleChecker(const RuleSet& rules) : rules_(rules), first_(rules.rules.size()) {
    reload();
}

void RuleChecker::reload() {
    values_ = currentValues(rules_);
}

void RuleChecker::reset() {
    for (auto& v : first_)
        v.reset();
}

bool RuleChecker::any() const {
    for (const auto& v : first_)
        if (v) return true;
    return false;
}

void RuleChecker::checkAll(int state, std::int64_t instant, const std::string& what) {
    values_ = currentValues(rules_);
    lastState_ = state;
    for (std::size_t i = 0; i < rules_.rules.size(); ++i)
        if (!first_[i] && !holds(rules_.rules[i], values_, state)) first_[i] = Violation{i, instant, what};
}

void RuleChecker::onWrite(const Ecriture& e, int state, std::int64_t instant, bool check) {
    // The cache follows every write, checked or not, so it is right when checking resumes.
    int changed = -1;
    for (std::size_t p = 0; p < rules_.properties.size(); ++p)
        if (rules_.properties[p].control == &e.controle && rules_.properties[p].property == e.propriete) {
            values_[p] = e.valeur;
            changed = static_cast<int>(p);
        }
    if (!check) return;
    const bool stateMoved = state != lastState_;
    lastState_ = state;
    for (std::size_t i = 0; i < rules_.rules.size(); ++i) {
        if (first_[i]) continue;
        const Rule& r = rules_.rules[i];
        // Nothing the rule reads changed: its verdict cannot have either.
        const bool concerned = (stateMoved && r.readsState) ||
                               std::find(r.reads.begin(), r.reads.end(), changed) != r.reads.end();
        if (!concerned || holds(r, values_, state)) continue;
        first_[i] = Violation{i, instant,
                              e.controle.nom() + "." + nomPropriete(e.propriete) + " = " +
                                  scenario::propertyText(e.valeur) +
                                  (e.auteur == Auteur::Terminal ? " (by the terminal)" : " (by the script)")};
    }
}

std::string describe(const RuleSet& rules, const std::string& rulesName, const Violation& v) {
    const Rule& r = rules.rules[v.rule];
    return rulesName + ":" + std::to_string(r.line) + ": " + r.text + ": broken at " +
           std::to_string(v.instant) + " ms by " + v.write;
}

RuleWatch::RuleWatch(const RuleSet& rules, std::function<std::int64_t()> now)
    : checker_(rules), now_(std::move(now)) {
    key_ = panneau().ajouterObservateur(
        [this](const Ecriture& e) { checker_.onWrite(e, state(), now_(), enabled_); });
}

RuleWatch::~RuleWatch() {
    panneau().retirerObservateur(key_);
}

int RuleWatch::state() const {
    return terminal_ != nullptr ? terminal_->etatCourant() : -1;
}

void RuleWatch::check(const std::string& what) {
    checker_.checkAll(state(), now_(), what);
}

} // namespace borne::search
