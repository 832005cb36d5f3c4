#pragma once

#include "filesystem.h"
#include "status.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

// Whole reads and writes at an offset, through the seam: a call the system
// interrupts (EINTR) is retried and a short transfer carries on.

// Reads up to `count` bytes, fewer only at the end of the file; -1 (errno set) on error.
ssize_t readFully(FileSystem& fs, int fd, char* buffer, std::size_t count, std::int64_t offset);

// Writes all `count` bytes; false (errno set) on error. A write that makes no
// progress at all fails with EIO; one that would cross the process's file size
// limit fails with EFBIG before a byte is written, whether SIGXFSZ is ignored
// or not.
bool writeFully(FileSystem& fs, int fd, const char* buffer, std::size_t count, std::int64_t offset);

// The folder that holds `path`: "." for a bare name.
std::string parentFolder(const std::string& path);

// How a Status names a folder: "." for the current one, "dir/" for another.
std::string folderStatusName(const std::string& folder);

// Follows `path` through symbolic links, and links to links, to the file at
// their end, which need not exist. A relative target is relative to the
// folder of its link. `end` is `path` itself when it is no link.
//
// A link is followed as the kernel follows it under fs.protected_symlinks,
// whatever this machine's setting: in a folder that everyone may write but
// only owners may clean up (sticky and writable by all, as /tmp), a link of
// another user is followed only when that user owns the folder too. Anyone
// could have planted it there. Refused with Cause::ForeignLink (EACCES).
chiamoro::Status followLinks(FileSystem& fs, const std::string& path, std::string& end);

// The refusal of a file that is not a regular one; `info` is its lstat or fstat.
chiamoro::Status notRegularFile(chiamoro::FileOperation operation, const std::string& file,
                                const struct stat& info, const std::string& link = {});

// Makes the names in `folder` (created, renamed, removed) durable.
chiamoro::Status syncFolder(FileSystem& fs, const std::string& folder);
