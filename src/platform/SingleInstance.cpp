#include "SingleInstance.h"

#include <unistd.h>

#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>

namespace grinsley::platform {

namespace {
// A message is its length, then the working folder and the arguments; the answer is one byte.
constexpr char accepted = '\x06';
constexpr quint32 largestMessage = 1 << 20;

QByteArray encode(const QStringList& arguments, const QString& workingFolder) {
    QByteArray body;
    QDataStream out(&body, QIODevice::WriteOnly);
    out << workingFolder << arguments;
    QByteArray framed;
    QDataStream(&framed, QIODevice::WriteOnly) << quint32(body.size());
    return framed + body;
}
} // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() {
    if (_server)
        _server->close();
}

QString SingleInstance::serverName() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return QStringLiteral("%1/grinsley-%2.socket").arg(folder).arg(::getuid());
}

bool SingleInstance::handToRunning(const QStringList& arguments, const QString& workingFolder, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(encode(arguments, workingFolder));
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // Only an answer means the running program has them; without one this start takes them itself.
    return socket.waitForReadyRead(timeoutMs) && socket.read(1) == QByteArray(1, accepted);
}

bool SingleInstance::listen() {
    _server = new QLocalServer(this);
    _server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!_server->listen(serverName())) {
        // Nobody answered there (or this start would have handed its arguments over): a dead program's socket.
        QLocalServer::removeServer(serverName());
        if (!_server->listen(serverName()))
            return false;
    }
    connect(_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = _server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->bytesAvailable() < qint64(sizeof(quint32)))
                    return;
                quint32 size = 0;
                QDataStream(socket->peek(sizeof(quint32))) >> size;
                if (size > largestMessage) {
                    socket->abort();
                    return;
                }
                if (socket->bytesAvailable() < qint64(sizeof(quint32) + size))
                    return;
                socket->read(sizeof(quint32));
                QDataStream in(socket->read(size));
                QString workingFolder;
                QStringList arguments;
                in >> workingFolder >> arguments;
                if (in.status() != QDataStream::Ok) {
                    socket->abort();
                    return;
                }
                socket->write(QByteArray(1, accepted));
                socket->flush();
                socket->disconnectFromServer();
                if (received)
                    received(arguments, workingFolder);
            });
        }
    });
    return true;
}

} // namespace grinsley::platform
