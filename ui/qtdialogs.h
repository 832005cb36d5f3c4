#pragma once

#include "form/interfaces.h"

class QWidget;

// The phone book's message and input boxes as Qt's standard dialogs, modal over
// the window. Every text is shown as plain text: a search key that looks like
// markup is shown as typed.
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr);

    // The title of a message box that has none of its own.
    static constexpr const char16_t* kApplicationTitle = u"Chiamoro";

    // `style` adds a button set (0 OK, 4 Yes and No) to an icon (0 none,
    // 16 critical, 32 question, 48 exclamation, 64 information). A Yes/No box is
    // answered only by its two buttons: Esc and the close box do nothing.
    Risposta messageBox(const std::u16string& text, Stile style,
                        const std::optional<std::u16string>& title = std::nullopt) override;
    std::u16string inputBox(const std::u16string& prompt, const std::u16string& title) override;
    void beep() override;

private:
    QWidget* parent_;
};
