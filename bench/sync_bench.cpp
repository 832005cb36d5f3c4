// --sincronizza on a phone book of 10,000 contacts kept in step with a folder
// of 10,000 cards, each with a photo of 4 KiB as phones attach them: a sync
// with nothing to do (the everyday run of the timer, which must stay under a
// second), one with a change each way, and the first sync, which reads every
// card and pairs it with its record.
//
// The book is generated as for rubrica_bench (books.h); the cards are written
// from its records, untimed, with their times an hour back, as a phone's
// would be by the time the timer runs.

#include "benchmain.h"
#include "books.h"
#include "exchange/sync.h"
#include "exchange/syncstate.h"
#include "exchange/vcardfile.h"
#include "store/recordfile.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr std::int32_t kContacts = 10000;

books::Root* root = nullptr;

// A folder with the book, its cards and no state: as before a first sync.
std::string freshFolder() {
    const std::string folder = root->path() + "/sincronizza";
    fs::remove_all(folder);
    fs::create_directories(folder + "/carte");
    books::copyFile(root->book(kContacts) + "/" + kDataFileName, folder + "/" + kDataFileName);
    const std::string photo = "PHOTO;ENCODING=b;TYPE=JPEG:" + std::string(74, 'Q') + "\r\n";
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (std::int32_t i = 1; i <= kContacts; ++i) {
        const std::string bytes = books::record(i, kContacts);
        const std::string uid = "contatto-" + std::to_string(i);
        std::string card = newCard(uid, fromRecord(decodeRecord(bytes.data())));
        card.insert(card.size() - std::string("END:VCARD\r\n").size(),
                    "EMAIL:" + uid + "@example.org\r\n");
        std::string photoLines = photo;
        for (int line = 0; line < 55; ++line) {
            photoLines += " " + std::string(74, 'A' + line % 26) + "\r\n";
        }
        card.insert(card.size() - std::string("END:VCARD\r\n").size(), photoLines);
        const std::string path = folder + "/carte/" + uid + ".vcf";
        std::ofstream(path, std::ios::binary) << card;
        fs::last_write_time(path, old);
    }
    fs::current_path(folder);
    return folder;
}

bool quiet(const SyncReport& report) {
    for (const std::int64_t count : report.counts) {
        if (count != 0) {
            return false;
        }
    }
    return report.ok();
}

void firstSync(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        freshFolder();
        state.ResumeTiming();
        const SyncReport report = synchronize(posixFileSystem(), "carte");
        if (!quiet(report) || report.paired != kContacts) {
            state.SkipWithError("the first sync did not pair every contact");
            return;
        }
    }
}

void nothingToDo(benchmark::State& state) {
    freshFolder();
    if (!quiet(synchronize(posixFileSystem(), "carte"))) {
        state.SkipWithError("the first sync failed");
        return;
    }
    const auto stateTime = fs::last_write_time(kSyncStateName);
    for (auto _ : state) {
        const SyncReport report = synchronize(posixFileSystem(), "carte");
        if (!quiet(report) || report.contacts != kContacts) {
            state.SkipWithError("the sync found something to do");
            return;
        }
    }
    if (fs::last_write_time(kSyncStateName) != stateTime) {
        state.SkipWithError("the sync with nothing to do wrote its state");
    }
}

// A record edited in the middle of the book and a card changed: the book
// replaced, a card rewritten, the state written again.
void oneChangeEachWay(benchmark::State& state) {
    freshFolder();
    synchronize(posixFileSystem(), "carte");
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string tag = std::to_string(++round);
        {
            std::fstream book(kDataFileName, std::ios::in | std::ios::out | std::ios::binary);
            book.seekp(std::streamoff{kContacts / 2} * kLunghezzaRecord + kOffsetCommenti);
            book << ("Modificato " + tag);
        }
        std::ofstream("carte/contatto-7.vcf", std::ios::binary)
            << newCard("contatto-7", {u"06 7777777", books::widen("Cambiato " + tag), {}});
        state.ResumeTiming();
        const SyncReport report = synchronize(posixFileSystem(), "carte");
        if (!report.ok() || report.count(SyncEvent::Kind::FileUpdated) != 1 ||
            report.count(SyncEvent::Kind::RecordUpdated) != 1) {
            state.SkipWithError("the changes did not go across");
            return;
        }
    }
}

void registerAll() {
    const auto add = [](const char* name, void (*function)(benchmark::State&)) {
        return benchmark::RegisterBenchmark(name, function)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(5);
    };
    add("SyncNothingToDo/10000", nothingToDo);
    add("SyncOneChangeEachWay/10000", oneChangeEachWay);
    add("FirstSyncPairingAll/10000", firstSync);
}

} // namespace

int main(int argc, char** argv) {
    return runOnBooks(argc, argv, "sync_bench", root, registerAll);
}
