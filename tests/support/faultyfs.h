#pragma once

#include <map>
#include <string>

#include "store/filesystem.h"

// The real file system, except that chosen calls fail. Calls are named after
// the system call ("open", "pwrite", "fsync", ...) and counted from 1.
class FaultyFileSystem : public FileSystem {
public:
    // Fails call number `nth` of `call` with `error`; with `onward`, every later one too.
    void failAt(const std::string& call, int nth, int error, bool onward = false) {
        rules_[call] = {nth, error, onward};
    }
    // Makes call number `nth` of pwrite write only `bytes` bytes, successfully.
    void shortWriteAt(int nth, std::size_t bytes) { shortWrite_ = {nth, bytes}; }
    int count(const std::string& call) const {
        const auto it = counts_.find(call);
        return it == counts_.end() ? 0 : it->second;
    }

    int open(const char* path, int flags, mode_t mode) override;
    int close(int fd) override;
    ssize_t pread(int fd, void* buffer, size_t count, off_t offset) override;
    ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) override;
    int fsync(int fd) override;
    int fdatasync(int fd) override;
    int ftruncate(int fd, off_t length) override;
    int fstat(int fd, struct stat* info) override;
    int fchmod(int fd, mode_t mode) override;
    int stat(const char* path, struct stat* info) override;
    int unlink(const char* path) override;
    int rename(const char* from, const char* to) override;
    int flock(int fd, int operation) override;

private:
    struct Rule {
        int nth = 0;
        int error = 0;
        bool onward = false;
    };
    bool fails(const std::string& call); // counts the call; sets errno when it must fail

    std::map<std::string, Rule> rules_;
    std::map<std::string, int> counts_;
    std::pair<int, std::size_t> shortWrite_{0, 0};
};
