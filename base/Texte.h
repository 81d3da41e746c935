// Texts of the terminal: fixed-size fields of 8-bit Windows-1252 characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace borne {

// The one way to copy a text into a fixed-size field: at most capacite - 1 bytes of src, then a zero.
// Returns the number of bytes kept. A capacity of 0 writes nothing.
std::size_t copierBorne(char* dest, std::size_t capacite, std::string_view src) noexcept;

template <std::size_t N> std::size_t copierBorne(char (&dest)[N], std::string_view src) noexcept {
    return copierBorne(dest, N, src);
}

// Length of a zero-terminated text held in a field of `capacite` bytes, never reading past the field.
std::size_t longueurBornee(const char* texte, std::size_t capacite) noexcept;

template <std::size_t N> std::string_view texteDe(const char (&champ)[N]) noexcept {
    return std::string_view(champ, longueurBornee(champ, N));
}

// Windows-1252 <-> UTF-8, for every edge that meets the outside (window, scripts, trace).
std::string versUtf8(std::string_view cp1252);
// A character that Windows-1252 cannot hold, or a malformed UTF-8 sequence, becomes one '?'.
std::string depuisUtf8(std::string_view utf8);

// Lower case as a Windows-1252 edit in lower-case mode does it, accented capitals included.
char minusculeCp1252(char c) noexcept;
std::string enMinusculesCp1252(std::string_view texte);

} // namespace borne
