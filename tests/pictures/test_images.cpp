// The built-in pictures decode to their sizes, show their parts where the panel's controls lie over
// them, and damaged JPEG data of every kind ends in ErreurImage, never in a crash or a grey picture
// (random damage is fuzz_jpeg's).
#include "panel/images/Images.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace borne {
namespace {

struct Rgb {
    int r, g, b;
};

Rgb pixel(const ImageRgb& im, int x, int y) {
    const std::size_t i = (static_cast<std::size_t>(y) * im.largeur + x) * 3;
    return {im.pixels[i], im.pixels[i + 1], im.pixels[i + 2]};
}

std::vector<unsigned char> copie(std::string_view nom) {
    const auto s = jpegIntegre(nom);
    return {s.begin(), s.end()};
}

// ---------------------------------------------------------------- the built-in pictures

struct Taille {
    const char* nom;
    int largeur, hauteur;
};

class ImageIntegree : public ::testing::TestWithParam<Taille> {};

TEST_P(ImageIntegree, DecodesToItsSizeWithThreeComponents) {
    const Taille t = GetParam();
    const auto jpeg = jpegIntegre(t.nom);
    ASSERT_FALSE(jpeg.empty());
    const ImageRgb im = decoderJpeg(jpeg);
    EXPECT_EQ(im.largeur, t.largeur);
    EXPECT_EQ(im.hauteur, t.hauteur);
    EXPECT_EQ(im.pixels.size(), static_cast<std::size_t>(t.largeur) * t.hauteur * 3);
}

INSTANTIATE_TEST_SUITE_P(Tableau, ImageIntegree,
                         ::testing::Values(Taille{"Image1", 290, 462}, Taille{"Image2", 244, 285},
                                           Taille{"Image3", 243, 285}, Taille{"Image7", 243, 285},
                                           Taille{"Image6", 243, 285}, Taille{"Image4", 259, 153},
                                           Taille{"Image5", 258, 153}),
                         [](const auto& info) { return std::string(info.param.nom); });

TEST(ImagesIntegrees, OtherNamesHaveNoBytes) {
    for (const char* nom : {"", "Image0", "Image8", "image1", "Image1 ", "Image10"}) {
        EXPECT_TRUE(jpegIntegre(nom).empty()) << '"' << nom << '"';
    }
}

bool blanc(Rgb c) {
    return c.r > 225 && c.g > 225 && c.b > 225;
}
bool sombre(Rgb c) {
    return c.r < 70 && c.g < 70 && c.b < 70;
}
bool rouge(Rgb c) {
    return c.r > 150 && c.g < 90 && c.b < 90;
}
bool bleuCiel(Rgb c) {
    return c.b > 150 && c.b > c.r + 40;
}

// The controls laid over the terminal's front hide exactly its display and its card slot.
TEST(ImagesIntegrees, TerminalFrontHasDisplayAndSlotUnderTheirControls) {
    const ImageRgb im = decoderJpeg(jpegIntegre("Image1"));
    for (int x : {50, 140, 230}) {
        for (int y : {50, 74, 97})
            EXPECT_TRUE(blanc(pixel(im, x, y))) << "display " << x << ',' << y;
    }
    EXPECT_TRUE(sombre(pixel(im, 140, 40))) << "display frame above";
    EXPECT_TRUE(sombre(pixel(im, 140, 106))) << "display frame below";
    for (int x : {82, 168, 254})
        EXPECT_TRUE(sombre(pixel(im, x, 148))) << "slot " << x;
    // The lower half around the keypad is plain: no strong edge under the keypad's box.
    const Rgb a = pixel(im, 130, 250), b = pixel(im, 246, 374);
    EXPECT_FALSE(sombre(a) || sombre(b));
}

// The loops of the lane plan surround the loop boxes: a dark loop edge on each side of each box.
TEST(ImagesIntegrees, LanePlanLoopsSurroundTheirBoxes) {
    for (const char* nom : {"Image4", "Image5"}) {
        const ImageRgb im = decoderJpeg(jpegIntegre(nom));
        for (int cx : {112, 160}) {
            EXPECT_TRUE(sombre(pixel(im, cx, 96))) << nom << " loop top at " << cx;
            EXPECT_TRUE(sombre(pixel(im, cx, 128))) << nom << " loop bottom at " << cx;
            EXPECT_TRUE(sombre(pixel(im, cx - 16, 112))) << nom << " loop left at " << cx;
            EXPECT_TRUE(sombre(pixel(im, cx + 16, 112))) << nom << " loop right at " << cx;
            EXPECT_FALSE(sombre(pixel(im, cx, 112))) << nom << " loop inside at " << cx;
        }
    }
    // The boom lies across the road on the fence line only while it is lowered.
    bool rougeSurLaRoute4 = false, rougeSurLaRoute5 = false;
    const ImageRgb plan4 = decoderJpeg(jpegIntegre("Image4")), plan5 = decoderJpeg(jpegIntegre("Image5"));
    for (int y = 86; y < 138; ++y) {
        rougeSurLaRoute4 |= rouge(pixel(plan4, 136, y));
        rougeSurLaRoute5 |= rouge(pixel(plan5, 136, y));
    }
    EXPECT_TRUE(rougeSurLaRoute4);
    EXPECT_FALSE(rougeSurLaRoute5);
}

// Lowered, the boom crosses the lane; raised, the sky shows there and the boom stands above the pivot.
TEST(ImagesIntegrees, BarrierViewsShowTheBoomLoweredOrRaised) {
    const ImageRgb baissee = decoderJpeg(jpegIntegre("Image2"));
    EXPECT_FALSE(bleuCiel(pixel(baissee, 160, 158)));
    EXPECT_TRUE(bleuCiel(pixel(baissee, 72, 125)));
    for (const char* nom : {"Image3", "Image7", "Image6"}) {
        const ImageRgb levee = decoderJpeg(jpegIntegre(nom));
        EXPECT_TRUE(bleuCiel(pixel(levee, 200, 150))) << nom;
        EXPECT_FALSE(bleuCiel(pixel(levee, 72, 125))) << nom;
    }
    // A yellow car from the front, a dark blue one from the rear.
    const Rgb jaune = pixel(decoderJpeg(jpegIntegre("Image7")), 160, 224);
    const Rgb bleu = pixel(decoderJpeg(jpegIntegre("Image6")), 160, 224);
    EXPECT_TRUE(jaune.r > 180 && jaune.g > 140 && jaune.b < 100);
    EXPECT_TRUE(bleu.b > bleu.r + 30 && bleu.r < 80);
}

// ---------------------------------------------------------------- damaged data

// Offset of the first byte after the marker 0xFF `code`, or npos.
std::size_t chercherMarqueur(const std::vector<unsigned char>& j, unsigned char code) {
    for (std::size_t i = 0; i + 1 < j.size(); ++i) {
        if (j[i] == 0xFF && j[i + 1] == code) return i + 2;
    }
    return std::string::npos;
}

struct Degat {
    const char* nom;
    std::function<std::vector<unsigned char>()> fabriquer;
    const char* motDuMessage; // a word the message must hold
};

class JpegEndommage : public ::testing::TestWithParam<Degat> {};

TEST_P(JpegEndommage, GivesErreurImage) {
    const auto octets = GetParam().fabriquer();
    try {
        decoderJpeg(octets);
        FAIL() << "decoded without error";
    } catch (const ErreurImage& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().motDuMessage), std::string::npos) << e.what();
    }
}

std::vector<unsigned char> tronque(std::size_t garde) {
    auto j = copie("Image3");
    j.resize(garde);
    return j;
}

// A plain grey 32 x 16 JPEG: one component or three, baseline or progressive.
std::vector<unsigned char> uniforme(int composantes, bool progressif) {
    QImage gris(32, 16, composantes == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    gris.fill(QColor(128, 128, 128));
    QBuffer tampon;
    tampon.open(QIODevice::WriteOnly);
    QImageWriter ecrivain(&tampon, "jpeg");
    ecrivain.setQuality(90);
    ecrivain.setProgressiveScanWrite(progressif);
    EXPECT_TRUE(ecrivain.write(gris)) << ecrivain.errorString().toStdString();
    const QByteArray& o = tampon.data();
    return {o.begin(), o.end()};
}

INSTANTIATE_TEST_SUITE_P(
    Tableau, JpegEndommage,
    ::testing::Values(Degat{"Vide", [] { return std::vector<unsigned char>{}; }, "empty"},
                      Degat{"UnOctet", [] { return std::vector<unsigned char>{0xFF}; }, "damaged"},
                      Degat{"TronqueDansLeBalayage", [] { return tronque(copie("Image3").size() / 2); },
                            "damaged"},
                      Degat{"TronqueApresLEntete",
                            [] { return tronque(chercherMarqueur(copie("Image3"), 0xDA) + 20); }, "damaged"},
                      Degat{"TronqueDansLEntete", [] { return tronque(40); }, "damaged"},
                      Degat{"SansSoi",
                            [] {
                                auto j = copie("Image1");
                                j[1] = 0x00;
                                return j;
                            },
                            "damaged"},
                      Degat{"FinPrematureeDansLeBalayage",
                            [] {
                                auto j = copie("Image2");
                                const std::size_t m = j.size() / 2;
                                j[m] = 0xFF,
                                j[m + 1] = 0xD9; // an end-of-image marker in the middle of the data
                                return j;
                            },
                            "damaged"},
                      Degat{"NiveauxDeGris", [] { return uniforme(1, false); }, "three colour components"},
                      Degat{"Progressif", [] { return uniforme(3, true); }, "not baseline"},
                      Degat{"DouzeBits",
                            [] {
                                auto j = copie("Image4");
                                j[chercherMarqueur(j, 0xC0) + 2] = 12; // sample precision of the frame header
                                return j;
                            },
                            "damaged"},
                      Degat{"TailleForgeeEnorme",
                            [] {
                                // 65000 x 65000 claimed: must be refused before anything that large is
                                // allocated.
                                auto j = copie("Image4");
                                const std::size_t sof = chercherMarqueur(j, 0xC0);
                                j[sof + 3] = 0xFD, j[sof + 4] = 0xE8, j[sof + 5] = 0xFD, j[sof + 6] = 0xE8;
                                return j;
                            },
                            "too large"},
                      Degat{"LargeurNulle",
                            [] {
                                auto j = copie("Image4");
                                const std::size_t sof = chercherMarqueur(j, 0xC0);
                                j[sof + 5] = 0, j[sof + 6] = 0;
                                return j;
                            },
                            "damaged"}),
    [](const auto& info) { return std::string(info.param.nom); });

// A damaged picture leaves the decoder fit for the next one.
TEST(JpegEndommageEnsuite, NextDecodeStillWorks) {
    EXPECT_THROW(decoderJpeg(tronque(100)), ErreurImage);
    EXPECT_EQ(decoderJpeg(jpegIntegre("Image3")).largeur, 243);
}

TEST(JpegEndommageEnsuite, PlainRgbPictureOfAnotherSizeDecodes) {
    const ImageRgb im = decoderJpeg(uniforme(3, false));
    EXPECT_EQ(im.largeur, 32);
    EXPECT_EQ(im.hauteur, 16);
    const Rgb c = pixel(im, 10, 10);
    EXPECT_NEAR(c.r, 128, 2);
    EXPECT_NEAR(c.b, 128, 2);
}

} // namespace
} // namespace borne
