// Contacts in and out on books of 1,000, 100,000 and 1,000,000 contacts: the
// time of an export (vCard, CSV, workbook) and of an import of as many
// contacts into an empty book, each beside what the machine takes to copy the
// same bytes through a synced file; the import of one contact whose comments
// are one line of 1 GB, in both formats; and the peak memory of each, which
// must not grow with the book or the line.
//
// The books are generated as for rubrica_bench (books.h), in a temporary
// folder removed at the end or in $CHIAMORO_BENCH_DIR. The files to import
// are the book's own export, made once, untimed.
//
// The duplicate look-up: 1,000 contacts, half of them already there, imported
// into books of 1,000 and 1,000,000, with the look-up and without it.
//
// Memory: each operation runs once more in a child process, whose peak
// resident size (getrusage) is reported as peak_MiB, and the growth over what
// the child started with as growth_MiB.

#include "benchmain.h"
#include "books.h"
#include "exchange/exchange.h"
#include "exchange/vcard.h"
#include "store/recordfile.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kSizes[] = {1000, 100000, 1000000};
constexpr std::size_t kLongLine = std::size_t{1} << 30;

books::Root* root = nullptr;

const char* extension(Formato format) {
    return format == Formato::VCard ? ".vcf" : format == Formato::Csv ? ".csv" : ".xlsx";
}

// The export of the book of `records` contacts, made once: what the imports read.
std::string exported(std::int32_t records, Formato format) {
    const std::string folder = root->book(records);
    const std::string file =
        root->path() + "/esportati-" + std::to_string(records) + extension(format);
    if (!fs::exists(file)) {
        fs::current_path(folder);
        if (!exportContacts(posixFileSystem(), file, format).ok()) {
            throw std::runtime_error("cannot export " + folder);
        }
    }
    return file;
}

// A folder of its own where each import starts from no phone book.
std::string importFolder(std::int32_t records) {
    const std::string folder = root->path() + "/importa-" + std::to_string(records);
    fs::create_directories(folder);
    fs::current_path(folder);
    fs::remove(kDataFileName);
    return folder;
}

double mib(long kib) {
    return static_cast<double>(kib) / 1024.0;
}

// Runs `operation` in a child process; its peak resident size and how much it
// grew over the size the child started with, in KiB.
bool peakMemory(const std::function<bool()>& operation, long& peak, long& growth) {
    int pipe[2];
    if (::pipe(pipe) != 0) {
        return false;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        const bool done = operation();
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        const long figures[2] = {after.ru_maxrss, after.ru_maxrss - before.ru_maxrss};
        const bool sent = ::write(pipe[1], figures, sizeof figures) == sizeof figures;
        ::_exit(done && sent ? 0 : 1);
    }
    ::close(pipe[1]);
    long figures[2] = {0, 0};
    const bool got = child > 0 && ::read(pipe[0], figures, sizeof figures) == sizeof figures;
    ::close(pipe[0]);
    int status = 0;
    const bool ended = child > 0 && ::waitpid(child, &status, 0) == child;
    peak = figures[0];
    growth = figures[1];
    return got && ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void reportMemory(benchmark::State& state, const std::function<bool()>& operation) {
    long peak = 0;
    long growth = 0;
    if (!peakMemory(operation, peak, growth)) {
        state.SkipWithError("the measured child failed");
        return;
    }
    state.counters["peak_MiB"] = mib(peak);
    state.counters["growth_MiB"] = mib(growth);
}

void exportBook(benchmark::State& state, std::int32_t records, Formato format) {
    fs::current_path(root->book(records));
    const std::string target = root->path() + "/uscita" + extension(format);
    const auto once = [&] { return exportContacts(posixFileSystem(), target, format).ok(); };
    for (auto _ : state) {
        if (!once()) {
            state.SkipWithError("the export failed");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t{records} * kLunghezzaRecord);
    reportMemory(state, once);
    fs::remove(target);
}

void importBook(benchmark::State& state, std::int32_t records, Formato format) {
    const std::string source = exported(records, format);
    importFolder(records);
    const auto once = [&] {
        const ExchangeReport report = importContacts(posixFileSystem(), source, format);
        return report.ok() && report.total == records;
    };
    for (auto _ : state) {
        if (!once()) {
            state.SkipWithError("the import failed");
            return;
        }
        state.PauseTiming();
        fs::remove(kDataFileName);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(source)));
    reportMemory(state, once);
    fs::remove(kDataFileName);
}

// 1,000 contacts for the book of `records`: every other one a contact of the
// book, spread over it, the others new. Made once.
std::string someAlreadyThere(std::int32_t records) {
    const std::string file = root->path() + "/in-parte-" + std::to_string(records) + ".vcf";
    if (fs::exists(file)) {
        return file;
    }
    std::string cards;
    for (std::int32_t i = 1; i <= 1000; ++i) {
        const std::int32_t existing = 1 + (i * 7919) % records;
        const std::string bytes = books::record(existing, records);
        ContattoLibero contatto = fromRecord(decodeRecord(bytes.data()));
        if (i % 2 == 0) {
            contatto.numero = books::widen(books::number(records + i));
            contatto.nome = books::widen("Nuovo " + std::to_string(i));
        }
        cards += vcardOf(contatto);
    }
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr || std::fwrite(cards.data(), 1, cards.size(), out) != cards.size() ||
        std::fclose(out) != 0) {
        throw std::runtime_error("cannot write " + file);
    }
    return file;
}

void importSome(benchmark::State& state, std::int32_t records, bool lookForDuplicates) {
    const std::string source = someAlreadyThere(records);
    fs::current_path(root->book(records));
    const auto once = [&] {
        ImportOptions options;
        options.lookForDuplicates = lookForDuplicates;
        const ExchangeReport report =
            importContacts(posixFileSystem(), source, Formato::VCard, options);
        return report.ok() && report.contacts == (lookForDuplicates ? 500 : 1000);
    };
    for (auto _ : state) {
        if (!once()) {
            state.SkipWithError("the import failed");
            return;
        }
        state.PauseTiming();
        fs::resize_file(kDataFileName, std::uintmax_t(records) * kLunghezzaRecord);
        state.ResumeTiming();
    }
    reportMemory(state, once);
    fs::resize_file(kDataFileName, std::uintmax_t(records) * kLunghezzaRecord);
}

// A file of one contact whose comments are one line of kLongLine bytes, made once.
std::string longLine(Formato format) {
    const std::string file = root->path() + "/lunga" + extension(format);
    if (fs::exists(file)) {
        return file;
    }
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) {
        throw std::runtime_error("cannot write " + file);
    }
    const std::string start = format == Formato::VCard
                                  ? "BEGIN:VCARD\r\nFN:Anna\r\nTEL:333\r\nNOTE:"
                                  : "Numero,Nome,Commenti\r\n333,Anna,\"";
    const std::string end = format == Formato::VCard ? "\r\nEND:VCARD\r\n" : "\"\r\n";
    const std::string block(std::size_t{1} << 20, 'x');
    bool written = std::fwrite(start.data(), 1, start.size(), out) == start.size();
    for (std::size_t done = 0; written && done < kLongLine; done += block.size()) {
        written = std::fwrite(block.data(), 1, block.size(), out) == block.size();
    }
    written = written && std::fwrite(end.data(), 1, end.size(), out) == end.size();
    if (std::fclose(out) != 0 || !written) {
        throw std::runtime_error("cannot write " + file);
    }
    return file;
}

void importLongLine(benchmark::State& state, Formato format) {
    const std::string source = longLine(format);
    importFolder(1);
    const auto once = [&] {
        const ExchangeReport report = importContacts(posixFileSystem(), source, format);
        return report.ok() && report.total == 1 && report.changed == 1;
    };
    for (auto _ : state) {
        if (!once()) {
            state.SkipWithError("the import failed");
            return;
        }
        state.PauseTiming();
        fs::remove(kDataFileName);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(source)));
    reportMemory(state, once);
    fs::remove(kDataFileName);
}

// What the machine takes to read `from` and write the same bytes to a new,
// synced file: the floor of both directions.
void copyFloor(benchmark::State& state, std::int32_t records, const char* what) {
    const std::string from = std::string(what) == "book" ? root->book(records) + "/" + kDataFileName
                                                         : exported(records, Formato::VCard);
    const std::string to = root->path() + "/copia.tmp";
    for (auto _ : state) {
        books::copyFile(from, to);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(from)));
    fs::remove(to);
}

std::string named(const char* operation, std::int32_t records) {
    return std::string(operation) + "/" + std::to_string(records);
}

void registerAll() {
    const auto add = [](const std::string& name, auto function, auto... arguments) {
        return benchmark::RegisterBenchmark(name.c_str(), function, arguments...)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
    };
    for (const std::int32_t n : kSizes) {
        add(named("ExportVCard", n), exportBook, n, Formato::VCard);
        add(named("ExportCsv", n), exportBook, n, Formato::Csv);
        add(named("ExportWorkbook", n), exportBook, n, Formato::Foglio);
        add(named("ImportVCard", n), importBook, n, Formato::VCard);
        add(named("ImportCsv", n), importBook, n, Formato::Csv);
        add(named("CopyBookFloor", n), copyFloor, n, "book");
        add(named("CopyVCardFloor", n), copyFloor, n, "vcard");
    }
    for (const std::int32_t n : {1000, 1000000}) {
        add(named("Import1000Duplicates", n) + "/look", importSome, n, true);
        add(named("Import1000Duplicates", n) + "/nolook", importSome, n, false);
    }
    add(std::string("ImportVCardOneLineOf1GB"), importLongLine, Formato::VCard);
    add(std::string("ImportCsvOneLineOf1GB"), importLongLine, Formato::Csv);
}

} // namespace

int main(int argc, char** argv) {
    return runOnBooks(argc, argv, "exchange_bench", root, registerAll);
}
