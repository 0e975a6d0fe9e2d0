#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

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
    // file has gone or is not the file its job made. A row whose source is
    // not there now (an unplugged disk) stays as it was, its source named in
    // `absent`: it comes back to life at a start that finds the file again.
    QList<QueueRow> restore(QSet<QByteArray> *absent);
    // Another converter keeps the saved list: this one's is never saved.
    bool isListKeptElsewhere() const { return store.isHeldElsewhere(); }
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
