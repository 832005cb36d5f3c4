// The program itself, started without a display it can use.

#include "support/tempdir.h"

#include <QProcess>
#include <QProcessEnvironment>

namespace {

using ProgramTest = InTempDir;

struct Outcome {
    int exitCode;
    QString errors;
    QString output;
};

Outcome start(const QProcessEnvironment& environment) {
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(CHIAMORO_PROGRAM), {});
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

} // namespace
