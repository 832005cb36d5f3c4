#pragma once

#include "exchange/contactbuilder.h"

#include <string>
#include <string_view>

// What a column of a CSV file holds, found by the name the first row gives
// it: the names that Google Contacts, Outlook and Thunderbird write, in
// English and, where they translate them, in Italian, and this program's own
// "Numero", "Nome" and "Commenti". The names are in two tables: the numbers'
// in the table of phone labels (phonelabels.cpp), the others in columns.cpp; a
// new program's header is a few more names there. A name neither knows that
// holds a word for a phone ("Telefono di casa", "Home Mobile", "Phone
// (Work)") is a number of the kind its words say, labelled with the name.
struct Column {
    enum class Role {
        Ignored,    // nothing the phone book keeps: e-mail, address, birthday, ...
        Name,       // a part of the name, or the company
        Phone,      // a number of a kind the name says ("Mobile Phone")
        PhoneType,  // Google's "Phone 1 - Type": the kind of the number beside it
        PhoneValue, // Google's "Phone 1 - Value": numbers, " ::: " between them
        Notes,
    };
    Role role = Role::Ignored;
    NamePart part = NamePart::Display; // Name
    PhoneKind kind = PhoneKind::Voice; // Phone
    std::u16string label;              // Phone: "Cell.", "Casa", ..., or none
    int pair = 0;                      // PhoneType, PhoneValue: Google's number n
    bool guessed = false; // Phone: a name no program is known to write, read by its words
    // Phone: this program's own "Numero", one number whatever it holds; the
    // other number columns may hold several, " ::: " between them.
    bool whole = false;
};

// The column a header's name stands for, in any case and with the spaces
// around it trimmed. With `surnames` (the header also names a "Cognome"
// column, as Outlook and Thunderbird in Italian write), "Nome" is the given
// name; otherwise it is the whole name, as this program writes it.
Column columnNamed(std::u16string_view name, bool surnames);

// Whether the name is "Cognome".
bool isSurnameColumn(std::u16string_view name);
