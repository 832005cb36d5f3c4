#include "harness.h"

#include <csignal>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// What the window refuses in folders others may write, and under limits the
// system sets: one message that says why, and the phone book as it was.

namespace {

std::string threeRecords() {
    return record("1", "uno") + record("2", "due") + record("3", "tre");
}

// The single report shown, which ended the program.
std::u16string theReport(const Rubrica& form, const ScriptedDialogs& dialogs) {
    EXPECT_TRUE(form.ended());
    EXPECT_NE(form.exitStatus(), 0);
    std::vector<std::u16string> reports;
    for (const auto& message : dialogs.messages()) {
        if (message.style == Stile::Critico) {
            reports.push_back(message.text);
        }
    }
    EXPECT_EQ(reports.size(), 1u);
    return reports.empty() ? std::u16string() : reports.back();
}

} // namespace

TEST_F(PhoneBookTest, WhatTheWindowRefusesItSaysAndLeavesAsItWas) {
    const struct {
        const char* what;
        std::function<void()> make;
        bool deletes; // the refusal comes with a deletion, not at start-up
        std::u16string says;
    } cases[] = {
        {"a phone book with a second name",
         [] {
             writeFile(kDataFileName, threeRecords());
             std::filesystem::create_hard_link(kDataFileName, "copia.dat");
         },
         true,
         u"Impossibile sostituire il file \"Chiamoro.DAT\": ha un altro nome (un collegamento "
         u"fisico)"},
        {"a pipe as the phone book", [] { ASSERT_EQ(mkfifo(kDataFileName, 0600), 0); }, false,
         u"Impossibile aprire il file \"Chiamoro.DAT\": non è un file normale, ma una pipe"},
        {"a folder under the scratch name",
         [] {
             writeFile(kDataFileName, threeRecords());
             std::filesystem::create_directory(kScratchFileName);
         },
         true,
         u"Impossibile eliminare il file \"Chiamoro.TMP\": non è un file normale, ma una "
         u"cartella."},
        {"a link as the orphan of an interrupted deletion",
         [] {
             writeFile("altrove.dat", threeRecords());
             std::filesystem::create_symlink("altrove.dat", kScratchFileName);
         },
         false,
         u"Impossibile recuperare come rubrica il file \"Chiamoro.TMP\": non è un file "
         u"normale, ma un collegamento simbolico."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& entry : std::filesystem::directory_iterator(".")) {
            std::filesystem::remove_all(entry.path());
        }
        c.make();
        const bool hadBook = std::filesystem::is_regular_file(kDataFileName);
        dialogs.calls.clear();
        Rubrica& form = start();
        if (c.deletes) {
            ASSERT_FALSE(form.ended());
            form.cmdSuccessivoClick();
            dialogs.answers = {Risposta::Si};
            form.cmdCancellaClick();
        }
        EXPECT_EQ(theReport(form, dialogs).rfind(c.says, 0), 0u) << c.what;
        EXPECT_EQ(std::filesystem::is_regular_file(kDataFileName), hadBook);
        if (hadBook) {
            EXPECT_EQ(data(), threeRecords());
        }
        if (fileExists("copia.dat")) {
            EXPECT_EQ(readFile("copia.dat"), threeRecords());
        }
        this->form.reset();
    }
}

namespace {

// Runs `command` on the phone book in a child process limited to files of
// `limit` bytes, with SIGXFSZ ignored or not (when not, a write that reached
// the limit would kill the process); returns the report it showed.
std::string underFileSizeLimit(rlim_t limit, bool ignoreSignal,
                               const std::function<void(Rubrica&)>& command) {
    int pipeFds[2];
    EXPECT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        std::signal(SIGXFSZ, ignoreSignal ? SIG_IGN : SIG_DFL);
        const rlimit size{limit, limit};
        if (setrlimit(RLIMIT_FSIZE, &size) != 0) {
            _exit(9);
        }
        FakeView view;
        ScriptedDialogs dialogs;
        dialogs.answers = {Risposta::Si};
        FakeDesktop desktop;
        Rubrica form(view, dialogs, desktop);
        form.formLoad();
        command(form);
        for (const auto& message : dialogs.messages()) {
            if (message.style != Stile::Critico) {
                continue;
            }
            const std::string bytes(reinterpret_cast<const char*>(message.text.data()),
                                    message.text.size() * sizeof(char16_t));
            (void)!write(pipeFds[1], bytes.data(), bytes.size());
        }
        _exit(form.exitStatus());
    }
    close(pipeFds[1]);
    std::string bytes;
    char buffer[4096];
    for (ssize_t got; (got = read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipeFds[0]);
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    return bytes;
}

std::u16string asText(const std::string& bytes) {
    return std::u16string(reinterpret_cast<const char16_t*>(bytes.data()),
                          bytes.size() / sizeof(char16_t));
}

} // namespace

TEST_F(PhoneBookTest, AWriteBeyondTheFileSizeLimitIsReportedAndUndone) {
    const struct {
        const char* what;
        rlim_t limit;
        std::function<void(Rubrica&)> command;
        std::u16string says;
    } cases[] = {
        // Record 4 would end at byte 720: 60 of its bytes fit, the rest do not.
        {"new", 600, [](Rubrica& form) { form.cmdNuovoClick(); },
         u"Impossibile scrivere il file \"Chiamoro.DAT\": il file supererebbe la dimensione "
         u"massima permessa dal disco o dal limite di questo processo (ulimit -f) (EFBIG)."},
        // The copy without record 1 is 360 bytes.
        {"delete", 300, [](Rubrica& form) { form.cmdCancellaClick(); },
         u"Impossibile scrivere il file \"Chiamoro.TMP\": il file supererebbe la dimensione "
         u"massima permessa dal disco o dal limite di questo processo (ulimit -f) (EFBIG)."},
    };
    for (const auto& c : cases) {
        for (const bool ignoreSignal : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (ignoreSignal ? ", SIGXFSZ ignored" : ""));
            writeFile(kDataFileName, threeRecords());
            const std::u16string shown =
                asText(underFileSizeLimit(c.limit, ignoreSignal, c.command));
            EXPECT_EQ(shown.substr(0, shown.find(u"\r\n")), c.says);
            EXPECT_EQ(data(), threeRecords());
            EXPECT_FALSE(fileExists(kScratchFileName));
        }
    }
}
