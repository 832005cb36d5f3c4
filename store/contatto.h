#pragma once

#include <string>
#include <string_view>

// The contact record as it lies in "Chiamoro.DAT".
//
// The file is a flat run of 180-byte records with no header, separator or
// checksum; record n (1-based) occupies bytes (n-1)*180 .. n*180-1. Each record
// holds three text fields, left-aligned and padded with spaces to their width,
// one Windows-1252 byte per character:
//
//   offset  width  field
//        0     40  Numero    (phone number)
//       40     40  Nome      (name)
//       80    100  Commenti  (comments; a line break is CR LF, two bytes)
//
// The number of records follows from the file length alone.

constexpr int kLarghezzaNumero = 40;
constexpr int kLarghezzaNome = 40;
constexpr int kLarghezzaCommenti = 100;
constexpr int kLunghezzaRecord = 180;

constexpr int kOffsetNumero = 0;
constexpr int kOffsetNome = kOffsetNumero + kLarghezzaNumero;
constexpr int kOffsetCommenti = kOffsetNome + kLarghezzaNome;

static_assert(kOffsetCommenti + kLarghezzaCommenti == kLunghezzaRecord,
              "the three fields must fill the record exactly");

// In memory each field holds exactly its width of UTF-16 code units.
struct Contatto {
    std::u16string Numero = std::u16string(kLarghezzaNumero, u' ');
    std::u16string Nome = std::u16string(kLarghezzaNome, u' ');
    std::u16string Commenti = std::u16string(kLarghezzaCommenti, u' ');

    bool operator==(const Contatto&) const = default;
};

// The three fields of a record, in their order. Searches look at the first two.
enum class Campo { Numero, Nome, Commenti };

// Where a field lies in a record, and how wide it is.
constexpr int fieldOffset(Campo field) {
    return field == Campo::Numero ? kOffsetNumero
           : field == Campo::Nome ? kOffsetNome
                                  : kOffsetCommenti;
}
constexpr int fieldWidth(Campo field) {
    return field == Campo::Numero ? kLarghezzaNumero
           : field == Campo::Nome ? kLarghezzaNome
                                  : kLarghezzaCommenti;
}

// Left-aligns text in a field of the given width: pads with spaces, cuts what exceeds.
std::u16string fitField(std::u16string_view text, std::size_t width);

// Removes leading and trailing spaces (U+0020 only; tabs and other blanks stay).
std::u16string trimSpaces(std::u16string_view text);

// The 180 bytes of a record and back.
void encodeRecord(const Contatto& record, char* bytes);
Contatto decodeRecord(const char* bytes);
