#include "panel/view/Widgets.h"

#include <QPainter>

namespace borne::vue {

namespace {
const QColor ombre(160, 160, 160);
const QColor lumiere(255, 255, 255);
} // namespace

QColor enQColor(Couleur bbggrr) {
    return QColor(static_cast<int>(bbggrr & 0xFF), static_cast<int>((bbggrr >> 8) & 0xFF),
                  static_cast<int>((bbggrr >> 16) & 0xFF));
}

void BoiteGroupeWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QFontMetrics fm(font());
    // The frame's top runs through the middle of the caption line.
    const int y = fm.height() / 2 - 1;
    const QRect cadre(0, y, width() - 2, height() - y - 2);
    p.setPen(ombre);
    p.drawRect(cadre);
    p.setPen(lumiere);
    p.drawRect(cadre.translated(1, 1));
    if (title().isEmpty()) return;
    const QRect texte(8, 0, fm.horizontalAdvance(title()), fm.height());
    p.fillRect(texte, palette().color(QPalette::Window));
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(texte, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title());
}

FormeWidget::FormeWidget(FormeContour contour, QWidget* parent) : QWidget(parent), contour_(contour) {}

void FormeWidget::setCouleur(const QColor& c) {
    if (c == couleur_) return;
    couleur_ = c;
    update();
}

void FormeWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(couleur_);
    // The pen's line lies inside the box.
    QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    switch (contour_) {
    case FormeContour::Cercle: {
        const qreal d = std::min(r.width(), r.height());
        p.drawEllipse(QRectF(r.center().x() - d / 2, r.center().y() - d / 2, d, d));
        break;
    }
    case FormeContour::Ellipse: p.drawEllipse(r); break;
    case FormeContour::RectangleArrondi: {
        const qreal rayon = std::min(r.width(), r.height()) / 4;
        p.drawRoundedRect(r, rayon, rayon);
        break;
    }
    }
}

ImageWidget::ImageWidget(QImage image, QWidget* parent) : QWidget(parent), image_(std::move(image)) {}

void ImageWidget::montrer(QImage image) {
    image_ = std::move(image);
    update();
}

void ImageWidget::paintEvent(QPaintEvent*) {
    if (image_.isNull()) return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform); // scaled up for a projector: no blocks
    p.drawImage(0, 0, image_);
}

void BarreEtatWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.setPen(ombre);
    p.drawLine(0, 0, width() - 1, 0);
    p.setPen(lumiere);
    p.drawLine(0, 1, width() - 1, 1);
    // The size grip in the right-hand corner.
    for (int i = 0; i < 3; ++i) {
        const int d = 4 * i + 4;
        p.setPen(ombre);
        p.drawLine(width() - d, height() - 2, width() - 2, height() - d);
        p.setPen(lumiere);
        p.drawLine(width() - d + 1, height() - 2, width() - 2, height() - d + 1);
    }
}

} // namespace borne::vue
