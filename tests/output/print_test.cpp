// The printed page handed to a private print server: its lines, font and documents.

#include "form/contacttext.h"
#include "output/contactoutput.h"
#include "printjobs.h"
#include "support/tempdir.h"

#include <QPrinterInfo>
#include <gtest/gtest.h>

namespace {

// Prints on the printer "PDF", the default of the build tree's print server.
class DefaultPrinter : public InTempDir {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        ASSERT_EQ(QPrinterInfo::defaultPrinterName(), QStringLiteral("PDF"))
            << "the build tree's print server is not running (ctest starts it: "
               "output.printers.start)";
        pdfs_.clear();
    }

    // The documents that reached the printer since the test began.
    QStringList printed() {
        QString error;
        const QStringList documents = pdfs_.waitForDocuments(&error);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        return documents;
    }

    PdfFolder pdfs_{QStringLiteral(CHIAMORO_TEST_PRINT_SERVER_DIR "/jobs")};
};

std::tm morning() {
    std::tm tm{};
    tm.tm_year = 2024 - 1900;
    tm.tm_mon = 2;
    tm.tm_mday = 7;
    tm.tm_hour = 9;
    tm.tm_min = 5;
    tm.tm_sec = 3;
    return tm;
}

std::string show(const QStringList& lines) {
    return lines.join(QLatin1Char('\n')).toStdString();
}

TEST_F(DefaultPrinter, PrintsTheContactLineByLineIn14Points) {
    const std::u16string closing = dateTimeText(morning());
    ASSERT_TRUE(
        printOnDefaultPrinter(qtTexts(printTexts(u"  Zoè Nicolò Àlvarez ", u"+39 333 1234567",
                                                 u"collega\r\n  di Mario\r\nùltima", closing))));
    const QStringList documents = printed();
    ASSERT_EQ(documents.size(), 1);
    const QString pdf = documents.first();

    const QStringList lines = pdfLines(pdf);
    const QStringList expected = {
        "Nome: Zoè Nicolò Àlvarez",
        "",
        "Numero: +39 333 1234567",
        "",
        "",
        "Commenti:",
        "collega",
        "di Mario",
        "ùltima",
        "",
        "#################################### " + QString::fromStdU16String(closing) + " #####",
    };
    EXPECT_EQ(show(words(lines)), show(expected));
    // Blanks at the start of a comment line are printed: the line is indented.
    ASSERT_GE(lines.size(), 8);
    EXPECT_TRUE(lines[7].startsWith(QLatin1Char(' '))) << lines[7].toStdString();
    EXPECT_FALSE(lines[6].startsWith(QLatin1Char(' '))) << lines[6].toStdString();

    EXPECT_EQ(pdfPages(pdf), 1);
    const QList<int> sizes = pdfFontSizes(pdf);
    ASSERT_FALSE(sizes.isEmpty());
    for (int size : sizes) {
        EXPECT_EQ(size, 14);
    }
}

TEST_F(DefaultPrinter, EmptyBoxesStillGiveTheWholePage) {
    const QString closing = QString::fromStdU16String(dateTimeText(morning()));
    ASSERT_TRUE(printOnDefaultPrinter(qtTexts(printTexts({}, {}, {}, dateTimeText(morning())))));
    const QStringList documents = printed();
    ASSERT_EQ(documents.size(), 1);
    const QStringList expected = {
        "Nome:", "", "Numero:",
        "",      "", "Commenti:",
        "",      "", "#################################### " + closing + " #####",
    };
    EXPECT_EQ(show(words(pdfLines(documents.first()))), show(expected));
}

TEST_F(DefaultPrinter, LinesBeyondThePageContinueOnTheNextOne) {
    QStringList texts;
    QStringList expected;
    for (int i = 1; i <= 90; ++i) {
        const QString line = QStringLiteral("riga %1").arg(i);
        texts << line;
        expected << line;
    }
    ASSERT_TRUE(printOnDefaultPrinter(texts));
    const QStringList documents = printed();
    ASSERT_EQ(documents.size(), 1);
    EXPECT_EQ(pdfPages(documents.first()), 2);
    QStringList found = words(pdfLines(documents.first()));
    found.removeAll(QString());
    EXPECT_EQ(show(found), show(expected));
}

TEST_F(DefaultPrinter, EachPrintIsOneDocument) {
    ASSERT_TRUE(printOnDefaultPrinter({QStringLiteral("primo")}));
    ASSERT_TRUE(printOnDefaultPrinter({QStringLiteral("secondo")}));
    const QStringList documents = printed();
    ASSERT_EQ(documents.size(), 2);
    QStringList texts;
    for (const QString& pdf : documents) {
        texts << words(pdfLines(pdf)).join(QLatin1Char('|'));
    }
    texts.sort();
    EXPECT_EQ(texts, (QStringList{"primo", "secondo"}));
}

} // namespace
