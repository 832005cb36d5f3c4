#pragma once

#include "contatto.h"
#include "filesystem.h"
#include "replacement.h"
#include "status.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

inline constexpr const char* kDataFileName = "Chiamoro.DAT";
inline constexpr const char* kScratchFileName = "Chiamoro.TMP";

// Where the phone book lives: "Chiamoro.DAT" in the current folder or, when
// that is a symbolic link (a phone book kept in a synced or backed-up folder),
// the file the link leads to. Everything then happens beside that file: the
// lock is taken on its folder, the scratch file of a deletion is made there
// and renamed over the file itself, never over the link, and that folder is
// synced. Two folders that link the same file are thus one phone book.
struct PhoneBookFiles {
    std::string data = kDataFileName;       // the data file
    std::string folder = ".";               // its folder
    std::string scratch = kScratchFileName; // the scratch file, in that folder
    std::string link;                       // "Chiamoro.DAT" when data is reached through it
};

// Resolves "Chiamoro.DAT" of the current folder, once, following a link and
// links to links to the file at the end, which need not exist.
chiamoro::Status locatePhoneBook(FileSystem& fs, PhoneBookFiles& files);

// The number of records a file of `length` bytes is taken to hold: length/180
// rounded to the nearest integer, ties to even, and at least 1. Fails (EFBIG)
// when the count does not fit a 32-bit record number.
chiamoro::Status countRecords(std::int64_t length, std::int32_t& count);

// An exclusive lock on the folder that holds the data file, kept for the whole
// run: one program per phone book. The folder is never replaced, unlike the
// data file, and locking it adds no file. Its descriptor also serves to make a
// new name in it durable.
class FolderLock {
public:
    explicit FolderLock(FileSystem& fs) : fs_(fs) {}
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Fails with EWOULDBLOCK (operation Lock) while another program holds it.
    chiamoro::Status acquire(const PhoneBookFiles& files = {});
    chiamoro::Status sync();

private:
    FileSystem& fs_;
    int fd_ = -1;
    std::string folder_;
};

// If the data file is missing but a scratch file is there (a deletion
// interrupted by an older program), the scratch file becomes the data file:
// only if it is a regular file of the user's own (anyone could have left a
// file, or a link, under that name in a folder others may write). Anything
// else there is reported (Cause::NotRegularFile or Cause::ForeignFile) and
// left alone, and nothing is created.
chiamoro::Status adoptOrphanedScratchFile(FileSystem& fs, FolderLock& folder,
                                          const PhoneBookFiles& files = {});

// Opens the data file as the window does, for reading and writing: a missing
// one is created empty (`created`), but nothing at the far end of a link that
// leads nowhere, and only a regular file is opened at all. A file the user may
// not write is thus refused by the system (EACCES; not for root, whom the
// permission bits do not stop). `info` is the open file's fstat.
chiamoro::Status openPhoneBook(FileSystem& fs, const PhoneBookFiles& files, int& fd, bool& created,
                               struct stat& info);

// A file of fixed 180-byte records, opened by relative name. Every write is on
// the disk when it returns.
class RecordFile {
public:
    explicit RecordFile(FileSystem& fs) : fs_(fs) {}
    ~RecordFile();
    RecordFile(const RecordFile&) = delete;
    RecordFile& operator=(const RecordFile&) = delete;

    // Opens the data file with openPhoneBook.
    chiamoro::Status open(const PhoneBookFiles& files);
    // A file of the current folder, under its own name.
    chiamoro::Status open(const std::string& name) {
        PhoneBookFiles files;
        files.data = name;
        return open(files);
    }
    // Opens the data file for reading only (an export): never created, a
    // missing one is a failure (ENOENT); not through a link, and only a
    // regular file.
    chiamoro::Status openForReading(const PhoneBookFiles& files);
    chiamoro::Status close();
    // Whether open() created the file: its name is on the disk only once the
    // folder has been synced.
    bool created() const { return created_; }

    // Length in bytes, as found at open and kept up to date by this object.
    std::int64_t length() const { return length_; }
    // When the file was last changed, as found at open.
    std::time_t modified() const { return modified_; }

    // Record n (1-based). Beyond the end of the file it reads as blank; a partial
    // last record reads as what is there, padded with spaces.
    chiamoro::Status read(std::int32_t n, Contatto& record);
    // Records first .. first+count-1, 180 bytes each, as read() reads them.
    chiamoro::Status readRecords(std::int64_t first, std::int64_t count, std::string& bytes);

    // Writes record n; a write past the end fills any gap with spaces. A write
    // that fails part-way is undone as far as the disk allows: the bytes it
    // replaced are put back and an append is cut back to the previous length.
    chiamoro::Status write(std::int32_t n, const Contatto& record);

    // Rewrites the file without record `n` of `total` through the scratch file
    // (see Replacement): the other records copied, each 180 bytes, in order,
    // the copy synced and renamed over the data file. The rename is the commit
    // point: on any failure before it the scratch file is removed and the data
    // file is left untouched. Afterwards this object refers to the new file.
    chiamoro::Status removeRecord(std::int32_t n, std::int32_t total);

    // The first record among 1..total whose field, trimmed of spaces and
    // upper-cased, equals `key` exactly; 0 if none. `key` is already upper-case.
    chiamoro::Status find(Campo field, std::u16string_view key, std::int32_t total,
                          std::int32_t& found);

private:
    chiamoro::Status copyWithout(Replacement& copy, std::int32_t n, std::int32_t total);
    chiamoro::Status readBlock(char* buffer, std::int64_t offset, std::size_t count);
    chiamoro::Status
    failure(chiamoro::FileOperation operation) const; // on the data file, with errno

    FileSystem& fs_;
    PhoneBookFiles files_;
    int fd_ = -1;
    std::int64_t length_ = 0;
    std::time_t modified_ = 0;
    bool created_ = false;
};
