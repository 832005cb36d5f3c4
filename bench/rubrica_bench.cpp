// The cost of each command of the phone book on books of 1,000, 100,000 and
// 1,000,000 contacts, through the same code the window runs.
//
// The books are generated on first use in a temporary folder that is removed
// at the end, or in $CHIAMORO_BENCH_DIR when set (then they stay, so that
// bench/run-benchmarks can time its reference commands on the same files).
// Every benchmark works in its book's folder, as the program does in the
// folder it is started from, and leaves the book as it found it.

#include "benchmain.h"
#include "books.h"
#include "form/rubrica.h"
#include "store/recordfile.h"
#include "support/quietfakes.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <exception>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

constexpr std::int32_t kSizes[] = {1000, 100000, 1000000};

books::Root* root = nullptr;

// Moves into the folder of the book of `records` contacts, generating it first if needed.
void enterBook(std::int32_t records) {
    const std::string folder = root->book(records);
    if (::chdir(folder.c_str()) != 0) {
        throw std::runtime_error("cannot enter " + folder);
    }
}

// The window, its dialogs and the phone book behind them, started as the program starts.
struct Session {
    FakeView view;
    QuietDialogs dialogs;
    FakeDesktop desktop;
    Rubrica rubrica{view, dialogs, desktop};

    Session() { rubrica.formLoad(); }
};

bool failed(benchmark::State& state, const Session& session) {
    if (session.rubrica.ended()) {
        state.SkipWithError("the phone book reported a failure");
        return true;
    }
    return false;
}

// Start-up: lock the folder, open the file, count the records, show record 1.
// The teardown (closing the file, releasing the lock) is timed with it.
void startUp(benchmark::State& state, std::int32_t records) {
    enterBook(records);
    for (auto _ : state) {
        Session session;
        benchmark::DoNotOptimize(session.rubrica.totaleRecord());
    }
    Session check;
    if (!failed(state, check) && check.rubrica.totaleRecord() != records) {
        state.SkipWithError("wrong record count");
    }
}

// A search by number or by name, with the key typed into the input box.
// `expected` is the record it must find, 0 for none.
void search(benchmark::State& state, std::int32_t records, Campo field, const std::string& typed,
            std::int32_t expected) {
    enterBook(records);
    Session session;
    session.dialogs.typed = books::widen(typed);
    for (auto _ : state) {
        if (field == Campo::Numero) {
            session.rubrica.cmdCercaClick();
        } else {
            session.rubrica.command1Click();
        }
    }
    if (failed(state, session)) {
        return;
    }
    const bool missing = session.dialogs.last.find(u"non trovato") != std::u16string::npos;
    if (expected == 0 ? !missing : session.rubrica.recordCorrente() != expected) {
        state.SkipWithError("the search gave the wrong answer");
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t{records} * kLunghezzaRecord);
}

// Deleting the first record: the whole file rewritten through the scratch file,
// with its syncs. The book is put back between deletions, untimed.
void deleteFirst(benchmark::State& state, std::int32_t records) {
    enterBook(records);
    std::optional<Session> session;
    for (auto _ : state) {
        state.PauseTiming();
        session.reset();
        root->restore(records);
        session.emplace();
        state.ResumeTiming();

        session->rubrica.cmdCancellaClick();

        state.PauseTiming();
        if (failed(state, *session) || session->rubrica.totaleRecord() != records - 1) {
            state.SkipWithError("the deletion went wrong");
        }
        state.ResumeTiming();
    }
    session.reset();
    root->restore(records);
    state.SetBytesProcessed(state.iterations() * std::int64_t{records} * kLunghezzaRecord);
}

// Saving the shown record (record 1), as every command that leaves a record does:
// the three boxes fitted to their fields, encoded and written with its sync.
void save(benchmark::State& state, std::int32_t records) {
    enterBook(records);
    RecordFile file(posixFileSystem());
    Contatto shown;
    if (!file.open(kDataFileName).ok() || !file.read(1, shown).ok()) {
        state.SkipWithError("cannot open the book");
        return;
    }
    const std::u16string numero = trimSpaces(shown.Numero);
    const std::u16string nome = trimSpaces(shown.Nome);
    const std::u16string commenti = trimSpaces(shown.Commenti);
    for (auto _ : state) {
        const Contatto record{fitField(numero, kLarghezzaNumero), fitField(nome, kLarghezzaNome),
                              fitField(commenti, kLarghezzaCommenti)};
        if (!file.write(1, record).ok()) {
            state.SkipWithError("write failed");
            break;
        }
    }
}

// "Successivo": save the shown record, show the next one. Past the last record
// the book starts again at record 1, untimed.
void next(benchmark::State& state, std::int32_t records) {
    enterBook(records);
    std::optional<Session> session;
    session.emplace();
    for (auto _ : state) {
        if (session->rubrica.recordCorrente() == session->rubrica.totaleRecord()) {
            state.PauseTiming();
            session.reset();
            session.emplace();
            state.ResumeTiming();
        }
        session->rubrica.cmdSuccessivoClick();
    }
    if (failed(state, *session)) {
        return;
    }
}

// "Nuovo": save the shown record, append a blank one and show it. The appended
// records are cut off afterwards, untimed.
void appendNew(benchmark::State& state, std::int32_t records) {
    enterBook(records);
    {
        Session session;
        for (auto _ : state) {
            session.rubrica.cmdNuovoClick();
        }
        if (!failed(state, session) &&
            session.rubrica.totaleRecord() !=
                records + static_cast<std::int32_t>(state.iterations())) {
            state.SkipWithError("wrong record count after appending");
        }
    }
    const int fd = ::open(kDataFileName, O_WRONLY | O_CLOEXEC);
    if (fd < 0 || ::ftruncate(fd, std::int64_t{records} * kLunghezzaRecord) != 0 ||
        ::fsync(fd) != 0) {
        state.SkipWithError("cannot cut the book back");
    }
    if (fd >= 0) {
        ::close(fd);
    }
}

// "Operation/records", the name the results are reported under.
std::string named(const char* operation, std::int32_t records) {
    std::string name(operation);
    name += '/';
    name += std::to_string(records);
    return name;
}

void registerAll() {
    using benchmark::kMicrosecond;
    using benchmark::kMillisecond;
    // Wall-clock time throughout: most commands wait for the disk.
    const auto add = [](const std::string& name, auto function, auto... arguments) {
        return benchmark::RegisterBenchmark(name.c_str(), function, arguments...)->UseRealTime();
    };
    for (const std::int32_t n : kSizes) {
        add(named("StartUp", n), startUp, n)->Unit(kMicrosecond);
    }
    for (const std::int32_t n : kSizes) {
        const std::string missingNumber = books::kMissingNumber;
        const std::string missingName = books::kMissingName;
        const std::string lastName = books::kLastNameTyped;
        add(named("SearchNumberNotFound", n), search, n, Campo::Numero, missingNumber, 0)
            ->Unit(kMillisecond);
        add(named("SearchNameNotFound", n), search, n, Campo::Nome, missingName, 0)
            ->Unit(kMillisecond);
        add(named("SearchNumberLast", n), search, n, Campo::Numero, books::number(n), n)
            ->Unit(kMillisecond);
        add(named("SearchNameLast", n), search, n, Campo::Nome, lastName, n)->Unit(kMillisecond);
    }
    for (const std::int32_t n : kSizes) {
        // Each deletion in the largest book rewrites 180 MB: a few are enough.
        const int deletions = n >= 1000000 ? 5 : n >= 100000 ? 10 : 40;
        add(named("DeleteFirst", n), deleteFirst, n)->Unit(kMillisecond)->Iterations(deletions);
    }
    for (const std::int32_t n : kSizes) {
        add(named("Save", n), save, n)->Unit(kMicrosecond);
        add(named("Next", n), next, n)->Unit(kMicrosecond);
        add(named("New", n), appendNew, n)->Unit(kMicrosecond);
    }
}

} // namespace

int main(int argc, char** argv) {
    return runOnBooks(argc, argv, "rubrica_bench", root, registerAll);
}
