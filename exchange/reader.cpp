#include "reader.h"

#include <algorithm>

void Notices::add(const Notice& notice) {
    if (++count_ <= kOneByOne && report_) {
        report_(notice);
    }
}

void Notices::finish() {
    if (count_ > kOneByOne && report_) {
        Notice more;
        more.kind = Notice::Kind::MoreNotices;
        more.count = count_ - kOneByOne;
        report_(more);
    }
    count_ = 0;
}

std::size_t IgnoredFields::declare(std::u16string_view name) {
    std::u16string shown(name.substr(0, kLongestName));
    if (const auto known = index_.find(shown); known != index_.end()) {
        return known->second;
    }
    if (entries_.size() == kNames) {
        return kNames; // past the names told apart
    }
    index_.emplace(shown, entries_.size());
    entries_.push_back({{std::move(shown), 0}, 0});
    return entries_.size() - 1;
}

void IgnoredFields::seen(std::u16string_view name, std::int64_t contact) {
    seen(declare(name), contact);
}

void IgnoredFields::seen(std::size_t index, std::int64_t contact) {
    if (index >= entries_.size()) {
        ++unnamed_;
        return;
    }
    Entry& entry = entries_[index];
    if (entry.lastContact != contact) {
        entry.lastContact = contact;
        ++entry.field.contacts;
    }
}

std::vector<IgnoredField> IgnoredFields::withValues() const {
    std::vector<IgnoredField> fields;
    for (const Entry& entry : entries_) {
        if (entry.field.contacts > 0) {
            fields.push_back(entry.field);
        }
    }
    return fields;
}

std::int64_t IgnoredFields::empty() const {
    return std::count_if(entries_.begin(), entries_.end(),
                         [](const Entry& e) { return e.field.contacts == 0; });
}
