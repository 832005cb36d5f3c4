// The import adds all or nothing, where "Nuovo" would, under failures,
// crashes and a window holding the phone book; the export never leaves a
// half-written file.

#include "exchange/exchange.h"
#include "helpers.h"
#include "support/crashfs.h"
#include "support/faultyfs.h"
#include "support/records.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <unistd.h>

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
    FaultyFileSystem counting;
    ASSERT_TRUE(exportContacts(counting, "uscita.vcf", Formato::VCard).ok());
    ASSERT_GE(counting.count("pwrite"), 3);
    const std::string whole = readFile("uscita.vcf");
    for (int n = 1; n <= counting.calls(); ++n) {
        writeFile("uscita.vcf", "la copia di ieri");
        FaultyFileSystem faulty;
        faulty.failCall(n, EIO);
        const bool ok = exportContacts(faulty, "uscita.vcf", Formato::VCard).ok();
        const std::string now = readFile("uscita.vcf");
        // Once renamed it is whole, even if syncing its folder fails afterwards.
        EXPECT_TRUE(now == whole || (!ok && now == "la copia di ieri")) << "call " << n;
        for (const auto& entry : std::filesystem::directory_iterator(".")) {
            EXPECT_FALSE(entry.path().string().ends_with(".tmp")) << entry.path() << ", call " << n;
        }
    }

    // A link stays a link; a missing phone book is an error that creates nothing.
    std::filesystem::create_symlink("vera.vcf", "collegamento.vcf");
    ASSERT_TRUE(exportContacts(posixFileSystem(), "collegamento.vcf", Formato::VCard).ok());
    EXPECT_TRUE(std::filesystem::is_symlink("collegamento.vcf"));
    EXPECT_EQ(readFile("vera.vcf"), whole);
    std::filesystem::remove(kDataFileName);
    const ExchangeReport missing = exportContacts(posixFileSystem(), "nuova.vcf", Formato::VCard);
    EXPECT_EQ(missing.status.error, ENOENT);
    EXPECT_EQ(missing.status.file, kDataFileName);
    EXPECT_FALSE(fileExists(kDataFileName));
    EXPECT_FALSE(fileExists("nuova.vcf"));
}

} // namespace
