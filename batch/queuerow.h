#pragma once

#include <QByteArray>
#include <QtGlobal>

#include "avsettings.h"

// One listed file as the saved list keeps it.
struct QueueRow
{
    // UTF-8; unique within the list, and how a job's end finds its row.
    QByteArray inputPath;
    AVSettings settings;
    // ConvertWaiting to ConvertError.
    int state;
    // The file a done row made; empty otherwise.
    QByteArray outputPath;
    // Each line ends in "\n", as TranscodeJob gives them.
    QByteArray errorText;
    QByteArray warningText;
    // The inode of the file a done row's job made, recorded before that file
    // takes its name, as the name may still end up a "(2)"; 0 once the name
    // it took is recorded.
    quint64 madeInode = 0;
};

bool operator==(const QueueRow &a, const QueueRow &b);
bool operator!=(const QueueRow &a, const QueueRow &b);

// A row as it comes back at the next start: a conversion that was cut off is
// waiting again, without the output it would have made (its partial file is
// swept away at start); every other row comes back as saved.
QueueRow restoredRow(QueueRow row);
