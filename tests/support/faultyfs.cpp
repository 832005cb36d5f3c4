#include "faultyfs.h"

#include <cerrno>

bool FaultyFileSystem::fails(const std::string& call) {
    if (hook_) {
        hook_(call);
    }
    const auto hit = [](const Rule& rule, int n) {
        return rule.nth > 0 && (n == rule.nth || (rule.onward && n > rule.nth));
    };
    const int total = ++calls_;
    const int n = ++counts_[call];
    const auto it = rules_.find(call);
    int error = 0;
    if (hit(any_, total)) {
        error = any_.error;
    } else if (it != rules_.end() && hit(it->second, n)) {
        error = it->second.error;
    }
    if (error == 0) {
        return false;
    }
    if (firstFailure_.empty()) {
        firstFailure_ = call;
    }
    errno = error;
    return true;
}

namespace {
FileSystem& real() {
    return posixFileSystem();
}
} // namespace

int FaultyFileSystem::open(const char* path, int flags, mode_t mode) {
    return fails("open") ? -1 : real().open(path, flags, mode);
}
int FaultyFileSystem::close(int fd) {
    if (fails("close")) {
        real().close(fd); // a failed close still releases the descriptor
        return -1;
    }
    return real().close(fd);
}
ssize_t FaultyFileSystem::pread(int fd, void* buffer, size_t count, off_t offset) {
    return fails("pread") ? -1 : real().pread(fd, buffer, count, offset);
}
ssize_t FaultyFileSystem::pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    if (fails("pwrite")) {
        return -1;
    }
    struct stat info {};
    const bool extends =
        real().fstat(fd, &info) == 0 && offset + static_cast<off_t>(count) > info.st_size;
    if (diskFullAt_ > 0 && calls_ >= diskFullAt_ && extends) {
        if (diskFull_) {
            if (firstFailure_.empty()) {
                firstFailure_ = "pwrite";
            }
            errno = ENOSPC;
            return -1;
        }
        diskFull_ = true;
        count = count / 2;
    }
    if (this->count(std::string("pwrite")) == shortWrite_.first && shortWrite_.second < count) {
        count = shortWrite_.second;
    }
    return real().pwrite(fd, buffer, count, offset);
}
int FaultyFileSystem::fsync(int fd) {
    return fails("fsync") ? -1 : real().fsync(fd);
}
int FaultyFileSystem::fdatasync(int fd) {
    return fails("fdatasync") ? -1 : real().fdatasync(fd);
}
int FaultyFileSystem::ftruncate(int fd, off_t length) {
    return fails("ftruncate") ? -1 : real().ftruncate(fd, length);
}
int FaultyFileSystem::fstat(int fd, struct stat* info) {
    return fails("fstat") ? -1 : real().fstat(fd, info);
}
int FaultyFileSystem::fchmod(int fd, mode_t mode) {
    return fails("fchmod") ? -1 : real().fchmod(fd, mode);
}
int FaultyFileSystem::fchown(int fd, uid_t owner, gid_t group) {
    return fails("fchown") ? -1 : real().fchown(fd, owner, group);
}
ssize_t FaultyFileSystem::flistxattr(int fd, char* names, size_t size) {
    return fails("flistxattr") ? -1 : real().flistxattr(fd, names, size);
}
ssize_t FaultyFileSystem::fgetxattr(int fd, const char* name, void* value, size_t size) {
    return fails("fgetxattr") ? -1 : real().fgetxattr(fd, name, value, size);
}
int FaultyFileSystem::fsetxattr(int fd, const char* name, const void* value, size_t size,
                                int flags) {
    return fails("fsetxattr") ? -1 : real().fsetxattr(fd, name, value, size, flags);
}
int FaultyFileSystem::stat(const char* path, struct stat* info) {
    if (fails("stat") || real().stat(path, info) != 0) {
        return -1;
    }
    if (alterStat_) {
        alterStat_(path, *info);
    }
    return 0;
}
int FaultyFileSystem::lstat(const char* path, struct stat* info) {
    if (fails("lstat") || real().lstat(path, info) != 0) {
        return -1;
    }
    if (alterStat_) {
        alterStat_(path, *info);
    }
    return 0;
}
ssize_t FaultyFileSystem::readlink(const char* path, char* buffer, size_t size) {
    return fails("readlink") ? -1 : real().readlink(path, buffer, size);
}
int FaultyFileSystem::unlink(const char* path) {
    return fails("unlink") ? -1 : real().unlink(path);
}
int FaultyFileSystem::rename(const char* from, const char* to) {
    return fails("rename") ? -1 : real().rename(from, to);
}
int FaultyFileSystem::flock(int fd, int operation) {
    return fails("flock") ? -1 : real().flock(fd, operation);
}
int FaultyFileSystem::readFolder(const char* path, std::vector<std::string>& names) {
    return fails("readFolder") ? -1 : real().readFolder(path, names);
}
