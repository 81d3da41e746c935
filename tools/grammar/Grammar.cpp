#include "tools/grammar/Grammar.h"

#include "base/Texte.h"
#include "control/Codes.h"
#include "tools/grammar/Controls.h"
#include "tools/grammar/Show.h"

#include <array>
#include <cstdio>

namespace borne::scenario {

namespace {

// "a check box", "an edit": the kind with its article, for messages.
std::string withArticle(Genre g) {
    const std::string kind = kindName(g);
    return (std::string_view("aeiou").find(kind[0]) != std::string_view::npos ? "an " : "a ") + kind;
}

bool digits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// A whole number made of digits only, or nothing when it is not one or exceeds `max`.
std::optional<std::int64_t> number(std::string_view s, std::int64_t max) {
    if (!digits(s)) return std::nullopt;
    std::int64_t n = 0;
    for (char c : s) {
        n = n * 10 + (c - '0');
        if (n > max) return std::nullopt;
    }
    return n;
}

std::optional<Propriete> property(std::string_view name) {
    for (Propriete p : PROPRIETES)
        if (name == nomPropriete(p)) return p;
    return std::nullopt;
}

// Splits at the first space: the word before, and whether a space was there with what follows it.
struct Split {
    std::string_view word;
    bool more;
    std::string_view rest;
};
Split split(std::string_view s) {
    const auto space = s.find(' ');
    if (space == std::string_view::npos) return {s, false, {}};
    return {s.substr(0, space), true, s.substr(space + 1)};
}

class LineParser {
public:
    LineParser(const PanneauOperateur& panel, std::size_t number, bool explained = true)
        : panel_(panel), number_(number), explained_(explained) {}

    ParsedLine parse(std::string_view text) {
        const std::string_view trimmed = trim(text);
        if (trimmed.empty() || trimmed.front() == '#') return std::monostate{};
        text.remove_prefix(static_cast<std::size_t>(trimmed.data() - text.data()));

        // Blanks nobody sees at the end of a line whose last word is a name or a number; type, expect
        // and until keep them, as the rest of their line is a text.
        const std::string_view first = split(trimmed).word;
        if (first == "tick" || first == "untick" || first == "force" || first == "release" ||
            first == "turn" || first == "wait")
            text = trimmed;

        const Split s = split(text);
        if (s.word == "tick" || s.word == "untick" || s.word == "release")
            checkBox(s.word == "tick" ? Verb::Tick : s.word == "untick" ? Verb::Untick : Verb::Release, s);
        else if (s.word == "force")
            force(s);
        else if (s.word == "type")
            type(s);
        else if (s.word == "turn")
            turn(s);
        else if (s.word == "wait")
            wait(s);
        else if (s.word == "expect")
            expect(s);
        else if (s.word == "until")
            until(s);
        else
            fail("unknown command " + quoted(s.word) +
                 " (tick, untick, type, turn, wait, expect, until, force, release)");
        if (error_) return ParseError{number_, std::move(*error_)};
        return std::move(command_);
    }

private:
    void fail(std::string message) { error_ = std::move(message); }

    void start(Verb v) {
        command_.line = number_;
        command_.verb = v;
    }

    // The control named, if it exists; otherwise the error is reported.
    const Controle* control(std::string_view name, std::string_view verb) {
        if (name.empty()) {
            fail(std::string(verb) + ": missing control name");
            return nullptr;
        }
        const Controle* c = panel_.trouver(name);
        if (c == nullptr) fail(explained_ ? unknownControl(name, panel_) : "unknown control");
        return c;
    }

    const Controle* checkBoxNamed(std::string_view name, const char* verb) {
        const Controle* c = control(name, verb);
        if (c == nullptr) return nullptr;
        if (c->genre() != Genre::CaseACocher) {
            fail(std::string(verb) + " takes a check box; " + c->nom() + " is " + withArticle(c->genre()));
            return nullptr;
        }
        return c;
    }

    static const char* verbName(Verb v) {
        switch (v) {
        case Verb::Tick: return "tick";
        case Verb::Untick: return "untick";
        case Verb::Release: return "release";
        default: return "force";
        }
    }

    void checkBox(Verb v, const Split& s) {
        const char* verb = verbName(v);
        if (!s.more) return fail(std::string(verb) + ": missing control name");
        const Split name = split(s.rest);
        const Controle* c = checkBoxNamed(name.word, verb);
        if (c == nullptr) return;
        if (name.more) return fail(std::string(verb) + ": unexpected text after " + c->nom());
        start(v);
        command_.control = c->nom();
    }

    void force(const Split& s) {
        if (!s.more) return fail("force: missing control name");
        const Split name = split(s.rest);
        const Controle* c = checkBoxNamed(name.word, "force");
        if (c == nullptr) return;
        if (name.rest != "0" && name.rest != "1")
            return fail("malformed value " + quoted(name.rest) + " for force " + c->nom() + " (0 or 1)");
        start(Verb::Force);
        command_.control = c->nom();
        command_.value = name.rest == "1";
    }

    void type(const Split& s) {
        if (!s.more) return fail("type: missing control name");
        const Split name = split(s.rest);
        const Controle* c = control(name.word, "type");
        if (c == nullptr) return;
        if (c->genre() != Genre::Edition && c->genre() != Genre::EditionEtiquetee)
            return fail("type takes an edit or a labelled edit; " + c->nom() + " is " +
                        withArticle(c->genre()));
        start(Verb::Type);
        command_.control = c->nom();
        // What the panel would store: each character that Windows-1252 cannot hold becomes one '?'.
        command_.text = depuisUtf8(name.rest);
    }

    void turn(const Split& s) {
        start(Verb::Turn);
        if (!s.more) return;
        const auto n = number(s.rest, kMaxCount);
        if (!n || *n < 1)
            return fail("malformed count " + quoted(s.rest) + " (a whole number from 1 to " +
                        std::to_string(kMaxCount) + ")");
        command_.count = *n;
    }

    void wait(const Split& s) {
        const auto n = number(s.rest, kMaxCount);
        if (!n || *n < 1)
            return fail("malformed duration " + quoted(s.rest) +
                        " (a whole number of milliseconds from 1 to " + std::to_string(kMaxCount) + ")");
        start(Verb::Wait);
        command_.count = *n;
    }

    void until(const Split& s) {
        const Split count = split(s.rest);
        const auto n = number(count.word, kMaxCount);
        if (!n || *n < 1)
            return fail("malformed count " + quoted(count.word) + " for until (a whole number from 1 to " +
                        std::to_string(kMaxCount) + ")");
        if (!count.more) return fail("until: missing NAME.PROPERTY or etat");
        expect(count, "until", Verb::Until, Verb::UntilState);
        command_.count = *n;
    }

    // `s.rest` is NAME.PROPERTY VALUE or etat VALUE.
    void expect(const Split& s, const char* verb = "expect", Verb onControl = Verb::Expect,
                Verb onState = Verb::ExpectState) {
        if (!s.more) return fail(std::string(verb) + ": missing NAME.PROPERTY or etat");
        const Split target = split(s.rest);
        std::string why;
        const auto written = writtenValue(target.rest, why); // empty when absent
        if (!written) return fail(std::string(verb) + " " + std::string(target.word) + ": " + why);
        const std::string& value = *written;

        if (target.word == "etat") {
            const int e = etatDepuisTexte(value);
            if (e < 0) return fail("malformed state " + scenario::quoted(value) + " " + stateChoices(value));
            start(onState);
            command_.state = e;
            command_.text = value;
            return;
        }

        const auto dot = target.word.find('.');
        if (dot == std::string_view::npos)
            return fail(std::string(verb) + ": " + quoted(target.word) +
                        " is neither NAME.PROPERTY nor etat");
        const Controle* c = control(target.word.substr(0, dot), verb);
        if (c == nullptr) return;
        const std::string_view propertyName = target.word.substr(dot + 1);
        const auto prop = property(propertyName);
        if (!prop) return fail("unknown property " + quoted(propertyName));
        if (!proprieteDe(c->genre(), *prop))
            return fail(c->nom() + " is " + withArticle(c->genre()) + ", which has no property " +
                        nomPropriete(*prop));

        const std::string what = c->nom() + "." + nomPropriete(*prop);
        auto expected = propertyValue(*prop, value, what, why);
        if (!expected) return fail(why);
        command_.expected = std::move(*expected);
        start(onControl);
        command_.control = c->nom();
        command_.property = *prop;
        command_.text = value;
    }

    const PanneauOperateur& panel_;
    std::size_t number_;
    bool explained_; // false: the message will not be shown, so nothing costly goes into it
    Command command_;
    std::optional<std::string> error_;
};

template <typename Keep> Script parseWith(std::string_view text, const PanneauOperateur& panel, Keep keep) {
    Script script;
    LineReader lines(text);
    std::string_view line;
    std::size_t n;
    while (lines.next(line, n)) {
        if (line.size() > kMaxScriptLine) {
            if (script.errorCount++ < kMaxErrorsKept)
                script.errors.push_back({n, "a line longer than " + std::to_string(kMaxScriptLine >> 20) +
                                                " MiB, the limit for a script"});
            continue;
        }
        ParsedLine parsed = LineParser(panel, n, script.errorCount < kMaxErrorsKept).parse(line);
        if (auto* c = std::get_if<Command>(&parsed)) {
            if (keep) script.commands.push_back(std::move(*c));
        } else if (auto* e = std::get_if<ParseError>(&parsed)) {
            if (script.errorCount++ < kMaxErrorsKept) script.errors.push_back(std::move(*e));
        }
    }
    return script;
}

} // namespace

ParsedLine parseLine(std::string_view line, std::size_t number, const PanneauOperateur& panel) {
    return LineParser(panel, number).parse(line);
}

LineReader::LineReader(std::string_view text) : rest_(text) {
    // Editors on some systems open a UTF-8 file with this mark; it is invisible, and no command.
    if (rest_.starts_with("\xEF\xBB\xBF")) rest_.remove_prefix(3);
}

bool LineReader::next(std::string_view& line, std::size_t& number) {
    if (rest_.empty()) return false;
    const auto end = rest_.find('\n');
    line = rest_.substr(0, end);
    if (end == std::string_view::npos) {
        rest_ = {};
    } else {
        rest_.remove_prefix(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1); // CR LF
    }
    number = ++number_;
    return true;
}

Script parse(std::string_view text) {
    return parse(text, panneau());
}

Script parse(std::string_view text, const PanneauOperateur& panel) {
    return parseWith(text, panel, true);
}

Script check(std::string_view text, const PanneauOperateur& panel) {
    return parseWith(text, panel, false);
}

std::optional<std::string> print(const Command& c) {
    // A line ends at LF, and a CR just before it is taken for a CR LF end.
    if (c.text.find('\n') != std::string::npos || (!c.text.empty() && c.text.back() == '\r'))
        return std::nullopt;
    switch (c.verb) {
    case Verb::Tick: return "tick " + c.control;
    case Verb::Untick: return "untick " + c.control;
    case Verb::Release: return "release " + c.control;
    case Verb::Force: return "force " + c.control + (c.value ? " 1" : " 0");
    case Verb::Turn: return c.count == 1 ? std::string("turn") : "turn " + std::to_string(c.count);
    case Verb::Wait: return "wait " + std::to_string(c.count);
    case Verb::Type:
        return c.text.empty() ? "type " + c.control : "type " + c.control + " " + versUtf8(c.text);
    case Verb::Expect:
    case Verb::Until: {
        std::string line = c.verb == Verb::Expect ? "expect " : "until " + std::to_string(c.count) + " ";
        return line + c.control + "." + nomPropriete(c.property) + " " + valueText(c.text);
    }
    case Verb::ExpectState: return "expect etat " + valueText(c.text);
    case Verb::UntilState: return "until " + std::to_string(c.count) + " etat " + valueText(c.text);
    }
    return std::nullopt;
}

std::string_view trim(std::string_view s) noexcept {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::optional<std::string> unquote(std::string_view text, std::size_t& end) {
    std::string value;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\')) {
            value += text[++i];
        } else if (text[i] == '"') {
            end = i + 1;
            return value;
        } else {
            value += text[i];
        }
    }
    return std::nullopt;
}

std::optional<std::string> writtenValue(std::string_view written, std::string& error) {
    if (!written.starts_with('"')) return std::string(written);
    std::size_t end = 0;
    auto value = unquote(written, end);
    if (!value) {
        error = "unterminated quoted text " + quoted(written);
        return std::nullopt;
    }
    if (written.find_first_not_of(" \t", end) != std::string_view::npos) {
        error = "unexpected " + quoted(written.substr(end)) + " after the quoted text";
        return std::nullopt;
    }
    return value;
}

std::string valueText(std::string_view value) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    if (!value.empty() && !blank(value.front()) && !blank(value.back()) && value.front() != '"')
        return std::string(value);
    std::string out = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

std::string propertyText(const Valeur& value) {
    if (const bool* b = std::get_if<bool>(&value)) return *b ? "1" : "0";
    if (const Couleur* c = std::get_if<Couleur>(&value)) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%06X", static_cast<unsigned>(*c));
        return text;
    }
    return versUtf8(std::get<std::string>(value));
}

namespace {

// A colour written as propertyText writes it: 0x and six hex digits (either case); nothing otherwise.
std::optional<Couleur> colourFromText(std::string_view s) noexcept {
    if (s.size() != 8 || s[0] != '0' || s[1] != 'x') return std::nullopt;
    Couleur c = 0;
    for (char h : s.substr(2)) {
        unsigned v;
        if (h >= '0' && h <= '9')
            v = static_cast<unsigned>(h - '0');
        else if (h >= 'a' && h <= 'f')
            v = static_cast<unsigned>(h - 'a' + 10);
        else if (h >= 'A' && h <= 'F')
            v = static_cast<unsigned>(h - 'A' + 10);
        else
            return std::nullopt;
        c = c << 4 | v;
    }
    return c;
}

} // namespace

std::optional<Valeur> propertyValue(Propriete property, std::string_view value, std::string_view what,
                                    std::string& error) {
    switch (property) {
    case Propriete::Checked:
    case Propriete::Visible:
        if (value == "0" || value == "1") return Valeur(value == "1");
        error = "malformed value " + quoted(value) + " for " + std::string(what) + " (0 or 1)";
        return std::nullopt;
    case Propriete::Color:
    case Propriete::BrushColor:
        if (const auto col = colourFromText(value)) return Valeur(*col);
        error = "malformed value " + quoted(value) + " for " + std::string(what) +
                " (0x and six hex digits, 0xBBGGRR)";
        return std::nullopt;
    case Propriete::Caption:
    case Propriete::Text:
    case Propriete::SimpleText: break;
    }
    return Valeur(std::string(value));
}

std::string stateChoices(std::string_view written) {
    std::vector<std::string> names;
    for (int e = 0; e < NB_ETATS; ++e)
        names.emplace_back(nomEtatCode(e));
    std::string hint = "(";
    std::vector<std::string> near = nearestNames(written, names);
    // A name cut short is too far from the whole one to be near: the names it begins.
    if (near.empty() && written.size() >= 6)
        for (const std::string& name : names)
            if (near.size() < 3 && name.size() > written.size() && name.starts_with(written))
                near.push_back(name);
    for (std::size_t i = 0; i < near.size(); ++i) {
        hint += i == 0 ? "did you mean " : ", ";
        hint += near[i];
    }
    if (!near.empty()) hint += "? ";
    return hint + "0 to 17 or ETAT_VEHICULE_ABSENT ... ETAT_MODE_TEST)";
}

Command expectCommand(const Controle& control, Propriete property, const Valeur& value) {
    Command c;
    c.verb = Verb::Expect;
    c.control = control.nom();
    c.property = property;
    c.text = propertyText(value);
    // Texts are compared as the trace shows them, in UTF-8.
    c.expected = std::holds_alternative<std::string>(value) ? Valeur(c.text) : value;
    return c;
}

Command expectStateCommand(int state) {
    Command c;
    c.verb = Verb::ExpectState;
    c.state = state;
    c.text = nomEtatOuCode(state);
    return c;
}

} // namespace borne::scenario
