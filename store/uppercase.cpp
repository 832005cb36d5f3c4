#include "uppercase.h"

#include <cwctype>

namespace {

// The capitals of the Windows-1252 lower-case letters, as a Unicode locale
// gives them; used where the current locale leaves such a letter unchanged.
char16_t cp1252Capital(char16_t c) {
    if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
        return static_cast<char16_t>(c - 0x20);
    }
    switch (c) {
    case 0x00FF:
        return 0x0178; // ÿ → Ÿ
    case 0x0161:
        return 0x0160; // š → Š
    case 0x0153:
        return 0x0152; // œ → Œ
    case 0x017E:
        return 0x017D; // ž → Ž
    case 0x0192:
        return 0x0191; // ƒ → Ƒ
    case 0x00B5:
        return 0x039C; // µ → Μ
    default:
        return c;
    }
}

} // namespace

char16_t toUpperChar(char16_t c) {
    // Surrogate halves are not characters; towupper would leave them alone anyway.
    if (c >= 0xD800 && c <= 0xDFFF) {
        return c;
    }
    const auto upper = static_cast<wint_t>(std::towupper(static_cast<wint_t>(c)));
    if (upper != c && upper <= 0xFFFF) {
        return static_cast<char16_t>(upper);
    }
    return cp1252Capital(c);
}

std::u16string toUpper(std::u16string_view text) {
    std::u16string upper(text);
    for (char16_t& c : upper) {
        c = toUpperChar(c);
    }
    return upper;
}
