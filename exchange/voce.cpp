#include "voce.h"

#include "store/codepage.h"
#include "store/utf8.h"

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

bool isSurrogatePair(std::u16string_view text, std::size_t i) {
    return i + 1 < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF && text[i + 1] >= 0xDC00 &&
           text[i + 1] <= 0xDFFF;
}

std::u16string fit(Field field, std::u16string_view text, int width,
                   std::vector<FieldChange>& changes) {
    const std::u16string trimmed = trimSpaces(text);
    const auto wide = static_cast<std::size_t>(width);
    const std::u16string stored = fitField(trimmed, wide);
    FieldChange change{field, trimmed.size() > wide ? trimmed.size() : 0, {}};
    const std::u16string_view kept = std::u16string_view(stored).substr(0, trimmed.size());
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

bool blank(const Voce& voce) {
    return trimSpaces(voce.numero).empty() && trimSpaces(voce.nome).empty() &&
           trimSpaces(voce.commenti).empty();
}

Voce fromRecord(const Contatto& record) {
    return {trimSpaces(record.Numero), trimSpaces(record.Nome), trimSpaces(record.Commenti)};
}

Contatto toRecord(const Voce& voce, std::vector<FieldChange>& changes) {
    return {fit(Field::Numero, oneLine(voce.numero), kLarghezzaNumero, changes),
            fit(Field::Nome, oneLine(voce.nome), kLarghezzaNome, changes),
            fit(Field::Commenti, voce.commenti, kLarghezzaCommenti, changes)};
}

std::u16string decodeGuessing(std::string_view bytes) {
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
