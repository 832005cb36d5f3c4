#include "handoff.h"

#include "store/recordfile.h"

#include <QByteArray>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A connection that does not say its files within this time is dropped.
constexpr int kTimeoutMs = 5000;
// More than any list of files a desktop hands over.
constexpr qsizetype kMostBytes = qsizetype{1} << 20;

QString reason(const QString& folder, int error) {
    return QStringLiteral("la cartella \"%1\" non è adatta: %2")
        .arg(QFile::decodeName(folder.toLocal8Bit()), QString::fromLocal8Bit(std::strerror(error)));
}

// A folder only the user may enter: made if missing, otherwise checked.
bool privateFolder(const QByteArray& folder, QString* error) {
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST) {
        if (error) {
            *error = reason(QFile::decodeName(folder), errno);
        }
        return false;
    }
    struct stat info {};
    if (::lstat(folder.constData(), &info) != 0) {
        if (error) {
            *error = reason(QFile::decodeName(folder), errno);
        }
        return false;
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() || (info.st_mode & 0077) != 0) {
        if (error) {
            *error = QStringLiteral("la cartella \"%1\" non è adatta: non è una cartella "
                                    "privata dell'utente")
                         .arg(QFile::decodeName(folder));
        }
        return false;
    }
    return true;
}

// Whether the process at the other end runs as this user.
bool sameUser(const QLocalSocket& socket) {
    struct ucred peer {};
    socklen_t size = sizeof peer;
    return ::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer,
                        &size) == 0 &&
           peer.uid == ::geteuid();
}

} // namespace

QString handoffSocketPath(QString* error) {
    PhoneBookFiles files;
    struct stat folder {};
    if (!locatePhoneBook(posixFileSystem(), files).ok() ||
        ::stat(files.folder.c_str(), &folder) != 0) {
        if (error) {
            *error = QStringLiteral("la cartella della rubrica non si raggiunge");
        }
        return {};
    }
    QByteArray place = qgetenv("XDG_RUNTIME_DIR");
    if (place.isEmpty()) {
        place = "/tmp/chiamoro-" + QByteArray::number(::geteuid());
    }
    if (!privateFolder(place, error)) {
        return {};
    }
    return QFile::decodeName(place) + QStringLiteral("/chiamoro-%1-%2")
                                          .arg(static_cast<qulonglong>(folder.st_dev), 0, 16)
                                          .arg(static_cast<qulonglong>(folder.st_ino), 0, 16);
}

bool handOver(const QStringList& files) {
    const QString path = handoffSocketPath();
    if (path.isEmpty()) {
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(kTimeoutMs)) {
        return false;
    }
    QByteArray message;
    for (const QString& file : files) {
        message += QFile::encodeName(file) + '\0';
    }
    message += '\0';
    socket.write(message);
    if (!socket.waitForBytesWritten(kTimeoutMs)) {
        return false;
    }
    QByteArray answer;
    while (!answer.contains('\n') && socket.waitForReadyRead(kTimeoutMs)) {
        answer += socket.readAll();
    }
    return answer == "ok\n";
}

HandoffServer::HandoffServer(QObject* parent) : QObject(parent), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &HandoffServer::take);
}

bool HandoffServer::listen(QString* error) {
    const QString path = handoffSocketPath(error);
    if (path.isEmpty()) {
        return false;
    }
    // The window holds the phone book's lock: a socket left under this name
    // belongs to a window that is gone.
    QLocalServer::removeServer(path);
    if (!server_->listen(path)) {
        if (error) {
            *error = server_->errorString();
        }
        return false;
    }
    return true;
}

void HandoffServer::take() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!sameUser(*socket)) {
            socket->abort();
            continue;
        }
        QTimer::singleShot(kTimeoutMs, socket, [socket] { socket->abort(); });
        auto received = std::make_shared<QByteArray>();
        const auto read = [this, socket, received] {
            *received += socket->readAll();
            const bool whole =
                *received == QByteArray(1, '\0') || received->endsWith(QByteArray(2, '\0'));
            if (!whole) {
                if (received->size() > kMostBytes) {
                    socket->abort();
                }
                return;
            }
            QStringList files;
            for (const QByteArray& name : received->split('\0')) {
                if (!name.isEmpty()) {
                    files << QFile::decodeName(name);
                }
            }
            received->clear();
            socket->write("ok\n");
            socket->flush();
            socket->disconnectFromServer();
            emit filesArrived(files);
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
    }
}
