#include "tools/grammar/Show.h"

#include <cstdio>

namespace borne::scenario {

namespace {

bool control(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

void hex(std::string& out, unsigned char c) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
    out += buffer;
}

bool continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

} // namespace

std::string quoted(std::string_view s) {
    constexpr std::size_t kMax = 60;
    std::string r = "\"";
    const std::size_t n = s.size() < kMax ? s.size() : kMax;
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (control(c)) {
            hex(r, c);
        } else {
            if (c == '"' || c == '\\') r += '\\';
            r += static_cast<char>(c);
        }
    }
    if (s.size() > kMax) r += "...";
    r += '"';
    return r;
}

std::string shownValue(std::string_view utf8) {
    constexpr std::size_t kShownCharacters = 200;
    // Built by appending: GCC 12 at -O3 sees an overlapping copy in "\"" + std::string&& that is not there.
    std::string shown = "\"";
    shown += visible(clipped(utf8, kShownCharacters));
    shown += '"';
    return shown;
}

std::string visible(std::string_view s) {
    std::string r;
    r.reserve(s.size());
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (control(c))
            hex(r, c);
        else
            r += ch;
    }
    return r;
}

std::string duration(std::chrono::milliseconds ms) {
    const auto n = ms.count();
    if (n < 1000) return std::to_string(n) + " ms";
    std::string r = std::to_string(n / 1000);
    if (n % 1000 != 0) {
        std::string fraction = std::to_string(1000 + n % 1000).substr(1);
        while (fraction.back() == '0')
            fraction.pop_back();
        r += "." + fraction;
    }
    return r + " s";
}

std::size_t characters(std::string_view utf8) noexcept {
    std::size_t n = 0;
    for (char c : utf8)
        if (!continuation(static_cast<unsigned char>(c))) ++n;
    return n;
}

std::string clipped(std::string_view utf8, std::size_t max) {
    const std::size_t total = characters(utf8);
    if (total <= max) return std::string(utf8);
    // The byte where character number `max` starts.
    std::size_t seen = 0, i = 0;
    for (; i < utf8.size(); ++i)
        if (!continuation(static_cast<unsigned char>(utf8[i])) && seen++ == max) break;
    return std::string(utf8.substr(0, i)) + "...(" + std::to_string(total - max) + " more)";
}

} // namespace borne::scenario
