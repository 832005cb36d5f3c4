#include "rubrica.h"

#include "form/contacttext.h"
#include "form/errorreport.h"
#include "store/uppercase.h"

#include <algorithm>
#include <cerrno>
#include <climits>

using chiamoro::Cause;
using chiamoro::FileOperation;
using chiamoro::Status;

namespace {

// The decimal form of a record number with its sign position: " 3", "-1".
std::u16string numberWithSign(std::int32_t n) {
    const std::string digits = std::to_string(n);
    std::u16string text(digits.begin(), digits.end());
    return n < 0 ? text : u" " + text;
}

// The busy pointer for as long as it lives.
class Busy {
public:
    explicit Busy(View& view) : view_(view) { view_.setBusy(true); }
    ~Busy() { view_.setBusy(false); }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    View& view_;
};

} // namespace

std::u16string recordCaption(std::int32_t current, std::int32_t total) {
    return u"Record " + numberWithSign(current) + u"/" + numberWithSign(total);
}

Rubrica::Rubrica(View& view, Dialogs& dialogs, Desktop& desktop, FileSystem& fs)
    : view_(view), dialogs_(dialogs), desktop_(desktop), fs_(fs), folder_(fs), NumeroFile(fs) {}

bool Rubrica::check(const Status& status) {
    if (status.ok()) {
        return true;
    }
    dialogs_.messageBox(errorReport(status), Stile::Critico);
    end(1);
    return false;
}

void Rubrica::end(int status) {
    ended_ = true;
    exitStatus_ = status;
}

void Rubrica::formLoad() {
    if (ended_) {
        return;
    }
    // Where the phone book lives is settled once, through a link if there is
    // one. One program per phone book: the lock comes before anything is touched.
    PhoneBookFiles files;
    if (!check(locatePhoneBook(fs_, files)) || !check(folder_.acquire(files)) ||
        !check(adoptOrphanedScratchFile(fs_, folder_, files))) {
        return;
    }
    LunghezzaRecord = kLunghezzaRecord;
    if (!check(NumeroFile.open(files))) {
        return;
    }
    if (NumeroFile.created() && !check(folder_.sync())) {
        return;
    }
    RecordCorrente = 1;
    if (!check(countRecords(NumeroFile.length(), TotaleRecord))) {
        return;
    }
    MostraRecordCorrente();
}

bool Rubrica::MostraRecordCorrente() {
    RecordBuffer = Contatto{};
    if (!check(NumeroFile.read(RecordCorrente, RecordBuffer))) {
        return false;
    }
    view_.setText(Casella::txtNome, trimSpaces(RecordBuffer.Numero));
    view_.setText(Casella::txtChiamoro, trimSpaces(RecordBuffer.Nome));
    view_.setText(Casella::txtCommenti, trimSpaces(RecordBuffer.Commenti));
    view_.setTitle(recordCaption(RecordCorrente, TotaleRecord));
    return true;
}

bool Rubrica::SalvaRecordCorrente() {
    RecordBuffer.Numero = fitField(view_.text(Casella::txtNome), kLarghezzaNumero);
    RecordBuffer.Nome = fitField(view_.text(Casella::txtChiamoro), kLarghezzaNome);
    RecordBuffer.Commenti = fitField(view_.text(Casella::txtCommenti), kLarghezzaCommenti);
    return check(NumeroFile.write(RecordCorrente, RecordBuffer));
}

void Rubrica::cmdEsciClick() {
    if (ended_ || !SalvaRecordCorrente() || !check(NumeroFile.close())) {
        return;
    }
    end(0);
}

void Rubrica::cmdPrecedenteClick() {
    if (ended_) {
        return;
    }
    if (RecordCorrente == 1) {
        dialogs_.beep();
        dialogs_.messageBox(u"Inizio rubrica!", Stile::Avviso);
    } else {
        if (!SalvaRecordCorrente()) {
            return;
        }
        --RecordCorrente;
        if (!MostraRecordCorrente()) {
            return;
        }
    }
    view_.setFocus(Casella::txtNome);
}

void Rubrica::cmdSuccessivoClick() {
    if (ended_) {
        return;
    }
    if (RecordCorrente == TotaleRecord) {
        dialogs_.beep();
        dialogs_.messageBox(u"Fine rubrica!", Stile::Avviso);
    } else {
        if (!SalvaRecordCorrente()) {
            return;
        }
        ++RecordCorrente;
        if (!MostraRecordCorrente()) {
            return;
        }
    }
    view_.setFocus(Casella::txtNome);
}

void Rubrica::cmdNuovoClick() {
    if (ended_ || !SalvaRecordCorrente()) {
        return;
    }
    if (TotaleRecord == INT32_MAX) {
        check(Status::refusal(FileOperation::Write, kDataFileName, Cause::TooManyRecords, EFBIG));
        return;
    }
    RecordBuffer = Contatto{};
    if (!check(NumeroFile.write(TotaleRecord + 1, RecordBuffer))) {
        return;
    }
    ++TotaleRecord;
    RecordCorrente = TotaleRecord;
    if (!MostraRecordCorrente()) {
        return;
    }
    view_.setFocus(Casella::txtNome);
}

void Rubrica::cmdCancellaClick() {
    if (ended_) {
        return;
    }
    if (dialogs_.messageBox(u"Cancellare il Contatto?", Stile::SiNo) != Risposta::Si) {
        view_.setFocus(Casella::txtNome);
        return;
    }
    Status status;
    {
        const Busy busy(view_);
        status = NumeroFile.removeRecord(RecordCorrente, TotaleRecord);
    }
    if (!check(status)) {
        return;
    }
    TotaleRecord = TotaleRecord > 1 ? TotaleRecord - 1 : 1;
    RecordCorrente = std::min(RecordCorrente, TotaleRecord);
    if (!MostraRecordCorrente()) {
        return;
    }
    view_.setFocus(Casella::txtNome);
}

void Rubrica::cmdCercaClick() {
    search(Campo::Numero, u"Inserire il Numero:", u"Numero ", Casella::txtNome);
}

void Rubrica::command1Click() {
    search(Campo::Nome, u"Inserire il Nome:", u"Nome ", Casella::txtChiamoro);
}

void Rubrica::search(Campo field, const std::u16string& prompt, const std::u16string& label,
                     Casella focus) {
    if (ended_) {
        return;
    }
    const std::u16string input = dialogs_.inputBox(prompt, u"Cerca");
    if (input.empty()) {
        view_.setFocus(focus);
        return;
    }
    const std::u16string key = toUpper(input);
    std::int32_t found = 0;
    Status status;
    {
        const Busy busy(view_);
        status = NumeroFile.find(field, key, TotaleRecord, found);
    }
    if (!check(status)) {
        return;
    }
    if (found > 0) {
        if (!SalvaRecordCorrente()) {
            return;
        }
        RecordCorrente = found;
        if (!MostraRecordCorrente()) {
            return;
        }
    } else {
        dialogs_.messageBox(label + key + u" non trovato!", Stile::Ok);
    }
    view_.setFocus(focus);
}

// The copy and the print take the boxes as they stand, unsaved edits
// included; neither saves, moves or changes the focus.

void Rubrica::command2Click() {
    if (ended_) {
        return;
    }
    desktop_.copyText(clipboardText(view_.text(Casella::txtChiamoro), view_.text(Casella::txtNome),
                                    view_.text(Casella::txtCommenti)));
}

void Rubrica::command3Click() {
    if (ended_) {
        return;
    }
    const std::vector<std::u16string> texts =
        printTexts(view_.text(Casella::txtChiamoro), view_.text(Casella::txtNome),
                   view_.text(Casella::txtCommenti), dateTimeText(desktop_.localTime()));
    bool printed = false;
    {
        const Busy busy(view_);
        printed = desktop_.print(texts);
    }
    // The one failure the program answers and survives.
    if (!printed) {
        dialogs_.messageBox(u"C'è un problema di stampa", Stile::Avviso, u"Errore di stampa");
    }
}
