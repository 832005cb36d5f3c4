// --esporta, --importa and --sincronizza on the program itself, without a display.

#include "store/recordfile.h"
#include "support/records.h"
#include "support/tempdir.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

using CommandLineTest = InTempDir;

struct Outcome {
    int exitCode;
    QString errors;
    QByteArray output;
};

void prepare(QProcess& program) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QLatin1String(name));
    }
    program.setProcessEnvironment(environment);
}

Outcome run(const QStringList& arguments, const std::function<void()>& inChild = {}) {
    QProcess program;
    prepare(program);
    if (inChild) {
        program.setChildProcessModifier(inChild);
    }
    program.start(QStringLiteral(CHIAMORO_PROGRAM), arguments);
    EXPECT_TRUE(program.waitForFinished(20000));
    return {program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
            QString::fromUtf8(program.readAllStandardError()), program.readAllStandardOutput()};
}

// The three fields of each record of a data file, trimmed.
std::vector<std::u16string> contactsOf(const std::string& bytes) {
    std::vector<std::u16string> fields;
    for (std::size_t at = 0; at + kLunghezzaRecord <= bytes.size(); at += kLunghezzaRecord) {
        const Contatto record = decodeRecord(bytes.data() + at);
        fields.insert(fields.end(), {trimSpaces(record.Numero), trimSpaces(record.Nome),
                                     trimSpaces(record.Commenti)});
    }
    return fields;
}

const std::string kBook =
    record(u"06 1234", u"Nicolò", u"uno\r\ndue") + record("") + record(u"333", u"Zoë", u"");

TEST_F(CommandLineTest, ContactsGoOutAndComeIn) {
    writeFile(kDataFileName, kBook);
    const Outcome out = run({"--esporta", "-", "--formato", "csv"});
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_TRUE(out.errors.isEmpty()) << out.errors.toStdString();
    EXPECT_EQ(out.output.toStdString(),
              "Numero,Nome,Commenti\r\n06 1234,Nicolò,\"uno\r\ndue\"\r\n333,Zoë,\r\n");

    const Outcome file = run({"--esporta=rubrica.vcf"});
    EXPECT_EQ(file.exitCode, 0);
    EXPECT_TRUE(file.errors.isEmpty() && file.output.isEmpty()) << file.errors.toStdString();

    std::filesystem::create_directory("altra");
    ASSERT_TRUE(QDir::setCurrent("altra"));
    writeFile("lungo.csv",
              "Nome,Note\r\n" + std::string(45, 'n') + "," + std::string(120, 'c') + "\r\n");
    const Outcome in = run({"--importa", "../rubrica.vcf"});
    const Outcome cut = run({"--importa", "lungo.csv"});
    ASSERT_TRUE(QDir::setCurrent(".."));
    EXPECT_EQ(in.exitCode, 0);
    EXPECT_EQ(in.errors, "chiamoro: importati 2 contatti da \"../rubrica.vcf\", di cui 0 "
                         "modificati; la rubrica ora ne ha 2.\n");
    EXPECT_EQ(cut.exitCode, 0);
    EXPECT_TRUE(cut.errors.startsWith("chiamoro: \"lungo.csv\", riga 2: Nome tagliato a 40 "
                                      "caratteri (ne aveva 45); Commenti tagliati a 100 caratteri "
                                      "(ne aveva 120).\nchiamoro: importato 1 contatto"))
        << cut.errors.toStdString();
    EXPECT_TRUE(in.output.isEmpty() && cut.output.isEmpty());
    EXPECT_EQ(readFile("altra/Chiamoro.DAT"),
              record(u"06 1234", u"Nicolò", u"uno\r\ndue") + record(u"333", u"Zoë", u"") +
                  record("", std::string(40, 'n'), std::string(100, 'c')));
}

TEST_F(CommandLineTest, WhatTheImportSkipsOrCannotKeepIsSaidLineByLine) {
    writeFile("rubrica.vcf", "BEGIN:VCARD\r\nFN Anna\r\nN:Rossi;Anna\r\nEMAIL:a@b.it\r\n"
                             "NOTE;CHARSET=X-MARZIANO:ciao\r\nEND:VCARD\r\nfirma\r\n"
                             "BEGIN:VCARD\r\nFN:Bruno\r\nEMAIL:b@c.it\r\nPHOTO:x\r\n");
    writeFile("posta.csv", "First Name,Last Name,E-mail Address,Nickname,Mobile Phone\r\n"
                           "Carla,Neri,c@d.it,,333\r\n,,,,\r\n");
    const Outcome vcard = run({"--importa", "rubrica.vcf"});
    EXPECT_EQ(vcard.exitCode, 0);
    EXPECT_EQ(vcard.errors.toStdString(),
              "chiamoro: \"rubrica.vcf\", riga 2: manca il segno \":\" tra il nome della "
              "proprietà e il valore: riga saltata.\n"
              "chiamoro: \"rubrica.vcf\", riga 5: il set di caratteri \"X-MARZIANO\" è "
              "sconosciuto: letto come UTF-8 o Windows-1252.\n"
              "chiamoro: \"rubrica.vcf\", riga 7: testo fuori dalle schede vCard: saltato.\n"
              "chiamoro: \"rubrica.vcf\", riga 8: la scheda vCard che comincia qui non finisce "
              "con END:VCARD: importata fin dove arriva.\n"
              "chiamoro: \"rubrica.vcf\": proprietà ignorate: EMAIL (in 2 contatti), PHOTO (in 1 "
              "contatto).\n"
              "chiamoro: importati 2 contatti da \"rubrica.vcf\", di cui 0 modificati; la rubrica "
              "ora ne ha 2.\n");
    const Outcome csv = run({"--importa", "posta.csv"});
    EXPECT_EQ(csv.exitCode, 0);
    EXPECT_EQ(csv.errors.toStdString(),
              "chiamoro: \"posta.csv\": colonne ignorate: \"E-mail Address\" (in 1 contatto); 1 "
              "colonna vuota.\n"
              "chiamoro: importato 1 contatto da \"posta.csv\", di cui 0 modificati; 1 vuoto "
              "saltato; la rubrica ora ne ha 3.\n");
    EXPECT_EQ(contactsOf(readFile(kDataFileName)),
              (std::vector<std::u16string>{u"", u"Anna Rossi", u"ciao", u"", u"Bruno", u"", u"333",
                                           u"Carla Neri", u""}));

    // A workbook to standard output is the one a file gets (checked in a
    // spreadsheet by spreadsheet_test.cpp).
    const Outcome sheet = run({"--esporta", "-", "--formato", "foglio"});
    EXPECT_EQ(sheet.exitCode, 0);
    EXPECT_TRUE(run({"--esporta", "rubrica.xlsx"}).errors.isEmpty());
    EXPECT_TRUE(sheet.output.startsWith("PK\x03\x04")); // a ZIP file, as Office Open XML is
    EXPECT_EQ(sheet.output.toStdString(), readFile("rubrica.xlsx"));
}

// A file of the current folder whose name starts so and ends in ".tmp".
bool scratchOf(const std::string& start) {
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
        const std::string name = entry.path().filename().string();
        if ((name.starts_with(start) && name.ends_with(".tmp")) || name == kScratchFileName) {
            return true;
        }
    }
    return false;
}

TEST_F(CommandLineTest, ASignalOrTheFileSizeLimitLeavesEveryFileAsItWas) {
    std::string book;
    for (int i = 0; i < 300000; ++i) {
        book += record(std::to_string(i), "Contatto " + std::to_string(i), "commento");
    }
    writeFile(kDataFileName, book);
    writeFile("nuovi.csv", "Numero,Nome\r\n1,Anna\r\n");
    const struct {
        const char* what;
        QStringList arguments;
        int signal;
        const char* scratch; // what the program writes while the signal comes
    } cases[] = {
        {"an export stopped by SIGTERM", {"--esporta", "uscita.vcf"}, SIGTERM, "uscita.vcf."},
        {"an export stopped by SIGHUP", {"--esporta", "uscita.csv"}, SIGHUP, "uscita.csv."},
        {"an import stopped by SIGINT", {"--importa", "nuovi.csv"}, SIGINT, kScratchFileName},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile("uscita.vcf", "la copia di ieri");
        writeFile("uscita.csv", "la copia di ieri");
        QProcess program;
        prepare(program);
        program.start(QStringLiteral(CHIAMORO_PROGRAM), c.arguments);
        ASSERT_TRUE(program.waitForStarted());
        for (int wait = 0; wait < 20000 && !scratchOf(c.scratch); ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_TRUE(scratchOf(c.scratch)) << "the program wrote no scratch file";
        ::kill(static_cast<pid_t>(program.processId()), c.signal);
        ASSERT_TRUE(program.waitForFinished(20000));
        EXPECT_EQ(program.exitCode(), 128 + c.signal);
        const QString errors = QString::fromUtf8(program.readAllStandardError());
        EXPECT_TRUE(errors.startsWith("chiamoro: interrotto (SIG")) << errors.toStdString();
        EXPECT_TRUE(errors.contains("il file provvisorio è stato rimosso")) << errors.toStdString();
        EXPECT_FALSE(scratchOf(c.scratch));
        EXPECT_EQ(readFile("uscita.vcf"), "la copia di ieri");
        EXPECT_EQ(readFile("uscita.csv"), "la copia di ieri");
        EXPECT_TRUE(readFile(kDataFileName) == book);
    }

    // Past the file size limit, a failed write like any other: said, undone.
    // Half the book: less than its copy, less than its export.
    const auto limit = [size = book.size() / 2] {
        const rlimit bytes{size, size};
        ::setrlimit(RLIMIT_FSIZE, &bytes);
    };
    for (const QStringList& arguments :
         {QStringList{"--importa", "nuovi.csv"}, QStringList{"--esporta", "uscita.vcf"}}) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const Outcome outcome = run(arguments, limit);
        EXPECT_EQ(outcome.exitCode, 1);
        EXPECT_TRUE(outcome.errors.contains("ulimit -f")) << outcome.errors.toStdString();
        EXPECT_FALSE(scratchOf("uscita.vcf."));
        EXPECT_TRUE(readFile(kDataFileName) == book);
        EXPECT_EQ(readFile("uscita.vcf"), "la copia di ieri");
    }
}

TEST_F(CommandLineTest, NamesFromFilesArePrintedWithTheirControlCharactersWritten) {
    const std::string name = "a\x1B[2Jb.csv";
    writeFile(name, "Numero,Nome,\x1B]0;finta\x07\r\n1,Anna,x\r\n");
    const Outcome outcome = run({"--importa", QString::fromStdString(name)});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_FALSE(outcome.errors.contains(QChar(0x1B))) << outcome.errors.toStdString();
    EXPECT_FALSE(outcome.errors.contains(QChar(0x07)));
    EXPECT_TRUE(outcome.errors.contains("\"a\\x1b[2Jb.csv\"", Qt::CaseInsensitive))
        << outcome.errors.toStdString();
    EXPECT_TRUE(
        outcome.errors.contains("\"\\x1b]0;finta\\x07\" (in 1 contatto)", Qt::CaseInsensitive))
        << outcome.errors.toStdString();
}

TEST_F(CommandLineTest, AMistakeOrAFailureIsOneLineAndTouchesNothing) {
    writeFile("guasto.vcf", "FN:Anna\r\nTEL:1\r\n");
    writeFile("due.vcf", "BEGIN:VCARD\r\nFN:Anna\r\nEND:VCARD\r\n");
    writeFile("rubrica.xlsx", "PK");
    std::filesystem::create_symlink(kDataFileName, "collegamento.csv");
    const struct {
        QStringList arguments;
        bool withBook;
        int status;
        const char* named;
    } cases[] = {
        {{"--esporta", "rubrica.txt"}, true, 2, "rubrica.txt"},
        {{"--esporta", "-"}, true, 2, "--formato"},
        {{"--esporta", "a.vcf", "--formato", "xml"}, true, 2, "xml"},
        {{"--esporta", "a.vcf", "--importa", "due.vcf"}, true, 2, "--importa"},
        {{"--formato", "csv"}, true, 2, "--formato"},
        {{"--importa"}, true, 2, "--importa"},
        {{"--esporta", "a.vcf"}, false, 1, "Chiamoro.DAT"},
        {{"--importa", "guasto.vcf"}, true, 1, "\"guasto.vcf\", riga 1"},
        {{"--importa", "manca.csv"}, false, 1, "manca.csv"},
        {{"--esporta", "Chiamoro.DAT", "--formato", "csv"},
         true,
         1,
         "\"Chiamoro.DAT\": è la rubrica"},
        {{"--esporta", "collegamento.csv"}, true, 1, "\"collegamento.csv\"): è la rubrica"},
        {{"--esporta", "Chiamoro.TMP", "--formato", "csv"},
         true,
         1,
         "\"Chiamoro.TMP\": è il file provvisorio della rubrica"},
        {{"--esporta", "manca/a.vcf"}, true, 1, "\"manca/a.vcf\": file o cartella inesistente"},
        {{"--importa", "rubrica.xlsx"}, true, 2, "salva il foglio come CSV"},
        {{"--importa", "Chiamoro.DAT", "--formato", "vcard"}, true, 1, "Chiamoro.DAT"},
        {{"--sincronizza", "carte", "--importa", "due.vcf"}, true, 2, "--importa"},
        {{"--sincronizza", "carte", "avanzo"}, true, 2, "avanzo"},
        {{"--conferma-vuota"}, true, 2, "--conferma-vuota"},
        {{"--sincronizza", "manca"}, true, 1, "\"manca\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        std::filesystem::remove(kDataFileName);
        if (c.withBook) {
            writeFile(kDataFileName, kBook);
        }
        const Outcome outcome = run(c.arguments);
        EXPECT_EQ(outcome.exitCode, c.status);
        EXPECT_EQ(outcome.errors.count('\n'), 1) << outcome.errors.toStdString();
        EXPECT_TRUE(outcome.errors.startsWith("chiamoro: ")) << outcome.errors.toStdString();
        EXPECT_TRUE(outcome.errors.contains(c.named)) << outcome.errors.toStdString();
        EXPECT_FALSE(outcome.errors.contains(".tmp")) << "the export's own scratch file";
        EXPECT_TRUE(outcome.output.isEmpty());
        EXPECT_EQ(fileExists(kDataFileName), c.withBook);
        if (c.withBook) {
            EXPECT_EQ(readFile(kDataFileName), kBook);
        }
        EXPECT_FALSE(fileExists("a.vcf"));
        EXPECT_FALSE(fileExists(kScratchFileName));
    }

    // While a window holds the phone book, with the window's own words.
    writeFile(kDataFileName, kBook);
    FolderLock window(posixFileSystem());
    ASSERT_TRUE(window.acquire().ok());
    std::filesystem::create_directory("carte");
    for (const QStringList& arguments :
         {QStringList{"--importa", "due.vcf"}, QStringList{"--sincronizza", "carte"}}) {
        const Outcome refused = run(arguments);
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_TRUE(refused.errors.contains("già aperta in un'altra copia di Chiamoro"))
            << refused.errors.toStdString();
        EXPECT_EQ(readFile(kDataFileName), kBook);
    }
    EXPECT_FALSE(fileExists("Chiamoro.SYN"));
}

} // namespace
