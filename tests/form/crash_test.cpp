// The process dies at every system call of a command, once with the disk
// keeping only what was synced and once keeping everything: a restart finds
// the old or the new content, never less and never a mix, and goes on working.

#include "harness.h"
#include "support/crashfs.h"

#include <cstdio>
#include <functional>
#include <gtest/gtest.h>

namespace {

using Image = CrashFileSystem::Image;
using Links = CrashFileSystem::Links;
using Command = std::function<void(Rubrica&, FakeView&)>;

std::string records(int count, int skip = 0) {
    std::string bytes;
    for (int i = 1; i <= count; ++i) {
        if (i != skip) {
            bytes += record(std::to_string(1000 + i), "Contatto " + std::to_string(i));
        }
    }
    return bytes;
}

struct Run {
    Image disk;
    int calls = 0;
};

// Runs `setup` unharmed, then `command` dying at its call number `crashAt`
// (0: not at all). `calls` counts the command's calls.
Run runDying(const Image& before, const Command& setup, const Command& command, int crashAt,
             bool keepUnsynced, const Links& links = {}) {
    CrashFileSystem fs(before, links);
    FakeView view;
    ScriptedDialogs dialogs;
    dialogs.answers = {Risposta::Si};
    int first = 0;
    {
        FakeDesktop desktop;
        Rubrica form(view, dialogs, desktop, fs);
        setup(form, view);
        first = fs.calls();
        if (crashAt > 0) {
            fs.crashAt(first + crashAt, keepUnsynced);
        }
        command(form, view);
    }
    return {fs.image(), fs.calls() - first};
}

void nothing(Rubrica&, FakeView&) {}

std::string dataOf(const Image& disk, const std::string& path = kDataFileName) {
    const auto it = disk.find(path);
    return it == disk.end() ? std::string() : it->second;
}

// Restarts on `disk`, checks it shows `expected`, then adds a contact and
// deletes it again: nothing may change.
void restartAndCarryOn(const Image& disk, const std::string& expected, const std::string& what,
                       const Links& links = {}, const std::string& path = kDataFileName) {
    CrashFileSystem fs(disk, links);
    FakeView view;
    ScriptedDialogs dialogs;
    FakeDesktop desktop;
    Rubrica form(view, dialogs, desktop, fs);
    form.formLoad();
    ASSERT_FALSE(form.ended()) << what;
    ASSERT_EQ(dataOf(fs.image(), path), expected) << what;
    const std::string settled = expected.empty() ? std::string(180, ' ') : expected;
    form.cmdNuovoClick();
    dialogs.answers = {Risposta::Si};
    form.cmdCancellaClick();
    ASSERT_FALSE(form.ended()) << what;
    EXPECT_EQ(dataOf(fs.image(), path), settled) << what;
}

// Runs `command` on `before` dying at each of its calls; the data file, at
// `path`, must then hold `oldData` or `newData`. Returns the number of crash
// points tried.
int crashEverywhere(const Image& before, const Command& setup, const Command& command,
                    const std::string& oldData, const std::string& newData, const std::string& what,
                    const Links& links = {}, const std::string& path = kDataFileName) {
    const int calls = runDying(before, setup, command, 0, false, links).calls;
    int tried = 0;
    for (int n = 1; n <= calls + 1; ++n) {
        for (const bool keep : {false, true}) {
            ++tried;
            const Image disk = runDying(before, setup, command, n, keep, links).disk;
            const std::string data = dataOf(disk, path);
            const std::string where = what + ", crash at call " + std::to_string(n) +
                                      (keep ? ", unsynced kept" : ", unsynced lost");
            EXPECT_TRUE(data == oldData || data == newData) << where;
            if (!links.empty()) {
                EXPECT_EQ(disk.count(kDataFileName), 0u) << where << ": the link became a file";
            }
            restartAndCarryOn(disk, data, where, links, path);
        }
    }
    return tried;
}

// Starts the program and moves to `record`, which must be the last one or
// followed by the last.
Command startAt(int record) {
    return [record](Rubrica& form, FakeView&) {
        form.formLoad();
        while (form.recordCorrente() < record && !form.ended()) {
            form.cmdSuccessivoClick();
        }
    };
}

} // namespace

TEST(Crash, ADeletionLeavesTheOldOrTheNewFile) {
    int points = 0;
    for (const int size : {0, 1, 2, 50, 500}) {
        for (const int which : {1, (size + 1) / 2, size}) {
            if (which < 1 && size > 0) {
                continue;
            }
            const int shown = std::max(which, 1);
            const std::string before = records(size);
            const std::string after = size == 0 ? "" : records(size, shown);
            // The start-up and the moves to the record are crashed too for the
            // small files; in the large one, the deletion alone.
            const Command deletion = [](Rubrica& form, FakeView&) { form.cmdCancellaClick(); };
            const bool whole = size <= 50;
            const Command setup = whole ? Command(nothing) : startAt(shown);
            const Command command = whole
                                        ? Command([shown, deletion](Rubrica& form, FakeView& view) {
                                              startAt(shown)(form, view);
                                              deletion(form, view);
                                          })
                                        : deletion;
            // A stale scratch file lies there too: it must never come back as data.
            points += crashEverywhere(
                {{kDataFileName, before}, {kScratchFileName, records(3)}}, setup, command, before,
                after, "deleting " + std::to_string(shown) + " of " + std::to_string(size));
        }
    }
    std::printf("crash points tried: %d\n", points);
}

TEST(Crash, ADeletionThroughALinkLeavesTheLinkAndTheOldOrTheNewFile) {
    const std::string target = "altrove/rubrica.dat";
    const std::string before = records(5);
    const Command command = [](Rubrica& form, FakeView& view) {
        startAt(3)(form, view);
        form.cmdCancellaClick();
    };
    crashEverywhere({{target, before}, {"altrove/Chiamoro.TMP", records(2)}}, nothing, command,
                    before, records(5, 3), "deleting through a link", {{kDataFileName, target}},
                    target);
}

TEST(Crash, FirstStartSaveAndNewLoseNothingOnceReturned) {
    const Command command = [](Rubrica& form, FakeView& view) {
        form.formLoad();
        view.setText(Casella::txtChiamoro, u"Primo");
        form.cmdNuovoClick();
    };
    const Command setup = nothing;
    // Before the command there was no file; a restart may find none, an empty
    // one, the saved first record alone, or both records.
    const std::string saved = record("", "Primo");
    const int calls = runDying({}, setup, command, 0, false).calls;
    for (int n = 1; n <= calls + 1; ++n) {
        for (const bool keep : {false, true}) {
            const Image disk = runDying({}, setup, command, n, keep).disk;
            const std::string data = dataOf(disk);
            const std::string where = "crash at call " + std::to_string(n);
            EXPECT_TRUE(data.empty() || data == saved || data == saved + record("")) << where;
            restartAndCarryOn(disk, data, where);
        }
    }
    // Once the command has returned, all of it is on the disk.
    EXPECT_EQ(dataOf(runDying({}, setup, command, calls + 1, false).disk), saved + record(""));
}

TEST(Crash, ASaveIsAllOrNothing) {
    const std::string before = records(5);
    std::string after = before;
    after.replace(2 * 180, 180, record("1003", "Cambiato"));
    const Command command = [](Rubrica& form, FakeView& view) {
        view.setText(Casella::txtChiamoro, u"Cambiato");
        form.cmdSuccessivoClick();
    };
    crashEverywhere({{kDataFileName, before}}, startAt(3), command, before, after, "save");
}
