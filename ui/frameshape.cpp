#include "frameshape.h"

#include <QPainter>
#include <QPen>

FrameShape::FrameShape(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void FrameShape::setLineColor(const QColor& color) {
    lineColor_ = color;
    update();
}

void FrameShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // One pixel wide, on the outermost pixels: the half-pixel inset puts the
    // line on whole pixels at any device pixel ratio.
    painter.setPen(QPen(lineColor_, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}
