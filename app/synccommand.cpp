#include "app/synccommand.h"

#include "exchange/sync.h"
#include "form/importreport.h"
#include "form/syncreport.h"
#include "store/replacement.h"

#include <QFile>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int kFailure = 1;

void say(const std::u16string& line) {
    std::fprintf(stderr, "chiamoro: %s\n",
                 QString::fromStdU16String(line).toLocal8Bit().constData());
}

// Ctrl-C, a kill or a closed terminal during a sync: the scratch file under
// way goes; what was done before stays, and the next sync carries on from it.
extern "C" void stopSyncOnSignal(int signal) {
    removeScratchFileOnSignal();
    const char* name = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
    const char* parts[] = {"chiamoro: sincronizzazione interrotta (", name,
                           "); la prossima la riprende da dove si \xC3\xA8 fermata.\n"};
    for (const char* part : parts) {
        std::size_t length = 0;
        while (part[length] != '\0') {
            ++length;
        }
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, part, length);
    }
    ::_exit(128 + signal);
}

void handleSignals() {
    struct sigaction stop {};
    stop.sa_handler = stopSyncOnSignal;
    sigemptyset(&stop.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&stop.sa_mask, signal);
    }
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(signal, &stop, nullptr);
    }
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace

int synchronizeContacts(const QString& folder, bool emptiedBookConfirmed) {
    handleSignals();
    const std::string path = QFile::encodeName(folder).toStdString();
    SyncOptions options;
    options.emptiedBookConfirmed = emptiedBookConfirmed;
    options.onEvent = [](const SyncEvent& event) { say(syncEventLine(event)); };
    options.onNotice = [](const std::string& file, const Notice& notice) {
        say(noticeLine(file, notice));
    };
    options.onChange = [](const std::string& file, std::int64_t line,
                          const std::vector<FieldChange>& changes) {
        say(changeLine(file, line, changes));
    };
    const SyncReport report = synchronize(posixFileSystem(), path, options);
    if (!report.ok()) {
        say(syncFailureLine(path, report));
        return kFailure;
    }
    say(syncSummaryLine(path, report));
    return 0;
}
