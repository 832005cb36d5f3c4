#pragma once

#include "store/contatto.h"
#include "store/status.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// When two contacts are one: the same name and the same number.
//
// - Names are compared as the search compares them, trimmed and upper-cased
//   under the user's locale, with any run of blanks taken as one space.
// - Numbers are compared as phone numbers, in the user's region: two numbers
//   are one when libphonenumber finds them an exact or a national-number
//   match, so "+39 333 1234567", "0039 3331234567" and "333 123 4567" are one
//   number and "02 1234567" and "06 1234567" are two. Text the library cannot
//   read as a number is compared by its digits alone; two empty numbers are
//   equal.
// - Comments are not compared.

// How an import treats a contact that is already in the phone book.
enum class Doppioni {
    Salta,       // left out (the default)
    Aggiungi,    // added all the same
    Sostituisci, // written over the record it duplicates, in its place
};

// The country whose numbers a number without a country code belongs to: that
// of LC_ALL, else LC_TELEPHONE, else LANG ("it_IT.UTF-8" gives "IT"), else
// Italy.
std::string phoneRegion();

// The name as duplicates compare it.
std::u16string comparableName(std::u16string_view name);

// Compares numbers as phone numbers of one region.
class NumberMatcher {
public:
    explicit NumberMatcher(std::string region = phoneRegion());
    ~NumberMatcher();
    NumberMatcher(const NumberMatcher&) = delete;
    NumberMatcher& operator=(const NumberMatcher&) = delete;

    // Whether `a` and `b` (as the window shows them) are one number.
    bool same(std::u16string_view a, std::u16string_view b) const;
    // Whether two contacts are one: the same number and the same name.
    bool sameContact(const Contatto& a, const Contatto& b) const;

    const std::string& region() const { return region_; }

private:
    friend class DuplicateIndex;
    struct Parsed;
    std::unique_ptr<Parsed> parse(std::u16string_view number) const;
    // `a` trimmed, and as the library read it (null: it could not).
    bool same(const std::u16string& a, const Parsed* parsedA, std::u16string_view b) const;

    std::string region_;
};

// The records of a phone book, indexed so that the duplicates of a contact are
// found without reading the book again: 8 bytes a record, a hash of the last
// seven digits of its number as written (of its name, when the number has no
// digit), for which the library is never asked. A short number is indexed
// under the national number inside it too, so that "+39 06 222" and "06 222"
// meet. A hash only points at candidates; the library is asked only about
// them, and each is confirmed against the record itself.
class DuplicateIndex {
public:
    // Reads record n; the index only asks for records it was given.
    using ReadRecord = std::function<chiamoro::Status(std::int32_t n, Contatto& record)>;

    explicit DuplicateIndex(std::string region = phoneRegion()) : matcher_(std::move(region)) {}

    // The records of the book, in any order; call seal() after the last one.
    void reserve(std::size_t records) { sealed_.reserve(records); }
    void addBookRecord(const char* bytes, std::int32_t n); // the 180 bytes of record n
    void seal();

    // A record added since (an import's own): found by later contacts too.
    // Memory grows by 16 to 32 bytes a record added.
    void add(const Contatto& record, std::int32_t n);

    // What a contact is to the records indexed.
    struct Match {
        std::int32_t duplicate = 0; // a record with the same name and number, or 0
        std::int32_t similar = 0;   // else one with the same number under another name, or 0
        Contatto similarRecord;     // that record
    };
    chiamoro::Status find(const Contatto& contact, const ReadRecord& read, Match& match) const;

    const NumberMatcher& matcher() const { return matcher_; }

private:
    struct Entry {
        std::uint32_t key;
        std::int32_t record;
    };

    void addEntry(Entry entry);

    NumberMatcher matcher_;
    std::vector<Entry> sealed_; // the book's, sorted by key
    // The records added since: open addressing by key, a quarter to half
    // full, record 0 an empty slot.
    std::vector<Entry> table_;
    std::size_t added_ = 0;
};
