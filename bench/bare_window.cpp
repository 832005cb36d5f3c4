// The floor for start-up: a bare Qt window with the nineteen controls of the
// phone book's window (two one-line boxes, two multi-line boxes, nine buttons,
// four labels, a picture and a frame) at their places in ui/layout.h, with
// their captions, and nothing else: no fonts, colours, pointers, pictures or
// data file. It quits as soon as the window has been shown.

#include "ui/layout.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace {

using layout::pixels;

QWidget* create(QWidget* window, const layout::Control& row) {
    const QString caption = QString::fromUtf16(row.caption);
    switch (row.kind) {
    case layout::Kind::frame: {
        auto* frame = new QFrame(window);
        frame->setFrameShape(QFrame::Box);
        return frame;
    }
    case layout::Kind::picture:
    case layout::Kind::label:
        return new QLabel(caption, window);
    case layout::Kind::textBox:
        return new QLineEdit(window);
    case layout::Kind::textArea:
        return new QPlainTextEdit(window);
    case layout::Kind::button:
        return new QPushButton(caption, window);
    }
    return new QWidget(window);
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setFixedSize(pixels(layout::kClientWidth), pixels(layout::kClientHeight));

    for (const layout::Control& row : layout::kControls) {
        const layout::Place place = layout::inPixels(row.place);
        create(&window, row)->setGeometry(place.left, place.top, place.width, place.height);
    }

    window.setWindowTitle(QStringLiteral("Record  1/ 1"));
    window.show();
    QTimer::singleShot(0, &application, &QCoreApplication::quit);
    return application.exec();
}
