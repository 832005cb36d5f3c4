#pragma once

// A window without a screen for driving the phone book from a benchmark: the
// three boxes and the title are kept, every question is answered at once.

#include <map>
#include <optional>
#include <string>

#include "form/interfaces.h"

class QuietView : public View {
public:
    std::u16string text(Casella box) const override {
        const auto it = texts_.find(box);
        return it == texts_.end() ? std::u16string() : it->second;
    }
    void setText(Casella box, const std::u16string& text) override { texts_[box] = text; }
    void setTitle(const std::u16string& title) override { title_ = title; }
    void setFocus(Casella) override {}

    const std::u16string& title() const { return title_; }

private:
    std::map<Casella, std::u16string> texts_;
    std::u16string title_;
};

// Answers Yes to every Yes/No question and types `typed` into every input box.
class QuietDialogs : public Dialogs {
public:
    Risposta messageBox(const std::u16string& text, int style,
                        const std::optional<std::u16string>&) override {
        last = text;
        ++messages;
        return style == Stile::SiNo ? Risposta::Si : Risposta::Ok;
    }
    std::u16string inputBox(const std::u16string&, const std::u16string&) override { return typed; }
    void beep() override {}

    std::u16string typed;
    std::u16string last; // the text of the last message box
    long messages = 0;
};

inline std::u16string widen(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}
