#include "vcard.h"

#include "store/codepage.h"
#include "store/utf8.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// RFC 2426 and 6350: lines of at most 75 octets, not counting CR LF.
constexpr std::size_t kLineOctets = 75;

std::string upperAscii(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return upper;
}

std::string trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

// --- Writing ----------------------------------------------------------------

std::string escaped(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        switch (text[i]) {
        case u'\\':
            out += u"\\\\";
            break;
        case u',':
            out += u"\\,";
            break;
        case u';':
            out += u"\\;";
            break;
        case u'\r':
            if (i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
            out += u"\\n";
            break;
        case u'\n':
            out += u"\\n";
            break;
        default:
            out += text[i];
        }
    }
    return encodeUtf8(out);
}

void putLine(std::string& card, const std::string& line) {
    std::size_t at = 0;
    std::size_t room = kLineOctets;
    while (line.size() - at > room) {
        std::size_t cut = at + room;
        // Never between the bytes of one character.
        while (cut > at && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        card.append(line, at, cut - at);
        card += "\r\n "; // the continuation's leading space is part of its 75
        at = cut;
        room = kLineOctets - 1;
    }
    card.append(line, at);
    card += "\r\n";
}

// --- Reading ----------------------------------------------------------------

struct Property {
    std::string name;                                        // upper case, without its group
    std::vector<std::pair<std::string, std::string>> params; // upper case
    std::string_view value;                                  // in the line being read

    std::string param(std::string_view key) const {
        for (const auto& [k, v] : params) {
            if (k == key) {
                return v;
            }
        }
        return {};
    }
};

// Splits at `separator` outside double quotes.
std::vector<std::string_view> splitOutsideQuotes(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    bool quoted = false;
    std::size_t from = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            quoted = !quoted;
        } else if (text[i] == separator && !quoted) {
            parts.push_back(text.substr(from, i - from));
            from = i + 1;
        }
    }
    parts.push_back(text.substr(from));
    return parts;
}

std::optional<Property> parse(std::string_view line) {
    bool quoted = false;
    std::size_t colon = std::string_view::npos;
    for (std::size_t i = 0; i < line.size() && colon == std::string_view::npos; ++i) {
        if (line[i] == '"') {
            quoted = !quoted;
        } else if (line[i] == ':' && !quoted) {
            colon = i;
        }
    }
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    Property property;
    property.value = line.substr(colon + 1);
    const auto parts = splitOutsideQuotes(line.substr(0, colon), ';');
    std::string_view name = parts.front();
    if (const auto dot = name.rfind('.'); dot != std::string_view::npos) {
        name.remove_prefix(dot + 1);
    }
    property.name = upperAscii(trimBlanks(name));
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::string part = upperAscii(trimBlanks(parts[i]));
        const auto equals = part.find('=');
        if (equals != std::string::npos) {
            std::string value = part.substr(equals + 1);
            std::erase(value, '"');
            property.params.emplace_back(part.substr(0, equals), value);
        } else if (part == "QUOTED-PRINTABLE" || part == "BASE64" || part == "8BIT") {
            property.params.emplace_back("ENCODING", part); // 2.1 names it bare
        } else {
            property.params.emplace_back("TYPE", part); // 2.1: "TEL;CELL;PREF:"
        }
    }
    return property;
}

bool quotedPrintable(std::string_view line) {
    const auto colon = line.find(':');
    return upperAscii(line.substr(0, colon)).find("QUOTED-PRINTABLE") != std::string::npos;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

std::string decodeQuotedPrintable(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '=' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 &&
            hexDigit(text[i + 2]) >= 0) {
            bytes += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    return bytes;
}

// A value's bytes as text, through its ENCODING and CHARSET; nothing for a
// binary (base64) value.
std::optional<std::u16string> decodeValue(const Property& property, std::string_view raw) {
    std::string bytes(raw);
    const std::string encoding = property.param("ENCODING");
    if (encoding == "QUOTED-PRINTABLE") {
        bytes = decodeQuotedPrintable(bytes);
    } else if (encoding == "B" || encoding == "BASE64") {
        return std::nullopt;
    }
    const std::string charset = property.param("CHARSET");
    if (charset == "UTF-8") {
        return decodeUtf8(bytes);
    }
    if (charset == "ISO-8859-1" || charset == "WINDOWS-1252" || charset == "CP1252") {
        return decodeCp1252(bytes);
    }
    return decodeGuessing(bytes);
}

// Backslash escapes of text values: \n is a line break, \\ \, \; \: the character.
std::u16string unescaped(std::u16string_view text) {
    if (text.find(u'\\') == std::u16string_view::npos) {
        return normaliseBreaks(text);
    }
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char16_t next = text[++i];
        if (next == u'n' || next == u'N') {
            out += u"\r\n";
        } else if (next == u'\\' || next == u',' || next == u';' || next == u':') {
            out += next;
        } else {
            out += u'\\';
            out += next;
        }
    }
    return normaliseBreaks(out);
}

std::optional<std::u16string> text(const Property& property, std::string_view raw) {
    const auto decoded = decodeValue(property, raw);
    if (!decoded) {
        return std::nullopt;
    }
    return unescaped(*decoded);
}

// N: family; given; additional; prefixes; suffixes. The name as it is said:
// prefixes, given, additional, family, suffixes.
std::u16string nameFromParts(const Property& property) {
    std::vector<std::string_view> parts;
    std::string_view value = property.value;
    std::size_t from = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\') {
            ++i;
        } else if (value[i] == ';') {
            parts.push_back(value.substr(from, i - from));
            from = i + 1;
        }
    }
    parts.push_back(value.substr(from));
    parts.resize(std::max<std::size_t>(parts.size(), 5));
    std::u16string name;
    for (const std::size_t i : {3, 1, 2, 0, 4}) {
        const std::u16string part = trimSpaces(text(property, parts[i]).value_or(u""));
        if (!part.empty()) {
            name += name.empty() ? part : u" " + part;
        }
    }
    return name;
}

bool preferred(const Property& property) {
    for (const auto& [key, value] : property.params) {
        if (key == "PREF") {
            return true; // 4.0: PREF=1
        }
        if (key == "TYPE") {
            for (const auto type : splitOutsideQuotes(value, ',')) {
                if (type == "PREF") {
                    return true;
                }
            }
        }
    }
    return false;
}

std::u16string phoneNumber(const Property& property) {
    std::u16string number = trimSpaces(text(property, property.value).value_or(u""));
    // 4.0 may give it as a URI.
    if (number.size() >= 4 && (number[0] | 0x20) == u't' && (number[1] | 0x20) == u'e' &&
        (number[2] | 0x20) == u'l' && number[3] == u':') {
        number.erase(0, 4);
    }
    return number;
}

// The card being read.
struct Card {
    std::int64_t begun = 0;
    std::optional<std::u16string> formatted; // FN
    std::u16string fromParts;                // N
    std::vector<std::u16string> numbers;
    std::size_t chosen = 0; // the number that becomes the record's
    bool chosenPreferred = false;
    std::u16string notes;

    void take(const Property& property) {
        if (property.name == "FN" && !formatted) {
            formatted = text(property, property.value);
        } else if (property.name == "N" && fromParts.empty()) {
            fromParts = nameFromParts(property);
        } else if (property.name == "TEL") {
            std::u16string number = phoneNumber(property);
            if (number.empty()) {
                return;
            }
            if (preferred(property) && !chosenPreferred) {
                chosen = numbers.size();
                chosenPreferred = true;
            }
            numbers.push_back(std::move(number));
        } else if (property.name == "NOTE") {
            if (const auto note = text(property, property.value); note && !note->empty()) {
                notes += notes.empty() ? *note : u"\r\n" + *note;
            }
        }
    }

    // The other numbers open the comments, one a line, as the comments box
    // asks for secondary numbers.
    Voce voce() const {
        const std::u16string name = trimSpaces(formatted.value_or(u""));
        Voce voce{numbers.empty() ? u"" : numbers[chosen], name.empty() ? fromParts : name, {}};
        for (std::size_t i = 0; i < numbers.size(); ++i) {
            if (i != chosen) {
                voce.commenti += numbers[i] + u"\r\n";
            }
        }
        voce.commenti += notes;
        if (notes.empty() && !voce.commenti.empty()) {
            voce.commenti.resize(voce.commenti.size() - 2);
        }
        return voce;
    }
};

bool isBlank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

} // namespace

std::string vcardOf(const Voce& voce) {
    std::string card = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    // N and FN both hold the whole name: the record does not split it.
    const std::string name = escaped(voce.nome);
    putLine(card, "N:" + name + ";;;;");
    putLine(card, "FN:" + name);
    if (!voce.numero.empty()) {
        putLine(card, "TEL:" + escaped(voce.numero));
    }
    if (!voce.commenti.empty()) {
        putLine(card, "NOTE:" + escaped(voce.commenti));
    }
    card += "END:VCARD\r\n";
    return card;
}

Status VCardReader::logicalLine(std::string& line, std::int64_t& number, bool& got) {
    got = havePending_;
    if (!havePending_) {
        if (Status status = lines_.next(pending_, got); !status.ok() || !got) {
            return status;
        }
        pendingNumber_ = lines_.lineNumber();
    }
    std::swap(line, pending_); // both keep their room for the next lines
    number = pendingNumber_;
    havePending_ = false;
    for (;;) {
        bool more = false;
        if (Status status = lines_.next(pending_, more); !status.ok() || !more) {
            return status;
        }
        if (!line.empty() && line.back() == '=' && quotedPrintable(line)) {
            line.pop_back(); // a soft line break of quoted-printable
            line += pending_;
        } else if (!pending_.empty() && (pending_[0] == ' ' || pending_[0] == '\t')) {
            line.append(pending_, 1); // folded
        } else {
            havePending_ = true;
            pendingNumber_ = lines_.lineNumber();
            return Status::success();
        }
    }
}

Status VCardReader::next(Voce& voce, bool& got, InputProblem& problem) {
    got = false;
    Card card;
    int depth = 0;
    std::string line;
    for (;;) {
        std::int64_t number = 0;
        bool more = false;
        if (Status status = logicalLine(line, number, more); !status.ok()) {
            return status;
        }
        if (!more) {
            if (depth > 0) {
                problem = {InputProblem::Kind::UnterminatedCard, card.begun};
            }
            return Status::success();
        }
        if (isBlank(line)) {
            continue;
        }
        const std::optional<Property> property = parse(line);
        const bool begin = property && property->name == "BEGIN";
        const bool end = property && property->name == "END";
        if (depth == 0) {
            if (begin && upperAscii(trimBlanks(property->value)) == "VCARD") {
                depth = 1;
                card.begun = number;
                continue;
            }
            problem = {end ? InputProblem::Kind::StrayEnd : InputProblem::Kind::OutsideCard,
                       number};
            return Status::success();
        }
        if (!property) {
            problem = {InputProblem::Kind::MissingColon, number};
            return Status::success();
        }
        if (begin) {
            ++depth; // a card inside the card (2.1's AGENT): passed over
        } else if (end) {
            if (--depth == 0) {
                voce = card.voce();
                begun_ = card.begun;
                got = true;
                return Status::success();
            }
        } else if (depth == 1) {
            card.take(*property);
        }
    }
}
