#pragma once

#include <string>

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
    Remove,
    Rename,
    Lock,
    Close,
};

struct Status {
    FileOperation operation = FileOperation::Open;
    std::string file; // a folder ends in "/", except the current one, "."
    int error = 0;    // errno; 0 means success
    std::string link; // the symbolic link through which `file` was reached, if any
    std::string to;   // where a failed rename was taking `file`

    bool ok() const { return error == 0; }

    static Status success() { return {}; }
    static Status failure(FileOperation operation, std::string file, int error,
                          std::string link = {}) {
        return {operation, std::move(file), error, std::move(link), {}};
    }
};
