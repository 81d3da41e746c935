// Where the two windows go on a screen: the placement for every screen and zoom a classroom has, then
// the program's own windows on the tests' offscreen screen.
#include "tests/window/WindowSandbox.h"

#include "app/BenchWindow.h"
#include "app/Placement.h"

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>

#include <cmath>
#include <vector>

namespace borne::test {
namespace {

using placement::Places;
using placement::Request;

// A screen of w x h pixels at a zoom, in the windows' units.
QRect screen(int w, int h, double zoom) {
    return {0, 0, static_cast<int>(std::floor(w / zoom)), static_cast<int>(std::floor(h / zoom))};
}

const QRect kStored(543, 20, 571, 736); // the main window's stored place and client size
const QSize kBench(bench::BenchWindow::kWidth, bench::BenchWindow::kHeight);

struct PlaceCase {
    const char* what;
    QSize pixels; // the screen
    double zoom;
    bool bench;
    std::optional<QRect> remembered;
    QMargins frame;
    QRect panel;
    std::optional<QRect> benchAt;
};

TEST(Placement, BothWindowsWhereAClassroomScreenHasRoomForThem) {
    const QSize fullHd(1920, 1080), sxga(1280, 1024);
    // clang-format off
    const PlaceCase cases[] = {
        {"alone, the stored place fits", fullHd, 1, false, {}, {}, kStored, {}},
        {"side by side, the panel moved left", fullHd, 1, true, {}, {}, {341, 20, 571, 736}, QRect(920, 20, 1000, 860)},
        {"side by side, the bench narrowed", sxga, 1, true, {}, {}, {0, 20, 571, 736}, QRect(579, 20, 701, 860)},
        {"the panel shortened, the bench over its right half", fullHd, 2, true, {}, {}, {0, 0, 571, 540},
         QRect(285, 0, 675, 540)},
        {"alone: moved in no further than needed", fullHd, 2, false, {}, {}, {389, 0, 571, 540}, {}},
        {"both the screen's size", sxga, 4, true, {}, {}, {0, 0, 320, 256}, QRect(0, 0, 320, 256)},
        {"a unit narrower, so that the rounded pixels stay on the screen", fullHd, 1.5, true, {}, {},
         {0, 0, 571, 720}, QRect(579, 0, 700, 720)},
        {"remembered and on the screen: kept", fullHd, 1, true, QRect(100, 100, 800, 600), {}, kStored,
         QRect(100, 100, 800, 600)},
        {"remembered at zoom 1, off the screen at zoom 2: placed anew", fullHd, 2, true, QRect(920, 20, 1000, 860),
         {}, {0, 0, 571, 540}, QRect(285, 0, 675, 540)},
        {"a window manager's frames kept on the screen too", fullHd, 1, true, {}, QMargins(1, 25, 1, 1),
         {338, 25, 571, 736}, QRect(919, 25, 1000, 860)},
    };
    // clang-format on
    for (const PlaceCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.what << " (" << c.pixels.width() << "x" << c.pixels.height()
                                        << " at zoom " << c.zoom << ")");
        const std::vector<QRect> screens = {screen(c.pixels.width(), c.pixels.height(), c.zoom)};
        const Places p = placement::place({.screens = screens,
                                           .panel = kStored,
                                           .bench = c.bench ? std::optional(kBench) : std::nullopt,
                                           .remembered = c.remembered,
                                           .frame = c.frame,
                                           .zoom = c.zoom});
        EXPECT_EQ(p.panel, c.panel);
        EXPECT_EQ(p.bench, c.benchAt);
    }
    // A place remembered on a second screen is kept.
    const std::vector<QRect> two = {screen(1920, 1080, 1), QRect(1920, 0, 1280, 1024)};
    const QRect there(2000, 10, 1000, 800);
    EXPECT_EQ(
        placement::place({.screens = two, .panel = kStored, .bench = kBench, .remembered = there}).bench,
        there);
}

// Wholly on a screen of `pixels` once Qt's scaling has rounded the place and the size apart.
bool onThePixels(QRect r, QSize pixels, double zoom) {
    auto px = [zoom](int units) { return std::lround(units * zoom); };
    return r.left() >= 0 && r.top() >= 0 && px(r.left()) + px(r.width()) <= pixels.width() &&
           px(r.top()) + px(r.height()) <= pixels.height();
}

TEST(Placement, EveryZoomOnBothClassroomScreensKeepsBothWindowsWhollyOnIt) {
    for (const QSize pixels : {QSize(1280, 1024), QSize(1920, 1080)})
        for (const double zoom : {1.0, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0, 3.5, 4.0}) {
            SCOPED_TRACE(testing::Message() << pixels.width() << "x" << pixels.height() << " zoom " << zoom);
            const std::vector<QRect> screens = {screen(pixels.width(), pixels.height(), zoom)};
            const Places p =
                placement::place({.screens = screens, .panel = kStored, .bench = kBench, .zoom = zoom});
            ASSERT_TRUE(p.bench);
            EXPECT_TRUE(onThePixels(p.panel, pixels, zoom)) << p.panel.x() << "," << p.panel.width();
            EXPECT_TRUE(onThePixels(*p.bench, pixels, zoom)) << p.bench->x() << "," << p.bench->width();
            EXPECT_GE(p.bench->left(), p.panel.left()) << "the bench never hides the panel's left part first";
            if (p.panel.width() + placement::kGap + placement::kBenchMinWidth <= screens[0].width()) {
                EXPECT_FALSE(p.panel.intersects(*p.bench)) << "side by side when both fit";
            }
        }
}

// The program's windows on the tests' screen (1920x1080 offscreen): both on it, side by side; the
// diagram's labels at 12 pixels at the least; the turn log in the bench's width.
class OnTheScreen : public WindowSandbox {
protected:
    OnTheScreen() { QSettings().remove("bench/place"); }
};

TEST_F(OnTheScreen, TheBenchOpensBesideThePanelAndItsTurnLogFitsItsWidth) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_EQ(area.size(), QSize(1920, 1080)) << "the tests' offscreen screen";
    bench::BenchWindow& banc = fenetre->banc();
    ASSERT_TRUE(waitUntil([&] { return banc.isVisible(); }));
    // The offscreen windows have a frame of 2 pixels, kept on the screen too.
    EXPECT_EQ(fenetre->frameGeometry(), QRect(333, 20, 575, 740));
    EXPECT_EQ(banc.frameGeometry(), QRect(916, 20, 1004, 864));
    EXPECT_GE(banc.labelPixels(), 12);
    ASSERT_TRUE(waitUntil([&] { return banc.currentState().has_value(); }));
    banc.poll();
    EXPECT_TRUE(banc.turnLogShown().contains("VEHICULE_ABSENT -> VEHICULE_ABSENT"))
        << banc.turnLogShown().toStdString();
    EXPECT_EQ(banc.turnLogView()->horizontalScrollBar()->maximum(), 0) << "read without scrolling sideways";
    banc.close();
    EXPECT_EQ(bench::BenchWindow::remembered(), banc.geometry()) << "on the screen: remembered";
}

} // namespace
} // namespace borne::test
