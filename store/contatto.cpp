#include "contatto.h"

#include "codepage.h"

std::u16string fitField(std::u16string_view text, std::size_t width) {
    std::u16string field(text.substr(0, width));
    field.resize(width, u' ');
    return field;
}

std::u16string trimSpaces(std::u16string_view text) {
    const auto first = text.find_first_not_of(u' ');
    if (first == std::u16string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(u' ');
    return std::u16string(text.substr(first, last - first + 1));
}

void encodeRecord(const Contatto& record, char* bytes) {
    const auto put = [bytes](const std::u16string& text, int offset, int width) {
        const std::u16string field = fitField(text, static_cast<std::size_t>(width));
        for (int i = 0; i < width; ++i) {
            bytes[offset + i] = static_cast<char>(encodeCp1252(field[static_cast<std::size_t>(i)]));
        }
    };
    put(record.Numero, kOffsetNumero, kLarghezzaNumero);
    put(record.Nome, kOffsetNome, kLarghezzaNome);
    put(record.Commenti, kOffsetCommenti, kLarghezzaCommenti);
}

Contatto decodeRecord(const char* bytes) {
    const auto get = [bytes](int offset, int width) {
        return decodeCp1252(std::string_view(bytes + offset, static_cast<std::size_t>(width)));
    };
    return {get(kOffsetNumero, kLarghezzaNumero), get(kOffsetNome, kLarghezzaNome),
            get(kOffsetCommenti, kLarghezzaCommenti)};
}
