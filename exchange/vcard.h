#pragma once

#include "exchange/charset.h"
#include "exchange/contactbuilder.h"
#include "exchange/linereader.h"
#include "exchange/reader.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// vCard, the contact format of phones and mail programs (RFC 2426, RFC 6350).
//
// Written as version 3.0, which phones import most reliably: UTF-8, CR LF
// line ends, lines folded at 75 bytes without splitting a character, and the
// escapes of text values (\\ \, \; \n). Each contact is one card with N and
// FN (the whole name in both: the record does not split it into given and
// family name; a contact without a name is named by its number, or else
// kNoName, as every card must have a name), TEL for the number and NOTE for
// the comments; TEL and NOTE only when they are not empty. The lines of the
// comments that hold a number as the import writes one there (numberLine())
// go out as TELs of their kind, each number once, and the record's number as
// the preferred TEL, so that it stays the record's when the card comes back;
// the other lines are the note. vCard has one kind of line break, "\n": a
// lone LF or CR in the comments goes out as one and comes back as CR LF.
//
// Read: versions 2.1, 3.0 and 4.0, as phones and mail programs write them.
// The name comes from FN, else N, else ORG; the numbers from TEL, of the kind
// TYPE says (or Apple's itemN.X-ABLabel), and NOTE goes to the comments, by
// the rules of ContactBuilder. Folded lines, escapes, quoted-printable values
// with their soft line breaks, CHARSET (any set the C library knows),
// property groups and the "tel:" form of 4.0 are understood; every other
// property is passed over, unread, and counted. A value whose encoding is not
// stated is UTF-8 when it is valid UTF-8 and Windows-1252 otherwise.
//
// A line that is no property (no ':', a '#' comment, a continuation with
// nothing to continue) is skipped and reported, and so is any text between
// cards; the rest of the card and the other cards are read. A card that the
// file ends inside of, or that the next BEGIN:VCARD interrupts, is read as far
// as it went, and reported. Only a file with text but no card at all is not
// a vCard file.
//
// Memory stays bounded: of a line, only what a field can use is held (the
// first kHeldBytes of a value that is kept, the first kHeadBytes of its name
// and parameters), and a property that is not kept (a photo) is passed over
// without being held at all.

inline constexpr std::u16string_view kNoName = u"Senza nome";

// One card.
std::string vcardOf(const ContattoLibero& contatto);

class VCardReader : public ContactReader {
public:
    static constexpr std::size_t kHeadBytes = std::size_t{4} << 10;

    VCardReader(LineReader& lines, Notices& notices) : lines_(lines), notices_(notices) {}

    chiamoro::Status next(ReadContact& contact, bool& got, InputProblem& problem) override;
    std::int64_t line() const override { return begun_; }
    const IgnoredFields& ignored() const override { return ignored_; }

    // A property's name and parameters, in upper case.
    struct Head {
        std::string group; // "ITEM1" of "item1.TEL"
        std::string name;  // without its group
        std::vector<std::pair<std::string, std::string>> params;

        std::string param(std::string_view key) const;
    };
    // The head of a property line, the text before its ':' (2.1's bare
    // parameters, "TEL;CELL;QUOTED-PRINTABLE", given their names).
    static Head parseHead(std::string_view text);

private:
    // A property line, with its continuations, as far as it is held.
    struct Line {
        std::int64_t number = 0; // of its first line
        std::string head;        // before the first ':' outside quotes
        std::string value;       // after it; held only for a property that is kept
        Head parsed;             // the head, once the ':' is read
        bool colon = false;
        bool headCut = false;
        bool valueCut = false;
        bool keep = true;
        bool quotedPrintable = false;
        bool quoted = false; // inside a quoted parameter value
        bool blank = true;   // only spaces and tabs so far
        bool startsBlank = false;
        char last = 0; // the last byte read of it

        void reset(); // for the next line, keeping the strings' room
    };

    chiamoro::Status readLine(Line& line, bool& got);
    chiamoro::Status readPhysical(Line& line, bool& got);
    void finishHead(Line& line);
    void take(const Line& line);
    void finishOutside();
    void skipped(Notice::Kind kind, std::int64_t line);

    LineReader& lines_;
    Notices& notices_;
    Charsets charsets_;
    Line line_;
    ContactBuilder card_;
    IgnoredFields ignored_;
    std::int64_t cards_ = 0;       // begun so far
    std::int64_t begun_ = 0;       // the line of the card last returned
    std::int64_t open_ = 0;        // the line of the card being read, 0 outside
    int depth_ = 0;                // cards inside the card (2.1's AGENT), passed over
    bool agent_ = false;           // the last property was an AGENT with the card to follow
    std::int64_t outsideFrom_ = 0; // a run of lines outside any card
    std::int64_t outsideTo_ = 0;
    std::int64_t firstOutside_ = 0; // the first such line, while no card has been seen
};
