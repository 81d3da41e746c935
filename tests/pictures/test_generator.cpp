// The pictures built into the program are the ones the generator draws now, within what JPEG and a
// Qt update's antialiasing may change: a drawing changed without running borne-pictures is caught.
#include "Images.h"
#include "Scenes.h"

#include <QFile>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <string>

namespace borne {
namespace {

// How far a decoded picture is from a drawing, over the part they share: the worst difference of one
// colour's mean over an 8 x 8 block, and the share of pixels with a colour more than 64 off. JPEG at
// quality 90 keeps every block mean within 12 of the drawing and leaves almost no pixel that far off;
// the smallest change between two of the pictures (the boom across the lane plan or not) gives 29 and
// 0.8 %.
struct Ecart {
    double pireBloc = 0;
    double partLoin = 0;
    bool proche() const { return pireBloc <= 20 && partLoin <= 0.0025; }
};

Ecart ecart(const QImage& dessin, const ImageRgb& image) {
    const int l = std::min(dessin.width(), image.largeur), h = std::min(dessin.height(), image.hauteur);
    auto difference = [&](int x, int y, int c) {
        const QRgb d = dessin.pixel(x, y);
        const int vu = image.pixels[(static_cast<std::size_t>(y) * image.largeur + x) * 3 + c];
        return (c == 0 ? qRed(d) : c == 1 ? qGreen(d) : qBlue(d)) - vu;
    };
    Ecart e;
    long loin = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < l; ++x)
            loin += std::abs(difference(x, y, 0)) > 64 || std::abs(difference(x, y, 1)) > 64 ||
                    std::abs(difference(x, y, 2)) > 64;
    e.partLoin = static_cast<double>(loin) / (static_cast<double>(l) * h);
    // Blocks at the right and bottom edges are moved inside, so that every block counts 64 pixels.
    for (int by = 0; by < h; by += 8) {
        for (int bx = 0; bx < l; bx += 8) {
            const int x0 = std::min(bx, l - 8), y0 = std::min(by, h - 8);
            for (int c = 0; c < 3; ++c) {
                int somme = 0;
                for (int y = y0; y < y0 + 8; ++y)
                    for (int x = x0; x < x0 + 8; ++x)
                        somme += difference(x, y, c);
                e.pireBloc = std::max(e.pireBloc, std::abs(somme) / 64.0);
            }
        }
    }
    return e;
}

ImageRgb integree(int n) {
    return decoderJpeg(jpegIntegre("Image" + std::to_string(n)));
}

TEST(Generator, BuiltInPicturesAreWhatItDrawsNow) {
    for (int n = 1; n <= 7; ++n) {
        SCOPED_TRACE("Image" + std::to_string(n));
        const QImage dessin = pictures::drawPicture(n);
        const ImageRgb image = integree(n);
        ASSERT_EQ(dessin.size(), QSize(image.largeur, image.hauteur));
        ASSERT_EQ(dessin.size(), pictures::pictureSize(n));
        const Ecart e = ecart(dessin, image);
        EXPECT_TRUE(e.proche()) << "worst block " << e.pireBloc << ", " << 100 * e.partLoin
                                << " % of pixels far off: the committed picture is stale, run borne-pictures";
    }
}

TEST(Generator, TheToleranceStillTellsTheScenesApart) {
    // Pairs of the same size that differ least: the boom on the plan, the boom in the view, a car.
    for (auto [dessine, compare] : {std::pair{5, 4}, std::pair{4, 5}, std::pair{3, 7}, std::pair{7, 6}}) {
        const Ecart e = ecart(pictures::drawPicture(dessine), integree(compare));
        EXPECT_FALSE(e.proche()) << "Image" << dessine << " drawn passes for Image" << compare;
    }
}

// The icon files are lossless: what they hold is the drawing itself, bar a few pixels that a change of
// antialiasing may tip into a neighbouring colour of the palette.
TEST(Generator, IconFilesHoldTheSixteenColourIconItDraws) {
    const QImage icone = pictures::drawIcon();
    ASSERT_EQ(icone.size(), QSize(32, 32));
    ASSERT_EQ(icone.colorCount(), 16);
    EXPECT_EQ(qAlpha(icone.color(icone.pixelIndex(0, 0))), 0) << "the corners show through";
    EXPECT_EQ(qAlpha(icone.color(icone.pixelIndex(16, 16))), 255);
    const QImage attendu = icone.convertToFormat(QImage::Format_ARGB32);

    const auto xpm = iconeXpm();
    QImage depuisXpm;
    ASSERT_TRUE(depuisXpm.loadFromData(xpm.data(), static_cast<int>(xpm.size()), "XPM"));
    QFile ico(BORNE_IMAGES_FOLDER "/borne.ico");
    ASSERT_TRUE(ico.open(QIODevice::ReadOnly));
    QImage depuisIco;
    ASSERT_TRUE(depuisIco.loadFromData(ico.readAll(), "ICO"));
    for (const QImage* fichier : {&depuisXpm, &depuisIco}) {
        ASSERT_EQ(fichier->size(), QSize(32, 32));
        const QImage lu = fichier->convertToFormat(QImage::Format_ARGB32);
        int differents = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                differents += lu.pixel(x, y) != attendu.pixel(x, y);
        EXPECT_LE(differents, 16) << (fichier == &depuisXpm ? "borne.xpm" : "borne.ico");
    }
}

} // namespace
} // namespace borne
