#include "fileio.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using chiamoro::Cause;
using chiamoro::FileOperation;
using chiamoro::Status;

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
    // Across the file size limit (ulimit -f) the system writes what fits, and
    // the next write stops the program with SIGXFSZ: a torn record. Refused
    // whole instead, with the error the system gives when the signal is ignored.
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        static_cast<rlim_t>(offset) + count > limit.rlim_cur) {
        errno = EFBIG;
        return false;
    }
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
        const std::string base = parentFolder(end);
        if (info.st_uid != ::geteuid()) {
            struct stat folder {};
            if (fs.stat(base.c_str(), &folder) != 0) {
                return Status::failure(FileOperation::Stat, folderStatusName(base), errno, link);
            }
            constexpr mode_t kShared = S_ISVTX | S_IWOTH;
            if ((folder.st_mode & kShared) == kShared && folder.st_uid != info.st_uid) {
                return Status::refusal(FileOperation::Open, end, Cause::ForeignLink, EACCES, 0,
                                       link);
            }
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t length = fs.readlink(end.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<std::size_t>(length) == target.size()) {
            return Status::failure(FileOperation::Stat, end, length < 0 ? errno : ENAMETOOLONG,
                                   link);
        }
        target.resize(static_cast<std::size_t>(length));
        end = target.starts_with('/') || base == "." ? target : base + "/" + target;
    }
}

Status notRegularFile(FileOperation operation, const std::string& file, const struct stat& info,
                      const std::string& link) {
    return Status::refusal(operation, file, Cause::NotRegularFile,
                           S_ISDIR(info.st_mode) ? EISDIR : EINVAL, info.st_mode & S_IFMT, link);
}

Status syncFolder(FileSystem& fs, const std::string& folder) {
    const int fd = fs.open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0) {
        return Status::failure(FileOperation::Open, folderStatusName(folder), errno);
    }
    if (fs.fsync(fd) != 0) {
        const int error = errno;
        fs.close(fd);
        return Status::failure(FileOperation::Sync, folderStatusName(folder), error);
    }
    if (fs.close(fd) != 0) {
        return Status::failure(FileOperation::Close, folderStatusName(folder), errno);
    }
    return Status::success();
}
