#include "columns.h"

#include "exchange/text.h"
#include "store/contatto.h"

namespace {

using Role = Column::Role;

struct Named {
    std::u16string_view name; // in lower case
    Column column;
};

Column name(NamePart part) {
    return {Role::Name, part, PhoneKind::Voice, {}, 0, false};
}
Column phone(PhoneKind kind, std::u16string label) {
    return {Role::Phone, NamePart::Display, kind, std::move(label), 0, false};
}
Column notes() {
    return {Role::Notes, NamePart::Display, PhoneKind::Voice, {}, 0, false};
}

// The known columns but the numbers, whose names are in the table of phone
// labels (phonelabels.cpp). English names as Google Contacts, Outlook and
// Thunderbird write them; Italian ones as Outlook and Thunderbird write them
// on an Italian system (Google writes English names everywhere).
const Named kColumns[] = {
    // The name as shown.
    {u"name", name(NamePart::Display)},
    {u"display name", name(NamePart::Display)},
    {u"full name", name(NamePart::Display)},
    {u"nome visualizzato", name(NamePart::Display)},
    {u"nome completo", name(NamePart::Display)},
    {u"nome e cognome", name(NamePart::Display)},
    // Its parts.
    {u"title", name(NamePart::Prefix)},
    {u"name prefix", name(NamePart::Prefix)},
    {u"prefix", name(NamePart::Prefix)},
    {u"titolo", name(NamePart::Prefix)},
    {u"first name", name(NamePart::Given)},
    {u"given name", name(NamePart::Given)},
    {u"middle name", name(NamePart::Middle)},
    {u"additional name", name(NamePart::Middle)},
    {u"secondo nome", name(NamePart::Middle)},
    {u"last name", name(NamePart::Family)},
    {u"family name", name(NamePart::Family)},
    {u"surname", name(NamePart::Family)},
    {u"cognome", name(NamePart::Family)},
    {u"suffix", name(NamePart::Suffix)},
    {u"name suffix", name(NamePart::Suffix)},
    {u"suffisso", name(NamePart::Suffix)},
    {u"company", name(NamePart::Company)},
    {u"organization", name(NamePart::Company)},
    {u"organisation", name(NamePart::Company)},
    {u"organization name", name(NamePart::Company)},
    {u"organization 1 - name", name(NamePart::Company)},
    {u"società", name(NamePart::Company)},
    {u"azienda", name(NamePart::Company)},
    {u"organizzazione", name(NamePart::Company)},
    {u"ditta", name(NamePart::Company)},
    // Notes.
    {u"commenti", notes()},
    {u"notes", notes()},
    {u"note", notes()},
    {u"comments", notes()},
};

std::u16string folded(std::u16string_view text) {
    return lowerCase(trimSpaces(text));
}

// Google's numbered pairs, "Phone 1 - Type" (or "- Label") and "Phone 1 - Value".
Column googlePhone(std::u16string_view key) {
    constexpr std::u16string_view start = u"phone ";
    if (!key.starts_with(start)) {
        return {};
    }
    std::size_t i = start.size();
    int pair = 0;
    while (i < key.size() && key[i] >= u'0' && key[i] <= u'9' && pair < 100000) {
        pair = pair * 10 + (key[i++] - u'0');
    }
    if (i == start.size()) {
        return {};
    }
    const std::u16string_view rest = key.substr(i);
    Column column;
    column.pair = pair;
    if (rest == u" - type" || rest == u" - label") {
        column.role = Role::PhoneType;
    } else if (rest == u" - value") {
        column.role = Role::PhoneValue;
    }
    return column;
}

} // namespace

Column columnNamed(std::u16string_view header, bool surnames) {
    const std::u16string key = folded(header);
    if (key == u"nome") {
        return name(surnames ? NamePart::Given : NamePart::Display);
    }
    if (key == u"numero") { // this program's own: one number, as it stands
        Column column = phone(PhoneKind::Voice, {});
        column.whole = true;
        return column;
    }
    for (const Named& known : kColumns) {
        if (key == known.name) {
            return known.column;
        }
    }
    if (const PhoneLabel* row = labelOfColumn(key)) {
        return phone(row->kind, std::u16string(row->label));
    }
    if (const Column google = googlePhone(key); google.role != Role::Ignored) {
        return google;
    }
    // A name of another program's own that holds a word for a phone: a
    // number of the kind its words say, labelled with the name.
    const PhoneLabel* row = nullptr;
    if (!namesAPhone(header, row)) {
        return {};
    }
    Column column = phone(row != nullptr ? row->kind : PhoneKind::Voice, {});
    column.label = phoneLabel(header, column.kind);
    column.guessed = true;
    return column;
}

bool isSurnameColumn(std::u16string_view name) {
    return folded(name) == u"cognome";
}
