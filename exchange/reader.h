#pragma once

#include "exchange/contattolibero.h"
#include "exchange/problem.h"
#include "store/status.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

using NoticeReport = std::function<void(const Notice&)>;

// Passes notices on, the first few one by one and then only their number, so
// that a file of a million bad lines does not become a million lines on the
// terminal.
class Notices {
public:
    static constexpr std::int64_t kOneByOne = 20;

    explicit Notices(const NoticeReport& report) : report_(report) {}

    void add(const Notice& notice);
    // The number of those not reported one by one, once at the end.
    void finish();

private:
    const NoticeReport& report_;
    std::int64_t count_ = 0;
};

// Counts, for each field the phone book has no place for, the contacts that
// had a value there. At most kNames names are told apart; values in fields
// past them are only counted.
class IgnoredFields {
public:
    static constexpr std::size_t kNames = 1024;
    static constexpr std::size_t kLongestName = 40;

    // A field that may hold a value: a CSV's column. Returns its index.
    std::size_t declare(std::u16string_view name);
    // The contact numbered `contact` has a value in the field `name`.
    void seen(std::u16string_view name, std::int64_t contact);
    void seen(std::size_t index, std::int64_t contact);

    // Those with a value in some contact, in the order first declared or seen.
    std::vector<IgnoredField> withValues() const;
    // Those declared that never had a value.
    std::int64_t empty() const;
    // Values in fields past the first kNames names.
    std::int64_t unnamed() const { return unnamed_; }

private:
    struct Entry {
        IgnoredField field;
        std::int64_t lastContact = 0;
    };
    std::vector<Entry> entries_;
    std::unordered_map<std::u16string, std::size_t> index_;
    std::int64_t unnamed_ = 0;
};

// The contacts of a file to import, one at a time.
class ContactReader {
public:
    // Of a value (a vCard property's, a CSV field's), what a reader holds:
    // more than any field can use, and the same whatever the file.
    static constexpr std::size_t kHeldBytes = std::size_t{32} << 10;

    virtual ~ContactReader() = default;

    // The next contact; `got` is false at the end. A failed read comes back as
    // the Status, a file that is not what it should be as `problem`.
    virtual chiamoro::Status next(ReadContact& contact, bool& got, InputProblem& problem) = 0;

    // The line of the file where the contact last returned begins, from 1.
    virtual std::int64_t line() const = 0;

    // What the phone book had no place for, once the file has been read.
    virtual const IgnoredFields& ignored() const = 0;
};
