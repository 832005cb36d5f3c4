#pragma once

#include "store/filesystem.h"

#include <map>
#include <memory>
#include <string>

// Folders in memory that remember what has reached the disk. A file's bytes
// are durable once the file is synced; a name (created, renamed, removed) once
// its folder is synced. Files are named by their path ("Chiamoro.DAT",
// "altrove/rubrica.dat"); symbolic links are fixed and always durable. Files,
// links and folders belong to the user, and every file has one name. At the
// chosen call the process "dies": that call and every later one fail, and
// image() holds what a restart would find.
class CrashFileSystem : public FileSystem {
public:
    using Image = std::map<std::string, std::string>; // file path → bytes
    using Links = std::map<std::string, std::string>; // link path → target path

    explicit CrashFileSystem(const Image& disk = {}, const Links& links = {});

    // Dies just before call number `n` (counting every call from 1). With
    // `keepUnsynced`, the disk keeps everything done so far (the process died,
    // the machine did not); otherwise only what was synced.
    void crashAt(int n, bool keepUnsynced) {
        crashAt_ = n;
        keepUnsynced_ = keepUnsynced;
    }
    int calls() const { return calls_; }
    bool crashed() const { return crashed_; }

    // After a crash, the disk as a restart finds it; before, the current state.
    Image image() const;

    int open(const char* path, int flags, mode_t mode) override;
    int close(int fd) override;
    ssize_t pread(int fd, void* buffer, size_t count, off_t offset) override;
    ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) override;
    int fsync(int fd) override;
    int fdatasync(int fd) override;
    int ftruncate(int fd, off_t length) override;
    int fstat(int fd, struct stat* info) override;
    int fchmod(int fd, mode_t mode) override;
    int fchown(int fd, uid_t owner, gid_t group) override;
    ssize_t flistxattr(int fd, char* names, size_t size) override;
    ssize_t fgetxattr(int fd, const char* name, void* value, size_t size) override;
    int fsetxattr(int fd, const char* name, const void* value, size_t size, int flags) override;
    int stat(const char* path, struct stat* info) override;
    int lstat(const char* path, struct stat* info) override;
    ssize_t readlink(const char* path, char* buffer, size_t size) override;
    int unlink(const char* path) override;
    int rename(const char* from, const char* to) override;
    int flock(int fd, int operation) override;
    int readFolder(const char* path, std::vector<std::string>& names) override;

private:
    struct Inode {
        std::string data;
        std::string durable;
        mode_t mode = 0644;
        ino_t number = 0;
        std::map<std::string, std::string> attributes; // extended, kept like the mode
    };
    using Names = std::map<std::string, std::shared_ptr<Inode>>;

    bool dead(); // counts the call; true (errno set) once the process has died
    Inode* file(int fd);
    Image snapshot(bool keepUnsynced) const;

    std::string resolve(const std::string& path) const; // through the links
    bool isFolder(const std::string& path) const;
    std::shared_ptr<Inode> newInode();
    static void describe(const Inode& inode, struct stat* info);

    Names names_;
    Names durableNames_;
    Links links_;
    std::map<int, std::shared_ptr<Inode>> fds_;
    std::map<int, std::string> folderFds_;
    int nextFd_ = 3;
    ino_t nextInode_ = 1;
    int calls_ = 0;
    int crashAt_ = 0;
    bool keepUnsynced_ = false;
    bool crashed_ = false;
    Image afterCrash_;
};
