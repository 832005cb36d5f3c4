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

Status RecordAppend::open(const PhoneBookFiles& files, FolderLock& folder, const BlockSeen& seen) {
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
    if (Status status = copyBook(seen); !status.ok()) {
        return fail(status);
    }
    block_.reserve(kBlockBytes + kLunghezzaRecord);
    return Status::success();
}

Status RecordAppend::copyBook(const BlockSeen& seen) {
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
        if (seen) {
            // Whole records: the last one completed with spaces, as it reads.
            const auto records =
                static_cast<std::int32_t>((count + kLunghezzaRecord - 1) / kLunghezzaRecord);
            buffer.resize(static_cast<std::size_t>(records) * kLunghezzaRecord, ' ');
            std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(count), buffer.end(), ' ');
            if (!seen(buffer.data(), static_cast<std::int32_t>(offset / kLunghezzaRecord) + 1,
                      records, offset + static_cast<std::int64_t>(count))) {
                errno = ECANCELED;
                return failure(FileOperation::Read);
            }
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

Status RecordAppend::replace(std::int32_t n, const Contatto& record) {
    if (finished_ || n < 1 || n > base_ + added_) {
        errno = EINVAL;
        return failure(FileOperation::Write);
    }
    const std::int64_t offset = std::int64_t{n - 1} * kLunghezzaRecord;
    if (offset >= next_) { // still in the block
        encodeRecord(record, block_.data() + (offset - next_));
    } else {
        char bytes[kLunghezzaRecord];
        encodeRecord(record, bytes);
        // A partial last record of the book is completed from the block.
        const auto onDisk =
            static_cast<std::size_t>(std::min<std::int64_t>(kLunghezzaRecord, next_ - offset));
        if (Status status = copy_.write(bytes, onDisk, offset); !status.ok()) {
            return fail(status);
        }
        std::copy(bytes + onDisk, bytes + kLunghezzaRecord, block_.begin());
    }
    replaced_ = true;
    return Status::success();
}

Status RecordAppend::read(std::int32_t n, Contatto& record) {
    if (finished_ || n < 1 || n > base_ + added_) {
        errno = EINVAL;
        return failure(FileOperation::Read);
    }
    const std::int64_t offset = std::int64_t{n - 1} * kLunghezzaRecord;
    char bytes[kLunghezzaRecord];
    std::fill(bytes, bytes + kLunghezzaRecord, ' ');
    const auto onDisk =
        static_cast<std::size_t>(std::clamp<std::int64_t>(next_ - offset, 0, kLunghezzaRecord));
    if (onDisk > 0) {
        if (Status status = copy_.read(bytes, onDisk, offset); !status.ok()) {
            return fail(status);
        }
    }
    const auto inBlock = offset + static_cast<std::int64_t>(onDisk) - next_;
    std::copy(block_.begin() + inBlock,
              block_.begin() + inBlock + static_cast<std::ptrdiff_t>(kLunghezzaRecord - onDisk),
              bytes + onDisk);
    record = decodeRecord(bytes);
    return Status::success();
}

Status RecordAppend::commit() {
    if (finished_) {
        errno = EINVAL;
        return failure(FileOperation::Write);
    }
    if (added_ == 0 && !replaced_) {
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
