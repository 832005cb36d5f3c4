#include "printjobs.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <cups/cups.h>

QStringList qtTexts(const std::vector<std::u16string>& texts) {
    QStringList list;
    for (const std::u16string& text : texts) {
        list << QString::fromStdU16String(text);
    }
    return list;
}

QString runTool(const QString& program, const QStringList& arguments, int* exitCode) {
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(program, arguments);
    const bool finished = process.waitForStarted() && process.waitForFinished(60'000);
    if (exitCode != nullptr) {
        *exitCode =
            finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

OwnPrintServer::OwnPrintServer(const QString& folder, const QStringList& queues)
    : folder_(folder), socket_(folder + QStringLiteral("/cups.sock")),
      previous_(qgetenv("CUPS_SERVER")) {
    QProcess script;
    script.setProcessChannelMode(QProcess::MergedChannels);
    script.start(QStringLiteral(CHIAMORO_PRINT_SERVER_SCRIPT),
                 QStringList{"start", folder_, socket_} + queues);
    if (!script.waitForFinished(60'000) || script.exitStatus() != QProcess::NormalExit ||
        script.exitCode() != 0) {
        error_ = QStringLiteral("print-server.sh start failed: ") +
                 QString::fromLocal8Bit(script.readAll());
        return;
    }
    // The program's requests and Qt's go to the server that libcups names;
    // the tools the test runs read the environment.
    qputenv("CUPS_SERVER", QFile::encodeName(socket_));
    cupsSetServer(nullptr);
}

OwnPrintServer::~OwnPrintServer() {
    stop();
    qputenv("CUPS_SERVER", previous_);
    cupsSetServer(nullptr);
}

void OwnPrintServer::stop() {
    runTool(QStringLiteral(CHIAMORO_PRINT_SERVER_SCRIPT), {"stop", folder_});
}

QStringList OwnPrintServer::pendingJobs(const QString& queue) const {
    return runTool(QStringLiteral("lpstat"), {"-o", queue}).split('\n', Qt::SkipEmptyParts);
}

void PdfFolder::clear() const {
    QDir folder(path_);
    for (const QString& name : folder.entryList(QDir::Files)) {
        folder.remove(name);
    }
}

QStringList PdfFolder::waitForDocuments(QString* error) const {
    // A safety net for a stuck queue, not a measure of speed.
    constexpr qint64 kGiveUpMs = 120'000;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        int status = 0;
        const QString pending = runTool(QStringLiteral("lpstat"), {"-o", "PDF"}, &status);
        if (status == 0 && pending.trimmed().isEmpty()) {
            break;
        }
        if (clock.elapsed() > kGiveUpMs) {
            *error = QStringLiteral("the print queue did not drain: ") + pending;
            return {};
        }
        QThread::msleep(20);
    }
    // The printer names each document PDF-JOBID.
    const QDir folder(path_);
    QStringList names = folder.entryList({"PDF-*"}, QDir::Files);
    names.removeIf([](const QString& name) { return name.endsWith(QStringLiteral(".part")); });
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return a.mid(4).toInt() < b.mid(4).toInt();
    });
    QStringList documents;
    for (const QString& name : names) {
        documents << folder.filePath(name);
    }
    if (documents.isEmpty()) {
        *error = QStringLiteral("the queue is empty but no PDF arrived in ") + path_;
    }
    return documents;
}

QStringList pdfLines(const QString& pdf) {
    const QString text =
        runTool(QStringLiteral("pdftotext"), {"-layout", "-enc", "UTF-8", pdf, "-"});
    QStringList lines;
    for (const QString& page : text.split(QLatin1Char('\f'))) {
        QStringList pageLines = page.split(QLatin1Char('\n'));
        lines += pageLines;
    }
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

QStringList words(const QStringList& lines) {
    QStringList result;
    for (const QString& line : lines) {
        result << line.simplified();
    }
    return result;
}

QList<int> pdfFontSizes(const QString& pdf) {
    const QString xml =
        runTool(QStringLiteral("pdftohtml"), {"-xml", "-stdout", "-i", "-zoom", "1", pdf});
    static const QRegularExpression fontspec(QStringLiteral(R"re(<fontspec [^>]*size="(\d+)")re"));
    QList<int> sizes;
    for (const QRegularExpressionMatch& match : fontspec.globalMatch(xml)) {
        sizes << match.captured(1).toInt();
    }
    return sizes;
}

int pdfPages(const QString& pdf) {
    const QString info = runTool(QStringLiteral("pdfinfo"), {pdf});
    static const QRegularExpression pages(QStringLiteral(R"(^Pages:\s+(\d+)$)"),
                                          QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = pages.match(info);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}
