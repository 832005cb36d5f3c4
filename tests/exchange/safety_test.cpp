// The import adds all or nothing, where "Nuovo" would, under failures,
// crashes and a window holding the phone book; the export never leaves a
// half-written file.

#include "exchange/csv.h"
#include "exchange/exchange.h"
#include "exchange/vcard.h"
#include "helpers.h"
#include "support/crashfs.h"
#include "support/faultyfs.h"
#include "support/records.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using chiamoro::Cause;
using chiamoro::FileOperation;

namespace {

using SafetyTest = InTempDir;

constexpr const char* kTwoCards = "BEGIN:VCARD\r\nFN:Anna\r\nTEL:111\r\nEND:VCARD\r\n"
                                  "BEGIN:VCARD\r\nFN:Bruno\r\nTEL:222\r\nEND:VCARD\r\n";
const std::string kTwoRecords = record("111", "Anna") + record("222", "Bruno");

// More contacts than one block of the append holds.
std::string manyContacts(int count) {
    std::string csv = "Numero,Nome,Commenti\r\n";
    for (int i = 1; i <= count; ++i) {
        csv +=
            std::to_string(1000 + i) + ",Contatto " + std::to_string(i) + ",\"riga\r\nriga\"\r\n";
    }
    return csv;
}

void putBook(const std::optional<std::string>& bytes) {
    std::filesystem::remove(kDataFileName);
    if (bytes) {
        writeFile(kDataFileName, *bytes);
    }
}

std::optional<std::string> book() {
    return fileExists(kDataFileName) ? std::optional(readFile(kDataFileName)) : std::nullopt;
}

TEST_F(SafetyTest, TheImportAppendsWhereNuovoWouldOrLeavesTheFileAsItWas) {
    writeFile("due.vcf", kTwoCards);
    // Two good rows, then quotes that never close: refused only at the end.
    writeFile("guasto.csv", "Numero,Nome\r\n111,Anna\r\n222,Bruno\r\n333,\"Carla\r\n");
    const struct {
        const char* what;
        std::optional<std::string> before;
        std::string after;
    } cases[] = {
        {"no data file", std::nullopt, kTwoRecords},
        {"an empty one", "", kTwoRecords},
        {"one record", record("1"), record("1") + kTwoRecords},
        {"a torn tail the window does not count", record("1") + "20 bytes of a record",
         record("1") + kTwoRecords},
        {"half a record the window counts", record("1") + std::string(90, 'z'),
         record("1") + std::string(90, 'z') + std::string(90, ' ') + kTwoRecords},
        {"less than half a record, counted as one", std::string(60, 'w'),
         std::string(60, 'w') + std::string(120, ' ') + kTwoRecords},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        putBook(c.before);
        const ExchangeReport good = importContacts(posixFileSystem(), "due.vcf", Formato::VCard);
        ASSERT_TRUE(good.ok());
        EXPECT_EQ(readFile(kDataFileName), c.after);
        EXPECT_EQ(good.total, static_cast<std::int32_t>(c.after.size() / kLunghezzaRecord));

        putBook(c.before);
        const ExchangeReport bad = importContacts(posixFileSystem(), "guasto.csv", Formato::Csv);
        EXPECT_EQ(bad.problem.kind, InputProblem::Kind::UnterminatedQuote);
        EXPECT_EQ(book(), c.before);
    }

    // A phone book kept elsewhere through a link stays linked.
    std::filesystem::create_directory("altrove");
    writeFile("altrove/rubrica.dat", record("1"));
    putBook(std::nullopt);
    std::filesystem::create_symlink("altrove/rubrica.dat", kDataFileName);
    ASSERT_TRUE(importContacts(posixFileSystem(), "due.vcf", Formato::VCard).ok());
    EXPECT_TRUE(std::filesystem::is_symlink(kDataFileName));
    EXPECT_EQ(readFile("altrove/rubrica.dat"), record("1") + kTwoRecords);
}

TEST_F(SafetyTest, AnImportFailingAtAnyCallLeavesTheFileByteForByte) {
    writeFile("molti.csv", manyContacts(1600));
    for (const std::optional<std::string>& before :
         {std::optional<std::string>(), std::optional(record("1") + "a torn tail")}) {
        putBook(before);
        FaultyFileSystem counting;
        ASSERT_TRUE(importContacts(counting, "molti.csv", Formato::Csv).ok());
        ASSERT_GE(counting.count("pwrite"), 3) << "the import should take several blocks";
        const std::string after = readFile(kDataFileName);
        int failures = 0;
        for (int n = 1; n <= counting.calls(); ++n) {
            for (const bool diskFull : {false, true}) {
                const std::string where = std::string(diskFull ? "disk full" : "EIO") +
                                          " at call " + std::to_string(n) +
                                          (before ? ", on a torn file" : ", with no file");
                putBook(before);
                FaultyFileSystem faulty;
                if (diskFull) {
                    faulty.diskFullAtCall(n);
                } else {
                    faulty.failCall(n, EIO);
                }
                const ExchangeReport report = importContacts(faulty, "molti.csv", Formato::Csv);
                if (report.ok() || report.added) {
                    // A call the import can do without failed (closing a file
                    // read), or the folder's sync once the contacts were in.
                    EXPECT_EQ(book(), after) << where;
                } else {
                    ++failures;
                    EXPECT_EQ(report.contacts, 0) << where;
                    EXPECT_EQ(book(), before) << where << ": failed at " << faulty.firstFailure();
                    EXPECT_FALSE(fileExists(kScratchFileName)) << where;
                }
            }
        }
        EXPECT_GT(failures, counting.calls()) << "hardly any failure reached the import";
    }
}

TEST(ImportCrash, ACrashLeavesTheOldBookOrTheWholeImport) {
    const std::string before = record("1") + "a torn tail";
    const CrashFileSystem::Image disk = {{"molti.csv", manyContacts(1600)},
                                         {kDataFileName, before}};
    CrashFileSystem clean(disk);
    ASSERT_TRUE(importContacts(clean, "molti.csv", Formato::Csv).ok());
    const std::string after = clean.image().at(kDataFileName);
    for (int n = 1; n <= clean.calls() + 1; ++n) {
        for (const bool keepUnsynced : {false, true}) {
            const std::string where = "crash at call " + std::to_string(n) +
                                      (keepUnsynced ? ", unsynced kept" : ", unsynced lost");
            CrashFileSystem fs(disk);
            fs.crashAt(n, keepUnsynced);
            const bool ok = importContacts(fs, "molti.csv", Formato::Csv).ok();
            const std::string data = fs.image().at(kDataFileName);
            if (ok) {
                EXPECT_EQ(data, after) << where << ": reported done, not on the disk";
            } else {
                EXPECT_TRUE(data == before || data == after) << where;
            }
        }
    }
}

TEST_F(SafetyTest, WhileAWindowHoldsTheBookTheImportIsRefusedAndTheExportStillReads) {
    writeFile(kDataFileName, kTwoRecords);
    writeFile("due.vcf", kTwoCards);
    FolderLock window(posixFileSystem());
    ASSERT_TRUE(window.acquire().ok());

    const ExchangeReport in = importContacts(posixFileSystem(), "due.vcf", Formato::VCard);
    EXPECT_EQ(in.status.operation, FileOperation::Lock);
    EXPECT_EQ(in.status.error, EWOULDBLOCK);
    EXPECT_EQ(readFile(kDataFileName), kTwoRecords);

    const ExchangeReport out = exportContacts(posixFileSystem(), "copia.csv", Formato::Csv);
    ASSERT_TRUE(out.ok());
    EXPECT_EQ(readFile("copia.csv"), "Numero,Nome,Commenti\r\n111,Anna,\r\n222,Bruno,\r\n");
}

TEST_F(SafetyTest, AnExportNeverLeavesAHalfWrittenFile) {
    std::string bytes;
    for (int i = 1; i <= 3000; ++i) {
        bytes += record(std::to_string(i), "Contatto " + std::to_string(i), "commento");
    }
    writeFile(kDataFileName, bytes);
    // Written in blocks of 64 KiB: the cards in several, the workbook (compressed) in one.
    std::string cards;
    for (const auto& [target, blocks] : {std::pair{"uscita.vcf", 3}, std::pair{"uscita.xlsx", 1}}) {
        SCOPED_TRACE(target);
        FaultyFileSystem counting;
        ASSERT_TRUE(exportContacts(counting, target, *formatOf(target)).ok());
        ASSERT_GE(counting.count("pwrite"), blocks);
        const std::string whole = readFile(target);
        cards = formatOf(target) == Formato::VCard ? whole : cards;
        for (int n = 1; n <= counting.calls(); ++n) {
            writeFile(target, "la copia di ieri");
            FaultyFileSystem faulty;
            faulty.failCall(n, EIO);
            const ExchangeReport out = exportContacts(faulty, target, *formatOf(target));
            const std::string now = readFile(target);
            // Once renamed it is whole, even if syncing its folder fails afterwards.
            EXPECT_TRUE(now == whole || (!out.ok() && now == "la copia di ieri")) << "call " << n;
            // What failed is told of the file the user named, never of the scratch file.
            EXPECT_TRUE(out.ok() || !out.status.file.ends_with(".tmp")) << "call " << n;
            for (const auto& entry : std::filesystem::directory_iterator(".")) {
                EXPECT_FALSE(entry.path().string().ends_with(".tmp"))
                    << entry.path() << ", call " << n;
            }
        }
    }
    // A workbook whose temporary files cannot be made: said of their folder.
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string previous = tmpdir != nullptr ? tmpdir : "";
    ::setenv("TMPDIR", (dir() + "/manca").c_str(), 1);
    const ExchangeReport noFolder =
        exportContacts(posixFileSystem(), "uscita.xlsx", Formato::Foglio);
    tmpdir != nullptr ? ::setenv("TMPDIR", previous.c_str(), 1) : ::unsetenv("TMPDIR");
    EXPECT_EQ(noFolder.status.operation, FileOperation::WriteTemporary);
    EXPECT_EQ(noFolder.status.file, dir() + "/manca/");
    EXPECT_EQ(noFolder.status.error, ENOENT);
    EXPECT_EQ(readFile("uscita.xlsx"), "la copia di ieri");

    // A link stays a link; a missing phone book is an error that creates nothing.
    std::filesystem::create_symlink("vera.vcf", "collegamento.vcf");
    ASSERT_TRUE(exportContacts(posixFileSystem(), "collegamento.vcf", Formato::VCard).ok());
    EXPECT_TRUE(std::filesystem::is_symlink("collegamento.vcf"));
    EXPECT_TRUE(readFile("vera.vcf") == cards);
    std::filesystem::remove(kDataFileName);
    const ExchangeReport missing = exportContacts(posixFileSystem(), "nuova.vcf", Formato::VCard);
    EXPECT_EQ(missing.status.error, ENOENT);
    EXPECT_EQ(missing.status.file, kDataFileName);
    EXPECT_FALSE(fileExists(kDataFileName));
    EXPECT_FALSE(fileExists("nuova.vcf"));
}

// Runs an import in a child process; how much its peak memory grew, in KiB.
[[maybe_unused]] long importGrowth(const std::string& file, Formato format) {
    const pid_t child = ::fork();
    if (child == 0) {
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        const bool ok = importContacts(posixFileSystem(), file, format).ok();
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        const long grown = after.ru_maxrss - before.ru_maxrss;
        ::_exit(ok ? static_cast<int>(std::min<long>(grown / 1024, 250)) : 255);
    }
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 255) << "the import failed";
    return WEXITSTATUS(status) * 1024L;
}

TEST_F(SafetyTest, LongLinesAndHugeCardsAreReadInBoundedMemory) {
    const std::string big(std::size_t{24} << 20, 'x');
    std::string numbers;
    for (int i = 0; i < 100000; ++i) {
        numbers += "TEL;TYPE=FAX:" + std::to_string(i) + "\r\n";
    }
    std::string softBreaks = "BEGIN:VCARD\r\nFN:Anna\r\nNOTE;ENCODING=QUOTED-PRINTABLE\r\n";
    for (int i = 0; i < 300000; ++i) {
        softBreaks += "ab=\r\n";
    }
    const struct {
        const char* what;
        const char* file;
        std::string bytes;
        ContattoLibero contact;
        std::size_t
            commentsRead;     // how much of a cut comment was read before the rest was passed over
        std::int64_t notices; // reported, and past the ones told one by one
    } cases[] = {
        {"a note of 24 MB on one line",
         "nota.vcf",
         "BEGIN:VCARD\r\nFN:Anna\r\nNOTE:" + big + "\r\nTEL:1\r\nEND:VCARD\r\n",
         {u"1", u"Anna", std::u16string(100, u'x')},
         VCardReader::kValueBytes,
         0},
        {"a photo of 24 MB, one line then folded",
         "foto.vcf",
         "BEGIN:VCARD\r\nPHOTO;ENCODING=b:" + big + "\r\n " + big + "\r\nFN:Anna\r\nEND:VCARD\r\n",
         {u"", u"Anna", u""},
         0,
         0},
        {"parameters of 24 MB",
         "parametri.vcf",
         "BEGIN:VCARD\r\nFN:Anna\r\nTEL" + std::string(big.size(), ';') + ":1\r\nEND:VCARD\r\n",
         {u"1", u"Anna", u""},
         0,
         1},
        {"100,000 numbers in one card, the one to call last",
         "numeri.vcf",
         "BEGIN:VCARD\r\nFN:Anna\r\n" + numbers + "TEL;TYPE=CELL:333\r\nEND:VCARD\r\n",
         {u"333", u"Anna",
          u"Fax 0\r\nFax 1\r\nFax 2\r\nFax 3\r\nFax 4\r\nFax 5\r\nFax 6\r\nFax 7\r\nFax 8\r\n"
          u"Fax 9\r\nFax 10\r\nFax 11\r\nFax 12\r\nFax 13"},
         0,
         0},
        {"a field of 24 MB first in its row",
         "campo.csv",
         "Commenti,Numero,Nome\r\n\"" + big + "\",1,Anna\r\n",
         {u"1", u"Anna", std::u16string(100, u'x')},
         CsvReader::kFieldBytes,
         0},
        {"soft line breaks after a line that is no property",
         "righe.vcf",
         softBreaks + "END:VCARD\r\n",
         {u"", u"Anna", u""},
         0,
         300001},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        putBook(std::nullopt);
        writeFile(c.file, c.bytes);
        std::vector<FieldChange> changes;
        std::int64_t notices = 0;
        const ExchangeReport report =
            importContacts(posixFileSystem(), c.file, *formatOf(c.file),
                           {.onChange =
                                [&changes](std::int64_t, const std::vector<FieldChange>& fields) {
                                    changes.insert(changes.end(), fields.begin(), fields.end());
                                },
                            .onNotice =
                                [&notices](const Notice& notice) {
                                    notices +=
                                        notice.kind == Notice::Kind::MoreNotices ? notice.count : 1;
                                }});
        ASSERT_TRUE(report.ok());
        EXPECT_EQ(contactsIn(), std::vector<ContattoLibero>{c.contact});
        EXPECT_EQ(notices, c.notices);
        if (c.commentsRead > 0) {
            ASSERT_EQ(changes.size(), 1u);
            EXPECT_EQ(changes[0].length, c.commentsRead);
            EXPECT_TRUE(changes[0].atLeast);
        }
#if !defined(__SANITIZE_ADDRESS__)
        // The sanitizer's allocator keeps what is freed for a while: its peak
        // says nothing of what the import holds.
        putBook(std::nullopt);
        EXPECT_LT(importGrowth(c.file, *formatOf(c.file)), 8 * 1024) << "KiB";
#endif
        std::filesystem::remove(c.file);
    }
}

TEST_F(SafetyTest, WhatIsNoRegularFileIsNeitherReadNorReplaced) {
    // A pipe, a folder or a second name of a file: an export refuses to
    // replace it, an import to read it or to add to it, before anything
    // changes and without waiting for a pipe's writer.
    writeFile(kDataFileName, kTwoRecords);
    writeFile("due.vcf", kTwoCards);
    ASSERT_EQ(::mkfifo("tubo.vcf", 0600), 0);
    std::filesystem::create_directory("cartella.vcf");
    writeFile("vera.csv", "la copia di ieri");
    std::filesystem::create_hard_link("vera.csv", "seconda.csv");
    for (const char* target : {"tubo.vcf", "cartella.vcf", "seconda.csv"}) {
        SCOPED_TRACE(target);
        const ExchangeReport out = exportContacts(posixFileSystem(), target, *formatOf(target));
        EXPECT_FALSE(out.ok());
        EXPECT_EQ(readFile("vera.csv"), "la copia di ieri");
    }
    const ExchangeReport fromPipe = importContacts(posixFileSystem(), "tubo.vcf", Formato::VCard);
    EXPECT_EQ(fromPipe.status.cause, Cause::NotRegularFile);
    EXPECT_EQ(readFile(kDataFileName), kTwoRecords);

    // The phone book itself a pipe: neither export nor import waits on it.
    std::filesystem::remove(kDataFileName);
    ASSERT_EQ(::mkfifo(kDataFileName, 0600), 0);
    EXPECT_EQ(exportContacts(posixFileSystem(), "uscita.csv", Formato::Csv).status.cause,
              Cause::NotRegularFile);
    EXPECT_EQ(importContacts(posixFileSystem(), "due.vcf", Formato::VCard).status.cause,
              Cause::NotRegularFile);
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        EXPECT_FALSE(entry.path().string().ends_with(".tmp")) << entry.path();
    }
    EXPECT_FALSE(fileExists(kScratchFileName));
    EXPECT_FALSE(fileExists("uscita.csv"));
}

} // namespace
