// "Stampa contatto" clicked in the window, and the print system's answers.

#include "form/contacttext.h"
#include "printjobs.h"
#include "support/windowtest.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <ctime>
#include <gtest/gtest.h>
#include <iostream>

namespace {

// "Stampa contatto" clicked in the window, printing on the printer "PDF", the
// default of the build tree's print server.
class StampaContatto : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_EQ(QPrinterInfo::defaultPrinterName(), QStringLiteral("PDF"))
            << "the build tree's print server is not running (ctest starts it: "
               "output.printers.start)";
        pdfs_.clear();
    }

    PdfFolder pdfs_{QStringLiteral(CHIAMORO_TEST_PRINT_SERVER_DIR "/jobs")};
};

QString dateTimeAt(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return QString::fromStdU16String(dateTimeText(local));
}

TEST_F(StampaContatto, PrintsTheBoxesAsTheyStandWithTheDateAndTime) {
    const std::string data =
        record(u"0521 998877", u"Zoè Nicolò", u"già cliente\r\n  nuovo numero dal 2024") +
        record(u"06 5551234", u"Bruno", u"");
    open(data);

    // Blanks typed at both ends of the name, and not saved.
    QLineEdit* nome = control<QLineEdit>("txtChiamoro");
    nome->setFocus();
    QTest::keyClick(nome, Qt::Key_End);
    QTest::keyClicks(nome, " Rossi  ");
    QTest::keyClick(nome, Qt::Key_Home);
    QTest::keyClicks(nome, "  ");
    ASSERT_EQ(nome->text(), QStringLiteral("  Zoè Nicolò Rossi  "));
    const std::u16string numero = window->text(Casella::txtNome);
    const std::u16string commenti = window->text(Casella::txtCommenti);
    const QString title = window->windowTitle();

    const std::time_t before = std::time(nullptr);
    QElapsedTimer clock;
    clock.start();
    click("Command3");
    const std::time_t after = std::time(nullptr);
    const qint64 clickReturned = clock.elapsed();
    QString error;
    const QStringList documents = pdfs_.waitForDocuments(&error);
    const qint64 clickToPdf = clock.elapsed();
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_EQ(documents.size(), 1);
    std::cout << "click handled in " << clickReturned << " ms, PDF written " << clickToPdf
              << " ms after the click" << std::endl;

    const QStringList lines = pdfLines(documents.first());
    ASSERT_EQ(lines.size(), 10) << lines.join('\n').toStdString();
    const QStringList expected = {
        "Nome: Zoè Nicolò Rossi", "", "Numero: 0521 998877", "", "", "Commenti:", "già cliente",
        "nuovo numero dal 2024",  "",
    };
    EXPECT_EQ(words(lines).mid(0, 9), expected);

    // The closing line carries the date and the time of the click, once.
    static const QRegularExpression closing(
        QStringLiteral(R"(^#{36} (\d\d/\d\d/\d{4}(?: \d\d:\d\d:\d\d)?) #{5}$)"));
    const QRegularExpressionMatch match = closing.match(lines[9].trimmed());
    ASSERT_TRUE(match.hasMatch()) << lines[9].toStdString();
    QStringList possible;
    for (std::time_t t = before; t <= after; ++t) {
        possible << dateTimeAt(t);
    }
    EXPECT_TRUE(possible.contains(match.captured(1)))
        << match.captured(1).toStdString() << " not in " << possible.join(", ").toStdString();

    // Nothing else happened: no message, no save, no move.
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_EQ(readFile("Chiamoro.DAT"), data);
    EXPECT_EQ(window->windowTitle(), title);
    EXPECT_EQ(window->text(Casella::txtChiamoro), u"  Zoè Nicolò Rossi  ");
    EXPECT_EQ(window->text(Casella::txtNome), numero);
    EXPECT_EQ(window->text(Casella::txtCommenti), commenti);
    QWidget* focus = QApplication::focusWidget();
    EXPECT_TRUE(focus == nome || focus == control("Command3"))
        << "focus moved to " << (focus ? focus->objectName().toStdString() : "nothing");
}

TEST_F(StampaContatto, EveryClickPrintsOneMoreDocument) {
    open(record(u"", u"", u""));
    click("Command3");
    click("Command3");
    QString error;
    const QStringList documents = pdfs_.waitForDocuments(&error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_EQ(documents.size(), 2);
    for (const QString& pdf : documents) {
        const QStringList lines = words(pdfLines(pdf));
        ASSERT_EQ(lines.size(), 9) << lines.join('\n').toStdString();
        EXPECT_EQ(lines.mid(0, 8),
                  (QStringList{"Nome:", "", "Numero:", "", "", "Commenti:", "", ""}));
        EXPECT_TRUE(lines[8].startsWith(QString(36, '#') + ' ')) << lines[8].toStdString();
    }
    EXPECT_TRUE(dialogs.calls.empty());
}

// "Stampa contatto" when the print system answers otherwise than by
// printing at once.
class PrintSystemAnswers : public WindowTest {
protected:
    const std::string data =
        record(u"333 1234567", u"Anna", u"amica") + record(u"06 5551234", u"Bruno", u"");

    // Opens the window on two contacts and edits the name without saving.
    void openAndEdit() {
        open(data);
        control<QLineEdit>("txtChiamoro")->setText(QStringLiteral("Anna Maria"));
        control<QLineEdit>("txtChiamoro")->setFocus();
    }

    // The click shows the print error and changes nothing else.
    void expectTheMessageAndNothingElse() {
        EXPECT_TRUE(dialogs.showedOnlyThePrintFailure());
        EXPECT_FALSE(window->ended());
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Record  1/ 2"));
        EXPECT_EQ(window->text(Casella::txtChiamoro), u"Anna Maria");
        EXPECT_EQ(readFile("Chiamoro.DAT"), data);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }

    QString ownServerFolder() const { return QString::fromStdString(dir()) + "/print"; }
};

TEST_F(PrintSystemAnswers, ADefaultPrinterThatRefusesJobsGetsTheMessage) {
    // The user's own default, on the build tree's print server.
    qputenv("LPDEST", "Rifiuta");
    openAndEdit();
    click("Command3");
    qunsetenv("LPDEST");
    expectTheMessageAndNothingElse();
    EXPECT_TRUE(runTool("lpstat", {"-o", "Rifiuta"}).isEmpty());
}

TEST_F(PrintSystemAnswers, AServerStoppedBeforeTheClickGetsTheMessage) {
    OwnPrintServer server(ownServerFolder(), {"PDF:default"});
    ASSERT_TRUE(server.error().isEmpty()) << server.error().toStdString();
    openAndEdit();
    server.stop();
    click("Command3");
    expectTheMessageAndNothingElse();
}

TEST_F(PrintSystemAnswers, APageThatCannotBeRenderedGetsTheMessage) {
    // The page is laid out into a temporary file first: here the temporary
    // folder is a file, which fails even for root.
    writeFile("non-una-cartella", "");
    qputenv("TMPDIR", QByteArray::fromStdString(dir() + "/non-una-cartella"));
    openAndEdit();
    click("Command3");
    qunsetenv("TMPDIR");
    expectTheMessageAndNothingElse();
}

TEST_F(PrintSystemAnswers, APausedPrinterKeepsTheJobForLaterAndSaysNothing) {
    OwnPrintServer server(ownServerFolder(), {"Ferma:default:hold"});
    ASSERT_TRUE(server.error().isEmpty()) << server.error().toStdString();
    openAndEdit();
    click("Command3");
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_EQ(server.pendingJobs("Ferma").size(), 1);
    EXPECT_EQ(readFile("Chiamoro.DAT"), data);
}

} // namespace
