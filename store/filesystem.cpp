#include "filesystem.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

class PosixFileSystem final : public FileSystem {
public:
    int open(const char* path, int flags, mode_t mode) override {
        return ::open(path, flags, mode);
    }
    int close(int fd) override { return ::close(fd); }
    ssize_t pread(int fd, void* buffer, size_t count, off_t offset) override {
        return ::pread(fd, buffer, count, offset);
    }
    ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) override {
        return ::pwrite(fd, buffer, count, offset);
    }
    int fsync(int fd) override { return ::fsync(fd); }
    int fdatasync(int fd) override { return ::fdatasync(fd); }
    int ftruncate(int fd, off_t length) override { return ::ftruncate(fd, length); }
    int fstat(int fd, struct stat* info) override { return ::fstat(fd, info); }
    int fchmod(int fd, mode_t mode) override { return ::fchmod(fd, mode); }
    int fchown(int fd, uid_t owner, gid_t group) override { return ::fchown(fd, owner, group); }
    ssize_t flistxattr(int fd, char* names, size_t size) override {
        return ::flistxattr(fd, names, size);
    }
    ssize_t fgetxattr(int fd, const char* name, void* value, size_t size) override {
        return ::fgetxattr(fd, name, value, size);
    }
    int fsetxattr(int fd, const char* name, const void* value, size_t size, int flags) override {
        return ::fsetxattr(fd, name, value, size, flags);
    }
    int stat(const char* path, struct stat* info) override { return ::stat(path, info); }
    int lstat(const char* path, struct stat* info) override { return ::lstat(path, info); }
    ssize_t readlink(const char* path, char* buffer, size_t size) override {
        return ::readlink(path, buffer, size);
    }
    int unlink(const char* path) override { return ::unlink(path); }
    int rename(const char* from, const char* to) override { return std::rename(from, to); }
    int flock(int fd, int operation) override { return ::flock(fd, operation); }
    int readFolder(const char* path, std::vector<std::string>& names) override {
        names.clear();
        DIR* folder = ::opendir(path);
        if (folder == nullptr) {
            return -1;
        }
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(folder);
            if (entry == nullptr) {
                break;
            }
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                names.emplace_back(entry->d_name);
            }
        }
        const int error = errno;
        if (::closedir(folder) != 0 && error == 0) {
            return -1;
        }
        errno = error;
        return error == 0 ? 0 : -1;
    }
};

} // namespace

FileSystem& posixFileSystem() {
    static PosixFileSystem system;
    return system;
}
