#include "queuekeeper.h"

#include <QFileInfo>

#include "conversionqueue.h"
#include "partialfile.h"
#include "transcodejob.h"

QueueKeeper::QueueKeeper(ConversionQueue *queue, const QString &folder, QObject *parent)
    : QObject(parent), queue(queue), store(folder)
{
    connect(queue, &ConversionQueue::listChanged, &store, &QueueStore::changed);
    connect(queue, &ConversionQueue::jobStarted, &store, &QueueStore::changed);
    // The batch is on the disk before its first end is recorded, however
    // soon after the files were added it starts.
    connect(queue, &ConversionQueue::runStarted, &store, &QueueStore::flush);
    connect(queue, &ConversionQueue::jobKeeping, this, &QueueKeeper::jobKeeping);
    connect(queue, &ConversionQueue::jobEnded, this, &QueueKeeper::jobEnded);
}

QList<QueueRow> QueueKeeper::restore(QSet<QByteArray> *absent)
{
    QList<QueueRow> saved;
    store.load(&saved);
    QList<QueueRow> rows;
    for (const QueueRow &row : qAsConst(saved)) {
        if (!QFileInfo(QString::fromUtf8(row.inputPath)).isFile())
            absent->insert(row.inputPath);
        QueueRow restored = restoredRow(row);
        // The list knew of the end before the file took its name; a crash in
        // between left only the partial file, which the start sweeps away,
        // or a file under a "(2)" name, and the planned name then holds
        // someone else's file.
        const bool made = restored.madeInode == 0
                          || PartialFile::inodeAt(restored.outputPath) == restored.madeInode;
        if (restored.state == ConvertDone
            && (!made || !QFileInfo::exists(QString::fromUtf8(restored.outputPath)))) {
            restored.state = ConvertWaiting;
            restored.outputPath.clear();
            restored.warningText.clear();
        }
        restored.madeInode = 0;
        rows << restored;
    }
    // Read only now, so that nothing is written before the list is back.
    store.setSource([this] {
        QList<QueueRow> rows;
        rows.reserve(queue->count());
        for (int i = 0; i < queue->count(); ++i)
            rows << rowOf(queue->jobAt(i));
        return rows;
    });
    return rows;
}

QueueRow QueueKeeper::rowOf(const TranscodeJob *job)
{
    return {job->inputPath(),  job->settings(),  job->state(),
            job->state() == ConvertDone ? job->outputPath() : QByteArray(),
            job->errorText(), job->warningText()};
}

// What is tried: the planned name, and the file that is to take it.
void QueueKeeper::jobKeeping(TranscodeJob *job, const QByteArray &outputPath)
{
    QueueRow row = rowOf(job);
    row.state = ConvertDone;
    row.outputPath = outputPath;
    row.errorText.clear();
    row.madeInode = PartialFile::inodeAt(job->partialPath());
    store.recordEnd(row);
    recorded.insert(job, row);
}

// What is reached: recorded unless it is what was tried, which the file's
// inode under the planned name proves at the next start.
void QueueKeeper::jobEnded(TranscodeJob *job)
{
    const QueueRow row = rowOf(job);
    QueueRow tried = recorded.take(job);
    tried.madeInode = 0;
    if (tried != row)
        store.recordEnd(row);
}
