#pragma once

#include "store/filesystem.h"

#include <functional>
#include <map>
#include <string>

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
    // Fails the n-th call of any kind, counting every call from 1 (and, with
    // `onward`, every later call too).
    void failCall(int n, int error, bool onward = false) { any_ = {n, error, onward}; }
    // The disk fills up at call n: from then on, the first write that needs
    // new space writes only half of its bytes and every later one fails with
    // ENOSPC. Writes over existing bytes still succeed.
    void diskFullAtCall(int n) { diskFullAt_ = n; }
    // Runs `hook` with the call's name before every call.
    void beforeEachCall(std::function<void(const std::string&)> hook) { hook_ = std::move(hook); }
    // Lets `alter` change what stat and lstat answer for a path: owners and
    // folders of other users without any other user on the machine.
    using StatHook = std::function<void(const std::string& path, struct stat& info)>;
    void alterStat(StatHook alter) { alterStat_ = std::move(alter); }

    int count(const std::string& call) const {
        const auto it = counts_.find(call);
        return it == counts_.end() ? 0 : it->second;
    }
    int calls() const { return calls_; }
    // The name of the call that failed first, if any did.
    const std::string& firstFailure() const { return firstFailure_; }

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
    struct Rule {
        int nth = 0;
        int error = 0;
        bool onward = false;
    };
    bool fails(const std::string& call); // counts the call; sets errno when it must fail

    Rule any_;
    int diskFullAt_ = 0;
    bool diskFull_ = false;
    int calls_ = 0;
    std::string firstFailure_;
    std::function<void(const std::string&)> hook_;
    StatHook alterStat_;
    std::map<std::string, Rule> rules_;
    std::map<std::string, int> counts_;
    std::pair<int, std::size_t> shortWrite_{0, 0};
};
