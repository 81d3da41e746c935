// Turning drawings into files: JPEG (libjpeg's compression side), and the icon as XPM and ICO.
#pragma once

#include "Toile.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace borne::dessin {

struct OptionsJpeg {
    int qualite = 90;
    int composantes = 3; // 3: colour (YCbCr, 4:2:0); 1: grey levels
    bool progressif = false;
};

// Encodes 8-bit samples (`composantes` per pixel, rows top to bottom). Same input, same bytes.
std::vector<unsigned char> encoderJpeg(int largeur, int hauteur,
                                       const std::vector<unsigned char>& echantillons,
                                       const OptionsJpeg& options = {});
std::vector<unsigned char> encoderJpeg(const Toile& toile, const OptionsJpeg& options = {});

// A 16-colour icon: a palette and one palette index per pixel; index `transparent` (if any) shows through.
struct Icone {
    static constexpr int cote = 32;
    std::array<std::uint32_t, 16> palette{}; // 0xRRGGBB
    std::vector<std::uint8_t> indices;       // cote * cote, rows top to bottom
    int transparent = -1;
};

std::string versXpm(const Icone& icone, std::string_view nom);
std::vector<unsigned char> versIco(const Icone& icone);

} // namespace borne::dessin
