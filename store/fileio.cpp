#include "fileio.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>

ssize_t readFully(FileSystem& fs, int fd, char* buffer, std::size_t count, std::int64_t offset) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got =
            fs.pread(fd, buffer + done, count - done, offset + static_cast<std::int64_t>(done));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

bool writeFully(FileSystem& fs, int fd, const char* buffer, std::size_t count,
                std::int64_t offset) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t put =
            fs.pwrite(fd, buffer + done, count - done, offset + static_cast<std::int64_t>(done));
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (put == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

std::string parentFolder(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string folderStatusName(const std::string& folder) {
    return folder == "." || folder.ends_with('/') ? folder : folder + "/";
}

Status followLinks(FileSystem& fs, const std::string& path, std::string& end) {
    end = path;
    // As many links in a row as the system itself follows.
    for (int links = 0;; ++links) {
        const std::string link = links == 0 ? std::string() : path;
        struct stat info {};
        if (fs.lstat(end.c_str(), &info) != 0) {
            if (errno == ENOENT) {
                return Status::success(); // the end of the road, which may yet be made
            }
            return Status::failure(FileOperation::Stat, end, errno, link);
        }
        if (!S_ISLNK(info.st_mode)) {
            return Status::success();
        }
        if (links == 40) {
            return Status::failure(FileOperation::Open, end, ELOOP, path);
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t length = fs.readlink(end.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<std::size_t>(length) == target.size()) {
            return Status::failure(FileOperation::Stat, end, length < 0 ? errno : ENAMETOOLONG,
                                   link);
        }
        target.resize(static_cast<std::size_t>(length));
        const std::string base = parentFolder(end);
        end = target.starts_with('/') || base == "." ? target : base + "/" + target;
    }
}

Status syncFolder(FileSystem& fs, const std::string& folder) {
    const int fd = fs.open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0) {
        return Status::failure(FileOperation::Open, folderStatusName(folder), errno);
    }
    const bool synced = fs.fsync(fd) == 0;
    const int error = errno;
    fs.close(fd);
    if (!synced) {
        return Status::failure(FileOperation::Sync, folderStatusName(folder), error);
    }
    return Status::success();
}
