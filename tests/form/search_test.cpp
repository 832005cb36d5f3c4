// Searching by number and by name: the prompts, the matching, what is saved and shown.

#include "harness.h"

#include <clocale>
#include <gtest/gtest.h>

namespace {

std::string phoneBook() {
    return record("0612345", "Rossi") + record("333", "Rossi Mario") +
           record("  777  ", "Bianchi") + record("888", "ROSSI") + record("999", "Citt\xE0 Alta") +
           record("111", "Stra\xDF"
                         "e");
}

class SearchTest : public PhoneBookTest {
protected:
    void SetUp() override {
        PhoneBookTest::SetUp();
        // Under the plain "C" locale the C library upper-cases ASCII only.
        previous_ = std::setlocale(LC_CTYPE, nullptr);
        std::setlocale(LC_CTYPE, "C");
        start(phoneBook());
    }
    void TearDown() override {
        std::setlocale(LC_CTYPE, previous_.c_str());
        PhoneBookTest::TearDown();
    }
    void byName(const std::u16string& typed) {
        dialogs.inputs = {typed};
        form->command1Click();
    }
    void byNumber(const std::u16string& typed) {
        dialogs.inputs = {typed};
        form->cmdCercaClick();
    }

private:
    std::string previous_;
};

} // namespace

TEST_F(SearchTest, AsksWithTheRightPromptsAndMovesTheFocus) {
    byName(u"bianchi");
    ASSERT_EQ(dialogs.calls.at(0).kind, "input");
    EXPECT_EQ(dialogs.calls[0].text, u"Inserire il Nome:");
    EXPECT_EQ(dialogs.calls[0].title, u"Cerca");
    EXPECT_EQ(view.title, u"Record  3/ 6");
    EXPECT_EQ(view.focus, Casella::txtChiamoro);

    dialogs.calls.clear();
    byNumber(u"333");
    EXPECT_EQ(dialogs.calls.at(0).text, u"Inserire il Numero:");
    EXPECT_EQ(dialogs.calls[0].title, u"Cerca");
    EXPECT_EQ(view.title, u"Record  2/ 6");
    EXPECT_EQ(view.focus, Casella::txtNome);
}

TEST_F(SearchTest, MatchesTheWholeTrimmedFieldIgnoringCase) {
    byName(u"rossi");
    EXPECT_EQ(view.title, u"Record  1/ 6"); // the first of two, not "Rossi Mario"
    byName(u"rossi mario");
    EXPECT_EQ(view.title, u"Record  2/ 6");
    byNumber(u"777");
    EXPECT_EQ(view.title, u"Record  3/ 6"); // stored with spaces around it
    byName(u"città alta");                  // accented, under the C locale
    EXPECT_EQ(view.title, u"Record  5/ 6");
    byName(u"straße");
    EXPECT_EQ(view.title, u"Record  6/ 6");
}

TEST_F(SearchTest, NotFoundShowsTheUpperCasedKeyAndSavesNothing) {
    type(Casella::txtNome, u"non salvato");
    byNumber(u"444");
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, u"Numero 444 non trovato!");
    EXPECT_EQ(dialogs.messages()[0].style, Stile::Ok);
    EXPECT_FALSE(dialogs.messages()[0].title.has_value());
    EXPECT_EQ(view.focus, Casella::txtNome);

    byName(u"mario");
    EXPECT_EQ(dialogs.messages().at(1).text, u"Nome MARIO non trovato!");
    byName(u" rossi"); // the key is not trimmed
    EXPECT_EQ(dialogs.messages().at(2).text, u"Nome  ROSSI non trovato!");
    byName(u"strasse");
    EXPECT_EQ(dialogs.messages().at(3).text, u"Nome STRASSE non trovato!");
    byName(u"<b>x</b>");
    EXPECT_EQ(dialogs.messages().at(4).text, u"Nome <B>X</B> non trovato!");

    EXPECT_EQ(view.title, u"Record  1/ 6");
    EXPECT_EQ(shown(Casella::txtNome), u"non salvato");
    EXPECT_EQ(data(), phoneBook());
}

TEST_F(SearchTest, AnEmptyOrCancelledInputDoesNothingButMoveTheFocus) {
    type(Casella::txtNome, u"non salvato");
    byName(u"");
    EXPECT_EQ(view.focus, Casella::txtChiamoro);
    byNumber(u"");
    EXPECT_EQ(view.focus, Casella::txtNome);
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_EQ(data(), phoneBook());
    EXPECT_EQ(shown(Casella::txtNome), u"non salvato");
}

TEST_F(SearchTest, AMatchSavesTheShownRecordFirst) {
    type(Casella::txtCommenti, u"nota");
    byName(u"bianchi");
    EXPECT_EQ(data().substr(0, 180), record("0612345", "Rossi", "nota"));
    // The edits are not searched: the file still held the old values.
    type(Casella::txtChiamoro, u"Verdi");
    byName(u"verdi");
    EXPECT_EQ(dialogs.messages().at(0).text, u"Nome VERDI non trovato!");
}

TEST_F(SearchTest, FindingTheShownRecordSavesItAndShowsItAgainTrimmed) {
    type(Casella::txtCommenti, u"  con spazi  ");
    byName(u"rossi");
    EXPECT_EQ(view.title, u"Record  1/ 6");
    EXPECT_EQ(shown(Casella::txtCommenti), u"con spazi");
    EXPECT_EQ(data().substr(0, 180), record("0612345", "Rossi", "  con spazi  "));
}

TEST_F(SearchTest, TheBusyPointerShowsOnlyWhileTheFileIsScanned) {
    byName(u"nessuno");
    byName(u"bianchi");
    EXPECT_EQ(view.busyChanges, (std::vector<bool>{true, false, true, false}));
    EXPECT_FALSE(view.busy);
    // Nothing to scan: no busy pointer.
    byName(u"");
    EXPECT_EQ(view.busyChanges.size(), 4u);
}
