#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

// How a second "chiamoro FILE..." hands its files to the window that already
// has the phone book open: over a local socket named after the phone book's
// folder (its device and inode, which a deletion or an import does not
// change), in $XDG_RUNTIME_DIR, or else in a folder of the user's own that
// only the user may enter (/tmp/chiamoro-UID, made 0700 if missing and
// refused if anyone else could reach it). The window takes a connection only
// from a process of its own user (SO_PEERCRED), whatever the folder allows.
//
// The files go as absolute paths, each ended by a NUL byte, then one more NUL;
// the window answers "ok\n" once it has them.

// The socket for the phone book of the current folder; empty, with `error`
// set (in Italian), when there is no safe place for it.
QString handoffSocketPath(QString* error = nullptr);

// Gives `files` to the window that holds the phone book; false when no window
// listens (then nothing was handed over).
bool handOver(const QStringList& files);

// The window's end.
class HandoffServer : public QObject {
    Q_OBJECT

public:
    explicit HandoffServer(QObject* parent = nullptr);

    // Listens on the socket; false, with `error` set, if it cannot.
    bool listen(QString* error);

signals:
    void filesArrived(const QStringList& files);

private:
    void take();

    QLocalServer* server_;
};
