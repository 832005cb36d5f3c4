#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

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

// The message boxes the phone book shows: their buttons and their icon.
enum class Stile {
    Ok,           // OK only, no icon
    SiNo,         // Yes and No, no icon
    Critico,      // OK only, the icon of a critical error
    Avviso,       // OK only, an exclamation mark
    Informazione, // OK only, the information icon
};

// The button that dismissed a message box.
enum class Risposta { Ok = 1, Si = 6, No = 7 };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Modal. Without a title the box carries the application title.
    virtual Risposta messageBox(const std::u16string& text, Stile style,
                                const std::optional<std::u16string>& title = std::nullopt) = 0;
    // Modal. The typed text, or the empty text when cancelled.
    virtual std::u16string inputBox(const std::u16string& prompt, const std::u16string& title) = 0;
    virtual void beep() = 0;
    // Modal, OK only, with the application title: a message and its details,
    // which the user may unfold (the whole report of an import, one a line).
    virtual void reportBox(const std::u16string& text, Stile style,
                           const std::u16string& details) = 0;
    // A long command says how far it has come, `done` of `whole`; once it has
    // taken half a second a dialog shows it, with a button that cancels it,
    // and the window goes on answering. False once the user has cancelled.
    virtual bool progress(const std::u16string& label, std::int64_t done, std::int64_t whole) = 0;
    // The command has ended: the dialog goes.
    virtual void progressEnded() = 0;
};

// What copying and printing the shown contact need of the desktop.
class Desktop {
public:
    virtual ~Desktop() = default;
    // Empties the clipboard, then puts `text` on it as plain text.
    virtual void copyText(const std::u16string& text) = 0;
    // Prints `texts` as one document on the default printer, one text after
    // the other from the top-left corner of the printable area: a CR LF in a
    // text starts a new line, and the line is ended after each text. True once
    // the print system has accepted the job; false on any failure, from a
    // missing default printer to a refused job.
    virtual bool print(const std::vector<std::u16string>& texts) = 0;
    // The current local date and time.
    virtual std::tm localTime() = 0;
};
