// The seven pictures of the panel, built into the program as JPEG bytes and decoded once at start, and
// the program's icon.
#pragma once

#include <cstddef>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace borne {

// A decoded picture: 3 bytes (R, G, B) per pixel, rows from top to bottom, no padding.
struct ImageRgb {
    int largeur = 0;
    int hauteur = 0;
    std::vector<unsigned char> pixels;
};

// A picture that cannot be decoded: a start-up error with a message fit to show the user.
class ErreurImage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Decodes a baseline JPEG of three 8-bit components; throws ErreurImage for anything else or damage.
ImageRgb decoderJpeg(std::span<const unsigned char> jpeg);

// The built-in JPEG bytes of "Image1" to "Image7"; empty for another name.
std::span<const unsigned char> jpegIntegre(std::string_view nom);

// The program's icon, 32 x 32 in 16 colours, as the bytes of an XPM file.
std::span<const unsigned char> iconeXpm();

// Decodes the seven built-in pictures, in the order Image1..Image7; throws ErreurImage.
std::vector<ImageRgb> decoderImagesIntegrees();

} // namespace borne
