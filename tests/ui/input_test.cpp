// Input limits of the contact boxes (40, 40 and 100 characters, a line break in
// the comments counting two) and the CR LF line breaks the logic sees.

#include "support/windowtest.h"
#include "ui/limitedtextedit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace {

class InputLimitTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        open();
        comments = control<LimitedTextEdit>("txtCommenti");
    }

    // Puts `text` on the clipboard and pastes it with Ctrl+V.
    static void paste(QWidget* box, const QString& text) {
        QGuiApplication::clipboard()->setText(text);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    }

    static void typeChar(QWidget* box, QChar c) {
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }

    LimitedTextEdit* comments = nullptr;
};

TEST_F(InputLimitTest, OneLineBoxesTakeFortyCharactersTypedOrPasted) {
    auto* number = control<QLineEdit>("txtNome");
    QTest::keyClicks(number, QString(41, '7'));
    EXPECT_EQ(number->text(), QString(40, '7'));

    auto* name = control<QLineEdit>("txtChiamoro");
    QTest::keyClicks(name, "Rossi ");
    paste(name, QString(50, 'x'));
    EXPECT_EQ(name->text(), "Rossi " + QString(34, 'x'));
    typeChar(name, u'à');
    EXPECT_EQ(name->text().size(), 40);
}

TEST_F(InputLimitTest, CommentsTakeAHundredTypedCharacters) {
    QTest::keyClicks(comments, QString(101, 'c'));
    EXPECT_EQ(comments->textCrLf(), QString(100, 'c'));
    typeChar(comments, u'à');
    EXPECT_EQ(comments->length(), 100);

    // Typing over a selection replaces it, so it fits.
    QTest::keyClick(comments, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(comments, Qt::Key_Left, Qt::ShiftModifier);
    typeChar(comments, u'à');
    EXPECT_EQ(comments->textCrLf(), QString(98, 'c') + "à");
}

TEST_F(InputLimitTest, EnterMakesACrLfThatCountsTwo) {
    QTest::keyClicks(comments, QString(97, 'c'));
    QTest::keyClick(comments, Qt::Key_Return);
    EXPECT_EQ(comments->textCrLf(), QString(97, 'c') + "\r\n");
    EXPECT_EQ(comments->length(), 99);

    // One character left: no room for a line break, but for a letter.
    QTest::keyClick(comments, Qt::Key_Enter);
    QTest::keyClick(comments, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(comments->length(), 99);
    QTest::keyClicks(comments, "de");
    EXPECT_EQ(comments->textCrLf(), QString(97, 'c') + "\r\nd");

    // Shift+Enter too gives an ordinary line break.
    comments->clear();
    QTest::keyClicks(comments, "a");
    QTest::keyClick(comments, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(comments, "b");
    EXPECT_EQ(comments->textCrLf(), "a\r\nb");
}

TEST_F(InputLimitTest, PastingInsertsOnlyWhatFits) {
    QTest::keyClicks(comments, QString(95, 'c'));
    paste(comments, "ab\r\ncd");
    EXPECT_EQ(comments->textCrLf(), QString(95, 'c') + "ab\r\nc");

    // A line break never goes in half, nor does a character outside the BMP.
    comments->setTextCrLf(QString(98, 'c'));
    comments->moveCursor(QTextCursor::End);
    paste(comments, "a\r\nb");
    EXPECT_EQ(comments->textCrLf(), QString(98, 'c') + "a");
    paste(comments, QString::fromUtf8("\xF0\x9F\x98\x80")); // two UTF-16 units, one left
    EXPECT_EQ(comments->length(), 99);

    // A full box takes a paste in place of its selection.
    comments->setTextCrLf(QString(100, 'c'));
    comments->moveCursor(QTextCursor::End);
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(comments, Qt::Key_Left, Qt::ShiftModifier);
    }
    paste(comments, "xyz123");
    EXPECT_EQ(comments->textCrLf(), QString(97, 'c') + "xyz");
}

TEST_F(InputLimitTest, InputMethodTextIsCutToFit) {
    QTest::keyClicks(comments, QString(98, 'c'));
    QInputMethodEvent composed;
    composed.setCommitString(QString::fromUtf8("èéê"));
    QApplication::sendEvent(comments, &composed);
    EXPECT_EQ(comments->textCrLf(), QString(98, 'c') + QString::fromUtf8("èé"));
}

TEST_F(InputLimitTest, LogicReadsAndWritesCrLfLineBreaks) {
    window->setText(Casella::txtCommenti, u"riga 1\r\nriga 2\r\n\r\nfine\u00a0");
    EXPECT_EQ(comments->blockCount(), 4);
    EXPECT_EQ(comments->document()->findBlockByNumber(1).text(), "riga 2");
    EXPECT_EQ(window->text(Casella::txtCommenti), u"riga 1\r\nriga 2\r\n\r\nfine\u00a0");

    comments->clear();
    QTest::keyClicks(comments, "uno");
    QTest::keyClick(comments, Qt::Key_Return);
    QTest::keyClicks(comments, "due");
    EXPECT_EQ(window->text(Casella::txtCommenti), u"uno\r\ndue");

    // The one-line boxes hand over their text as it stands, blanks included.
    QTest::keyClicks(control("txtNome"), " 06 123 ");
    EXPECT_EQ(window->text(Casella::txtNome), u" 06 123 ");
}

// Comments written by other programs, with a lone LF or a lone CR.
TEST_F(WindowTest, LoneLineBreaksComeBackByteForByteAndCountOne) {
    const auto filled = [](std::string text, char fill) {
        text.resize(100, fill);
        return text;
    };
    const std::string full = filled("riga uno\nriga due\rfine ", 'x');
    const std::string mixed = filled("uno\r\ndue\ntre\r", 'y');
    const std::string data = record("1", "Anna", full) + record("2", "Bruno", "a\r\nb\nc\rd") +
                             record("3", "Carla", mixed) + record("4", "Dario", "nessuno");
    open(data);
    auto* comments = control<LimitedTextEdit>("txtCommenti");

    // A lone LF is a break inside the paragraph, a lone CR a mark; both count one.
    EXPECT_EQ(comments->blockCount(), 1);
    EXPECT_EQ(comments->document()->toRawText(), QString::fromLatin1(full.data(), 100)
                                                     .replace('\n', QChar::LineSeparator)
                                                     .replace('\r', u'\u240D'));
    EXPECT_EQ(comments->length(), 100);
    comments->setFocus();
    QTest::keyClick(comments, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(comments, "z");
    EXPECT_EQ(comments->length(), 100);

    // Browsed from end to end and back with no edit: not a byte changes.
    for (int i = 0; i < 3; ++i) {
        click("cmdSuccessivo");
    }
    for (int i = 0; i < 3; ++i) {
        click("cmdPrecedente");
    }
    EXPECT_EQ(readFile("Chiamoro.DAT"), data);

    // Typing in such a record saves by the usual rules: a new line is CR LF.
    click("cmdSuccessivo");
    const QTextBlock second = comments->document()->findBlockByNumber(1);
    ASSERT_NE(second.layout(), nullptr);
    EXPECT_EQ(second.layout()->lineCount(), 2); // "b", then "c␍d" on a line of its own
    comments->setFocus();
    QTest::keyClick(comments, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(comments, Qt::Key_Return);
    QTest::keyClicks(comments, "e");
    click("cmdSuccessivo");
    EXPECT_EQ(readFile("Chiamoro.DAT").substr(180, 180), record("2", "Bruno", "a\r\nb\nc\rd\r\ne"));
    EXPECT_EQ(readFile("Chiamoro.DAT").substr(360), data.substr(360));
}

} // namespace
