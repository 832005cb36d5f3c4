#pragma once

#include <optional>
#include <string>

// What the phone-book logic needs of its window, and nothing more. Texts are
// UTF-16; a line break in a box text is CR LF.

// The three contact boxes, by their control names. The names run against the
// roles: txtNome holds the phone number, txtChiamoro the name.
enum class Casella { txtNome, txtChiamoro, txtCommenti };

class View {
public:
    virtual ~View() = default;
    virtual std::u16string text(Casella box) const = 0;
    virtual void setText(Casella box, const std::u16string& text) = 0;
    virtual void setTitle(const std::u16string& title) = 0;
    virtual void setFocus(Casella box) = 0;
    // Shows the busy pointer while a command goes through the whole file.
    virtual void setBusy(bool busy) { (void)busy; }
};

// Message box styles: a button set plus an icon.
namespace Stile {
inline constexpr int Ok = 0;       // OK only, no icon
inline constexpr int SiNo = 4;     // Yes and No, no icon
inline constexpr int Critico = 16; // OK only, critical-error icon
inline constexpr int Avviso = 48;  // OK only, exclamation icon
} // namespace Stile

// The button that dismissed a message box.
enum class Risposta { Ok = 1, Si = 6, No = 7 };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Modal. Without a title the box carries the application title.
    virtual Risposta messageBox(const std::u16string& text, int style,
                                const std::optional<std::u16string>& title = std::nullopt) = 0;
    // Modal. The typed text, or the empty text when cancelled.
    virtual std::u16string inputBox(const std::u16string& prompt, const std::u16string& title) = 0;
    virtual void beep() = 0;
};
