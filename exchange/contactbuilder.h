#pragma once

#include "exchange/contattolibero.h"
#include "exchange/phonelabels.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One contact put together from the parts other programs keep apart (given
// and family name, a company, numbers of several kinds, notes), by the same
// rules for every format:
//
// - Name: the name as it is shown (vCard's FN, a CSV's display-name column)
//   when there is one; else prefix, given, middle and family name and suffix,
//   joined by single spaces; else the company.
// - Number: the one marked preferred (never a fax or a pager), else a cell
//   phone, else a voice number (home, work, other or of no kind), else any
//   other number, and a fax or a pager only when nothing else is there; the
//   first of its kind when there are several.
// - Comments: the other numbers one a line, each after its label ("Cell.",
//   "Casa", "Ufficio", or the file's own), then the notes, then the fax and
//   pager numbers: what a user would miss least goes last, where the 100
//   characters of the field run out. A number already written is not repeated.
//
// Memory is bounded whatever the file: each text is held up to what a field
// can show (HeldText), and of a card with thousands of numbers only the first
// 128 are kept, which fill the comments many times over; the best of the
// others can still become the record's number.

enum class NamePart { Display, Prefix, Given, Middle, Family, Suffix, Company };

struct Phone {
    HeldText number;
    std::u16string label; // may be empty
    PhoneKind kind = PhoneKind::Voice;
    bool preferred = false;
    std::string group; // a vCard property group ("item1"), which Apple labels
};

// A text from a file for a one-line field: line breaks become spaces, the
// spaces around it go.
HeldText lineText(std::u16string_view whole, bool atLeast = false);
// A text for the comments: the spaces around it go, its line breaks stay.
HeldText noteText(std::u16string_view whole, bool atLeast = false);

class ContactBuilder {
public:
    void clear() { *this = ContactBuilder(); }

    // The first part that is not empty counts.
    void name(NamePart part, const HeldText& text);
    void phone(Phone phone);
    // Apple's label (itemN.X-ABLabel) for the numbers of a group.
    void groupLabel(std::string_view group, std::u16string_view label);
    void note(const HeldText& text);

    bool empty() const;
    ReadContact contact() const;
    // The contact has a company, but also a name, which is used instead.
    bool companyUnused() const;

private:
    static constexpr std::size_t kHeldPhones = 128;

    struct Ranked {
        Phone phone;
        std::size_t order = 0; // among all the card's numbers
    };
    HeldText composedName() const;
    static int rank(const Phone& phone);
    std::optional<Ranked> best() const;

    HeldText names_[7];
    std::vector<Ranked> held_;         // in the file's order
    std::optional<Ranked> bestUnheld_; // the best of those not held, if any
    std::size_t unheld_ = 0;           // numbers not held
    std::size_t phones_ = 0;
    HeldText notes_;
};
