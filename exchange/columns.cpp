#include "columns.h"

#include "store/contatto.h"

namespace {

using Role = Column::Role;

struct Named {
    std::u16string_view name; // in lower case
    Column column;
};

constexpr Column name(NamePart part) {
    return {Role::Name, part, PhoneKind::Voice, {}, 0};
}
constexpr Column phone(PhoneKind kind, std::u16string_view label) {
    return {Role::Phone, NamePart::Display, kind, label, 0};
}
constexpr Column notes() {
    return {Role::Notes, NamePart::Display, PhoneKind::Voice, {}, 0};
}

// The known columns. English names as Google Contacts, Outlook and
// Thunderbird write them; Italian ones as Outlook and Thunderbird write them
// on an Italian system (Google writes English names everywhere).
constexpr Named kColumns[] = {
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
    // Numbers of no particular kind.
    {u"numero", phone(PhoneKind::Voice, {})},
    {u"phone", phone(PhoneKind::Voice, {})},
    {u"phone number", phone(PhoneKind::Voice, {})},
    {u"telephone", phone(PhoneKind::Voice, {})},
    {u"telephone number", phone(PhoneKind::Voice, {})},
    {u"telefono", phone(PhoneKind::Voice, {})},
    {u"numero di telefono", phone(PhoneKind::Voice, {})},
    // Cell phones.
    {u"mobile phone", phone(PhoneKind::Cell, u"Cell.")},
    {u"mobile number", phone(PhoneKind::Cell, u"Cell.")},
    {u"mobile", phone(PhoneKind::Cell, u"Cell.")},
    {u"cell phone", phone(PhoneKind::Cell, u"Cell.")},
    {u"cellulare", phone(PhoneKind::Cell, u"Cell.")},
    {u"numero cellulare", phone(PhoneKind::Cell, u"Cell.")},
    {u"telefono cellulare", phone(PhoneKind::Cell, u"Cell.")},
    // Voice numbers.
    {u"home phone", phone(PhoneKind::Voice, u"Casa")},
    {u"home phone 2", phone(PhoneKind::Voice, u"Casa")},
    {u"telefono abitazione", phone(PhoneKind::Voice, u"Casa")},
    {u"telefono abitazione 2", phone(PhoneKind::Voice, u"Casa")},
    {u"telefono casa", phone(PhoneKind::Voice, u"Casa")},
    {u"business phone", phone(PhoneKind::Voice, u"Ufficio")},
    {u"business phone 2", phone(PhoneKind::Voice, u"Ufficio")},
    {u"work phone", phone(PhoneKind::Voice, u"Ufficio")},
    {u"company main phone", phone(PhoneKind::Voice, u"Ufficio")},
    {u"telefono ufficio", phone(PhoneKind::Voice, u"Ufficio")},
    {u"telefono ufficio 2", phone(PhoneKind::Voice, u"Ufficio")},
    {u"telefono lavoro", phone(PhoneKind::Voice, u"Ufficio")},
    {u"telefono principale società", phone(PhoneKind::Voice, u"Ufficio")},
    {u"primary phone", phone(PhoneKind::Voice, u"Principale")},
    {u"telefono principale", phone(PhoneKind::Voice, u"Principale")},
    {u"other phone", phone(PhoneKind::Voice, u"Altro")},
    {u"altro telefono", phone(PhoneKind::Voice, u"Altro")},
    {u"car phone", phone(PhoneKind::Voice, u"Auto")},
    {u"telefono auto", phone(PhoneKind::Voice, u"Auto")},
    {u"assistant's phone", phone(PhoneKind::Voice, u"Assistente")},
    {u"telefono assistente", phone(PhoneKind::Voice, u"Assistente")},
    {u"callback", phone(PhoneKind::Voice, u"Richiamata")},
    {u"richiamata", phone(PhoneKind::Voice, u"Richiamata")},
    // Lines that are not for talking.
    {u"radio phone", phone(PhoneKind::Other, u"Radio")},
    {u"radiotelefono", phone(PhoneKind::Other, u"Radio")},
    {u"isdn", phone(PhoneKind::Other, u"ISDN")},
    {u"tty/tdd phone", phone(PhoneKind::Other, u"TTY/TDD")},
    {u"telefono tty/tdd", phone(PhoneKind::Other, u"TTY/TDD")},
    {u"telex", phone(PhoneKind::Other, u"Telex")},
    // Fax and pager numbers.
    {u"fax", phone(PhoneKind::Fax, u"Fax")},
    {u"fax number", phone(PhoneKind::Fax, u"Fax")},
    {u"business fax", phone(PhoneKind::Fax, u"Fax")},
    {u"home fax", phone(PhoneKind::Fax, u"Fax")},
    {u"other fax", phone(PhoneKind::Fax, u"Fax")},
    {u"numero fax", phone(PhoneKind::Fax, u"Fax")},
    {u"fax ufficio", phone(PhoneKind::Fax, u"Fax")},
    {u"fax abitazione", phone(PhoneKind::Fax, u"Fax")},
    {u"altro fax", phone(PhoneKind::Fax, u"Fax")},
    {u"pager", phone(PhoneKind::Fax, u"Cercapersone")},
    {u"pager number", phone(PhoneKind::Fax, u"Cercapersone")},
    {u"cercapersone", phone(PhoneKind::Fax, u"Cercapersone")},
    {u"numero cercapersone", phone(PhoneKind::Fax, u"Cercapersone")},
    // Notes.
    {u"commenti", notes()},
    {u"notes", notes()},
    {u"note", notes()},
    {u"comments", notes()},
};

// Lower case for ASCII and the Latin-1 letters ("SOCIETÀ" is "società").
std::u16string folded(std::u16string_view text) {
    std::u16string lower = trimSpaces(text);
    for (char16_t& c : lower) {
        if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
            c = static_cast<char16_t>(c + 0x20);
        }
    }
    return lower;
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

Column columnNamed(std::u16string_view name, bool surnames) {
    const std::u16string key = folded(name);
    if (key == u"nome") {
        return surnames ? Column{Role::Name, NamePart::Given, PhoneKind::Voice, {}, 0}
                        : Column{Role::Name, NamePart::Display, PhoneKind::Voice, {}, 0};
    }
    for (const Named& known : kColumns) {
        if (key == known.name) {
            return known.column;
        }
    }
    return googlePhone(key);
}

bool isSurnameColumn(std::u16string_view name) {
    return folded(name) == u"cognome";
}
