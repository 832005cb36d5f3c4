#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// A private X server (Xvfb) for one test, on a display number it picks itself,
// stopped when the object goes.
class XServer {
public:
    XServer() = default;
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // Starts Xvfb and waits until it accepts clients. False with `error` set
    // when it does not come up.
    bool start(QString* error);

    // ":N"
    const QString& display() const { return display_; }

    // The calling process's environment, with DISPLAY set to this server.
    QProcessEnvironment environment() const;

    // Runs an X client to its end; returns its standard output. `exitCode`
    // gets its status, -1 if it did not run to its end.
    QByteArray run(const QString& program, const QStringList& arguments,
                   int* exitCode = nullptr) const;

private:
    QProcess xvfb_;
    QString display_;
};
