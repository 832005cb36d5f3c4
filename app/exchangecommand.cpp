#include "app/exchangecommand.h"

#include "exchange/sync.h"
#include "form/errorreport.h"
#include "form/importreport.h"
#include "form/syncreport.h"
#include "store/replacement.h"

#include <QFile>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int kFailure = 1;

// Whether the command under way is a sync, for the line the signal handler writes.
volatile std::sig_atomic_t syncing = 0;

// Ctrl-C, a kill or a closed terminal during an export, an import or a sync:
// the scratch file under way goes (the file it would have replaced stays as
// it was; a sync keeps what it had done, and the next one carries on from
// it), a line says so, and the program ends with the shell's status for the
// signal.
extern "C" void stopOnSignal(int signal) {
    const bool removed = removeScratchFileOnSignal();
    const char* name = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
    const char* parts[] = {
        syncing != 0 ? "chiamoro: sincronizzazione interrotta (" : "chiamoro: interrotto (", name,
        syncing != 0 ? "); la prossima la riprende da dove si \xC3\xA8 fermata.\n"
        : removed    ? "): il file provvisorio \xC3\xA8 stato rimosso, nessun file "
                       "\xC3\xA8 cambiato.\n"
                     : ").\n"};
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
    stop.sa_handler = stopOnSignal;
    sigemptyset(&stop.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&stop.sa_mask, signal); // one at a time
    }
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(signal, &stop, nullptr);
    }
    // Past the file size limit a write fails with EFBIG, reported as any
    // failed write is, instead of ending the program without a word.
    std::signal(SIGXFSZ, SIG_IGN);
}

void say(const std::u16string& line) {
    std::fprintf(stderr, "chiamoro: %s\n",
                 QString::fromStdU16String(line).toLocal8Bit().constData());
}

} // namespace

int exportContacts(const QString& file, Formato format) {
    handleSignals();
    const std::string path = QFile::encodeName(file).toStdString();
    const ExchangeReport report = exportContacts(posixFileSystem(), path, format);
    if (!report.ok()) {
        say(failureSentence(report.status));
        return kFailure;
    }
    return 0;
}

int importContacts(const QString& file, Formato format, Doppioni doppioni) {
    handleSignals();
    const std::string path = QFile::encodeName(file).toStdString();
    ImportOptions options;
    options.doppioni = doppioni;
    options.onChange = [&path](std::int64_t line, const std::vector<FieldChange>& changes) {
        say(changeLine(path, line, changes));
    };
    options.onNotice = [&path](const Notice& notice) { say(noticeLine(path, notice)); };
    options.onDuplicate = [&path](const DuplicateEvent& event) { say(duplicateLine(path, event)); };
    const ExchangeReport report = importContacts(posixFileSystem(), path, format, options);
    if (!report.ok()) {
        say(failureLine(path, report));
        return kFailure;
    }
    if (const std::u16string ignored = ignoredLine(path, report, format); !ignored.empty()) {
        say(ignored);
    }
    say(summaryLine(path, report));
    return 0;
}

int synchronizeContacts(const QString& folder, bool emptiedBookConfirmed) {
    syncing = 1;
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
