#pragma once

#include <cstddef>
#include <iconv.h>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Character sets other than UTF-8 and Windows-1252, through the C library's
// iconv: whatever it knows (ISO-8859-15, ISO-8859-2, Shift_JIS, UTF-16, ...).

// Converts a stream of bytes from one character set to another, a block at a
// time: a character split between two blocks is kept for the next one. A byte
// sequence that is not in the source set becomes U+FFFD.
class Transcoder {
public:
    Transcoder() = default;
    ~Transcoder();
    Transcoder(const Transcoder&) = delete;
    Transcoder& operator=(const Transcoder&) = delete;

    // To UTF-8; false when the C library does not know the name.
    bool open(const char* from);
    bool isOpen() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Appends the conversion of `bytes` to `out`. With `last`, the stream
    // ends here: an unfinished character becomes U+FFFD.
    void convert(std::string_view bytes, bool last, std::string& out);

private:
    iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
    std::string carry_;    // the start of a character the next block finishes
    std::size_t unit_ = 1; // the source's code unit, skipped over a bad sequence
};

// The texts of values in named character sets, as vCard 2.1's CHARSET names
// them. Converters are kept for the few names a file uses.
class Charsets {
public:
    // `bytes` in the character set `name`, in any case; nothing when the C
    // library does not know the name. UTF-8 is strict here (a bad byte is
    // U+FFFD); ISO-8859-1 is read as Windows-1252, its superset in practice.
    std::optional<std::u16string> decode(std::string_view name, std::string_view bytes);

private:
    static constexpr std::size_t kKept = 8;
    struct Known {
        std::string name;
        std::unique_ptr<Transcoder> transcoder; // null: a name iconv does not know
    };
    std::vector<Known> known_; // the most recently used last
};
