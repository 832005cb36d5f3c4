// The record: fitting and trimming its fields, and its 180 bytes.

#include "store/contatto.h"

#include <gtest/gtest.h>

TEST(Fitting, PadsShortTextAndCutsLongText) {
    EXPECT_EQ(fitField(u"Ada", 40), u"Ada" + std::u16string(37, u' '));
    const std::u16string longName(45, u'x');
    EXPECT_EQ(fitField(longName, 40), std::u16string(40, u'x'));
    EXPECT_EQ(fitField(u"", 100), std::u16string(100, u' '));
    EXPECT_EQ(fitField(u" lead", 6), u" lead ");
}

TEST(Trimming, RemovesSpacesOnlyAtBothEnds) {
    EXPECT_EQ(trimSpaces(u"  Rossi Mario   "), u"Rossi Mario");
    EXPECT_EQ(trimSpaces(std::u16string(40, u' ')), u"");
    EXPECT_EQ(trimSpaces(u"\tx\t"), u"\tx\t");
    EXPECT_EQ(trimSpaces(u" a\r\n "), u"a\r\n");
    EXPECT_EQ(trimSpaces(u"\u00A0a"), u"\u00A0a"); // a no-break space is not a space here
}

TEST(RecordBytes, FieldsLieAtTheirOffsetsInWindows1252) {
    Contatto record;
    record.Numero = fitField(u"333 1234567", 40);
    record.Nome = fitField(u"Niccolò", 40);
    record.Commenti = fitField(u"riga 1\r\nriga 2 €", 100);
    char bytes[kLunghezzaRecord];
    encodeRecord(record, bytes);
    const std::string text(bytes, sizeof bytes);
    EXPECT_EQ(text.substr(0, 40), "333 1234567" + std::string(29, ' '));
    EXPECT_EQ(text.substr(40, 40), "Niccol\xF2" + std::string(33, ' '));
    EXPECT_EQ(text.substr(80, 100), "riga 1\r\nriga 2 \x80" + std::string(84, ' '));
    EXPECT_EQ(decodeRecord(bytes), record);
}

TEST(RecordBytes, BlankRecordIsAllSpaces) {
    char bytes[kLunghezzaRecord];
    encodeRecord(Contatto{}, bytes);
    EXPECT_EQ(std::string(bytes, sizeof bytes), std::string(180, ' '));
}
