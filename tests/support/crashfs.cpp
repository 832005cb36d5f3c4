#include "crashfs.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::string parentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

} // namespace

CrashFileSystem::CrashFileSystem(const Image& disk, const Links& links) : links_(links) {
    for (const auto& [name, bytes] : disk) {
        auto inode = newInode();
        inode->data = inode->durable = bytes;
        names_[name] = inode;
    }
    durableNames_ = names_;
}

bool CrashFileSystem::dead() {
    ++calls_;
    if (!crashed_ && calls_ == crashAt_) {
        crashed_ = true;
        afterCrash_ = snapshot(keepUnsynced_);
    }
    if (crashed_) {
        errno = EIO;
    }
    return crashed_;
}

CrashFileSystem::Image CrashFileSystem::snapshot(bool keepUnsynced) const {
    Image disk;
    for (const auto& [name, inode] : keepUnsynced ? names_ : durableNames_) {
        disk[name] = keepUnsynced ? inode->data : inode->durable;
    }
    return disk;
}

CrashFileSystem::Image CrashFileSystem::image() const {
    return crashed_ ? afterCrash_ : snapshot(true);
}

std::shared_ptr<CrashFileSystem::Inode> CrashFileSystem::newInode() {
    auto inode = std::make_shared<Inode>();
    inode->number = nextInode_++;
    return inode;
}

void CrashFileSystem::describe(const Inode& inode, struct stat* info) {
    *info = {};
    info->st_dev = 1;
    info->st_ino = inode.number;
    info->st_nlink = 1;
    info->st_uid = ::geteuid();
    info->st_gid = ::getegid();
    info->st_size = static_cast<off_t>(inode.data.size());
    info->st_mode = S_IFREG | inode.mode;
}

bool CrashFileSystem::isFolder(const std::string& path) const {
    // The current folder, and the folders that hold a file or a link's target.
    bool known = path == ".";
    for (const auto& [name, inode] : names_) {
        known = known || parentOf(name) == path;
    }
    for (const auto& [link, target] : links_) {
        known = known || parentOf(target) == path;
    }
    return known;
}

std::string CrashFileSystem::resolve(const std::string& path) const {
    std::string end = path;
    for (auto it = links_.find(end); it != links_.end(); it = links_.find(end)) {
        end = it->second;
    }
    return end;
}

CrashFileSystem::Inode* CrashFileSystem::file(int fd) {
    const auto it = fds_.find(fd);
    if (it == fds_.end()) {
        errno = EBADF;
        return nullptr;
    }
    return it->second.get();
}

int CrashFileSystem::open(const char* path, int flags, mode_t mode) {
    if (dead()) {
        return -1;
    }
    if ((flags & O_DIRECTORY) != 0) {
        if (!isFolder(path)) {
            errno = ENOENT;
            return -1;
        }
        folderFds_[nextFd_] = path;
        return nextFd_++;
    }
    if ((flags & O_CREAT) != 0 && (flags & O_EXCL) != 0 && links_.count(path) != 0) {
        errno = EEXIST;
        return -1;
    }
    const std::string name = resolve(path);
    auto it = names_.find(name);
    if (it != names_.end() && (flags & O_CREAT) != 0 && (flags & O_EXCL) != 0) {
        errno = EEXIST;
        return -1;
    }
    if (it == names_.end()) {
        if ((flags & O_CREAT) == 0) {
            errno = ENOENT;
            return -1;
        }
        auto inode = newInode();
        inode->mode = mode & 0777;
        it = names_.emplace(name, inode).first;
    }
    if ((flags & O_TRUNC) != 0) {
        it->second->data.clear();
    }
    fds_[nextFd_] = it->second;
    return nextFd_++;
}

int CrashFileSystem::close(int fd) {
    if (dead()) {
        return -1;
    }
    if (folderFds_.erase(fd) != 0) {
        return 0;
    }
    if (fds_.erase(fd) == 0) {
        errno = EBADF;
        return -1;
    }
    return 0;
}

ssize_t CrashFileSystem::pread(int fd, void* buffer, size_t count, off_t offset) {
    if (dead()) {
        return -1;
    }
    const Inode* inode = file(fd);
    if (inode == nullptr) {
        return -1;
    }
    if (static_cast<size_t>(offset) >= inode->data.size()) {
        return 0;
    }
    const size_t n = std::min(count, inode->data.size() - static_cast<size_t>(offset));
    std::memcpy(buffer, inode->data.data() + offset, n);
    return static_cast<ssize_t>(n);
}

ssize_t CrashFileSystem::pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    if (dead()) {
        return -1;
    }
    Inode* inode = file(fd);
    if (inode == nullptr) {
        return -1;
    }
    const size_t end = static_cast<size_t>(offset) + count;
    if (inode->data.size() < end) {
        inode->data.resize(end, '\0');
    }
    std::memcpy(inode->data.data() + offset, buffer, count);
    return static_cast<ssize_t>(count);
}

int CrashFileSystem::fsync(int fd) {
    if (dead()) {
        return -1;
    }
    if (const auto folder = folderFds_.find(fd); folder != folderFds_.end()) {
        // The names in that folder, as they now stand, reach the disk.
        std::erase_if(durableNames_,
                      [&](const auto& entry) { return parentOf(entry.first) == folder->second; });
        for (const auto& [name, inode] : names_) {
            if (parentOf(name) == folder->second) {
                durableNames_[name] = inode;
            }
        }
        return 0;
    }
    Inode* inode = file(fd);
    if (inode == nullptr) {
        return -1;
    }
    inode->durable = inode->data;
    return 0;
}

int CrashFileSystem::fdatasync(int fd) {
    return fsync(fd);
}

int CrashFileSystem::ftruncate(int fd, off_t length) {
    if (dead()) {
        return -1;
    }
    Inode* inode = file(fd);
    if (inode == nullptr) {
        return -1;
    }
    inode->data.resize(static_cast<size_t>(length), '\0');
    return 0;
}

int CrashFileSystem::fstat(int fd, struct stat* info) {
    if (dead()) {
        return -1;
    }
    const Inode* inode = file(fd);
    if (inode == nullptr) {
        return -1;
    }
    describe(*inode, info);
    return 0;
}

int CrashFileSystem::fchmod(int fd, mode_t mode) {
    if (dead()) {
        return -1;
    }
    Inode* inode = file(fd);
    if (inode == nullptr) {
        return -1;
    }
    inode->mode = mode & 0777;
    return 0;
}

int CrashFileSystem::fchown(int fd, uid_t, gid_t) {
    if (dead()) {
        return -1;
    }
    return file(fd) == nullptr ? -1 : 0; // to the user's own owner and group: nothing changes
}

ssize_t CrashFileSystem::flistxattr(int fd, char* names, size_t size) {
    if (dead()) {
        return -1;
    }
    const Inode* inode = file(fd);
    if (inode == nullptr) {
        return -1;
    }
    std::string list;
    for (const auto& [name, value] : inode->attributes) {
        list += name + '\0';
    }
    if (size == 0) {
        return static_cast<ssize_t>(list.size());
    }
    if (size < list.size()) {
        errno = ERANGE;
        return -1;
    }
    std::memcpy(names, list.data(), list.size());
    return static_cast<ssize_t>(list.size());
}

ssize_t CrashFileSystem::fgetxattr(int fd, const char* name, void* value, size_t size) {
    if (dead()) {
        return -1;
    }
    const Inode* inode = file(fd);
    if (inode == nullptr) {
        return -1;
    }
    const auto it = inode->attributes.find(name);
    if (it == inode->attributes.end()) {
        errno = ENODATA;
        return -1;
    }
    if (size != 0 && size < it->second.size()) {
        errno = ERANGE;
        return -1;
    }
    std::memcpy(value, it->second.data(), std::min(size, it->second.size()));
    return static_cast<ssize_t>(it->second.size());
}

int CrashFileSystem::fsetxattr(int fd, const char* name, const void* value, size_t size, int) {
    if (dead()) {
        return -1;
    }
    Inode* inode = file(fd);
    if (inode == nullptr) {
        return -1;
    }
    inode->attributes[name].assign(static_cast<const char*>(value), size);
    return 0;
}

int CrashFileSystem::lstat(const char* path, struct stat* info) {
    if (links_.count(path) != 0) {
        if (dead()) {
            return -1;
        }
        *info = {};
        info->st_mode = S_IFLNK | 0777;
        info->st_uid = ::geteuid();
        return 0;
    }
    return stat(path, info);
}

ssize_t CrashFileSystem::readlink(const char* path, char* buffer, size_t size) {
    if (dead()) {
        return -1;
    }
    const auto it = links_.find(path);
    if (it == links_.end()) {
        errno = EINVAL;
        return -1;
    }
    const size_t n = std::min(size, it->second.size());
    std::memcpy(buffer, it->second.data(), n);
    return static_cast<ssize_t>(n);
}

int CrashFileSystem::stat(const char* path, struct stat* info) {
    if (dead()) {
        return -1;
    }
    const auto it = names_.find(resolve(path));
    if (it == names_.end()) {
        if (isFolder(path)) {
            *info = {};
            info->st_mode = S_IFDIR | 0755;
            info->st_uid = ::geteuid();
            return 0;
        }
        errno = ENOENT;
        return -1;
    }
    describe(*it->second, info);
    return 0;
}

int CrashFileSystem::unlink(const char* path) {
    if (dead()) {
        return -1;
    }
    if (names_.erase(path) == 0) {
        errno = ENOENT;
        return -1;
    }
    return 0;
}

int CrashFileSystem::rename(const char* from, const char* to) {
    if (dead()) {
        return -1;
    }
    const auto it = names_.find(from);
    if (it == names_.end()) {
        errno = ENOENT;
        return -1;
    }
    auto inode = it->second;
    names_.erase(it);
    names_[to] = inode;
    return 0;
}

int CrashFileSystem::flock(int, int) {
    return dead() ? -1 : 0;
}

int CrashFileSystem::readFolder(const char* path, std::vector<std::string>& names) {
    if (dead()) {
        return -1;
    }
    names.clear();
    if (!isFolder(path)) {
        errno = ENOENT;
        return -1;
    }
    const auto add = [&](const std::string& name) {
        if (parentOf(name) == path) {
            names.push_back(name.substr(name.find_last_of('/') + 1));
        }
    };
    for (const auto& [name, inode] : names_) {
        add(name);
    }
    for (const auto& [link, target] : links_) {
        add(link);
    }
    return 0;
}
