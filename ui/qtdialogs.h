#pragma once

#include "form/interfaces.h"

#include <QElapsedTimer>
#include <memory>

class QProgressDialog;
class QWidget;

// The phone book's message and input boxes as Qt's standard dialogs, modal over
// the window. Every text is shown as plain text: a search key that looks like
// markup is shown as typed.
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr);
    ~QtDialogs() override;

    // The title of a message box that has none of its own.
    static constexpr const char16_t* kApplicationTitle = u"Chiamoro";

    // `style` gives the buttons (OK, or Yes and No) and the icon (none,
    // critical, exclamation or information). A Yes/No box is answered only by
    // its two buttons: Esc and the close box do nothing.
    Risposta messageBox(const std::u16string& text, Stile style,
                        const std::optional<std::u16string>& title = std::nullopt) override;
    std::u16string inputBox(const std::u16string& prompt, const std::u16string& title) override;
    void beep() override;
    // A message box whose "Mostra dettagli..." button unfolds the details.
    void reportBox(const std::u16string& text, Stile style, const std::u16string& details) override;
    // A progress dialog, modal over the window, with "Annulla"; every call
    // lets the window answer its events.
    bool progress(const std::u16string& label, std::int64_t done, std::int64_t whole) override;
    void progressEnded() override;

private:
    QWidget* parent_;
    std::unique_ptr<QProgressDialog> progress_;
    QElapsedTimer progressClock_;
};
