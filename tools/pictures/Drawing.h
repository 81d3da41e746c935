// What the picture generator draws with: antialiased QPainter paths filled with plain colours or
// gradients, soft shadows, and text placed by the height of its capitals.
#pragma once

#include <QBrush>
#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QString>

#include <cstdint>
#include <vector>

namespace borne::pictures {

// 0xRRGGBB, the way the scenes write their colours.
inline QColor rgb(std::uint32_t v) {
    return QColor((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}
QColor mix(const QColor& a, const QColor& b, double t);
inline QColor lighten(const QColor& c, double t) {
    return mix(c, Qt::white, t);
}
inline QColor darken(const QColor& c, double t) {
    return mix(c, Qt::black, t);
}

// Paths, in pixel coordinates: pixel (i, j) covers [i, i+1) x [j, j+1).
QPainterPath box(double x0, double y0, double x1, double y1, double radius = 0);
QPainterPath disc(double cx, double cy, double r);
QPainterPath oval(double cx, double cy, double rx, double ry);
QPainterPath segment(QPointF a, QPointF b, double width); // round ends
QPainterPath polygon(const std::vector<QPointF>& corners);
QPainterPath unite(const std::vector<QPainterPath>& parts);
QPainterPath outline(const QPainterPath& p, double width); // a band of that width centred on the edge

// Colour along a line, held at its ends' colours beyond them.
QBrush vertical(double y0, const QColor& top, double y1, const QColor& bottom);
QBrush horizontal(double x0, const QColor& left, double x1, const QColor& right);

class Canvas {
public:
    // Opaque, or fully transparent when `background` is.
    Canvas(int width, int height, const QColor& background);

    int width() const { return image_.width(); }
    const QImage& image() const { return image_; }

    void fill(const QPainterPath& p, const QBrush& brush, double opacity = 1.0);
    // Darkens what lies under the path, blurred over `blur` pixels either side of its edge.
    void shadow(const QPainterPath& p, double blur, double opacity);
    // Text whose capitals are 7 * scale pixels high, their top-left corner at (x, y). UTF-8.
    void text(const char* utf8, double x, double y, double scale, const QColor& c);
    void centredText(const char* utf8, double cx, double cy, double scale, const QColor& c);

private:
    QImage image_;
};

} // namespace borne::pictures
