// The generator draws the same bytes every time, and the pictures built into the program are the ones
// it draws now (so a drawing changed without re-running borne-dessin is caught).
#include "Ecriture.h"
#include "Images.h"
#include "Scenes.h"

#include <gtest/gtest.h>
#include <string>

namespace borne::dessin {
namespace {

TEST(Generateur, DrawsTheSameBytesTwice) {
    for (int n = 1; n <= 7; ++n) {
        const Toile a = dessinerImage(n), b = dessinerImage(n);
        EXPECT_EQ(a.octets(), b.octets()) << "Image" << n;
        EXPECT_EQ(encoderJpeg(a), encoderJpeg(b)) << "Image" << n;
    }
    EXPECT_EQ(versXpm(dessinerIcone(), "borne"), versXpm(dessinerIcone(), "borne"));
}

TEST(Generateur, BuiltInPicturesAreTheGeneratorsOutput) {
    for (int n = 1; n <= 7; ++n) {
        const auto integre = jpegIntegre("Image" + std::to_string(n));
        const auto dessine = encoderJpeg(dessinerImage(n));
        EXPECT_TRUE(std::equal(integre.begin(), integre.end(), dessine.begin(), dessine.end()))
            << "Image" << n << ".jpg is stale: run borne-dessin";
        const Dimensions d = dimensionsImage(n);
        const ImageRgb im = decoderJpeg(integre);
        EXPECT_EQ(im.largeur, d.largeur);
        EXPECT_EQ(im.hauteur, d.hauteur);
    }
}

TEST(Generateur, TextIsDrawnInkOnTheCanvas) {
    Toile t(40, 9, rgb(0xFFFFFF));
    t.ecrire("Aé", 1, 1, 1, rgb(0x000000));
    // 'A' top row: .###. ; so (2,1) is ink and (1,1) is not; the accent of 'é' sits on its top row.
    EXPECT_LT(t.pixel(2, 1).r, 0.01);
    EXPECT_GT(t.pixel(1, 1).r, 0.99);
    EXPECT_LT(t.pixel(7 + 3, 1).r, 0.01);
    EXPECT_DOUBLE_EQ(Toile::largeurTexte("Aé", 1), 11);
}

TEST(Icone, SixteenColoursThirtyTwoSquareInXpmAndIco) {
    const Icone icone = dessinerIcone();
    ASSERT_EQ(icone.indices.size(), 32u * 32u);
    for (auto i : icone.indices)
        ASSERT_LT(i, 16);
    const std::string xpm = versXpm(icone, "borne");
    EXPECT_NE(xpm.find("\"32 32 16 1\""), std::string::npos);
    EXPECT_NE(xpm.find("c None"), std::string::npos);
    const auto ico = versIco(icone);
    // Directory + entry + header + palette + 4-bit pixels + 1-bit mask.
    ASSERT_EQ(ico.size(), 6u + 16u + 40u + 64u + 32u * 16u + 32u * 4u);
    EXPECT_EQ(ico[2], 1); // an icon
    EXPECT_EQ(ico[6], 32);
    EXPECT_EQ(ico[8], 16); // colours
    // The corners are transparent: the mask's first bit (bottom-left pixel) is set.
    EXPECT_EQ(ico[6 + 16 + 40 + 64 + 32 * 16] & 0x80, 0x80);
}

} // namespace
} // namespace borne::dessin
