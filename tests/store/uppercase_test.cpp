// One-to-one upper-casing for the searches, under any locale.

#include "store/codepage.h"
#include "store/uppercase.h"

#include <clocale>
#include <gtest/gtest.h>
#include <string>

namespace {

// Runs the test body under a given LC_CTYPE and puts the old one back.
class UnderLocale {
public:
    explicit UnderLocale(const char* name) : previous_(std::setlocale(LC_CTYPE, nullptr)) {
        ok_ = std::setlocale(LC_CTYPE, name) != nullptr;
    }
    ~UnderLocale() { std::setlocale(LC_CTYPE, previous_.c_str()); }
    bool ok() const { return ok_; }

private:
    std::string previous_;
    bool ok_ = false;
};

void expectWindows1252LettersUpperCased() {
    EXPECT_EQ(toUpper(u"àèéìòù"), u"ÀÈÉÌÒÙ");
    EXPECT_EQ(toUpper(u"ÿœšžæøþ"), u"ŸŒŠŽÆØÞ");
    EXPECT_EQ(toUpper(u"rossi mario"), u"ROSSI MARIO");
    EXPECT_EQ(toUpper(u"straße"), u"STRAßE"); // one to one: the length stays
    EXPECT_EQ(toUpper(u"÷×ª"), u"÷×ª");       // not letters with capitals
    EXPECT_EQ(toUpper(u"x😀"), u"X😀");
}

} // namespace

TEST(UpperCase, CoversWindows1252UnderThePlainCLocale) {
    const UnderLocale locale("C");
    ASSERT_TRUE(locale.ok());
    expectWindows1252LettersUpperCased();
}

TEST(UpperCase, AgreesUnderAUnicodeLocale) {
    const UnderLocale locale("C.UTF-8");
    ASSERT_TRUE(locale.ok()) << "C.UTF-8, which the C library brings, is missing";
    expectWindows1252LettersUpperCased();
    // Under the C locale the fallback gives the same capitals as a Unicode locale.
    for (int byte = 0; byte < 256; ++byte) {
        const char16_t c = decodeCp1252(static_cast<unsigned char>(byte));
        const char16_t unicode = toUpperChar(c);
        const UnderLocale plain("C");
        EXPECT_EQ(toUpperChar(c), unicode) << "byte " << byte;
    }
}
