// The pictures built into the program are the ones the generator draws now, within what JPEG and a
// Qt update's antialiasing may change: a drawing changed without running borne-pictures is caught.
#include "panel/images/Images.h"
#include "tools/pictures/Scenes.h"

#include <QImage>

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <string>

namespace borne {
namespace {

// How far a decoded picture is from a drawing, over the part they share: the worst difference of one
// colour's mean over an 8 x 8 block. JPEG at quality 90 keeps every block within 12 of the drawing; the
// smallest change between two of the pictures (the boom across the lane plan or not) gives 29.
constexpr double kTolerance = 20;

double worstBlock(const QImage& drawing, const ImageRgb& image) {
    const int w = std::min(drawing.width(), image.largeur), h = std::min(drawing.height(), image.hauteur);
    double worst = 0;
    // Blocks at the right and bottom edges are moved inside, so that every block counts 64 pixels.
    for (int by = 0; by < h; by += 8) {
        for (int bx = 0; bx < w; bx += 8) {
            const int x0 = std::min(bx, w - 8), y0 = std::min(by, h - 8);
            int sum[3] = {0, 0, 0};
            for (int y = y0; y < y0 + 8; ++y) {
                for (int x = x0; x < x0 + 8; ++x) {
                    const QRgb d = drawing.pixel(x, y);
                    const unsigned char* seen =
                        &image.pixels[(static_cast<std::size_t>(y) * image.largeur + x) * 3];
                    sum[0] += qRed(d) - seen[0], sum[1] += qGreen(d) - seen[1], sum[2] += qBlue(d) - seen[2];
                }
            }
            for (int c : sum)
                worst = std::max(worst, std::abs(c) / 64.0);
        }
    }
    return worst;
}

ImageRgb builtIn(int n) {
    return decoderJpeg(jpegIntegre("Image" + std::to_string(n)));
}

TEST(Generator, BuiltInPicturesAreWhatItDrawsNow) {
    for (int n = 1; n <= 7; ++n) {
        SCOPED_TRACE("Image" + std::to_string(n));
        const QImage drawing = pictures::drawPicture(n);
        const ImageRgb image = builtIn(n);
        ASSERT_EQ(drawing.size(), QSize(image.largeur, image.hauteur));
        ASSERT_EQ(drawing.size(), pictures::pictureSize(n));
        EXPECT_LE(worstBlock(drawing, image), kTolerance)
            << "the committed picture is stale: run borne-pictures";
    }
}

TEST(Generator, TheToleranceStillTellsTheScenesApart) {
    // Pairs of the same size that differ least: the boom on the plan, the boom in the view, a car.
    for (auto [drawn, compare] : {std::pair{5, 4}, std::pair{4, 5}, std::pair{3, 7}, std::pair{7, 6}}) {
        EXPECT_GT(worstBlock(pictures::drawPicture(drawn), builtIn(compare)), kTolerance)
            << "Image" << drawn << " drawn passes for Image" << compare;
    }
}

// The icon files are lossless: what they hold is the drawing itself, bar a few pixels that a change of
// antialiasing may tip into a neighbouring colour of the palette.
TEST(Generator, IconFilesHoldTheSixteenColourIconItDraws) {
    const QImage icon = pictures::drawIcon();
    ASSERT_EQ(icon.colorCount(), 16);
    EXPECT_EQ(qAlpha(icon.color(icon.pixelIndex(0, 0))), 0) << "the corners show through";
    const QImage expected = icon.convertToFormat(QImage::Format_ARGB32);
    for (const char* file : {"borne.xpm", "borne.ico"}) {
        const QImage loaded =
            QImage(QStringLiteral(BORNE_IMAGES_FOLDER "/") + file).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(loaded.size(), QSize(32, 32)) << file;
        int differing = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                differing += loaded.pixel(x, y) != expected.pixel(x, y);
        EXPECT_LE(differing, 16) << file;
    }
}

} // namespace
} // namespace borne
