// The pictures' JPEG decoding on any bytes: either a picture whose pixels fill exactly its size, or
// ErreurImage; nothing else may come out, and no memory may be touched outside the buffers.
#include "panel/images/Images.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t taille) {
    try {
        const borne::ImageRgb im = borne::decoderJpeg(std::span<const unsigned char>(data, taille));
        if (im.largeur <= 0 || im.hauteur <= 0) std::abort();
        if (im.pixels.size() !=
            static_cast<std::size_t>(im.largeur) * static_cast<std::size_t>(im.hauteur) * 3)
            std::abort();
    } catch (const borne::ErreurImage&) {
        // Refused: the expected answer to damaged or unsupported data.
    }
    return 0;
}
