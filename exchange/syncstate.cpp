#include "syncstate.h"

#include "exchange/linereader.h"
#include "store/fileio.h"
#include "store/replacement.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <ctime>
#include <string_view>

using chiamoro::Status;

namespace {

constexpr std::string_view kFormatLine = "Chiamoro sincronizzazione 1";
constexpr std::string_view kFolderKey = "cartella";
constexpr std::size_t kLongestLine = std::size_t{64} << 10;
constexpr std::size_t kWriteBlock = std::size_t{64} << 10;

void putEscaped(std::string& out, std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '\\') {
            out += "\\x";
            out += digits[byte >> 4];
            out += digits[byte & 0xF];
        } else {
            out += c;
        }
    }
}

int hexValue(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                  : -1;
}

bool unescape(std::string_view text, std::string& bytes) {
    bytes.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
            continue;
        }
        if (i + 3 >= text.size() || text[i + 1] != 'x' || hexValue(text[i + 2]) < 0 ||
            hexValue(text[i + 3]) < 0) {
            return false;
        }
        bytes += static_cast<char>(hexValue(text[i + 2]) * 16 + hexValue(text[i + 3]));
        i += 3;
    }
    return true;
}

template <typename Number> bool parseNumber(std::string_view text, Number& value, int base = 10) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc() && end == text.data() + text.size();
}

std::vector<std::string_view> fields(std::string_view line, char separator) {
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        if (i == line.size() || line[i] == separator) {
            parts.push_back(line.substr(from, i - from));
            from = i + 1;
        }
    }
    return parts;
}

bool parseRecord(std::string_view text, StoredRecord& record) {
    std::string bytes;
    if (!unescape(text, bytes) || bytes.size() != kLunghezzaRecord) {
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), record.bytes());
    return true;
}

bool parseEntry(std::string_view line, SyncEntry& entry) {
    const auto parts = fields(line, '\t');
    // A card's name is a name in the folder, never a path out of it.
    if (parts.size() != 5 || !unescape(parts[0], entry.file) || entry.file.empty() ||
        entry.file[0] == '.' || entry.file.find('/') != std::string::npos ||
        entry.file.find('\0') != std::string::npos || !unescape(parts[1], entry.uid)) {
        return false;
    }
    const auto numbers = fields(parts[2], ' ');
    Fingerprint& print = entry.fingerprint;
    if (numbers.size() != 4 || !parseNumber(numbers[0], print.size) ||
        !parseNumber(numbers[1], print.modified) || !parseNumber(numbers[2], print.inode) ||
        !parseNumber(numbers[3], print.hash, 16)) {
        return false;
    }
    if (!parseRecord(parts[3], entry.book)) {
        return false;
    }
    if (parts[4] == "=") {
        entry.card = entry.book;
        return true;
    }
    return parseRecord(parts[4], entry.card);
}

void putRecord(std::string& out, const StoredRecord& record) {
    putEscaped(out, std::string_view(record.bytes(), kLunghezzaRecord));
}

} // namespace

bool Fingerprint::sameFile(const struct stat& info) const {
    return size == info.st_size && inode == info.st_ino &&
           modified == std::int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
}

Fingerprint Fingerprint::of(const struct stat& info, std::uint64_t hash) {
    Fingerprint print{info.st_size,
                      std::int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec,
                      info.st_ino, hash};
    // The system's clock for file times ticks in milliseconds: a file changed
    // again within the same tick, to the same size, would keep all three. A
    // time that recent is not trusted (as git does with its index): the next
    // sync reads the file and compares its text.
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    if (print.modified > (std::int64_t{now.tv_sec} - 2) * 1000000000 + now.tv_nsec) {
        print.modified = -1;
    }
    return print;
}

Status readSyncState(FileSystem& fs, const std::string& path, SyncState& state,
                     std::int64_t& badLine) {
    state = SyncState{};
    badLine = 0;
    struct stat info {};
    if (fs.lstat(path.c_str(), &info) != 0) {
        return errno == ENOENT ? Status::success()
                               : Status::failure(chiamoro::FileOperation::Stat, path, errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return notRegularFile(chiamoro::FileOperation::Open, path, info);
    }
    LineReader lines(fs, LineReader::CrCrLf::TwoEnds);
    if (Status status = lines.open(path); !status.ok()) {
        return status;
    }
    std::string line;
    for (;;) {
        std::string_view piece;
        bool ends = false;
        bool got = false;
        if (Status status = lines.next(piece, ends, got); !status.ok()) {
            return status;
        }
        if (!got) {
            break;
        }
        line.append(piece);
        const std::int64_t number = lines.lineNumber();
        if (line.size() > kLongestLine) {
            badLine = number;
            return Status::success();
        }
        if (!ends) {
            continue;
        }
        bool good = true;
        if (number == 1) {
            good = line == kFormatLine;
        } else if (number == 2) {
            const auto parts = fields(line, '\t');
            good = parts.size() == 2 && parts[0] == kFolderKey &&
                   unescape(parts[1], state.folder) && !state.folder.empty();
        } else {
            SyncEntry entry;
            good = parseEntry(line, entry);
            state.entries.push_back(std::move(entry));
        }
        if (!good) {
            badLine = number;
            return Status::success();
        }
        line.clear();
    }
    if (lines.lineNumber() < 2) {
        badLine = lines.lineNumber() + 1;
    }
    return Status::success();
}

Status writeSyncState(FileSystem& fs, const std::string& path, const std::string& scratch,
                      const SyncState& state) {
    Replacement replacement(fs);
    if (Status status = replacement.begin(path, scratch); !status.ok()) {
        return status;
    }
    std::string text;
    std::int64_t written = 0;
    const auto flush = [&]() {
        Status status = replacement.write(text.data(), text.size(), written);
        written += static_cast<std::int64_t>(text.size());
        text.clear();
        return status;
    };
    text.append(kFormatLine);
    text += '\n';
    text.append(kFolderKey);
    text += '\t';
    putEscaped(text, state.folder);
    text += '\n';
    static const char digits[] = "0123456789abcdef";
    for (const SyncEntry& entry : state.entries) {
        putEscaped(text, entry.file);
        text += '\t';
        putEscaped(text, entry.uid);
        text += '\t';
        const Fingerprint& print = entry.fingerprint;
        text += std::to_string(print.size) + ' ' + std::to_string(print.modified) + ' ' +
                std::to_string(print.inode) + ' ';
        for (int shift = 60; shift >= 0; shift -= 4) {
            text += digits[(print.hash >> shift) & 0xF];
        }
        text += '\t';
        putRecord(text, entry.book);
        text += '\t';
        if (entry.card == entry.book) {
            text += '=';
        } else {
            putRecord(text, entry.card);
        }
        text += '\n';
        if (text.size() >= kWriteBlock) {
            if (Status status = flush(); !status.ok()) {
                return status;
            }
        }
    }
    if (Status status = flush(); !status.ok()) {
        return status;
    }
    return replacement.commit();
}
