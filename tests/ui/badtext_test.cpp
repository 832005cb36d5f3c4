// Text the data file cannot hold, or that could be taken for markup, pasted
// into the boxes: stored by the code-page rules, shown back, never interpreted.

#include "support/windowtest.h"
#include "ui/limitedtextedit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

class BadTextTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        writeFile("Chiamoro.DAT", record("1", "uno", "") + record("2", "due", ""));
        open();
    }

    static void paste(QWidget* box, const QString& text) {
        QGuiApplication::clipboard()->setText(text);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    }

    // Saves record 1 by going to record 2 and back.
    void saveAndShowAgain() {
        control<QPushButton>("cmdSuccessivo")->click();
        control<QPushButton>("cmdPrecedente")->click();
        ASSERT_EQ(window->windowTitle(), "Record  1/ 2");
    }

    std::string stored(int offset, int width) {
        return readFile("Chiamoro.DAT")
            .substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(width));
    }
    static std::string padded(const std::string& bytes, std::size_t width) {
        return bytes + std::string(width - bytes.size(), ' ');
    }
};

} // namespace

TEST_F(BadTextTest, WhatTheCodePageLacksIsStoredAsQuestionMarks) {
    auto* number = control<QLineEdit>("txtNome");
    auto* name = control<QLineEdit>("txtChiamoro");
    auto* comments = control<LimitedTextEdit>("txtCommenti");
    paste(number, QStringLiteral("电话 📞 05"));            // CJK, an emoji (two code units)
    paste(name, QStringLiteral("שלום Zoë €"));             // right-to-left letters
    paste(comments, QStringLiteral("a\u202Eb\tc\u0007d")); // an override mark, tab, bell
    saveAndShowAgain();

    EXPECT_EQ(stored(0, 40), padded("?? ?? 05", 40));
    EXPECT_EQ(stored(40, 40), padded("???? Zo\xEB \x80", 40));
    EXPECT_EQ(stored(80, 100), padded("a?b\tc\x07"
                                      "d",
                                      100));
    EXPECT_EQ(number->text(), "?? ?? 05");
    EXPECT_EQ(name->text(), QStringLiteral("???? Zoë €"));
    EXPECT_EQ(comments->textCrLf(), QStringLiteral("a?b\tc\u0007d"));
}

TEST_F(BadTextTest, ALoneSurrogateBecomesOneQuestionMark) {
    auto* name = control<QLineEdit>("txtChiamoro");
    paste(name, QString(QChar(0xD83D)) + QStringLiteral("x"));
    saveAndShowAgain();
    EXPECT_EQ(stored(40, 40), padded("?x", 40));
    EXPECT_EQ(name->text(), "?x");
}

TEST_F(BadTextTest, TextThatLooksLikeMarkupStaysText) {
    auto* name = control<QLineEdit>("txtChiamoro");
    auto* comments = control<LimitedTextEdit>("txtCommenti");
    paste(name, QStringLiteral("<b>Rossi</b> &amp;"));
    paste(comments, QStringLiteral("<img src=x onerror=1>\r\n<i>riga</i>"));
    saveAndShowAgain();
    EXPECT_EQ(stored(40, 40), padded("<b>Rossi</b> &amp;", 40));
    EXPECT_EQ(name->text(), "<b>Rossi</b> &amp;");
    EXPECT_EQ(comments->textCrLf(), "<img src=x onerror=1>\r\n<i>riga</i>");
    EXPECT_EQ(comments->toPlainText(), "<img src=x onerror=1>\n<i>riga</i>");
}

TEST_F(BadTextTest, APasteFarOverTheLimitKeepsOnlyWhatFits) {
    auto* number = control<QLineEdit>("txtNome");
    auto* comments = control<LimitedTextEdit>("txtCommenti");
    QString huge;
    for (int i = 0; i < 20000; ++i) {
        huge += QStringLiteral("riga %1 😀\n").arg(i);
    }
    paste(number, huge);
    paste(comments, huge);
    EXPECT_LE(number->text().size(), 40);
    EXPECT_LE(comments->textCrLf().size(), 100);
    saveAndShowAgain();
    EXPECT_EQ(readFile("Chiamoro.DAT").size(), 360u);
    EXPECT_EQ(comments->textCrLf().left(8), "riga 0 ?");
}
