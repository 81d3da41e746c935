#include "panel/images/Images.h"

#include "panel/images/DecodageJpeg.h"

#include <array>
#include <string>

namespace borne {

namespace integre {
// Defined by the sources generated from Image1.jpg .. Image7.jpg.
extern const unsigned char Image1[], Image2[], Image3[], Image4[], Image5[], Image6[], Image7[];
extern const std::size_t Image1_taille, Image2_taille, Image3_taille, Image4_taille, Image5_taille,
    Image6_taille, Image7_taille;
// Defined by the source generated from borne.xpm.
extern const unsigned char IconeXpm[];
extern const std::size_t IconeXpm_taille;
} // namespace integre

ImageRgb decoderJpeg(std::span<const unsigned char> jpeg) {
    char message[jpeg::tailleMessage] = {};
    ImageRgb image;
    if (!jpeg::lireEntete(jpeg.data(), jpeg.size(), &image.largeur, &image.hauteur, message)) {
        throw ErreurImage(message);
    }
    image.pixels.resize(static_cast<std::size_t>(image.largeur) * image.hauteur * 3);
    if (!jpeg::decoderDans(jpeg.data(), jpeg.size(), image.pixels.data(), image.largeur, image.hauteur,
                           message)) {
        throw ErreurImage(message);
    }
    return image;
}

std::span<const unsigned char> jpegIntegre(std::string_view nom) {
    using namespace integre;
    struct Integree {
        std::string_view nom;
        const unsigned char* octets;
        const std::size_t& taille;
    };
    static const std::array<Integree, 7> table{{
        {"Image1", Image1, Image1_taille},
        {"Image2", Image2, Image2_taille},
        {"Image3", Image3, Image3_taille},
        {"Image4", Image4, Image4_taille},
        {"Image5", Image5, Image5_taille},
        {"Image6", Image6, Image6_taille},
        {"Image7", Image7, Image7_taille},
    }};
    for (const Integree& e : table) {
        if (e.nom == nom) return {e.octets, e.taille};
    }
    return {};
}

std::span<const unsigned char> iconeXpm() {
    return {integre::IconeXpm, integre::IconeXpm_taille};
}

std::vector<ImageRgb> decoderImagesIntegrees() {
    std::vector<ImageRgb> images;
    images.reserve(7);
    for (int n = 1; n <= 7; ++n) {
        const std::string nom = "Image" + std::to_string(n);
        try {
            images.push_back(decoderJpeg(jpegIntegre(nom)));
        } catch (const ErreurImage& e) {
            throw ErreurImage(nom + ": " + e.what());
        }
    }
    return images;
}

} // namespace borne
