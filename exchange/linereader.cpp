#include "linereader.h"

#include "store/fileio.h"

#include <fcntl.h>
#include <sys/stat.h>

using chiamoro::FileOperation;
using chiamoro::Status;

namespace {

// The encoding the first bytes of a file show, and the length of its byte-order mark.
LineReader::Encoding detect(std::string_view start, std::size_t& mark) {
    using Encoding = LineReader::Encoding;
    const auto at = [&start](std::size_t i) {
        return i < start.size() ? static_cast<unsigned char>(start[i]) : -1;
    };
    const struct {
        std::string_view mark;
        Encoding encoding;
    } marks[] = {
        {"\xEF\xBB\xBF", Encoding::Utf8},
        {std::string_view("\xFF\xFE\0\0", 4), Encoding::Utf32Le},
        {std::string_view("\0\0\xFE\xFF", 4), Encoding::Utf32Be},
        {"\xFF\xFE", Encoding::Utf16Le},
        {"\xFE\xFF", Encoding::Utf16Be},
    };
    for (const auto& m : marks) {
        if (start.starts_with(m.mark)) {
            mark = m.mark.size();
            return m.encoding;
        }
    }
    mark = 0;
    // No mark: a first character in ASCII shows the zero bytes of its code unit.
    if (at(0) > 0 && at(1) == 0 && at(2) == 0 && at(3) == 0) {
        return Encoding::Utf32Le;
    }
    if (at(0) == 0 && at(1) == 0 && at(2) == 0 && at(3) > 0) {
        return Encoding::Utf32Be;
    }
    if (at(0) > 0 && at(1) == 0) {
        return Encoding::Utf16Le;
    }
    if (at(0) == 0 && at(1) > 0) {
        return Encoding::Utf16Be;
    }
    return Encoding::Bytes;
}

const char* iconvName(LineReader::Encoding encoding) {
    switch (encoding) {
    case LineReader::Encoding::Utf16Le:
        return "UTF-16LE";
    case LineReader::Encoding::Utf16Be:
        return "UTF-16BE";
    case LineReader::Encoding::Utf32Le:
        return "UTF-32LE";
    case LineReader::Encoding::Utf32Be:
        return "UTF-32BE";
    default:
        return nullptr;
    }
}

// The first CR or LF of `text` from `from` on, or npos.
std::size_t lineEnd(const std::string& text, std::size_t from) {
    for (std::size_t i = from; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            return i;
        }
    }
    return std::string::npos;
}

} // namespace

LineReader::~LineReader() {
    if (fd_ >= 0) {
        fs_.close(fd_); // only read from: nothing to lose
    }
}

Status LineReader::open(const std::string& path) {
    path_ = path;
    // Without waiting on a pipe: what is read at offsets is a regular file.
    fd_ = fs_.open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0);
    if (fd_ < 0) {
        return Status::failure(FileOperation::Open, path_, errno);
    }
    struct stat info {};
    if (fs_.fstat(fd_, &info) != 0) {
        return Status::failure(FileOperation::Stat, path_, errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return notRegularFile(FileOperation::Open, path_, info);
    }
    size_ = info.st_size;
    // Enough of the start to see a byte-order mark, however small the blocks.
    std::string start;
    while (start.size() < 4 && !eof_) {
        if (Status status = read(raw_); !status.ok()) {
            return status;
        }
        start += raw_;
    }
    std::size_t mark = 0;
    encoding_ = detect(start, mark);
    if (const char* name = iconvName(encoding_); name != nullptr) {
        if (!transcoder_.open(name)) {
            return Status::failure(FileOperation::Read, path_, errno);
        }
    }
    take(std::string_view(start).substr(mark));
    return Status::success();
}

Status LineReader::read(std::string& raw) {
    raw.resize(block_);
    const ssize_t got = readFully(fs_, fd_, raw.data(), block_, offset_);
    if (got < 0) {
        raw.clear();
        return Status::failure(FileOperation::Read, path_, errno);
    }
    raw.resize(static_cast<std::size_t>(got));
    offset_ += got;
    eof_ = static_cast<std::size_t>(got) < block_;
    return Status::success();
}

void LineReader::take(std::string_view raw) {
    if (transcoder_.isOpen()) {
        transcoder_.convert(raw, eof_, buffer_);
    } else {
        buffer_.append(raw);
    }
}

Status LineReader::fill() {
    // Keep only the unread part, then add a block after it.
    buffer_.erase(0, start_);
    start_ = 0;
    if (Status status = read(raw_); !status.ok()) {
        return status;
    }
    take(raw_);
    return Status::success();
}

Status LineReader::peek(int& byte) {
    while (start_ == buffer_.size() && !eof_) {
        if (Status status = fill(); !status.ok()) {
            return status;
        }
    }
    byte = start_ < buffer_.size() ? static_cast<unsigned char>(buffer_[start_]) : -1;
    return Status::success();
}

Status LineReader::next(std::string_view& piece, bool& ends, bool& got) {
    got = false;
    for (;;) {
        const std::size_t end = lineEnd(buffer_, start_);
        if (end == std::string::npos) {
            const std::size_t unread = buffer_.size() - start_;
            if (!eof_ && (unread == 0 || unread < block_ / 2)) {
                // Nothing, or too little to be worth a piece of its own: read on first.
                if (Status status = fill(); !status.ok()) {
                    return status;
                }
                continue;
            }
            if (unread == 0 && atLineStart_) {
                return Status::success(); // the end of the file, after a line end
            }
            piece = std::string_view(buffer_).substr(start_);
            start_ = buffer_.size();
            ends = eof_; // a last line without a line end ends with the file
            ending_ = "";
        } else {
            // A CR may be the first of CR LF or of CR CR LF: see what follows it.
            const auto after = [this, end](std::size_t i) {
                return end + i < buffer_.size() ? buffer_[end + i] : '\0';
            };
            const bool undecided = buffer_[end] == '\r' && !eof_ &&
                                   (end + 1 == buffer_.size() ||
                                    (doubleCr_ && after(1) == '\r' && end + 2 == buffer_.size()));
            if (undecided) {
                if (end > start_) {
                    piece = std::string_view(buffer_).substr(start_, end - start_);
                    start_ = end;
                    ends = false;
                } else {
                    if (Status status = fill(); !status.ok()) {
                        return status;
                    }
                    continue;
                }
            } else {
                std::size_t length = 1;
                ending_ = "\n";
                if (buffer_[end] == '\r') {
                    length = after(1) == '\n'                                    ? 2
                             : doubleCr_ && after(1) == '\r' && after(2) == '\n' ? 3
                                                                                 : 1;
                    ending_ = length == 1 ? "\r" : "\r\n";
                }
                piece = std::string_view(buffer_).substr(start_, end - start_);
                start_ = end + length;
                ends = true;
            }
        }
        got = true;
        if (atLineStart_) {
            ++number_;
        }
        atLineStart_ = ends;
        return Status::success();
    }
}
