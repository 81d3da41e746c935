// The script language of borne-scenario, in one place: a line becomes a command (or an error), and a
// command becomes a line again. The runner parses with it and the window's recorder prints with it, so
// what one writes the other reads.
//
//   tick NAME | untick NAME          the user ticks / unticks a check box
//   type NAME TEXT                   the user types TEXT (the rest of the line) into an edit
//   turn [N]                         the terminal runs until N turn boundaries have passed
//   wait N                           the terminal runs for N milliseconds of virtual time
//   expect NAME.PROPERTY VALUE       checks a control's property
//   expect etat VALUE                checks the controller's state (number or name)
//   until N NAME.PROPERTY VALUE      one expectation, checked now and after each turn, up to N turns
//   until N etat VALUE               the same for the controller's state
//   force NAME 0|1 | release NAME    holds a check box at a value / lets it go
//   # comment, blank lines
//
// VALUE is the rest of the line as written, or a text in double quotes with \" and \\ inside (as the
// rules write it), whose blanks survive an editor that strips the ends of lines. A UTF-8 byte order
// mark before the first line is skipped; a CR before an LF is part of the line's end.
#pragma once

#include "panel/PanneauOperateur.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace borne::scenario {

// Above this a count or a duration is taken for a typing slip, not a wish: at a few microseconds a turn
// it would already run for minutes.
inline constexpr std::int64_t kMaxCount = 100000000;

enum class Verb : std::uint8_t {
    Tick,
    Untick,
    Type,
    Turn,
    Wait,
    Expect,
    ExpectState,
    Force,
    Release,
    Until,
    UntilState
};

struct Command {
    std::size_t line = 0; // counted from 1; 0 for a command made by a program
    Verb verb = Verb::Turn;
    std::string control;                  // every verb naming a control
    Propriete property = Propriete::Text; // Expect, Until
    std::string text;                     // Type: the text in Windows-1252; Expect*, Until*: VALUE unquoted
    Valeur expected;                      // Expect, Until: bool, colour or the UTF-8 text
    int state = 0;                        // ExpectState, UntilState
    std::int64_t count = 1;               // Turn, Until*: turns; Wait: milliseconds
    bool value = false;                   // Force

    friend bool operator==(const Command&, const Command&) = default;
};

struct ParseError {
    std::size_t line;
    std::string message;
};

// One line (without its end of line). Blank lines and comments give std::monostate. Control names and
// kinds come from the panel given.
using ParsedLine = std::variant<std::monostate, Command, ParseError>;
ParsedLine parseLine(std::string_view line, std::size_t number, const PanneauOperateur& panel);

// Splits a script or a rules file into lines: LF ends a line, and a CR just before it is dropped. A UTF-8
// byte order mark at the very start is no part of the first line.
class LineReader {
public:
    explicit LineReader(std::string_view text);
    // The next line and its number, or false at the end.
    bool next(std::string_view& line, std::size_t& number);

private:
    std::string_view rest_;
    std::size_t number_ = 0;
};

// What a script may hold. A larger script is refused whole by its reader, a longer line is an error of
// its line: never cut, since a script that lost its end would still run and pass.
inline constexpr std::size_t kMaxScriptBytes = std::size_t{256} << 20;
inline constexpr std::size_t kMaxScriptLine = std::size_t{16} << 20;

struct Script {
    std::vector<Command> commands;
    std::vector<ParseError> errors; // the first kMaxErrorsKept, in line order
    std::size_t errorCount = 0;     // all of them
};
// Beyond these a script is counted, not explained: no nearest name is looked for, so refusing a script
// costs time in proportion to its size.
inline constexpr std::size_t kMaxErrorsKept = 20;

// The whole text; any bytes are accepted, and what is not a command becomes an error. The panel is the
// process-wide one unless a caller says otherwise.
Script parse(std::string_view text);
Script parse(std::string_view text, const PanneauOperateur& panel);
// Only the errors, keeping no command: memory stays that of the text, however long it is.
Script check(std::string_view text, const PanneauOperateur& panel);

// The command as a script line (no end of line) that parses back to the same command; nothing when it
// cannot be one line (a text holding an LF or ending
// with a CR).
std::optional<std::string> print(const Command& command);

// ---- Values, as scripts and rules files write them ----

// `s` without the blanks (spaces and tabs) at either end: how a line, a rule and a target are read.
std::string_view trim(std::string_view s) noexcept;

// The quoted text that starts at `text[0]` (a double quote): its content, with \" and \\ read as " and
// \ (any other backslash kept), and in `end` the offset just past the closing quote. Nothing when the
// quote is not closed.
std::optional<std::string> unquote(std::string_view text, std::size_t& end);

// A value written after NAME.PROPERTY or etat: quoted (then only blanks may follow the closing quote) or
// verbatim. Nothing, with the reason in `error`, for an unterminated quote or text after it.
std::optional<std::string> writtenValue(std::string_view written, std::string& error);

// The value as print() writes it: in double quotes when it is empty, starts or ends with a blank, or
// starts with a quote; verbatim otherwise.
std::string valueText(std::string_view value);

// A property's value as scripts, traces and rules write it: 0 or 1, colours as 0x%06X, texts in UTF-8.
std::string propertyText(const Valeur& value);

// A property's value from its text (unquoted): 0 or 1, 0xBBGGRR, or a text kept in UTF-8. Nothing, with
// `malformed value "V" for WHAT (...)` in `error`, when the property cannot hold it.
std::optional<Valeur> propertyValue(Propriete property, std::string_view value, std::string_view what,
                                    std::string& error);

// What to say after an unknown state: `(did you mean A, B? 0 to 17 or ETAT_VEHICULE_ABSENT ...)`.
std::string stateChoices(std::string_view written);

// Commands as a program makes them, with VALUE written the way print() and the trace write it.
Command expectCommand(const Controle& control, Propriete property, const Valeur& value);
Command expectStateCommand(int state);

} // namespace borne::scenario
