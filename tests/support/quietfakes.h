#pragma once

// The window, its dialogs and its desktop without a screen, for driving the
// phone book from tests, benchmarks and the fuzzer. Nothing here fails a
// test by itself.

#include "form/interfaces.h"

#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

// A window with just the three boxes, a title and the focus.
class FakeView : public View {
public:
    std::u16string text(Casella box) const override {
        const auto it = texts.find(box);
        return it == texts.end() ? std::u16string() : it->second;
    }
    void setText(Casella box, const std::u16string& text) override { texts[box] = text; }
    void setTitle(const std::u16string& text) override { title = text; }
    void setFocus(Casella box) override { focus = box; }
    void setBusy(bool on) override {
        busy = on;
        busyChanges.push_back(on);
    }

    std::map<Casella, std::u16string> texts;
    std::u16string title;
    std::optional<Casella> focus;
    bool busy = false;
    std::vector<bool> busyChanges;
};

// Answers Yes to every Yes/No question and types `typed` into every input box.
class QuietDialogs : public Dialogs {
public:
    Risposta messageBox(const std::u16string& text, Stile style,
                        const std::optional<std::u16string>&) override {
        last = text;
        ++messages;
        return style == Stile::SiNo ? Risposta::Si : Risposta::Ok;
    }
    std::u16string inputBox(const std::u16string&, const std::u16string&) override { return typed; }
    void beep() override {}
    void reportBox(const std::u16string& text, Stile, const std::u16string&) override {
        last = text;
        ++messages;
    }
    bool progress(const std::u16string&, std::int64_t, std::int64_t) override { return true; }
    void progressEnded() override {}

    std::u16string typed;
    std::u16string last; // the text of the last message box
    long messages = 0;
};

// A clipboard and a printer that keep what they are given, and a clock that
// always reads `now`. The printer accepts a job while `printerAccepts`, and
// records whether the busy pointer showed while it printed.
class FakeDesktop : public Desktop {
public:
    explicit FakeDesktop(const FakeView* view = nullptr) : view_(view) {}

    void copyText(const std::u16string& text) override { copied.push_back(text); }
    bool print(const std::vector<std::u16string>& texts) override {
        printed.push_back(texts);
        busyWhilePrinting.push_back(view_ != nullptr && view_->busy);
        return printerAccepts;
    }
    std::tm localTime() override { return now; }

    std::vector<std::u16string> copied;
    std::vector<std::vector<std::u16string>> printed;
    std::vector<bool> busyWhilePrinting;
    bool printerAccepts = true;
    std::tm now{};

private:
    const FakeView* view_;
};
