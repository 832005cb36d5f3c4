#pragma once

#include "store/contatto.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One contact as other programs exchange it: the three texts of a record,
// trimmed, of any length and in any characters. A line break is CR LF, the
// program's own, unless the file said otherwise (a lone LF in a CSV cell).
struct Voce {
    std::u16string numero;
    std::u16string nome;
    std::u16string commenti;

    bool operator==(const Voce&) const = default;
};

enum class Field { Numero, Nome, Commenti };

// What storing a field changed: it was longer than its width and was cut, or
// it held characters Windows-1252 lacks, which became '?'.
struct FieldChange {
    Field field = Field::Numero;
    std::size_t length = 0;  // the length before it was cut; 0 if it was not
    std::u16string replaced; // the characters that became '?', each once, in order
};

// A contact the window would show as empty: every field blank.
bool blank(const Voce& voce);

// The record as the window shows it: each field trimmed of spaces.
Voce fromRecord(const Contatto& record);

// The record for a contact: each field trimmed of spaces and fitted to its
// width, as the window stores what is typed. The number and the name are
// single lines: a line break there becomes a space. What that changed, field
// by field, is added to `changes`.
Contatto toRecord(const Voce& voce, std::vector<FieldChange>& changes);

// Bytes whose encoding nobody stated: UTF-8 when they are valid UTF-8,
// otherwise Windows-1252, which is what spreadsheets and old phones on
// Italian systems write.
std::u16string decodeGuessing(std::string_view bytes);

// CR LF, a lone CR and a lone LF each become CR LF.
std::u16string normaliseBreaks(std::u16string_view text);
