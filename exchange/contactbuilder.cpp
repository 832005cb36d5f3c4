#include "contactbuilder.h"

#include <algorithm>

namespace {

// How other programs name the kinds of numbers, in English and in Italian.
struct KnownLabel {
    std::u16string_view name; // in lower case
    PhoneKind kind;
    std::u16string_view label;
};
constexpr KnownLabel kKnownLabels[] = {
    {u"mobile", PhoneKind::Cell, u"Cell."},
    {u"mobile phone", PhoneKind::Cell, u"Cell."},
    {u"cell", PhoneKind::Cell, u"Cell."},
    {u"cellphone", PhoneKind::Cell, u"Cell."},
    {u"cellulare", PhoneKind::Cell, u"Cell."},
    {u"iphone", PhoneKind::Cell, u"Cell."},
    {u"home", PhoneKind::Voice, u"Casa"},
    {u"casa", PhoneKind::Voice, u"Casa"},
    {u"abitazione", PhoneKind::Voice, u"Casa"},
    {u"work", PhoneKind::Voice, u"Ufficio"},
    {u"business", PhoneKind::Voice, u"Ufficio"},
    {u"lavoro", PhoneKind::Voice, u"Ufficio"},
    {u"ufficio", PhoneKind::Voice, u"Ufficio"},
    {u"main", PhoneKind::Voice, u"Principale"},
    {u"principale", PhoneKind::Voice, u"Principale"},
    {u"other", PhoneKind::Voice, u"Altro"},
    {u"altro", PhoneKind::Voice, u"Altro"},
    {u"car", PhoneKind::Voice, u"Auto"},
    {u"auto", PhoneKind::Voice, u"Auto"},
    {u"fax", PhoneKind::Fax, u"Fax"},
    {u"home fax", PhoneKind::Fax, u"Fax"},
    {u"work fax", PhoneKind::Fax, u"Fax"},
    {u"other fax", PhoneKind::Fax, u"Fax"},
    {u"homefax", PhoneKind::Fax, u"Fax"},
    {u"workfax", PhoneKind::Fax, u"Fax"},
    {u"otherfax", PhoneKind::Fax, u"Fax"},
    {u"fax casa", PhoneKind::Fax, u"Fax"},
    {u"fax abitazione", PhoneKind::Fax, u"Fax"},
    {u"fax lavoro", PhoneKind::Fax, u"Fax"},
    {u"fax ufficio", PhoneKind::Fax, u"Fax"},
    {u"pager", PhoneKind::Fax, u"Cercapersone"},
    {u"cercapersone", PhoneKind::Fax, u"Cercapersone"},
};

// A label longer than this is cut: the comments have 100 characters in all.
constexpr std::size_t kLongestLabel = 40;

std::u16string lowerAscii(std::u16string_view text) {
    std::u16string lower(text);
    for (char16_t& c : lower) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return lower;
}

} // namespace

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

std::u16string phoneLabel(std::u16string_view name, PhoneKind& kind) {
    std::u16string label = trimSpaces(oneLine(name));
    // Google marks the first of a kind with "* "; Apple wraps its own labels
    // in "_$!<" and ">!$_".
    if (label.starts_with(u"* ")) {
        label = trimSpaces(label.substr(2));
    }
    if (label.starts_with(u"_$!<") && label.ends_with(u">!$_") && label.size() >= 8) {
        label = label.substr(4, label.size() - 8);
    }
    const std::u16string key = lowerAscii(label);
    for (const KnownLabel& known : kKnownLabels) {
        if (key == known.name) {
            kind = known.kind;
            return std::u16string(known.label);
        }
    }
    return label.substr(0, kLongestLabel);
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
