#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

// Helpers for the tests that print through the build tree's print server and
// read back the PDF that reached its printer.

// Texts as Qt holds them.
QStringList qtTexts(const std::vector<std::u16string>& texts);

// Runs a tool and returns its standard output; `exitCode` gets its status
// (-1 if it could not be started).
QString runTool(const QString& program, const QStringList& arguments, int* exitCode = nullptr);

// A print server of the test's own, in `folder`, with the given queues (as
// tests/support/print-server.sh takes them: "NAME:default:reject", ...), made
// the one this process prints on for as long as the object lives.
class OwnPrintServer {
public:
    OwnPrintServer(const QString& folder, const QStringList& queues);
    ~OwnPrintServer();
    OwnPrintServer(const OwnPrintServer&) = delete;
    OwnPrintServer& operator=(const OwnPrintServer&) = delete;

    // Empty once the server runs; otherwise what went wrong.
    const QString& error() const { return error_; }

    // Stops the server: from now on it cannot be reached.
    void stop();

    // The jobs waiting in `queue`, as "lpstat -o" lists them.
    QStringList pendingJobs(const QString& queue) const;

private:
    QString folder_;
    QString socket_;
    QByteArray previous_;
    QString error_;
};

// The folder where the print server's printer "PDF" leaves each job's
// document, as the program sent it.
class PdfFolder {
public:
    explicit PdfFolder(QString path) : path_(std::move(path)) {}

    const QString& path() const { return path_; }

    // Removes every document left by earlier tests.
    void clear() const;

    // Waits until the printer's queue is empty, then returns the documents in
    // the folder, in the order they were printed. An empty list with `error`
    // set if the queue does not drain.
    QStringList waitForDocuments(QString* error) const;

private:
    QString path_;
};

// The text of a PDF as `pdftotext -layout` gives it, one entry per line, each
// page's lines in turn, without the trailing empty lines of the last page.
QStringList pdfLines(const QString& pdf);

// Each line with its runs of blanks between words collapsed to one blank and
// no blanks at its ends: pdftotext rebuilds blanks from glyph positions, so
// only the words and their order are exact.
QStringList words(const QStringList& lines);

// The font sizes in points that the PDF uses, from `pdftohtml -xml`.
QList<int> pdfFontSizes(const QString& pdf);

// The page count, from `pdfinfo`.
int pdfPages(const QString& pdf);
