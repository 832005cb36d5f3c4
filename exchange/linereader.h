#pragma once

#include "store/filesystem.h"
#include "store/status.h"

#include <cstdint>
#include <string>

// A file read one line at a time through the file-system seam, in blocks, so
// that memory follows the longest line and not the file. A line ends at LF,
// CR LF or a lone CR; the end itself is not returned. A UTF-8 byte-order mark
// at the start is skipped.
class LineReader {
public:
    explicit LineReader(FileSystem& fs) : fs_(fs) {}
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    Status open(const std::string& path);

    // The next line; `got` is false at the end of the file.
    Status next(std::string& line, bool& got);

    // The number of the line last returned, from 1.
    std::int64_t lineNumber() const { return number_; }

    // How the line last returned ended: "\r\n", "\n", "\r", or "" at the end of the file.
    const char* ending() const { return ending_; }

    // The file starts with a UTF-16 byte-order mark: its lines are not text
    // this reader can split.
    bool utf16() const { return utf16_; }

private:
    Status fill(); // reads the next block; sets eof_ at the end

    FileSystem& fs_;
    std::string path_;
    int fd_ = -1;
    std::string buffer_;
    std::size_t start_ = 0; // where the unread part of buffer_ begins
    std::int64_t offset_ = 0;
    std::int64_t number_ = 0;
    const char* ending_ = "";
    bool eof_ = false;
    bool utf16_ = false;
};
