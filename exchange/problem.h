#pragma once

#include <cstdint>

// Why a file to import could not be read as contacts, and where. The command
// line puts it into words; nothing is imported from such a file.
struct InputProblem {
    enum class Kind {
        None,
        Utf16,             // the file is UTF-16, not a text of bytes
        OutsideCard,       // vCard: a line outside BEGIN:VCARD ... END:VCARD
        UnterminatedCard,  // vCard: the file ends inside the card begun at `line`
        StrayEnd,          // vCard: END:VCARD with no card open
        MissingColon,      // vCard: a line with no ':' between name and value
        UnknownColumns,    // CSV: the first row names none of the known columns
        UnterminatedQuote, // CSV: the quoted field begun at `line` never closes
    };
    Kind kind = Kind::None;
    std::int64_t line = 0; // from 1

    bool ok() const { return kind == Kind::None; }
};
