#pragma once

#include <cstdint>
#include <string>

// X11's Xlib.h defines Status as a macro for int, which would rewrite the name
// of the type below and of every use of it in the headers that follow; Xlib's
// own declarations are read by then, so the macro can go.
#ifdef Status
#undef Status
#endif

namespace chiamoro {

// The outcome of one file operation: success, or which operation failed on
// which file and the system's reason (errno). The form turns a failure into
// the message the user reads; nothing below it does any reporting.
enum class FileOperation {
    Open,
    Read,
    Write,
    Sync,
    Truncate,
    Stat,
    Chmod,
    Chown,
    ReadAttributes,  // the extended attributes (ACLs among them) of a file
    WriteAttributes, // the same, onto its replacement
    Remove,
    Rename,
    Replace, // a file replaced through a scratch file, refused before anything changed
    Adopt,   // the scratch file of an interrupted deletion taken as the data file
    Lock,
    Close,
    WriteTemporary, // the temporary files an export is assembled in, in a folder
};

// Why the program itself refused an operation, where the system's errno alone
// would not say it; `detail` carries the number the words need.
enum class Cause {
    System,           // errno says it all
    NotRegularFile,   // a folder, a link, a pipe, a device...: detail is its S_IFMT type
    ForeignLink,      // a link of another user in a shared folder (sticky, writable by all)
    ForeignFile,      // a file of another user: detail is its owner's uid
    GroupNotKept,     // the user is not in the file's group: detail is the group's gid
    HardLinks,        // the file has other names: detail is how many names it has
    ScratchReplaced,  // the scratch name no longer leads to the file written
    TooManyRecords,   // the record numbers are 32-bit
    PhoneBook,        // the phone book itself, which an export reads
    PhoneBookScratch, // the name of the phone book's scratch file, which a start may adopt
};

struct Status {
    FileOperation operation = FileOperation::Open;
    std::string file; // a folder ends in "/", except the current one, "."
    int error = 0;    // errno; 0 means success
    std::string link; // the symbolic link through which `file` was reached, if any
    std::string to;   // where a failed rename was taking `file`
    Cause cause = Cause::System;
    std::int64_t detail = 0;

    bool ok() const { return error == 0; }

    static Status success() { return {}; }
    static Status failure(FileOperation operation, std::string file, int error,
                          std::string link = {}) {
        return {operation, std::move(file), error, std::move(link), {}, Cause::System, 0};
    }
    // A refusal of the program's own, with the errno closest to it.
    static Status refusal(FileOperation operation, std::string file, Cause cause, int error,
                          std::int64_t detail = 0, std::string link = {}) {
        return {operation, std::move(file), error, std::move(link), {}, cause, detail};
    }
};

} // namespace chiamoro
