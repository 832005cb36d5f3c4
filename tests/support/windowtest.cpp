#include "windowtest.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cmath>

void WindowTest::open() {
    window = std::make_unique<frmChiamoro>(dialogs);
    finished = std::make_unique<QSignalSpy>(window.get(), &frmChiamoro::finished);
    window->formLoad();
    ASSERT_FALSE(window->ended());
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
}

void WindowTest::open(const std::string& data) {
    writeFile("Chiamoro.DAT", data);
    open();
}

void WindowTest::TearDown() {
    finished.reset();
    window.reset();
    InTempDir::TearDown();
}

void WindowTest::click(const char* name) const {
    QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton);
}

void WindowTest::movePointer(QPoint pos) {
    QTest::mouseMove(window->windowHandle(), pos);
}

void WindowTest::movePointerOver(const char* name) {
    QWidget* target = control(name);
    movePointer(target->mapTo(window.get(), target->rect().center()));
}

QImage render(QWidget* widget) {
    return widget->grab().toImage();
}

QColor pixelAt(const QImage& rendering, QPoint pos) {
    const qreal ratio = rendering.devicePixelRatio();
    return rendering.pixelColor(int(std::floor(pos.x() * ratio)), int(std::floor(pos.y() * ratio)));
}

void answerNextDialog(std::function<void(QWidget*)> handler) {
    auto* poll = new QTimer;
    auto tries = std::make_shared<int>(0);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, tries, handler = std::move(handler)] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            handler(dialog);
        } else if (++*tries > 500) {
            poll->stop();
            poll->deleteLater();
            ADD_FAILURE() << "no dialog opened";
        }
    });
    poll->start();
}
