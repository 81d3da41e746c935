// Texts shown to a person: script pieces in messages, values in failure lines, journal lines in diffs.
// Control bytes always come out as \xHH so that one message stays one line.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

namespace borne::scenario {

// A piece of a script in an error message: between quotes, quotes and backslashes escaped, control
// bytes as \xHH, cut to 60 bytes followed by "...".
std::string quoted(std::string_view s);

// Each control byte (below 0x20, or 0x7F) written \xHH (upper-case hex); nothing else changed.
std::string visible(std::string_view s);

// A value in a failure line, between quotes: cut to 200 characters, control bytes as \xHH. Both sides of
// a failure line are shown alike, whatever their size.
std::string shownValue(std::string_view utf8);

// UTF-8 text cut to its first `max` characters followed by "...(N more)"; unchanged when it is not
// longer.
std::string clipped(std::string_view utf8, std::size_t max);

// A limit as a person reads it: "10 s", "1.5 s", "250 ms".
std::string duration(std::chrono::milliseconds ms);

// Number of characters of a UTF-8 text (the bytes that are not continuation bytes).
std::size_t characters(std::string_view utf8) noexcept;

} // namespace borne::scenario
