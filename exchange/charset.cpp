#include "charset.h"

#include "exchange/contattolibero.h"
#include "store/codepage.h"
#include "store/utf8.h"

#include <algorithm>
#include <cerrno>

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD in UTF-8

// Longer names are no character set's.
constexpr std::size_t kLongestName = 64;

} // namespace

Transcoder::~Transcoder() {
    if (isOpen()) {
        ::iconv_close(cd_);
    }
}

bool Transcoder::open(const char* from) {
    cd_ = ::iconv_open("UTF-8", from);
    const std::string name = upperAscii(from);
    unit_ = name.starts_with("UTF-16") || name.starts_with("UCS-2")   ? 2
            : name.starts_with("UTF-32") || name.starts_with("UCS-4") ? 4
                                                                      : 1;
    return isOpen();
}

void Transcoder::convert(std::string_view bytes, bool last, std::string& out) {
    std::string joined;
    std::string_view input = bytes;
    if (!carry_.empty()) {
        joined = std::move(carry_);
        carry_.clear();
        joined.append(bytes);
        input = joined;
    }
    char* in = const_cast<char*>(input.data()); // iconv does not write through it
    std::size_t left = input.size();
    char buffer[4096];
    while (left > 0) {
        char* put = buffer;
        std::size_t room = sizeof buffer;
        const std::size_t done = ::iconv(cd_, &in, &left, &put, &room);
        out.append(buffer, static_cast<std::size_t>(put - buffer));
        if (done != static_cast<std::size_t>(-1) || errno == E2BIG) {
            continue;
        }
        if (errno == EINVAL && !last) {
            carry_.assign(in, left); // a character the next block finishes
            break;
        }
        // Not a character of the source set, or one cut short by the end.
        out += kReplacement;
        const std::size_t skip = errno == EINVAL ? left : std::min(unit_, left);
        in += skip;
        left -= skip;
    }
    if (last) {
        char* put = buffer;
        std::size_t room = sizeof buffer;
        ::iconv(cd_, nullptr, nullptr, &put, &room); // back to the initial state
        out.append(buffer, static_cast<std::size_t>(put - buffer));
    }
}

std::optional<std::u16string> Charsets::decode(std::string_view name, std::string_view bytes) {
    const std::string upper = upperAscii(name);
    if (upper == "UTF-8" || upper == "UTF8") {
        return decodeUtf8(bytes);
    }
    if (upper == "ISO-8859-1" || upper == "ISO8859-1" || upper == "LATIN1" ||
        upper == "WINDOWS-1252" || upper == "CP1252" || upper == "US-ASCII" || upper == "ASCII") {
        return decodeCp1252(bytes);
    }
    if (upper.size() > kLongestName) {
        return std::nullopt;
    }
    auto known = std::find_if(known_.begin(), known_.end(),
                              [&upper](const Known& k) { return k.name == upper; });
    if (known == known_.end()) {
        if (known_.size() == kKept) {
            known_.erase(known_.begin()); // the least recently used
        }
        auto transcoder = std::make_unique<Transcoder>();
        if (!transcoder->open(upper.c_str())) {
            transcoder.reset();
        }
        known_.push_back({upper, std::move(transcoder)});
        known = known_.end() - 1;
    } else {
        std::rotate(known, known + 1, known_.end()); // now the most recently used
        known = known_.end() - 1;
    }
    if (!known->transcoder) {
        return std::nullopt;
    }
    std::string utf8;
    known->transcoder->convert(bytes, true, utf8);
    return decodeUtf8(utf8);
}
