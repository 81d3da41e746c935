// Where the main window and the bench window go: wholly on a screen whatever the screen and the zoom,
// side by side when both fit, else the bench over the panel's right part. A pure function of what it is
// given, so that every screen and zoom can be checked without a display.
#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

#include <optional>
#include <span>
#include <vector>

class QWidget;

namespace borne::placement {

// Between the two windows side by side.
inline constexpr int kGap = 8;
// The narrowest bench that still sits beside the panel; narrower, it goes over the panel instead.
inline constexpr int kBenchMinWidth = 600;

struct Request {
    // Each screen's available area in the windows' units (its pixels divided by the zoom).
    std::span<const QRect> screens;
    // Where the main window asks to be (its stored place and client size).
    QRect panel;
    // The bench window's wanted client size, when it is open.
    std::optional<QSize> bench = std::nullopt;
    // Where the bench was left last time (its client area), if anywhere.
    std::optional<QRect> remembered = std::nullopt;
    // What a window manager adds around each window (nothing without one).
    QMargins frame = {};
    // The zoom (Qt's own scaling), which rounds each window's place and size to the screen's pixels.
    double zoom = 1;
};

// The client areas to give the windows.
struct Places {
    QRect panel;
    std::optional<QRect> bench = std::nullopt;
};

Places place(const Request& r);

// True when the window, frame included, lies wholly on one of the screens.
bool onAScreen(QRect client, QMargins frame, std::span<const QRect> screens);

// What the windows are given: the screens' available areas now, and a window's frame (none before a
// window manager has framed it, and none without one).
std::vector<QRect> screensNow();
QMargins frameOf(const QWidget& window);

} // namespace borne::placement
