#include "books.h"

#include "store/contatto.h"
#include "store/recordfile.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace books {
namespace {

namespace fs = std::filesystem;

// Windows-1252 bytes: 0xF2 is "ò".
constexpr std::array<const char*, 20> kSurnames = {
    "Rossi",   "Russo",  "Ferrari",  "Esposito", "Bianchi",  "Romano",  "Colombo",
    "Ricci",   "Marino", "Greco",    "Bruno",    "Gallo",    "Conti",   "De Luca",
    "Mancini", "Costa",  "Giordano", "Rizzo",    "Lombardi", "Moretti",
};
constexpr std::array<const char*, 17> kGivenNames = {
    "Marco",  "Giulia", "Luca",    "Francesca", "Alessandro", "Chiara",
    "Andrea", "Sara",   "Matteo",  "Elena",     "Davide",     "Martina",
    "Simone", "Anna",   "Stefano", "Laura",     "Nicol\xF2",
};

[[noreturn]] void fail(const std::string& what, const std::string& path) {
    throw std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

void writeAll(int fd, const char* bytes, std::size_t count, const std::string& path) {
    while (count > 0) {
        const ssize_t put = ::write(fd, bytes, count);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail("write", path);
        }
        bytes += put;
        count -= static_cast<std::size_t>(put);
    }
}

void syncAndClose(int fd, const std::string& path) {
    if (::fsync(fd) != 0) {
        fail("fsync", path);
    }
    if (::close(fd) != 0) {
        fail("close", path);
    }
}

bool hasLength(const fs::path& path, std::int64_t length) {
    std::error_code error;
    const auto size = fs::file_size(path, error);
    return !error && static_cast<std::int64_t>(size) == length;
}

void field(std::string& out, const std::string& text, int width) {
    const auto wide = static_cast<std::size_t>(width);
    const std::string cut = text.substr(0, wide);
    out += cut;
    out.append(wide - cut.size(), ' ');
}

} // namespace

std::string number(std::int32_t i) {
    // i -> i * 3141593 mod 10^7 is one-to-one (the factor is prime to 10^7).
    const auto scrambled = static_cast<long long>(i) * 3141593LL % 10000000LL;
    char text[32];
    std::snprintf(text, sizeof text, "+39 3%02d %07lld", static_cast<int>(i % 90 + 10), scrambled);
    return text;
}

std::string record(std::int32_t i, std::int32_t total) {
    const auto pick = [i](auto& list, int step) {
        return std::string(
            list[static_cast<std::size_t>(i) * static_cast<std::size_t>(step) % list.size()]);
    };
    const std::string name =
        i == total ? std::string(kLastName) : pick(kSurnames, 7) + " " + pick(kGivenNames, 3);
    std::string comments;
    switch (i % 4) {
    case 0:
        comments = "Ufficio";
        break;
    case 1:
        comments = "Casa\r\nChiamare dopo le 18";
        break;
    case 2:
        comments = "Cliente n. " + std::to_string(i);
        break;
    default:
        break;
    }
    std::string bytes;
    bytes.reserve(kLunghezzaRecord);
    field(bytes, number(i), kLarghezzaNumero);
    field(bytes, name, kLarghezzaNome);
    field(bytes, comments, kLarghezzaCommenti);
    return bytes;
}

void generate(const std::string& path, std::int32_t records) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        fail("open", path);
    }
    constexpr std::size_t kBlock = std::size_t{1} << 20;
    std::string block;
    block.reserve(kBlock + kLunghezzaRecord);
    for (std::int32_t i = 1; i <= records; ++i) {
        block += record(i, records);
        if (block.size() + kLunghezzaRecord > kBlock) {
            writeAll(fd, block.data(), block.size(), path);
            block.clear();
        }
    }
    writeAll(fd, block.data(), block.size(), path);
    syncAndClose(fd, path);
}

void copyFile(const std::string& from, const std::string& to) {
    const int source = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0) {
        fail("open", from);
    }
    if (::unlink(to.c_str()) != 0 && errno != ENOENT) {
        fail("unlink", to);
    }
    const int target = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (target < 0) {
        fail("open", to);
    }
    std::vector<char> buffer(std::size_t{1} << 20);
    for (;;) {
        const ssize_t got = ::read(source, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail("read", from);
        }
        if (got == 0) {
            break;
        }
        writeAll(target, buffer.data(), static_cast<std::size_t>(got), to);
    }
    ::close(source);
    syncAndClose(target, to);
}

Root::Root() {
    if (const char* given = std::getenv("CHIAMORO_BENCH_DIR"); given != nullptr && *given != '\0') {
        path_ = fs::absolute(given).string();
        if (!fs::is_directory(path_)) {
            throw std::runtime_error("CHIAMORO_BENCH_DIR is not a folder: " + path_);
        }
        return;
    }
    std::string pattern = (fs::temp_directory_path() / "chiamoro-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        fail("mkdtemp", pattern);
    }
    path_ = pattern;
    owned_ = true;
}

Root::~Root() {
    try {
        remove();
    } catch (...) {
        // Nothing more to do when leaving: the folder is in the temporary area.
    }
}

std::string Root::book(std::int32_t records) {
    const fs::path folder = fs::path(path_) / std::to_string(records);
    fs::create_directories(folder);
    const std::int64_t length = std::int64_t{records} * kLunghezzaRecord;
    const fs::path data = folder / kDataFileName;
    if (!hasLength(data, length)) {
        const fs::path original = folder / "Originale.DAT";
        if (!hasLength(original, length)) {
            generate(original.string(), records);
        }
        copyFile(original.string(), data.string());
    }
    return folder.string();
}

void Root::restore(std::int32_t records) {
    const fs::path folder = fs::path(path_) / std::to_string(records);
    copyFile((folder / "Originale.DAT").string(), (folder / kDataFileName).string());
}

void Root::remove() {
    if (!owned_) {
        return;
    }
    owned_ = false;
    std::error_code error;
    fs::current_path(fs::path(path_).parent_path(), error);
    fs::remove_all(path_, error);
}

} // namespace books
