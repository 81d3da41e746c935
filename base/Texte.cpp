#include "base/Texte.h"

#include <array>
#include <cstring>

namespace borne {

std::size_t copierBorne(char* dest, std::size_t capacite, std::string_view src) noexcept {
    if (dest == nullptr || capacite == 0) return 0;
    const std::size_t n = src.size() < capacite - 1 ? src.size() : capacite - 1;
    if (n > 0) std::memmove(dest, src.data(), n);
    dest[n] = '\0';
    return n;
}

std::size_t longueurBornee(const char* texte, std::size_t capacite) noexcept {
    const void* fin = std::memchr(texte, '\0', capacite);
    return fin ? static_cast<std::size_t>(static_cast<const char*>(fin) - texte) : capacite;
}

namespace {

// Code points of the bytes 0x80 to 0x9F; 0 where Windows-1252 leaves the byte undefined.
constexpr std::array<char32_t, 32> kPlage80 = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char32_t pointDeCode(unsigned char octet) {
    if (octet >= 0x80 && octet < 0xA0) {
        const char32_t cp = kPlage80[octet - 0x80];
        return cp != 0 ? cp : octet; // undefined bytes pass through as C1 controls
    }
    return octet;
}

void ajouterUtf8(std::string& sortie, char32_t cp) {
    if (cp < 0x80) {
        sortie += static_cast<char>(cp);
    } else if (cp < 0x800) {
        sortie += static_cast<char>(0xC0 | (cp >> 6));
        sortie += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        sortie += static_cast<char>(0xE0 | (cp >> 12));
        sortie += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        sortie += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

int octetPour(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (std::size_t i = 0; i < kPlage80.size(); ++i)
        if (kPlage80[i] == cp) return static_cast<int>(0x80 + i);
    if (cp >= 0x80 && cp < 0xA0 && kPlage80[cp - 0x80] == 0) return static_cast<int>(cp);
    return -1;
}

} // namespace

std::string versUtf8(std::string_view cp1252) {
    std::string sortie;
    sortie.reserve(cp1252.size() + cp1252.size() / 4);
    for (char c : cp1252)
        ajouterUtf8(sortie, pointDeCode(static_cast<unsigned char>(c)));
    return sortie;
}

std::string depuisUtf8(std::string_view utf8) {
    std::string sortie;
    sortie.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        int suite = 0;
        char32_t cp = 0;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F, suite = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F, suite = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07, suite = 3;
        } else {
            sortie += '?';
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        bool valide = true;
        for (int k = 0; k < suite; ++k, ++j) {
            if (j >= utf8.size() || (static_cast<unsigned char>(utf8[j]) & 0xC0) != 0x80) {
                valide = false;
                break;
            }
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[j]) & 0x3F);
        }
        // Overlong forms are malformed too.
        static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        if (valide && cp < kMinimum[suite]) valide = false;
        if (!valide) {
            sortie += '?';
            i = j > i + 1 ? j : i + 1;
            continue;
        }
        const int octet = octetPour(cp);
        sortie += octet < 0 ? '?' : static_cast<char>(octet);
        i = j;
    }
    return sortie;
}

char minusculeCp1252(char c) noexcept {
    const auto o = static_cast<unsigned char>(c);
    if (o >= 'A' && o <= 'Z') return static_cast<char>(o + 0x20);
    if (o >= 0xC0 && o <= 0xDE && o != 0xD7) return static_cast<char>(o + 0x20); // À..Þ but ×
    switch (o) {
    case 0x8A: return static_cast<char>(0x9A); // Š
    case 0x8C: return static_cast<char>(0x9C); // Œ
    case 0x8E: return static_cast<char>(0x9E); // Ž
    case 0x9F: return static_cast<char>(0xFF); // Ÿ
    default: return c;
    }
}

std::string enMinusculesCp1252(std::string_view texte) {
    std::string sortie(texte);
    for (char& c : sortie)
        c = minusculeCp1252(c);
    return sortie;
}

} // namespace borne
