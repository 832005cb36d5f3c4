#include "xsession.h"

#include <csignal>
#include <sys/prctl.h>

XServer::~XServer() {
    if (xvfb_.state() != QProcess::NotRunning) {
        xvfb_.terminate();
        if (!xvfb_.waitForFinished(10'000)) {
            xvfb_.kill();
            xvfb_.waitForFinished(10'000);
        }
    }
}

bool XServer::start(QString* error) {
    // Xvfb picks a free display number and writes it to the given descriptor
    // once it is ready for clients: here its standard output. Without
    // -noreset the server resets whenever its last client leaves, and refuses
    // the clients that come meanwhile.
    xvfb_.setStandardErrorFile(QProcess::nullDevice());
    // Gone with the test, even when the test is killed.
    xvfb_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    xvfb_.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-noreset", "-screen", "0",
                                         "1024x768x24", "-dpi", "96", "-nolisten", "tcp"});
    if (!xvfb_.waitForStarted(30'000)) {
        *error = QStringLiteral("cannot start Xvfb (install xvfb): ") + xvfb_.errorString();
        return false;
    }
    QByteArray number;
    while (!number.endsWith('\n')) {
        if (!xvfb_.waitForReadyRead(30'000)) {
            *error = QStringLiteral("Xvfb did not report its display");
            return false;
        }
        number += xvfb_.readAllStandardOutput();
    }
    display_ = QStringLiteral(":") + QString::fromLatin1(number.trimmed());
    return true;
}

QProcessEnvironment XServer::environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display_);
    environment.remove(QStringLiteral("XAUTHORITY"));
    return environment;
}

QByteArray XServer::run(const QString& program, const QStringList& arguments, int* exitCode) const {
    QProcess process;
    process.setProcessEnvironment(environment());
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    const bool finished = process.waitForStarted(30'000) && process.waitForFinished(60'000);
    if (exitCode != nullptr) {
        *exitCode =
            finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    if (!finished) {
        process.kill();
        process.waitForFinished(10'000);
    }
    return process.readAllStandardOutput();
}
