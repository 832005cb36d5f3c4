#include "replacement.h"

#include "fileio.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

using chiamoro::Cause;
using chiamoro::FileOperation;
using chiamoro::Status;

namespace {

// The scratch name a signal handler removes, when `pendingScratch` is set.
char pendingName[PATH_MAX];
volatile std::sig_atomic_t pendingScratch = 0;

void setPending(const std::string& name) {
    pendingScratch = 0;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(pendingName, name.c_str(), name.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    pendingScratch = 1;
}

// Linux caps a value, and a list of names, of extended attributes at 64 KiB.
constexpr std::size_t kSmallAttributes = 4096;
constexpr std::size_t kLargestAttributes = 65536;

// Reads through `call(buffer, size)` into `bytes`: a small buffer first, the
// largest the system allows when that is too small. -1 (errno set) on error.
template <typename Call> ssize_t readAttributeBytes(std::string& bytes, Call call) {
    bytes.resize(kSmallAttributes);
    ssize_t got = call(bytes.data(), bytes.size());
    if (got < 0 && errno == ERANGE) {
        bytes.resize(kLargestAttributes);
        got = call(bytes.data(), bytes.size());
    }
    bytes.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    return got;
}

// Holds back the signals whose handler removes the scratch file while it is
// made and named for the handler, and while it is renamed and taken back: a
// signal in between would leave the file behind, or remove a name that is
// the target's now.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            sigaddset(&held, signal);
        }
        ::pthread_sigmask(SIG_BLOCK, &held, &before_);
    }
    ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t before_;
};

} // namespace

bool removeScratchFileOnSignal() {
    return pendingScratch != 0 && ::unlink(pendingName) == 0;
}

Replacement::~Replacement() {
    abandon();
    if (fd_ >= 0) {
        fs_.close(fd_); // committed and synced, but not released: nothing left to lose
    }
}

Status Replacement::failure(FileOperation operation, const std::string& file) const {
    return Status::failure(operation, file, errno, file == target_ ? link_ : std::string());
}

Status Replacement::begin(const std::string& target, const std::string& scratch,
                          const std::string& link) {
    target_ = target;
    scratch_ = scratch;
    link_ = link;
    Status status = prepare();
    if (source_ >= 0) {
        const int source = source_;
        source_ = -1;
        if (fs_.close(source) != 0 && status.ok()) {
            status = failure(FileOperation::Close, target_);
        }
    }
    if (!status.ok()) {
        abandon();
    }
    return status;
}

Status Replacement::prepare() {
    struct stat info {};
    const bool exists = fs_.lstat(target_.c_str(), &info) == 0;
    if (!exists && errno != ENOENT) {
        return failure(FileOperation::Stat, target_);
    }
    if (exists) {
        if (!S_ISREG(info.st_mode)) {
            return notRegularFile(FileOperation::Replace, target_, info, link_);
        }
        // Opened for writing, though never written: only a file the user may
        // write is replaced. Not through a link, and a pipe put there in the
        // meantime answers at once instead of waiting for a reader.
        source_ = fs_.open(target_.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0);
        if (source_ < 0) {
            return failure(FileOperation::Open, target_);
        }
        if (fs_.fstat(source_, &info) != 0) {
            return failure(FileOperation::Stat, target_);
        }
        if (!S_ISREG(info.st_mode)) {
            return notRegularFile(FileOperation::Replace, target_, info, link_);
        }
        if (info.st_nlink > 1) {
            return Status::refusal(FileOperation::Replace, target_, Cause::HardLinks, EMLINK,
                                   static_cast<std::int64_t>(info.st_nlink), link_);
        }
    }
    if (Status status = removeStaleScratch(); !status.ok()) {
        return status;
    }
    if (scratch_.size() >= sizeof pendingName) {
        errno = ENAMETOOLONG;
        return failure(FileOperation::Open, scratch_);
    }
    // Private until it is complete, even when it will end up readable.
    {
        const SignalsHeld held;
        fd_ = fs_.open(scratch_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            return failure(FileOperation::Open, scratch_);
        }
        made_ = true;
        setPending(scratch_);
        pending_ = true;
    }
    struct stat mine {};
    if (fs_.fstat(fd_, &mine) != 0) {
        return failure(FileOperation::Stat, scratch_);
    }
    device_ = mine.st_dev;
    inode_ = mine.st_ino;
    if (!exists) {
        // What a new file gets: 0666 less the umask, which one reads by setting it.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode_ = 0666 & ~mask;
        return Status::success();
    }
    mode_ = info.st_mode & 07777;
    if (Status status = copyOwner(info); !status.ok()) {
        return status;
    }
    return copyAttributes();
}

Status Replacement::removeStaleScratch() {
    struct stat info {};
    if (fs_.lstat(scratch_.c_str(), &info) != 0) {
        return errno == ENOENT ? Status::success() : failure(FileOperation::Stat, scratch_);
    }
    if (!S_ISREG(info.st_mode)) {
        return notRegularFile(FileOperation::Remove, scratch_, info);
    }
    if (fs_.unlink(scratch_.c_str()) != 0 && errno != ENOENT) {
        return failure(FileOperation::Remove, scratch_);
    }
    return Status::success();
}

Status Replacement::copyOwner(const struct stat& info) {
    // Only root may give a file away; anyone may give it a group they are in.
    const uid_t owner = ::geteuid() == 0 ? info.st_uid : static_cast<uid_t>(-1);
    if (fs_.fchown(fd_, owner, info.st_gid) == 0) {
        return Status::success();
    }
    if (errno == EPERM) {
        return Status::refusal(FileOperation::Replace, target_, Cause::GroupNotKept, EPERM,
                               static_cast<std::int64_t>(info.st_gid), link_);
    }
    return failure(FileOperation::Chown, scratch_);
}

Status Replacement::copyAttributes() {
    std::string names;
    const ssize_t listed = readAttributeBytes(names, [this](char* buffer, std::size_t size) {
        return fs_.flistxattr(source_, buffer, size);
    });
    if (listed < 0) {
        // A file system without extended attributes: there are none to keep.
        return errno == ENOTSUP ? Status::success()
                                : failure(FileOperation::ReadAttributes, target_);
    }
    std::string value;
    for (std::size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1) {
        const char* name = names.c_str() + at;
        const ssize_t got = readAttributeBytes(value, [&](char* buffer, std::size_t size) {
            return fs_.fgetxattr(source_, name, buffer, size);
        });
        if (got < 0) {
            if (errno == ENODATA) {
                continue; // removed since it was listed
            }
            return failure(FileOperation::ReadAttributes, target_);
        }
        if (fs_.fsetxattr(fd_, name, value.data(), value.size(), 0) != 0) {
            return failure(FileOperation::WriteAttributes, scratch_);
        }
    }
    return Status::success();
}

Status Replacement::read(char* bytes, std::size_t count, std::int64_t offset) {
    if (readFully(fs_, fd_, bytes, count, offset) < 0) {
        const Status status = failure(FileOperation::Read, scratch_);
        abandon();
        return status;
    }
    return Status::success();
}

Status Replacement::write(const char* bytes, std::size_t count, std::int64_t offset) {
    if (!writeFully(fs_, fd_, bytes, count, offset)) {
        const Status status = failure(FileOperation::Write, scratch_);
        abandon();
        return status;
    }
    return Status::success();
}

Status Replacement::commit() {
    const auto fail = [this](const Status& status) {
        abandon();
        return status;
    };
    if (fs_.fchmod(fd_, mode_) != 0) {
        return fail(failure(FileOperation::Chmod, scratch_));
    }
    if (fs_.fsync(fd_) != 0) {
        return fail(failure(FileOperation::Sync, scratch_));
    }
    struct stat named {};
    if (fs_.lstat(scratch_.c_str(), &named) != 0) {
        return fail(failure(FileOperation::Stat, scratch_));
    }
    if (named.st_dev != device_ || named.st_ino != inode_) {
        made_ = false; // that name is someone else's now: it stays
        Status status =
            Status::refusal(FileOperation::Rename, scratch_, Cause::ScratchReplaced, EEXIST);
        status.to = target_;
        return fail(status);
    }
    {
        const SignalsHeld held;
        if (fs_.rename(scratch_.c_str(), target_.c_str()) != 0) {
            Status status = failure(FileOperation::Rename, scratch_);
            status.to = target_;
            return fail(status);
        }
        renamed_ = true;
        made_ = false;
        forget();
    }
    return syncFolder(fs_, parentFolder(target_));
}

int Replacement::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void Replacement::abandon() {
    if (renamed_) {
        return;
    }
    if (fd_ >= 0) {
        fs_.close(fd_);
        fd_ = -1;
    }
    if (made_) {
        fs_.unlink(scratch_.c_str());
        made_ = false;
    }
    forget();
}

void Replacement::forget() {
    if (pending_) {
        pendingScratch = 0;
        pending_ = false;
    }
}
