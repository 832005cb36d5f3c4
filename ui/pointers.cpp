#include "pointers.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QString>

namespace {

// ICO and CUR files share one layout: a 6-byte header (reserved, type,
// image count) and one 16-byte directory entry per image. In a cursor file
// (type 2) bytes 4-5 and 6-7 of an entry hold the hot spot's x and y.
constexpr int kHeaderSize = 6;
constexpr int kEntrySize = 16;
constexpr int kTypeCursor = 2;

int word(const QByteArray& bytes, qsizetype offset) {
    return static_cast<unsigned char>(bytes[offset]) | static_cast<unsigned char>(bytes[offset + 1])
                                                           << 8;
}

} // namespace

QCursor loadPointer(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QCursor();
    }
    QByteArray bytes = file.readAll();
    if (bytes.size() < kHeaderSize) {
        return QCursor();
    }

    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, word(bytes, 2) == kTypeCursor ? "cur" : "ico");
    QImage picture;
    int chosen = -1;
    for (int index = 0; reader.jumpToImage(index); ++index) {
        const QImage image = reader.read();
        if (!image.isNull() &&
            qint64(image.width()) * image.height() > qint64(picture.width()) * picture.height()) {
            picture = image;
            chosen = index;
        }
    }
    if (picture.isNull()) {
        return QCursor();
    }

    QPoint hotSpot(picture.width() / 2, picture.height() / 2);
    const qsizetype entry = kHeaderSize + qsizetype(chosen) * kEntrySize;
    if (word(bytes, 2) == kTypeCursor && bytes.size() >= entry + kEntrySize) {
        hotSpot = QPoint(word(bytes, entry + 4), word(bytes, entry + 6));
    }
    return QCursor(QPixmap::fromImage(picture), hotSpot.x(), hotSpot.y());
}
