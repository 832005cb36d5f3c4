#pragma once

#include <cstdint>
#include <string>

// Why a file to import could not be read as contacts, and where. The command
// line puts it into words; nothing is imported from such a file.
struct InputProblem {
    enum class Kind {
        Readable,          // nothing wrong (not "None": X11 makes that a macro)
        NoCard,            // vCard: text, but no BEGIN:VCARD ... END:VCARD in it
        UnknownColumns,    // CSV: the first row names none of the known columns
        UnterminatedQuote, // CSV: the quoted field begun at `line` never closes
    };
    Kind kind = Kind::Readable;
    std::int64_t line = 0; // from 1

    bool ok() const { return kind == Kind::Readable; }
};

// A line or a field of a file to import that was skipped, or read otherwise
// than it stands; the rest of the file is imported. The command line puts it
// into words.
struct Notice {
    enum class Kind {
        NotAProperty,      // vCard: a line in a card with no ':', skipped
        Comment,           // vCard: a line starting with '#', skipped
        StrayContinuation, // vCard: a folded line with nothing before it to continue
        OutsideCard,       // vCard: lines between cards, skipped
        UnterminatedCard,  // vCard: a card with no END:VCARD, imported as far as it went
        LongParameters,    // vCard: parameters past the first bytes of a line, not read
        UnknownCharset,    // vCard: a CHARSET the system does not know: read as unstated
        EncodedText,       // vCard: a text value in base64, skipped
        ExtraFields,       // CSV: fields past the columns the first row names, ignored
        ManyColumns,       // CSV: columns past the ones the program reads, ignored
        PhoneColumn,       // CSV: a column `name` read as numbers by the words of its name
        MoreNotices,       // `count` more of the above, past the ones reported one by one
    };
    Kind kind = Kind::NotAProperty;
    std::int64_t line = 0;     // from 1
    std::int64_t lastLine = 0; // the last of a run of lines, or `line`
    std::int64_t count = 0;    // ExtraFields, ManyColumns, MoreNotices
    // UnknownCharset: the name, as it stands (at most 64 bytes); PhoneColumn:
    // the column's, in UTF-8 (at most 40 characters).
    std::string name;

    bool operator==(const Notice&) const = default;
};

// The columns (CSV) or properties (vCard) of a file that the phone book has no
// place for, each with the number of contacts that had a value there.
struct IgnoredField {
    std::u16string name;
    std::int64_t contacts = 0;

    bool operator==(const IgnoredField&) const = default;
};
