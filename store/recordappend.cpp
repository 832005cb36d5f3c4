#include "recordappend.h"

#include "fileio.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>

using chiamoro::Cause;
using chiamoro::FileOperation;
using chiamoro::Status;

namespace {

// Whole records, about 128 KiB: large writes, little memory.
constexpr std::size_t kBlockRecords = 728;
constexpr std::size_t kBlockBytes = kBlockRecords * kLunghezzaRecord;

} // namespace

RecordAppend::~RecordAppend() {
    rollback();
    if (book_ >= 0) {
        fs_.close(book_); // never written: nothing to lose
    }
}

Status RecordAppend::failure(FileOperation operation) const {
    return Status::failure(operation, files_.data, errno, files_.link);
}

Status RecordAppend::fail(const Status& status) {
    rollback();
    return status;
}

Status RecordAppend::open(const PhoneBookFiles& files, FolderLock& folder) {
    files_ = files;
    folder_ = &folder;
    struct stat info {};
    if (Status status = openPhoneBook(fs_, files_, book_, created_, info); !status.ok()) {
        // A file it created is removed again.
        return fail(status);
    }
    // A phone book made here is on the disk as an empty file, as the window
    // leaves it, so that the scratch file is never taken for an orphan.
    if (created_) {
        if (Status status = folder.sync(); !status.ok()) {
            return fail(status);
        }
    }
    oldLength_ = info.st_size;
    if (Status status = countRecords(oldLength_, totalBefore_); !status.ok()) {
        return fail(status);
    }
    // An empty file has no record on the disk, though the window shows one.
    base_ = oldLength_ == 0 ? 0 : totalBefore_;
    // Over the file itself, so that a link stays a link.
    if (Status status = copy_.begin(files_.data, files_.scratch, files_.link); !status.ok()) {
        return fail(status);
    }
    if (Status status = copyBook(); !status.ok()) {
        return fail(status);
    }
    block_.reserve(kBlockBytes + kLunghezzaRecord);
    return Status::success();
}

Status RecordAppend::copyBook() {
    const std::int64_t start = std::int64_t{base_} * kLunghezzaRecord;
    const std::int64_t kept = std::min(start, oldLength_);
    std::string buffer(static_cast<std::size_t>(std::min<std::int64_t>(kept, kBlockBytes)), ' ');
    for (std::int64_t offset = 0; offset < kept;) {
        const auto count =
            static_cast<std::size_t>(std::min<std::int64_t>(kept - offset, kBlockBytes));
        const ssize_t got = readFully(fs_, book_, buffer.data(), count, offset);
        if (got < 0) {
            return failure(FileOperation::Read);
        }
        if (static_cast<std::size_t>(got) < count) { // the book shrank under us
            errno = EIO;
            return failure(FileOperation::Read);
        }
        if (Status status = copy_.write(buffer.data(), count, offset); !status.ok()) {
            return status;
        }
        offset += static_cast<std::int64_t>(count);
    }
    // What the window reads as spaces becomes spaces on the disk.
    next_ = kept;
    block_.assign(static_cast<std::size_t>(start - kept), ' ');
    return Status::success();
}

Status RecordAppend::flush() {
    if (Status status = copy_.write(block_.data(), block_.size(), next_); !status.ok()) {
        return fail(status);
    }
    next_ += static_cast<std::int64_t>(block_.size());
    block_.clear();
    return Status::success();
}

Status RecordAppend::add(const Contatto& record) {
    if (finished_) {
        errno = EINVAL;
        return failure(FileOperation::Write);
    }
    if (base_ + added_ == INT32_MAX) {
        return fail(Status::refusal(FileOperation::Write, files_.data, Cause::TooManyRecords, EFBIG,
                                    0, files_.link));
    }
    const std::size_t at = block_.size();
    block_.resize(at + kLunghezzaRecord);
    encodeRecord(record, block_.data() + at);
    ++added_;
    return block_.size() >= kBlockBytes ? flush() : Status::success();
}

Status RecordAppend::commit() {
    if (finished_) {
        errno = EINVAL;
        return failure(FileOperation::Write);
    }
    if (added_ == 0) {
        rollback(); // nothing to add: the book stays as it is
        created_ = false;
        return Status::success();
    }
    if (Status status = flush(); !status.ok()) {
        return status;
    }
    // The commit point.
    Status status = copy_.commit();
    if (!copy_.renamed()) {
        return fail(status);
    }
    finished_ = true;
    committed_ = true;
    // The copy's descriptor reaches the data file now; it was synced.
    if (fs_.close(copy_.release()) != 0 && status.ok()) {
        return failure(FileOperation::Close);
    }
    return status; // the folder's sync
}

void RecordAppend::rollback() {
    if (finished_) {
        return;
    }
    finished_ = true;
    block_.clear();
    const int error = errno;
    copy_.abandon();
    if (created_) {
        fs_.close(book_);
        book_ = -1;
        if (fs_.unlink(files_.data.c_str()) == 0) {
            folder_->sync();
        }
    }
    added_ = 0;
    errno = error;
}

std::int32_t RecordAppend::totalAfter() const {
    return base_ + added_;
}
