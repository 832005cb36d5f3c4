#include "output/contacttext.h"

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <locale.h>
#include <string>

namespace {

const QString kRule = QStringLiteral("--------------------");

std::string show(const QString& text) {
    return text.toStdString();
}

// ---------------------------------------------------------------------------
// Clipboard text

TEST(ClipboardText, EmptyBoxesGiveTheFiftyFiveCharacterFrame) {
    const QString text = clipboardText({}, {}, {});
    EXPECT_EQ(text.size(), 55);
    EXPECT_EQ(show(text), show(kRule + "\r\n\r\n\r\n\r\n\r\n\r\n" + kRule + "\r\n "));
}

TEST(ClipboardText, NameComesFirstAndBoxTextsAreTakenAsTheyStand) {
    struct Case {
        const char* what;
        QString nome, numero, commenti;
    };
    const Case cases[] = {
        {"plain", "Mario Rossi", "333 1234567", "amico"},
        {"blanks at both ends", "  Zoè Nicolò ", " 02 999 ", "  già  "},
        {"line breaks in the comments", "Anna", "06 123", "riga uno\r\nriga due\r\n"},
        {"full-width fields", QString(40, 'N'), QString(40, '9'), QString(100, 'c')},
        {"characters outside Latin-1", "Łukasz €", "+39", "日本 😀"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString expected = kRule + "\r\n" + c.nome + "\r\n\r\n" + c.numero + "\r\n\r\n" +
                                 c.commenti + "\r\n" + kRule + "\r\n ";
        EXPECT_EQ(show(clipboardText(c.nome, c.numero, c.commenti)), show(expected));
    }
}

TEST(ClipboardText, ReadAsLinesEndsWithASingleBlankAndNoLineBreak) {
    const QStringList lines =
        clipboardText("Nome", "Numero", "uno\r\ndue").split(QStringLiteral("\r\n"));
    const QStringList expected = {kRule, "Nome", "", "Numero", "", "uno", "due", kRule, " "};
    EXPECT_EQ(lines, expected);
}

// ---------------------------------------------------------------------------
// Printed texts

TEST(PrintTexts, OneTextPerStepWithLabelsAndLineBreaks) {
    const QStringList texts =
        printTexts(" Zoè ", "333 1234567", "prima\r\nseconda", "07/03/2024 09:05:03");
    const QStringList expected = {
        "Nome:    Zoè \r\n",
        "Numero:   333 1234567\r\n\r\n",
        "Commenti:   \r\nprima\r\nseconda\r\n",
        "#################################### 07/03/2024 09:05:03 #####",
    };
    ASSERT_EQ(texts.size(), expected.size());
    for (qsizetype i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(show(texts[i]), show(expected[i])) << "step " << i + 1;
    }
}

// The printer starts a new line at each CR LF and ends the line after each
// text, so the page's lines are the CR LF pieces of the texts in turn.
QStringList pageLines(const QStringList& texts) {
    QStringList lines;
    for (const QString& text : texts) {
        lines += text.split(QStringLiteral("\r\n"));
    }
    return lines;
}

TEST(PrintTexts, MakeThePageWithItsEmptyLines) {
    struct Case {
        const char* what;
        QString nome, numero, commenti;
        QStringList commentLines;
    };
    const Case cases[] = {
        {"empty boxes", "", "", "", {""}},
        {"one comment line", "Anna", "06 123", "amica", {"amica"}},
        {"three comment lines", "Anna", "06 123", "uno\r\ndue\r\ntre", {"uno", "due", "tre"}},
        {"comments ending in a line break", "Anna", "06 123", "uno\r\n", {"uno", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QStringList expected = {"Nome:   " + c.nome, "", "Numero:   " + c.numero, "", "",
                                "Commenti:   "};
        expected += c.commentLines;
        expected += QStringList{"", QString(36, '#') + " 01/01/2024 #####"};
        EXPECT_EQ(pageLines(printTexts(c.nome, c.numero, c.commenti, "01/01/2024")), expected);
    }
}

// ---------------------------------------------------------------------------
// Date and time of the closing line

// Makes `name` the calling thread's locale for the lifetime of the object.
// The locales beyond C come from the build tree (LOCPATH).
class ThreadLocale {
public:
    explicit ThreadLocale(const char* name) {
        setenv("LOCPATH", CHIAMORO_TEST_LOCALES, 1);
        locale_ = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(nullptr));
        if (locale_ != static_cast<locale_t>(nullptr)) {
            previous_ = uselocale(locale_);
        }
    }
    ~ThreadLocale() {
        if (locale_ != static_cast<locale_t>(nullptr)) {
            uselocale(previous_);
            freelocale(locale_);
        }
    }
    ThreadLocale(const ThreadLocale&) = delete;
    ThreadLocale& operator=(const ThreadLocale&) = delete;

    bool ok() const { return locale_ != static_cast<locale_t>(nullptr); }

private:
    locale_t locale_ = static_cast<locale_t>(nullptr);
    locale_t previous_ = static_cast<locale_t>(nullptr);
};

#define USE_LOCALE(name)                                                                           \
    ThreadLocale locale_guard(name);                                                               \
    ASSERT_TRUE(locale_guard.ok())                                                                 \
        << "locale " << name << " is missing from " CHIAMORO_TEST_LOCALES                          \
        << " (ctest makes it: output.locales.make)"

std::tm at(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    // Fills in the weekday and day of the year, as localtime would.
    std::tm copy = tm;
    timegm(&copy);
    tm.tm_wday = copy.tm_wday;
    tm.tm_yday = copy.tm_yday;
    return tm;
}

struct DateCase {
    const char* what;
    std::tm when;
    const char* expected;
};

void expectDates(const DateCase* begin, const DateCase* end) {
    for (const DateCase* c = begin; c != end; ++c) {
        SCOPED_TRACE(c->what);
        EXPECT_EQ(show(dateTimeText(c->when)), c->expected);
    }
}

TEST(DateTimeText, ItalianShortDateAndTimeWithSeconds) {
    USE_LOCALE("it_IT.UTF-8");
    const DateCase cases[] = {
        {"morning", at(2024, 3, 7, 9, 5, 3), "07/03/2024 09:05:03"},
        {"afternoon", at(2024, 12, 31, 23, 59, 59), "31/12/2024 23:59:59"},
        {"midnight: the date alone", at(2024, 3, 7, 0, 0, 0), "07/03/2024"},
        {"one second after midnight", at(2024, 3, 7, 0, 0, 1), "07/03/2024 00:00:01"},
        {"one minute after midnight", at(2024, 3, 7, 0, 1, 0), "07/03/2024 00:01:00"},
        {"one hour after midnight", at(2024, 3, 7, 1, 0, 0), "07/03/2024 01:00:00"},
        {"noon", at(2024, 3, 7, 12, 0, 0), "07/03/2024 12:00:00"},
    };
    expectDates(std::begin(cases), std::end(cases));
}

TEST(DateTimeText, FollowsTheLocaleInUse) {
    {
        USE_LOCALE("C");
        const DateCase cases[] = {
            {"C", at(2024, 3, 7, 9, 5, 3), "03/07/24 09:05:03"},
            {"C at midnight", at(2024, 3, 7, 0, 0, 0), "03/07/24"},
        };
        expectDates(std::begin(cases), std::end(cases));
    }
    {
        USE_LOCALE("it_IT.UTF-8");
        EXPECT_EQ(show(dateTimeText(at(2024, 3, 7, 9, 5, 3))), "07/03/2024 09:05:03");
    }
}

TEST(DateTimeText, DecodesTheLocalesOwnEncoding) {
    // Korean dates carry Hangul; this locale writes them in EUC-KR, not UTF-8.
    USE_LOCALE("ko_KR.EUC-KR");
    EXPECT_EQ(show(dateTimeText(at(2024, 3, 7, 9, 5, 3))), "2024년 03월 07일 09시 05분 03초");
}

} // namespace
