#pragma once

#include <cstddef>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

// The system calls the record file makes, behind one interface so that tests
// can fail any of them or simulate a crash. Each call has the POSIX (and, for
// the extended attributes, Linux) contract: -1 (or a short count) with errno
// set on failure.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    virtual int open(const char* path, int flags, mode_t mode) = 0;
    virtual int close(int fd) = 0;
    virtual ssize_t pread(int fd, void* buffer, size_t count, off_t offset) = 0;
    virtual ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) = 0;
    virtual int fsync(int fd) = 0;
    virtual int fdatasync(int fd) = 0;
    virtual int ftruncate(int fd, off_t length) = 0;
    virtual int fstat(int fd, struct stat* info) = 0;
    virtual int fchmod(int fd, mode_t mode) = 0;
    virtual int fchown(int fd, uid_t owner, gid_t group) = 0;
    virtual ssize_t flistxattr(int fd, char* names, size_t size) = 0;
    virtual ssize_t fgetxattr(int fd, const char* name, void* value, size_t size) = 0;
    virtual int fsetxattr(int fd, const char* name, const void* value, size_t size, int flags) = 0;
    virtual int stat(const char* path, struct stat* info) = 0;
    virtual int lstat(const char* path, struct stat* info) = 0;
    virtual ssize_t readlink(const char* path, char* buffer, size_t size) = 0;
    virtual int unlink(const char* path) = 0;
    virtual int rename(const char* from, const char* to) = 0;
    virtual int flock(int fd, int operation) = 0;
    // The names in a folder, "." and ".." left out, in no particular order
    // (opendir, readdir and closedir in one call).
    virtual int readFolder(const char* path, std::vector<std::string>& names) = 0;
};

// The real system calls.
FileSystem& posixFileSystem();
