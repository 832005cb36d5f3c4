#include "contactoutput.h"

#include <QClipboard>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

void copyToClipboard(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

bool printOnDefaultPrinter(const QStringList& texts) {
    // QPrinter is valid even with no printer at all (it falls back to PDF
    // output); only the printer list knows whether there is a default one.
    const QPrinterInfo target = QPrinterInfo::defaultPrinter();
    if (target.isNull()) {
        return false;
    }
    QPrinter printer(target);
    printer.setDocName(QStringLiteral("Chiamoro"));

    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    // Only the size is ours to choose. The face is the one printers default
    // to on office desktops (Liberation Sans stands in for it here); with the
    // wider default sans face the closing line would run off an A4 page.
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(14);
    painter.setFont(font);

    // The painter's origin is the top-left corner of the printable area.
    const QFontMetricsF metrics(painter.font(), &printer);
    const qreal pageHeight = printer.height();
    qreal top = 0;
    for (const QString& text : texts) {
        // Each CR LF starts a new line, and the line is ended after the text:
        // a text ending in CR LF therefore leaves one empty line behind it.
        for (const QString& line : text.split(QStringLiteral("\r\n"))) {
            if (top > 0 && top + metrics.height() > pageHeight) {
                if (!printer.newPage()) {
                    return false;
                }
                top = 0;
            }
            painter.drawText(QPointF(0, top + metrics.ascent()), line);
            top += metrics.lineSpacing();
        }
    }
    // Ending the painter closes the document and hands the job to the printer.
    return painter.end();
}
