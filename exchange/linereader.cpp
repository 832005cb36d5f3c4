#include "linereader.h"

#include "store/fileio.h"

#include <fcntl.h>

namespace {

constexpr std::size_t kBlock = std::size_t{64} << 10;

// The first CR or LF from `from` on, or npos.
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
    fd_ = fs_.open(path_.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd_ < 0) {
        return Status::failure(FileOperation::Open, path_, errno);
    }
    if (Status status = fill(); !status.ok()) {
        return status;
    }
    if (buffer_.starts_with("\xEF\xBB\xBF")) {
        start_ = 3;
    }
    utf16_ = buffer_.starts_with("\xFF\xFE") || buffer_.starts_with("\xFE\xFF");
    return Status::success();
}

Status LineReader::fill() {
    // Keep only the unread part, then add a block after it.
    buffer_.erase(0, start_);
    start_ = 0;
    const std::size_t kept = buffer_.size();
    buffer_.resize(kept + kBlock);
    const ssize_t got = readFully(fs_, fd_, buffer_.data() + kept, kBlock, offset_);
    if (got < 0) {
        buffer_.resize(kept);
        return Status::failure(FileOperation::Read, path_, errno);
    }
    buffer_.resize(kept + static_cast<std::size_t>(got));
    offset_ += got;
    eof_ = static_cast<std::size_t>(got) < kBlock;
    return Status::success();
}

Status LineReader::next(std::string& line, bool& got) {
    got = false;
    std::size_t searched = start_;
    for (;;) {
        const std::size_t end = lineEnd(buffer_, searched);
        // A CR at the very end of what is read may be the first half of CR LF.
        const bool undecided =
            end != std::string::npos && buffer_[end] == '\r' && end + 1 == buffer_.size() && !eof_;
        if (end != std::string::npos && !undecided) {
            line.assign(buffer_, start_, end - start_);
            const bool crlf =
                buffer_[end] == '\r' && end + 1 < buffer_.size() && buffer_[end + 1] == '\n';
            ending_ = crlf ? "\r\n" : buffer_[end] == '\r' ? "\r" : "\n";
            start_ = end + (crlf ? 2 : 1);
            break;
        }
        if (eof_) {
            if (start_ == buffer_.size()) {
                return Status::success();
            }
            line.assign(buffer_, start_);
            start_ = buffer_.size();
            ending_ = "";
            break;
        }
        const std::size_t unread = buffer_.size() - start_;
        if (Status status = fill(); !status.ok()) {
            return status;
        }
        searched = unread == 0 ? 0 : (undecided ? unread - 1 : unread);
    }
    got = true;
    ++number_;
    return Status::success();
}
