// One program per phone book: a second copy is refused at every moment of the
// first one's work, and it touches nothing.

#include "harness.h"
#include "support/faultyfs.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Starts a second copy in the current folder; true if it was refused cleanly.
bool secondCopyRefused(std::string& why) {
    FaultyFileSystem counting;
    FakeView view;
    ScriptedDialogs dialogs;
    {
        FakeDesktop secondDesktop;
        Rubrica second(view, dialogs, secondDesktop, counting);
        second.formLoad();
        if (!second.ended() || second.exitStatus() == 0) {
            why = "the second copy started";
            return false;
        }
        const auto messages = dialogs.messages();
        if (messages.size() != 1 ||
            messages[0].text.find(u"è già aperta in un'altra copia di Chiamoro") ==
                std::u16string::npos) {
            why = "no clear message";
            return false;
        }
    }
    // It looked where the phone book is, opened the folder to lock it, and
    // nothing else.
    if (counting.calls() != counting.count("lstat") + counting.count("readlink") +
                                counting.count("open") + counting.count("flock") +
                                counting.count("close") ||
        counting.count("open") != 1) {
        why = "the second copy touched files";
        return false;
    }
    return view.title.empty();
}

} // namespace

TEST_F(PhoneBookTest, ASecondCopyIsRefusedAtEveryStepOfADeletion) {
    writeFile(kDataFileName, record("1") + record("2") + record("3"));
    FaultyFileSystem watched;
    int checked = 0;
    bool active = false;
    watched.beforeEachCall([&](const std::string& call) {
        if (!active) {
            return;
        }
        std::string why;
        EXPECT_TRUE(secondCopyRefused(why)) << "before " << call << ": " << why;
        ++checked;
    });
    FakeDesktop firstDesktop;
    Rubrica first(view, dialogs, firstDesktop, watched);
    first.formLoad();
    first.cmdSuccessivoClick();
    dialogs.answers = {Risposta::Si};
    active = true;
    first.cmdCancellaClick(); // unlink, open, fstat, fchmod, copy, fsync, rename, close, fsync
    active = false;
    EXPECT_GE(checked, 9);
    std::string why;
    EXPECT_TRUE(secondCopyRefused(why)) << "after the rename: " << why;
    EXPECT_EQ(data(), record("1") + record("3"));

    // The first copy still writes into the file that is there now.
    view.setText(Casella::txtChiamoro, u"dopo");
    first.cmdEsciClick();
    EXPECT_EQ(data(), record("1") + record("3", "dopo"));
}

TEST_F(PhoneBookTest, ASecondProcessIsRefusedUntilTheFirstEnds) {
    writeFile(kDataFileName, record("1"));
    int ready[2];
    int done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        FakeView childView;
        ScriptedDialogs childDialogs;
        FakeDesktop firstDesktop;
        Rubrica first(childView, childDialogs, firstDesktop);
        first.formLoad();
        char byte = first.ended() ? 'n' : 'y';
        (void)!write(ready[1], &byte, 1);
        (void)!read(done[0], &byte, 1);
        _exit(0);
    }
    char started = 0;
    ASSERT_EQ(read(ready[0], &started, 1), 1);
    ASSERT_EQ(started, 'y');
    std::string why;
    EXPECT_TRUE(secondCopyRefused(why)) << why;

    const char go = 'x';
    ASSERT_EQ(write(done[1], &go, 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    for (int fd : {ready[0], ready[1], done[0], done[1]}) {
        close(fd);
    }
    Rubrica& now = start();
    EXPECT_FALSE(now.ended());
}
