#include "contactbuilder.h"

#include <algorithm>

namespace {

std::u16string_view withoutSpacesAround(std::u16string_view text) {
    const std::size_t first = text.find_first_not_of(u' ');
    return first == std::u16string_view::npos
               ? std::u16string_view()
               : text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

} // namespace

HeldText lineText(std::u16string_view whole, bool atLeast) {
    if (whole.find_first_of(u"\r\n") != std::u16string_view::npos) {
        return HeldText(trimSpaces(oneLine(whole)), atLeast);
    }
    return HeldText(withoutSpacesAround(whole), atLeast);
}

HeldText noteText(std::u16string_view whole, bool atLeast) {
    return HeldText(withoutSpacesAround(whole), atLeast);
}

void ContactBuilder::name(NamePart part, const HeldText& text) {
    HeldText& held = names_[static_cast<std::size_t>(part)];
    if (held.empty()) {
        held = text;
    }
}

void ContactBuilder::phone(Phone phone) {
    if (phone.number.empty()) {
        return;
    }
    Ranked ranked{std::move(phone), ++phones_};
    if (held_.size() < kHeldPhones) {
        held_.push_back(std::move(ranked));
        return;
    }
    ++unheld_;
    if (!bestUnheld_ || rank(ranked.phone) < rank(bestUnheld_->phone)) {
        bestUnheld_ = std::move(ranked);
    }
}

void ContactBuilder::groupLabel(std::string_view group, std::u16string_view label) {
    if (group.empty()) {
        return;
    }
    const auto relabel = [&](Phone& phone) {
        if (phone.group == group) {
            phone.label = phoneLabel(label, phone.kind);
        }
    };
    for (Ranked& held : held_) {
        relabel(held.phone);
    }
    if (bestUnheld_) {
        relabel(bestUnheld_->phone);
    }
}

void ContactBuilder::note(const HeldText& text) {
    if (text.empty()) {
        return;
    }
    if (!notes_.empty()) {
        notes_.append(u"\r\n");
    }
    notes_.append(text);
}

bool ContactBuilder::empty() const {
    return std::all_of(std::begin(names_), std::end(names_),
                       [](const HeldText& name) { return name.empty(); }) &&
           phones_ == 0 && notes_.empty();
}

bool ContactBuilder::companyUnused() const {
    return !names_[static_cast<std::size_t>(NamePart::Company)].empty() &&
           std::any_of(std::begin(names_), std::end(names_) - 1,
                       [](const HeldText& name) { return !name.empty(); });
}

int ContactBuilder::rank(const Phone& phone) {
    if (phone.kind == PhoneKind::Fax) {
        return 4;
    }
    if (phone.preferred) {
        return 0;
    }
    return phone.kind == PhoneKind::Cell ? 1 : phone.kind == PhoneKind::Voice ? 2 : 3;
}

std::optional<ContactBuilder::Ranked> ContactBuilder::best() const {
    const Ranked* best = nullptr;
    for (const Ranked& held : held_) {
        if (best == nullptr || rank(held.phone) < rank(best->phone)) {
            best = &held;
        }
    }
    // Those not held all come after the held ones: they win only outright.
    if (bestUnheld_ && (best == nullptr || rank(bestUnheld_->phone) < rank(best->phone))) {
        best = &*bestUnheld_;
    }
    return best == nullptr ? std::nullopt : std::optional(*best);
}

HeldText ContactBuilder::composedName() const {
    const auto part = [this](NamePart p) -> const HeldText& {
        return names_[static_cast<std::size_t>(p)];
    };
    if (!part(NamePart::Display).empty()) {
        return part(NamePart::Display);
    }
    HeldText name;
    for (const NamePart p : {NamePart::Prefix, NamePart::Given, NamePart::Middle, NamePart::Family,
                             NamePart::Suffix}) {
        if (!part(p).empty()) {
            if (!name.empty()) {
                name.append(u" ");
            }
            name.append(part(p));
        }
    }
    return name.empty() ? part(NamePart::Company) : name;
}

ReadContact ContactBuilder::contact() const {
    const std::optional<Ranked> main = best();
    const HeldText number = main ? main->phone.number : HeldText();
    const HeldText name = composedName();

    HeldText comments;
    const auto add = [&comments](const HeldText& line) {
        if (!comments.empty()) {
            comments.append(u"\r\n");
        }
        comments.append(line);
    };
    std::vector<std::u16string_view> written;
    if (main) {
        written.push_back(main->phone.number.text);
    }
    const auto addNumbers = [&](bool faxes) {
        for (const Ranked& held : held_) {
            const Phone& phone = held.phone;
            if ((phone.kind == PhoneKind::Fax) != faxes ||
                std::find(written.begin(), written.end(), phone.number.text) != written.end()) {
                continue;
            }
            written.push_back(phone.number.text);
            HeldText line(phone.label.empty() ? u"" : phone.label + u" ");
            line.append(phone.number);
            add(line);
        }
    };
    addNumbers(false);
    if (!notes_.empty()) {
        add(notes_);
    }
    addNumbers(true);
    // Numbers past the held ones are not written: the comments were longer still.
    if (unheld_ > (main && bestUnheld_ && main->order == bestUnheld_->order ? 1 : 0)) {
        comments.size.atLeast = true;
    }
    return {{number.text, name.text, comments.text}, {number.size, name.size, comments.size}};
}
