#include "contactoutput.h"

#include <QClipboard>
#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryFile>
#include <cups/cups.h>
#include <memory>
#include <utility>
#include <vector>

void copyToClipboard(const QString& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

namespace {

// How long the print server may keep us waiting, to connect or to answer,
// before the print counts as failed.
constexpr int kServerTimeoutMs = 30'000;

struct ConnectionCloser {
    void operator()(http_t* http) const { httpClose(http); }
};
using Connection = std::unique_ptr<http_t, ConnectionCloser>;

struct DestinationFree {
    void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};
using Destination = std::unique_ptr<cups_dest_t, DestinationFree>;

// The print server the user's settings name (CUPS_SERVER, client.conf, or
// the local one), with a time limit on every wait.
Connection connectToServer() {
    Connection http(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                 kServerTimeoutMs, nullptr));
    if (http) {
        httpSetTimeout(http.get(), kServerTimeoutMs / 1000.0, nullptr, nullptr);
    }
    return http;
}

// Lays the texts out on `printer`, as the page has always been printed.
bool layOut(QPrinter& printer, const QStringList& texts) {
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
    return painter.end();
}

// The job options Qt's own print engine gives a one-copy print.
std::vector<std::pair<QByteArray, QByteArray>> jobOptions(const QPrinter& printer) {
    std::vector<std::pair<QByteArray, QByteArray>> options;
    options.emplace_back("media", printer.pageLayout().pageSize().key().toUtf8());
    switch (printer.duplex()) {
    case QPrinter::DuplexNone:
        options.emplace_back("sides", "one-sided");
        break;
    case QPrinter::DuplexAuto:
    case QPrinter::DuplexLongSide:
        options.emplace_back("sides", "two-sided-long-edge");
        break;
    case QPrinter::DuplexShortSide:
        options.emplace_back("sides", "two-sided-short-edge");
        break;
    }
    return options;
}

} // namespace

bool printOnDefaultPrinter(const QStringList& texts) {
    // Every step asks the print server itself, over one connection: the
    // destination, then the job, whose acceptance is the only success.
    const Connection http = connectToServer();
    if (!http) {
        return false;
    }
    const Destination destination(cupsGetNamedDest(http.get(), nullptr, nullptr));
    if (!destination) {
        return false; // no default destination, or no answer
    }
    QString name = QString::fromLocal8Bit(destination->name);
    if (destination->instance != nullptr) {
        name += QLatin1Char('/') + QString::fromLocal8Bit(destination->instance);
    }
    const QPrinterInfo target = QPrinterInfo::printerInfo(name);
    if (target.isNull()) {
        return false;
    }

    // Qt lays the page out for the destination, as when it prints itself, but
    // into a file of ours (a name without ".pdf" keeps the printer's own page
    // setup) that is then handed to the server.
    QTemporaryFile document(QDir::tempPath() + QStringLiteral("/chiamoro-XXXXXX"));
    if (!document.open()) {
        return false;
    }
    QPrinter printer(target);
    printer.setDocName(QStringLiteral("Chiamoro"));
    printer.setOutputFileName(document.fileName());
    if (!layOut(printer, texts)) {
        return false;
    }

    const auto options = jobOptions(printer);
    std::vector<cups_option_t> cupsOptions;
    for (const auto& [key, value] : options) {
        cupsOptions.push_back(
            {const_cast<char*>(key.constData()), const_cast<char*>(value.constData())});
    }
    const QByteArray file = QFile::encodeName(document.fileName());
    const int job = cupsPrintFile2(http.get(), destination->name, file.constData(), "Chiamoro",
                                   static_cast<int>(cupsOptions.size()), cupsOptions.data());
    return job > 0;
}
