#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "queuerow.h"
#include "queuestore.h"

class ConversionQueue;
class TranscodeJob;

// Keeps the saved list in step with the queue: every change that matters is
// saved, and a job's end is on the disk before its file takes its final
// name, so that a crash at any moment never leaves a finished file that the
// list does not know of (it would be converted again, as a "(2)" copy).
class QueueKeeper final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QueueKeeper)

public:
    // The queue must outlive the keeper.
    explicit QueueKeeper(ConversionQueue *queue, const QString &folder = QueueStore::defaultFolder(),
                         QObject *parent = nullptr);

    // The list as it was, to list again at start, before anything changes:
    // a row that was converting is waiting again, and so is a done row whose
    // file has gone; the sources that have vanished are left out and named
    // in `vanished`.
    QList<QueueRow> restore(QStringList *vanished);
    // Settings changed outside the queue's knowledge.
    void changed() { store.changed(); }
    // Writes what is due now: after a clear, and at exit.
    void flush() { store.flush(); }

    static QueueRow rowOf(const TranscodeJob *job);

private:
    void jobKeeping(TranscodeJob *job, const QByteArray &outputPath);
    void jobEnded(TranscodeJob *job);

    ConversionQueue *queue;
    QueueStore store;
    // What a job's end recorded before its file took its name.
    QHash<TranscodeJob *, QueueRow> recorded;
};
