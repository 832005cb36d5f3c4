// A failed file operation in each command: reported once, and the program ends.

#include "harness.h"
#include "support/faultyfs.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {

class FailureTest : public PhoneBookTest {
protected:
    void TearDown() override {
        form.reset(); // before the file system it uses
        PhoneBookTest::TearDown();
    }
    // Starts on `records` with file calls going through `faulty`.
    Rubrica& startFaulty(const std::string& records) {
        writeFile(kDataFileName, records);
        form = std::make_unique<Rubrica>(view, dialogs, desktop, faulty);
        form->formLoad();
        return *form;
    }
    // The one report shown, which must name the file, the operation and the reason.
    void expectReport(const std::u16string& fragment) {
        ASSERT_TRUE(form->ended());
        EXPECT_NE(form->exitStatus(), 0);
        std::vector<ScriptedDialogs::Call> reports;
        for (const auto& message : dialogs.messages()) {
            if (message.style == Stile::Critico) {
                reports.push_back(message);
            }
        }
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(dialogs.calls.back().text, reports[0].text); // the last thing shown
        EXPECT_NE(reports[0].text.find(fragment), std::u16string::npos);
    }

    FaultyFileSystem faulty;
};

} // namespace

TEST_F(FailureTest, AFailedOpenAtStartUpIsReportedAndEndsTheProgram) {
    faulty.failAt("open", 2, EACCES); // the folder, then the data file
    startFaulty(record("1"));
    expectReport(u"Impossibile aprire il file \"Chiamoro.DAT\": permesso negato (EACCES).");
    EXPECT_TRUE(view.title.empty());
}

TEST_F(FailureTest, AFailedSaveEndsTheProgramAndLaterClicksDoNothing) {
    Rubrica& form = startFaulty(record("1") + record("2"));
    faulty.failAt("pwrite", 1, ENOSPC);
    type(Casella::txtNome, u"nuovo");
    form.cmdSuccessivoClick();
    expectReport(u"Impossibile scrivere il file \"Chiamoro.DAT\": spazio esaurito sul disco");
    EXPECT_EQ(view.title, u"Record  1/ 2");
    EXPECT_EQ(data(), record("1") + record("2"));

    const int writes = faulty.count("pwrite");
    form.cmdNuovoClick();
    form.cmdEsciClick();
    dialogs.answers = {Risposta::Si};
    form.cmdCancellaClick();
    form.command2Click();
    form.command3Click();
    EXPECT_EQ(faulty.count("pwrite"), writes);
    EXPECT_EQ(dialogs.calls.size(), 1u);
    EXPECT_TRUE(desktop.copied.empty());
    EXPECT_TRUE(desktop.printed.empty());
}

TEST_F(FailureTest, AFailedSyncIsAFailedSave) {
    Rubrica& form = startFaulty(record("1"));
    faulty.failAt("fdatasync", 1, EIO);
    form.cmdNuovoClick();
    expectReport(u"Impossibile salvare su disco il file \"Chiamoro.DAT\"");
}

TEST_F(FailureTest, AFailedDeletionLeavesTheDataFileAsItWas) {
    const std::string before = record("1") + record("2") + record("3");
    Rubrica& form = startFaulty(before);
    faulty.failAt("rename", 1, EROFS);
    dialogs.answers = {Risposta::Si};
    form.cmdCancellaClick();
    expectReport(u"Impossibile rinominare il file \"Chiamoro.TMP\" in \"Chiamoro.DAT\": il disco è "
                 u"in sola lettura (EROFS).");
    EXPECT_EQ(data(), before);
    EXPECT_FALSE(fileExists(kScratchFileName));
}

TEST_F(FailureTest, AFailedCloseOnQuitIsReported) {
    Rubrica& form = startFaulty(record("1"));
    faulty.failAt("close", 1, EIO);
    type(Casella::txtNome, u"salvato");
    form.cmdEsciClick();
    expectReport(u"Impossibile chiudere il file \"Chiamoro.DAT\"");
    EXPECT_EQ(data(), record("salvato")); // the save itself went through
}

TEST_F(FailureTest, AFailedSearchReadIsReported) {
    Rubrica& form = startFaulty(record("1"));
    faulty.failAt("pread", 2, EIO);
    dialogs.inputs = {u"x"};
    form.command1Click();
    expectReport(u"Impossibile leggere il file \"Chiamoro.DAT\": errore di lettura o scrittura del "
                 u"disco (EIO).");
}
