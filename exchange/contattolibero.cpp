#include "contattolibero.h"

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

bool isSurrogatePair(std::u16string_view text, std::size_t i) {
    return i + 1 < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF && text[i + 1] >= 0xDC00 &&
           text[i + 1] <= 0xDFFF;
}

// `text` is trimmed already; `size` is how long the whole of it was.
std::u16string fit(Campo field, std::u16string_view text, TextLength size, int width,
                   std::vector<FieldChange>& changes) {
    const auto wide = static_cast<std::size_t>(width);
    const std::u16string stored = fitField(text, wide);
    const std::size_t length = std::max(size.length, text.size());
    FieldChange change{field, length > wide || size.atLeast ? length : 0, size.atLeast, {}};
    const std::u16string_view kept = std::u16string_view(stored).substr(0, text.size());
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (kept[i] < 0x80 || encodeCp1252(kept[i]) != '?') {
            continue;
        }
        // A character beyond the first 65,536 is two code units, two '?'.
        const std::size_t units = isSurrogatePair(kept, i) ? 2 : 1;
        const std::u16string_view character = kept.substr(i, units);
        if (change.replaced.find(character) == std::u16string::npos) {
            change.replaced += character;
        }
        i += units - 1;
    }
    if (change.length > 0 || !change.replaced.empty()) {
        changes.push_back(std::move(change));
    }
    return stored;
}

} // namespace

HeldText::HeldText(std::u16string_view whole, bool atLeast)
    : text(whole.substr(0, kHeldUnits)), size{whole.size(), atLeast} {}

void HeldText::append(std::u16string_view more) {
    append(HeldText(more));
}

void HeldText::append(const HeldText& more) {
    // Only after a text held whole: a cut one would get a gap in the middle.
    if (text.size() == size.length && !size.atLeast && text.size() < kHeldUnits) {
        text.append(more.text, 0, kHeldUnits - text.size());
    }
    size.length += more.size.length;
    size.atLeast = size.atLeast || more.size.atLeast;
}

bool blank(const ContattoLibero& contatto) {
    return trimSpaces(contatto.numero).empty() && trimSpaces(contatto.nome).empty() &&
           trimSpaces(contatto.commenti).empty();
}

ContattoLibero fromRecord(const Contatto& record) {
    return {trimSpaces(record.Numero), trimSpaces(record.Nome), trimSpaces(record.Commenti)};
}

Contatto toRecord(const ReadContact& contact, std::vector<FieldChange>& changes) {
    const ContattoLibero& contatto = contact.contatto;
    const auto size = [&contact](Campo field) {
        return contact.lengths[static_cast<std::size_t>(field)];
    };
    const std::u16string numero = trimSpaces(oneLine(contatto.numero));
    const std::u16string nome = trimSpaces(oneLine(contatto.nome));
    const std::u16string commenti = trimSpaces(contatto.commenti);
    return {fit(Campo::Numero, numero, size(Campo::Numero), kLarghezzaNumero, changes),
            fit(Campo::Nome, nome, size(Campo::Nome), kLarghezzaNome, changes),
            fit(Campo::Commenti, commenti, size(Campo::Commenti), kLarghezzaCommenti, changes)};
}

Contatto toRecord(const ContattoLibero& contatto, std::vector<FieldChange>& changes) {
    return toRecord(ReadContact{contatto, {}}, changes);
}

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
