#include "app/exchangecommand.h"

#include "exchange/csv.h"
#include "exchange/vcard.h"
#include "form/errorreport.h"
#include "store/contatto.h"
#include "store/replacement.h"

#include <QFile>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int kFailure = 1;

// A text from a file or a file's name, as it is safe to print: its control
// characters written out.
QString visible(const QString& text) {
    return QString::fromStdU16String(escapeControls(text.toStdU16String()));
}

QString quotedName(const QString& file) {
    return QStringLiteral("\"") + visible(file) + QStringLiteral("\"");
}

// "1 contatto", "3 contatti".
QString counted(std::int64_t n, const char* one, const char* many) {
    return QString::number(n) + QLatin1Char(' ') + QString::fromUtf8(n == 1 ? one : many);
}

// Ctrl-C, a kill or a closed terminal during an export or an import: the
// scratch file goes (the file it would have replaced stays as it was), a line
// says so, and the program ends with the shell's status for the signal.
extern "C" void stopOnSignal(int signal) {
    const bool removed = removeScratchFileOnSignal();
    const char* name = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
    const char* parts[] = {"chiamoro: interrotto (", name,
                           removed ? "): il file provvisorio \xC3\xA8 stato rimosso, nessun file "
                                     "\xC3\xA8 cambiato.\n"
                                   : ").\n"};
    for (const char* part : parts) {
        std::size_t length = 0;
        while (part[length] != '\0') {
            ++length;
        }
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, part, length);
    }
    ::_exit(128 + signal);
}

void handleSignals() {
    struct sigaction stop {};
    stop.sa_handler = stopOnSignal;
    sigemptyset(&stop.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&stop.sa_mask, signal); // one at a time
    }
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        ::sigaction(signal, &stop, nullptr);
    }
    // Past the file size limit a write fails with EFBIG, reported as any
    // failed write is, instead of ending the program without a word.
    std::signal(SIGXFSZ, SIG_IGN);
}

void say(const QString& line) {
    std::fprintf(stderr, "chiamoro: %s\n", line.toLocal8Bit().constData());
}

QString problemText(const InputProblem& problem) {
    switch (problem.kind) {
    case InputProblem::Kind::Readable:
        break;
    case InputProblem::Kind::NoCard:
        return QStringLiteral(
            "non è una scheda vCard (ogni contatto va da BEGIN:VCARD a END:VCARD)");
    case InputProblem::Kind::UnknownColumns:
        return QStringLiteral("la prima riga non nomina nessuna colonna che la rubrica conosca "
                              "(per esempio Numero, Nome, Telefono, Cellulare o Note)");
    case InputProblem::Kind::UnterminatedQuote:
        return QStringLiteral("le virgolette aperte qui non vengono mai chiuse");
    }
    return {};
}

// "riga 7", "righe 7-9".
QString lines(std::int64_t first, std::int64_t last) {
    return last > first ? QStringLiteral("righe %1-%2").arg(first).arg(last)
                        : QStringLiteral("riga %1").arg(first);
}

// A line or a field read otherwise than it stands.
QString noticeText(const Notice& notice) {
    using Kind = Notice::Kind;
    switch (notice.kind) {
    case Kind::NotAProperty:
        return QStringLiteral("manca il segno \":\" tra il nome della proprietà e il valore: "
                              "riga saltata");
    case Kind::Comment:
        return QStringLiteral("riga di commento (#): saltata");
    case Kind::StrayContinuation:
        return QStringLiteral("riga di continuazione senza una riga da continuare: saltata");
    case Kind::OutsideCard:
        return QStringLiteral("testo fuori dalle schede vCard: saltato");
    case Kind::UnterminatedCard:
        return QStringLiteral("la scheda vCard che comincia qui non finisce con END:VCARD: "
                              "importata fin dove arriva");
    case Kind::LongParameters:
        return QStringLiteral("parametri troppo lunghi: letti solo i primi %1 byte")
            .arg(VCardReader::kHeadBytes);
    case Kind::UnknownCharset:
        return QStringLiteral("il set di caratteri ") +
               quotedName(QString::fromLatin1(notice.name.data(),
                                              static_cast<qsizetype>(notice.name.size()))) +
               QStringLiteral(" è sconosciuto: letto come UTF-8 o Windows-1252");
    case Kind::EncodedText:
        return QStringLiteral("testo in base64: saltato");
    case Kind::ExtraFields:
        return counted(notice.count, "campo", "campi") +
               QStringLiteral(" oltre le colonne della prima riga: ignorati");
    case Kind::ManyColumns:
        return counted(notice.count, "colonna", "colonne") +
               QStringLiteral(" oltre le prime %1: ignorate").arg(CsvReader::kColumns);
    case Kind::PhoneColumn:
        return QStringLiteral("la colonna ") +
               quotedName(QString::fromUtf8(notice.name.data(),
                                            static_cast<qsizetype>(notice.name.size()))) +
               QStringLiteral(" è letta come numero di telefono, dalle parole del nome");
    case Kind::MoreNotices:
        break;
    }
    return {};
}

// "E-mail" (in 3 contatti), ...
QString ignoredText(const ExchangeReport& report, Formato format) {
    QStringList names;
    for (const IgnoredField& field : report.ignored) {
        const QString name = field.name.empty() ? QStringLiteral("(senza nome)")
                                                : QString::fromStdU16String(field.name);
        names << (format == Formato::VCard ? visible(name) : quotedName(name)) +
                     QStringLiteral(" (in ") + counted(field.contacts, "contatto", "contatti") +
                     QLatin1Char(')');
    }
    QString text = names.join(QStringLiteral(", "));
    if (report.ignoredEmpty > 0) {
        text += (text.isEmpty() ? QString() : QStringLiteral("; ")) +
                counted(report.ignoredEmpty, "colonna vuota", "colonne vuote");
    }
    if (report.ignoredUnnamed > 0) {
        text += (text.isEmpty() ? QString() : QStringLiteral("; ")) +
                counted(report.ignoredUnnamed, "valore", "valori") +
                QStringLiteral(" in altri campi");
    }
    return text;
}

// What went wrong, in one line: the sentence the window's report opens with,
// for a file operation, or where the file to import is not what it should be.
QString failureText(const ExchangeReport& report, const QString& file) {
    if (!report.status.ok()) {
        return QString::fromStdU16String(failureSentence(report.status));
    }
    return quotedName(file) + QStringLiteral(", riga ") + QString::number(report.problem.line) +
           QStringLiteral(": ") + problemText(report.problem) + QLatin1Char('.');
}

// "Nome tagliato a 40 caratteri (ne aveva 52), "日本" scritti come "?"";
// "Commenti tagliati".
QString changeText(const FieldChange& change) {
    static const char* const names[] = {"Numero", "Nome", "Commenti"};
    QStringList parts;
    if (change.length > 0) {
        parts << QStringLiteral("%1 a %2 caratteri (ne aveva %3%4)")
                     .arg(change.field == Campo::Commenti ? QStringLiteral("tagliati")
                                                          : QStringLiteral("tagliato"))
                     .arg(fieldWidth(change.field))
                     .arg(change.atLeast ? QStringLiteral("almeno ") : QString())
                     .arg(change.length);
    }
    if (!change.replaced.empty()) {
        const QString characters = QString::fromStdU16String(change.replaced);
        parts << quotedName(characters) + (characters.toUcs4().size() == 1
                                               ? QStringLiteral(" scritto come \"?\"")
                                               : QStringLiteral(" scritti come \"?\""));
    }
    return QString::fromLatin1(names[static_cast<std::size_t>(change.field)]) + QLatin1Char(' ') +
           parts.join(QStringLiteral(", "));
}

} // namespace

int exportContacts(const QString& file, Formato format) {
    handleSignals();
    const ExchangeReport report =
        exportContacts(posixFileSystem(), QFile::encodeName(file).toStdString(), format);
    if (!report.ok()) {
        say(failureText(report, file));
        return kFailure;
    }
    return 0;
}

int importContacts(const QString& file, Formato format) {
    handleSignals();
    const auto changed = [&file](std::int64_t line, const std::vector<FieldChange>& changes) {
        QStringList texts;
        for (const FieldChange& change : changes) {
            texts << changeText(change);
        }
        say(quotedName(file) + QStringLiteral(", riga ") + QString::number(line) +
            QStringLiteral(": ") + texts.join(QStringLiteral("; ")) + QLatin1Char('.'));
    };
    const auto noticed = [&file](const Notice& notice) {
        if (notice.kind == Notice::Kind::MoreNotices) {
            say(quotedName(file) + QStringLiteral(": ") +
                (notice.count == 1
                     ? QStringLiteral("un'altra riga saltata o letta in parte, non elencata.")
                     : QStringLiteral("altre %1 righe saltate o lette in parte, non elencate.")
                           .arg(notice.count)));
            return;
        }
        say(quotedName(file) + QStringLiteral(", ") + lines(notice.line, notice.lastLine) +
            QStringLiteral(": ") + noticeText(notice) + QLatin1Char('.'));
    };
    const ExchangeReport report = importContacts(
        posixFileSystem(), QFile::encodeName(file).toStdString(), format, changed, noticed);
    if (!report.ok()) {
        say(failureText(report, file) +
            (report.added ? QStringLiteral(" I contatti sono stati aggiunti alla rubrica, ma "
                                           "potrebbero non esserci più dopo un arresto improvviso.")
                          : QStringLiteral(" Nessun contatto è stato importato.")));
        return kFailure;
    }
    if (const QString ignored = ignoredText(report, format); !ignored.isEmpty()) {
        say(quotedName(file) +
            (format == Formato::VCard ? QStringLiteral(": proprietà ignorate: ")
                                      : QStringLiteral(": colonne ignorate: ")) +
            ignored + QLatin1Char('.'));
    }
    QString last = QString::fromUtf8(report.contacts == 1 ? "importato " : "importati ") +
                   counted(report.contacts, "contatto", "contatti") + QStringLiteral(" da ") +
                   quotedName(file) + QStringLiteral(", di cui ") +
                   counted(report.changed, "modificato", "modificati");
    if (report.skipped > 0) {
        last += QStringLiteral("; ") + counted(report.skipped, "vuoto saltato", "vuoti saltati");
    }
    say(last + QStringLiteral("; la rubrica ora ne ha ") + QString::number(report.total) +
        QLatin1Char('.'));
    return 0;
}
