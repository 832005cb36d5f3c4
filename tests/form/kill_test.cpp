// Real processes killed with SIGKILL at random moments of a deletion in a large
// file: the data file is always the old or the new phone book, and the next
// run goes on from it without losing anything.

#include "harness.h"

#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kRecords = 20000;
constexpr int kTrials = 500;

std::string phoneBook(int skip = 0) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(kRecords) * 180);
    for (int i = 1; i <= kRecords; ++i) {
        if (i != skip) {
            bytes += record(std::to_string(100000 + i), "Contatto " + std::to_string(i));
        }
    }
    return bytes;
}

// In a child process: start, find record `n` by its number, delete it.
pid_t deleteInChild(int n) {
    const pid_t child = fork();
    if (child == 0) {
        FakeView view;
        ScriptedDialogs dialogs;
        const std::string number = std::to_string(100000 + n);
        dialogs.inputs = {std::u16string(number.begin(), number.end())};
        dialogs.answers = {Risposta::Si};
        FakeDesktop desktop;
        Rubrica form(view, dialogs, desktop);
        form.formLoad();
        form.cmdCercaClick();
        form.cmdCancellaClick();
        _exit(form.ended() ? 1 : 0);
    }
    return child;
}

} // namespace

TEST_F(PhoneBookTest, KilledDeletionsLoseNothing) {
    const std::string before = phoneBook();

    // How long a whole deletion takes here, to spread the kills over it.
    auto duration = std::chrono::microseconds(0);
    for (int i = 0; i < 3; ++i) {
        writeFile(kDataFileName, before);
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = deleteInChild(kRecords / 2);
        ASSERT_GT(child, 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        duration = std::max(duration, std::chrono::duration_cast<std::chrono::microseconds>(
                                          std::chrono::steady_clock::now() - start));
        ASSERT_EQ(data(), phoneBook(kRecords / 2));
    }

    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> pick(1, kRecords);
    std::uniform_int_distribution<long> moment(0, duration.count() * 6 / 5);
    int oldFiles = 0;
    int newFiles = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        writeFile(kDataFileName, before);
        const int n = pick(random);
        const pid_t child = deleteInChild(n);
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);

        const std::string after = data();
        const bool isOld = after == before;
        const bool isNew = !isOld && after == phoneBook(n);
        ASSERT_TRUE(isOld || isNew) << "trial " << trial << ": " << after.size() << " bytes";
        (isOld ? oldFiles : newFiles)++;

        // The next run starts on it, adds a contact and deletes it again.
        Rubrica& form = start();
        ASSERT_FALSE(form.ended()) << "trial " << trial;
        form.cmdNuovoClick();
        dialogs.answers = {Risposta::Si};
        form.cmdCancellaClick();
        ASSERT_FALSE(form.ended());
        ASSERT_EQ(data(), after) << "trial " << trial;
        this->form.reset();
    }
    std::printf("kills: %d (old file found %d times, new file %d times), records lost: 0\n",
                kTrials, oldFiles, newFiles);
    EXPECT_GT(oldFiles, 0);
    EXPECT_GT(newFiles, 0);
}
