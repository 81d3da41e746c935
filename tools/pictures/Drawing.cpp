#include "tools/pictures/Drawing.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPathStroker>

#include <algorithm>
#include <cmath>
#include <vector>

namespace borne::pictures {

namespace {

// The font of the pictures' labels: one the window's packages install, bold like painted lettering.
QFont labelFont(double scale) {
    QFont f(QStringLiteral("Liberation Sans"));
    f.setBold(true);
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(7 * scale / 0.73)))); // capitals 73% of it
    f.setHintingPreference(QFont::PreferNoHinting); // the same shapes whatever the font engine's taste
    return f;
}

// One pass of a box filter `2 * radius` wide (fractional ends) along rows or columns of `v`.
void boxPass(std::vector<double>& v, int w, int h, double radius, bool alongRows) {
    const int reach = static_cast<int>(std::ceil(radius - 0.5));
    std::vector<double> weights;
    for (int k = -reach; k <= reach; ++k) {
        const double overlap = std::min(k + 0.5, radius) - std::max(k - 0.5, -radius);
        weights.push_back(std::max(0.0, overlap) / (2 * radius));
    }
    const int n = alongRows ? w : h, lines = alongRows ? h : w;
    std::vector<double> line(static_cast<std::size_t>(n));
    for (int l = 0; l < lines; ++l) {
        auto at = [&](int i) -> double& {
            return alongRows ? v[static_cast<std::size_t>(l) * w + i]
                             : v[static_cast<std::size_t>(i) * w + l];
        };
        for (int i = 0; i < n; ++i)
            line[static_cast<std::size_t>(i)] = at(i);
        for (int i = 0; i < n; ++i) {
            double sum = 0;
            for (int k = -reach; k <= reach; ++k)
                if (i + k >= 0 && i + k < n)
                    sum += weights[static_cast<std::size_t>(k + reach)] * line[i + k];
            at(i) = sum;
        }
    }
}

} // namespace

QColor mix(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
}

QPainterPath box(double x0, double y0, double x1, double y1, double radius) {
    QPainterPath p;
    const double r = std::min({radius, (x1 - x0) / 2, (y1 - y0) / 2});
    if (r > 0)
        p.addRoundedRect(QRectF(x0, y0, x1 - x0, y1 - y0), r, r);
    else
        p.addRect(QRectF(x0, y0, x1 - x0, y1 - y0));
    return p;
}

QPainterPath disc(double cx, double cy, double r) {
    return oval(cx, cy, r, r);
}

QPainterPath oval(double cx, double cy, double rx, double ry) {
    QPainterPath p;
    p.addEllipse(QPointF(cx, cy), rx, ry);
    return p;
}

QPainterPath segment(QPointF a, QPointF b, double width) {
    QPainterPath ligne(a);
    ligne.lineTo(b);
    QPainterPathStroker s;
    s.setWidth(width);
    s.setCapStyle(Qt::RoundCap);
    return s.createStroke(ligne).simplified();
}

QPainterPath polygon(const std::vector<QPointF>& corners) {
    QPainterPath p;
    p.addPolygon(QPolygonF(QList<QPointF>(corners.begin(), corners.end())));
    p.closeSubpath();
    return p;
}

QPainterPath unite(const std::vector<QPainterPath>& parts) {
    QPainterPath all;
    for (const QPainterPath& p : parts)
        all = all.united(p);
    return all;
}

QPainterPath outline(const QPainterPath& p, double width) {
    QPainterPathStroker s;
    s.setWidth(width);
    s.setJoinStyle(Qt::RoundJoin);
    return s.createStroke(p);
}

QBrush vertical(double y0, const QColor& top, double y1, const QColor& bottom) {
    QLinearGradient g(0, y0, 0, y1);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

QBrush horizontal(double x0, const QColor& left, double x1, const QColor& right) {
    QLinearGradient g(x0, 0, x1, 0);
    g.setColorAt(0, left);
    g.setColorAt(1, right);
    return g;
}

Canvas::Canvas(int width, int height, const QColor& background)
    : image_(width, height, QImage::Format_ARGB32_Premultiplied) {
    image_.fill(background);
}

void Canvas::fill(const QPainterPath& p, const QBrush& brush, double opacity) {
    QPainter painter(&image_);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(opacity);
    painter.fillPath(p, brush);
}

void Canvas::shadow(const QPainterPath& p, double blur, double opacity) {
    // The path's coverage, box-blurred both ways: across a straight edge that is a ramp from 1 to 0
    // over [-blur, blur]; eased, it darkens the pixels beneath.
    const QRect zone =
        p.boundingRect().adjusted(-blur - 1, -blur - 1, blur + 1, blur + 1).toAlignedRect() & image_.rect();
    if (zone.isEmpty()) return;
    QImage mask(zone.size(), QImage::Format_Grayscale8);
    mask.fill(0);
    {
        QPainter painter(&mask);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.translate(-zone.topLeft());
        painter.fillPath(p, Qt::white);
    }
    const int w = zone.width(), h = zone.height();
    std::vector<double> cover(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            cover[static_cast<std::size_t>(y) * w + x] = mask.constScanLine(y)[x] / 255.0;
    boxPass(cover, w, h, blur, true);
    boxPass(cover, w, h, blur, false);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image_.scanLine(zone.top() + y)) + zone.left();
        for (int x = 0; x < w; ++x) {
            const double t = std::clamp(cover[static_cast<std::size_t>(y) * w + x], 0.0, 1.0);
            const double keep = 1 - t * t * (3 - 2 * t) * opacity;
            const QRgb c = line[x];
            auto scale = [keep](int v) { return static_cast<int>(std::lround(v * keep)); };
            line[x] = qRgba(scale(qRed(c)), scale(qGreen(c)), scale(qBlue(c)), qAlpha(c));
        }
    }
}

void Canvas::text(const char* utf8, double x, double y, double scale, const QColor& c) {
    QPainter painter(&image_);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QFont f = labelFont(scale);
    painter.setFont(f);
    painter.setPen(c);
    painter.drawText(QPointF(x, y + QFontMetricsF(f).capHeight()), QString::fromUtf8(utf8));
}

void Canvas::centredText(const char* utf8, double cx, double cy, double scale, const QColor& c) {
    const QFontMetricsF m(labelFont(scale));
    const QString s = QString::fromUtf8(utf8);
    text(utf8, cx - m.horizontalAdvance(s) / 2, cy - m.capHeight() / 2, scale, c);
}

} // namespace borne::pictures
