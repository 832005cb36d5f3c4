#include "text.h"

#include "store/codepage.h"
#include "store/utf8.h"

#include <algorithm>

namespace {

bool validUtf8(std::string_view bytes) {
    for (const char byte : bytes) {
        if (static_cast<unsigned char>(byte) >= 0x80) {
            // A byte that is not UTF-8 decodes to U+FFFD, which encodes differently.
            return encodeUtf8(decodeUtf8(bytes)) == bytes;
        }
    }
    return true;
}

} // namespace

std::u16string decodeGuessing(std::string_view bytes) {
    if (std::all_of(bytes.begin(), bytes.end(),
                    [](char byte) { return static_cast<unsigned char>(byte) < 0x80; })) {
        return std::u16string(bytes.begin(), bytes.end()); // ASCII: the same in both
    }
    return validUtf8(bytes) ? decodeUtf8(bytes) : decodeCp1252(bytes);
}

std::u16string normaliseBreaks(std::u16string_view text) {
    if (text.find_first_of(u"\r\n") == std::u16string_view::npos) {
        return std::u16string(text);
    }
    std::u16string normal;
    normal.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' || text[i] == u'\n') {
            normal += u"\r\n";
            if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
        } else {
            normal += text[i];
        }
    }
    return normal;
}

std::u16string oneLine(std::u16string_view text) {
    std::u16string line;
    line.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            continue; // CR LF is one break, one space
        }
        line += text[i] == u'\r' || text[i] == u'\n' ? u' ' : text[i];
    }
    return line;
}

std::u16string lowerCase(std::u16string_view text) {
    std::u16string lower(text);
    for (char16_t& c : lower) {
        if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
            c = static_cast<char16_t>(c + 0x20);
        }
    }
    return lower;
}

std::string upperAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           upperAscii(text.substr(text.size() - suffix.size())) == upperAscii(suffix);
}

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::vector<std::u16string_view> splitAt(std::u16string_view text, std::u16string_view separator,
                                         std::size_t most) {
    std::vector<std::u16string_view> pieces;
    for (std::size_t from = 0; from <= text.size() && pieces.size() < most;) {
        const std::size_t end = std::min(text.find(separator, from), text.size());
        pieces.push_back(text.substr(from, end - from));
        from = end + separator.size();
    }
    return pieces;
}
