// Under the file size limit the system sets: one report that says why, and
// the phone book as it was.

#include "harness.h"

#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string threeRecords() {
    return record("1", "uno") + record("2", "due") + record("3", "tre");
}

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
