#pragma once

#include "exchange/charset.h"
#include "store/filesystem.h"
#include "store/status.h"

#include <cstdint>
#include <string>
#include <string_view>

// A file read one line at a time through the file-system seam, in blocks:
// a line comes in pieces, so that memory stays the size of a block whatever
// the length of a line. A line ends at LF, CR LF or a lone CR, and, where
// the reader is told so, at CR CR LF as one (as iPhones write vCards; a CSV
// keeps the CR in a field); the end itself is not returned.
//
// The file's own encoding is found at its start: a UTF-8 byte-order mark is
// skipped; UTF-16 and UTF-32, little- or big-endian, with a byte-order mark
// or recognised by the zero bytes of a first character that is ASCII, are
// converted to UTF-8 as they are read. Any other file is passed on as bytes.
class LineReader {
public:
    enum class Encoding { Bytes, Utf8, Utf16Le, Utf16Be, Utf32Le, Utf32Be };
    // Whether CR CR LF is one line end (vCard) or a CR and a line end (CSV).
    enum class CrCrLf { TwoEnds, OneEnd };

    static constexpr std::size_t kBlock = std::size_t{64} << 10;

    // `block`: how much is read at a time (tests read a byte at a time).
    LineReader(FileSystem& fs, CrCrLf crCrLf, std::size_t block = kBlock)
        : fs_(fs), doubleCr_(crCrLf == CrCrLf::OneEnd), block_(block) {}
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    chiamoro::Status open(const std::string& path);

    // The next piece of the current line, or the first of the next one;
    // `ends` says that the line ends after it, `got` is false at the end of
    // the file. The piece is valid until the next call.
    chiamoro::Status next(std::string_view& piece, bool& ends, bool& got);

    // The first byte of what comes next, without taking it, or -1 at the end
    // of the file; skip() takes it.
    chiamoro::Status peek(int& byte);
    void skip() { ++start_; }

    // The number of the line the last piece belongs to, from 1.
    std::int64_t lineNumber() const { return number_; }

    // How the line of the last piece ended: "\r\n" (also for CR CR LF as
    // one), "\n" or "\r"; "" when it ran to the end of the file.
    const char* ending() const { return ending_; }

    // How far the file has been read, of its length at open.
    std::int64_t bytesRead() const { return offset_; }
    std::int64_t size() const { return size_; }

    // What the start of the file said about its encoding.
    Encoding encoding() const { return encoding_; }
    // The text was converted from UTF-16 or UTF-32: it is UTF-8 now.
    bool converted() const { return encoding_ != Encoding::Bytes && encoding_ != Encoding::Utf8; }

private:
    chiamoro::Status read(std::string& raw); // the next block of the file; sets eof_ at the end
    chiamoro::Status fill();                 // adds the next block, converted, to buffer_
    void take(std::string_view raw);

    FileSystem& fs_;
    const bool doubleCr_;
    const std::size_t block_;
    std::string path_;
    int fd_ = -1;
    std::string buffer_;
    std::string raw_;
    std::size_t start_ = 0; // where the unread part of buffer_ begins
    std::int64_t offset_ = 0;
    std::int64_t size_ = 0;
    std::int64_t number_ = 0;
    const char* ending_ = "";
    bool atLineStart_ = true;
    bool eof_ = false;
    Encoding encoding_ = Encoding::Bytes;
    Transcoder transcoder_;
};
