#include "phonelabels.h"

#include "exchange/contattolibero.h"
#include "store/contatto.h"

#include <algorithm>
#include <vector>

namespace {

using K = PhoneKind;

// The labels, the kinds, the vCard types, and how other programs name them,
// in English and in Italian: Apple's and Google's labels, the columns of
// Google Contacts, Outlook and Thunderbird.
constexpr PhoneLabel kLabels[] = {
    {u"Fax", K::Fax, "FAX", "",
     u"fax, home fax, work fax, other fax, homefax, workfax, otherfax, fax casa, fax abitazione, "
     u"fax lavoro, fax ufficio",
     u"fax, fax number, business fax, home fax, other fax, numero fax, fax ufficio, "
     u"fax abitazione, altro fax"},
    {u"Cercapersone", K::Fax, "PAGER", "", u"pager, cercapersone",
     u"pager, pager number, cercapersone, numero cercapersone"},
    {u"Cell.", K::Cell, "CELL", "IPHONE",
     u"mobile, mobile phone, cell, cellphone, cellular, cellulare, iphone",
     u"mobile phone, mobile number, mobile, cell phone, cellulare, numero cellulare, "
     u"telefono cellulare"},
    {u"Casa", K::Voice, "HOME", "", u"home, casa, abitazione",
     u"home phone, home phone 2, telefono abitazione, telefono abitazione 2, telefono casa"},
    {u"Ufficio", K::Voice, "WORK", "", u"work, business, lavoro, ufficio",
     u"business phone, business phone 2, work phone, company main phone, telefono ufficio, "
     u"telefono ufficio 2, telefono lavoro, telefono principale società"},
    {u"Principale", K::Voice, "", "MAIN", u"main, principale",
     u"primary phone, telefono principale"},
    {u"Auto", K::Voice, "CAR", "", u"car, auto", u"car phone, telefono auto"},
    {u"Altro", K::Voice, "", "OTHER", u"other, altro", u"other phone, altro telefono"},
    {u"Assistente", K::Voice, "", "", u"assistant, assistente",
     u"assistant's phone, telefono assistente"},
    {u"Richiamata", K::Voice, "", "", u"callback, richiamata", u"callback, richiamata"},
    // A voice number of no particular kind; the lines below are not for talking.
    {u"", K::Voice, "VOICE", "", u"",
     u"numero, phone, phone number, telephone, telephone number, telefono, "
     u"numero di telefono"},
    {u"Radio", K::Other, "", "", u"radio", u"radio phone, radiotelefono"},
    {u"ISDN", K::Other, "ISDN", "", u"isdn", u"isdn"},
    {u"TTY/TDD", K::Other, "", "TEXTPHONE", u"tty/tdd, textphone",
     u"tty/tdd phone, telefono tty/tdd"},
    {u"Telex", K::Other, "", "", u"telex", u"telex"},
    {u"", K::Other, "", "TEXT,VIDEO,MSG,MODEM,BBS", u"", u""},
};

// The words that make a name a phone's.
constexpr std::u16string_view kPhoneWords =
    u"phone, telephone, tel, telefono, mobile, cell, cellular, cellulare, fax, pager, cercapersone";

// A label longer than this is cut: the comments have 100 characters in all.
constexpr std::size_t kLongestLabel = 40;

// Whether `item` is one of the comma-separated `list`.
template <typename Char>
bool listed(std::basic_string_view<Char> list, std::basic_string_view<Char> item) {
    for (std::size_t from = 0; from <= list.size();) {
        std::size_t comma = list.find(Char(','), from);
        comma = comma == std::basic_string_view<Char>::npos ? list.size() : comma;
        std::basic_string_view<Char> one = list.substr(from, comma - from);
        while (!one.empty() && one.front() == Char(' ')) {
            one.remove_prefix(1);
        }
        if (!one.empty() && one == item) {
            return true;
        }
        from = comma + 1;
    }
    return false;
}

// The words of a name, in lower case: its runs of letters.
std::vector<std::u16string> words(std::u16string_view name) {
    const std::u16string lower = lowerCase(name);
    std::vector<std::u16string> found;
    std::u16string word;
    for (const char16_t c : lower + u' ') {
        if ((c >= u'a' && c <= u'z') || (c >= 0xDF && c <= 0xFF && c != 0xF7)) {
            word += c;
        } else if (!word.empty()) {
            found.push_back(std::move(word));
            word.clear();
        }
    }
    return found;
}

bool inNumber(char16_t c) {
    return (c >= u'0' && c <= u'9') ||
           std::u16string_view(u" +-.()/*#").find(c) != std::u16string_view::npos;
}

bool startsNumber(char16_t c) {
    return (c >= u'0' && c <= u'9') || c == u'+' || c == u'(';
}

// `label` without the words at its end that are made of the characters of numbers.
std::u16string_view withoutNumberAtEnd(std::u16string_view label) {
    for (;;) {
        const std::size_t space = label.rfind(u' ');
        const std::u16string_view last =
            space == std::u16string_view::npos ? label : label.substr(space + 1);
        if (last.empty() || !std::all_of(last.begin(), last.end(), inNumber)) {
            return label;
        }
        label = space == std::u16string_view::npos ? std::u16string_view() : label.substr(0, space);
        while (!label.empty() && label.back() == u' ') {
            label.remove_suffix(1);
        }
    }
}

} // namespace

std::span<const PhoneLabel> phoneLabels() {
    return kLabels;
}

const PhoneLabel* labelNamed(std::u16string_view name) {
    const std::u16string key = lowerCase(name);
    for (const PhoneLabel& row : kLabels) {
        if (!key.empty() && (key == lowerCase(row.label) || listed<char16_t>(row.names, key))) {
            return &row;
        }
    }
    return nullptr;
}

const PhoneLabel* labelOfColumn(std::u16string_view key) {
    for (const PhoneLabel& row : kLabels) {
        if (listed<char16_t>(row.columns, key)) {
            return &row;
        }
    }
    return nullptr;
}

bool namesAPhone(std::u16string_view name, const PhoneLabel*& row) {
    row = nullptr;
    const std::vector<std::u16string> all = words(name);
    if (std::none_of(all.begin(), all.end(), [](const std::u16string& word) {
            return listed(kPhoneWords, std::u16string_view(word));
        })) {
        return false;
    }
    for (const PhoneLabel& known : kLabels) {
        for (const std::u16string& word : all) {
            if (listed(known.names, std::u16string_view(word))) {
                row = &known;
                return true;
            }
        }
    }
    return true;
}

std::u16string phoneLabel(std::u16string_view name, PhoneKind& kind) {
    std::u16string label = trimSpaces(oneLine(name));
    // Google marks the first of a kind with "* "; Apple wraps its own labels
    // in "_$!<" and ">!$_".
    if (label.starts_with(u"* ")) {
        label = trimSpaces(label.substr(2));
    }
    if (label.starts_with(u"_$!<") && label.ends_with(u">!$_") && label.size() >= 8) {
        label = label.substr(4, label.size() - 8);
    }
    label = withoutNumberAtEnd(trimSpaces(label.substr(0, kLongestLabel)));
    if (const PhoneLabel* row = labelNamed(label)) {
        kind = row->kind;
        return std::u16string(row->label);
    }
    if (const PhoneLabel* row = nullptr; namesAPhone(label, row)) {
        kind = row != nullptr ? row->kind : PhoneKind::Voice;
    }
    return label;
}

std::optional<NumberLine> numberLine(std::u16string_view line) {
    if (line.empty() || line.front() == u' ' || line.back() == u' ') {
        return std::nullopt;
    }
    // The longest end of the line that is a number.
    std::size_t start = std::u16string_view::npos;
    for (std::size_t i = line.size(); i-- > 0 && inNumber(line[i]);) {
        if (startsNumber(line[i]) && (i == 0 || line[i - 1] == u' ')) {
            start = i;
        }
    }
    if (start == std::u16string_view::npos) {
        return std::nullopt;
    }
    NumberLine found;
    found.number = line.substr(start);
    found.label = start == 0 ? std::u16string_view() : line.substr(0, start - 1);
    const auto digits = std::count_if(found.number.begin(), found.number.end(),
                                      [](char16_t c) { return c >= u'0' && c <= u'9'; });
    // Only a label the import would write as it stands: one space before the
    // number, and a name that stays what it is.
    PhoneKind kind = PhoneKind::Voice;
    if (digits < 3 || (!found.label.empty() && found.label.back() == u' ') ||
        phoneLabel(found.label, kind) != found.label) {
        return std::nullopt;
    }
    found.row = labelNamed(found.label);
    const bool phone =
        found.row != nullptr || (!found.label.empty() && namesAPhone(found.label, found.row));
    found.kind = found.row != nullptr ? found.row->kind : PhoneKind::Voice;
    if (digits < (phone ? 3 : 6)) {
        return std::nullopt;
    }
    return found;
}
