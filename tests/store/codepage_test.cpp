// The Windows-1252 codec of the data file.

#include "store/codepage.h"

#include <gtest/gtest.h>

TEST(Codepage, EveryByteSurvivesARoundTrip) {
    for (int byte = 0; byte < 256; ++byte) {
        const char16_t unit = decodeCp1252(static_cast<unsigned char>(byte));
        EXPECT_EQ(encodeCp1252(unit), byte) << "byte " << byte;
    }
}

TEST(Codepage, DecodesTheWindowsRangeAndLatin1) {
    EXPECT_EQ(decodeCp1252(0x80), u'€');
    EXPECT_EQ(decodeCp1252(0x8C), u'Œ');
    EXPECT_EQ(decodeCp1252(0x9C), u'œ');
    EXPECT_EQ(decodeCp1252(0x9F), u'Ÿ');
    EXPECT_EQ(decodeCp1252(0x96), u'–');
    EXPECT_EQ(decodeCp1252(0xB0), u'°');
    EXPECT_EQ(decodeCp1252(0xE0), u'à');
    EXPECT_EQ(decodeCp1252(0xF9), u'ù');
    // The undefined bytes keep their value.
    for (unsigned char byte : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        EXPECT_EQ(decodeCp1252(byte), byte);
    }
    EXPECT_EQ(decodeCp1252(std::string_view("\r\n", 2)), u"\r\n");
}

TEST(Codepage, WhatTheCodePageLacksBecomesOneQuestionMarkPerCodeUnit) {
    EXPECT_EQ(encodeCp1252(u"中文"), "??");
    EXPECT_EQ(encodeCp1252(u"a😀b"), "a??b"); // a surrogate pair is two code units
    EXPECT_EQ(encodeCp1252(std::u16string(1, char16_t(0xD800))), "?");
    EXPECT_EQ(encodeCp1252(u"שלום"), "????");
    EXPECT_EQ(encodeCp1252(u"Ā"), "?"); // U+0100, just past Latin-1
    EXPECT_EQ(encodeCp1252(u"€ à"), "\x80 \xE0");
}
