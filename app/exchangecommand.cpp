#include "app/exchangecommand.h"

#include "form/errorreport.h"
#include "store/contatto.h"

#include <QFile>
#include <QStringList>
#include <cstdio>

namespace {

constexpr int kFailure = 1;

QString quotedName(const QString& file) {
    return QStringLiteral("\"") + file + QStringLiteral("\"");
}

// "1 contatto", "3 contatti".
QString counted(std::int64_t n, const char* one, const char* many) {
    return QString::number(n) + QLatin1Char(' ') + QString::fromUtf8(n == 1 ? one : many);
}

void say(const QString& line) {
    std::fprintf(stderr, "chiamoro: %s\n", line.toLocal8Bit().constData());
}

QString problemText(const InputProblem& problem) {
    switch (problem.kind) {
    case InputProblem::Kind::None:
        break;
    case InputProblem::Kind::Utf16:
        return QStringLiteral("il file è in UTF-16: salvarlo in UTF-8 e riprovare");
    case InputProblem::Kind::OutsideCard:
        return QStringLiteral(
            "non è una scheda vCard (ogni contatto va da BEGIN:VCARD a END:VCARD)");
    case InputProblem::Kind::UnterminatedCard:
        return QStringLiteral("la scheda vCard che comincia qui non finisce con END:VCARD");
    case InputProblem::Kind::StrayEnd:
        return QStringLiteral("END:VCARD senza un BEGIN:VCARD prima");
    case InputProblem::Kind::MissingColon:
        return QStringLiteral("manca il segno \":\" tra il nome della proprietà e il valore");
    case InputProblem::Kind::UnknownColumns:
        return QStringLiteral("la prima riga deve nominare le colonne Numero, Nome e Commenti "
                              "(basta una)");
    case InputProblem::Kind::UnterminatedQuote:
        return QStringLiteral("le virgolette aperte qui non vengono mai chiuse");
    }
    return {};
}

// What went wrong, in one line: the first paragraph of the window's report
// for a file operation, or where the file to import is not what it should be.
QString failureText(const ExchangeReport& report, const QString& file) {
    if (!report.status.ok()) {
        const QString text = QString::fromStdU16String(errorReport(report.status));
        return text.section(QStringLiteral("\r\n"), 0, 0);
    }
    return quotedName(file) + QStringLiteral(", riga ") + QString::number(report.problem.line) +
           QStringLiteral(": ") + problemText(report.problem) + QLatin1Char('.');
}

// "Nome tagliato a 40 caratteri (ne aveva 52), "日本" scritti come "?"".
QString changeText(const FieldChange& change) {
    static const char* const names[] = {"Numero", "Nome", "Commenti"};
    static const int widths[] = {kLarghezzaNumero, kLarghezzaNome, kLarghezzaCommenti};
    const auto field = static_cast<std::size_t>(change.field);
    QStringList parts;
    if (change.length > 0) {
        parts << QStringLiteral("tagliato a %1 caratteri (ne aveva %2)")
                     .arg(widths[field])
                     .arg(change.length);
    }
    if (!change.replaced.empty()) {
        const QString characters = QString::fromStdU16String(change.replaced);
        parts << quotedName(characters) + (characters.toUcs4().size() == 1
                                               ? QStringLiteral(" scritto come \"?\"")
                                               : QStringLiteral(" scritti come \"?\""));
    }
    return QString::fromLatin1(names[field]) + QLatin1Char(' ') + parts.join(QStringLiteral(", "));
}

} // namespace

int exportContacts(const QString& file, Formato format) {
    const ExchangeReport report =
        exportContacts(posixFileSystem(), QFile::encodeName(file).toStdString(), format);
    if (!report.ok()) {
        say(failureText(report, file));
        return kFailure;
    }
    return 0;
}

int importContacts(const QString& file, Formato format) {
    const auto changed = [&file](std::int64_t line, const std::vector<FieldChange>& changes) {
        QStringList texts;
        for (const FieldChange& change : changes) {
            texts << changeText(change);
        }
        say(quotedName(file) + QStringLiteral(", riga ") + QString::number(line) +
            QStringLiteral(": ") + texts.join(QStringLiteral("; ")) + QLatin1Char('.'));
    };
    const ExchangeReport report =
        importContacts(posixFileSystem(), QFile::encodeName(file).toStdString(), format, changed);
    if (!report.ok()) {
        say(failureText(report, file) +
            (report.added ? QStringLiteral(" I contatti sono stati aggiunti alla rubrica, ma "
                                           "potrebbero non esserci più dopo un arresto improvviso.")
                          : QStringLiteral(" Nessun contatto è stato importato.")));
        return kFailure;
    }
    if (!report.ignoredColumns.empty()) {
        QStringList names;
        for (const std::u16string& name : report.ignoredColumns) {
            names << quotedName(QString::fromStdU16String(name));
        }
        say(quotedName(file) + QStringLiteral(": colonne ignorate: ") +
            names.join(QStringLiteral(", ")) + QLatin1Char('.'));
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
