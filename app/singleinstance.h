#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// One converter per user and display: a second start hands its paths to the
// running one over a local socket and exits instead of opening a window.
class SingleInstance final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)

public:
    explicit SingleInstance(QObject *parent = nullptr);

    // True when a running converter took the paths. Otherwise this start
    // opens a window of its own: normally the first, which listens for later
    // starts and reports their paths by pathsReceived; beside a running
    // converter that never answered, one that leaves that one's socket alone.
    bool handOver(const QStringList &paths);

    static QString socketName();

signals:
    void pathsReceived(const QStringList &paths);

private:
    bool sendTo(const QStringList &paths);
    bool sendPatiently(const QStringList &paths);
    void listen();
    void accept();
    void read(QLocalSocket *socket);

    QLockFile startLock;
    // Held by the converter that listens, for as long as it runs: while it is
    // held, the socket is a live converter's, however slowly it answers.
    QLockFile ownerLock;
    QLocalServer *server = nullptr;
};
