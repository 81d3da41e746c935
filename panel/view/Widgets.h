// The few kinds of control the toolkit has no ready widget for, drawn the way the panel's form draws them.
#pragma once

#include "panel/PanneauOperateur.h"

#include <QColor>
#include <QGroupBox>
#include <QImage>
#include <QWidget>

namespace borne::vue {

QColor enQColor(Couleur bbggrr);

// A group box whose caption sits on its frame, 8 pixels in, over the box's own colour. Its children are
// placed from its top-left corner, caption line included.
class BoiteGroupeWidget : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent*) override;
};

// A shape: circle, ellipse or rounded rectangle, filled with its brush colour, outlined by a black pen.
class FormeWidget : public QWidget {
public:
    FormeWidget(FormeContour contour, QWidget* parent);
    void setCouleur(const QColor& c);
    QColor couleur() const { return couleur_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    FormeContour contour_;
    QColor couleur_;
};

// A picture drawn at its own size from the box's top-left corner, clipped to the box; what it leaves
// uncovered shows what lies beneath.
class ImageWidget : public QWidget {
public:
    ImageWidget(QImage image, QWidget* parent);
    void montrer(QImage image); // the picture, once decoded

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QImage image_;
};

// A status bar without panels and with simple mode off: a plain bar, its text kept but not drawn.
class BarreEtatWidget : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override;
};

} // namespace borne::vue
