#pragma once

#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include <functional>

#include "durablefile.h"
#include "queuerow.h"
#include "statefolderlock.h"

// The input list as a document that is always saved, in two files of one
// folder (see QueueFormat): a snapshot of every row, rewritten a moment after
// a change, off the GUI thread, however many changes come meanwhile; and a
// journal to which each job's end is appended and synced before the call
// returns. Whatever moment a crash or a power cut comes, the next start finds
// the last snapshot plus the ends recorded since.
//
// Nothing is ever written through a symbolic link or over what is not a
// regular file, nor over the files of a newer converter: saving is then off
// until the program ends, and the program works as before.
//
// One store at a time writes a folder (StateFolderLock, taken at load and
// held until the store goes): a second converter, on another display or
// another machine sharing the home folder, neither reads nor writes the
// list the first one keeps.
class QueueStore final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QueueStore)

public:
    explicit QueueStore(const QString &folder = defaultFolder(), QObject *parent = nullptr);
    // Writes what is due (see flush()).
    ~QueueStore() override;

    // $XDG_STATE_HOME/vantor-converter, or ~/.local/state/vantor-converter.
    // It is made at load, for its lock.
    static QString defaultFolder();

    // Reads the list; called once, at start, before anything else (until
    // then nothing is written). ResultOk with the rows as saved: none when
    // there is no list yet; the snapshot's rows with the journal's ends
    // applied (an end whose row the snapshot lacks comes last). A journal
    // that is not the converter's is moved aside ("queue.journal.bad") and
    // its ends are lost; its last record, cut off by a crash, is dropped.
    // ResultUnusable with no rows when the snapshot is empty, cut off or not
    // the converter's (it and the journal are moved aside, each replacing an
    // older ".bad", and the list starts afresh), or when either file belongs
    // to a newer converter or a link or something else than a file stands
    // in its place (then both stay as they are and isReadOnly() is true).
    // ResultUnusable with no rows, and read-only, while another store holds
    // the folder (isHeldElsewhere()). A lock that cannot be had at all (the
    // folder cannot be written, a link at the lock file) leaves the list
    // read but read-only.
    int load(QList<QueueRow> *rows);
    bool isReadOnly() const { return readOnly; }
    bool isHeldElsewhere() const { return heldElsewhere; }

    // Gives the rows when a snapshot is due; called on the GUI thread. It
    // must stay callable until flush() or the destructor, or be cleared.
    void setSource(std::function<QList<QueueRow>()> source);
    // A change to the rows (added, deleted, cleared, settings, a job
    // started): the source is read a moment later, at most a few times a
    // second, and written on a thread of the store's own.
    void changed();
    // A job has ended: `row` as the source gives it from now on. Synced to
    // the disk before it returns; a snapshot follows as after changed().
    // ResultOk, or ResultUnusable when it could not be written.
    int recordEnd(const QueueRow &row);
    // Writes a snapshot now if one is due, waiting for one on its way: at
    // exit, or to empty the file at once.
    void flush();

signals:
    // A snapshot is on the disk.
    void saved();

private:
    bool replayJournal(QList<QueueRow> *rows);
    void startWrite();
    bool writeSnapshot(const QList<QueueRow> &rows, quint64 sequence);
    void writeFinished(quint64 generation);
    bool openJournal();
    int refuse();
    void moveAside(const QString &path);

    const QString snapshotPath;
    const QString journalPath;
    StateFolderLock folderLock;
    bool heldElsewhere = false;
    std::function<QList<QueueRow>()> rowSource;
    QTimer saveTimer;
    bool loaded = false;
    bool readOnly = false;
    // A change not yet handed to a write, and a write on its way.
    bool due = false;
    bool writing = false;
    quint64 writeGeneration = 0;
    bool lastWriteOk = false;
    // The snapshot thread compacts the journal while the GUI thread appends.
    QMutex journalLock;
    AppendFile journal;
    quint64 lastSequence = 0;
    bool journalHasRecords = false;
    // Declared last, so that it is gone (its write done) before the rest.
    QThreadPool writer;
};
