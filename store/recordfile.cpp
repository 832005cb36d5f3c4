#include "recordfile.h"

#include "codepage.h"
#include "fileio.h"
#include "uppercase.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cmath>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

using chiamoro::Cause;
using chiamoro::FileOperation;
using chiamoro::Status;

namespace {

// Small enough to stay in the processor's cache between the read and the write.
constexpr std::size_t kCopyBlock = std::size_t{128} << 10;
constexpr std::int32_t kSearchBlockRecords = 4096;

// 64-bit throughout: record INT32_MAX + 1 is where a copy of the whole file ends.
std::int64_t recordOffset(std::int64_t n) {
    return (n - 1) * kLunghezzaRecord;
}

Status renameFailure(const std::string& from, const std::string& to) {
    Status status = Status::failure(FileOperation::Rename, from, errno);
    status.to = to;
    return status;
}

} // namespace

Status locatePhoneBook(FileSystem& fs, PhoneBookFiles& files) {
    files = PhoneBookFiles{};
    std::string end;
    if (Status status = followLinks(fs, kDataFileName, end); !status.ok()) {
        return status;
    }
    if (end == kDataFileName) {
        return Status::success();
    }
    files.link = kDataFileName;
    files.data = end;
    files.folder = parentFolder(end);
    files.scratch =
        files.folder == "." ? std::string(kScratchFileName) : files.folder + "/" + kScratchFileName;
    return Status::success();
}

Status countRecords(std::int64_t length, std::int32_t& count) {
    // Nearest integer with ties to even: the default rounding mode.
    const double rounded = std::nearbyint(static_cast<double>(length) / kLunghezzaRecord);
    if (rounded > INT32_MAX) {
        return Status::refusal(FileOperation::Stat, kDataFileName, Cause::TooManyRecords, EFBIG);
    }
    count = rounded == 0 ? 1 : static_cast<std::int32_t>(rounded);
    return Status::success();
}

FolderLock::~FolderLock() {
    if (fd_ >= 0) {
        fs_.close(fd_); // releases the lock; nothing is written through this descriptor
    }
}

Status FolderLock::acquire(const PhoneBookFiles& files) {
    folder_ = files.folder;
    fd_ = fs_.open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd_ < 0) {
        return Status::failure(FileOperation::Open, folderStatusName(folder_), errno, files.link);
    }
    while (fs_.flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR) {
            return Status::failure(FileOperation::Lock, files.data, errno, files.link);
        }
    }
    return Status::success();
}

Status FolderLock::sync() {
    if (fs_.fsync(fd_) != 0) {
        return Status::failure(FileOperation::Sync, folderStatusName(folder_), errno);
    }
    return Status::success();
}

Status adoptOrphanedScratchFile(FileSystem& fs, FolderLock& folder, const PhoneBookFiles& files) {
    struct stat info {};
    if (fs.lstat(files.data.c_str(), &info) == 0) {
        return Status::success();
    }
    if (errno != ENOENT) {
        return Status::failure(FileOperation::Stat, files.data, errno, files.link);
    }
    if (fs.lstat(files.scratch.c_str(), &info) != 0) {
        if (errno == ENOENT) {
            return Status::success();
        }
        return Status::failure(FileOperation::Stat, files.scratch, errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return notRegularFile(FileOperation::Adopt, files.scratch, info);
    }
    if (info.st_uid != ::geteuid()) {
        return Status::refusal(FileOperation::Adopt, files.scratch, Cause::ForeignFile, EACCES,
                               static_cast<std::int64_t>(info.st_uid));
    }
    if (fs.rename(files.scratch.c_str(), files.data.c_str()) != 0) {
        return renameFailure(files.scratch, files.data);
    }
    return folder.sync();
}

RecordFile::~RecordFile() {
    // Every write was synced when it returned, so there is nothing left to lose here.
    if (fd_ >= 0) {
        fs_.close(fd_);
    }
}

Status RecordFile::failure(FileOperation operation) const {
    return Status::failure(operation, files_.data, errno, files_.link);
}

Status openPhoneBook(FileSystem& fs, const PhoneBookFiles& files, int& fd, bool& created,
                     struct stat& info) {
    const char* name = files.data.c_str();
    const auto failure = [&files](FileOperation operation) {
        return Status::failure(operation, files.data, errno, files.link);
    };
    created = false;
    // A pipe or a device is not opened at all: opening may be all it takes
    // to set it going.
    if (fs.lstat(name, &info) == 0) {
        if (!S_ISREG(info.st_mode)) {
            return notRegularFile(FileOperation::Open, files.data, info, files.link);
        }
    } else if (errno != ENOENT) {
        return failure(FileOperation::Stat);
    }
    // Never through a link put there since it was followed; a pipe put there
    // answers at once.
    fd = fs.open(name, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0);
    // A link that leads nowhere is a failure to open, not a new phone book.
    if (fd < 0 && errno == ENOENT && files.link.empty()) {
        fd = fs.open(name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        created = fd >= 0;
    }
    if (fd < 0) {
        return failure(FileOperation::Open);
    }
    if (fs.fstat(fd, &info) != 0) {
        return failure(FileOperation::Stat);
    }
    if (!S_ISREG(info.st_mode)) {
        fs.close(fd);
        fd = -1;
        return notRegularFile(FileOperation::Open, files.data, info, files.link);
    }
    return Status::success();
}

Status RecordFile::open(const PhoneBookFiles& files) {
    files_ = files;
    struct stat info {};
    if (Status status = openPhoneBook(fs_, files_, fd_, created_, info); !status.ok()) {
        return status;
    }
    length_ = info.st_size;
    modified_ = info.st_mtime;
    return Status::success();
}

Status RecordFile::openForReading(const PhoneBookFiles& files) {
    files_ = files;
    // Without waiting on a pipe: only a regular file is a phone book.
    fd_ = fs_.open(files_.data.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0);
    if (fd_ < 0) {
        return failure(FileOperation::Open);
    }
    struct stat info {};
    if (fs_.fstat(fd_, &info) != 0) {
        return failure(FileOperation::Stat);
    }
    if (!S_ISREG(info.st_mode)) {
        return notRegularFile(FileOperation::Open, files_.data, info, files_.link);
    }
    length_ = info.st_size;
    modified_ = info.st_mtime;
    return Status::success();
}

Status RecordFile::close() {
    const int fd = fd_;
    fd_ = -1;
    if (fs_.close(fd) != 0) {
        return failure(FileOperation::Close);
    }
    return Status::success();
}

Status RecordFile::readBlock(char* buffer, std::int64_t offset, std::size_t count) {
    const ssize_t got = readFully(fs_, fd_, buffer, count, offset);
    if (got < 0) {
        return failure(FileOperation::Read);
    }
    std::fill(buffer + got, buffer + count, ' ');
    return Status::success();
}

Status RecordFile::read(std::int32_t n, Contatto& record) {
    char bytes[kLunghezzaRecord];
    if (Status status = readBlock(bytes, recordOffset(n), sizeof bytes); !status.ok()) {
        return status;
    }
    record = decodeRecord(bytes);
    return Status::success();
}

Status RecordFile::readRecords(std::int64_t first, std::int64_t count, std::string& bytes) {
    bytes.resize(static_cast<std::size_t>(count) * kLunghezzaRecord);
    return readBlock(bytes.data(), recordOffset(first), bytes.size());
}

Status RecordFile::write(std::int32_t n, const Contatto& record) {
    const std::int64_t offset = recordOffset(n);
    const std::int64_t end = offset + kLunghezzaRecord;
    // A record written past the end of a damaged file leaves no hole: the gap
    // becomes spaces.
    const std::int64_t start = std::min(offset, length_);
    std::string bytes(static_cast<std::size_t>(end - start), ' ');
    encodeRecord(record, bytes.data() + (offset - start));

    // What the write replaces, so that a failed write can be undone.
    std::string old(
        static_cast<std::size_t>(std::max<std::int64_t>(0, std::min(end, length_) - start)), ' ');
    if (!old.empty() && readFully(fs_, fd_, old.data(), old.size(), start) < 0) {
        return failure(FileOperation::Read);
    }
    const auto undo = [&](FileOperation operation) {
        const int error = errno;
        const bool restored = (end <= length_ || fs_.ftruncate(fd_, length_) == 0) &&
                              writeFully(fs_, fd_, old.data(), old.size(), start);
        if (restored) {
            fs_.fdatasync(fd_);
        }
        errno = error;
        return failure(operation);
    };
    if (!writeFully(fs_, fd_, bytes.data(), bytes.size(), start)) {
        return undo(FileOperation::Write);
    }
    if (fs_.fdatasync(fd_) != 0) {
        return undo(FileOperation::Sync);
    }
    length_ = std::max(length_, end);
    return Status::success();
}

Status RecordFile::copyWithout(Replacement& copy, std::int32_t n, std::int32_t total) {
    const std::int64_t bytes = recordOffset(total);
    std::vector<char> buffer(static_cast<std::size_t>(std::min<std::int64_t>(kCopyBlock, bytes)));
    std::int64_t written = 0;
    const auto copyRange = [&](std::int64_t from, std::int64_t to) {
        for (std::int64_t offset = from; offset < to;) {
            const auto count = static_cast<std::size_t>(
                std::min<std::int64_t>(to - offset, static_cast<std::int64_t>(buffer.size())));
            if (Status status = readBlock(buffer.data(), offset, count); !status.ok()) {
                return status;
            }
            if (Status status = copy.write(buffer.data(), count, written); !status.ok()) {
                return status;
            }
            offset += static_cast<std::int64_t>(count);
            written += static_cast<std::int64_t>(count);
        }
        return Status::success();
    };
    if (Status status = copyRange(0, recordOffset(n)); !status.ok()) {
        return status;
    }
    return copyRange(recordOffset(std::int64_t{n} + 1), recordOffset(std::int64_t{total} + 1));
}

Status RecordFile::removeRecord(std::int32_t n, std::int32_t total) {
    // Over the file itself: a link to it stays a link.
    Replacement copy(fs_);
    Status status = copy.begin(files_.data, files_.scratch, files_.link);
    if (status.ok()) {
        status = copyWithout(copy, n, total);
    }
    if (status.ok()) {
        status = copy.commit();
    }
    if (!copy.renamed()) {
        return status; // the scratch file is gone, the data file as it was
    }
    // Committed: the scratch file's descriptor now reaches the data file.
    const int old = fd_;
    fd_ = copy.release();
    length_ = recordOffset(total);
    if (fs_.close(old) != 0) {
        return failure(FileOperation::Close);
    }
    return status; // the folder's sync
}

Status RecordFile::find(Campo field, std::u16string_view key, std::int32_t total,
                        std::int32_t& found) {
    found = 0;
    const int offset = fieldOffset(field);
    const int width = fieldWidth(field);
    // Records past the end of the file are blank and cannot match a key.
    const std::int64_t present = (length_ + kLunghezzaRecord - 1) / kLunghezzaRecord;
    const auto last = static_cast<std::int32_t>(std::min<std::int64_t>(total, present));
    // A trimmed field neither starts nor ends with a space.
    if (key.empty() || key.size() > static_cast<std::size_t>(width) || key.front() == u' ' ||
        key.back() == u' ' || last < 1) {
        return Status::success();
    }

    // Decoding a byte, trimming spaces and upper-casing all work one character
    // at a time, so the stored bytes can be compared directly through this table.
    std::array<char16_t, 256> upper{};
    for (int byte = 0; byte < 256; ++byte) {
        upper[static_cast<std::size_t>(byte)] =
            toUpperChar(decodeCp1252(static_cast<unsigned char>(byte)));
    }
    // The field matches when it is spaces, the key, then spaces.
    const auto length = static_cast<int>(key.size());
    const auto matches = [&](const char* bytes) {
        int begin = 0;
        while (begin < width && bytes[begin] == ' ') {
            ++begin;
        }
        if (width - begin < length) {
            return false;
        }
        for (int i = 0; i < length; ++i) {
            if (upper[static_cast<unsigned char>(bytes[begin + i])] !=
                key[static_cast<std::size_t>(i)]) {
                return false;
            }
        }
        for (int i = begin + length; i < width; ++i) {
            if (bytes[i] != ' ') {
                return false;
            }
        }
        return true;
    };

    std::vector<char> buffer(static_cast<std::size_t>(std::min(kSearchBlockRecords, last)) *
                             kLunghezzaRecord);
    // 64-bit: the block after the one that holds record INT32_MAX starts beyond it.
    for (std::int64_t first = 1; first <= last; first += kSearchBlockRecords) {
        const auto count = static_cast<std::int32_t>(
            std::min<std::int64_t>(kSearchBlockRecords, last - first + 1));
        const auto bytes = static_cast<std::size_t>(count) * kLunghezzaRecord;
        if (Status status = readBlock(buffer.data(), recordOffset(first), bytes); !status.ok()) {
            return status;
        }
        for (std::int32_t i = 0; i < count; ++i) {
            if (matches(buffer.data() + static_cast<std::ptrdiff_t>(i) * kLunghezzaRecord +
                        offset)) {
                found = static_cast<std::int32_t>(first + i);
                return Status::success();
            }
        }
    }
    return Status::success();
}
