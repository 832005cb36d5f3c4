// The Qt clipboard writer, in the application's own clipboard.

#include "output/contactoutput.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <gtest/gtest.h>

namespace {

// The application's own clipboard (offscreen, no display); the real X
// clipboard is exercised through the program in clipboard_test.cpp.
TEST(CopyToClipboard, ReplacesAnyContentWithPlainTextOnly) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    auto* previous = new QMimeData;
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    previous->setImageData(picture);
    previous->setHtml(QStringLiteral("<b>vecchio</b>"));
    clipboard->setMimeData(previous);

    const QString text = QStringLiteral("--------------------\r\n Zoè \r\n\r\n€ 5\r\n ");
    copyToClipboard(text);

    const QMimeData* now = clipboard->mimeData();
    ASSERT_NE(now, nullptr);
    EXPECT_EQ(now->formats(), QStringList{QStringLiteral("text/plain")});
    EXPECT_EQ(clipboard->text(), text);

    // Twice in a row: the same text.
    copyToClipboard(text);
    EXPECT_EQ(clipboard->text(), text);
}

} // namespace
