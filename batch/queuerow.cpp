#include "queuerow.h"

#include "transcodejob.h"

bool operator==(const QueueRow &a, const QueueRow &b)
{
    return a.inputPath == b.inputPath && a.settings == b.settings && a.state == b.state
           && a.outputPath == b.outputPath && a.errorText == b.errorText
           && a.warningText == b.warningText && a.madeInode == b.madeInode;
}

bool operator!=(const QueueRow &a, const QueueRow &b)
{
    return !(a == b);
}

QueueRow restoredRow(QueueRow row)
{
    if (row.state == ConvertRunning) {
        row.state = ConvertWaiting;
        row.outputPath.clear();
        row.errorText.clear();
        row.warningText.clear();
    }
    return row;
}
