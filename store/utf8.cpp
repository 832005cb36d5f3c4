#include "utf8.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void append(std::u16string& text, char32_t point) {
    if (point < 0x10000) {
        text += static_cast<char16_t>(point);
    } else {
        point -= 0x10000;
        text += static_cast<char16_t>(0xD800 + (point >> 10));
        text += static_cast<char16_t>(0xDC00 + (point & 0x3FF));
    }
}

} // namespace

std::u16string decodeUtf8(std::string_view bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        int extra = 0;
        char32_t point = lead;
        char32_t least = 0;
        if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            point = lead & 0x07;
            least = 0x10000;
        } else if (lead >= 0xE0) {
            extra = lead <= 0xEF ? 2 : -1;
            point = lead & 0x0F;
            least = 0x800;
        } else if (lead >= 0xC2) {
            extra = 1;
            point = lead & 0x1F;
            least = 0x80;
        } else if (lead >= 0x80) {
            extra = -1;
        }
        bool good = extra >= 0 && i + static_cast<std::size_t>(extra) < bytes.size();
        for (int k = 1; good && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
            good = (next & 0xC0) == 0x80;
            point = (point << 6) | (next & 0x3F);
        }
        good = good && point >= least && point <= 0x10FFFF && (point < 0xD800 || point > 0xDFFF);
        if (!good) {
            text += static_cast<char16_t>(kReplacement);
            ++i;
            continue;
        }
        append(text, point);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return text;
}

std::string encodeUtf8(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t point = text[i];
        if (point >= 0xD800 && point <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            point = 0x10000 + ((point - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (point >= 0xD800 && point <= 0xDFFF) {
            point = kReplacement;
        }
        if (point < 0x80) {
            bytes += static_cast<char>(point);
        } else if (point < 0x800) {
            bytes += static_cast<char>(0xC0 | (point >> 6));
            bytes += static_cast<char>(0x80 | (point & 0x3F));
        } else if (point < 0x10000) {
            bytes += static_cast<char>(0xE0 | (point >> 12));
            bytes += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (point & 0x3F));
        } else {
            bytes += static_cast<char>(0xF0 | (point >> 18));
            bytes += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
            bytes += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (point & 0x3F));
        }
    }
    return bytes;
}
