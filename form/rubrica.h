#pragma once

#include "exchange/exchange.h"
#include "form/interfaces.h"
#include "store/contatto.h"
#include "store/recordfile.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A file to import into the open phone book: where it is, the name the
// reports give it, and its format when its name does not say it.
struct ImportSource {
    std::string path;
    std::string name;
    std::optional<Formato> format;
};

// The phone book behind the window: the form's state and every command. Each
// public handler is what one event of the window runs; the window forwards
// its clicks here and shows what the logic writes through the View.
//
// A failed file operation is reported once through the Dialogs; the program
// has then ended (ended() with a non-zero exitStatus()) and every later handler
// does nothing. The window reads ended() after each handler and closes down.
class Rubrica {
public:
    Rubrica(View& view, Dialogs& dialogs, Desktop& desktop, FileSystem& fs = posixFileSystem());

    // The form's load handler: opens the data file and shows record 1.
    void formLoad();

    void cmdEsciClick();       // save, close and end
    void cmdPrecedenteClick(); // previous record
    void cmdSuccessivoClick(); // next record
    void cmdNuovoClick();      // append a blank contact
    void cmdCancellaClick();   // delete the shown contact
    void cmdCercaClick();      // search by number
    void command1Click();      // search by name
    void command2Click();      // copy the shown contact to the clipboard
    void command3Click();      // print the shown contact

    // Files dropped on the window, given when it started or handed over by
    // another copy: added at the end of the phone book, all or none (see
    // ImportBatch), duplicates left out, and what came of it shown in one
    // box. The window stays on the record it shows, with its unsaved edits.
    void importFiles(const std::vector<ImportSource>& sources);

    bool ended() const { return ended_; }
    int exitStatus() const { return exitStatus_; }

    std::int32_t recordCorrente() const { return RecordCorrente; }
    std::int32_t totaleRecord() const { return TotaleRecord; }

private:
    bool MostraRecordCorrente();
    bool SalvaRecordCorrente();
    void search(Campo field, const std::u16string& prompt, const std::u16string& label,
                Casella focus);

    bool check(const chiamoro::Status& status); // reports a failure and ends; true when ok
    void end(int status);

    View& view_;
    Dialogs& dialogs_;
    Desktop& desktop_;
    FileSystem& fs_;
    FolderLock folder_;
    PhoneBookFiles files_;
    bool ended_ = false;
    int exitStatus_ = 0;

    // The form variables.
    Contatto RecordBuffer;
    RecordFile NumeroFile;
    std::int32_t LunghezzaRecord = 0;
    std::int32_t RecordCorrente = 0;
    std::int32_t TotaleRecord = 0;
};

// The window title for record `current` of `total`: "Record  3/ 12".
std::u16string recordCaption(std::int32_t current, std::int32_t total);
