// The texts the form composes for the clipboard and the printed page.

#include "form/contacttext.h"

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <locale.h>
#include <string>
#include <vector>

namespace {

const std::u16string kRule(20, u'-');

// The pieces of `text` between its CR LF pairs.
std::vector<std::u16string> lines(const std::u16string& text) {
    std::vector<std::u16string> pieces;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(u"\r\n", start)) != std::u16string::npos;
         start = end + 2) {
        pieces.push_back(text.substr(start, end - start));
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

// ---------------------------------------------------------------------------
// Clipboard text

TEST(ClipboardText, EmptyBoxesGiveTheFiftyFiveCharacterFrame) {
    const std::u16string text = clipboardText({}, {}, {});
    EXPECT_EQ(text.size(), 55u);
    EXPECT_EQ(text, kRule + u"\r\n\r\n\r\n\r\n\r\n\r\n" + kRule + u"\r\n ");
}

TEST(ClipboardText, NameComesFirstAndBoxTextsAreTakenAsTheyStand) {
    struct Case {
        const char* what;
        std::u16string nome, numero, commenti;
        std::u16string expected;
    };
    const Case cases[] = {
        {"plain", u"Mario Rossi", u"333 1234567", u"amico",
         u"--------------------\r\nMario Rossi\r\n\r\n333 1234567\r\n\r\namico\r\n"
         u"--------------------\r\n "},
        {"blanks at both ends", u"  Zoè Nicolò ", u" 02 999 ", u"  già  ",
         u"--------------------\r\n  Zoè Nicolò \r\n\r\n 02 999 \r\n\r\n  già  \r\n"
         u"--------------------\r\n "},
        {"line breaks in the comments", u"Anna", u"06 123", u"riga uno\r\nriga due\r\n",
         u"--------------------\r\nAnna\r\n\r\n06 123\r\n\r\nriga uno\r\nriga due\r\n\r\n"
         u"--------------------\r\n "},
        {"characters outside Latin-1", u"Łukasz €", u"+39", u"日本 😀",
         u"--------------------\r\nŁukasz €\r\n\r\n+39\r\n\r\n日本 😀\r\n"
         u"--------------------\r\n "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(clipboardText(c.nome, c.numero, c.commenti), c.expected);
    }
    // Full-width fields: 20 + 2 + 40 + 4 + 40 + 4 + 100 + 2 + 20 + 2 + 1 characters.
    EXPECT_EQ(
        clipboardText(std::u16string(40, u'N'), std::u16string(40, u'9'), std::u16string(100, u'c'))
            .size(),
        235u);
}

TEST(ClipboardText, ReadAsLinesEndsWithASingleBlankAndNoLineBreak) {
    const std::vector<std::u16string> expected = {kRule,  u"Nome", u"",   u"Numero", u"",
                                                  u"uno", u"due",  kRule, u" "};
    EXPECT_EQ(lines(clipboardText(u"Nome", u"Numero", u"uno\r\ndue")), expected);
}

// ---------------------------------------------------------------------------
// Printed texts

TEST(PrintTexts, OneTextPerStepWithLabelsAndLineBreaks) {
    const std::vector<std::u16string> texts =
        printTexts(u" Zoè ", u"333 1234567", u"prima\r\nseconda", u"07/03/2024 09:05:03");
    const std::vector<std::u16string> expected = {
        u"Nome:    Zoè \r\n",
        u"Numero:   333 1234567\r\n\r\n",
        u"Commenti:   \r\nprima\r\nseconda\r\n",
        u"#################################### 07/03/2024 09:05:03 #####",
    };
    ASSERT_EQ(texts.size(), expected.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(texts[i], expected[i]) << "step " << i + 1;
    }
}

// The printer starts a new line at each CR LF and ends the line after each
// text, so the page's lines are the CR LF pieces of the texts in turn.
std::vector<std::u16string> pageLines(const std::vector<std::u16string>& texts) {
    std::vector<std::u16string> page;
    for (const std::u16string& text : texts) {
        for (const std::u16string& line : lines(text)) {
            page.push_back(line);
        }
    }
    return page;
}

TEST(PrintTexts, MakeThePageWithItsEmptyLines) {
    struct Case {
        const char* what;
        std::u16string nome, numero, commenti;
        std::vector<std::u16string> page;
    };
    const std::u16string closing = u"#################################### 01/01/2024 #####";
    const Case cases[] = {
        {"empty boxes",
         u"",
         u"",
         u"",
         {u"Nome:   ", u"", u"Numero:   ", u"", u"", u"Commenti:   ", u"", u"", closing}},
        {"one comment line",
         u"Anna",
         u"06 123",
         u"amica",
         {u"Nome:   Anna", u"", u"Numero:   06 123", u"", u"", u"Commenti:   ", u"amica", u"",
          closing}},
        {"three comment lines",
         u"Anna",
         u"06 123",
         u"uno\r\ndue\r\ntre",
         {u"Nome:   Anna", u"", u"Numero:   06 123", u"", u"", u"Commenti:   ", u"uno", u"due",
          u"tre", u"", closing}},
        {"comments ending in a line break",
         u"Anna",
         u"06 123",
         u"uno\r\n",
         {u"Nome:   Anna", u"", u"Numero:   06 123", u"", u"", u"Commenti:   ", u"uno", u"", u"",
          closing}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(pageLines(printTexts(c.nome, c.numero, c.commenti, u"01/01/2024")), c.page);
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
    const char16_t* expected;
};

void expectDates(const DateCase* begin, const DateCase* end) {
    for (const DateCase* c = begin; c != end; ++c) {
        SCOPED_TRACE(c->what);
        EXPECT_EQ(dateTimeText(c->when), c->expected);
    }
}

TEST(DateTimeText, ItalianShortDateAndTimeWithSeconds) {
    USE_LOCALE("it_IT.UTF-8");
    const DateCase cases[] = {
        {"morning", at(2024, 3, 7, 9, 5, 3), u"07/03/2024 09:05:03"},
        {"afternoon", at(2024, 12, 31, 23, 59, 59), u"31/12/2024 23:59:59"},
        {"midnight: the date alone", at(2024, 3, 7, 0, 0, 0), u"07/03/2024"},
        {"one second after midnight", at(2024, 3, 7, 0, 0, 1), u"07/03/2024 00:00:01"},
        {"one minute after midnight", at(2024, 3, 7, 0, 1, 0), u"07/03/2024 00:01:00"},
        {"one hour after midnight", at(2024, 3, 7, 1, 0, 0), u"07/03/2024 01:00:00"},
        {"noon", at(2024, 3, 7, 12, 0, 0), u"07/03/2024 12:00:00"},
    };
    expectDates(std::begin(cases), std::end(cases));
}

TEST(DateTimeText, FollowsTheLocaleInUse) {
    {
        USE_LOCALE("C");
        const DateCase cases[] = {
            {"C", at(2024, 3, 7, 9, 5, 3), u"03/07/24 09:05:03"},
            {"C at midnight", at(2024, 3, 7, 0, 0, 0), u"03/07/24"},
        };
        expectDates(std::begin(cases), std::end(cases));
    }
    {
        USE_LOCALE("it_IT.UTF-8");
        EXPECT_EQ(dateTimeText(at(2024, 3, 7, 9, 5, 3)), u"07/03/2024 09:05:03");
    }
}

TEST(DateTimeText, DecodesTheLocalesOwnEncoding) {
    // Korean dates carry Hangul; this locale writes them in EUC-KR, not UTF-8.
    USE_LOCALE("ko_KR.EUC-KR");
    EXPECT_EQ(dateTimeText(at(2024, 3, 7, 9, 5, 3)), u"2024년 03월 07일 09시 05분 03초");
}

} // namespace
