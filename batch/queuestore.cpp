#include "queuestore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutexLocker>

#include "queueformat.h"
#include "resultcodes.h"

namespace {

const char snapshotName[] = "queue.json";
const char journalName[] = "queue.journal";
// The longest a change waits before its snapshot, and the shortest time
// between two snapshots: a burst of changes to a long list costs a few
// writes a second, not one per change.
inline constexpr int coalescingMs = 250;

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Applies the ends recorded after the snapshot to its rows; an end whose row
// the snapshot does not hold yet (listed and ended between two snapshots)
// comes last.
void replay(const QList<QueueFormat::Record> &records, quint64 after, QList<QueueRow> *rows)
{
    QHash<QByteArray, int> rowOf;
    for (int i = 0; i < rows->size(); ++i)
        rowOf.insert(rows->at(i).inputPath, i);
    for (const QueueFormat::Record &record : records) {
        if (record.sequence <= after)
            continue;
        const auto found = rowOf.constFind(record.row.inputPath);
        if (found != rowOf.constEnd()) {
            (*rows)[found.value()] = record.row;
        } else {
            rowOf.insert(record.row.inputPath, rows->size());
            rows->append(record.row);
        }
    }
}

} // namespace

QueueStore::QueueStore(const QString &folder, QObject *parent)
    : QObject(parent)
    , snapshotPath(folder + QLatin1Char('/') + QLatin1String(snapshotName))
    , journalPath(folder + QLatin1Char('/') + QLatin1String(journalName))
{
    saveTimer.setSingleShot(true);
    saveTimer.setInterval(coalescingMs);
    connect(&saveTimer, &QTimer::timeout, this, &QueueStore::startWrite);
    writer.setMaxThreadCount(1);
}

QueueStore::~QueueStore()
{
    flush();
}

QString QueueStore::defaultFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/vantor-converter");
}

int QueueStore::load(QList<QueueRow> *rows)
{
    rows->clear();
    loaded = true;
    const QString folder = QFileInfo(snapshotPath).absolutePath();
    switch (DurableFile::makeFolder(folder) ? folderLock.take(folder) : StateFolderLock::Unavailable) {
    case StateFolderLock::Taken:
        break;
    case StateFolderLock::HeldElsewhere:
        heldElsewhere = true;
        return refuse();
    case StateFolderLock::Unavailable:
        // Which converter may write cannot be told: none does.
        readOnly = true;
        break;
    }
    const DurableFile::Kind snapshotKind = DurableFile::kindAt(snapshotPath);
    const DurableFile::Kind journalKind = DurableFile::kindAt(journalPath);
    if (snapshotKind == DurableFile::Other || journalKind == DurableFile::Other)
        return refuse();
    DurableFile::removeStaleTemporaries(snapshotPath);

    QList<QueueRow> saved;
    quint64 snapshotSequence = 0;
    if (snapshotKind == DurableFile::Regular) {
        const QueueFormat::Verdict verdict =
            QueueFormat::readSnapshot(contentOf(snapshotPath), &saved, &snapshotSequence);
        if (verdict == QueueFormat::Newer)
            return refuse();
        if (verdict == QueueFormat::Damaged) {
            // The journal's ends belong to the rows that are lost.
            moveAside(snapshotPath);
            if (journalKind == DurableFile::Regular)
                moveAside(journalPath);
            return ResultUnusable;
        }
    }
    lastSequence = snapshotSequence;
    if (journalKind == DurableFile::Regular && !replayJournal(&saved))
        return refuse();
    *rows = saved;
    return ResultOk;
}

// Applies the journal's ends after lastSequence, the snapshot's last, to
// `rows`; false for a newer converter's journal.
bool QueueStore::replayJournal(QList<QueueRow> *rows)
{
    QList<QueueFormat::Record> records;
    qint64 wholeBytes = 0;
    const QByteArray bytes = contentOf(journalPath);
    const QueueFormat::Verdict verdict = QueueFormat::readJournal(bytes, &records, &wholeBytes);
    if (verdict == QueueFormat::Newer)
        return false;
    if (verdict == QueueFormat::Damaged) {
        moveAside(journalPath);
        return true;
    }
    replay(records, lastSequence, rows);
    if (!records.isEmpty())
        lastSequence = qMax(lastSequence, records.constLast().sequence);
    journalHasRecords = !records.isEmpty();
    // A record cut off by a crash must not stand between the last whole one
    // and the next.
    if (wholeBytes < bytes.size() && journal.open(journalPath))
        journal.truncate(wholeBytes);
    return true;
}

int QueueStore::refuse()
{
    readOnly = true;
    return ResultUnusable;
}

void QueueStore::moveAside(const QString &path)
{
    const QString aside = path + QStringLiteral(".bad");
    QFile::remove(aside);
    QFile::rename(path, aside);
}

void QueueStore::setSource(std::function<QList<QueueRow>()> source)
{
    rowSource = std::move(source);
}

void QueueStore::changed()
{
    if (!loaded || readOnly)
        return;
    due = true;
    if (!writing && !saveTimer.isActive())
        saveTimer.start();
}

int QueueStore::recordEnd(const QueueRow &row)
{
    if (!loaded || readOnly)
        return ResultUnusable;
    {
        QMutexLocker lock(&journalLock);
        if (!openJournal() || !journal.append(QueueFormat::journalRecord(row, lastSequence + 1)))
            return ResultUnusable;
        ++lastSequence;
        journalHasRecords = true;
    }
    changed();
    return ResultOk;
}

// Under journalLock.
bool QueueStore::openJournal()
{
    const QString folder = QFileInfo(journalPath).absolutePath();
    if (!journal.isOpen() && (!DurableFile::makeFolder(folder) || !journal.open(journalPath)))
        return false;
    if (journal.size() > 0)
        return true;
    // A new journal's name must be on the disk as well as its first record.
    return journal.append(QueueFormat::journalHeader()) && DurableFile::syncFolder(folder);
}

void QueueStore::flush()
{
    writer.waitForDone();
    writeFinished(writeGeneration);
    if (!due || !rowSource)
        return;
    saveTimer.stop();
    due = false;
    if (writeSnapshot(rowSource(), lastSequence))
        emit saved();
}

void QueueStore::startWrite()
{
    if (!due || !rowSource)
        return;
    due = false;
    writing = true;
    const QList<QueueRow> rows = rowSource();
    const quint64 sequence = lastSequence;
    const quint64 generation = ++writeGeneration;
    writer.start([this, rows, sequence, generation] {
        lastWriteOk = writeSnapshot(rows, sequence);
        QMetaObject::invokeMethod(
            this, [this, generation] { writeFinished(generation); }, Qt::QueuedConnection);
    });
}

// On the writer's thread, or the GUI thread in flush().
bool QueueStore::writeSnapshot(const QList<QueueRow> &rows, quint64 sequence)
{
    if (!DurableFile::makeFolder(QFileInfo(snapshotPath).absolutePath())
        || !DurableFile::replace(snapshotPath, QueueFormat::snapshot(rows, sequence)))
        return false;
    // The journal's records are all in the snapshot now, unless a job ended
    // while it was written; then the next snapshot empties it.
    QMutexLocker lock(&journalLock);
    if (journalHasRecords && lastSequence == sequence && openJournal() && journal.truncate(0)
        && openJournal())
        journalHasRecords = false;
    return true;
}

// A write's end comes back through the event loop, unless flush() waited
// for it first; the number tells which write it was.
void QueueStore::writeFinished(quint64 generation)
{
    if (!writing || generation != writeGeneration)
        return;
    writing = false;
    if (lastWriteOk)
        emit saved();
    if (due)
        saveTimer.start();
}
