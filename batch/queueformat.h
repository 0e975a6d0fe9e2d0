#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include "queuerow.h"

// The two files of the saved list.
//
// The snapshot holds every row, as compact JSON:
//   {"format":"vantor-converter-queue","version":1,"journal":7,"rows":[
//     {"input":"/v/a.mp4","settings":[0,0,0,-1,1500,23,-1,128,44100,1,1],
//      "state":2,"output":"/out/Vantor转码-a.mp4"}, ...]}
// "settings" are the eleven AVSettings fields in their declared order; the
// tracks chosen follow in "streams" ({"audio":1,"audioTrack":2,
// "audioLanguage":"eng","subtitles":2,"subtitleTrack":3,
// "subtitleLanguage":"chi"}), left out while they are the defaults;
// "output", "error" and "warning" are left out when empty; "journal" is the
// number of the last journal record the snapshot includes. A job's end
// recorded before its file took its name also carries "made", the file's
// inode in decimal (see QueueRow::madeInode).
//
// The journal holds the jobs that ended since: a header line, then one line
// for each end, each line ending in "\n":
//   {"format":"vantor-converter-queue-journal","version":1}
//   3f0a92c1 {"seq":8,"row":{...as in the snapshot...}}
// The eight digits begin the SHA-1 of the JSON after them, so a record that
// a crash cut off, or a power cut left as zeros, is told from a whole one.
class QueueFormat final
{
public:
    enum Verdict {
        Usable,
        // Empty, cut off, not JSON, another program's, or rows that are not
        // rows.
        Damaged,
        // Written by a newer converter, which knows better what it holds.
        Newer,
    };

    struct Record
    {
        quint64 sequence;
        QueueRow row;
    };

    static QByteArray snapshot(const QList<QueueRow> &rows, quint64 journalSequence);
    static Verdict readSnapshot(const QByteArray &bytes, QList<QueueRow> *rows,
                                quint64 *journalSequence);

    static QByteArray journalHeader();
    static QByteArray journalRecord(const QueueRow &row, quint64 sequence);
    // The whole records, in order, up to the first one that is cut off,
    // damaged or not numbered one after the one before; `wholeBytes` is the
    // length of the journal up to there. A header cut off is an empty
    // journal.
    static Verdict readJournal(const QByteArray &bytes, QList<Record> *records,
                               qint64 *wholeBytes);
};
