#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>

#include <memory>

#include "mediainfo.h"

class QTimer;

// Reads what listed files hold on a thread of its own (libavformat reads
// each file's header and its first packets), so that listing thousands of
// files never waits for a disk. A file that takes longer than the deadline
// (a dead network share, a playlist naming a FIFO: open() then blocks in the
// kernel, where no interrupt reaches it) counts as unreadable; its thread is
// left to itself and a fresh one reads the files after it.
class MediaProbe final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MediaProbe)

public:
    // How long one file may take.
    static constexpr int deadlineMs = 10000;

    explicit MediaProbe(QObject *parent = nullptr);
    // A file being read is given up; the thread ends on its own.
    ~MediaProbe() override;

    // Queues a file (UTF-8 path); known() follows.
    void request(const QByteArray &path);
    // A file still waiting is read next: a run needs it now.
    void hurry(const QByteArray &path);

    // The record of a regular file, read at once; not readable for anything
    // libavformat cannot open. Blocks, without a deadline: for tests.
    static MediaInfo read(const QByteArray &path);

signals:
    // Records in the order asked (a hurried file first), a few per call.
    void known(const QList<QPair<QByteArray, MediaInfo>> &records);

private:
    struct Shared;
    struct Worker;
    static void work(std::shared_ptr<Shared> shared, std::shared_ptr<Worker> worker);
    static void startWorker(const std::shared_ptr<Shared> &shared);
    static void post(Shared &shared, const QByteArray &path, const MediaInfo &info);
    // Lowers the calling thread's priority below the window's.
    static void yieldToWindow();
    void deliver();
    void watch();

    std::shared_ptr<Shared> shared;
    QTimer *watchdog;
};
