// The program itself, started without a display it can use.

#include "support/records.h"
#include "support/tempdir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>

namespace {

using ProgramTest = InTempDir;

struct Outcome {
    int exitCode;
    QString errors;
    QString output;
};

Outcome start(const QProcessEnvironment& environment, const QStringList& arguments = {}) {
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(CHIAMORO_PROGRAM), arguments);
    EXPECT_TRUE(program.waitForFinished(20000));
    return {program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
            QString::fromLocal8Bit(program.readAllStandardError()),
            QString::fromLocal8Bit(program.readAllStandardOutput())};
}

QProcessEnvironment withoutDisplay() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QLatin1String(name));
    }
    return environment;
}

TEST_F(ProgramTest, WithoutADisplayItSaysHowToStartIt) {
    const Outcome run = start(withoutDisplay());
    EXPECT_NE(run.exitCode, 0);
    EXPECT_EQ(run.errors.count('\n'), 1) << run.errors.toStdString();
    EXPECT_TRUE(run.errors.contains("DISPLAY")) << run.errors.toStdString();
    EXPECT_TRUE(run.errors.contains("xvfb-run")) << run.errors.toStdString();
    EXPECT_TRUE(run.output.isEmpty());
    EXPECT_FALSE(fileExists("Chiamoro.DAT"));
}

TEST_F(ProgramTest, WithADisplayThatCannotBeReachedItSaysSo) {
    QProcessEnvironment environment = withoutDisplay();
    environment.insert("DISPLAY", ":97");
    const Outcome run = start(environment);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_EQ(run.errors.count('\n'), 1) << run.errors.toStdString();
    EXPECT_TRUE(run.errors.contains(":97")) << run.errors.toStdString();
    EXPECT_TRUE(run.errors.contains("xvfb-run")) << run.errors.toStdString();
    EXPECT_FALSE(fileExists("Chiamoro.DAT"));
}

// The command line, answered before any display or file is touched.

bool folderIsEmpty() {
    return QDir::current()
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
        .isEmpty();
}

TEST_F(ProgramTest, HelpAndVersionAnswerWithoutADisplay) {
    for (const QString option : {"--version", "-v"}) {
        const Outcome run = start(withoutDisplay(), {option});
        EXPECT_EQ(run.exitCode, 0) << option.toStdString();
        EXPECT_EQ(run.output, QStringLiteral("Chiamoro " CHIAMORO_VERSION "\n"));
        EXPECT_TRUE(run.errors.isEmpty()) << run.errors.toStdString();
    }
    for (const QString option : {"--help", "-h"}) {
        const Outcome run = start(withoutDisplay(), {option});
        EXPECT_EQ(run.exitCode, 0) << option.toStdString();
        EXPECT_TRUE(run.errors.isEmpty()) << run.errors.toStdString();
        for (const char* part :
             {"Uso: chiamoro", "--help", "--version", "Chiamoro.DAT", "cartella corrente"}) {
            EXPECT_TRUE(run.output.contains(part)) << part << " not in\n"
                                                   << run.output.toStdString();
        }
    }
    EXPECT_TRUE(folderIsEmpty());
}

TEST_F(ProgramTest, AMistakeOnTheCommandLineIsOneLineAndStatusTwo) {
    const struct {
        QStringList arguments;
        const char* named;
    } cases[] = {
        {{"--bogus"}, "--bogus"},
        {{"-x"}, "-x"},
        {{"rubrica.dat"}, "rubrica.dat"},
        {{"-platform"}, "-platform"}, // a value missing
        {{"-style", "Fusion", "--bogus"}, "--bogus"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        // With a display at hand too: the program must not even try it.
        QProcessEnvironment environment = withoutDisplay();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        const Outcome run = start(environment, c.arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.errors.count('\n'), 1) << run.errors.toStdString();
        EXPECT_TRUE(run.errors.startsWith("chiamoro: ")) << run.errors.toStdString();
        EXPECT_TRUE(run.errors.contains(c.named)) << run.errors.toStdString();
        EXPECT_TRUE(run.output.isEmpty());
    }
    EXPECT_TRUE(folderIsEmpty());
}

TEST_F(ProgramTest, QtsOwnOptionsStillWork) {
    // Without a display, but offscreen by the option: the window starts and
    // opens its phone book.
    QProcess program;
    program.setProcessEnvironment(withoutDisplay());
    program.start(QStringLiteral(CHIAMORO_PROGRAM), {"-platform", "offscreen", "-style", "Fusion"});
    QElapsedTimer clock;
    clock.start();
    while (!fileExists("Chiamoro.DAT") && program.state() != QProcess::NotRunning &&
           clock.elapsed() < 20'000) {
        program.waitForFinished(50);
    }
    EXPECT_TRUE(fileExists("Chiamoro.DAT")) << program.readAllStandardError().toStdString();
    EXPECT_EQ(program.state(), QProcess::Running);
    program.kill();
    program.waitForFinished();
}

TEST_F(ProgramTest, FilesOnTheCommandLineAreImportedIntoTheWindow) {
    writeFile("telefono.vcf", "BEGIN:VCARD\r\nFN:Carla\r\nTEL:333\r\nEND:VCARD\r\n");
    QProcess program;
    program.setProcessEnvironment(withoutDisplay());
    program.start(QStringLiteral(CHIAMORO_PROGRAM), {"-platform", "offscreen", "telefono.vcf"});
    QElapsedTimer clock;
    clock.start();
    const std::string expected = record("333", "Carla");
    while ((!fileExists("Chiamoro.DAT") || readFile("Chiamoro.DAT") != expected) &&
           program.state() != QProcess::NotRunning && clock.elapsed() < 20'000) {
        program.waitForFinished(50);
    }
    EXPECT_EQ(readFile("Chiamoro.DAT"), expected) << program.readAllStandardError().toStdString();
    EXPECT_EQ(program.state(), QProcess::Running); // the window, with its report
    program.kill();
    program.waitForFinished();
}

TEST_F(ProgramTest, TheManualPageNamesEveryOptionTheHelpLists) {
    const Outcome run = start(withoutDisplay(), {"--help"});
    ASSERT_EQ(run.exitCode, 0);
    const std::string manual = readFile(CHIAMORO_MANUAL);
    const QRegularExpression option(QStringLiteral("^  (?:-\\w, )?--([a-z-]+)"));
    int options = 0;
    for (const QString& line : run.output.split('\n')) {
        if (const QRegularExpressionMatch found = option.match(line); found.hasMatch()) {
            ++options;
            // groff writes a hyphen in a name as "\-".
            const std::string name = "\\-\\-" + found.captured(1).replace('-', "\\-").toStdString();
            EXPECT_NE(manual.find(name), std::string::npos) << name;
        }
    }
    EXPECT_EQ(options, 8);
}

} // namespace
