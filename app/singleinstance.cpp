#include "singleinstance.h"

#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace {

// The message is a QDataStream of one QStringList; the answer one byte.
inline constexpr int connectTimeoutMs = 1000;
inline constexpr int answerTimeoutMs = 5000;
inline constexpr int startLockTimeoutMs = 3000;
// How long a start keeps trying a converter that runs but does not answer,
// and the pause between two tries that were refused at once.
inline constexpr int busyOwnerPatienceMs = 15000;
inline constexpr int retryPauseMs = 100;
inline constexpr qint64 maxMessageBytes = 16 << 20;
inline constexpr char answerTaken = 'k';

QString displayKey()
{
    QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        display = qEnvironmentVariable("WAYLAND_DISPLAY");
    QString key;
    for (const QChar c : display)
        key += c.isLetterOrNumber() || c == QLatin1Char('.') ? c : QLatin1Char('_');
    return key.isEmpty() ? QStringLiteral("none") : key;
}

} // namespace

SingleInstance::SingleInstance(QObject *parent)
    : QObject(parent)
    , startLock(socketName() + QStringLiteral(".lock"))
    , ownerLock(socketName() + QStringLiteral(".owner"))
{
    // Held for the converter's whole life: only a holder that died frees it.
    ownerLock.setStaleLockTime(0);
}

QString SingleInstance::socketName()
{
    const QString name = QStringLiteral("vantor-converter-") + displayKey();
    // The runtime folder is the user's own; without one, QLocalServer puts
    // the name in the temporary folder, where the user name keeps it apart.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(name);
    return QDir(QDir::tempPath()).filePath(name + QLatin1Char('-') + qEnvironmentVariable("USER"));
}

bool SingleInstance::handOver(const QStringList &paths)
{
    // Two converters started at the same moment must not both become the
    // first; the lock covers the look for a running one and the listen.
    const bool locked = startLock.tryLock(startLockTimeoutMs);
    bool handed = sendTo(paths);
    if (!handed) {
        // A socket nobody answers on is a dead converter's only when no
        // running one holds the owner's lock; a busy one (its queue of
        // connections full, its window slow) keeps its socket.
        if (ownerLock.tryLock(0) || ownerLock.error() != QLockFile::LockFailedError)
            listen();
        else
            handed = sendPatiently(paths);
    }
    if (locked)
        startLock.unlock();
    return handed;
}

bool SingleInstance::sendPatiently(const QStringList &paths)
{
    QElapsedTimer waited;
    waited.start();
    while (!waited.hasExpired(busyOwnerPatienceMs)) {
        if (sendTo(paths))
            return true;
        // No window is open yet: this pause blocks nothing the user sees.
        QThread::msleep(retryPauseMs);
    }
    return false;
}

bool SingleInstance::sendTo(const QStringList &paths)
{
    QLocalSocket socket;
    socket.connectToServer(socketName());
    if (!socket.waitForConnected(connectTimeoutMs))
        return false;
    QByteArray message;
    QDataStream packer(&message, QIODevice::WriteOnly);
    packer << paths;
    QDataStream out(&socket);
    out << message;
    socket.waitForBytesWritten(answerTimeoutMs);
    // The running converter has the paths once it answers; without an answer
    // in time it still got them, or is too stuck to show them anyway.
    socket.waitForReadyRead(answerTimeoutMs);
    return true;
}

void SingleInstance::listen()
{
    server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left behind by a converter that crashed answers nobody.
    QLocalServer::removeServer(socketName());
    if (!server->listen(socketName()))
        return;
    connect(server, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

void SingleInstance::accept()
{
    while (QLocalSocket *socket = server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
        read(socket);
    }
}

void SingleInstance::read(QLocalSocket *socket)
{
    if (socket->bytesAvailable() > maxMessageBytes + 4) {
        socket->abort();
        return;
    }
    QDataStream stream(socket);
    stream.startTransaction();
    QByteArray message;
    stream >> message;
    if (!stream.commitTransaction())
        return;
    QStringList paths;
    QDataStream unpacker(message);
    unpacker >> paths;
    socket->write(&answerTaken, 1);
    socket->flush();
    emit pathsReceived(paths);
    socket->disconnectFromServer();
}
