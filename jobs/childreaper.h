#pragma once

#include <QByteArray>
#include <QObject>

#include <vector>

class QTimer;

// Collects killed children without ever waiting for one. SIGKILL ends a
// child only once it leaves the kernel, and one stuck in I/O on a hung share
// or a pulled disk may take long; until it is collected it stays a zombie.
// Each child handed over is looked for on a timer until it has exited; then
// the file it was writing is removed, again, as it may have been created
// after the kill. The one reaper lives as long as the application object,
// beyond the job or row that started the child.
class ChildReaper final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ChildReaper)

public:
    // Takes over a killed child and the file to remove once it is gone (none
    // when empty). False when there is no application object, and so no
    // event loop to look from: the caller must then collect the child.
    static bool adopt(int pid, const QByteArray &leftover);

private:
    explicit ChildReaper(QObject *parent);
    void collect();

    struct Child
    {
        int pid;
        QByteArray leftover;
    };
    std::vector<Child> children;
    QTimer *timer;
};
