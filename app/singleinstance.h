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

    // True when a running converter took the paths; otherwise this start is
    // the first and listens for later ones, reporting them by pathsReceived.
    bool handOver(const QStringList &paths);

    static QString socketName();

signals:
    void pathsReceived(const QStringList &paths);

private:
    bool sendTo(const QStringList &paths);
    void listen();
    void accept();
    void read(QLocalSocket *socket);

    QLockFile startLock;
    QLocalServer *server = nullptr;
};
