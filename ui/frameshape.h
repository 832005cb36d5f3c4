#pragma once

#include <QColor>
#include <QWidget>

// A rectangular frame line along the widget's edges, transparent inside. It
// is decoration only: it takes neither the focus nor the mouse.
class FrameShape : public QWidget {
    Q_OBJECT

public:
    explicit FrameShape(QWidget* parent = nullptr);

    void setLineColor(const QColor& color);
    QColor lineColor() const { return lineColor_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor lineColor_ = Qt::black;
};
