#pragma once

#include "form/rubrica.h"
#include "support/fakes.h"
#include "support/records.h"
#include "support/tempdir.h"

#include <string>
#include <sys/stat.h>

// A phone book on a fake window, in a fresh folder.
class PhoneBookTest : public InTempDir {
protected:
    // Starts the program on a data file holding `records` (none: no data file).
    Rubrica& start(const std::string* records = nullptr) {
        if (records != nullptr) {
            writeFile(kDataFileName, *records);
        }
        form = std::make_unique<Rubrica>(view, dialogs, desktop);
        form->formLoad();
        return *form;
    }
    Rubrica& start(const std::string& records) { return start(&records); }

    void type(Casella box, const std::u16string& text) { view.texts[box] = text; }
    std::u16string shown(Casella box) { return view.text(box); }
    std::string data() { return readFile(kDataFileName); }

    FakeView view;
    ScriptedDialogs dialogs;
    FakeDesktop desktop{&view};
    std::unique_ptr<Rubrica> form;
};
