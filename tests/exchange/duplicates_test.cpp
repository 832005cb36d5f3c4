// When two contacts are one, and what an import does with a contact the
// phone book already holds.

#include "exchange/duplicates.h"
#include "exchange/exchange.h"
#include "helpers.h"
#include "support/records.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using DuplicatesTest = InTempDir;

TEST(DuplicateRule, NumbersAreComparedAsPhoneNumbersOfTheRegion) {
    const struct {
        const char16_t* a;
        const char16_t* b;
        bool same;
    } cases[] = {
        {u"+39 333 1234567", u"333 123 4567", true},
        {u"0039 3331234567", u"333 1234567", true},
        {u"+39 333 1234567", u"0039 333-123-4567", true},
        {u"02 1234567", u"06 1234567", false}, // the same last seven digits
        {u"333 1234567", u"334 1234567", false},
        {u"+41 333 1234567", u"333 1234567", false}, // another country
        {u"", u"", true},
        {u"centralino", u"", true}, // no number: its digits alone, none
        {u"interno 12", u"int. 12", true},
        {u"interno 12", u"interno 13", false},
    };
    const NumberMatcher matcher("IT");
    for (const auto& c : cases) {
        SCOPED_TRACE(encodeUtf8(c.a) + " / " + encodeUtf8(c.b));
        EXPECT_EQ(matcher.same(c.a, c.b), c.same);
        EXPECT_EQ(matcher.same(c.b, c.a), c.same);
    }
    EXPECT_EQ(comparableName(u"  mario \t rossi "), u"MARIO ROSSI");
}

TEST(DuplicateRule, TheRegionIsTheTelephoneLocalesCountry) {
    const struct {
        const char* all;
        const char* telephone;
        const char* lang;
        const char* region;
    } cases[] = {
        {nullptr, "de_CH.UTF-8", "it_IT.UTF-8", "CH"}, {nullptr, nullptr, "en_GB.UTF-8", "GB"},
        {nullptr, "C.UTF-8", "fr_FR@euro", "FR"},      {nullptr, nullptr, "C", "IT"},
        {"es_ES.UTF-8", "de_DE.UTF-8", nullptr, "ES"},
    };
    for (const auto& c : cases) {
        const char* names[] = {"LC_ALL", "LC_TELEPHONE", "LANG"};
        const char* values[] = {c.all, c.telephone, c.lang};
        for (int i = 0; i < 3; ++i) {
            values[i] ? ::setenv(names[i], values[i], 1) : ::unsetenv(names[i]);
        }
        EXPECT_EQ(phoneRegion(), c.region);
    }
    for (const char* name : {"LC_ALL", "LC_TELEPHONE", "LANG"}) {
        ::unsetenv(name);
    }
}

std::string card(const char* name, const char* number) {
    return std::string("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:") + name + "\r\nTEL:" + number +
           "\r\nNOTE:da importare\r\nEND:VCARD\r\n";
}

TEST_F(DuplicatesTest, EachChoiceKeepsOneCopyOrAsManyAsAsked) {
    const std::string book = record("+39 333 1234567", "Mario Rossi", "in rubrica") +
                             record("02 1234567", "Luca", "in rubrica");
    const std::string file = card("mario  ROSSI", "333 123 4567") + // a duplicate of record 1
                             card("Luca", "06 1234567") +           // another number
                             card("Marta", "0039 3331234567") +     // record 1's number
                             card("Nuova", "345 0000000") + card("nuova", "+39 345 0000000");
    const struct {
        Doppioni choice;
        std::int64_t contacts, duplicates, replaced, similar;
        std::vector<ContattoLibero> after;
    } cases[] = {
        {Doppioni::Salta,
         3,
         2,
         0,
         1,
         {{u"+39 333 1234567", u"Mario Rossi", u"in rubrica"},
          {u"02 1234567", u"Luca", u"in rubrica"},
          {u"06 1234567", u"Luca", u"da importare"},
          {u"0039 3331234567", u"Marta", u"da importare"},
          {u"345 0000000", u"Nuova", u"da importare"}}},
        {Doppioni::Aggiungi, 5, 0, 0, 1, {}},
        {Doppioni::Sostituisci,
         3,
         0,
         2,
         1,
         {{u"333 123 4567", u"mario  ROSSI", u"da importare"},
          {u"02 1234567", u"Luca", u"in rubrica"},
          {u"06 1234567", u"Luca", u"da importare"},
          {u"0039 3331234567", u"Marta", u"da importare"},
          {u"+39 345 0000000", u"nuova", u"da importare"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.choice));
        writeFile(kDataFileName, book);
        writeFile("telefono.vcf", file);
        std::vector<std::pair<std::int64_t, std::int32_t>> events;
        const ExchangeReport report = importContacts(
            posixFileSystem(), "telefono.vcf", Formato::VCard,
            {.doppioni = c.choice, .onDuplicate = [&events](const DuplicateEvent& event) {
                 events.emplace_back(event.line, event.record);
             }});
        ASSERT_TRUE(report.ok());
        EXPECT_EQ(report.contacts, c.contacts);
        EXPECT_EQ(report.duplicates, c.duplicates);
        EXPECT_EQ(report.replaced, c.replaced);
        EXPECT_EQ(report.similar, c.similar);
        // The line of the file, and the record it duplicates or resembles.
        EXPECT_EQ(events.front(), std::make_pair(std::int64_t{1}, std::int32_t{1}));
        if (!c.after.empty()) {
            EXPECT_EQ(contactsIn(), c.after);
        }
    }
}

TEST_F(DuplicatesTest, TheSameFileImportedTwiceAddsNothing) {
    std::string file;
    for (int i = 0; i < 2000; ++i) {
        file += card(("Contatto " + std::to_string(i)).c_str(),
                     ("0" + std::to_string(600000 + i)).c_str());
    }
    writeFile("telefono.vcf", file);
    ASSERT_EQ(importContacts(posixFileSystem(), "telefono.vcf", Formato::VCard).contacts, 2000);
    const std::string once = readFile(kDataFileName);
    const ExchangeReport again = importContacts(posixFileSystem(), "telefono.vcf", Formato::VCard);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.contacts, 0);
    EXPECT_EQ(again.duplicates, 2000);
    EXPECT_EQ(readFile(kDataFileName), once);
}

} // namespace
