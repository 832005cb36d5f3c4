#pragma once

#include "contatto.h"
#include "filesystem.h"
#include "recordfile.h"
#include "replacement.h"
#include "status.h"

#include <cstdint>
#include <functional>
#include <string>

// Contacts added at the end of the data file as one batch: all of them or
// none, whenever the program or the computer stops.
//
// The batch starts right after the last record the window counts: the few
// bytes of a torn tail beyond it are dropped, as "Nuovo" would overwrite them,
// and a partial last record the window does count is completed with spaces.
// The book is copied to the scratch file of a deletion (see Replacement), the
// records go after it in large blocks as they come (memory stays the size of
// one block), and commit() syncs the copy and renames it over the data file:
// until that rename the data file is untouched, and after it the whole batch
// is there.
//
// A failure, or the caller's own decision, before the commit removes the
// scratch file, and removes again a data file that open() created. A batch
// neither committed nor rolled back is rolled back when the object goes.
class RecordAppend {
public:
    explicit RecordAppend(FileSystem& fs) : fs_(fs), copy_(fs) {}
    ~RecordAppend();
    RecordAppend(const RecordAppend&) = delete;
    RecordAppend& operator=(const RecordAppend&) = delete;

    // Each block of the book as it is copied: `count` records from record
    // `first`, 180 bytes each (a partial last one padded with spaces). False
    // stops the copy: open() then fails with ECANCELED.
    using BlockSeen = std::function<bool(const char* records, std::int32_t first,
                                         std::int32_t count, std::int64_t bytesCopied)>;

    // Opens the data file as the window does (openPhoneBook: a book the user
    // may not write is refused, a missing one created empty) and copies it to
    // the scratch file, showing each block to `seen`. `folder` holds the lock
    // and must outlive this object.
    chiamoro::Status open(const PhoneBookFiles& files, FolderLock& folder,
                          const BlockSeen& seen = {});
    // The length of the book being copied, known once open() has begun.
    std::int64_t bookLength() const { return oldLength_; }

    // Adds a record to the batch. On failure the batch has been rolled back.
    chiamoro::Status add(const Contatto& record);
    // Writes over record n (one of the book or of the batch) in the copy:
    // the batch then replaces the book even if it adds nothing. On failure
    // the batch has been rolled back.
    chiamoro::Status replace(std::int32_t n, const Contatto& record);
    // Record n of the copy as it stands, with what the batch has changed.
    chiamoro::Status read(std::int32_t n, Contatto& record);

    // Puts the batch on the disk, in one step. On failure it has been rolled
    // back, unless committed() says the rename went through and only the
    // folder's sync after it failed: the batch is then in place, but the
    // system does not promise that it would survive a crash.
    chiamoro::Status commit();
    bool committed() const { return committed_; }

    // Takes the batch back; nothing happens after a commit or a first rollback.
    void rollback();

    std::int32_t added() const { return added_; }
    // The number of records the window counts in the file as it was (at
    // least 1, as the window shows an empty file as one blank record).
    std::int32_t totalBefore() const { return totalBefore_; }
    // The records on the disk once the batch is committed: none in an empty
    // file to which nothing was added.
    std::int32_t totalAfter() const;

private:
    chiamoro::Status copyBook(const BlockSeen& seen);
    chiamoro::Status flush();
    chiamoro::Status
    failure(chiamoro::FileOperation operation) const;      // on the data file, with errno
    chiamoro::Status fail(const chiamoro::Status& status); // rolls back, then reports

    FileSystem& fs_;
    FolderLock* folder_ = nullptr;
    PhoneBookFiles files_;
    int book_ = -1;    // the data file, only read
    Replacement copy_; // the copy that becomes it
    bool created_ = false;
    bool finished_ = false; // committed or rolled back
    bool committed_ = false;

    std::int64_t oldLength_ = 0;
    std::int32_t base_ = 0;        // records before the batch
    std::int32_t totalBefore_ = 1; // the window's count, at least 1
    std::int32_t added_ = 0;
    bool replaced_ = false;
    std::string block_; // bytes not yet written, to go at offset next_
    std::int64_t next_ = 0;
};
