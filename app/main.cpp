#include "app/exchangecommand.h"
#include "exchange/exchange.h"
#include "ui/frmchiamoro.h"
#include "ui/handoff.h"

#include <QApplication>
#include <QByteArray>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <optional>
#include <xcb/xcb.h>

namespace {

// Exit statuses besides 0: a file failure (in the window, or of an export or
// an import) is 1, and so is a file to import that cannot be read as contacts;
// a mistake on the command line is 2.
constexpr int kUsageError = 2;

// The options of every Qt program, which QApplication takes for itself. They
// are known here only so that they pass and their values are not taken for
// stray arguments.
const char* const kQtOptionsWithValue[] = {
    "platform",      "platformpluginpath",
    "platformtheme", "plugin",
    "qmljsdebugger", "qwindowgeometry",
    "geometry",      "qwindowtitle",
    "title",         "qwindowicon",
    "icon",          "session",
    "display",       "name",
    "visual",        "style",
    "stylesheet",
};
const char* const kQtFlags[] = {"reverse", "widgetcount", "testability",
                                "nograb",  "dograb",      "sync"};

// The program's own options, in the order the help lists them: the one place
// to add one. The help text is made from this table; what each does is
// decided in main().
struct Option {
    const char* shortName; // "h" for -h, or none
    const char* name;      // "help" for --help
    const char* value;     // the name of its value in the help, or none for a flag
    const char* help;      // its lines in the help, one '\n' between lines
};
constexpr Option kOptions[] = {
    {"h", "help", nullptr, "mostra questo aiuto ed esce"},
    {"v", "version", nullptr, "mostra il nome e la versione del programma ed esce"},
    {nullptr, "esporta", "FILE",
     "scrive tutti i contatti della rubrica in FILE ed esce;\n"
     "con - (e --formato) li scrive sullo standard output"},
    {nullptr, "importa", "FILE",
     "aggiunge in fondo alla rubrica i contatti di FILE ed esce:\n"
     "tutti o, se qualcosa non va, nessuno"},
    {nullptr, "formato", "NOME",
     "vcard, csv o foglio, il formato di FILE, se il nome non\n"
     "lo dice"},
    {nullptr, "doppioni", "COME",
     "con --importa, che fare dei contatti già in rubrica\n"
     "(stesso nome e stesso numero): salta (così se manca),\n"
     "aggiungi comunque, o sostituisci il contatto in rubrica"},
    {nullptr, "sincronizza", "CARTELLA",
     "tiene la rubrica al passo con una cartella di schede\n"
     "vCard ed esce (vedi sotto)"},
    {nullptr, "conferma-vuota", nullptr,
     "con --sincronizza, una rubrica svuotata svuota anche la\n"
     "cartella"},
};

const char kHelpStart[] = R"(Uso: chiamoro [OPZIONE...] [FILE...]
     chiamoro --esporta FILE [--formato vcard|csv|foglio]
     chiamoro --importa FILE [--formato vcard|csv|foglio] [--doppioni COME]
     chiamoro --sincronizza CARTELLA [--conferma-vuota]

Rubrica telefonica personale: una finestra mostra un contatto alla volta,
con il numero, il nome e i commenti.

La rubrica è il file Chiamoro.DAT della cartella corrente, cioè di quella da
cui si avvia il programma; se manca, viene creato vuoto. Dal menu delle
applicazioni la cartella è quella personale (~/Chiamoro.DAT). Una sola copia
del programma alla volta può tenere aperta la rubrica di una cartella.

Con uno o più FILE (.vcf, .vcard o .csv) la finestra si apre e ne importa i
contatti; se la finestra di quella rubrica è già aperta, riceve lei i file.
Un contatto con lo stesso nome e lo stesso numero di uno già in rubrica non
viene importato due volte.

)";

const char kHelpEnd[] = R"(Il formato di FILE segue il nome: .vcf per vCard (telefoni e programmi di
posta), .csv per CSV (programmi di posta e altri programmi, con la prima riga
Numero,Nome,Commenti), .xlsx per la cartella di lavoro di un foglio di calcolo
(--formato foglio: ogni cella è testo, nessuna è una formula o un numero).
L'importazione legge vCard e CSV, anche quelli salvati da un foglio di
calcolo e quelli di Google Contatti, Outlook e Thunderbird, in inglese e in
italiano.
Né l'una né l'altra apre la finestra o ha bisogno di uno schermo.

Con --sincronizza CARTELLA la rubrica resta al passo con una cartella di
schede vCard, una per contatto, come la tiene vdirsyncer per una rubrica
CardDAV (e quindi per un telefono): le modifiche, le aggiunte e le
cancellazioni fatte da una parte dall'ultima sincronizzazione passano
all'altra. Se un contatto è cambiato da entrambe le parti, restano tutte e
due le versioni. Una cartella vuota o mancante viene rifiutata, e così una
rubrica svuotata dall'ultima volta, a meno di --conferma-vuota.

Valgono anche le opzioni comuni dei programmi Qt, per esempio
-platform offscreen o -style Fusion.
)";

// The help: what the program is, its options from the table, then more on them.
std::string helpText() {
    constexpr std::size_t kColumn = 20; // where the options' descriptions start
    std::string text = std::string(kHelpStart) + "Opzioni:\n";
    for (const Option& option : kOptions) {
        std::string names = "  ";
        if (option.shortName != nullptr) {
            names += std::string("-") + option.shortName + ", ";
        }
        names += std::string("--") + option.name;
        if (option.value != nullptr) {
            names += std::string(" ") + option.value;
        }
        // A long name stands on a line of its own.
        text += names.size() < kColumn ? names + std::string(kColumn - names.size(), ' ')
                                       : names + "\n" + std::string(kColumn, ' ');
        for (const char* line = option.help; *line != '\0'; ++line) {
            text += *line;
            if (*line == '\n') {
                text += std::string(kColumn, ' ');
            }
        }
        text += '\n';
    }
    return text + "\n" + kHelpEnd;
}

// An option as the user typed it, for a message: "--bogus", "-x".
QString asTyped(const QStringList& arguments, const QString& name) {
    for (const QString& argument : arguments) {
        const QString bare = argument.section(QLatin1Char('='), 0, 0);
        if (bare == "-" + name || bare == "--" + name) {
            return bare;
        }
    }
    return name;
}

int usageError(const QString& what) {
    std::fprintf(stderr, "chiamoro: %s; \"chiamoro --help\" elenca le opzioni\n",
                 what.toLocal8Bit().constData());
    return kUsageError;
}

// Qt aborts with a long message when it finds no display. Say it in one line
// instead, with the way to start the program without a screen.
bool displayAvailable(const char* program, const QString& platformOption) {
    const QByteArray platform =
        platformOption.isEmpty() ? qgetenv("QT_QPA_PLATFORM") : platformOption.toLocal8Bit();
    if (!platform.isEmpty() && !platform.startsWith("xcb")) {
        return true; // the user chose another platform
    }
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) {
        if (platform.isEmpty() && qEnvironmentVariableIsSet("WAYLAND_DISPLAY")) {
            return true;
        }
        std::fprintf(stderr,
                     "chiamoro: nessun display grafico disponibile (DISPLAY non impostato); "
                     "per avviarlo senza schermo: xvfb-run %s\n",
                     program);
        return false;
    }
    xcb_connection_t* connection = xcb_connect(display.constData(), nullptr);
    const bool reached = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    if (!reached) {
        std::fprintf(stderr,
                     "chiamoro: impossibile collegarsi al display grafico \"%s\"; "
                     "per avviarlo senza schermo: xvfb-run %s\n",
                     display.constData(), program);
    }
    return reached;
}

// --esporta FILE or --importa FILE, without a window.
int exchangeContacts(const QCommandLineParser& parser) {
    const bool exporting = parser.isSet(QStringLiteral("esporta"));
    if (exporting && parser.isSet(QStringLiteral("importa"))) {
        return usageError(QStringLiteral("--esporta e --importa non vanno insieme"));
    }
    const QString option = exporting ? QStringLiteral("--esporta") : QStringLiteral("--importa");
    const QStringList files =
        parser.values(exporting ? QStringLiteral("esporta") : QStringLiteral("importa"));
    if (files.size() > 1 || parser.values(QStringLiteral("formato")).size() > 1) {
        return usageError((files.size() > 1 ? option : QStringLiteral("--formato")) +
                          QStringLiteral(" va data una volta sola"));
    }
    const QString file = files.first();
    if (file.isEmpty()) {
        return usageError(QStringLiteral("manca il nome del file di ") + option);
    }
    const QByteArray path = QFile::encodeName(file);
    if (!exporting && path.toStdString() == kStandardOutput) {
        return usageError(QStringLiteral("--importa legge da un file; \"-\" vale solo per "
                                         "--esporta"));
    }
    std::optional<Formato> format = formatOf(path.toStdString());
    if (!exporting && format == Formato::Foglio) {
        return usageError(QStringLiteral("--importa non legge le cartelle di lavoro .xlsx: dal "
                                         "foglio di calcolo si salva il foglio come CSV e si "
                                         "importa quello"));
    }
    if (parser.isSet(QStringLiteral("formato"))) {
        const QString name = parser.value(QStringLiteral("formato")).toLower();
        format = name == QStringLiteral("vcard")    ? std::optional(Formato::VCard)
                 : name == QStringLiteral("csv")    ? std::optional(Formato::Csv)
                 : name == QStringLiteral("foglio") ? std::optional(Formato::Foglio)
                                                    : std::nullopt;
        if (!format) {
            return usageError(QStringLiteral("formato sconosciuto: ") + "\"" +
                              parser.value(QStringLiteral("formato")) + "\"" +
                              QStringLiteral(" (--formato vuole vcard, csv o foglio)"));
        }
    }
    if (!format && path.toStdString() == kStandardOutput) {
        return usageError(QStringLiteral("per scrivere sullo standard output serve "
                                         "--formato vcard, csv o foglio"));
    }
    if (!format) {
        return usageError(QStringLiteral("formato sconosciuto: \"") + file + "\"" +
                          QStringLiteral(" (il nome deve finire in .vcf, .csv o .xlsx, "
                                         "oppure si aggiunge --formato vcard, csv o foglio)"));
    }
    Doppioni duplicates = Doppioni::Salta;
    if (parser.isSet(QStringLiteral("doppioni"))) {
        const QString name = parser.value(QStringLiteral("doppioni")).toLower();
        if (exporting) {
            return usageError(QStringLiteral("--doppioni vale solo con --importa"));
        }
        if (parser.values(QStringLiteral("doppioni")).size() > 1) {
            return usageError(QStringLiteral("--doppioni va data una volta sola"));
        }
        if (name == QStringLiteral("salta")) {
            duplicates = Doppioni::Salta;
        } else if (name == QStringLiteral("aggiungi")) {
            duplicates = Doppioni::Aggiungi;
        } else if (name == QStringLiteral("sostituisci")) {
            duplicates = Doppioni::Sostituisci;
        } else {
            return usageError(QStringLiteral("valore sconosciuto: \"") +
                              parser.value(QStringLiteral("doppioni")) +
                              QStringLiteral("\" (--doppioni vuole salta, aggiungi o "
                                             "sostituisci)"));
        }
    }
    return exporting ? exportContacts(file, *format) : importContacts(file, *format, duplicates);
}

// --sincronizza CARTELLA, without a window.
int synchronizeCommand(const QCommandLineParser& parser) {
    for (const char* other : {"esporta", "importa", "formato", "doppioni"}) {
        if (parser.isSet(QString::fromLatin1(other))) {
            return usageError(QStringLiteral("--sincronizza e --") + QString::fromLatin1(other) +
                              QStringLiteral(" non vanno insieme"));
        }
    }
    const QStringList folders = parser.values(QStringLiteral("sincronizza"));
    if (folders.size() > 1) {
        return usageError(QStringLiteral("--sincronizza va data una volta sola"));
    }
    if (folders.first().isEmpty()) {
        return usageError(QStringLiteral("manca il nome della cartella di --sincronizza"));
    }
    return synchronizeContacts(folders.first(), parser.isSet(QStringLiteral("conferma-vuota")));
}

} // namespace

int main(int argc, char* argv[]) {
    // The command line is read before Qt starts: help and version need no
    // display, and a mistyped option touches nothing.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const Option& option : kOptions) {
        QStringList names{QString::fromLatin1(option.name)};
        if (option.shortName != nullptr) {
            names.prepend(QString::fromLatin1(option.shortName));
        }
        parser.addOption(
            option.value != nullptr
                ? QCommandLineOption(names, QString(), QString::fromLatin1(option.value))
                : QCommandLineOption(names));
    }
    for (const char* name : kQtOptionsWithValue) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString(), "valore"));
    }
    for (const char* name : kQtFlags) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
    }
    if (!parser.parse(arguments)) {
        if (!parser.unknownOptionNames().isEmpty()) {
            return usageError("opzione sconosciuta: " +
                              asTyped(arguments, parser.unknownOptionNames().first()));
        }
        return usageError("manca il valore di un'opzione: " + arguments.last());
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(helpText().c_str(), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("Chiamoro %s\n", CHIAMORO_VERSION);
        return 0;
    }
    const QStringList files = parser.positionalArguments();
    if (parser.isSet(QStringLiteral("sincronizza"))) {
        if (!files.isEmpty()) {
            return usageError("argomento inatteso: " + files.first());
        }
        return synchronizeCommand(parser);
    }
    if (parser.isSet(QStringLiteral("conferma-vuota"))) {
        return usageError(QStringLiteral("--conferma-vuota vale solo con --sincronizza"));
    }
    if (parser.isSet(QStringLiteral("esporta")) || parser.isSet(QStringLiteral("importa"))) {
        if (!files.isEmpty()) {
            return usageError("argomento inatteso: " + files.first());
        }
        return exchangeContacts(parser);
    }
    if (parser.isSet(QStringLiteral("formato"))) {
        return usageError(QStringLiteral("--formato vale solo con --esporta o --importa"));
    }
    if (parser.isSet(QStringLiteral("doppioni"))) {
        return usageError(QStringLiteral("--doppioni vale solo con --importa"));
    }
    // Files to import in the window: each must name a format the import reads.
    QStringList absolute;
    for (const QString& file : files) {
        if (!formatOf(QFile::encodeName(file).toStdString())) {
            return usageError(QStringLiteral("formato sconosciuto: \"") + file + "\"" +
                              QStringLiteral(" (si importano i file .vcf, .vcard e .csv)"));
        }
        absolute << QFileInfo(file).absoluteFilePath();
    }
    // The window that has this phone book open takes them, if there is one.
    if (!absolute.isEmpty() && handOver(absolute)) {
        return 0;
    }

    if (!displayAvailable(argc > 0 ? argv[0] : "chiamoro", parser.value("platform"))) {
        return kUsageError;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Chiamoro"));
    QApplication::setApplicationVersion(QStringLiteral(CHIAMORO_VERSION));
    // The window says when the program ends, and with which status.
    QApplication::setQuitOnLastWindowClosed(false);

    frmChiamoro window;
    QObject::connect(&window, &frmChiamoro::finished, &app, &QCoreApplication::exit);
    window.formLoad();
    if (window.ended()) {
        return window.exitStatus();
    }
    // Files from a second "chiamoro FILE...", while this window is open.
    HandoffServer handoff;
    QObject::connect(&handoff, &HandoffServer::filesArrived, &window,
                     [&window](const QStringList& handed) {
                         window.raise();
                         window.activateWindow();
                         window.importFiles(handed);
                     });
    if (QString error; !handoff.listen(&error)) {
        std::fprintf(stderr,
                     "chiamoro: i file aperti con un secondo avvio non potranno arrivare a "
                     "questa finestra: %s\n",
                     error.toLocal8Bit().constData());
    }
    window.show();
    if (!files.isEmpty()) {
        QTimer::singleShot(0, &window, [&window, files] { window.importFiles(files); });
    }
    return QApplication::exec();
}
