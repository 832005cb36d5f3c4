// The phone book's commands with fake window and dialogs: start-up, show, save, browse, new,
// delete, quit.

#include "form/contacttext.h"
#include "harness.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string fiveRecords() {
    return record("111", "Anna") + record("222", "Bruno") + record("333", "Carla") +
           record("444", "Dario") + record("555", "Elena");
}

// Moves from record 1 to record n with "Successivo".
void goTo(Rubrica& form, int n) {
    while (form.recordCorrente() < n) {
        form.cmdSuccessivoClick();
    }
}

} // namespace

TEST(Caption, NumbersCarryTheirSignPosition) {
    EXPECT_EQ(recordCaption(3, 12), u"Record  3/ 12");
    EXPECT_EQ(recordCaption(1, 1), u"Record  1/ 1");
    EXPECT_EQ(recordCaption(-1, 0), u"Record -1/ 0");
}

TEST_F(PhoneBookTest, FirstStartCreatesAnEmptyFileAndShowsOneBlankRecord) {
    Rubrica& form = start();
    EXPECT_TRUE(fileExists(kDataFileName));
    EXPECT_EQ(data(), "");
    EXPECT_EQ(view.title, u"Record  1/ 1");
    EXPECT_EQ(shown(Casella::txtNome), u"");
    EXPECT_EQ(shown(Casella::txtChiamoro), u"");
    EXPECT_EQ(shown(Casella::txtCommenti), u"");
    EXPECT_FALSE(view.focus.has_value()); // the load handler moves no focus
    form.cmdEsciClick();
    EXPECT_TRUE(form.ended());
    EXPECT_EQ(form.exitStatus(), 0);
    EXPECT_EQ(data(), std::string(180, ' '));
}

TEST_F(PhoneBookTest, ShowsRecordOneTrimmedWithTheCountFromTheLength) {
    start(record("  333 1234567 ", " Rossi", "riga\r\n due  ") + record("2") +
          std::string(90, ' '));
    EXPECT_EQ(view.title, u"Record  1/ 2"); // 450 bytes: 2.5 records rounds to 2
    EXPECT_EQ(shown(Casella::txtNome), u"333 1234567");
    EXPECT_EQ(shown(Casella::txtChiamoro), u"Rossi");
    EXPECT_EQ(shown(Casella::txtCommenti), u"riga\r\n due");
}

TEST_F(PhoneBookTest, QuitSavesTheEditsAsTypedIntoTheShownRecord) {
    Rubrica& form = start(fiveRecords());
    goTo(form, 4);
    type(Casella::txtNome, u" 0039 06 123");
    type(Casella::txtChiamoro, std::u16string(45, u'n'));
    type(Casella::txtCommenti, u"città\r\nmare");
    form.cmdEsciClick();
    EXPECT_EQ(form.exitStatus(), 0);
    EXPECT_EQ(data().substr(540, 180),
              record(" 0039 06 123", std::string(40, 'n'), "citt\xE0\r\nmare"));
    EXPECT_EQ(data().substr(0, 540), fiveRecords().substr(0, 540));
}

TEST_F(PhoneBookTest, ALeadingSpaceIsSavedButGoneWhenShownAgain) {
    Rubrica& form = start(fiveRecords());
    type(Casella::txtChiamoro, u" Anna");
    form.cmdSuccessivoClick();
    EXPECT_EQ(data().substr(40, 40), " Anna" + std::string(35, ' '));
    form.cmdPrecedenteClick();
    EXPECT_EQ(shown(Casella::txtChiamoro), u"Anna");
}

TEST_F(PhoneBookTest, NextAndPreviousSaveTheRecordLeftAndMoveTheFocus) {
    Rubrica& form = start(fiveRecords());
    goTo(form, 4);
    type(Casella::txtChiamoro, u"Dario Fo");
    view.focus.reset();
    form.cmdSuccessivoClick();
    EXPECT_EQ(view.title, u"Record  5/ 5");
    EXPECT_EQ(shown(Casella::txtChiamoro), u"Elena");
    EXPECT_EQ(view.focus, Casella::txtNome);
    EXPECT_EQ(data().substr(540, 180), record("444", "Dario Fo"));

    type(Casella::txtNome, u"999");
    form.cmdPrecedenteClick();
    EXPECT_EQ(view.title, u"Record  4/ 5");
    EXPECT_EQ(data().substr(720, 180), record("999", "Elena"));
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(PhoneBookTest, TheEndsBeepWarnAndSaveNothing) {
    Rubrica& form = start(record("1") + record("2"));
    type(Casella::txtNome, u"modificato");
    form.cmdPrecedenteClick();
    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_EQ(dialogs.calls[0].kind, "beep");
    EXPECT_EQ(dialogs.calls[1].text, u"Inizio rubrica!");
    EXPECT_EQ(dialogs.calls[1].style, Stile::Avviso);
    EXPECT_FALSE(dialogs.calls[1].title.has_value());
    EXPECT_EQ(view.focus, Casella::txtNome);
    EXPECT_EQ(shown(Casella::txtNome), u"modificato"); // stays in the box, unsaved
    EXPECT_EQ(data(), record("1") + record("2"));

    form.cmdSuccessivoClick(); // saves record 1 on the way
    dialogs.calls.clear();
    type(Casella::txtNome, u"anche questo");
    form.cmdSuccessivoClick();
    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_EQ(dialogs.calls[0].kind, "beep");
    EXPECT_EQ(dialogs.calls[1].text, u"Fine rubrica!");
    EXPECT_EQ(data(), record("modificato") + record("2"));
    EXPECT_EQ(view.title, u"Record  2/ 2");
}

TEST_F(PhoneBookTest, NextOnTheOnlyRecordSaysFineRubrica) {
    Rubrica& form = start();
    form.cmdSuccessivoClick();
    EXPECT_EQ(dialogs.messages().at(0).text, u"Fine rubrica!");
    EXPECT_EQ(data(), "");
}

TEST_F(PhoneBookTest, NuovoSavesTheShownRecordAndAppendsABlankOne) {
    Rubrica& form = start();
    form.cmdNuovoClick();
    EXPECT_EQ(data(), std::string(360, ' '));
    EXPECT_EQ(view.title, u"Record  2/ 2");
    EXPECT_EQ(view.focus, Casella::txtNome);

    type(Casella::txtChiamoro, u"Gino");
    form.cmdNuovoClick();
    form.cmdNuovoClick();
    EXPECT_EQ(view.title, u"Record  4/ 4");
    EXPECT_EQ(data(), record("") + record("", "Gino") + record("") + record(""));
    EXPECT_EQ(shown(Casella::txtChiamoro), u"");
}

// Deletion ---------------------------------------------------------------------

TEST_F(PhoneBookTest, DeletionAsksFirstAndNoChangesNothing) {
    Rubrica& form = start(fiveRecords());
    goTo(form, 2);
    struct stat before {};
    ASSERT_EQ(::stat(kDataFileName, &before), 0);
    type(Casella::txtNome, u"non salvato");
    dialogs.calls.clear();
    dialogs.answers = {Risposta::No};
    form.cmdCancellaClick();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].text, u"Cancellare il Contatto?");
    EXPECT_EQ(dialogs.calls[0].style, Stile::SiNo);
    EXPECT_FALSE(dialogs.calls[0].title.has_value());
    EXPECT_EQ(view.focus, Casella::txtNome);
    struct stat after {};
    ASSERT_EQ(::stat(kDataFileName, &after), 0);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(data().substr(0, 900), fiveRecords());
    EXPECT_EQ(view.title, u"Record  2/ 5");
}

TEST_F(PhoneBookTest, DeletingDiscardsTheShownRecordAndItsEdits) {
    const std::string three = record("1", "uno") + record("2", "due") + record("3", "tre");
    const struct {
        int shown;
        std::string after;
        std::u16string title;
        std::u16string name;
    } cases[] = {
        {1, record("2", "due") + record("3", "tre"), u"Record  1/ 2", u"due"},
        {2, record("1", "uno") + record("3", "tre"), u"Record  2/ 2", u"tre"},
        {3, record("1", "uno") + record("2", "due"), u"Record  2/ 2", u"due"},
    };
    for (const auto& c : cases) {
        std::remove(kDataFileName);
        Rubrica& form = start(three);
        goTo(form, c.shown);
        type(Casella::txtChiamoro, u"modifica persa");
        dialogs.answers = {Risposta::Si};
        form.cmdCancellaClick();
        EXPECT_EQ(data(), c.after) << "deleting " << c.shown;
        EXPECT_EQ(view.title, c.title) << "deleting " << c.shown;
        EXPECT_EQ(shown(Casella::txtChiamoro), c.name) << "deleting " << c.shown;
        EXPECT_EQ(view.focus, Casella::txtNome);
        EXPECT_FALSE(fileExists(kScratchFileName));
        this->form.reset();
    }
}

TEST_F(PhoneBookTest, DeletingTheOnlyRecordLeavesOneBlankRecord) {
    const std::optional<std::string> befores[] = {std::nullopt, record("solo", "Unico")};
    for (const auto& before : befores) {
        std::remove(kDataFileName);
        Rubrica& form = start(before ? &*before : nullptr);
        dialogs.answers = {Risposta::Si};
        form.cmdCancellaClick();
        EXPECT_EQ(data(), "");
        EXPECT_EQ(view.title, u"Record  1/ 1");
        EXPECT_EQ(shown(Casella::txtChiamoro), u"");
        // The phone book goes on working on the new file.
        form.cmdNuovoClick();
        EXPECT_EQ(data(), std::string(360, ' '));
        this->form.reset();
    }
}

TEST_F(PhoneBookTest, AStaleScratchFileDoesNotLeakIntoTheResult) {
    writeFile(kScratchFileName, record("vecchio") + record("vecchio") + record("vecchio"));
    Rubrica& form = start(record("1") + record("2"));
    dialogs.answers = {Risposta::Si};
    form.cmdCancellaClick();
    EXPECT_EQ(data(), record("2"));
    EXPECT_FALSE(fileExists(kScratchFileName));
}

TEST_F(PhoneBookTest, AnOrphanedScratchFileIsAdoptedAtStartUp) {
    writeFile(kScratchFileName, record("333", "Salvato") + record("444"));
    start();
    EXPECT_EQ(view.title, u"Record  1/ 2");
    EXPECT_EQ(shown(Casella::txtChiamoro), u"Salvato");
    EXPECT_FALSE(fileExists(kScratchFileName));
}

// One program per phone book ---------------------------------------------------

TEST_F(PhoneBookTest, ASecondCopyIsRefusedAndTouchesNothing) {
    Rubrica& first = start(record("1"));
    FakeView otherView;
    ScriptedDialogs otherDialogs;
    writeFile(kScratchFileName, "orfano");
    std::remove(kDataFileName); // even an orphan it could adopt stays where it is
    FakeDesktop secondDesktop;
    Rubrica second(otherView, otherDialogs, secondDesktop);
    second.formLoad();
    EXPECT_TRUE(second.ended());
    EXPECT_NE(second.exitStatus(), 0);
    ASSERT_EQ(otherDialogs.messages().size(), 1u);
    EXPECT_NE(otherDialogs.messages()[0].text.find(u"già aperta"), std::u16string::npos);
    EXPECT_TRUE(otherView.title.empty());
    EXPECT_FALSE(fileExists(kDataFileName));
    EXPECT_EQ(readFile(kScratchFileName), "orfano");
    EXPECT_FALSE(first.ended());
}

TEST_F(PhoneBookTest, TheBusyPointerShowsWhileTheFileIsRewrittenNotWhileAsking) {
    Rubrica& form = start(fiveRecords());
    dialogs.answers = {Risposta::No};
    form.cmdCancellaClick();
    EXPECT_TRUE(view.busyChanges.empty());
    dialogs.answers = {Risposta::Si};
    form.cmdCancellaClick();
    EXPECT_EQ(view.busyChanges, (std::vector<bool>{true, false}));
}

// Copy and print ----------------------------------------------------------------

// On record 2 with every box edited and not saved, the focus in the name box.
class CopyAndPrintTest : public PhoneBookTest {
protected:
    void SetUp() override {
        PhoneBookTest::SetUp();
        Rubrica& form = start(fiveRecords());
        form.cmdSuccessivoClick();
        type(Casella::txtNome, u" 06 999 ");
        type(Casella::txtChiamoro, u"Bruno Zoè");
        type(Casella::txtCommenti, u"ufficio\r\n  casa");
        view.setFocus(Casella::txtChiamoro);
        desktop.now.tm_year = 2024 - 1900;
        desktop.now.tm_mon = 2;
        desktop.now.tm_mday = 7;
        desktop.now.tm_hour = 9;
        desktop.now.tm_min = 5;
        desktop.now.tm_sec = 3;
    }

    // Nothing saved, nothing moved.
    void expectUntouched() {
        EXPECT_EQ(data(), fiveRecords());
        EXPECT_EQ(view.title, u"Record  2/ 5");
        EXPECT_EQ(view.focus, Casella::txtChiamoro);
        EXPECT_EQ(shown(Casella::txtChiamoro), u"Bruno Zoè");
        EXPECT_FALSE(form->ended());
    }
};

TEST_F(CopyAndPrintTest, CopyPutsTheBoxesAsTheyStandOnTheClipboard) {
    form->command2Click();
    form->command2Click();
    const std::u16string expected = clipboardText(u"Bruno Zoè", u" 06 999 ", u"ufficio\r\n  casa");
    EXPECT_EQ(desktop.copied, (std::vector<std::u16string>{expected, expected}));
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_TRUE(desktop.printed.empty());
    expectUntouched();
}

TEST_F(CopyAndPrintTest, PrintHandsTheFourTextsWithTheTimeUnderTheBusyPointer) {
    form->command3Click();
    ASSERT_EQ(desktop.printed.size(), 1u);
    EXPECT_EQ(desktop.printed[0], printTexts(u"Bruno Zoè", u" 06 999 ", u"ufficio\r\n  casa",
                                             dateTimeText(desktop.now)));
    EXPECT_EQ(desktop.busyWhilePrinting, std::vector<bool>{true});
    EXPECT_FALSE(view.busy);
    EXPECT_TRUE(dialogs.calls.empty()); // a print that went through says nothing
    EXPECT_TRUE(desktop.copied.empty());
    expectUntouched();
}

TEST_F(CopyAndPrintTest, AFailedPrintIsReportedOnEveryClickAndTheProgramGoesOn) {
    desktop.printerAccepts = false;
    for (int click = 1; click <= 2; ++click) {
        SCOPED_TRACE(click);
        dialogs.calls.clear();
        form->command3Click();
        EXPECT_TRUE(dialogs.showedOnlyThePrintFailure());
        EXPECT_FALSE(view.busy);
        expectUntouched();
    }
    EXPECT_EQ(desktop.printed.size(), 2u);
    form->cmdSuccessivoClick();
    EXPECT_EQ(view.title, u"Record  3/ 5");
}

// A phone book kept elsewhere, through a link ----------------------------------

namespace {

bool isLink(const char* path) {
    struct stat info {};
    return ::lstat(path, &info) == 0 && S_ISLNK(info.st_mode);
}

} // namespace

TEST_F(PhoneBookTest, ALinkedPhoneBookStaysLinkedThroughSaveDeleteAndStartUp) {
    // A link to a link to the file, both relative, as "ln -s" makes them.
    std::filesystem::create_directory("Sincronizzata");
    writeFile("Sincronizzata/rubrica.dat", fiveRecords());
    std::filesystem::create_symlink("Sincronizzata/rubrica.dat", "ponte");
    std::filesystem::create_symlink("ponte", kDataFileName);

    Rubrica& form = start();
    EXPECT_EQ(view.title, u"Record  1/ 5");
    form.cmdSuccessivoClick();
    type(Casella::txtChiamoro, u"Bruna");
    form.cmdSuccessivoClick(); // saves record 2 into the linked file
    dialogs.answers = {Risposta::Si};
    form.cmdCancellaClick(); // deletes record 3 there
    ASSERT_FALSE(form.ended());

    const std::string result = record("111", "Anna") + record("222", "Bruna") +
                               record("444", "Dario") + record("555", "Elena");
    EXPECT_EQ(readFile("Sincronizzata/rubrica.dat"), result);
    EXPECT_TRUE(isLink(kDataFileName));
    EXPECT_TRUE(isLink("ponte"));
    EXPECT_FALSE(fileExists("Sincronizzata/Chiamoro.TMP"));
    EXPECT_FALSE(fileExists(kScratchFileName));

    // The next save and the next start-up still go to the same file.
    type(Casella::txtNome, u"444-4");
    form.cmdEsciClick();
    start(); // the first program has ended: a new one in its place
    EXPECT_EQ(view.title, u"Record  1/ 4");
    EXPECT_EQ(readFile("Sincronizzata/rubrica.dat").substr(2 * 180, 180), record("444-4", "Dario"));
}

TEST_F(PhoneBookTest, TwoFoldersLinkingOneFileAreOnePhoneBook) {
    std::filesystem::create_directories("condivisa");
    writeFile("condivisa/rubrica.dat", fiveRecords());
    const auto shared = std::filesystem::absolute("condivisa/rubrica.dat");
    for (const char* folder : {"casa", "ufficio"}) {
        std::filesystem::create_directory(folder);
        std::filesystem::create_symlink(shared, std::filesystem::path(folder) / kDataFileName);
    }
    const auto top = std::filesystem::current_path();
    std::filesystem::current_path("casa");
    Rubrica& first = start();
    ASSERT_FALSE(first.ended());

    std::filesystem::current_path(top / "ufficio");
    FakeView otherView;
    ScriptedDialogs otherDialogs;
    FakeDesktop otherDesktop;
    Rubrica second(otherView, otherDialogs, otherDesktop);
    second.formLoad();
    std::filesystem::current_path(top);
    EXPECT_TRUE(second.ended());
    ASSERT_EQ(otherDialogs.messages().size(), 1u);
    EXPECT_NE(otherDialogs.messages()[0].text.find(u"già aperta in un'altra copia"),
              std::u16string::npos);
    EXPECT_EQ(readFile("condivisa/rubrica.dat"), fiveRecords());
}

TEST_F(PhoneBookTest, ALinkThatLeadsNowhereIsReportedAndNothingIsCreated) {
    std::filesystem::create_directory("altrove");
    std::filesystem::create_symlink("altrove/sparita.dat", kDataFileName);
    EXPECT_TRUE(start().ended());
    EXPECT_NE(form->exitStatus(), 0);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text,
              u"Impossibile aprire il file \"altrove/sparita.dat\" (a cui porta il collegamento "
              u"\"Chiamoro.DAT\"): file o cartella inesistente (ENOENT).\r\n\r\n"
              u"Il programma verrà chiuso.");
    EXPECT_FALSE(fileExists("altrove/sparita.dat"));
    EXPECT_TRUE(isLink(kDataFileName));

    // A link into a folder that is not there either.
    std::filesystem::remove(kDataFileName);
    std::filesystem::create_symlink("nessuna/rubrica.dat", kDataFileName);
    dialogs.calls.clear();
    EXPECT_TRUE(start().ended());
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_NE(dialogs.messages()[0].text.find(
                  u"la cartella \"nessuna\" (a cui porta il collegamento \"Chiamoro.DAT\")"),
              std::u16string::npos);
    EXPECT_FALSE(std::filesystem::exists("nessuna"));
    std::filesystem::remove(kDataFileName);
    std::filesystem::create_symlink("altrove/sparita.dat", kDataFileName);

    // An interrupted deletion of an older program left the contacts beside
    // the missing file: they become the phone book, and the link leads there.
    writeFile("altrove/Chiamoro.TMP", record("salvato"));
    EXPECT_FALSE(start().ended());
    EXPECT_EQ(readFile("altrove/sparita.dat"), record("salvato"));
    EXPECT_EQ(shown(Casella::txtNome), u"salvato");
}
