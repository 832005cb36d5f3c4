#include "contacttext.h"

#include <array>
#include <cwchar>

namespace {
const std::u16string kCrLf = u"\r\n";
const std::u16string kRule(20, u'-');
const std::u16string kLabelGap = u":   ";
} // namespace

std::u16string clipboardText(const std::u16string& nome, const std::u16string& numero,
                             const std::u16string& commenti) {
    return kRule + kCrLf + nome + kCrLf + kCrLf + numero + kCrLf + kCrLf + commenti + kCrLf +
           kRule + kCrLf + u" ";
}

std::vector<std::u16string> printTexts(const std::u16string& nome, const std::u16string& numero,
                                       const std::u16string& commenti,
                                       const std::u16string& dateTime) {
    return {
        u"Nome" + kLabelGap + nome + kCrLf,
        u"Numero" + kLabelGap + numero + kCrLf + kCrLf,
        u"Commenti" + kLabelGap + kCrLf + commenti + kCrLf,
        std::u16string(36, u'#') + u" " + dateTime + u" " + std::u16string(5, u'#'),
    };
}

std::u16string dateTimeText(const std::tm& local) {
    const bool midnight = local.tm_hour == 0 && local.tm_min == 0 && local.tm_sec == 0;
    // The wide variant hands back the locale's text already decoded, whatever
    // multibyte encoding the locale uses: one UTF-32 code point per wchar_t.
    std::array<wchar_t, 256> buffer{};
    const std::size_t length =
        std::wcsftime(buffer.data(), buffer.size(), midnight ? L"%x" : L"%x %X", &local);
    std::u16string text;
    for (std::size_t i = 0; i < length; ++i) {
        const auto point = static_cast<char32_t>(buffer[i]);
        if (point < 0x10000) {
            text += static_cast<char16_t>(point);
        } else {
            text += static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10));
            text += static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF));
        }
    }
    return text;
}
