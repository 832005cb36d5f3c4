#include "vcard.h"

#include "store/utf8.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

using chiamoro::Status;

namespace {

// RFC 2426 and 6350: lines of at most 75 octets, not counting CR LF.
constexpr std::size_t kLineOctets = 75;

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
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

// The properties whose values the phone book keeps, or that shape the file.
bool kept(std::string_view name) {
    for (const std::string_view known :
         {"BEGIN", "END", "FN", "N", "ORG", "TEL", "NOTE", "X-ABLABEL", "AGENT"}) {
        if (name == known) {
            return true;
        }
    }
    return false;
}

// Properties about the card rather than the contact: passed over without a word.
bool aboutTheCard(std::string_view name) {
    for (const std::string_view known :
         {"VERSION", "PRODID", "REV", "UID", "KIND", "X-ABUID", "X-ABSHOWAS"}) {
        if (name == known) {
            return true;
        }
    }
    return false;
}

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

} // namespace

std::string VCardReader::Head::param(std::string_view key) const {
    for (const auto& [k, v] : params) {
        if (k == key) {
            return v;
        }
    }
    return {};
}

VCardReader::Head VCardReader::parseHead(std::string_view text) {
    Head head;
    const auto parts = splitOutsideQuotes(text, ';');
    std::string_view name = trimBlanks(parts.front());
    if (const auto dot = name.rfind('.'); dot != std::string_view::npos) {
        head.group = upperAscii(name.substr(0, dot));
        name.remove_prefix(dot + 1);
    }
    head.name = upperAscii(name);
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::string part = upperAscii(trimBlanks(parts[i]));
        const auto equals = part.find('=');
        if (equals != std::string::npos) {
            std::string value = part.substr(equals + 1);
            std::erase(value, '"');
            head.params.emplace_back(std::string(trimBlanks(part.substr(0, equals))), value);
        } else if (part == "QUOTED-PRINTABLE" || part == "BASE64" || part == "8BIT") {
            head.params.emplace_back("ENCODING", part); // 2.1 names it bare
        } else if (!part.empty()) {
            head.params.emplace_back("TYPE", part); // 2.1: "TEL;CELL;PREF:"
        }
    }
    return head;
}

namespace {

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

// Backslash escapes of text values: \n is a line break, \\ \, \; \: the
// character. In a list of values, a bare comma separates them: it becomes a space.
std::u16string unescaped(std::u16string_view text, bool list = false) {
    if (text.find(u'\\') == std::u16string_view::npos &&
        (!list || text.find(u',') == std::u16string_view::npos)) {
        return normaliseBreaks(text);
    }
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u',' && list) {
            out += u' ';
            continue;
        }
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

// The components of a structured value (N, ORG), split at the semicolons that
// are not escaped; each still escaped.
std::vector<std::u16string_view> components(std::u16string_view value) {
    std::vector<std::u16string_view> parts;
    std::size_t from = 0;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\') {
            ++i;
        } else if (value[i] == u';') {
            parts.push_back(value.substr(from, i - from));
            from = i + 1;
        }
    }
    parts.push_back(value.substr(from));
    return parts;
}

bool hasType(const VCardReader::Head& head, std::string_view type) {
    for (const auto& [key, value] : head.params) {
        if (key == "TYPE") {
            for (const auto one : splitOutsideQuotes(value, ',')) {
                if (trimBlanks(one) == type) {
                    return true;
                }
            }
        }
    }
    return false;
}

// What TEL's types make of a number: its kind and the label it goes under
// in the comments, from the first row of the table that one of them names.
void describe(const VCardReader::Head& head, Phone& phone) {
    const auto has = [&head](std::string_view type) { return hasType(head, type); };
    phone.preferred = has("PREF") || std::any_of(head.params.begin(), head.params.end(),
                                                 [](const auto& p) { return p.first == "PREF"; });
    for (const PhoneLabel& row : phoneLabels()) {
        const auto others = splitOutsideQuotes(row.otherTypes, ',');
        if ((!row.type.empty() && has(row.type)) ||
            (!row.otherTypes.empty() && std::any_of(others.begin(), others.end(), has))) {
            phone.kind = row.kind;
            phone.label = row.label;
            return;
        }
    }
    phone.kind = PhoneKind::Voice; // a number is a voice number unless its types say otherwise
}

std::u16string withoutTelUri(std::u16string number) {
    // 4.0 may give it as a URI.
    if (number.size() >= 4 && (number[0] | 0x20) == u't' && (number[1] | 0x20) == u'e' &&
        (number[2] | 0x20) == u'l' && number[3] == u':') {
        number.erase(0, 4);
    }
    return number;
}

// The TYPE a number of a kind goes out with when its label has none of its own.
std::string_view typeOf(PhoneKind kind) {
    switch (kind) {
    case PhoneKind::Cell:
        return "CELL";
    case PhoneKind::Voice:
        return "VOICE";
    case PhoneKind::Fax:
        return "FAX";
    case PhoneKind::Other:
        break;
    }
    return {};
}

// A line of the comments that holds a number, as a TEL: of its row's TYPE,
// or, for a label that is not the row's own or a row with no TYPE in vCard
// 3.0, of its kind's TYPE with the label beside it as Apple writes it
// (itemN.X-ABLabel), which the reader takes back.
void putNumber(std::string& card, const NumberLine& line, int& items) {
    const std::string number = escaped(line.number);
    if (line.label.empty()) {
        putLine(card, "TEL:" + number);
        return;
    }
    if (line.row != nullptr && line.row->label == line.label && !line.row->type.empty()) {
        putLine(card, "TEL;TYPE=" + std::string(line.row->type) + ":" + number);
        return;
    }
    const std::string_view type =
        line.row != nullptr && !line.row->type.empty() ? line.row->type : typeOf(line.kind);
    const std::string group = "item" + std::to_string(++items) + ".";
    putLine(card,
            group + "TEL" + (type.empty() ? "" : ";TYPE=" + std::string(type)) + ":" + number);
    putLine(card, group + "X-ABLabel:" + escaped(line.label));
}

} // namespace

std::string vcardOf(const ContattoLibero& contatto) {
    std::string card = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    // N and FN both hold the whole name: the record does not split it. A card
    // must have a name: without one, the number is the name.
    const std::u16string_view shown = !contatto.nome.empty() ? std::u16string_view(contatto.nome)
                                      : !contatto.numero.empty()
                                          ? std::u16string_view(contatto.numero)
                                          : kNoName;
    const std::string name = escaped(shown);
    putLine(card, "N:" + name + ";;;;");
    putLine(card, "FN:" + name);
    // The lines of the comments that hold a number as the import writes them
    // go out as numbers, each number once; the other lines are the note. Not
    // without a number of the record's own: the first of them would come back
    // as the record's number.
    std::string numbers;
    std::u16string note;
    const std::u16string comments = normaliseBreaks(contatto.commenti);
    std::vector<std::u16string_view> written{contatto.numero};
    int items = 0;
    int noteLines = 0;
    for (std::size_t from = 0; from <= comments.size();) {
        const std::size_t end = std::min(comments.find(u"\r\n", from), comments.size());
        const std::u16string_view line = std::u16string_view(comments).substr(from, end - from);
        const std::optional<NumberLine> found =
            contatto.numero.empty() ? std::nullopt : numberLine(line);
        if (found && std::find(written.begin(), written.end(), found->number) == written.end()) {
            written.push_back(found->number);
            putNumber(numbers, *found, items);
        } else {
            note.append(noteLines++ > 0 ? u"\r\n" : u"").append(line);
        }
        from = end + 2;
    }
    // The record's own number stays the one a reader picks first.
    if (!contatto.numero.empty()) {
        putLine(card, (numbers.empty() ? "TEL:" : "TEL;TYPE=PREF:") + escaped(contatto.numero));
    }
    card += numbers;
    if (!note.empty()) {
        putLine(card, "NOTE:" + escaped(note));
    }
    card += "END:VCARD\r\n";
    return card;
}

void VCardReader::finishHead(Line& line) {
    // Only the name, and whether the value is quoted-printable, for now: the
    // parameters are read only for a property that is kept.
    std::string_view name = trimBlanks(std::string_view(line.head).substr(0, line.head.find(';')));
    if (const auto dot = name.rfind('.'); dot != std::string_view::npos) {
        line.parsed.group = upperAscii(name.substr(0, dot));
        name.remove_prefix(dot + 1);
    }
    line.parsed.name = upperAscii(name);
    line.keep = kept(line.parsed.name);
    constexpr std::string_view qp = "QUOTED-PRINTABLE";
    const auto sameLetters = [](char a, char b) {
        return (a >= 'a' && a <= 'z' ? a - 'a' + 'A' : a) == b;
    };
    line.quotedPrintable = std::search(line.head.begin(), line.head.end(), qp.begin(), qp.end(),
                                       sameLetters) != line.head.end();
}

Status VCardReader::readPhysical(Line& line, bool& got) {
    got = false;
    for (bool ends = false; !ends;) {
        std::string_view piece;
        bool more = false;
        if (Status status = lines_.next(piece, ends, more); !status.ok() || !more) {
            return status;
        }
        got = true;
        if (line.blank && piece.find_first_not_of(" \t") != std::string_view::npos) {
            line.blank = false;
        }
        if (!piece.empty()) {
            line.last = piece.back();
        }
        std::size_t i = 0;
        // The name and parameters, up to the first ':' outside quotes.
        for (; i < piece.size() && !line.colon; ++i) {
            const char c = piece[i];
            if (c == ':' && !line.quoted) {
                line.colon = true;
                finishHead(line);
                continue;
            }
            if (c == '"') {
                line.quoted = !line.quoted;
            }
            if (line.head.size() < kHeadBytes) {
                line.head += c;
            } else {
                line.headCut = true;
            }
        }
        // The value, as far as a field can use it.
        if (i < piece.size() && line.keep) {
            const std::size_t room = kValueBytes - line.value.size();
            line.value.append(piece.substr(i, room));
            line.valueCut = line.valueCut || piece.size() - i > room;
        }
    }
    return Status::success();
}

void VCardReader::Line::reset() {
    std::string room[2] = {std::move(head), std::move(value)};
    *this = Line{};
    head = std::move(room[0]);
    value = std::move(room[1]);
    head.clear();
    value.clear();
}

Status VCardReader::readLine(Line& line, bool& got) {
    line.reset();
    if (Status status = readPhysical(line, got); !status.ok() || !got) {
        return status;
    }
    line.number = lines_.lineNumber();
    line.startsBlank = !line.head.empty() && (line.head[0] == ' ' || line.head[0] == '\t');
    if (line.head.empty() && !line.colon) {
        return Status::success(); // an empty line continues nothing
    }
    for (;;) {
        int next = -1;
        if (Status status = lines_.peek(next); !status.ok()) {
            return status;
        }
        if (next < 0) {
            return Status::success();
        }
        if (line.quotedPrintable && line.last == '=') {
            // A soft line break of quoted-printable: the '=' is not part of the value.
            if (!line.valueCut && !line.value.empty() && line.value.back() == '=') {
                line.value.pop_back();
            }
            line.last = 0;
        } else if (next == ' ' || next == '\t') {
            lines_.skip(); // folded: the continuation's first blank is not part of it
        } else {
            return Status::success();
        }
        bool more = false;
        if (Status status = readPhysical(line, more); !status.ok() || !more) {
            return status;
        }
    }
}

void VCardReader::skipped(Notice::Kind kind, std::int64_t line) {
    if (open_ == 0) {
        // Outside any card: one notice for a run of such lines.
        outsideFrom_ = outsideFrom_ == 0 ? line : outsideFrom_;
        outsideTo_ = lines_.lineNumber();
        firstOutside_ = firstOutside_ == 0 && cards_ == 0 ? line : firstOutside_;
        return;
    }
    notices_.add({kind, line, lines_.lineNumber(), 0, {}});
}

void VCardReader::finishOutside() {
    if (outsideFrom_ != 0) {
        notices_.add({Notice::Kind::OutsideCard, outsideFrom_, outsideTo_, 0, {}});
        outsideFrom_ = 0;
    }
}

void VCardReader::take(const Line& line) {
    if (line.parsed.name == "AGENT") {
        agent_ = trimBlanks(line.value).empty(); // 2.1: the agent's card follows
        return;
    }
    if (!line.keep) {
        if (!aboutTheCard(line.parsed.name)) {
            ignored_.seen(decodeGuessing(line.parsed.name), cards_);
        }
        return;
    }
    const Head head = parseHead(line.head);
    if (line.headCut) {
        notices_.add({Notice::Kind::LongParameters, line.number, line.number, 0, {}});
    }
    // The value's bytes as text, through its ENCODING and CHARSET.
    const std::string encoding = head.param("ENCODING");
    if (encoding == "B" || encoding == "BASE64") {
        notices_.add({Notice::Kind::EncodedText, line.number, line.number, 0, {}});
        return;
    }
    const std::string bytes =
        line.quotedPrintable ? decodeQuotedPrintable(line.value) : std::string(line.value);
    std::u16string text;
    const std::string charset = head.param("CHARSET");
    if (lines_.converted() && !line.quotedPrintable) {
        text = decodeUtf8(bytes); // the file was UTF-16 or UTF-32
    } else if (!charset.empty()) {
        if (auto decoded = charsets_.decode(charset, bytes)) {
            text = std::move(*decoded);
        } else {
            notices_.add(
                {Notice::Kind::UnknownCharset, line.number, line.number, 0, charset.substr(0, 64)});
            text = decodeGuessing(bytes);
        }
    } else {
        text = decodeGuessing(bytes);
    }

    const bool cut = line.valueCut;
    if (head.name == "FN") {
        card_.name(NamePart::Display, lineText(unescaped(text), cut));
    } else if (head.name == "N") {
        // Family; given; additional; prefixes; suffixes.
        auto parts = components(text);
        parts.resize(std::max<std::size_t>(parts.size(), 5));
        const NamePart order[] = {NamePart::Family, NamePart::Given, NamePart::Middle,
                                  NamePart::Prefix, NamePart::Suffix};
        for (std::size_t i = 0; i < 5; ++i) {
            card_.name(order[i], lineText(unescaped(parts[i], true), cut));
        }
    } else if (head.name == "ORG") {
        card_.name(NamePart::Company, lineText(unescaped(components(text).front()), cut));
    } else if (head.name == "TEL") {
        Phone phone;
        phone.number = lineText(withoutTelUri(trimSpaces(unescaped(text))), cut);
        phone.group = head.group;
        describe(head, phone);
        card_.phone(std::move(phone));
    } else if (head.name == "NOTE") {
        card_.note(noteText(unescaped(text), cut));
    } else if (head.name == "X-ABLABEL") {
        card_.groupLabel(head.group, lineText(unescaped(text)).text);
    }
}

Status VCardReader::next(ReadContact& contact, bool& got, InputProblem& problem) {
    got = false;
    const auto deliver = [&](std::int64_t nextCard) {
        begun_ = open_;
        if (card_.companyUnused()) {
            ignored_.seen(u"ORG", cards_);
        }
        contact = card_.contact();
        got = true;
        card_.clear();
        open_ = nextCard;
        depth_ = 0;
        agent_ = false;
        if (nextCard != 0) {
            ++cards_;
        }
    };
    for (;;) {
        bool more = false;
        if (Status status = readLine(line_, more); !status.ok()) {
            return status;
        }
        const Line& line = line_;
        if (!more) {
            if (open_ != 0) {
                notices_.add({Notice::Kind::UnterminatedCard, open_, open_, 0, {}});
                deliver(0);
                return Status::success();
            }
            if (cards_ > 0) {
                finishOutside();
            } else if (firstOutside_ != 0) {
                problem = {InputProblem::Kind::NoCard, firstOutside_};
            }
            return Status::success();
        }
        if (line.blank) {
            continue;
        }
        if (!line.colon) {
            skipped(line.head.starts_with('#') ? Notice::Kind::Comment
                    : line.startsBlank         ? Notice::Kind::StrayContinuation
                                               : Notice::Kind::NotAProperty,
                    line.number);
            continue;
        }
        const Head& head = line.parsed;
        const bool vcard = (head.name == "BEGIN" || head.name == "END") &&
                           upperAscii(trimBlanks(line.value)) == "VCARD";
        if (head.name == "BEGIN" && vcard) {
            if (open_ == 0) {
                finishOutside();
                open_ = line.number;
                ++cards_;
                continue;
            }
            if (agent_ || depth_ > 0) {
                ++depth_; // a card inside the card (2.1's AGENT): passed over
                agent_ = false;
                continue;
            }
            // The card before never ended: it is read as far as it went.
            notices_.add({Notice::Kind::UnterminatedCard, open_, open_, 0, {}});
            deliver(line.number);
            return Status::success();
        }
        if (head.name == "END" && vcard && open_ != 0) {
            if (depth_ > 0) {
                --depth_;
                continue;
            }
            deliver(0);
            return Status::success();
        }
        if (open_ == 0 || head.name.empty()) {
            skipped(Notice::Kind::NotAProperty, line.number);
            continue;
        }
        agent_ = false;
        if (depth_ == 0) {
            take(line);
        }
    }
}
