#include "recordappend.h"

#include "fileio.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>

namespace {

// Whole records, about 128 KiB: large writes, little memory.
constexpr std::size_t kBlockRecords = 728;
constexpr std::size_t kBlockBytes = kBlockRecords * kLunghezzaRecord;

} // namespace

RecordAppend::~RecordAppend() {
    rollback();
    if (book_ >= 0) {
        fs_.close(book_); // read only: nothing to lose
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
    book_ = fs_.open(files_.data.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (book_ < 0 && errno == ENOENT && files_.link.empty()) {
        book_ = fs_.open(files_.data.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        created_ = book_ >= 0;
    }
    if (book_ < 0) {
        finished_ = true;
        return failure(FileOperation::Open);
    }
    // A phone book made here is on the disk as an empty file, as the window
    // leaves it, so that the scratch file is never taken for an orphan.
    if (created_) {
        if (Status status = folder.sync(); !status.ok()) {
            return fail(status);
        }
    }
    struct stat info {};
    if (fs_.fstat(book_, &info) != 0) {
        return fail(failure(FileOperation::Stat));
    }
    oldLength_ = info.st_size;
    if (Status status = countRecords(oldLength_, totalBefore_); !status.ok()) {
        return fail(status);
    }
    // An empty file has no record on the disk, though the window shows one.
    base_ = oldLength_ == 0 ? 0 : totalBefore_;

    const char* scratch = files_.scratch.c_str();
    if (fs_.unlink(scratch) != 0 && errno != ENOENT) {
        return fail(Status::failure(FileOperation::Remove, files_.scratch, errno));
    }
    scratch_ = fs_.open(scratch, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (scratch_ < 0) {
        return fail(Status::failure(FileOperation::Open, files_.scratch, errno));
    }
    scratchMade_ = true;
    // The copy takes the data file's permissions before it takes its name.
    if (fs_.fchmod(scratch_, info.st_mode & 07777) != 0) {
        return fail(Status::failure(FileOperation::Chmod, files_.scratch, errno));
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
        if (!writeFully(fs_, scratch_, buffer.data(), count, offset)) {
            return Status::failure(FileOperation::Write, files_.scratch, errno);
        }
        offset += static_cast<std::int64_t>(count);
    }
    // What the window reads as spaces becomes spaces on the disk.
    next_ = kept;
    block_.assign(static_cast<std::size_t>(start - kept), ' ');
    return Status::success();
}

Status RecordAppend::flush() {
    if (!writeFully(fs_, scratch_, block_.data(), block_.size(), next_)) {
        return fail(Status::failure(FileOperation::Write, files_.scratch, errno));
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
        errno = EFBIG;
        return fail(failure(FileOperation::Write));
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
    if (fs_.fsync(scratch_) != 0) {
        return fail(Status::failure(FileOperation::Sync, files_.scratch, errno));
    }
    const int copy = scratch_;
    scratch_ = -1;
    if (fs_.close(copy) != 0) {
        return fail(Status::failure(FileOperation::Close, files_.scratch, errno));
    }
    // The commit point: over the file itself, so that a link stays a link.
    if (fs_.rename(files_.scratch.c_str(), files_.data.c_str()) != 0) {
        Status status = Status::failure(FileOperation::Rename, files_.scratch, errno);
        status.to = files_.data;
        return fail(status);
    }
    scratchMade_ = false; // it is the data file now
    finished_ = true;
    committed_ = true;
    return folder_->sync();
}

void RecordAppend::rollback() {
    if (finished_) {
        return;
    }
    finished_ = true;
    block_.clear();
    const int error = errno;
    if (scratch_ >= 0) {
        fs_.close(scratch_);
        scratch_ = -1;
    }
    if (scratchMade_) {
        fs_.unlink(files_.scratch.c_str());
    }
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
