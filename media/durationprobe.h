#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>

#include <memory>

// Reads the length of listed files on a thread of its own (libavformat reads
// each file's header, and its first packets where the header does not say),
// so that listing thousands of files never waits for a disk.
class DurationProbe final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DurationProbe)

public:
    explicit DurationProbe(QObject *parent = nullptr);
    // A file being read is given up; the thread ends on its own.
    ~DurationProbe() override;

    // Queues a file (UTF-8 path); known() follows.
    void request(const QByteArray &path);

    // The length in seconds of a regular file libavformat can read; -1
    // otherwise. Blocks: for the thread, and for tests.
    static double read(const QByteArray &path);

signals:
    // Lengths in seconds, -1 where none could be read, in the order asked.
    void known(const QList<QPair<QByteArray, double>> &lengths);

private:
    struct Shared;
    static void work(std::shared_ptr<Shared> shared);
    void deliver();

    std::shared_ptr<Shared> shared;
};
