#include "duplicates.h"

#include "store/codepage.h"
#include "store/uppercase.h"
#include "store/utf8.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <phonenumbers/phonenumberutil.h>

using chiamoro::Status;
using i18n::phonenumbers::PhoneNumber;
using i18n::phonenumbers::PhoneNumberUtil;

namespace {

// Numbers are bucketed by their last digits: a match in the library's sense
// has the same national number, whose end is the end of the digits as written.
constexpr std::size_t kKeyDigits = 7;

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f' ||
           c == 0x00A0;
}

// The digits of a number as written, up to its extension ("333 1234567 int. 12"
// and "... ext 12", or after ',', ';' or '#', which dial pauses and codes).
// Digits and letters are ASCII alike in UTF-16 and in the record's bytes.
template <typename Char> std::string keyDigits(std::basic_string_view<Char> number) {
    std::string digits;
    for (const Char c : number) {
        if (c >= '0' && c <= '9') {
            digits += static_cast<char>(c);
        } else if (!digits.empty() && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                       c == ',' || c == ';' || c == '#')) {
            break;
        }
    }
    return digits;
}

// Every digit of a text, for numbers the library cannot read.
std::u16string allDigits(std::u16string_view text) {
    std::u16string digits;
    std::copy_if(text.begin(), text.end(), std::back_inserter(digits),
                 [](char16_t c) { return c >= u'0' && c <= u'9'; });
    return digits;
}

// FNV-1a, with a first byte that keeps numbers and names apart.
std::uint32_t hashOf(char tag, const void* data, std::size_t size) {
    std::uint32_t hash = 2166136261u;
    const auto mix = [&hash](unsigned char byte) {
        hash ^= byte;
        hash *= 16777619u;
    };
    mix(static_cast<unsigned char>(tag));
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        mix(bytes[i]);
    }
    return hash;
}

std::uint32_t numberKey(std::string_view digits) {
    const std::size_t from = digits.size() > kKeyDigits ? digits.size() - kKeyDigits : 0;
    return hashOf('#', digits.data() + from, digits.size() - from);
}

std::uint32_t nameKey(std::u16string_view nome) {
    const std::u16string name = comparableName(nome);
    return hashOf('N', name.data(), name.size() * sizeof(char16_t));
}

// The keys a number is indexed and looked up under, without asking the
// library: the last digits as written, and, for a short number, those of the
// national number it may hold. A match in the library's sense has one national
// number N, which every way of writing it ends with ("N", "0N", "+39 N",
// "0039 N"): once N has kKeyDigits digits, all end the same; a shorter N is
// reached by leaving out a national prefix "0", or "+"/"00" and a country
// code of one to three digits.
template <typename Char, typename Push>
void numberKeys(std::basic_string_view<Char> number, const std::string& digits, const Push& push) {
    push(numberKey(digits));
    const auto add = [&push](std::string_view shorter) {
        if (!shorter.empty() && shorter.size() < kKeyDigits) {
            push(numberKey(shorter));
        }
    };
    const std::size_t sign = number.find_first_not_of(Char(' '));
    const bool plus = sign != decltype(number)::npos && number[sign] == Char('+');
    const bool doubleZero = !plus && digits.starts_with("00");
    if (plus || doubleZero) {
        const std::string_view international = std::string_view(digits).substr(doubleZero ? 2 : 0);
        for (std::size_t code = 1; code <= 3 && code < international.size(); ++code) {
            add(international.substr(code));
        }
    } else if (digits.starts_with("0")) {
        add(std::string_view(digits).substr(1));
    }
}

// A contact's keys: those of its number, or of its name when the number has no digit.
std::vector<std::uint32_t> keysOf(const Contatto& contact) {
    const std::string digits = keyDigits(std::u16string_view(contact.Numero));
    if (digits.empty()) {
        return {nameKey(contact.Nome)};
    }
    std::vector<std::uint32_t> keys;
    numberKeys(std::u16string_view(contact.Numero), digits, [&keys](std::uint32_t key) {
        if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
            keys.push_back(key);
        }
    });
    return keys;
}

// "it_IT.UTF-8@euro" gives "IT"; "C", "POSIX" and "C.UTF-8" give nothing.
std::string countryOf(const char* locale) {
    if (locale == nullptr) {
        return {};
    }
    const std::string_view name(locale);
    const std::size_t underscore = name.find('_');
    if (underscore == std::string_view::npos || name.size() < underscore + 3) {
        return {};
    }
    std::string country(name.substr(underscore + 1, 2));
    for (char& c : country) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        } else if (c < 'A' || c > 'Z') {
            return {};
        }
    }
    return country;
}

} // namespace

std::string phoneRegion() {
    for (const char* variable : {"LC_ALL", "LC_TELEPHONE", "LANG"}) {
        if (std::string country = countryOf(std::getenv(variable)); !country.empty()) {
            return country;
        }
    }
    return "IT";
}

std::u16string comparableName(std::u16string_view name) {
    std::u16string comparable;
    comparable.reserve(name.size());
    bool blank = false;
    for (const char16_t c : name) {
        if (isBlank(c)) {
            blank = !comparable.empty();
            continue;
        }
        if (blank) {
            comparable += u' ';
            blank = false;
        }
        comparable += toUpperChar(c);
    }
    return comparable;
}

struct NumberMatcher::Parsed {
    PhoneNumber number;
};

NumberMatcher::NumberMatcher(std::string region) : region_(std::move(region)) {}
NumberMatcher::~NumberMatcher() = default;

std::unique_ptr<NumberMatcher::Parsed> NumberMatcher::parse(std::u16string_view number) const {
    auto parsed = std::make_unique<Parsed>();
    if (PhoneNumberUtil::GetInstance()->Parse(encodeUtf8(number), region_, &parsed->number) !=
        PhoneNumberUtil::NO_PARSING_ERROR) {
        return nullptr;
    }
    return parsed;
}

bool NumberMatcher::same(std::u16string_view a, std::u16string_view b) const {
    return same(trimSpaces(a), parse(trimSpaces(a)).get(), b);
}

bool NumberMatcher::same(const std::u16string& a, const Parsed* parsedA,
                         std::u16string_view b) const {
    const std::u16string second = trimSpaces(b);
    if (a == second) {
        return true;
    }
    const std::unique_ptr<Parsed> parsedB = parsedA != nullptr ? parse(second) : nullptr;
    if (parsedA == nullptr || !parsedB) {
        return allDigits(a) == allDigits(second);
    }
    const PhoneNumberUtil::MatchType match =
        PhoneNumberUtil::GetInstance()->IsNumberMatch(parsedA->number, parsedB->number);
    return match == PhoneNumberUtil::EXACT_MATCH || match == PhoneNumberUtil::NSN_MATCH;
}

bool NumberMatcher::sameContact(const Contatto& a, const Contatto& b) const {
    return comparableName(a.Nome) == comparableName(b.Nome) && same(a.Numero, b.Numero);
}

void DuplicateIndex::addBookRecord(const char* bytes, std::int32_t n) {
    const std::string_view numero(bytes + kOffsetNumero, kLarghezzaNumero);
    const std::string digits = keyDigits(numero);
    if (digits.empty()) { // the name is decoded only when it is the key
        sealed_.push_back(
            {nameKey(decodeCp1252(std::string_view(bytes + kOffsetNome, kLarghezzaNome))), n});
        return;
    }
    numberKeys(numero, digits, [this, n](std::uint32_t key) { sealed_.push_back({key, n}); });
}

void DuplicateIndex::seal() {
    std::sort(sealed_.begin(), sealed_.end(),
              [](const Entry& a, const Entry& b) { return a.key < b.key; });
}

void DuplicateIndex::add(const Contatto& record, std::int32_t n) {
    for (const std::uint32_t key : keysOf(record)) {
        addEntry({key, n});
    }
}

void DuplicateIndex::addEntry(Entry entry) {
    if ((added_ + 1) * 2 > table_.size()) { // at most half full: short probes
        std::vector<Entry> old(std::max<std::size_t>(1024, table_.size() * 2), Entry{0, 0});
        old.swap(table_);
        added_ = 0;
        for (const Entry& kept : old) {
            if (kept.record != 0) {
                addEntry(kept);
            }
        }
    }
    const std::size_t mask = table_.size() - 1;
    std::size_t slot = entry.key & mask;
    while (table_[slot].record != 0) {
        slot = (slot + 1) & mask;
    }
    table_[slot] = entry;
    ++added_;
}

Status DuplicateIndex::find(const Contatto& contact, const ReadRecord& read, Match& match) const {
    match = {};
    // In the order of the phone book: the book's records, then the import's own.
    std::vector<std::int32_t> candidates;
    for (const std::uint32_t key : keysOf(contact)) {
        const auto [from, to] =
            std::equal_range(sealed_.begin(), sealed_.end(), Entry{key, 0},
                             [](const Entry& a, const Entry& b) { return a.key < b.key; });
        for (auto entry = from; entry != to; ++entry) {
            candidates.push_back(entry->record);
        }
        const std::size_t mask = table_.size() - 1;
        for (std::size_t slot = key & mask; !table_.empty() && table_[slot].record != 0;
             slot = (slot + 1) & mask) {
            if (table_[slot].key == key) {
                candidates.push_back(table_[slot].record);
            }
        }
    }
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    if (candidates.empty()) {
        return Status::success();
    }
    const bool hasDigits = !keyDigits(std::u16string_view(contact.Numero)).empty();
    const std::u16string name = comparableName(contact.Nome);
    // The contact's number is read once, and only now: the library is slow.
    const std::u16string number = trimSpaces(contact.Numero);
    const std::unique_ptr<NumberMatcher::Parsed> parsed = matcher_.parse(number);

    Contatto record;
    for (const std::int32_t n : candidates) {
        if (Status status = read(n, record); !status.ok()) {
            return status;
        }
        const bool sameName = comparableName(record.Nome) == name;
        if (!hasDigits && !sameName) {
            continue; // keyed by name: a hash collision
        }
        if (!matcher_.same(number, parsed.get(), record.Numero)) {
            continue;
        }
        if (sameName) {
            match.duplicate = n;
            return Status::success();
        }
        if (match.similar == 0) {
            match.similar = n;
            match.similarRecord = record;
        }
    }
    return Status::success();
}
