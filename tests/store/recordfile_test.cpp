// The record file: the record count, reads and writes at offsets, deletion and search.

#include "store/codepage.h"
#include "store/recordfile.h"
#include "store/uppercase.h"
#include "support/faultyfs.h"
#include "support/records.h"
#include "support/tempdir.h"

#include <cerrno>
#include <clocale>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <vector>

using chiamoro::FileOperation;
using chiamoro::Status;

namespace {

Contatto contact(const std::u16string& numero, const std::u16string& nome = u"",
                 const std::u16string& commenti = u"") {
    return {fitField(numero, 40), fitField(nome, 40), fitField(commenti, 100)};
}

class RecordFileTest : public InTempDir {
protected:
    FileSystem& fs = posixFileSystem();
};

} // namespace

TEST(RecordCount, RoundsHalfToEvenAndNeverBelowOne) {
    const std::pair<std::int64_t, std::int32_t> table[] = {
        {0, 1},   {1, 1},   {89, 1},  {90, 1},  {91, 1},  {180, 1}, {269, 1},
        {270, 2}, {360, 2}, {450, 2}, {540, 3}, {630, 4}, {810, 4}, {990, 6},
    };
    for (const auto& [length, expected] : table) {
        std::int32_t count = 0;
        ASSERT_TRUE(countRecords(length, count).ok());
        EXPECT_EQ(count, expected) << length << " bytes";
    }
}

TEST(RecordCount, RefusesACountBeyondThirtyTwoBits) {
    std::int32_t count = 0;
    EXPECT_TRUE(countRecords(std::int64_t{INT32_MAX} * 180, count).ok());
    EXPECT_EQ(count, INT32_MAX);
    const Status status = countRecords((std::int64_t{INT32_MAX} + 1) * 180, count);
    EXPECT_EQ(status.error, EFBIG);
}

TEST_F(RecordFileTest, OpenCreatesAMissingFileEmpty) {
    RecordFile file(fs);
    ASSERT_TRUE(file.open(kDataFileName).ok());
    EXPECT_TRUE(fileExists(kDataFileName));
    EXPECT_EQ(file.length(), 0);
    Contatto record = contact(u"junk");
    ASSERT_TRUE(file.read(1, record).ok());
    EXPECT_EQ(record, Contatto{});
    ASSERT_TRUE(file.close().ok());
    EXPECT_EQ(readFile(kDataFileName), "");
}

TEST_F(RecordFileTest, ReadsRecordsAndPadsAPartialLastOne) {
    writeFile(kDataFileName,
              record("111", "Anna") + record("222", "Bruno", "x\r\ny") + "333   Carl");
    RecordFile file(fs);
    ASSERT_TRUE(file.open(kDataFileName).ok());
    Contatto record;
    ASSERT_TRUE(file.read(2, record).ok());
    EXPECT_EQ(record, contact(u"222", u"Bruno", u"x\r\ny"));
    ASSERT_TRUE(file.read(3, record).ok());
    EXPECT_EQ(record, contact(u"333   Carl"));
    ASSERT_TRUE(file.read(4, record).ok());
    EXPECT_EQ(record, Contatto{});
}

TEST_F(RecordFileTest, WritesRecordNAtItsOffsetAndSyncs) {
    writeFile(kDataFileName, record("1") + record("2") + record("3"));
    FaultyFileSystem counting;
    RecordFile file(counting);
    ASSERT_TRUE(file.open(kDataFileName).ok());
    ASSERT_TRUE(file.write(2, contact(u"0612345678", u"Zoë", u"a\r\nb")).ok());
    EXPECT_EQ(readFile(kDataFileName),
              record("1") + record("0612345678", "Zo\xEB", "a\r\nb") + record("3"));
    EXPECT_EQ(counting.count("fdatasync"), 1);
    ASSERT_TRUE(file.write(4, Contatto{}).ok());
    EXPECT_EQ(readFile(kDataFileName).size(), 720u);
    EXPECT_EQ(file.length(), 720);
}

TEST_F(RecordFileTest, AWritePastADamagedEndLeavesSpacesNotZeros) {
    // 450 bytes count as 2 records; record 2 is partial and record 3 starts past the end.
    writeFile(kDataFileName, record("1") + record("2") + std::string(90, 'z'));
    writeFile("short", record("1") + std::string(100, 'y'));
    RecordFile damaged(fs);
    ASSERT_TRUE(damaged.open("short").ok());
    ASSERT_TRUE(damaged.write(3, contact(u"3")).ok());
    EXPECT_EQ(readFile("short"),
              record("1") + std::string(100, 'y') + std::string(80, ' ') + record("3"));
}

TEST_F(RecordFileTest, AFailedAppendIsCutBackToThePreviousLength) {
    const std::string before = record("1") + record("2");
    for (const char* how : {"short-then-ENOSPC", "EIO", "fdatasync"}) {
        writeFile(kDataFileName, before);
        FaultyFileSystem faulty;
        const std::string what = how;
        if (what == "short-then-ENOSPC") {
            faulty.shortWriteAt(1, 4);
            faulty.failAt("pwrite", 2, ENOSPC);
        } else if (what == "EIO") {
            faulty.failAt("pwrite", 1, EIO);
        } else {
            faulty.failAt("fdatasync", 1, EIO);
        }
        RecordFile file(faulty);
        ASSERT_TRUE(file.open(kDataFileName).ok());
        const Status status = file.write(3, contact(u"3"));
        EXPECT_FALSE(status.ok()) << how;
        EXPECT_EQ(status.file, kDataFileName);
        EXPECT_EQ(readFile(kDataFileName), before) << how;
    }
}

TEST_F(RecordFileTest, ReportsWhichOperationFailedAndWhy) {
    FaultyFileSystem faulty;
    faulty.failAt("open", 1, EACCES);
    RecordFile file(faulty);
    const Status status = file.open(kDataFileName);
    EXPECT_EQ(status.operation, FileOperation::Open);
    EXPECT_EQ(status.file, kDataFileName);
    EXPECT_EQ(status.error, EACCES);

    FaultyFileSystem reading;
    reading.failAt("pread", 1, EIO);
    RecordFile other(reading);
    ASSERT_TRUE(other.open(kDataFileName).ok());
    Contatto record;
    EXPECT_EQ(other.read(1, record).operation, FileOperation::Read);
}

// Deletion ------------------------------------------------------------------

namespace {

std::string threeRecords() {
    return record("1", "uno") + record("2", "due") + record("3", "tre");
}

} // namespace

TEST_F(RecordFileTest, RemoveRecordRewritesTheFileWithoutIt) {
    const struct {
        std::int32_t n;
        std::string after;
    } cases[] = {
        {1, record("2", "due") + record("3", "tre")},
        {2, record("1", "uno") + record("3", "tre")},
        {3, record("1", "uno") + record("2", "due")},
    };
    for (const auto& c : cases) {
        writeFile(kDataFileName, threeRecords());
        RecordFile file(fs);
        ASSERT_TRUE(file.open(kDataFileName).ok());
        ASSERT_TRUE(file.removeRecord(c.n, 3).ok());
        EXPECT_EQ(readFile(kDataFileName), c.after) << "record " << c.n;
        EXPECT_FALSE(fileExists(kScratchFileName));
        // The object now reaches the new file.
        EXPECT_EQ(file.length(), 360);
        ASSERT_TRUE(file.write(1, contact(u"nuovo")).ok());
        EXPECT_EQ(readFile(kDataFileName).substr(0, 180), record("nuovo"));
    }
}

TEST_F(RecordFileTest, RemovingTheOnlyRecordLeavesAnEmptyFile) {
    for (const std::string& before : {std::string(), record("solo")}) {
        writeFile(kDataFileName, before);
        RecordFile file(fs);
        ASSERT_TRUE(file.open(kDataFileName).ok());
        ASSERT_TRUE(file.removeRecord(1, 1).ok());
        EXPECT_EQ(readFile(kDataFileName), "");
    }
}

TEST_F(RecordFileTest, RemoveRecordPadsAPartialRecordItCopies) {
    writeFile(kDataFileName, record("1") + record("2") + "abc"); // 363 bytes: 2 records
    RecordFile file(fs);
    ASSERT_TRUE(file.open(kDataFileName).ok());
    ASSERT_TRUE(file.removeRecord(1, 2).ok());
    EXPECT_EQ(readFile(kDataFileName), record("2"));
}

TEST_F(RecordFileTest, AStaleScratchFileDoesNotLeakIntoTheResult) {
    writeFile(kDataFileName, threeRecords());
    writeFile(kScratchFileName,
              record("vecchio") + record("vecchio") + record("vecchio") + record("vecchio"));
    RecordFile file(fs);
    ASSERT_TRUE(file.open(kDataFileName).ok());
    ASSERT_TRUE(file.removeRecord(2, 3).ok());
    EXPECT_EQ(readFile(kDataFileName), record("1", "uno") + record("3", "tre"));
}

TEST_F(RecordFileTest, TheNewFileKeepsTheDataFilePermissions) {
    writeFile(kDataFileName, threeRecords());
    ASSERT_EQ(chmod(kDataFileName, 0600), 0);
    RecordFile file(fs);
    ASSERT_TRUE(file.open(kDataFileName).ok());
    ASSERT_TRUE(file.removeRecord(1, 3).ok());
    struct stat info {};
    ASSERT_EQ(::stat(kDataFileName, &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(RecordFileTest, AFailureBeforeTheRenameLeavesTheDataFileUntouched) {
    // The calls in the order the deletion makes them, after the data file's
    // own lstat, open and fstat.
    const struct {
        const char* call;
        int nth;
        bool staleRemoved; // the stale scratch file is gone by then
    } failures[] = {
        {"lstat", 2, false},     {"open", 2, false}, {"fstat", 2, false}, {"lstat", 3, false},
        {"unlink", 1, false},    {"open", 3, true},  {"fstat", 3, true},  {"fchown", 1, true},
        {"flistxattr", 1, true}, {"close", 1, true}, {"pread", 1, true},  {"pwrite", 1, true},
        {"fchmod", 1, true},     {"fsync", 1, true}, {"lstat", 4, true},  {"rename", 1, true},
    };
    for (const auto& failure : failures) {
        const std::string what = failure.call + std::string(" ") + std::to_string(failure.nth);
        writeFile(kDataFileName, threeRecords());
        writeFile(kScratchFileName, "stale");
        FaultyFileSystem faulty;
        faulty.failAt(failure.call, failure.nth, EIO);
        RecordFile file(faulty);
        ASSERT_TRUE(file.open(kDataFileName).ok());
        const Status status = file.removeRecord(2, 3);
        EXPECT_FALSE(status.ok()) << what;
        EXPECT_EQ(status.error, EIO) << what;
        EXPECT_EQ(readFile(kDataFileName), threeRecords()) << what;
        EXPECT_EQ(fileExists(kScratchFileName), !failure.staleRemoved) << what;
        // The program would end here; the old file is still the one this object reaches.
        Contatto record;
        ASSERT_TRUE(file.read(3, record).ok());
        EXPECT_EQ(record, contact(u"3", u"tre"));
    }
}

TEST_F(RecordFileTest, AFailureAfterTheRenameIsReportedWithTheNewFileInPlace) {
    writeFile(kDataFileName, threeRecords());
    FaultyFileSystem faulty;
    faulty.failAt("fsync", 2, EIO); // the folder's
    RecordFile file(faulty);
    ASSERT_TRUE(file.open(kDataFileName).ok());
    const Status status = file.removeRecord(1, 3);
    EXPECT_EQ(status.operation, FileOperation::Sync);
    EXPECT_EQ(status.file, ".");
    EXPECT_EQ(readFile(kDataFileName), record("2", "due") + record("3", "tre"));
}

// The folder lock and the scratch file left by an interrupted deletion -------

TEST_F(RecordFileTest, OnlyOneLockOnAFolder) {
    FolderLock first(fs);
    ASSERT_TRUE(first.acquire().ok());
    FolderLock second(fs);
    const Status status = second.acquire();
    EXPECT_EQ(status.operation, FileOperation::Lock);
    EXPECT_EQ(status.error, EWOULDBLOCK);
}

TEST_F(RecordFileTest, AnOrphanedScratchFileBecomesTheDataFile) {
    writeFile(kScratchFileName, record("salvato"));
    FolderLock folder(fs);
    ASSERT_TRUE(folder.acquire().ok());
    ASSERT_TRUE(adoptOrphanedScratchFile(fs, folder).ok());
    EXPECT_EQ(readFile(kDataFileName), record("salvato"));
    EXPECT_FALSE(fileExists(kScratchFileName));

    // With a data file present the scratch file is stale and stays for deletion to remove.
    writeFile(kScratchFileName, record("vecchio"));
    ASSERT_TRUE(adoptOrphanedScratchFile(fs, folder).ok());
    EXPECT_EQ(readFile(kDataFileName), record("salvato"));
}

// Search ----------------------------------------------------------------------

TEST_F(RecordFileTest, FindComparesTheWholeTrimmedUpperCasedField) {
    writeFile(kDataFileName, record("  333 ", "Rossi") + record("444", "Rossi Mario") +
                                 record("555", "ROSSI") +
                                 record("666", "Stra\xDF"
                                               "e"));
    RecordFile file(fs);
    ASSERT_TRUE(file.open(kDataFileName).ok());
    const auto find = [&](Campo field, const std::u16string& key, std::int32_t total = 4) {
        std::int32_t found = -1;
        EXPECT_TRUE(file.find(field, key, total, found).ok());
        return found;
    };
    EXPECT_EQ(find(Campo::Nome, u"ROSSI"), 1);       // first match in file order
    EXPECT_EQ(find(Campo::Nome, u"ROSSI MARIO"), 2); // whole field
    EXPECT_EQ(find(Campo::Nome, u"MARIO"), 0);       // no substring match
    EXPECT_EQ(find(Campo::Numero, u"333"), 1);       // stored field trimmed
    EXPECT_EQ(find(Campo::Numero, u" 333"), 0);      // key not trimmed
    EXPECT_EQ(find(Campo::Nome, u"STRAßE"), 4);
    EXPECT_EQ(find(Campo::Nome, u"STRASSE"), 0);
    EXPECT_EQ(find(Campo::Nome, u"DUE"), 0);
    EXPECT_EQ(find(Campo::Nome, u"STRAßE", 3), 0); // only records 1..total are searched
    EXPECT_EQ(find(Campo::Numero, u"ROSSI"), 0);   // the number field only
}

namespace {

// The first record among 1..total whose field, decoded, trimmed and
// upper-cased, equals `key`: the search done the slow way.
std::int32_t findByDecoding(RecordFile& file, Campo field, const std::u16string& key,
                            std::int32_t total) {
    for (std::int32_t i = 1; i <= total; ++i) {
        Contatto record;
        EXPECT_TRUE(file.read(i, record).ok());
        const std::u16string& text = field == Campo::Numero ? record.Numero : record.Nome;
        if (!key.empty() && toUpper(trimSpaces(text)) == key) {
            return i;
        }
    }
    return 0;
}

// Under the given LC_CTYPE, every key made from every byte value finds the same
// record both ways.
void expectByteSearchAgreesWithDecoding(const char* locale) {
    const std::string previous = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_NE(std::setlocale(LC_CTYPE, locale), nullptr) << locale;
    // One record per byte value b: the name field holds "x", b, "y"; the number holds b alone.
    std::string bytes;
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        bytes += record(one, "x" + one + "y");
    }
    writeFile(kDataFileName, bytes);
    RecordFile file(posixFileSystem());
    ASSERT_TRUE(file.open(kDataFileName).ok());
    std::vector<std::u16string> keys = {u"?", u"X?Y", u"中", u"x", u"X Y", u" ", u"X\u00A0Y"};
    for (int b = 0; b < 256; ++b) {
        Contatto stored;
        ASSERT_TRUE(file.read(b + 1, stored).ok());
        keys.push_back(toUpper(trimSpaces(stored.Numero)));
        keys.push_back(toUpper(trimSpaces(stored.Nome)));
        keys.push_back(trimSpaces(stored.Nome)); // not upper-cased: finds only what has no case
    }
    for (const std::u16string& key : keys) {
        for (const Campo field : {Campo::Numero, Campo::Nome}) {
            std::int32_t found = -1;
            ASSERT_TRUE(file.find(field, key, 256, found).ok());
            EXPECT_EQ(found, findByDecoding(file, field, key, 256))
                << locale << ", key of " << key.size() << " units, first "
                << int(key.empty() ? 0 : key[0]);
        }
    }
    std::setlocale(LC_CTYPE, previous.c_str());
}

} // namespace

TEST_F(RecordFileTest, FindOnStoredBytesAgreesWithDecodingEveryByteValue) {
    expectByteSearchAgreesWithDecoding("C");
    expectByteSearchAgreesWithDecoding("C.UTF-8");
}

TEST_F(RecordFileTest, FindCrossesTheBlocksItReadsTheFileIn) {
    // Matches just before, at and after the edges of the blocks the file is read in.
    const int total = 2 * 4096 + 3;
    std::string bytes;
    for (int i = 1; i <= total; ++i) {
        bytes += record(std::to_string(i));
    }
    writeFile(kDataFileName, bytes + "coda"); // and a partial record at the end
    RecordFile file(fs);
    ASSERT_TRUE(file.open(kDataFileName).ok());
    for (const int n : {1, 4095, 4096, 4097, 8192, 8193, total}) {
        std::int32_t found = -1;
        const std::string number = std::to_string(n);
        ASSERT_TRUE(
            file.find(Campo::Numero, std::u16string(number.begin(), number.end()), total + 1, found)
                .ok());
        EXPECT_EQ(found, n);
    }
    std::int32_t found = -1;
    ASSERT_TRUE(file.find(Campo::Numero, u"CODA", total + 1, found).ok());
    EXPECT_EQ(found, total + 1);
    ASSERT_TRUE(file.find(Campo::Numero, u"CODA", total, found).ok());
    EXPECT_EQ(found, 0);
}
