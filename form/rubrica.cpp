#include "rubrica.h"

#include "form/contacttext.h"
#include "form/errorreport.h"
#include "form/importreport.h"
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
    if (!check(locatePhoneBook(fs_, files_)) || !check(folder_.acquire(files_)) ||
        !check(adoptOrphanedScratchFile(fs_, folder_, files_))) {
        return;
    }
    LunghezzaRecord = kLunghezzaRecord;
    if (!check(NumeroFile.open(files_))) {
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

namespace {

std::u16string contacts(std::int64_t n) {
    return counted(n, u"contatto", u"contatti");
}

// What a file gave, in the box: "Da "telefono.vcf": importati 3 contatti; 2 c'erano già."
std::u16string fileOutcome(const std::string& name, const ExchangeReport& report) {
    std::u16string text = u"Da " + quotedFile(name) + u": " +
                          (report.contacts == 0   ? std::u16string(u"nessun contatto importato")
                           : report.contacts == 1 ? u"importato " + contacts(1)
                                                  : u"importati " + contacts(report.contacts));
    if (report.duplicates > 0) {
        text += u"; " + decimal(report.duplicates) +
                (report.duplicates == 1 ? u" c'era già" : u" c'erano già");
    }
    if (report.similar > 0) {
        text += u"; " + decimal(report.similar) +
                (report.similar == 1 ? u" potrebbe essere un doppione"
                                     : u" potrebbero essere doppioni");
    }
    return text + u".";
}

} // namespace

void Rubrica::importFiles(const std::vector<ImportSource>& sources) {
    if (ended_ || sources.empty()) {
        return;
    }
    // A name that says no format is refused before anything is read.
    std::vector<Formato> formats;
    for (const ImportSource& source : sources) {
        const std::optional<Formato> format = source.format ? source.format : formatOf(source.name);
        if (!format) {
            dialogs_.messageBox(quotedFile(source.name) +
                                    u" non è un file di contatti: si importano i file .vcf, "
                                    u".vcard e .csv. Nessun contatto è stato importato.",
                                Stile::Avviso);
            view_.setFocus(Casella::txtNome);
            return;
        }
        formats.push_back(*format);
    }
    // In an empty phone book the record shown is not on the disk yet, and
    // the first contact imported would take its place: what the boxes hold
    // is saved first, and blank boxes give way to the contacts.
    const bool wasEmpty = NumeroFile.length() == 0;
    const bool blankBoxes = view_.text(Casella::txtNome).empty() &&
                            view_.text(Casella::txtChiamoro).empty() &&
                            view_.text(Casella::txtCommenti).empty();
    if (wasEmpty && !blankBoxes && !SalvaRecordCorrente()) {
        return;
    }

    ImportLines lines;
    ImportOptions options = lines.options();
    options.onProgress = [this](std::int64_t done, std::int64_t whole) {
        return dialogs_.progress(u"Importazione dei contatti...", done, whole);
    };
    std::vector<ExchangeReport> reports;
    Status status;
    bool committed = false;
    std::int32_t total = 0;
    {
        const Busy busy(view_);
        ImportBatch batch(fs_, folder_, false, options);
        for (std::size_t i = 0; i < sources.size(); ++i) {
            lines.setFile(sources[i].name);
            ExchangeReport report = batch.add(sources[i].path, formats[i]);
            if (!report.ok()) {
                dialogs_.progressEnded();
                if (report.status.error != ECANCELED) {
                    dialogs_.reportBox(failureLine(sources[i].name, report), Stile::Avviso,
                                       lines.text());
                }
                view_.setFocus(Casella::txtNome);
                return;
            }
            reports.push_back(std::move(report));
        }
        status = batch.commit();
        committed = batch.committed();
        total = batch.total();
        dialogs_.progressEnded();
    }
    if (!status.ok() && !committed) {
        ExchangeReport failed;
        failed.status = status;
        dialogs_.reportBox(failureLine(sources.back().name, failed), Stile::Avviso, lines.text());
        view_.setFocus(Casella::txtNome);
        return;
    }
    // The import replaced the data file: the window takes the new one, as
    // after a deletion.
    if (committed && (!check(NumeroFile.close()) || !check(NumeroFile.open(files_)) ||
                      !check(countRecords(NumeroFile.length(), TotaleRecord)))) {
        return;
    }
    if (wasEmpty && blankBoxes) {
        if (!MostraRecordCorrente()) {
            return;
        }
    } else {
        view_.setTitle(recordCaption(RecordCorrente, TotaleRecord));
    }

    std::u16string text;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const std::u16string ignored = ignoredLine(sources[i].name, reports[i], formats[i]);
        if (!ignored.empty()) {
            lines.setAltered();
            lines.add(ignored);
        }
        if (reports[i].skipped > 0) {
            lines.setAltered();
        }
        reports[i].total = total;
        lines.add(summaryLine(sources[i].name, reports[i]));
        text += fileOutcome(sources[i].name, reports[i]) + u"\r\n";
    }
    text += u"La rubrica ora ha " + contacts(TotaleRecord) + u".";
    if (!status.ok()) {
        ExchangeReport late;
        late.status = status;
        late.added = true;
        text += u"\r\n" + failureLine(sources.back().name, late);
    }
    dialogs_.reportBox(text, lines.altered() || !status.ok() ? Stile::Avviso : Stile::Informazione,
                       lines.text());
    view_.setFocus(Casella::txtNome);
}
