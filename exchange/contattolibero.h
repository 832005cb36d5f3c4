#pragma once

#include "store/contatto.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A contact in free text, as other programs exchange it: the three texts of
// a record (Contatto, the fixed-width one), trimmed, of any length and in any
// characters. A line break is CR LF, the
// program's own, unless the file said otherwise (a lone LF in a CSV cell).
struct ContattoLibero {
    std::u16string numero;
    std::u16string nome;
    std::u16string commenti;

    bool operator==(const ContattoLibero&) const = default;
};

// How long a text read from a file was. A reader holds only the start of a
// long text (what a field can keep, and a little more); `length` counts the
// whole of it, or, when `atLeast` is set, the part that was read before the
// rest was passed over unread, so the text was longer still.
struct TextLength {
    std::size_t length = 0;
    bool atLeast = false;

    bool operator==(const TextLength&) const = default;
};

// A text read from a file: its first kHeldUnits code units, and its length.
struct HeldText {
    static constexpr std::size_t kHeldUnits = 128; // more than the widest field

    std::u16string text;
    TextLength size;

    HeldText() = default;
    explicit HeldText(std::u16string_view whole, bool atLeast = false);

    bool empty() const { return size.length == 0 && !size.atLeast; }
    void append(std::u16string_view more);
    void append(const HeldText& more);
};

// A contact as a reader found it: the start of each field, and each field's
// whole length, in the order of Campo.
struct ReadContact {
    ContattoLibero contatto;
    std::array<TextLength, 3> lengths;

    bool operator==(const ReadContact&) const = default;
};

// What storing a field changed: it was longer than its width and was cut, or
// it held characters Windows-1252 lacks, which became '?'.
struct FieldChange {
    Campo field = Campo::Numero;
    std::size_t length = 0;  // the length before it was cut; 0 if it was not
    bool atLeast = false;    // the length is a lower bound: the text was longer still
    std::u16string replaced; // the characters that became '?', each once, in order
};

// A contact the window would show as empty: every field blank.
bool blank(const ContattoLibero& contatto);

// The record as the window shows it: each field trimmed of spaces.
ContattoLibero fromRecord(const Contatto& record);

// The record for a contact: each field trimmed of spaces and fitted to its
// width, as the window stores what is typed. The number and the name are
// single lines: a line break there becomes a space. What that changed, field
// by field, is added to `changes`.
Contatto toRecord(const ContattoLibero& contatto, std::vector<FieldChange>& changes);
Contatto toRecord(const ReadContact& contact, std::vector<FieldChange>& changes);

// Bytes whose encoding nobody stated: UTF-8 when they are valid UTF-8,
// otherwise Windows-1252, which is what spreadsheets and old phones on
// Italian systems write.
std::u16string decodeGuessing(std::string_view bytes);

// CR LF, a lone CR and a lone LF each become CR LF.
std::u16string normaliseBreaks(std::u16string_view text);

// A text on one line: CR LF, a lone CR and a lone LF each become a space.
std::u16string oneLine(std::u16string_view text);

// Lower case for ASCII and the Latin-1 letters ("SOCIETÀ" is "società"): names
// other programs give, compared in any case.
std::u16string lowerCase(std::u16string_view text);

// Upper case for ASCII alone: vCard's names and parameters, character sets' names.
std::string upperAscii(std::string_view text);
