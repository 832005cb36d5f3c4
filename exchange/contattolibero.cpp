#include "contattolibero.h"

#include "exchange/text.h"
#include "store/codepage.h"
#include "store/utf8.h"

#include <algorithm>

namespace {

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
