#include "app/Placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace borne::placement {

namespace {

// The frame's width and height around a client size.
int framedWidth(int w, QMargins m) {
    return w + m.left() + m.right();
}
int framedHeight(int h, QMargins m) {
    return h + m.top() + m.bottom();
}

// The start of a span of `length` kept within [lo, hi): as asked when it fits, else moved in; a span
// longer than the room starts at lo.
int within(int asked, int length, int lo, int hi) {
    return std::max(lo, std::min(asked, hi - length));
}

// The screen the main window asks for: the one holding its corner, else the first.
QRect homeScreen(const Request& r) {
    const QPoint corner = r.panel.topLeft() - QPoint(r.frame.left(), r.frame.top());
    for (const QRect& s : r.screens)
        if (s.contains(corner)) return s;
    return r.screens.front();
}

// At a zoom that is not whole, the screen rounds a window's corner and its size apart (868.5 and 1051.5
// pixels become 869 and 1052): a window that ends on the screen's last unit may end a pixel past it.
// Such a window loses a unit of width or height (or two).
QRect onScreenPixels(QRect client, QRect screen, const Request& r) {
    const QRect framed = client.marginsAdded(r.frame);
    auto fits = [&](int from, int length, int room) {
        // The screen's own pixels, which its size in units may round up by half a unit.
        const double pixels = std::floor(room * r.zoom + 1e-6);
        return static_cast<double>(std::lround(from * r.zoom) + std::lround(length * r.zoom)) <= pixels;
    };
    const QMargins m = r.frame;
    while (!fits(framed.left() - screen.left(), framedWidth(client.width(), m), screen.width()) &&
           client.width() > 1)
        client.setWidth(client.width() - 1);
    while (!fits(framed.top() - screen.top(), framedHeight(client.height(), m), screen.height()) &&
           client.height() > 1)
        client.setHeight(client.height() - 1);
    return client;
}

} // namespace

bool onAScreen(QRect client, QMargins frame, std::span<const QRect> screens) {
    const QRect framed = client.marginsAdded(frame);
    return std::any_of(screens.begin(), screens.end(), [&](const QRect& s) { return s.contains(framed); });
}

Places place(const Request& r) {
    if (r.screens.empty()) { // nothing to keep them on: as asked, the bench to the panel's right
        Places p{r.panel, std::nullopt};
        if (r.bench)
            p.bench =
                r.remembered.value_or(QRect(QPoint(r.panel.right() + 1 + kGap, r.panel.top()), *r.bench));
        return p;
    }
    const QMargins m = r.frame;
    const QRect s = homeScreen(r);
    const int roomW = std::max(1, s.width() - m.left() - m.right());
    const int roomH = std::max(1, s.height() - m.top() - m.bottom());

    // The panel: its stored size, shrunk to the screen (it scrolls), moved in no further than needed.
    const QSize panel(std::min(r.panel.width(), roomW), std::min(r.panel.height(), roomH));
    const int panelW = framedWidth(panel.width(), m);
    int x = within(r.panel.x() - m.left(), panelW, s.left(), s.left() + s.width());
    const int y =
        within(r.panel.y() - m.top(), framedHeight(panel.height(), m), s.top(), s.top() + s.height());
    auto panelAt = [&](int frameX) { return QRect(QPoint(frameX + m.left(), y + m.top()), panel); };
    if (!r.bench) return {onScreenPixels(panelAt(x), s, r), std::nullopt};

    if (r.remembered && onAScreen(*r.remembered, m, r.screens))
        return {onScreenPixels(panelAt(x), s, r), *r.remembered};

    // The bench: level with the panel, as tall as it asks within the screen.
    const int benchH = std::min(r.bench->height(), roomH);
    const int benchY = within(y, framedHeight(benchH, m), s.top(), s.top() + s.height());
    int benchW = 0;
    int benchX = 0;
    if (panelW + kGap + framedWidth(kBenchMinWidth, m) <= s.width()) {
        // Side by side: the bench takes what is left up to its wanted width, and the panel moves left
        // when both do not fit where it stands.
        benchW = std::min(r.bench->width(), s.width() - panelW - kGap - m.left() - m.right());
        x = std::min(x, s.left() + s.width() - (panelW + kGap + framedWidth(benchW, m)));
        benchX = x + panelW + kGap;
    } else {
        // Over the panel's right part: the panel at the screen's left, the bench at its right, leaving
        // the panel's left half in view when the bench can be that narrow.
        x = s.left();
        const int leavingHalf = s.width() - panelW / 2 - m.left() - m.right();
        benchW = std::min(r.bench->width(), std::max(leavingHalf, std::min(kBenchMinWidth, roomW)));
        benchX = s.left() + s.width() - framedWidth(benchW, m);
    }
    return {onScreenPixels(panelAt(x), s, r),
            onScreenPixels(QRect(QPoint(benchX + m.left(), benchY + m.top()), QSize(benchW, benchH)), s, r)};
}

std::vector<QRect> screensNow() {
    std::vector<QRect> r;
    for (const QScreen* s : QGuiApplication::screens())
        r.push_back(s->availableGeometry());
    return r;
}

QMargins frameOf(const QWidget& window) {
    const QRect outside = window.frameGeometry(), inside = window.geometry();
    return {inside.left() - outside.left(), inside.top() - outside.top(), outside.right() - inside.right(),
            outside.bottom() - inside.bottom()};
}

} // namespace borne::placement
