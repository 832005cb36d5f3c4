#pragma once

#include "form/fakes.h"
#include "support/tempdir.h"
#include "ui/frmchiamoro.h"

#include <QString>
#include <memory>
#include <string>

class QLineEdit;
class QPushButton;

// The 180 bytes of a record of "Chiamoro.DAT": number, name, comments.
std::string record(const std::u16string& numero, const std::u16string& nome,
                   const std::u16string& commenti);

// The phone book's window, offscreen, on a data file of the test's own
// temporary folder, its message boxes answered by a script.
class PhoneBookWindow : public InTempDir {
protected:
    void TearDown() override;

    // Writes `data` as "Chiamoro.DAT", then creates, loads and shows the window.
    void open(const std::string& data);

    QWidget* control(const char* name) const;
    QLineEdit* box(const char* name) const;
    QPushButton* button(const char* name) const;

    // Clicks a button with the mouse, as the user does.
    void click(const char* name) const;

    ScriptedDialogs dialogs;
    std::unique_ptr<frmChiamoro> window;
};
