#pragma once

#include "exchange/linereader.h"
#include "exchange/reader.h"

#include <cstdint>
#include <string>

// vCard, the contact format of phones and mail programs (RFC 2426, RFC 6350).
//
// Written as version 3.0, which phones import most reliably: UTF-8, CR LF
// line ends, lines folded at 75 bytes without splitting a character, and the
// escapes of text values (\\ \, \; \n). Each contact is one card with N and
// FN (the whole name in both: the record does not split it into given and
// family name), TEL for the number and NOTE for the comments; TEL and NOTE
// only when they are not empty. vCard has one kind of line break, "\n": a
// lone LF or CR in the comments goes out as one and comes back as CR LF.
//
// Read: versions 2.1, 3.0 and 4.0. The name is FN, or else the parts of N;
// the number is the first TEL marked preferred, or else the first TEL; the
// other numbers open the comments, one a line, and the NOTEs follow, one a
// line. Folded lines, escapes, quoted-printable values with their soft line
// breaks, CHARSET, property groups ("item1.TEL") and the "tel:" form of 4.0
// are understood; every other property is passed over. A value whose encoding
// is not stated is UTF-8 when it is valid UTF-8 and Windows-1252 otherwise.

// One card.
std::string vcardOf(const Voce& voce);

class VCardReader : public ContactReader {
public:
    explicit VCardReader(LineReader& lines) : lines_(lines) {}

    Status next(Voce& voce, bool& got, InputProblem& problem) override;
    std::int64_t line() const override { return begun_; }

private:
    // The next line with its folded continuations joined, and the number of its first line.
    Status logicalLine(std::string& line, std::int64_t& number, bool& got);

    LineReader& lines_;
    std::string pending_; // a line read ahead, to see whether the next one continues it
    std::int64_t pendingNumber_ = 0;
    bool havePending_ = false;
    std::int64_t begun_ = 0;
};
