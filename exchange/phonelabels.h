#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

// The kinds of telephone numbers and the labels the comments give them
// ("Cell. 333 1234567"), in one table (phonelabels.cpp), a row a label: what
// the number is for, its vCard TYPE, the labels other programs give it and the
// CSV columns that hold it. Every way a number comes in or goes out reads it:
// the vCard reader finds a TEL's row by its TYPE, the CSV reader a column's by
// its name, both a file's own label by its name or its words; the vCard writer
// turns a labelled line of the comments back into a TEL of the row's TYPE. A
// new label is one more row.

// What a telephone number is for, best first for the record's number.
enum class PhoneKind { Cell, Voice, Other, Fax }; // Fax: a pager too

struct PhoneLabel {
    std::u16string_view label; // in the comments; empty for a number of no particular kind
    PhoneKind kind;
    std::string_view type;       // vCard 3.0's TYPE, written and read; empty where 3.0 has none
    std::string_view otherTypes; // more TYPEs read as this row, "," between
    std::u16string_view names;   // the labels other programs give it, in lower case, ", " between
    std::u16string_view columns; // the names of the CSV columns that hold it, the same way
};

// Every row, in the order a TEL's types are tried: a home fax is a fax, a cell
// phone that is also a voice number is a cell phone.
std::span<const PhoneLabel> phoneLabels();

// The row whose label, or one of whose names, `name` is, in any case; none for
// an empty name.
const PhoneLabel* labelNamed(std::u16string_view name);

// The row of the CSV column named `key` (trimmed, in lower case), if any.
const PhoneLabel* labelOfColumn(std::u16string_view key);

// Whether a name other programs give holds a word for a phone: phone,
// telephone, tel, telefono, mobile, cell, cellular, cellulare, fax, pager or
// cercapersone ("Telefono di casa", "Home Mobile", "Phone (Work)"). `row` is
// then the first row, in the table's order, whose one-word names are among
// its words ("Home Mobile" is a cell phone, "Fax di Lavoro" a fax), or none:
// a number of no particular kind.
bool namesAPhone(std::u16string_view name, const PhoneLabel*& row);

// The kind and the label a file's own name for a number gives it: "Mobile",
// "Home", "Cellulare", Apple's "_$!<HomeFAX>!$_", ... are the rows' labels; a
// name that holds a word for a phone keeps its own words, with the kind they
// say; any other name is a voice number's label, as it stands. `kind` is left
// alone for an empty name or one without a word for a phone. A number that
// ends the name ("Mobile 2", "Ufficio (2)") counts the numbers of a kind and
// is no part of the label, so that a label never ends in what reads as a
// number.
std::u16string phoneLabel(std::u16string_view name, PhoneKind& kind);

// A line of the comments that holds a number as the import writes one there:
// the label (the table's, a file's own, or none), one space, and the number.
struct NumberLine {
    std::u16string_view label;
    std::u16string_view number;
    PhoneKind kind = PhoneKind::Voice;
    const PhoneLabel* row = nullptr; // the label's row, by its name or its words
};

// The number in a line of the comments, if the line is one as the import
// writes it: the number made of digits, spaces and + - . ( ) / * #, starting
// with a digit, '+' or '(', and a label the import would write as it stands.
// A label of the table or with a word for a phone comes with a number of 3
// digits or more, a label of a file's own or none with one of 6 or more, so
// that "Piano 3" or "Nato nel 1990" stay what they are.
std::optional<NumberLine> numberLine(std::u16string_view line);
