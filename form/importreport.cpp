#include "importreport.h"

#include "exchange/csv.h"
#include "exchange/vcard.h"
#include "form/errorreport.h"
#include "store/utf8.h"

#include <string_view>

namespace {

// "riga 7", "righe 7-9".
std::u16string lines(std::int64_t first, std::int64_t last) {
    return last > first ? u"righe " + decimal(first) + u"-" + decimal(last)
                        : u"riga " + decimal(first);
}

std::u16string joined(const std::vector<std::u16string>& parts, std::u16string_view separator) {
    std::u16string text;
    for (const std::u16string& part : parts) {
        text += (text.empty() ? u"" : std::u16string(separator)) + part;
    }
    return text;
}

std::u16string problemText(const InputProblem& problem) {
    switch (problem.kind) {
    case InputProblem::Kind::Readable:
        break;
    case InputProblem::Kind::NoCard:
        return u"non è una scheda vCard (ogni contatto va da BEGIN:VCARD a END:VCARD)";
    case InputProblem::Kind::UnknownColumns:
        return u"la prima riga non nomina nessuna colonna che la rubrica conosca "
               u"(per esempio Numero, Nome, Telefono, Cellulare o Note)";
    case InputProblem::Kind::UnterminatedQuote:
        return u"le virgolette aperte qui non vengono mai chiuse";
    }
    return {};
}

std::u16string noticeText(const Notice& notice) {
    using Kind = Notice::Kind;
    switch (notice.kind) {
    case Kind::NotAProperty:
        return u"manca il segno \":\" tra il nome della proprietà e il valore: riga saltata";
    case Kind::Comment:
        return u"riga di commento (#): saltata";
    case Kind::StrayContinuation:
        return u"riga di continuazione senza una riga da continuare: saltata";
    case Kind::OutsideCard:
        return u"testo fuori dalle schede vCard: saltato";
    case Kind::UnterminatedCard:
        return u"la scheda vCard che comincia qui non finisce con END:VCARD: "
               u"importata fin dove arriva";
    case Kind::LongParameters:
        return u"parametri troppo lunghi: letti solo i primi " + decimal(VCardReader::kHeadBytes) +
               u" byte";
    case Kind::UnknownCharset: {
        std::u16string name;
        for (const char c : notice.name) {
            name += static_cast<char16_t>(static_cast<unsigned char>(c)); // as Latin-1
        }
        return u"il set di caratteri " + quoted(name) +
               u" è sconosciuto: letto come UTF-8 o Windows-1252";
    }
    case Kind::EncodedText:
        return u"testo in base64: saltato";
    case Kind::ExtraFields:
        return counted(notice.count, u"campo", u"campi") + u" oltre le colonne della prima riga: "
                                                           u"ignorati";
    case Kind::ManyColumns:
        return counted(notice.count, u"colonna", u"colonne") + u" oltre le prime " +
               decimal(CsvReader::kColumns) + u": ignorate";
    case Kind::PhoneColumn:
        return u"la colonna " + quoted(decodeUtf8(notice.name)) +
               u" è letta come numero di telefono, dalle parole del nome";
    case Kind::MoreNotices:
        break;
    }
    return {};
}

// "Nome tagliato a 40 caratteri (ne aveva 52), "日本" scritti come "?"".
std::u16string changeText(const FieldChange& change) {
    static const char16_t* const names[] = {u"Numero", u"Nome", u"Commenti"};
    std::vector<std::u16string> parts;
    if (change.length > 0) {
        parts.push_back((change.field == Campo::Commenti ? u"tagliati a " : u"tagliato a ") +
                        decimal(fieldWidth(change.field)) + u" caratteri (ne aveva " +
                        (change.atLeast ? u"almeno " : u"") +
                        decimal(static_cast<std::int64_t>(change.length)) + u")");
    }
    if (!change.replaced.empty()) {
        // One character is one code point, whatever its code units.
        std::size_t characters = 0;
        for (const char16_t unit : change.replaced) {
            characters += unit < 0xDC00 || unit > 0xDFFF;
        }
        parts.push_back(quoted(change.replaced) +
                        (characters == 1 ? u" scritto come \"?\"" : u" scritti come \"?\""));
    }
    return names[static_cast<std::size_t>(change.field)] + std::u16string(u" ") +
           joined(parts, u", ");
}

} // namespace

std::u16string changeLine(const std::string& file, std::int64_t line,
                          const std::vector<FieldChange>& changes) {
    std::vector<std::u16string> texts;
    for (const FieldChange& change : changes) {
        texts.push_back(changeText(change));
    }
    return quotedFile(file) + u", riga " + decimal(line) + u": " + joined(texts, u"; ") + u".";
}

std::u16string noticeLine(const std::string& file, const Notice& notice) {
    if (notice.kind == Notice::Kind::MoreNotices) {
        return quotedFile(file) + u": " +
               (notice.count == 1
                    ? std::u16string(u"un'altra riga saltata o letta in parte, non elencata.")
                    : u"altre " + decimal(notice.count) +
                          u" righe saltate o lette in parte, non elencate.");
    }
    return quotedFile(file) + u", " + lines(notice.line, notice.lastLine) + u": " +
           noticeText(notice) + u".";
}

std::u16string duplicateLine(const std::string& file, const DuplicateEvent& event) {
    const std::u16string record = u"contatto " + decimal(event.record) + u" (" +
                                  (event.name.empty() ? u"senza nome" : quoted(event.name)) + u")";
    std::u16string text;
    switch (event.kind) {
    case DuplicateEvent::Kind::Skipped:
        text = u"stesso nome e stesso numero del " + record + u": non importato";
        break;
    case DuplicateEvent::Kind::Added:
        text = u"stesso nome e stesso numero del " + record + u": importato comunque";
        break;
    case DuplicateEvent::Kind::Replaced:
        text = u"stesso nome e stesso numero del " + record + u": scritto al suo posto";
        break;
    case DuplicateEvent::Kind::Similar:
        text = u"stesso numero del " + record +
               u", con un altro nome: importato, "
               u"ma potrebbe essere un doppione";
        break;
    }
    return quotedFile(file) + u", riga " + decimal(event.line) + u": " + text + u".";
}

std::u16string ignoredLine(const std::string& file, const ExchangeReport& report, Formato format) {
    std::vector<std::u16string> names;
    for (const IgnoredField& field : report.ignored) {
        const std::u16string name = field.name.empty() ? u"(senza nome)" : field.name;
        names.push_back((format == Formato::VCard ? escapeControls(name) : quoted(name)) +
                        u" (in " + counted(field.contacts, u"contatto", u"contatti") + u")");
    }
    std::u16string text = joined(names, u", ");
    if (report.ignoredEmpty > 0) {
        text += (text.empty() ? u"" : u"; ") +
                counted(report.ignoredEmpty, u"colonna vuota", u"colonne vuote");
    }
    if (report.ignoredUnnamed > 0) {
        text += (text.empty() ? u"" : u"; ") +
                counted(report.ignoredUnnamed, u"valore", u"valori") + u" in altri campi";
    }
    if (text.empty()) {
        return text;
    }
    return quotedFile(file) +
           (format == Formato::VCard ? u": proprietà ignorate: " : u": colonne ignorate: ") + text +
           u".";
}

std::u16string summaryLine(const std::string& file, const ExchangeReport& report) {
    std::u16string text = (report.contacts == 1 ? u"importato " : u"importati ") +
                          counted(report.contacts, u"contatto", u"contatti") + u" da " +
                          quotedFile(file) + u", di cui " +
                          counted(report.changed, u"modificato", u"modificati");
    if (report.skipped > 0) {
        text += u"; " + counted(report.skipped, u"vuoto saltato", u"vuoti saltati");
    }
    if (report.duplicates > 0) {
        text += u"; " + counted(report.duplicates, u"doppione saltato", u"doppioni saltati");
    }
    if (report.replaced > 0) {
        text += u"; " + counted(report.replaced, u"doppione sostituito", u"doppioni sostituiti");
    }
    if (report.similar > 0) {
        text += u"; " + counted(report.similar, u"possibile doppione", u"possibili doppioni");
    }
    return text + u"; la rubrica ora ne ha " + decimal(report.total) + u".";
}

std::u16string failureLine(const std::string& file, const ExchangeReport& report) {
    const std::u16string what = !report.status.ok()
                                    ? failureSentence(report.status)
                                    : quotedFile(file) + u", riga " + decimal(report.problem.line) +
                                          u": " + problemText(report.problem) + u".";
    return what + (report.added ? u" I contatti sono stati aggiunti alla rubrica, ma potrebbero "
                                  u"non esserci più dopo un arresto improvviso."
                                : u" Nessun contatto è stato importato.");
}

ImportOptions ImportLines::options() {
    ImportOptions options;
    options.onChange = [this](std::int64_t line, const std::vector<FieldChange>& changes) {
        altered_ = true;
        add(changeLine(file_, line, changes));
    };
    options.onNotice = [this](const Notice& notice) {
        altered_ = true;
        add(noticeLine(file_, notice));
    };
    options.onDuplicate = [this](const DuplicateEvent& event) {
        altered_ = altered_ || event.kind == DuplicateEvent::Kind::Skipped;
        add(duplicateLine(file_, event));
    };
    return options;
}

void ImportLines::add(std::u16string line) {
    if (lines_.size() < kHeldLines) {
        lines_.push_back(std::move(line));
    } else {
        ++more_;
    }
}

std::u16string ImportLines::text() const {
    std::u16string text = joined(lines_, u"\n");
    if (more_ > 0) {
        text += u"\n" + (more_ == 1 ? std::u16string(u"Un'altra riga, non elencata.")
                                    : u"Altre " + decimal(more_) + u" righe, non elencate.");
    }
    return text;
}
